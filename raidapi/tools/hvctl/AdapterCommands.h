// hvctl adapters, info, settings (and its setters) and status: the
// adapters, their settings and the health of each.
#ifndef RAIDAPI_TOOLS_HVCTL_ADAPTERCOMMANDS_H_
#define RAIDAPI_TOOLS_HVCTL_ADAPTERCOMMANDS_H_

#include "Context.h"

// adapters, info, settings.
void AddAdapterCommands(CLI::App *app, Context *context);
// status: every adapter's health.
void AddStatusCommand(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_ADAPTERCOMMANDS_H_
