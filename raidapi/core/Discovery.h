// Adapter discovery: chooses the driver interface, finds up to six adapters
// in a fixed order, gives each its transport handle and tells its firmware
// generation apart. Runs under the library's lock (InitLib, and again from
// GetNumberOfAdapters).
#ifndef HVAPI_CORE_DISCOVERY_H
#define HVAPI_CORE_DISCOVERY_H

#include "hvapi.h"
#include "hvapi_lowlevel.h"

// What discovery answers when it found more adapters than the table holds.
// Both interfaces report it alike, so a caller sees "too many", never "none".
constexpr Int kDiscoveryTooMany = HVAPI_MAX_ADAPTERS + 1;

// Closes the descriptors that the last discovery kept (the multi-adapter
// device or the adapters' disks) and forgets their handles. Each discovery
// starts with it, so that running discovery again never leaks descriptors.
void ReleaseDiscoveredNodes();

#endif  // HVAPI_CORE_DISCOVERY_H
