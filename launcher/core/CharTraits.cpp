#include "core/CharTraits.h"

#include <cstring>

int CharTraits::compare(const char* a, const char* b, size_t n) {
  return n == 0 ? 0 : std::memcmp(a, b, n);
}

size_t CharTraits::length(const char* s) { return s ? std::strlen(s) : 0; }

const char* CharTraits::find(const char* s, size_t n, const char& c) {
  return n == 0 ? nullptr : static_cast<const char*>(std::memchr(s, c, n));
}

char* CharTraits::move(char* dst, const char* src, size_t n) {
  if (n != 0) std::memmove(dst, src, n);
  return dst;
}

char* CharTraits::copy(char* dst, const char* src, size_t n) {
  if (n != 0) std::memcpy(dst, src, n);
  return dst;
}

char* CharTraits::assign(char* dst, size_t n, char c) {
  if (n != 0) std::memset(dst, c, n);
  return dst;
}
