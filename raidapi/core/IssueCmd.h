// The dispatcher of every adapter command: a library opcode with its object
// number and parameters becomes a command area, a data length and a
// direction, sent to the current adapter. Callers hold the library's lock
// and have made the adapter current.
#ifndef HVAPI_CORE_ISSUE_CMD_H
#define HVAPI_CORE_ISSUE_CMD_H

#include "hvapi.h"

extern "C" {

// Sends opcode op to the current adapter. objid is a logical drive, a
// sub-opcode or a device (channel * 16 + target); dataptr the address of the
// caller's data. Returns 0; -1 for an opcode outside the table, parameters
// its row refuses, a current adapter that was not found, or a request the
// driver refuses; otherwise the adapter's non-zero status.
HVAPI_EXPORT Int IssueCmd(Int op, Int objid, unsigned long dataptr,
                          ULong32 param1, ULong32 param2);

// IssueCmd with narrowed arguments, in discovery's order.
HVAPI_EXPORT Int issue_adp_cmd(UChar op, UShort objid, UChar param1,
                               UChar param2, unsigned long dataptr);

}  // extern "C"

#endif  // HVAPI_CORE_ISSUE_CMD_H
