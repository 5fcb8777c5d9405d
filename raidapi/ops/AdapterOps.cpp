#include "ops/AdapterOps.h"

#include <cstring>

#include "core/IoctlPass.h"

Int SendReadingStatus(Int op, Int objid, void *data, size_t length,
                      ULong32 param1, ULong32 param2) {
  const Int result = IssueCmd(op, objid, reinterpret_cast<unsigned long>(data),
                              param1, param2);
  UserIoctl_Struct *buffer = RequestBuffer();
  if (result > 0 && buffer != nullptr) {
    std::memcpy(data,
                reinterpret_cast<uint8_t *>(buffer) + HALV_INCOMING_OFFSET,
                length);
  }
  return result;
}
