#include "instructions/InstructionActions.h"

namespace {

InstructionActions g_noActions;
InstructionActions* g_actions = nullptr;

}  // namespace

InstructionActions::~InstructionActions() {}

void InstructionActions::findJVM(bool, bool) {}
void InstructionActions::initializeUI() {}
void InstructionActions::installJVM(long) {}
void InstructionActions::launch(const SString&, short) {}
void InstructionActions::ilaunch(long, short) {}
void InstructionActions::verifyJVM(bool, bool, long) {}
void InstructionActions::beforeInstruction(long) {}

InstructionActions& InstructionActions::current() {
  return g_actions ? *g_actions : g_noActions;
}

void InstructionActions::install(InstructionActions* actions) {
  g_actions = actions;
}
