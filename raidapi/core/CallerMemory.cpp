#include "core/CallerMemory.h"

#include <sys/uio.h>
#include <unistd.h>

#include <initializer_list>

#include "core/AdapterTable.h"
#include "core/IoctlPass.h"
#include "core/LowMemory.h"
#include "firmware/FirmwareLayouts.h"

namespace {

bool Overlaps(uint64_t start, size_t n, const void *p, size_t size) {
  if (p == nullptr) return false;
  const uint64_t from = reinterpret_cast<uintptr_t>(p);
  return start < from + size && from < start + n;
}

// The library's own memory below 4 GiB, which a cut address may land on.
bool InLibraryBuffers(uint32_t address, size_t n) {
  if (Overlaps(address, n, RequestBuffer(), sizeof(UserIoctl_Struct)) ||
      Overlaps(address, n, MimdRecord(), sizeof(uioctl_t))) {
    return true;
  }
  for (UChar i = 0; i < HVAPI_MAX_ADAPTERS; ++i) {
    const ADAPTER_INFO &row = gstAdpTab.astTotAdpInfo[i];
    for (ULong32 cache : {row.pstAdapData4Span8LD, row.pstAdapData8Span8LD,
                          row.pstAdapData8Span40LD}) {
      // The largest cache bounds them all.
      if (cache != 0 && Overlaps(address, n, FromDriverAddress(cache),
                                 sizeof(ADAP_DATA_8SPAN_40LD))) {
        return true;
      }
    }
  }
  return false;
}

bool Move(bool toCaller, uint32_t address, void *local, size_t n) {
  if (n == 0) return true;
  if (address == 0 || InLibraryBuffers(address, n)) return false;
  iovec mine = {local, n};
  iovec theirs = {FromDriverAddress(address), n};
  const ssize_t done =
      toCaller ? process_vm_writev(getpid(), &mine, 1, &theirs, 1, 0)
               : process_vm_readv(getpid(), &mine, 1, &theirs, 1, 0);
  return done == static_cast<ssize_t>(n);
}

}  // namespace

bool CopyFromCaller(void *to, uint32_t address, size_t n) {
  return Move(false, address, to, n);
}

bool CopyToCaller(uint32_t address, const void *from, size_t n) {
  return Move(true, address, const_cast<void *>(from), n);
}
