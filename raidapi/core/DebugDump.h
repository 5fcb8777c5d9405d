// Dumps of the driver records on standard output, for debugging by hand;
// nothing calls them in normal operation.
#ifndef HVAPI_CORE_DEBUG_DUMP_H
#define HVAPI_CORE_DEBUG_DUMP_H

#include "core/DriverRecords.h"
#include "hvapi.h"

extern "C" {

// Prints the multi-adapter record, then its pass-through part.
HVAPI_EXPORT Int Printuioctl_t(uioctl_t *pstIoctl);

// Prints a pass-through record, then waits for ENTER.
HVAPI_EXPORT Int PrintPassThru_Struct(PassThru_Struct *pstPassThru);

// Asks for ENTER and reads one character from standard input. Returns 0.
HVAPI_EXPORT Int PressC(void);

}  // extern "C"

#endif  // HVAPI_CORE_DEBUG_DUMP_H
