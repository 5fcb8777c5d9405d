// hvctl pd: the physical drives: list, state changes, hot spares, error
// counters, the drive history, sense entries and the dump text.
#ifndef RAIDAPI_TOOLS_HVCTL_DRIVECOMMANDS_H_
#define RAIDAPI_TOOLS_HVCTL_DRIVECOMMANDS_H_

#include "Context.h"

void AddDriveCommands(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_DRIVECOMMANDS_H_
