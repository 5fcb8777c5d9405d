// Sending a request buffer to the driver through the interface in use: as is
// on a SCSI disk device (interface 2), or translated into the multi-adapter
// record on "/dev/halvdev0" (interface 1). No lock is taken here: callers
// hold the library's lock, which also guards the buffers below.
#ifndef HVAPI_CORE_IOCTL_PASS_H
#define HVAPI_CORE_IOCTL_PASS_H

#include <cstdint>

#include "core/DriverRecords.h"
#include "hvapi.h"
#include "hvapi_lowlevel.h"

// The library's request buffer (sdata), below 4 GiB; null if it could not be
// mapped, in which case every request fails with -1.
UserIoctl_Struct *RequestBuffer();

// The library's multi-adapter record, below 4 GiB (its pass-through part
// travels by address); null if it could not be mapped.
uioctl_t *MimdRecord();

#endif  // HVAPI_CORE_IOCTL_PASS_H
