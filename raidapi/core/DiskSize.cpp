#include "core/DiskSize.h"

namespace {
constexpr ULong32 kReservedSectors = 32;
constexpr ULong32 kSectorsPerMiB = 2048;
}  // namespace

extern "C" ULong32 swap4(ULong32 value) {
  return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) |
         ((value & 0x00FF0000u) >> 8) | ((value & 0xFF000000u) >> 24);
}

extern "C" ULong32 RemappedDiskSize(ULong32 scsiszInSectors) {
  // Below the reserved area the subtraction would wrap to a huge size.
  if (scsiszInSectors < kReservedSectors) return 0;
  return (scsiszInSectors - kReservedSectors) & ~(kSectorsPerMiB - 1);
}
