// Disk sizes as SCSI devices report them (big-endian) and as the adapter
// uses them (less its reserved area, in whole MiB).
#ifndef HVAPI_CORE_DISK_SIZE_H
#define HVAPI_CORE_DISK_SIZE_H

#include "hvapi.h"

extern "C" {

// The four bytes of value in reverse order (big-endian to host order).
HVAPI_EXPORT ULong32 swap4(ULong32 value);

// A sector count less the adapter's 32 reserved sectors, rounded down to a
// multiple of 2048 (one MiB); 0 for a disk smaller than the reserved area.
HVAPI_EXPORT ULong32 RemappedDiskSize(ULong32 scsiszInSectors);

}  // extern "C"

#endif  // HVAPI_CORE_DISK_SIZE_H
