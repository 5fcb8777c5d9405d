// A raw SCSI command from an application's pass-through record, sent to a
// device behind the current adapter. The caller holds the library's lock.
#ifndef HVAPI_CORE_SCSI_COMMAND_H
#define HVAPI_CORE_SCSI_COMMAND_H

#include "hvapi.h"

extern "C" {

// On the SCSI disk interface the record's block goes out with the data of
// pcDataPtr (ulDataLength bytes in the direction ucDataDir) to the logical
// drive or the device the record names. On the multi-adapter interface the
// record travels whole, so its own data address and length are used.
// Returns 0, -1 when the request cannot be built or the driver refuses it,
// or the device's non-zero status.
HVAPI_EXPORT Int SCSICommand(PassThru_Struct *pstPassThru, char *pcDataPtr,
                             Bool bIsLogical, UChar ucDataDir,
                             ULong32 ulDataLength);

}  // extern "C"

#endif  // HVAPI_CORE_SCSI_COMMAND_H
