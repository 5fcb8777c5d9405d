#ifndef LAUNCHER_CORE_CHARTRAITS_H
#define LAUNCHER_CORE_CHARTRAITS_H

#include <cstddef>

// Plain byte operations behind SString: no locale, no encoding, bytes
// compare as unsigned values.
struct CharTraits {
  typedef char char_type;
  typedef int int_type;

  static void assign(char& dst, const char& src) { dst = src; }
  static bool eq(char a, char b) { return a == b; }
  static bool lt(char a, char b) {
    return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
  }
  static int compare(const char* a, const char* b, size_t n);
  static size_t length(const char* s);
  static const char* find(const char* s, size_t n, const char& c);
  static char* move(char* dst, const char* src, size_t n);
  static char* copy(char* dst, const char* src, size_t n);
  static char* assign(char* dst, size_t n, char c);
  static int_type eof() { return -1; }
};

#endif
