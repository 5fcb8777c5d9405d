// Helpers shared by the catalogue tests: LANG set for one scope, a get_msg
// result as a std::string, and iconv conversion of expected texts.
#ifndef LAUNCHER_PLATFORM_TESTS_MESSAGESTESTSUPPORT_H_
#define LAUNCHER_PLATFORM_TESTS_MESSAGESTESTSUPPORT_H_

#include <errno.h>
#include <iconv.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/Messages.h"

// Sets LANG (or unsets it, for a null value) and restores the previous state.
class ScopedLang {
 public:
  explicit ScopedLang(const char* value) {
    const char* old = getenv("LANG");
    if (old != nullptr) saved_ = old;
    if (value != nullptr) {
      setenv("LANG", value, 1);
    } else {
      unsetenv("LANG");
    }
  }
  ~ScopedLang() {
    if (saved_) {
      setenv("LANG", saved_->c_str(), 1);
    } else {
      unsetenv("LANG");
    }
  }
  ScopedLang(const ScopedLang&) = delete;
  ScopedLang& operator=(const ScopedLang&) = delete;

 private:
  std::optional<std::string> saved_;
};

// get_msg's text, with the buffer released.
inline std::string message(int index, const char* argument = nullptr) {
  char* buffer = get_msg(index, const_cast<char*>(argument));
  std::string text = buffer != nullptr ? buffer : "<null buffer>";
  free(buffer);
  return text;
}

// `text` converted by the system's iconv; nothing when it cannot.
inline std::optional<std::string> iconvText(const std::string& text,
                                            const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* next = &out[0];
  size_t outLeft = out.size();
  size_t rc = iconv(cd, &in, &inLeft, &next, &outLeft);
  if (rc != static_cast<size_t>(-1)) {
    rc = iconv(cd, nullptr, nullptr, &next, &outLeft);  // end shift state
  }
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

#endif  // LAUNCHER_PLATFORM_TESTS_MESSAGESTESTSUPPORT_H_
