// Named starting scenarios: what a state file holds when it is first made.
#ifndef HALVSIM_PRESETS_H
#define HALVSIM_PRESETS_H

#include <string>
#include <vector>

#include "Scenario.h"

namespace halvsim {

// Fills *out with the named preset; false for an unknown name.
bool MakePreset(const std::string &name, Scenario *out);

// The preset names with a line describing each.
std::vector<std::pair<std::string, std::string>> PresetList();

}  // namespace halvsim

#endif  // HALVSIM_PRESETS_H
