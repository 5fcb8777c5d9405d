// Disk sizes as SCSI devices report them (big-endian) and as the adapter
// uses them (less its reserved area, in whole MiB).
#ifndef HVAPI_CORE_DISK_SIZE_H
#define HVAPI_CORE_DISK_SIZE_H

#include "hvapi.h"
#include "hvapi_lowlevel.h"

#endif  // HVAPI_CORE_DISK_SIZE_H
