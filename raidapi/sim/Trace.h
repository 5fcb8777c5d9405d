// The request trace: with HALVSIM_TRACE naming a file, one line per event is
// appended to it (the format is in README.md).
#ifndef HALVSIM_TRACE_H
#define HALVSIM_TRACE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace halvsim {

bool TraceEnabled();

// Appends line and a line break in one write.
void TraceLine(const std::string &line);

// Lower-case hex of the bytes, "-" when there are none. With limit set,
// longer input is cut there and marked with "...".
std::string HexBytes(const uint8_t *bytes, size_t n, size_t limit = 0);

}  // namespace halvsim

#endif  // HALVSIM_TRACE_H
