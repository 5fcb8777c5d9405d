#include "Clock.h"

#include <cerrno>
#include <cstdint>
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
  if (op.duration_ms <= 0) return 100;
  if (now_ms <= op.start_ms) return 0;
  // A state file may hold any times: the elapsed time is taken without
  // overflow (now is past the start, so the difference fits unsigned).
  const uint64_t elapsed =
      static_cast<uint64_t>(now_ms) - static_cast<uint64_t>(op.start_ms);
  const uint64_t duration = static_cast<uint64_t>(op.duration_ms);
  if (elapsed >= duration) return 100;
  // Elapsed time below the duration: 0 to 99, never 100 before the end.
  if (elapsed <= UINT64_MAX / 100)
    return static_cast<uint32_t>(elapsed * 100 / duration);
  const uint64_t percent = elapsed / (duration / 100);
  return static_cast<uint32_t>(percent < 99 ? percent : 99);
}

}  // namespace halvsim
