// Fault injection: rules from the scenario (counted in the state file, so
// occurrences add up across processes) and from HALVSIM_FAULTS (counted in
// this process), matched against each request the driver receives.
#ifndef HALVSIM_FAULTS_H
#define HALVSIM_FAULTS_H

#include <optional>

#include "Scenario.h"

namespace halvsim {

// What identifies a request for the rules; -1 where it does not apply.
struct RequestKey {
  int op = -1;
  int sub = -1;
  int adapter = -1;
  int channel = -1;
  int target = -1;
};

// Counts the request against every matching rule and answers the first rule
// that fires on this occurrence.
std::optional<FaultRule> MatchFault(Scenario &scenario, const RequestKey &key);

}  // namespace halvsim

#endif  // HALVSIM_FAULTS_H
