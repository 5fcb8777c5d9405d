// The dispatcher of every adapter command: a library opcode with its object
// number and parameters becomes a command area, a data length and a
// direction, sent to the current adapter. Callers hold the library's lock
// and have made the adapter current.
#ifndef HVAPI_CORE_ISSUE_CMD_H
#define HVAPI_CORE_ISSUE_CMD_H

#include "hvapi.h"
#include "hvapi_lowlevel.h"

#endif  // HVAPI_CORE_ISSUE_CMD_H
