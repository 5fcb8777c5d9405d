// Dumps of the driver records on standard output, for debugging by hand;
// nothing calls them in normal operation.
#ifndef HVAPI_CORE_DEBUG_DUMP_H
#define HVAPI_CORE_DEBUG_DUMP_H

#include "core/DriverRecords.h"
#include "hvapi.h"
#include "hvapi_lowlevel.h"

#endif  // HVAPI_CORE_DEBUG_DUMP_H
