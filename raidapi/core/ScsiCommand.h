// A raw SCSI command from an application's pass-through record, sent to a
// device behind the current adapter. The caller holds the library's lock.
#ifndef HVAPI_CORE_SCSI_COMMAND_H
#define HVAPI_CORE_SCSI_COMMAND_H

#include "hvapi.h"
#include "hvapi_lowlevel.h"

#endif  // HVAPI_CORE_SCSI_COMMAND_H
