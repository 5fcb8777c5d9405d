// One scenario of the preloaded simulated driver for one test: a scratch
// directory with the simulator's state file and trace, the simulator's
// variables pointing at them (and at a preset or fault rules when asked),
// all unset again when the object goes.
#ifndef TESTSUPPORT_SIMSCENARIO_H_
#define TESTSUPPORT_SIMSCENARIO_H_

#include <stdlib.h>

#include <cstddef>
#include <string>
#include <vector>

#include "testsupport/ScratchDir.h"
#include "testsupport/SimTrace.h"

class SimScenario {
 public:
  SimScenario() {
    setenv("HALVSIM_STATE", StatePath().c_str(), 1);
    setenv("HALVSIM_TRACE", TracePath().c_str(), 1);
    unsetenv("HALVSIM_FAULTS");
    unsetenv("HALVSIM_PRESET");
  }
  ~SimScenario() {
    unsetenv("HALVSIM_FAULTS");
    unsetenv("HALVSIM_PRESET");
    unsetenv("HALVSIM_TRACE");
    unsetenv("HALVSIM_STATE");
  }
  SimScenario(const SimScenario &) = delete;
  SimScenario &operator=(const SimScenario &) = delete;

  const std::string &Dir() const { return dir_.path(); }
  std::string StatePath() const { return dir_.file("state"); }
  std::string TracePath() const { return dir_.file("trace"); }

  // The simulator seeds a state file that does not exist yet from preset.
  void UsePreset(const std::string &preset) {
    setenv("HALVSIM_PRESET", preset.c_str(), 1);
  }
  // Fault rules (HALVSIM_FAULTS); none when rules is empty.
  void UseFaults(const std::string &rules) {
    if (rules.empty())
      unsetenv("HALVSIM_FAULTS");
    else
      setenv("HALVSIM_FAULTS", rules.c_str(), 1);
  }

  // The trace lines written since the last call.
  std::vector<TraceLine> Trace() { return ReadTraceSince(TracePath(), seen_); }

 private:
  ScratchDir dir_;
  size_t seen_ = 0;
};

#endif  // TESTSUPPORT_SIMSCENARIO_H_
