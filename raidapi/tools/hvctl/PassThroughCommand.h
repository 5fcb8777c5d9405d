// hvctl raw: a raw SCSI command block to a device or a logical drive, for
// experts; prints the SCSI status and the bytes read back.
#ifndef RAIDAPI_TOOLS_HVCTL_PASSTHROUGHCOMMAND_H_
#define RAIDAPI_TOOLS_HVCTL_PASSTHROUGHCOMMAND_H_

#include "Context.h"

void AddPassThroughCommand(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_PASSTHROUGHCOMMAND_H_
