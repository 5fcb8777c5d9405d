// The built launcher run as a program: options, input files and their
// actions, what it shows, what it logs and its exit status.
#include <cstdint>
#include <string>
#include <vector>

#include "DriverTestSupport.h"

namespace {

const std::string kSeparator = "------------------\n";
const std::string kLogNameMissing =
    "A log file name must be specified after the -log option on the command "
    "line.";
const std::string kInputNameMissing =
    "An input file name must follow the '-in' command line option.";
const std::string kCannotOpenInput =
    "Unable to open input file specified on the command line after the -in "
    "option.";
const std::string kInvalidAction = "Invalid action in input file: ";
const std::string kVerifyJvmIncomplete =
    "TO execute the VERIFY_JVM action, you must also provide values in the "
    "input file for VERIFY_JVM_FILE and VERIFY_JVM_HOME.";
const std::string kMissing = "<missing>";

// The built program carries no payload; its warning about that (tested
// with the payload actions) is not what these cases look at.
std::string withoutPayloadWarning(const std::string& console) {
  return replaceAll(console,
                    std::string(LAUNCHER_PROGRAM) +
                        ": this launcher file carries no payload (was it "
                        "stripped?)\n",
                    "");
}

// In every text below @DIR@ stands for the run's directory, @IN@ for the
// input file @DIR@/in.tag, @LOG@ and @LOG2@ for two log files in @DIR@.
// @DIR@/script.tag always holds a valid tag file.
struct CommandLineCase {
  const char* name;
  std::vector<std::string> args;
  std::string input;  // content of @IN@; empty: no such file
  int status;
  std::string console;  // standard error: the launcher's own console
  std::string log;      // content of @LOG@; kMissing: never written
  std::string log2 = kMissing;
  std::string results = "";  // standard output: results for the caller
};

const std::string kSearchNoMatchLog =
    "Finding a JVM\nInitiating JVM search based on hints...\n"
    "No matching JVM was found.\n";
const std::string kNoDirectory =
    "Error setting working directory: No such file or directory";

const CommandLineCase kCases[] = {
    {"no arguments: only the line break of progress 100",
     {},
     "",
     0,
     "\n",
     kMissing},
    {"version: a result, on standard output",
     {"-tv:version"},
     "",
     0,
     "",
     kMissing,
     kMissing,
     "1.53\n"},
    {"-tv:log as the last argument: message, and the run goes on",
     {"-tv:log"},
     "",
     0,
     kLogNameMissing + "\n\n",
     kMissing},
    {"-tv:in as the last argument: message, nothing runs",
     {"-tv:in"},
     "",
     0,
     kInputNameMissing + "\n",
     kMissing},
    {"missing input file: shown, logged, exit 1",
     {"-tv:log", "@LOG@", "-tv:in", "@DIR@/missing.tag"},
     "",
     1,
     kCannotOpenInput + "\n",
     kSeparator + "ERROR: " + kCannotOpenInput + "\n"},
    {"empty input file name",
     {"-tv:in", ""},
     "",
     1,
     kCannotOpenInput + "\n",
     kMissing},
    {"unknown action: shown twice; no LOGFILE turns the earlier log off",
     {"-tv:log", "@LOG@", "-tv:in", "@IN@"},
     "ACTION: BOGUS\n",
     1,
     kInvalidAction + "BOGUS\n" + kInvalidAction + "BOGUS\n",
     kSeparator + "Loading input file @IN@\n"},
    {"absent action",
     {"-tv:in", "@IN@"},
     "SHOW_PROGRESS: 0\n",
     1,
     kInvalidAction + "\n" + kInvalidAction + "\n",
     kMissing},
    {"silent: failures are logged, not shown",
     {"-tv:silent", "-tv:log", "@LOG@", "-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: BOGUS\n",
     1,
     "",
     kSeparator + "Loading input file @IN@\nERROR: " + kInvalidAction +
         "BOGUS\n"},
    {"RUN_INSTRUCTIONS without a script: UI hidden, nothing runs",
     {"-tv:in", "@IN@"},
     "ACTION: RUN_INSTRUCTIONS\n",
     0,
     "",
     kMissing},
    {"RUN_INSTRUCTIONS with progress shown ends the progress line",
     {"-tv:in", "@IN@"},
     "ACTION: RUN_INSTRUCTIONS\nSHOW_PROGRESS: 1\n",
     0,
     "\n",
     kMissing},
    {"version, then RUN_INSTRUCTIONS: the script still runs",
     {"-tv:version", "-tv:in", "@IN@"},
     "ACTION: RUN_INSTRUCTIONS\nINSTRUCTIONS: @DIR@/script.tag\n",
     0,
     "",
     kMissing,
     kMissing,
     "1.53\n"},
    {"a script that cannot be loaded",
     {"-tv:in", "@IN@"},
     "ACTION: RUN_INSTRUCTIONS\nINSTRUCTIONS: @DIR@/missing.tag\n",
     1,
     "Unable to load input file: @DIR@/missing.tag\n",
     kMissing},
    {"options after the input file still take effect",
     {"-tv:in", "@IN@", "-tv:version"},
     "ACTION: RUN_INSTRUCTIONS\n",
     0,
     "",
     kMissing,
     kMissing,
     "1.53\n"},
    {"the input file's title is shown",
     {"-tv:in", "@IN@"},
     "UI_TITLE: My Product\nSHOW_FAIL_MSG: 1\nACTION: RUN_INSTRUCTIONS\n",
     0,
     "My Product\n\n",
     kMissing},
    {"SEARCH without jvm files: no match",
     {"-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: SEARCH\n",
     0,
     "",
     kSeparator + kSearchNoMatchLog,
     kMissing,
     "0\n"},
    {"SEARCH_ALL without jvm files: no walk, no match",
     {"-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: SEARCH_ALL\n",
     0,
     "",
     kSeparator + "Finding all matching JVMs\n",
     kMissing,
     "0\n"},
    {"VERIFY_JVM of a missing jvm file",
     {"-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: VERIFY_JVM\nVERIFY_JVM_FILE: /opt/jvm.tag\n"
     "VERIFY_JVM_HOME: /opt/jvm\n",
     1,
     "Unable to load input file: /opt/jvm.tag\n",
     kSeparator + "ERROR: Unable to load input file: /opt/jvm.tag\n"},
    {"VERIFY_JVM without a home: logged, exit 0",
     {"-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: VERIFY_JVM\nVERIFY_JVM_FILE: /opt/jvm.tag\n",
     0,
     "",
     kSeparator + "ERROR: " + kVerifyJvmIncomplete + "\n"},
    {"INSTALL_JVM",
     {"-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: INSTALL_JVM\nINSTALL_JVM_EXE: /opt/setup\n"
     "INSTALL_JVM_DEST: @DIR@/missing\n",
     1,
     kNoDirectory + "\n",
     kSeparator + "ERROR: " + kNoDirectory + "\n"},
    {"INSTALL_JVM without a destination: nothing reported",
     {"-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: INSTALL_JVM\nINSTALL_JVM_EXE: /opt/setup\n",
     0,
     "",
     kMissing},
    {"a second -tv:in performs its action as well",
     {"-tv:in", "@IN@", "-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: VERIFY_JVM\n",
     0,
     "",
     kSeparator + "ERROR: " + kVerifyJvmIncomplete +
         "\nLoading input file @IN@\nERROR: " + kVerifyJvmIncomplete + "\n"},
    {"quoted input file name: opened without, logged with the quotes",
     {"-tv:log", "@LOG@", "-tv:in", "\"@IN@\""},
     "LOGFILE: @LOG@\nACTION: SEARCH\n",
     0,
     "",
     kSeparator + "Loading input file \"@IN@\"\n" + kSearchNoMatchLog,
     kMissing,
     "0\n"},
    {"syntax errors name the input file as given",
     {"-tv:log", "@LOG@", "-tv:in", "\"@IN@\""},
     "ACTION: SEARCH\nno colon here\n",
     1,
     "Syntax error in \"@IN@\" at line 2 ==> Missing colon at the end of the "
     "tag name.\n",
     kSeparator + "Loading input file \"@IN@\"\n" +
         "ERROR: Syntax error in \"@IN@\" at line 2 ==> Missing colon at the "
         "end of the tag name.\n" +
         "ERROR: Syntax error in \"@IN@\" at line 2 ==> Missing colon at the "
         "end of the tag name.\n"},
    {"an input file that moves the log separates the run in both logs",
     {"-tv:log", "@LOG2@", "-tv:in", "@IN@"},
     "LOGFILE: @LOG@\nACTION: SEARCH\n",
     0,
     "",
     kSeparator + kSearchNoMatchLog,
     kSeparator + "Loading input file @IN@\n",
     "0\n"},
    {"an unwritable log is silently skipped",
     {"-tv:log", "@DIR@", "-tv:in", "@DIR@/missing.tag"},
     "",
     1,
     kCannotOpenInput + "\n",
     kMissing},
};

TEST(LauncherCommandLine, Cases) {
  for (const CommandLineCase& c : kCases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    auto expand = [&](const std::string& text) {
      std::string s = replaceAll(text, "@IN@", dir.file("in.tag"));
      s = replaceAll(s, "@LOG2@", dir.file("second.log"));
      s = replaceAll(s, "@LOG@", dir.file("run.log"));
      return replaceAll(s, "@DIR@", dir.path());
    };
    writeFile(dir.file("script.tag"), "COMMANDS:\n  INITIALIZE_UI\n/:\n");
    if (!c.input.empty()) writeFile(dir.file("in.tag"), expand(c.input));
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(expand(arg));

    ProgramRun run = runLauncher(args, dir.path());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, expand(c.results));
    EXPECT_EQ(withoutPayloadWarning(run.errors), expand(c.console));
    EXPECT_EQ(readFile(dir.file("run.log")), expand(c.log));
    EXPECT_EQ(readFile(dir.file("second.log")), expand(c.log2));
  }
}

TEST(LauncherCommandLine, EachRunStartsWithASeparatorInTheLog) {
  ScratchDir dir;
  std::vector<std::string> args = {"-tv:log", dir.file("run.log"), "-tv:in",
                                   dir.file("missing.tag")};
  std::string oneRun = kSeparator + "ERROR: " + kCannotOpenInput + "\n";
  EXPECT_EQ(runLauncher(args, dir.path()).status, 1);
  EXPECT_EQ(runLauncher(args, dir.path()).status, 1);
  EXPECT_EQ(readFile(dir.file("run.log")), oneRun + oneRun);
}

TEST(LauncherCommandLine, ExtractWritesAnInputFileTheLauncherCanRun) {
  ScratchDir dir;
  ProgramRun extract = runLauncher({"-tv:extract"}, dir.path());
  EXPECT_EQ(extract.status, 0);
  EXPECT_EQ(extract.output, "");
  EXPECT_EQ(withoutPayloadWarning(extract.errors), "\n");
  EXPECT_EQ(readFile(dir.file("input.tag")), "ACTION:  RUN_INSTRUCTIONS\n");

  ProgramRun replay = runLauncher({"-tv:in", "input.tag"}, dir.path());
  EXPECT_EQ(replay.status, 0);
  EXPECT_EQ(replay.output, "");
  EXPECT_EQ(withoutPayloadWarning(replay.errors), "");
}

TEST(LauncherCommandLine, AnAppendedEmptyIndexRunsLikeNoPayload) {
  // A copy of the program with an index of no files and a trailer that
  // points at it.
  ScratchDir dir;
  std::string copy = dir.file("launcher");
  std::string program = readFile(LAUNCHER_PROGRAM);
  uint32_t indexOffset = static_cast<uint32_t>(program.size());
  program += std::string(4, '\0');
  for (int shift = 24; shift >= 0; shift -= 8)
    program += static_cast<char>((indexOffset >> shift) & 0xFF);
  program += "\xCA\x82\xCA\x82";
  FILE* file = fopen(copy.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fwrite(program.data(), 1, program.size(), file);
  fclose(file);
  chmod(copy.c_str(), 0755);

  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    setenv("LANG", "C", 1);
    execl(copy.c_str(), copy.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string output;
  char buffer[256];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0)
    output.append(buffer, n);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The progress line break is the launcher's console, on standard error.
  EXPECT_EQ(output, "");
}

}  // namespace
