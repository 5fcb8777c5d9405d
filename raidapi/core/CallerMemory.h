// Copies to and from memory that a caller names by a 32-bit address field
// (the pass-through record's DataTransferAddress). On a 64-bit host such a
// field cannot hold an ordinary heap or stack pointer: a cut address may
// name nothing, or memory that belongs to someone else. Every byte is
// therefore copied by the kernel, which refuses an address that is not
// mapped for the access instead of letting the process die, and addresses
// inside the library's own driver buffers are refused outright.
#ifndef HVAPI_CORE_CALLER_MEMORY_H
#define HVAPI_CORE_CALLER_MEMORY_H

#include <cstddef>
#include <cstdint>

// Copies n bytes from the caller's address into to. False, with nothing
// copied, when the range is not readable or overlaps the library's buffers.
bool CopyFromCaller(void *to, uint32_t address, size_t n);

// Copies n bytes from from to the caller's address. False when the range is
// not writable or overlaps the library's buffers (nothing is written then).
bool CopyToCaller(uint32_t address, const void *from, size_t n);

#endif  // HVAPI_CORE_CALLER_MEMORY_H
