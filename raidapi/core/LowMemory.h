// Memory the driver can be handed by address. The driver records carry
// user-space addresses in 32-bit fields, so every library buffer that travels
// by address must lie below 4 GiB, and a pointer that does not fit is an
// error, never silently truncated.
#ifndef HVAPI_CORE_LOW_MEMORY_H
#define HVAPI_CORE_LOW_MEMORY_H

#include <cstddef>
#include <cstdint>

// Zeroed, page-aligned memory whose every byte lies below 4 GiB, or nullptr.
void *LowAlloc(size_t size);

// Returns memory from LowAlloc; size must be the size it was given.
void LowFree(void *p, size_t size);

// Stores the 32-bit form of p in *out and answers true when p fits in 32 bits;
// answers false (and leaves *out alone) when it does not.
bool ToDriverAddress(const void *p, uint32_t *out);

// The pointer a 32-bit address field names.
inline void *FromDriverAddress(uint32_t addr) {
  return reinterpret_cast<void *>(static_cast<uintptr_t>(addr));
}

#endif  // HVAPI_CORE_LOW_MEMORY_H
