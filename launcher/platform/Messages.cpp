#include "platform/Messages.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char* const* const msg_locale_table[kMessageLocaleCount + 1] = {
    unixlauncher_msg_en,
    unixlauncher_msg_cs,
    unixlauncher_msg_da,
    unixlauncher_msg_de,
    unixlauncher_msg_el,
    unixlauncher_msg_es,
    unixlauncher_msg_fi,
    unixlauncher_msg_fr,
    unixlauncher_msg_hu,
    unixlauncher_msg_it,
    unixlauncher_msg_ja,
    unixlauncher_msg_ko,
    unixlauncher_msg_nl,
    unixlauncher_msg_no,
    unixlauncher_msg_pl,
    unixlauncher_msg_pt,
    unixlauncher_msg_pt_BR,
    unixlauncher_msg_ru,
    unixlauncher_msg_sv,
    unixlauncher_msg_tr,
    unixlauncher_msg_zh,
    unixlauncher_msg_zh_TW,
    nullptr,
};

namespace {

// Parallel to msg_locale_table. English is plain ASCII, which every
// ISO-8859 encoding shares.
const char* const kLocaleEncodings[kMessageLocaleCount] = {
    "ISO-8859-1",  // en
    "ISO-8859-2",  // cs
    "ISO-8859-1",  // da
    "ISO-8859-1",  // de
    "ISO-8859-7",  // el
    "ISO-8859-1",  // es
    "ISO-8859-1",  // fi
    "ISO-8859-1",  // fr
    "ISO-8859-2",  // hu
    "ISO-8859-1",  // it
    "EUC-JP",      // ja
    "EUC-KR",      // ko
    "ISO-8859-1",  // nl
    "ISO-8859-1",  // no
    "ISO-8859-2",  // pl
    "ISO-8859-1",  // pt
    "ISO-8859-1",  // pt_BR
    "ISO-8859-5",  // ru
    "ISO-8859-1",  // sv
    "ISO-8859-9",  // tr
    "GB2312",      // zh
    "BIG5",        // zh_TW
};

// Longer names are not codesets any system knows.
constexpr size_t kMaxCodesetLength = 63;

// Copies the codeset of a LANG value ("UTF-8" in "ja_JP.UTF-8@cjk") into
// `out`; false when the value names none.
bool codesetOf(const char* lang, char (&out)[kMaxCodesetLength + 1]) {
  size_t beforeModifier = strcspn(lang, "@");
  const char* dot = static_cast<const char*>(memchr(lang, '.', beforeModifier));
  if (dot == nullptr) return false;
  const char* start = dot + 1;
  size_t length = strcspn(start, "@");
  if (length == 0 || length > kMaxCodesetLength) return false;
  memcpy(out, start, length);
  out[length] = '\0';
  return true;
}

// Encoding names compared as systems spell them: "UTF-8" is "utf8" and
// "ISO8859-1" is "ISO-8859-1".
bool sameEncoding(const char* a, const char* b) {
  for (;;) {
    while (*a == '-' || *a == '_') ++a;
    while (*b == '-' || *b == '_') ++b;
    char ca = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
    char cb = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (ca != cb) return false;
    if (ca == '\0') return true;
    ++a;
    ++b;
  }
}

// The output of one iconv conversion, in a buffer grown on demand.
class Converter {
 public:
  explicit Converter(iconv_t cd) : cd_(cd) { grow(); }
  ~Converter() { free(start_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Appends all of `text`, converted.
  bool feed(const char* text) {
    char* in = const_cast<char*>(text);
    size_t inLeft = strlen(text);
    while (start_ != nullptr && inLeft > 0) {
      if (iconv(cd_, &in, &inLeft, &next_, &left_) == static_cast<size_t>(-1) &&
          !growAfterE2big()) {
        return false;
      }
    }
    return start_ != nullptr;
  }

  // Appends what ends a stateful encoding's shift state.
  bool finish() {
    while (start_ != nullptr) {
      if (iconv(cd_, nullptr, nullptr, &next_, &left_) !=
          static_cast<size_t>(-1)) {
        return true;
      }
      if (!growAfterE2big()) return false;
    }
    return false;
  }

  size_t length() const { return static_cast<size_t>(next_ - start_); }
  const char* data() const { return start_; }

 private:
  bool growAfterE2big() { return errno == E2BIG && grow(); }

  bool grow() {
    size_t used = length();
    size_t size = start_ == nullptr ? 256 : 2 * (used + left_ + 1);
    char* grown = static_cast<char*>(realloc(start_, size));
    if (grown == nullptr) {
      free(start_);
      start_ = next_ = nullptr;
      return false;
    }
    start_ = grown;
    next_ = start_ + used;
    left_ = size - 1 - used;  // one byte stays free for a terminating zero
    return true;
  }

  iconv_t cd_;
  char* start_ = nullptr;
  char* next_ = nullptr;
  size_t left_ = 0;
};

// `text` converted from one encoding to another in a malloc'd string; null
// when iconv does not know the pair or cannot convert every character, and
// when the target does not keep ASCII as it is (UTF-16, for instance), since
// the result is formatted and printed as a C string.
char* convertText(const char* text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  char* result = nullptr;
  {
    Converter out(cd);
    const char kProbe[] = "%s";
    const size_t kProbeLength = sizeof(kProbe) - 1;
    if (out.feed(kProbe) && out.length() == kProbeLength &&
        memcmp(out.data(), kProbe, kProbeLength) == 0 && out.feed(text) &&
        out.finish()) {
      size_t length = out.length() - kProbeLength;
      result = static_cast<char*>(malloc(length + 1));
      if (result != nullptr) {
        memcpy(result, out.data() + kProbeLength, length);
        result[length] = '\0';
      }
    }
  }
  iconv_close(cd);
  return result;
}

// Writes `text` into the `size` bytes at `out` with `argument` in place of its
// "%s" and "%%" as "%", as sprintf would, and cuts what does not fit. The
// texts are not used as printf formats, so a stray "%" in a translation can
// never read a missing argument.
void formatText(char* out, size_t size, const char* text,
                const char* argument) {
  size_t used = 0;
  auto append = [&](const char* from, size_t length) {
    size_t room = size - 1 - used;
    if (length > room) length = room;
    memcpy(out + used, from, length);
    used += length;
  };
  bool substituted = false;
  for (const char* p = text; *p != '\0' && used < size - 1; ++p) {
    if (p[0] == '%' && p[1] == 's' && !substituted) {
      append(argument, strlen(argument));
      substituted = true;
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      append(p, 1);
      ++p;
    } else {
      append(p, 1);
    }
  }
  out[used] = '\0';
}

}  // namespace

int messageIndexOf(MessageIdentifier identifier) {
  int value = static_cast<int>(identifier);
  if (value >= MSGID_INPUT_FILE_LOAD_ERROR &&
      value <= MSGID_INPUT_FILE_OPEN_ERROR) {
    return value + MSG_INPUT_FILE_LOAD_ERROR;
  }
  if (value >= MSGID_WRITE_ERROR && value <= MSGID_CANCELED) {
    return value - MSGID_WRITE_ERROR + MSG_WRITE_ERROR;
  }
  return -1;
}

const char* msg_locale_encoding(int locale) {
  if (locale < 0 || locale >= kMessageLocaleCount) return nullptr;
  return kLocaleEncodings[locale];
}

int get_locale() {
  const char* lang = getenv("LANG");
  if (lang == nullptr || strcmp(lang, "C") == 0) return 0;

  // At most five characters: a code shorter than that matches only the
  // whole value, while "pt_BR.ISO8859-1" still matches "pt_BR".
  for (int i = 0; msg_locale_table[i] != nullptr; ++i) {
    if (strncmp(lang, msg_locale_table[i][0], 5) == 0) return i;
  }
  // Then any value that begins with a code: "de_DE" is German.
  for (int i = 0; msg_locale_table[i] != nullptr; ++i) {
    const char* code = msg_locale_table[i][0];
    if (strncmp(lang, code, strlen(code)) == 0) return i;
  }
  return 0;
}

char* get_msg(int index, void* argument) {
  char* buffer = static_cast<char*>(calloc(kMessageBufferSize, 1));
  if (buffer == nullptr) return nullptr;

  if (index < 0 || index >= kMessageTableSize - 1) {
    snprintf(buffer, kMessageBufferSize, "Error displaying message: id(%d)",
             index);
    return buffer;
  }

  int locale = get_locale();
  const char* text = msg_locale_table[locale][index];

  // Terminals that name their codeset get the text in it; anything iconv
  // cannot do leaves the stored bytes, which suit a terminal in the
  // language's traditional encoding.
  char* converted = nullptr;
  const char* lang = getenv("LANG");
  char codeset[kMaxCodesetLength + 1];
  if (lang != nullptr && codesetOf(lang, codeset) &&
      !sameEncoding(codeset, kLocaleEncodings[locale])) {
    converted = convertText(text, kLocaleEncodings[locale], codeset);
  }

  const char* value = static_cast<const char*>(argument);
  formatText(buffer, kMessageBufferSize,
             converted != nullptr ? converted : text,
             value != nullptr ? value : "");
  free(converted);
  return buffer;
}
