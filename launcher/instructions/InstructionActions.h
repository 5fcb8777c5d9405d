// What instructions ask the launcher to do: find, verify or install a JVM,
// show the UI, launch the application. The driver installs the launcher's
// own actions; until then (and in tests that install none) every action
// does nothing.
#ifndef LAUNCHER_INSTRUCTIONS_INSTRUCTIONACTIONS_H_
#define LAUNCHER_INSTRUCTIONS_INSTRUCTIONACTIONS_H_

#include "core/SString.h"

class InstructionActions {
 public:
  virtual ~InstructionActions();

  virtual void findJVM(bool showUI, bool showFailMsg);
  virtual void initializeUI();
  // option is 0, 1 or 2.
  virtual void installJVM(long option);
  virtual void launch(const SString& jvmFileName, short seconds);
  virtual void ilaunch(long fileId, short seconds);
  virtual void verifyJVM(bool showUI, bool showFailMsg, long fileId);
  // Called before each instruction runs, with its index; a caller that
  // must bound a run (a script may loop for ever) raises from here.
  virtual void beforeInstruction(long line);

  // The actions in force; never null.
  static InstructionActions& current();
  // Installs actions (not owned); null goes back to the empty ones.
  static void install(InstructionActions* actions);
};

#endif  // LAUNCHER_INSTRUCTIONS_INSTRUCTIONACTIONS_H_
