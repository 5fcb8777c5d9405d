#include "Clock.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace halvsim {

int64_t NowMs(const Scenario &scenario) {
  if (const char *env = std::getenv("HALVSIM_CLOCK_MS")) {
    errno = 0;
    char *end = nullptr;
    long long v = std::strtoll(env, &end, 0);
    if (errno == 0 && end != env && *end == '\0' && v > 0) return v;
  }
  if (scenario.clock_ms > 0) return scenario.clock_ms;
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
}

uint32_t Progress(const Operation &op, int64_t now_ms) {
  if (op.duration_ms <= 0 || now_ms >= op.start_ms + op.duration_ms) return 100;
  if (now_ms <= op.start_ms) return 0;
  // Elapsed time below the duration: 0 to 99, never 100 before the end.
  return static_cast<uint32_t>((now_ms - op.start_ms) * 100 / op.duration_ms);
}

}  // namespace halvsim
