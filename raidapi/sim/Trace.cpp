#include "Trace.h"
#include "SystemCalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace halvsim {

bool TraceEnabled() {
  const char *path = std::getenv("HALVSIM_TRACE");
  return path && *path;
}

void TraceLine(const std::string &line) {
  const char *path = std::getenv("HALVSIM_TRACE");
  if (!path || !*path) return;
  int fd = sys::Open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string text = line + "\n";
  // One append per line keeps lines of concurrent processes whole.
  ssize_t n = sys::Write(fd, text.data(), text.size());
  (void)n;
  sys::Close(fd);
}

std::string HexBytes(const uint8_t *bytes, size_t n, size_t limit) {
  if (n == 0) return "-";
  static const char digits[] = "0123456789abcdef";
  size_t shown = (limit && n > limit) ? limit : n;
  std::string out;
  out.reserve(shown * 2 + 3);
  for (size_t i = 0; i < shown; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  if (shown < n) out += "...";
  return out;
}

}  // namespace halvsim
