#include "core/LowMemory.h"

#include <sys/mman.h>

namespace {

constexpr uint64_t kLimit = uint64_t{1} << 32;

bool BelowLimit(const void *p, size_t size) {
  const uint64_t start = reinterpret_cast<uintptr_t>(p);
  return start < kLimit && size <= kLimit - start;
}

void *MapAt(void *hint, size_t size, int extraFlags) {
  void *p = mmap(hint, size, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | extraFlags, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  if (!BelowLimit(p, size)) {
    munmap(p, size);
    return nullptr;
  }
  return p;
}

}  // namespace

void *LowAlloc(size_t size) {
  if (size == 0 || size >= kLimit) return nullptr;
#ifdef MAP_32BIT
  if (void *p = MapAt(nullptr, size, MAP_32BIT)) return p;
#endif
  if (sizeof(void *) <= 4) return MapAt(nullptr, size, 0);
  // Without MAP_32BIT (or with its 2 GiB window full) ask for low addresses
  // by hint; the kernel honours a free hint and we check what we got.
  for (uint64_t hint = uint64_t{1} << 28; hint + size < kLimit;
       hint += uint64_t{1} << 28) {
    if (void *p = MapAt(reinterpret_cast<void *>(static_cast<uintptr_t>(hint)),
                        size, 0))
      return p;
  }
  return nullptr;
}

void LowFree(void *p, size_t size) {
  if (p != nullptr) munmap(p, size);
}

bool ToDriverAddress(const void *p, uint32_t *out) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(p);
  if (static_cast<uint64_t>(value) >= kLimit) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}
