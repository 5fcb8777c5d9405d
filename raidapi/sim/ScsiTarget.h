// The devices behind an adapter as a SCSI initiator sees them: the
// pass-through commands (INQUIRY, READ CAPACITY, FORMAT UNIT, READ and WRITE
// BUFFER, TEST UNIT READY, REQUEST SENSE) on physical devices and on the
// adapter's logical drives.
#ifndef HALVSIM_SCSI_TARGET_H
#define HALVSIM_SCSI_TARGET_H

#include "Firmware.h"

namespace halvsim {

// The device a pass-through names. 40LD firmware numbers devices channel *
// 16 + target and takes that number as the target with channel byte 0; a
// non-zero channel byte names channel and target as they are.
DevRef PassThroughDevice(const Adapter &ad, uint8_t channel, uint8_t target);

// Executes a pass-through area (Command::area) with its outgoing data.
Reply ExecutePassThrough(Adapter &ad, const Command &cmd);

}  // namespace halvsim

#endif  // HALVSIM_SCSI_TARGET_H
