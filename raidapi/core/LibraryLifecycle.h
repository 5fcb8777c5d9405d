// Starting and stopping the library: InitLib finds the adapters, types them
// and loads a firmware-data cache for each; CloseLib frees the caches and
// the adapters' descriptors and returns the library to its not-initialised
// state, from which InitLib may start it again. The exported functions are
// declared in hvapi.h.
#ifndef HVAPI_CORE_LIBRARY_LIFECYCLE_H
#define HVAPI_CORE_LIBRARY_LIFECYCLE_H

#include <cstddef>

#include "hvapi.h"

// Size of the firmware-data cache of an adapter of firmware type fwType; 0
// for an unknown type.
size_t AdapterCacheSize(UChar fwType);

#endif  // HVAPI_CORE_LIBRARY_LIFECYCLE_H
