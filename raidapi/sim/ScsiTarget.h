// The devices behind an adapter as a SCSI initiator sees them: the
// pass-through commands (INQUIRY, READ CAPACITY, FORMAT UNIT, READ and WRITE
// BUFFER, TEST UNIT READY, REQUEST SENSE) on physical devices and on the
// adapter's logical drives.
#ifndef HALVSIM_SCSI_TARGET_H
#define HALVSIM_SCSI_TARGET_H

#include "Firmware.h"

namespace halvsim {

// Executes a pass-through area (Command::area) with its outgoing data.
Reply ExecutePassThrough(Adapter &ad, const Command &cmd);

}  // namespace halvsim

#endif  // HALVSIM_SCSI_TARGET_H
