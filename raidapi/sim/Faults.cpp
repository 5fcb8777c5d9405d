#include "Faults.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "StateText.h"

namespace halvsim {

namespace {

bool Matches(const FaultRule &r, const RequestKey &k) {
  return (r.op < 0 || r.op == k.op) && (r.sub < 0 || r.sub == k.sub) &&
         (r.adapter < 0 || r.adapter == k.adapter) &&
         (r.channel < 0 || (r.channel == k.channel && r.target == k.target));
}

// Counts one occurrence; true when the rule fires on it.
bool Count(FaultRule &r) {
  if (r.seen < UINT32_MAX) ++r.seen;
  if (r.seen < r.from) return false;
  return r.times == 0 || r.seen - r.from < r.times;
}

// HALVSIM_FAULTS: rules separated by ";", each in the state file's form.
std::vector<FaultRule> &EnvRules() {
  // Never destroyed: a request may come from another library's exit code.
  static auto *rules_ptr = new std::vector<FaultRule>;
  static auto *parsed_ptr = new std::string;
  std::vector<FaultRule> &rules = *rules_ptr;
  std::string &parsed_from = *parsed_ptr;
  const char *env = std::getenv("HALVSIM_FAULTS");
  std::string text = env ? env : "";
  if (text == parsed_from) return rules;
  parsed_from = text;
  rules.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(pos, end - pos);
    pos = end + 1;
    if (item.find_first_not_of(" \t") == std::string::npos) continue;
    FaultRule r;
    std::string error;
    if (ParseFaultRule(item, &r, &error)) {
      rules.push_back(r);
    } else {
      std::fprintf(stderr, "halvsim: HALVSIM_FAULTS: %s\n", error.c_str());
    }
  }
  return rules;
}

}  // namespace

std::optional<FaultRule> MatchFault(Scenario &scenario, const RequestKey &key) {
  std::optional<FaultRule> fired;
  for (std::vector<FaultRule> *rules : {&scenario.faults, &EnvRules()}) {
    for (FaultRule &r : *rules) {
      if (!Matches(r, key)) continue;
      if (Count(r) && !fired) fired = r;
    }
  }
  return fired;
}

}  // namespace halvsim
