// The instruction interpreter on any script: the input is the script's tag
// file. The actions only record their calls (and find a JVM now and then,
// as the real search leaves its variables), so nothing runs and no file is
// touched; a run ends after a bounded number of instructions. A script
// ends normally, with an InstructionsException or a LauncherException.
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "core/LauncherException.h"
#include "core/TextHelpers.h"
#include "instructions/InstructionActions.h"
#include "instructions/InstructionVariables.h"
#include "instructions/Instructions.h"
#include "instructions/InstructionsException.h"
#include "tagfile/TagFile.h"

namespace {

constexpr long kMaxSteps = 500;

struct StepLimit {};

class HarmlessActions : public InstructionActions {
 public:
  void findJVM(bool showUI, bool) override {
    InstructionVariables::setLongVariable(1, showUI ? 1 : 0);
    InstructionVariables::setStringVariable(1, "/opt/java");
    InstructionVariables::setStringVariable(2, "@S1@/jvm.tag");
  }
  void installJVM(long option) override {
    InstructionVariables::setLongVariable(1, option == 1 ? 0 : 1);
  }
  void launch(const SString& name, short seconds) override {
    InstructionVariables::setStringVariable(3, name);
    InstructionVariables::setLongVariable(2, seconds);
  }
  void ilaunch(long fileId, short) override {
    InstructionVariables::setLongVariable(3, fileId);
  }
  void verifyJVM(bool, bool, long fileId) override {
    InstructionVariables::setLongVariable(1, fileId & 1);
  }
  void beforeInstruction(long) override {
    if (++steps > kMaxSteps) throw StepLimit();
  }

  long steps = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_enableOutput = false;
  const std::string path = fuzz::ScratchPath("instructions.tag");
  fuzz::WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
  InstructionVariables::reset();
  HarmlessActions actions;
  InstructionActions::install(&actions);
  long count = 0;
  try {
    TagFile script(path.c_str());
    count = static_cast<long>(script.getTagValueCount("INSTRUCTIONS"));
    Instructions instructions(script);
    instructions.execute();
  } catch (const InstructionsException& e) {
    if (e.getLineNumber() < 1 || e.getLineNumber() > count)
      fuzz::Fail("an instruction error names a line outside the script");
  } catch (const LauncherException&) {
  } catch (const StepLimit&) {
  }
  InstructionActions::install(nullptr);
  InstructionVariables::reset();
  return 0;
}
