// hvctl monitor: polls the adapters and prints one line per event (a device
// failed, a rebuild started or finished, a logical drive degraded or
// recovered), optionally running a command per event, until SIGINT or
// SIGTERM.
#ifndef RAIDAPI_TOOLS_HVCTL_MONITORCOMMAND_H_
#define RAIDAPI_TOOLS_HVCTL_MONITORCOMMAND_H_

#include "Context.h"

void AddMonitorCommand(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_MONITORCOMMAND_H_
