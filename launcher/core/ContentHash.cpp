#include "core/ContentHash.h"

namespace {

const uint64_t kOffsetBasis = 14695981039346656037ull;
const uint64_t kPrime = 1099511628211ull;

}  // namespace

ContentHash::ContentHash() : m_value(kOffsetBasis) {}

void ContentHash::add(const void* bytes, size_t count) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  uint64_t value = m_value;
  for (size_t i = 0; i < count; ++i) {
    value ^= p[i];
    value *= kPrime;
  }
  m_value = value;
}

void ContentHash::add(const SString& text) { add(text.data(), text.length()); }

void ContentHash::addLine(const SString& text) {
  add(text);
  add("\n", 1);
}

bool ContentHash::addStream(FILE* stream, long limit) {
  char buffer[65536];
  long remaining = limit;
  while (limit < 0 || remaining > 0) {
    size_t wanted = sizeof buffer;
    if (limit >= 0 && remaining < static_cast<long>(wanted))
      wanted = static_cast<size_t>(remaining);
    size_t got = std::fread(buffer, 1, wanted, stream);
    add(buffer, got);
    remaining -= static_cast<long>(got);
    if (got < wanted) return !std::ferror(stream) && limit < 0;
  }
  return true;
}

SString ContentHash::hex() const {
  static const char kDigits[] = "0123456789abcdef";
  char text[16];
  for (int i = 0; i < 16; ++i)
    text[i] = kDigits[(m_value >> (60 - 4 * i)) & 0xf];
  return SString(text, 16);
}

SString hashText(const SString& text) {
  ContentHash hash;
  hash.add(text);
  return hash.hex();
}
