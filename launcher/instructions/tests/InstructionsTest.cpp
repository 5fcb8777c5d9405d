// The instruction interpreter: scripts with the variables they leave, the
// actions they call and the messages of their failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/LauncherException.h"
#include "instructions/InstructionActions.h"
#include "instructions/InstructionVariables.h"
#include "instructions/Instructions.h"
#include "instructions/InstructionsException.h"
#include "tagfile/TagFile.h"

namespace {

std::string str(const SString& s) { return std::string(s.data(), s.length()); }

// Records each call as one line; findJVM can be made to succeed.
class RecordingActions : public InstructionActions {
 public:
  void findJVM(bool showUI, bool showFailMsg) override {
    record("FIND_JVM " + flag(showUI) + " " + flag(showFailMsg));
    if (findSucceeds) {
      InstructionVariables::setLongVariable(1, 1);
      InstructionVariables::setStringVariable(1, "/opt/java");
      InstructionVariables::setStringVariable(2, "/tmp/tvj1");
    }
  }
  void initializeUI() override { record("INITIALIZE_UI"); }
  void installJVM(long option) override {
    record("INSTALL_JVM " + std::to_string(option));
  }
  void launch(const SString& name, short seconds) override {
    record("LAUNCH [" + str(name) + "] " + std::to_string(seconds));
  }
  void ilaunch(long fileId, short seconds) override {
    record("ILAUNCH " + std::to_string(fileId) + " " + std::to_string(seconds));
  }
  void verifyJVM(bool showUI, bool showFailMsg, long fileId) override {
    record("VERIFY " + flag(showUI) + " " + flag(showFailMsg) + " " +
           std::to_string(fileId));
  }

  void beforeInstruction(long line) override {
    steps.push_back(line);
    if (stepLimit >= 0 && static_cast<long>(steps.size()) > stepLimit)
      throw LauncherException("run stopped");
  }

  std::vector<std::string> calls;
  bool findSucceeds = false;
  // The index of each instruction announced; -1: no limit on their number.
  std::vector<long> steps;
  long stepLimit = -1;

 private:
  static std::string flag(bool b) { return b ? "1" : "0"; }
  void record(const std::string& call) { calls.push_back(call); }
};

struct Outcome {
  std::vector<std::string> calls;
  std::string error;  // "" when the script ran to its end
  long line = 0;      // line of an InstructionsException, 0 otherwise
};

class InstructionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstructionVariables::reset();
    InstructionActions::install(&actions);
  }
  void TearDown() override {
    InstructionActions::install(nullptr);
    InstructionVariables::reset();
  }

  Outcome run(const std::vector<std::string>& lines) {
    TagFile script;
    for (const std::string& line : lines)
      script.appendTagValue("INSTRUCTIONS", line.c_str());
    Instructions instructions(script);
    Outcome outcome;
    actions.calls.clear();
    try {
      instructions.execute();
    } catch (const InstructionsException& e) {
      outcome.error = str(e.getMessage());
      outcome.line = e.getLineNumber();
    } catch (const LauncherException& e) {
      outcome.error = str(e.getMessage());
    }
    outcome.calls = actions.calls;
    return outcome;
  }

  static std::string s(long n) {
    return str(InstructionVariables::getStringVariable(n));
  }
  static long n(long i) { return InstructionVariables::getLongVariable(i); }

  RecordingActions actions;
};

// Scripts that run to their end: what they store and call.
TEST_F(InstructionsTest, ScriptsAndTheirResults) {
  struct Case {
    const char* name;
    std::vector<std::string> script;
    std::vector<std::string> calls;
    std::string s1;
    long n1;
  } cases[] = {
      {"label, SET and comment call nothing",
       {":START", "SET S1 = x", "// a comment"},
       {},
       "x",
       0},
      {"unquoted SET keeps the first word",
       {"SET S1 = hello world"},
       {},
       "hello",
       0},
      {"quoted SET keeps both words",
       {"SET S1 = \"hello world\""},
       {},
       "hello world",
       0},
      {"doubled quotes inside quotes",
       {"SET S1 = \"say \"\"hi\"\"\" rest"},
       {},
       "say \"hi\"",
       0},
      {"nothing after = stores the empty string",
       {"SET S1 = x", "SET S1 ="},
       {},
       "",
       0},
      {"numbers in N variables, copies without arithmetic",
       {"SET N2 = 5", "SET N1 = @N2@"},
       {},
       "",
       5},
      {"lower-case variable names", {"SET s1 = a"}, {}, "a", 0},
      {"n01 is N1", {"SET n01 = 3"}, {}, "", 3},
      {"values holding references are expanded again",
       {"SET N1 = 7", "SET S1 = \"@@N1@@\"", "SET S1 = @S1@"},
       {},
       "7",
       7},
      {"@@ is one literal @", {"SET S1 = a@@b"}, {}, "a@b", 0},
      {"references inside a quoted value",
       {"SET S2 = x", "SET S1 = \"<@S2@> @N1@\""},
       {},
       "<x> 0",
       0},
      {"JMP0 on 0 continues behind the label",
       {"SET N1 = 0", "JMP0 @N1@ END", "SET S1 = skipped", ":END",
        "INITIALIZE_UI"},
       {"INITIALIZE_UI"},
       "",
       0},
      {"the limits of 32 bits are numbers",
       {"SET N1 = -2147483648", "SET N2 = 2147483647", "JMP0 @N2@ END",
        "SET S1 = reached", ":END"},
       {},
       "reached",
       -2147483648L},
      {"JMP0 on 1 does nothing, even without such a label",
       {"SET N1 = 1", "JMP0 @N1@ NOWHERE", "SET S1 = reached"},
       {},
       "reached",
       1},
      {"GOTO jumps forward",
       {"GOTO L2", "SET S1 = no", ":L2", "SET N1 = 2"},
       {},
       "",
       2},
      {"GOTO to a label built from a variable",
       {"SET S3 = TWO", "GOTO @S3@", ":ONE", "SET S1 = one", ":TWO"},
       {},
       "",
       0},
      {"a backward jump runs a loop",
       {"SET N1 = 0", "GOTO CHECK", ":AGAIN", "SET N1 = 1", "SET S1 = looped",
        ":CHECK", "JMP0 @N1@ AGAIN"},
       {},
       "looped",
       1},
      {"every action with its arguments",
       {"INITIALIZE_UI", "FIND_JVM 1 0", "VERIFY 0 1 20", "INSTALL_JVM 2",
        "ILAUNCH 7 -3", "LAUNCH \"/tmp/two words.tag\" 5",
        "LAUNCH plain.tag 0 ignored extra words"},
       {"INITIALIZE_UI", "FIND_JVM 1 0", "VERIFY 0 1 20", "INSTALL_JVM 2",
        "ILAUNCH 7 -3", "LAUNCH [/tmp/two words.tag] 5",
        "LAUNCH [plain.tag] 0"},
       "",
       0},
      {"arguments from variables",
       {"SET N2 = 1", "SET S4 = \"/a b/jvm\"", "FIND_JVM @N2@ @N2@",
        "LAUNCH \"@S4@\" @N2@"},
       {"FIND_JVM 1 1", "LAUNCH [/a b/jvm] 1"},
       "",
       0},
      {"the usual script: find, then launch with S2",
       {"FIND_JVM 1 1", "JMP0 @N1@ INSTALL", "LAUNCH @S2@ 5", "GOTO END",
        ":INSTALL", "INSTALL_JVM 1", ":END"},
       {"FIND_JVM 1 1", "LAUNCH [/tmp/tvj1] 5"},
       "/opt/java",
       1},
      {"a LAUNCH argument with a doubled quote",
       {"LAUNCH \"a\"\"b\" 1"},
       {"LAUNCH [a\"b] 1"},
       "",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstructionVariables::reset();
    actions.findSucceeds =
        std::string(c.name).find("usual") != std::string::npos;
    Outcome outcome = run(c.script);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.calls, c.calls);
    EXPECT_EQ(s(1), c.s1);
    EXPECT_EQ(n(1), c.n1);
  }
}

// Faulty scripts: the message, and the instruction it names.
TEST_F(InstructionsTest, FailuresAndTheirMessages) {
  const std::string findArg2 =
      "The second argument to FIND_JVM should be a 1 if a find failure "
      "message should be displayed in a UI or 0 if no message should be "
      "displayed.";
  const std::string lhs =
      "Invalid variable specified on left hand side of SET statement.";
  struct Case {
    const char* name;
    std::vector<std::string> script;
    std::string error;
    long line;  // 0: a LauncherException, which names no line
  } cases[] = {
      {"empty line", {""}, "No command specified.", 1},
      {"unknown command",
       {"INITIALIZE_UI", "BOGUS 1"},
       "Invalid command (BOGUS). ",
       2},
      {"commands are case-sensitive",
       {"goto X"},
       "Invalid command (goto). ",
       1},
      {"comment without a blank",
       {"//comment"},
       "Invalid command (//comment). ",
       1},
      {"SET without a statement", {"SET"}, "Malformed SET statement.", 1},
      {"SET without =", {"SET S1 x"}, "SET statement is missing =.", 1},
      {"quoted empty string",
       {"SET S1 = \"\""},
       "Invalid expression specified for SET command Empty expression.",
       1},
      {"non-numeric value for N",
       {"SET N1 = abc"},
       "Invalid value specified for SET command Invalid numeric expression in "
       "abc",
       1},
      {"N6 does not exist",
       {"SET N6 = 1"},
       lhs + " Variable number is invalid (6)",
       1},
      {"S11 does not exist",
       {"SET S11 = 1"},
       lhs + " Variable number is invalid (11)",
       1},
      {"one-letter variable",
       {"SET N = 1"},
       lhs + " Variable references must be at least 2 characters (e.g. N1 and "
             "S10).",
       1},
      {"wrong variable type",
       {"SET X1 = 1"},
       lhs + " Invalid variable reference (X1). Must use N or S as the "
             "variable type, e.g. N2 or S1.",
       1},
      {"unterminated quote in SET",
       {"SET S1 = \"open"},
       "Expected double quote to end argument near 1",
       1},
      {"unterminated reference",
       {"SET S1 = a@N1"},
       "Invalid expression specified for SET command Invalid variable "
       "specification.",
       1},
      {"bad reference outside SET is a plain launcher error",
       {"FIND_JVM @N9@ 1"},
       " Variable number is invalid (9)",
       0},
      {"flag 2", {"FIND_JVM 1 2"}, " Invalid boolean value (2)", 1},
      {"flag that is no number",
       {"FIND_JVM x 1"},
       "Invalid numeric expression (x)",
       1},
      {"one argument only", {"FIND_JVM 1"}, findArg2, 1},
      {"INSTALL_JVM 3",
       {"INSTALL_JVM 3"},
       "The first argument to INSTALL_JVM should be a 0, 1 or 2.",
       1},
      {"INSTALL_JVM without option",
       {"INSTALL_JVM"},
       "The first argument to INSTALL_JVM should be a 0, 1 or 2.",
       1},
      {"GOTO without label",
       {"GOTO"},
       "The GOTO command requires a label as its only argument.",
       1},
      {"a label on the first line cannot be reached",
       {":TOP", "GOTO TOP"},
       "Label not found (TOP)",
       2},
      {"missing label",
       {"INITIALIZE_UI", "// x", "GOTO NOWHERE"},
       "Label not found (NOWHERE)",
       3},
      {"blank label from a variable",
       {"GOTO @S1@"},
       "Label @S1@ resolved to a blank string. Labels cannot be blank.",
       1},
      {"JMP0 without value",
       {"JMP0"},
       "The second argument to JMP0 must be numeric. Empty expression.",
       1},
      {"JMP0 without label",
       {"JMP0 0"},
       "JMP0 requires a jump label as its second argument.",
       1},
      // A number an N variable cannot hold is read nowhere, so that a
      // stored value and a written one never differ.
      {"SET of a number beyond 32 bits",
       {"SET N1 = 4294967296", "JMP0 @N1@ END", ":END"},
       "Invalid value specified for SET command Invalid numeric expression in "
       "4294967296",
       1},
      {"JMP0 of a number beyond 32 bits",
       {"JMP0 4294967296 END", ":END"},
       "The second argument to JMP0 must be numeric.Invalid numeric "
       "expression (4294967296)",
       1},
      {"LAUNCH without seconds",
       {"LAUNCH x.tag"},
       "The second argument to LAUNCH should be the number of seconds to "
       "display the UI during the launch.",
       1},
      {"LAUNCH with seconds that are no number",
       {"LAUNCH x.tag soon"},
       " Invalid numeric expression (soon)",
       1},
      {"LAUNCH with an unterminated quoted name",
       {"LAUNCH \"a b 5"},
       "Expected ending quote in \"a b 5:  Invalid jvm file name specified in "
       "LAUNCH.",
       0},
      {"ILAUNCH without seconds",
       {"ILAUNCH 3"},
       "The second argument to ILAUNCH should be the number of seconds to "
       "display the UI during the launch.",
       1},
      {"VERIFY without file id",
       {"VERIFY 1 1"},
       "The third argument to VERIFY should be the file index number of the "
       "jvm file.",
       1},
      {"a value that refers to itself",
       {"SET S1 = \"@@S1@@\"", "SET S2 = @S1@"},
       "Invalid expression specified for SET command Variable references "
       "refer to themselves (@S1@)",
       2},
      {"a value that holds itself twice grows without end",
       {"SET S1 = \"@@S1@@@@S1@@\"", "SET S2 = @S1@"},
       "Invalid expression specified for SET command Variable references "
       "refer to themselves (@S1@)",
       2},
      {"the line counts instructions, not text lines",
       {"SET N1 = 1", "// two", "FIND_JVM 1 3"},
       " Invalid boolean value (3)",
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstructionVariables::reset();
    Outcome outcome = run(c.script);
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_EQ(outcome.line, c.line);
  }
}

// Every instruction is announced to the actions before it runs, so that a
// caller can bound a script that loops for ever.
TEST_F(InstructionsTest, InstructionsAnnouncedBeforeTheyRun) {
  struct Case {
    const char* name;
    std::vector<std::string> script;
    long limit;
    std::vector<long> steps;
    std::string error;
  } cases[] = {
      {"each line in turn",
       {"SET S1 = a", "// c", "INITIALIZE_UI"},
       -1,
       {0, 1, 2},
       ""},
      {"a jump goes on behind its label",
       {"GOTO L", "SET S1 = x", ":L", "INITIALIZE_UI"},
       -1,
       {0, 3},
       ""},
      {"a failing instruction was announced",
       {"SET S1 = a", "NOPE"},
       -1,
       {0, 1},
       "Invalid command (NOPE). "},
      {"an endless loop ends when the announcement raises",
       {":TOP", ":AGAIN", "GOTO AGAIN"},
       5,
       {0, 1, 2, 2, 2, 2},
       "run stopped"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstructionVariables::reset();
    actions.steps.clear();
    actions.stepLimit = c.limit;
    Outcome outcome = run(c.script);
    EXPECT_EQ(actions.steps, c.steps);
    EXPECT_EQ(outcome.error, c.error);
  }
  actions.stepLimit = -1;
}

TEST(InstructionVariablesTest, RangesAndValues) {
  InstructionVariables::reset();
  struct Case {
    long number;
    bool validLong;
    bool validString;
  } cases[] = {{0, false, false}, {1, true, true},   {5, true, true},
               {6, false, true},  {10, false, true}, {11, false, false},
               {-1, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(InstructionVariables::isValidLongVariable(c.number), c.validLong);
    EXPECT_EQ(InstructionVariables::isValidStringVariable(c.number),
              c.validString);
    if (!c.validLong) {
      try {
        InstructionVariables::getLongVariable(c.number);
        ADD_FAILURE() << "no exception";
      } catch (const LauncherException& e) {
        EXPECT_EQ(str(e.getMessage()), "Invalid numeric variable number: " +
                                           std::to_string(c.number));
      }
    }
    if (!c.validString) {
      try {
        InstructionVariables::setStringVariable(c.number, "x");
        ADD_FAILURE() << "no exception";
      } catch (const LauncherException& e) {
        EXPECT_EQ(str(e.getMessage()), "Invalid string variable number: " +
                                           std::to_string(c.number));
      }
    }
  }
  // Numbers are signed 32-bit.
  InstructionVariables::setLongVariable(2, -7);
  EXPECT_EQ(InstructionVariables::getLongVariable(2), -7);
  InstructionVariables::setLongVariable(2, 4294967297L);
  EXPECT_EQ(InstructionVariables::getLongVariable(2), 1);
}

}  // namespace
