// A 64-bit FNV-1a digest of bytes, for telling contents apart in cache
// keys (the verification archive, the payload's jars): cheap, with no
// defence against someone who makes collisions on purpose, which the
// private cache directories leave to their owner alone.
#ifndef LAUNCHER_CORE_CONTENTHASH_H_
#define LAUNCHER_CORE_CONTENTHASH_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/SString.h"

class ContentHash {
 public:
  ContentHash();

  void add(const void* bytes, size_t count);
  void add(const SString& text);
  // A text and then a line feed, so that ("ab", "c") and ("a", "bc") differ.
  void addLine(const SString& text);
  // The rest of stream, up to limit bytes (all of it for -1); false when
  // a read failed or the stream ended before limit.
  bool addStream(FILE* stream, long limit);

  uint64_t value() const { return m_value; }
  // The value as 16 lower-case hexadecimal digits.
  SString hex() const;

 private:
  uint64_t m_value;
};

// The digest of a text as 16 hexadecimal digits.
SString hashText(const SString& text);

#endif  // LAUNCHER_CORE_CONTENTHASH_H_
