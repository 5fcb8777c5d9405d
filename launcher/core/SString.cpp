#include "core/SString.h"

#include <functional>

namespace {

typedef SString::size_type size_type;

const char kEmpty[1] = {'\0'};
// Handed out for writable access past the end, so that a write through
// it cannot change what empty strings read.
char g_scratch;

const unsigned char kFrozen = 255;
const unsigned char kMaxShared = 254;
// Capacities are rounded up to 32 * k - 1, and a trimming grow keeps a
// buffer no larger than this.
const size_type kMinCapacity = 31;

size_type minimum(size_type a, size_type b) { return a < b ? a : b; }

}  // namespace

SString::SString() : m_ptr(nullptr), m_len(0), m_res(0) {}

SString::SString(const SString& s) : SString() { assign(s, 0, npos); }

SString::SString(const SString& s, size_type pos, size_type n) : SString() {
  assign(s, pos, n);
}

SString::SString(const char* s) : SString() { assign(s); }

SString::SString(const char* s, size_type n) : SString() { assign(s, n); }

SString::SString(size_type n, char c) : SString() { assign(n, c); }

SString::~SString() { release(); }

unsigned char& SString::count() const {
  return reinterpret_cast<unsigned char&>(m_ptr[-1]);
}

unsigned char SString::countByte() const { return m_ptr ? count() : 0; }

bool SString::isShared() const {
  return m_ptr && count() != 0 && count() != kFrozen;
}

void SString::setLength(size_type n) {
  m_len = n;
  m_ptr[n] = '\0';
}

bool SString::aliases(const char* s) const {
  std::less_equal<const char*> le;
  return m_ptr && le(m_ptr, s) && le(s, m_ptr + m_len);
}

bool SString::grow(size_type n, bool trim) {
  if (n > max_size()) throw LengthException();
  if (isShared()) {
    if (n == 0) {
      --count();
      m_ptr = nullptr;
      m_len = m_res = 0;
      return false;
    }
    reallocate(n);
    return true;
  }
  if (n == 0) {
    if (trim)
      release();
    else if (m_ptr)
      setLength(0);
    return false;
  }
  if (trim && (m_res > kMinCapacity || m_res < n)) {
    release();
    reallocate(n);
  } else if (!trim && m_res < n) {
    reallocate(n);
  }
  return true;
}

void SString::reallocate(size_type n) {
  size_type capacity = n | kMinCapacity;
  if (capacity > max_size()) capacity = n;
  char* block = new char[static_cast<size_t>(capacity) + 2];
  block[0] = 0;
  size_type keep = minimum(m_len, capacity);
  CharTraits::copy(block + 1, m_ptr, keep);
  release();
  m_ptr = block + 1;
  m_res = capacity;
  setLength(keep);
}

void SString::release() {
  if (m_ptr) {
    if (count() == 0 || count() == kFrozen)
      delete[](m_ptr - 1);
    else
      --count();
  }
  m_ptr = nullptr;
  m_len = m_res = 0;
}

void SString::split() {
  if (!isShared()) return;
  if (m_len == 0)
    release();
  else
    reallocate(m_len);
}

void SString::freeze() {
  if (isShared()) grow(m_len);
  if (m_ptr) count() = kFrozen;
}

char* SString::makeGap(size_type p0, size_type n0, size_type n) {
  if (p0 > m_len) throw RangeException();
  n0 = minimum(n0, m_len - p0);
  if (npos - n <= m_len - n0) throw LengthException();
  if (n == 0 && n0 == 0) return nullptr;
  split();
  size_type tail = m_len - p0 - n0;
  size_type total = m_len - n0 + n;
  if (n < n0) CharTraits::move(m_ptr + p0 + n, m_ptr + p0 + n0, tail);
  if (!grow(total)) return nullptr;
  if (n > n0) CharTraits::move(m_ptr + p0 + n, m_ptr + p0 + n0, tail);
  setLength(total);
  return m_ptr + p0;
}

SString& SString::replaceChars(size_type p0, size_type n0, const char* s,
                               size_type n) {
  if (!s) {
    s = kEmpty;
    n = 0;
  }
  if (n != 0 && aliases(s)) {
    // The source lives in the buffer about to be moved or reallocated.
    SString source(s, n);
    return replaceChars(p0, n0, source.c_str(), n);
  }
  char* gap = makeGap(p0, n0, n);
  if (gap) CharTraits::copy(gap, s, n);
  return *this;
}

SString& SString::replaceFill(size_type p0, size_type n0, size_type n, char c) {
  char* gap = makeGap(p0, n0, n);
  if (gap) CharTraits::assign(gap, n, c);
  return *this;
}

// --- assign ---------------------------------------------------------------

SString& SString::assign(const SString& s) { return assign(s, 0, npos); }

SString& SString::assign(const SString& s, size_type pos, size_type n) {
  if (pos > s.m_len) throw RangeException();
  size_type num = minimum(n, s.m_len - pos);
  if (this == &s) {
    erase(pos + num);
    erase(0, pos);
  } else if (num > 0 && num == s.m_len && s.count() < kMaxShared) {
    release();
    m_ptr = s.m_ptr;
    m_len = s.m_len;
    m_res = s.m_res;
    ++count();
  } else if (grow(num, true)) {
    CharTraits::copy(m_ptr, s.m_ptr + pos, num);
    setLength(num);
  }
  return *this;
}

SString& SString::assign(const char* s, size_type n) {
  if (!s) {
    s = kEmpty;
    n = 0;
  }
  if (n != 0 && aliases(s))
    return assign(*this, static_cast<size_type>(s - m_ptr), n);
  if (grow(n, true)) {
    CharTraits::copy(m_ptr, s, n);
    setLength(n);
  }
  return *this;
}

SString& SString::assign(const char* s) {
  return assign(s, CharTraits::length(s));
}

SString& SString::assign(size_type n, char c) {
  if (n == npos) throw LengthException();
  if (grow(n, true)) {
    CharTraits::assign(m_ptr, n, c);
    setLength(n);
  }
  return *this;
}

// --- append ---------------------------------------------------------------

SString& SString::append(const SString& s) { return append(s, 0, npos); }

SString& SString::append(const SString& s, size_type pos, size_type n) {
  if (pos > s.m_len) throw RangeException();
  return replaceChars(m_len, 0, s.c_str() + pos, minimum(n, s.m_len - pos));
}

SString& SString::append(const char* s, size_type n) {
  return replaceChars(m_len, 0, s, n);
}

SString& SString::append(const char* s) {
  return replaceChars(m_len, 0, s, CharTraits::length(s));
}

SString& SString::append(size_type n, char c) {
  return replaceFill(m_len, 0, n, c);
}

// --- insert ---------------------------------------------------------------

SString& SString::insert(size_type p0, const SString& s) {
  return insert(p0, s, 0, npos);
}

SString& SString::insert(size_type p0, const SString& s, size_type pos,
                         size_type n) {
  if (p0 > m_len || pos > s.m_len) throw RangeException();
  return replaceChars(p0, 0, s.c_str() + pos, minimum(n, s.m_len - pos));
}

SString& SString::insert(size_type p0, const char* s, size_type n) {
  return replaceChars(p0, 0, s, n);
}

SString& SString::insert(size_type p0, const char* s) {
  return replaceChars(p0, 0, s, CharTraits::length(s));
}

SString& SString::insert(size_type p0, size_type n, char c) {
  return replaceFill(p0, 0, n, c);
}

// --- replace --------------------------------------------------------------

SString& SString::replace(size_type p0, size_type n0, const SString& s) {
  return replace(p0, n0, s, 0, npos);
}

SString& SString::replace(size_type p0, size_type n0, const SString& s,
                          size_type pos, size_type n) {
  if (p0 > m_len || pos > s.m_len) throw RangeException();
  return replaceChars(p0, n0, s.c_str() + pos, minimum(n, s.m_len - pos));
}

SString& SString::replace(size_type p0, size_type n0, const char* s,
                          size_type n) {
  return replaceChars(p0, n0, s, n);
}

SString& SString::replace(size_type p0, size_type n0, const char* s) {
  return replaceChars(p0, n0, s, CharTraits::length(s));
}

SString& SString::replace(size_type p0, size_type n0, size_type n, char c) {
  return replaceFill(p0, n0, n, c);
}

// --- erase and access -----------------------------------------------------

SString& SString::erase(size_type pos, size_type n) {
  if (pos > m_len) throw RangeException();
  split();
  n = minimum(n, m_len - pos);
  if (n > 0) {
    CharTraits::move(m_ptr + pos, m_ptr + pos + n, m_len - pos - n);
    size_type total = m_len - n;
    if (grow(total)) setLength(total);
  }
  return *this;
}

char& SString::at(size_type pos) {
  if (pos >= m_len) throw RangeException();
  freeze();
  return m_ptr[pos];
}

const char& SString::at(size_type pos) const {
  if (pos >= m_len) throw RangeException();
  return m_ptr[pos];
}

char& SString::operator[](size_type pos) {
  if (m_ptr && pos <= m_len) {
    freeze();
    if (m_ptr) return m_ptr[pos];
  }
  g_scratch = '\0';
  return g_scratch;
}

const char& SString::operator[](size_type pos) const {
  if (!m_ptr || pos > m_len) return kEmpty[0];
  return m_ptr[pos];
}

const char* SString::c_str() const { return m_ptr ? m_ptr : kEmpty; }

void SString::reserve(size_type n) {
  if (m_res < n) grow(n);
}

void SString::resize(size_type n, char c) {
  if (n <= m_len)
    erase(n);
  else
    append(n - m_len, c);
}

size_type SString::copy(char* dst, size_type n, size_type pos) const {
  if (pos > m_len) throw RangeException();
  n = minimum(n, m_len - pos);
  CharTraits::copy(dst, c_str() + pos, n);
  return n;
}

SString SString::substr(size_type pos, size_type n) const {
  return SString(*this, pos, n);
}

// --- searching ------------------------------------------------------------

size_type SString::find(const char* s, size_type pos, size_type n) const {
  if (n == 0 && pos <= m_len) return pos;
  if (pos < m_len && n <= m_len - pos) {
    for (size_type i = pos; i <= m_len - n; ++i) {
      if (m_ptr[i] == s[0] && CharTraits::compare(m_ptr + i, s, n) == 0)
        return i;
    }
  }
  return npos;
}

size_type SString::find(const SString& s, size_type pos) const {
  return find(s.c_str(), pos, s.m_len);
}

size_type SString::find(const char* s, size_type pos) const {
  return find(s, pos, CharTraits::length(s));
}

size_type SString::find(char c, size_type pos) const {
  return find(&c, pos, 1);
}

size_type SString::rfind(const char* s, size_type pos, size_type n) const {
  if (n == 0) return minimum(pos, m_len);
  if (n <= m_len) {
    for (size_type i = minimum(pos, m_len - n);; --i) {
      if (CharTraits::compare(m_ptr + i, s, n) == 0) return i;
      if (i == 0) break;
    }
  }
  return npos;
}

size_type SString::rfind(const SString& s, size_type pos) const {
  return rfind(s.c_str(), pos, s.m_len);
}

size_type SString::rfind(const char* s, size_type pos) const {
  return rfind(s, pos, CharTraits::length(s));
}

size_type SString::rfind(char c, size_type pos) const {
  return rfind(&c, pos, 1);
}

size_type SString::find_first_of(const char* s, size_type pos,
                                 size_type n) const {
  if (n > 0) {
    for (size_type i = pos; i < m_len; ++i)
      if (CharTraits::find(s, n, m_ptr[i])) return i;
  }
  return npos;
}

size_type SString::find_first_of(const SString& s, size_type pos) const {
  return find_first_of(s.c_str(), pos, s.m_len);
}

size_type SString::find_first_of(const char* s, size_type pos) const {
  return find_first_of(s, pos, CharTraits::length(s));
}

size_type SString::find_first_of(char c, size_type pos) const {
  return find_first_of(&c, pos, 1);
}

size_type SString::find_last_of(const char* s, size_type pos,
                                size_type n) const {
  if (n > 0 && m_len > 0) {
    for (size_type i = minimum(pos, m_len - 1);; --i) {
      if (CharTraits::find(s, n, m_ptr[i])) return i;
      if (i == 0) break;
    }
  }
  return npos;
}

size_type SString::find_last_of(const SString& s, size_type pos) const {
  return find_last_of(s.c_str(), pos, s.m_len);
}

size_type SString::find_last_of(const char* s, size_type pos) const {
  return find_last_of(s, pos, CharTraits::length(s));
}

size_type SString::find_last_of(char c, size_type pos) const {
  return find_last_of(&c, pos, 1);
}

size_type SString::find_first_not_of(const char* s, size_type pos,
                                     size_type n) const {
  for (size_type i = pos; i < m_len; ++i)
    if (!CharTraits::find(s, n, m_ptr[i])) return i;
  return npos;
}

size_type SString::find_first_not_of(const SString& s, size_type pos) const {
  return find_first_not_of(s.c_str(), pos, s.m_len);
}

size_type SString::find_first_not_of(const char* s, size_type pos) const {
  return find_first_not_of(s, pos, CharTraits::length(s));
}

size_type SString::find_first_not_of(char c, size_type pos) const {
  return find_first_not_of(&c, pos, 1);
}

size_type SString::find_last_not_of(const char* s, size_type pos,
                                    size_type n) const {
  if (m_len > 0) {
    for (size_type i = minimum(pos, m_len - 1);; --i) {
      if (!CharTraits::find(s, n, m_ptr[i])) return i;
      if (i == 0) break;
    }
  }
  return npos;
}

size_type SString::find_last_not_of(const SString& s, size_type pos) const {
  return find_last_not_of(s.c_str(), pos, s.m_len);
}

size_type SString::find_last_not_of(const char* s, size_type pos) const {
  return find_last_not_of(s, pos, CharTraits::length(s));
}

size_type SString::find_last_not_of(char c, size_type pos) const {
  return find_last_not_of(&c, pos, 1);
}

// --- comparing ------------------------------------------------------------

int SString::compare(size_type p0, size_type n0, const char* s,
                     size_type n) const {
  if (p0 > m_len) throw RangeException();
  n0 = minimum(n0, m_len - p0);
  int result = CharTraits::compare(c_str() + p0, s, minimum(n0, n));
  if (result != 0) return result;
  return n0 < n ? -1 : n0 == n ? 0 : 1;
}

int SString::compare(const SString& s) const {
  return compare(0, m_len, s.c_str(), s.m_len);
}

int SString::compare(size_type p0, size_type n0, const SString& s) const {
  return compare(p0, n0, s.c_str(), s.m_len);
}

int SString::compare(size_type p0, size_type n0, const SString& s,
                     size_type pos, size_type n) const {
  if (pos > s.m_len) throw RangeException();
  return compare(p0, n0, s.c_str() + pos, minimum(n, s.m_len - pos));
}

int SString::compare(const char* s) const {
  return compare(0, m_len, s ? s : kEmpty, CharTraits::length(s));
}

int SString::compare(size_type p0, size_type n0, const char* s) const {
  return compare(p0, n0, s ? s : kEmpty, CharTraits::length(s));
}

// --- concatenation --------------------------------------------------------

SString operator+(const SString& a, const SString& b) {
  SString result(a);
  return result.append(b);
}

SString operator+(const SString& a, const char* b) {
  SString result(a);
  return result.append(b);
}

SString operator+(const char* a, const SString& b) {
  SString result(a);
  return result.append(b);
}

SString operator+(const SString& a, char b) {
  SString result(a);
  return result.append(1, b);
}

SString operator+(char a, const SString& b) {
  SString result(1, a);
  return result.append(b);
}
