// hvctl rebuild, check, init and recon: the long operations on a device or
// a logical drive: start, progress and abort, with --wait to follow one to
// its end.
#ifndef RAIDAPI_TOOLS_HVCTL_OPERATIONCOMMANDS_H_
#define RAIDAPI_TOOLS_HVCTL_OPERATIONCOMMANDS_H_

#include "Context.h"

void AddOperationCommands(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_OPERATIONCOMMANDS_H_
