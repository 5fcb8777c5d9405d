#include "ops/AdapterVersionText.h"

#include <cstring>

namespace {
constexpr size_t kShortLen = 7;  // "A.43.21"
constexpr size_t kFourByteLen = 4;

Char Nibble(UChar value) { return static_cast<Char>('0' + (value & 0x0F)); }
}  // namespace

void ShortVersionText(const UChar b[3], Char *out, size_t outLen) {
  if (outLen <= kShortLen) return;
  const Char text[kShortLen] = {static_cast<Char>(b[2]),
                                '.',
                                Nibble(b[1] >> 4),
                                Nibble(b[1]),
                                '.',
                                Nibble(b[0] >> 4),
                                Nibble(b[0])};
  std::memcpy(out, text, kShortLen);
  out[kShortLen] = '\0';
}

void FourByteVersionText(const UChar b[4], Char *out, size_t outLen) {
  if (outLen <= kFourByteLen) return;
  std::memcpy(out, b, kFourByteLen);
  out[kFourByteLen] = '\0';
}
