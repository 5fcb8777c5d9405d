// A logical drive of the disk array in the application's form, and its
// usable size: the span blocks times the RAID level's share of the devices
// per span (n for RAID 0, 1 for RAID 1, n - 1 for RAID 3 and 5, none for
// other levels), in MiB.
#ifndef HVAPI_OPS_LOGICAL_DRIVE_SIZE_H
#define HVAPI_OPS_LOGICAL_DRIVE_SIZE_H

#include "hvapi.h"
#include "ops/DiskArray.h"

ULong32 LogicalDriveMiB(const ArrayLogicalDrive &d);

// Fills *out from drive d of the array, numbered number.
void FillLdrv(const ArrayLogicalDrive &d, UChar number, Ldrv_Struct *out);

#endif  // HVAPI_OPS_LOGICAL_DRIVE_SIZE_H
