#ifndef LAUNCHER_CORE_SSTRING_H
#define LAUNCHER_CORE_SSTRING_H

#include "core/CharTraits.h"

// Raised when a string would grow past max_size() or its length reach npos.
class LengthException {};

// Raised when a position lies past the end of a string.
class RangeException {};

// The launcher's byte string. Copies share one reference-counted buffer;
// the count byte in front of the characters reads 0 for one holder,
// 1..254 for count + 1 holders and 255 for a frozen buffer that is never
// shared again (a writable character reference was handed out).
class SString {
 public:
  typedef unsigned int size_type;
  static const size_type npos = 4294967295u;

  SString();
  SString(const SString& s);
  SString(const SString& s, size_type pos, size_type n = npos);
  SString(const char* s);  // a null pointer reads as the empty string
  SString(const char* s, size_type n);
  SString(size_type n, char c);
  virtual ~SString();

  SString& operator=(const SString& s) { return assign(s); }
  SString& operator=(const char* s) { return assign(s); }
  SString& operator=(char c) { return assign(1, c); }

  SString& operator+=(const SString& s) { return append(s); }
  SString& operator+=(const char* s) { return append(s); }
  SString& operator+=(char c) { return append(1, c); }

  SString& append(const SString& s);
  SString& append(const SString& s, size_type pos, size_type n);
  SString& append(const char* s, size_type n);
  SString& append(const char* s);
  SString& append(size_type n, char c);

  SString& assign(const SString& s);
  SString& assign(const SString& s, size_type pos, size_type n);
  SString& assign(const char* s, size_type n);
  SString& assign(const char* s);
  SString& assign(size_type n, char c);

  SString& insert(size_type p0, const SString& s);
  SString& insert(size_type p0, const SString& s, size_type pos, size_type n);
  SString& insert(size_type p0, const char* s, size_type n);
  SString& insert(size_type p0, const char* s);
  SString& insert(size_type p0, size_type n, char c);

  SString& replace(size_type p0, size_type n0, const SString& s);
  SString& replace(size_type p0, size_type n0, const SString& s, size_type pos,
                   size_type n);
  SString& replace(size_type p0, size_type n0, const char* s, size_type n);
  SString& replace(size_type p0, size_type n0, const char* s);
  SString& replace(size_type p0, size_type n0, size_type n, char c);

  SString& erase(size_type pos = 0, size_type n = npos);

  // Writable access freezes the buffer: the caller may keep the reference.
  char& at(size_type pos);
  const char& at(size_type pos) const;
  // Never raises: past the end (or without a buffer) it yields a NUL.
  char& operator[](size_type pos);
  const char& operator[](size_type pos) const;

  const char* c_str() const;
  const char* data() const { return c_str(); }
  size_type length() const { return m_len; }
  size_type size() const { return m_len; }
  size_type max_size() const { return 4294967293u; }
  size_type capacity() const { return m_res; }
  void reserve(size_type n = 0);
  void resize(size_type n, char c = '\0');
  bool empty() const { return m_len == 0; }
  // Copies at most n characters from pos into dst, without a terminator;
  // returns how many were copied.
  size_type copy(char* dst, size_type n, size_type pos = 0) const;
  SString substr(size_type pos = 0, size_type n = npos) const;

  size_type find(const SString& s, size_type pos = 0) const;
  size_type find(const char* s, size_type pos, size_type n) const;
  size_type find(const char* s, size_type pos = 0) const;
  size_type find(char c, size_type pos = 0) const;

  size_type rfind(const SString& s, size_type pos = npos) const;
  size_type rfind(const char* s, size_type pos, size_type n) const;
  size_type rfind(const char* s, size_type pos = npos) const;
  size_type rfind(char c, size_type pos = npos) const;

  size_type find_first_of(const SString& s, size_type pos = 0) const;
  size_type find_first_of(const char* s, size_type pos, size_type n) const;
  size_type find_first_of(const char* s, size_type pos = 0) const;
  size_type find_first_of(char c, size_type pos = 0) const;

  size_type find_last_of(const SString& s, size_type pos = npos) const;
  size_type find_last_of(const char* s, size_type pos, size_type n) const;
  size_type find_last_of(const char* s, size_type pos = npos) const;
  size_type find_last_of(char c, size_type pos = npos) const;

  size_type find_first_not_of(const SString& s, size_type pos = 0) const;
  size_type find_first_not_of(const char* s, size_type pos, size_type n) const;
  size_type find_first_not_of(const char* s, size_type pos = 0) const;
  size_type find_first_not_of(char c, size_type pos = 0) const;

  size_type find_last_not_of(const SString& s, size_type pos = npos) const;
  size_type find_last_not_of(const char* s, size_type pos, size_type n) const;
  size_type find_last_not_of(const char* s, size_type pos = npos) const;
  size_type find_last_not_of(char c, size_type pos = npos) const;

  // Negative, zero or positive, like memcmp on unsigned bytes and then
  // the lengths.
  int compare(const SString& s) const;
  int compare(size_type p0, size_type n0, const SString& s) const;
  int compare(size_type p0, size_type n0, const SString& s, size_type pos,
              size_type n) const;
  int compare(const char* s) const;
  int compare(size_type p0, size_type n0, const char* s) const;
  int compare(size_type p0, size_type n0, const char* s, size_type n) const;

  // The sharing state of the buffer: 0 without a buffer or with one
  // holder, 1..254 shared, 255 frozen.
  unsigned char countByte() const;

 private:
  bool grow(size_type n, bool trim = false);
  void reallocate(size_type n);
  void release();
  void split();
  void freeze();
  bool isShared() const;
  void setLength(size_type n);
  bool aliases(const char* s) const;
  unsigned char& count() const;
  // Replaces n0 characters at p0 by room for n; returns that room, or
  // null when there is none to fill.
  char* makeGap(size_type p0, size_type n0, size_type n);
  SString& replaceChars(size_type p0, size_type n0, const char* s, size_type n);
  SString& replaceFill(size_type p0, size_type n0, size_type n, char c);

  char* m_ptr;
  size_type m_len;
  size_type m_res;
};

SString operator+(const SString& a, const SString& b);
SString operator+(const SString& a, const char* b);
SString operator+(const char* a, const SString& b);
SString operator+(const SString& a, char b);
SString operator+(char a, const SString& b);

inline bool operator==(const SString& a, const SString& b) {
  return a.compare(b) == 0;
}
inline bool operator==(const SString& a, const char* b) {
  return a.compare(b) == 0;
}
inline bool operator==(const char* a, const SString& b) {
  return b.compare(a) == 0;
}
inline bool operator!=(const SString& a, const SString& b) { return !(a == b); }
inline bool operator!=(const SString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const SString& b) { return !(a == b); }
inline bool operator<(const SString& a, const SString& b) {
  return a.compare(b) < 0;
}
inline bool operator<(const SString& a, const char* b) {
  return a.compare(b) < 0;
}
inline bool operator<(const char* a, const SString& b) {
  return b.compare(a) > 0;
}

#endif
