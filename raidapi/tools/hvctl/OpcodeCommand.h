// hvctl opcode: one adapter command of the library's command set, by its
// opcode, object number and parameters, for experts. The library's command
// table decides the data length and direction; the adapter's own status is
// reported as it answers.
#ifndef RAIDAPI_TOOLS_HVCTL_OPCODECOMMAND_H_
#define RAIDAPI_TOOLS_HVCTL_OPCODECOMMAND_H_

#include "Context.h"

void AddOpcodeCommand(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_OPCODECOMMAND_H_
