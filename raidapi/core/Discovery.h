// Adapter discovery: chooses the driver interface, finds up to six adapters
// in a fixed order, gives each its transport handle and tells its firmware
// generation apart. Runs under the library's lock (InitLib, and again from
// GetNumberOfAdapters).
#ifndef HVAPI_CORE_DISCOVERY_H
#define HVAPI_CORE_DISCOVERY_H

#include "hvapi.h"

// What discovery answers when it found more adapters than the table holds.
// Both interfaces report it alike, so a caller sees "too many", never "none".
constexpr Int kDiscoveryTooMany = HVAPI_MAX_ADAPTERS + 1;

extern "C" {

// Uses the multi-adapter interface when "/dev/halvdev0" opens, the SCSI disk
// devices otherwise; stores the count in guiTotalHalvoranCount and returns
// it: 0 to 6, or kDiscoveryTooMany.
HVAPI_EXPORT Int Linux_FindAdapters(void);

// Discovery through "/dev/halvdev0", which stays open as
// giMIMDFileDescriptor; the handles are the adapter indexes 0, 1, 2 ...
// Returns the count the driver reports (0 when it cannot be asked), or
// kDiscoveryTooMany above six.
HVAPI_EXPORT Int Linux_FindAdaptersMIMD(void);

// Discovery through "/dev/sda" to "/dev/sdz": a disk whose SCSI host is a
// Halvoran adapter and that answers the 40LD disk-array read or a plausible
// 8LD enquiry is an adapter, and its descriptor becomes the handle. The
// adapter's other logical drives (the disks that follow) are skipped. Every
// descriptor that is not kept is closed. Returns the count, or
// kDiscoveryTooMany when a seventh adapter answers.
HVAPI_EXPORT Int Linux_FindAdaptersSCSID(void);

// Sets gachDacFWType of the current adapter from the first disk-array read
// it accepts: 40LD, then 8LD 8-span, then 8LD 4-span. Returns 0, or -1 when
// none is accepted or memory is short.
HVAPI_EXPORT Int FindFirmwareType(void);

}  // extern "C"

// Closes the descriptors that the last discovery kept (the multi-adapter
// device or the adapters' disks) and forgets their handles. Each discovery
// starts with it, so that running discovery again never leaks descriptors.
void ReleaseDiscoveredNodes();

#endif  // HVAPI_CORE_DISCOVERY_H
