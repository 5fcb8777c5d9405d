// Sending a request buffer to the driver through the interface in use: as is
// on a SCSI disk device (interface 2), or translated into the multi-adapter
// record on "/dev/halvdev0" (interface 1). No lock is taken here: callers
// hold the library's lock, which also guards the buffers below.
#ifndef HVAPI_CORE_IOCTL_PASS_H
#define HVAPI_CORE_IOCTL_PASS_H

#include <cstdint>

#include "core/DriverRecords.h"
#include "hvapi.h"

// The library's request buffer (sdata), below 4 GiB; null if it could not be
// mapped, in which case every request fails with -1.
UserIoctl_Struct *RequestBuffer();

// The library's multi-adapter record, below 4 GiB (its pass-through part
// travels by address); null if it could not be mapped.
uioctl_t *MimdRecord();

extern "C" {

// Fills the request buffer with the command area and, for a write, the
// caller's datalen bytes at user_dataptr, sends it, and for a read copies
// datalen answer bytes back to user_dataptr. refire 0xA1 leaves the data
// lengths of the buffer at zero. Returns 0, -1 when the request cannot be
// built or the driver refuses it, or the adapter's non-zero status.
HVAPI_EXPORT Int CallIoctlPass(int fd, unsigned long user_dataptr,
                               ULong32 datalen, int datadir, UChar CmdArea_Len,
                               UChar *CmdArea_Addr, UChar refire);

// Sends the request buffer pstData (sdata, or a record with the same head
// and at least the firmware download's size) through the interface in use.
// Interface 2 answers the driver's result unchanged; interface 1 answers -1
// for a failed request, else the completion status (or for a driver query,
// the request's own result).
HVAPI_EXPORT Int CommonIoctl(int iFileDesptr, int iRequest, void *pstData,
                             int iDataDirection, int iCmdArea_Len);

}  // extern "C"

#endif  // HVAPI_CORE_IOCTL_PASS_H
