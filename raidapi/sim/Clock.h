// The simulator's "now" in milliseconds: HALVSIM_CLOCK_MS when set, else the
// scenario's frozen clock when it has one, else the real time. Long
// operations progress from it, so a frozen clock gives exact progress values.
#ifndef HALVSIM_CLOCK_H
#define HALVSIM_CLOCK_H

#include <cstdint>

#include "Scenario.h"

namespace halvsim {

int64_t NowMs(const Scenario &scenario);

// Percent done of an operation at now: 0 to 100.
uint32_t Progress(const Operation &op, int64_t now_ms);

}  // namespace halvsim

#endif  // HALVSIM_CLOCK_H
