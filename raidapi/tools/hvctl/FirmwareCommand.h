// hvctl firmware IMAGE: downloads a firmware image to the adapter.
#ifndef RAIDAPI_TOOLS_HVCTL_FIRMWARECOMMAND_H_
#define RAIDAPI_TOOLS_HVCTL_FIRMWARECOMMAND_H_

#include "Context.h"

void AddFirmwareCommand(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_FIRMWARECOMMAND_H_
