// Progress of the long operations from their start and duration, for every
// time a state file may hold.
#include <gtest/gtest.h>

#include <cstdint>

#include "Clock.h"

using namespace halvsim;

namespace {

TEST(Clock, ProgressOfAnOperation) {
  struct Case {
    const char *name;
    int64_t start;
    int64_t duration;
    int64_t now;
    uint32_t percent;
  } cases[] = {
      {"not started", 1000, 100, 999, 0},
      {"at its start", 1000, 100, 1000, 0},
      {"half way", 1000, 100, 1050, 50},
      {"just before its end", 1000, 100, 1099, 99},
      {"at its end", 1000, 100, 1100, 100},
      {"no duration", 1000, 0, 500, 100},
      {"negative duration", 1000, -5, 500, 100},
      // The end lies past the largest time: the operation has not started.
      {"start at the largest time", INT64_MAX, 10, 5, 0},
      {"end past the largest time", INT64_MAX - 5, 10, INT64_MAX, 50},
      // Elapsed times whose percent does not fit 64 bits.
      {"long ago, longer still", -9000000000000000000, 9200000000000000000,
       100000000000000000, 98},
      {"from the smallest time", INT64_MIN, INT64_MAX, -2, 99},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Operation op;
    op.start_ms = c.start;
    op.duration_ms = c.duration;
    EXPECT_EQ(Progress(op, c.now), c.percent);
  }
}

}  // namespace
