// What the adapter operations share: the command sender that turns any
// transport failure into the library's -11, and the firmware type and cache
// of an adapter that PerformValidations has accepted.
#ifndef HVAPI_OPS_ADAPTER_OPS_H
#define HVAPI_OPS_ADAPTER_OPS_H

#include "core/AdapterTable.h"
#include "core/IssueCmd.h"
#include "hvapi.h"

// Sends a command to the current adapter: 0, or -11 when it fails.
inline Int SendAdapterCommand(Int op, Int objid, void *data, ULong32 param1 = 0,
                              ULong32 param2 = 0) {
  return IssueCmd(op, objid, reinterpret_cast<unsigned long>(data), param1,
                  param2) == 0
             ? 0
             : HVAPI_ERR_CMD_FAILED;
}

// Sends a read command of length bytes and returns the transport's result
// unchanged. Unlike IssueCmd it also hands over the answer that an adapter
// gives together with a non-zero status (the progress queries do), which
// waits in the request buffer.
Int SendReadingStatus(Int op, Int objid, void *data, size_t length,
                      ULong32 param1 = 0, ULong32 param2 = 0);

// Firmware type of a found adapter.
inline UChar AdapterFwType(UChar uchAdaptNo) {
  return gachDacFWType[uchAdaptNo];
}

#endif  // HVAPI_OPS_ADAPTER_OPS_H
