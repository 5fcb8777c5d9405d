// Safe access to the caller's memory by the addresses that requests carry.
// The driver records hold addresses that the library chose; a wrong one must
// fail the request, never crash the process, so every access is checked by
// the kernel instead of dereferenced.
#ifndef HALVSIM_USER_MEMORY_H
#define HALVSIM_USER_MEMORY_H

#include <cstddef>
#include <cstdint>

namespace halvsim {

// Copies n bytes from addr; false when any byte is not mapped readable
// (address 0 included). n == 0 always succeeds.
bool CopyIn(uint64_t addr, void *dst, size_t n);

// Copies n bytes to addr; false when any byte is not mapped writable.
bool CopyOut(uint64_t addr, const void *src, size_t n);

// True when n bytes at addr can be written; the bytes are left as they were.
bool Writable(uint64_t addr, size_t n);

inline uint64_t AddressOf(const void *p) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace halvsim

#endif  // HALVSIM_USER_MEMORY_H
