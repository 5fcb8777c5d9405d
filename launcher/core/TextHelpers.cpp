#include "core/TextHelpers.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "core/LauncherException.h"

bool g_enableOutput = true;

const char* const whitespaceChars = " \t\n\r";

namespace {

typedef SString::size_type size_type;
const size_type npos = SString::npos;

// Decodes one well-formed UTF-8 sequence (no overlong forms, surrogates
// or values past U+10FFFF) at p; returns its length, or 0 when p does not
// start one.
size_type decodeUtf8(const unsigned char* p, size_type avail,
                     unsigned long& codePoint) {
  size_type extra;
  unsigned long lowest;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    extra = 1, lowest = 0x80, codePoint = p[0] & 0x1Fu;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    extra = 2, lowest = 0x800, codePoint = p[0] & 0x0Fu;
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    extra = 3, lowest = 0x10000, codePoint = p[0] & 0x07u;
  } else {
    return 0;
  }
  if (avail <= extra) return 0;
  for (size_type i = 1; i <= extra; ++i) {
    if ((p[i] & 0xC0u) != 0x80u) return 0;
    codePoint = (codePoint << 6) | (p[i] & 0x3Fu);
  }
  if (codePoint < lowest || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return 0;
  return extra + 1;
}

[[noreturn]] void unterminatedArgument(size_type pos) {
  throw LauncherException(
      SString("Expected double quote to end argument near ") +
      convertToString(static_cast<int>(pos)));
}

}  // namespace

bool convertToLong(const SString& s, long& value) {
  const char* text = s.c_str();
  char* end = nullptr;
  long number = std::strtol(text, &end, 10);
  if (end == text) return false;
  value = number;
  return true;
}

bool convertToShort(const SString& s, short& value) {
  long number;
  if (!convertToLong(s, number)) return false;
  // "%hd" keeps the low bits of what it read.
  value = static_cast<short>(number);
  return true;
}

SString convertToString(long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld", value);
  return SString(text);
}

bool isWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void trim(SString& s, const char* set) {
  const SString& text = s;
  size_type last = text.find_last_not_of(set);
  if (last == npos) {
    if (!text.empty()) s.erase();
    return;
  }
  if (last + 1 < text.length()) s.erase(last + 1);
  size_type first = text.find_first_not_of(set);
  if (first > 0) s.erase(0, first);
}

void stripQuotes(SString& s) {
  const SString& text = s;
  if (!text.empty() && text[0] == '"') s.erase(0, 1);
  if (!text.empty() && text[text.length() - 1] == '"')
    s.erase(text.length() - 1);
}

unsigned stringEndsWith(const SString& s, const char* suffix) {
  size_type n = static_cast<size_type>(CharTraits::length(suffix));
  if (n > s.length()) return npos;
  size_type start = s.length() - n;
  return s.compare(start, n, suffix, n) == 0 ? start : npos;
}

void readLineFromStream(FILE* stream, SString& line) {
  char chunk[256];
  size_type used = 0;
  int c;
  while ((c = std::getc(stream)) != EOF && c != '\n') {
    if (c == '\r') continue;
    chunk[used++] = static_cast<char>(c);
    if (used == sizeof chunk) {
      line.append(chunk, used);
      used = 0;
    }
  }
  line.append(chunk, used);
  trim(line, whitespaceChars);
}

void readLineFromString(const SString& text, unsigned& pos, SString& line) {
  size_type length = text.length();
  if (pos >= length) return;
  size_type feed = text.find('\n', pos);
  size_type end = feed == npos ? length : feed;
  SString result;
  result.reserve(end - pos);
  const char* p = text.c_str();
  for (size_type i = pos; i < end; ++i)
    if (p[i] != '\r') result.append(1, p[i]);
  pos = end + 1;
  trim(result, whitespaceChars);
  line = result;
}

SString getTokenFromString(const SString& text, unsigned& pos, bool& noToken) {
  size_type length = text.length();
  const char* p = text.c_str();
  noToken = true;
  if (pos >= length) {
    if (pos == length) pos = length + 1;
    return SString();
  }
  while (pos < length && std::isspace(static_cast<unsigned char>(p[pos])))
    ++pos;
  size_type start = pos;
  while (pos < length && !std::isspace(static_cast<unsigned char>(p[pos])))
    ++pos;
  SString token(p + start, pos - start);
  noToken = token.empty();
  // Past the character that stopped the token, the terminator included.
  ++pos;
  return token;
}

SString parseStringArgument(const SString& text, unsigned& pos, bool quoted) {
  size_type length = text.length();
  if (!quoted) {
    if (pos >= length) {
      pos = npos;
      return SString();
    }
    size_type end = text.find_first_of(whitespaceChars, pos);
    SString argument(text, pos, end == npos ? npos : end - pos);
    pos = end;
    return argument;
  }
  SString argument;
  const char* p = text.c_str();
  for (;;) {
    size_type quote = text.find('"', pos);
    if (quote == npos) unterminatedArgument(pos);
    if (quote + 1 >= length || p[quote + 1] != '"') {
      argument.append(p + pos, quote - pos);
      pos = quote + 1 >= length ? npos : quote + 1;
      return argument;
    }
    // A doubled quote stands for one.
    argument.append(p + pos, quote - pos + 1);
    pos = quote + 2;
    if (pos >= length) unterminatedArgument(npos);
  }
}

wchar_t* convertToUnicode(const SString& s) {
  size_type length = s.length();
  wchar_t* wide = new wchar_t[static_cast<size_t>(length) + 1]();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.c_str());
  size_type out = 0;
  size_type i = 0;
  while (i < length) {
    if (p[i] == '\\' && i + 5 < length &&
        (p[i + 1] == 'u' || p[i + 1] == 'U')) {
      char digits[5];
      std::memcpy(digits, p + i + 2, 4);
      digits[4] = '\0';
      unsigned int value;
      if (std::sscanf(digits, "%x", &value) == 1) {
        wide[out++] = static_cast<wchar_t>(value);
        i += 6;
      } else {
        wide[out++] = L'\\';
        ++i;
      }
      continue;
    }
    unsigned long codePoint;
    size_type used =
        p[i] >= 0x80 ? decodeUtf8(p + i, length - i, codePoint) : 0;
    if (used > 0) {
      wide[out++] = static_cast<wchar_t>(codePoint);
      i += used;
    } else {
      wide[out++] = static_cast<wchar_t>(p[i]);
      ++i;
    }
  }
  return wide;
}

// The console of the launcher itself is standard error: standard output
// belongs to the application and to the results callers read.
void writeLine(const SString& text) {
  if (g_enableOutput) std::fprintf(stderr, "%s\n", text.c_str());
}

void writeLine(const char* text) {
  if (g_enableOutput) std::fprintf(stderr, "%s\n", text ? text : "");
}

void write(const char* text) {
  if (!g_enableOutput) return;
  std::fputs(text ? text : "", stderr);
  std::fflush(stderr);
}

SString getLine() {
  char word[1024];
  if (std::scanf("%1023s", word) != 1) return SString();
  return SString(word);
}
