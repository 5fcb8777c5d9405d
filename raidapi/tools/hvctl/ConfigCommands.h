// hvctl config: show the adapter's configuration (or one recorded on a
// disk), create or add a logical drive on named disks, delete the last,
// clear, announce the drives to the system, and resolve a mismatch.
#ifndef RAIDAPI_TOOLS_HVCTL_CONFIGCOMMANDS_H_
#define RAIDAPI_TOOLS_HVCTL_CONFIGCOMMANDS_H_

#include "Context.h"

void AddConfigCommands(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_CONFIGCOMMANDS_H_
