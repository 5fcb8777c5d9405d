// hvctl ld: the logical drives with their level, size, state, running
// operation and members; their policies.
#ifndef RAIDAPI_TOOLS_HVCTL_LOGICALDRIVECOMMANDS_H_
#define RAIDAPI_TOOLS_HVCTL_LOGICALDRIVECOMMANDS_H_

#include "Context.h"

void AddLogicalDriveCommands(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_LOGICALDRIVECOMMANDS_H_
