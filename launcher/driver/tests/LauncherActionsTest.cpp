// The launcher's actions through the built program: input-file actions
// (standard output line by line, exit status, log, files left after exit)
// and instruction scripts, with launcher files packed for each test, fake
// JVM homes, a fake JVM installer, and one run on the build's real JVM.
#include <fcntl.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "DriverTestSupport.h"

namespace {

const std::string kPack = LAUNCHER_PACK_PROGRAM;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    result.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void makeExecutable(const std::string& path, const std::string& script) {
  writeFile(path, script);
  chmod(path.c_str(), 0755);
}

// A fake JVM: answers the verification program with the magic line and
// its version, and otherwise records its arguments, one per line, in
// launched.txt in the directory it runs in.
void makeFakeHome(const std::string& home, const std::string& version) {
  mkdir(home.c_str(), 0755);
  mkdir((home + "/bin").c_str(), 0755);
  makeExecutable(home + "/bin/java",
                 "#!/bin/sh\n"
                 "for a in \"$@\"; do\n"
                 "  if [ \"$a\" = Verify ]; then echo 1739021872; echo " +
                     version +
                     "; exit 0; fi\n"
                     "done\n"
                     "printf '%s\\n' \"$0\" \"$@\" > launched.txt\n");
}

std::string jvmFile(const std::string& desc, const std::string& version,
                    const std::string& extra) {
  return "DESC:  " + desc +
         "\nJVM_EXE:  bin/java\nJVM_PROPERTIES:  java.specification.version=" +
         version +
         "\nCLASSPATH:  \"-classpath \"\nCLASSPATH_SEPARATOR:  :\n"
         "SYSTEM:  -D\nSYSTEM_SEPARATOR:  =\n" +
         extra;
}

class LauncherActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    homes = dir.file("homes");
    pack = dir.file("pack");
    run_ = dir.file("run");
    tmp = dir.file("tmp");
    for (const std::string& d : {homes, pack, run_, tmp})
      mkdir(d.c_str(), 0755);
    makeFakeHome(homes + "/jdk17", "17");
    makeFakeHome(homes + "/jdk11", "11");
    makeFakeHome(homes + "/other17", "17");
    // The installer puts a fake JVM where it runs and describes it.
    makeExecutable(pack + "/setup with blank.sh",
                   "#!/bin/sh\nmkdir -p bin\ncp '" + homes +
                       "/jdk17/bin/java' bin/java\n"
                       "printf 'DESC:  Installed\\nJVM_HOME:  \"%s\"\\n' "
                       "\"$(pwd)\" > jvm\n"
                       "printf 'JVM_EXE:  bin/java\\nCLASSPATH:  \"-classpath "
                       "\"\\n' >> jvm\n");
    writeFile(pack + "/verify.jar", "not really a jar");
    writeFile(pack + "/app.jar", "application");
    writeFile(pack + "/launch.tag",
              "DESC:  Test Application\nARCHIVE:  %APPLICATION_ARCHIVE%()\n"
              "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" %CP%() App\"\n");
    writeFile(pack + "/java17.tag",
              jvmFile("Java 17", "17", "PATH_HINT:  jdk17\n"));
    writeFile(pack + "/java11.tag",
              jvmFile("Java 11", "11", "JVM_HOME:  \"" + homes + "/jdk11\"\n"));
    writeFile(pack + "/script.tag", "INSTRUCTIONS:  INITIALIZE_UI\n");
  }

  // Packs the launcher file run/app with that instruction script; the
  // manifest gives file ids 0 script, 1 java17, 2 java11, 3 launch script.
  void packLauncher(const std::vector<std::string>& script) {
    std::string text = "INSTRUCTIONS:\n";
    for (const std::string& line : script) text += "  " + line + "\n";
    writeFile(pack + "/script.tag", text + "/:\n");
    writeFile(
        pack + "/manifest.tag",
        "INSTRUCTIONS:  script.tag\nJVM:\n  java17.tag\n  java11.tag\n/:\n"
        "LAUNCHSCRIPT:  launch.tag\nJVM_INSTALLER:  setup with blank.sh\n"
        "VERIFY_JAR:  verify.jar\nAPPLICATION_JAR:  app.jar\n");
    std::string command = "'" + kPack + "' '" LAUNCHER_PROGRAM "' '" + pack +
                          "/manifest.tag' '" + run_ + "/app' >/dev/null";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  // Runs run/app in run/ with TMPDIR and the search partitions of the test,
  // stdinText on standard input.
  ProgramRun launch(const std::vector<std::string>& args,
                    const std::string& stdinText = "",
                    const std::string& program = "") {
    std::string input = dir.file("stdin.txt");
    writeFile(input, stdinText);
    ProgramSetup setup;
    setup.cwd = run_;
    setup.stdinFile = input;
    setup.unset = {"JAVA_HOME"};
    setup.environment = {{"TMPDIR", tmp},
                         {"LAUNCHER_SEARCH_PARTITIONS", partitions}};
    setup.environment.insert(setup.environment.end(), environment.begin(),
                             environment.end());
    return runProgram(program.empty() ? run_ + "/app" : program, args, setup);
  }

  ProgramRun action(const std::string& inputFile) {
    writeFile(run_ + "/in.tag", "LOGFILE:  run.log\n" + inputFile);
    return launch({"-tv:log", "run.log", "-tv:in", "in.tag"});
  }

  std::string log() { return readFile(run_ + "/run.log"); }
  std::vector<std::string> launched() {
    return lines(readFile(run_ + "/launched.txt"));
  }

  ScratchDir dir;
  std::string homes, pack, run_, tmp;
  std::string partitions = "";
  // Set for the launcher after the test's own settings.
  std::map<std::string, std::string> environment;
};

TEST_F(LauncherActionsTest, SearchPrintsTheMatchAndKeepsItsJVMFile) {
  packLauncher({"INITIALIZE_UI"});
  partitions = homes;
  ProgramRun run = action("ACTION:  SEARCH\n");
  EXPECT_EQ(run.status, 0);
  std::vector<std::string> out = lines(run.output);
  ASSERT_EQ(out.size(), 3u) << run.output;
  EXPECT_EQ(out[0], "1");
  EXPECT_EQ(out[1], homes + "/jdk17");
  // Only the jvm file handed to the caller is left in the temporary
  // directory; the unpacked verification jar is gone.
  EXPECT_EQ(listDir(tmp),
            std::vector<std::string>{out[2].substr(tmp.size() + 1)});
  std::string written = readFile(out[2]);
  EXPECT_TRUE(contains(written, "JVM_HOME:  " + homes + "/jdk17")) << written;
  EXPECT_TRUE(contains(written, "JVM_FILE:  " + out[2])) << written;
  EXPECT_TRUE(contains(log(), "Matching JVM file is " + out[2])) << log();
}

TEST_F(LauncherActionsTest, SearchWithoutMatchPrintsZeroAndLeavesNothing) {
  packLauncher({"INITIALIZE_UI"});
  partitions = dir.file("pack");  // no JVM below it
  struct Case {
    const char* input;
    std::string output;
    std::string console;
  } cases[] = {
      {"ACTION:  SEARCH\n", "0\n", ""},
      // No JVM was run, so there is no last one to name.
      {"ACTION:  SEARCH\nSHOW_FAIL_MSG:  1\n", "0\n",
       "Test Application\nNo matching JVM was found.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    ProgramRun run = action(c.input);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.errors, c.console);
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
  }
}

TEST_F(LauncherActionsTest, SearchAllPrintsEveryMatchAndKeepsTheirFiles) {
  packLauncher({"INITIALIZE_UI"});
  partitions = homes;
  // java17 also lists two SEARCH_ALL candidates of its own: both 17 homes;
  // java11 matches jdk11.
  ProgramRun run = action("ACTION:  SEARCH_ALL\n");
  EXPECT_EQ(run.status, 0);
  std::vector<std::string> out = lines(run.output);
  ASSERT_EQ(out.size(), 7u) << run.output;
  EXPECT_EQ(out[0], "3");
  std::map<std::string, std::string> byHome;
  for (int i = 1; i < 7; i += 2) byHome[out[i]] = out[i + 1];
  EXPECT_EQ(byHome.size(), 3u);
  for (const char* home : {"/jdk17", "/other17", "/jdk11"}) {
    SCOPED_TRACE(home);
    ASSERT_EQ(byHome.count(homes + home), 1u);
    std::string written = readFile(byHome[homes + home]);
    EXPECT_TRUE(contains(written, "JVM_HOME:  " + homes + home)) << written;
  }
  EXPECT_EQ(listDir(tmp).size(), 3u);
  EXPECT_TRUE(contains(log(), "Finding all matching JVMs")) << log();
}

TEST_F(LauncherActionsTest, VerifyJVMPrintsTheResult) {
  packLauncher({"INITIALIZE_UI"});
  struct Case {
    std::string home;
    std::string output;
  } cases[] = {
      {homes + "/jdk17", "1\n"},
      {homes + "/jdk11", "0\n"},
      {homes + "/missing", "0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.home);
    ProgramRun run =
        action("ACTION:  VERIFY_JVM\nVERIFY_JVM_FILE:  " + pack +
               "/java17.tag\nVERIFY_JVM_HOME:  \"" + c.home + "\"\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
  }
  EXPECT_TRUE(contains(log(), "In VERIFY, the jvm is invalid.")) << log();
}

TEST_F(LauncherActionsTest, InstallJVMActionRunsTheInstallerInTheDestination) {
  packLauncher({"INITIALIZE_UI"});
  std::string dest = dir.file("dest");
  mkdir(dest.c_str(), 0755);
  // A relative installer path with a blank in it: one program, taken as
  // data by the shell.
  ProgramRun run = action(
      "ACTION:  INSTALL_JVM\nINSTALL_JVM_EXE:  ../pack/setup with "
      "blank.sh\nINSTALL_JVM_DEST:  " +
      dest + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, dest + "/jvm\n");
  std::string written = readFile(dest + "/jvm");
  EXPECT_TRUE(contains(written, "JVM_HOME:  " + dest)) << written;
  EXPECT_TRUE(contains(written, "JVM_FILE:  " + dest + "/jvm")) << written;
  EXPECT_TRUE(contains(written, "JVM_TEMP:  0")) << written;
}

TEST_F(LauncherActionsTest, FindAndLaunchPassesTheArguments) {
  packLauncher({"FIND_JVM 0 0", "JMP0 @N1@ END", "LAUNCH \"@S2@\" 0", ":END"});
  partitions = homes;
  ProgramRun run =
      launch({"-tv:log", "run.log", "two words", "it's $HOME \"q\""});
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<std::string> args = launched();
  ASSERT_EQ(args.size(), 6u) << readFile(run_ + "/launched.txt");
  EXPECT_EQ(args[0], homes + "/jdk17/bin/java");
  EXPECT_EQ(args[1], "-classpath");
  EXPECT_TRUE(contains(args[2], "/app.jar")) << args[2];
  EXPECT_EQ(args[3], "App");
  EXPECT_EQ(args[4], "two words");
  EXPECT_EQ(args[5], "it's $HOME \"q\"");
  // The run's jvm file and unpacked jars are removed at exit.
  EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
}

TEST_F(LauncherActionsTest, InstallOptionsUseTheEmbeddedInstaller) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string stdinText;
    bool launchedInstalled;
    // The application's status, or 1 when no JVM could be installed.
    int status;
  } cases[] = {
      {"option 0: a temporary directory", {}, "", true, 0},
      {"option 2 answered at the prompt", {}, "@DEST@\n", true, 0},
      {"option 2 while silent: nothing installed",
       {"-tv:silent"},
       "",
       false,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string dest = dir.file("chosen");
    ASSERT_TRUE(removeTree(dest));
    ASSERT_TRUE(removeTree(run_ + "/launched.txt"));
    mkdir(dest.c_str(), 0755);
    std::string option = std::string(c.name).substr(7, 1);
    packLauncher({"INSTALL_JVM " + option, "JMP0 @N1@ END", "LAUNCH \"@S1@\" 0",
                  ":END"});
    std::vector<std::string> args = c.args;
    args.push_back("-tv:log");
    args.push_back("run.log");
    ProgramRun run = launch(args, replaceAll(c.stdinText, "@DEST@", dest));
    EXPECT_EQ(run.status, c.status) << run.output;
    std::vector<std::string> launchedArgs = launched();
    if (!c.launchedInstalled) {
      EXPECT_EQ(readFile(run_ + "/launched.txt"), "<missing>");
      EXPECT_EQ(listDir(dest), std::vector<std::string>{});
      continue;
    }
    ASSERT_FALSE(launchedArgs.empty());
    if (option == "2") {
      EXPECT_EQ(launchedArgs[0], dest + "/bin/java");
      // The installer is gone, its JVM and jvm file stay.
      std::vector<std::string> left = listDir(dest);
      std::sort(left.begin(), left.end());
      EXPECT_EQ(left, (std::vector<std::string>{"bin", "jvm"}));
      EXPECT_TRUE(contains(readFile(dest + "/jvm"), "JVM_TEMP:  1"));
    } else {
      EXPECT_EQ(launchedArgs[0].compare(0, tmp.size(), tmp), 0)
          << launchedArgs[0];
    }
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
  }
}

TEST_F(LauncherActionsTest, ScriptFailuresAndTheirMessages) {
  struct Case {
    const char* name;
    std::vector<std::string> script;
    int status;
    std::string output;
    std::string logLine;
  } cases[] = {
      {"VERIFY of the launch script's id",
       {"VERIFY 0 0 3"},
       1,
       "To verify a JVM, use an index of a jvm file. The index passed in was "
       "3 which corresponds to the file named launch.tag\n",
       ""},
      {"VERIFY of a missing id",
       {"VERIFY 0 0 99"},
       1,
       "Cannot verify jvm file at index 99 because it does not exist.\n",
       ""},
      {"VERIFY of an embedded jvm file at its own home",
       {"VERIFY 0 1 2", "JMP0 @N1@ BAD", ":BAD"},
       0,
       "",
       "After VERIFY, the jvm home is " + std::string() + "@HOMES@/jdk11"},
      {"ILAUNCH of a missing id",
       {"ILAUNCH 42 0"},
       0,
       "\n",
       "ERROR: Unable to launch the internal launch script with the internal "
       "JVM file. Either the launch script or the JVM file is missing from the "
       "launcher."},
      {"an instruction error names its line",
       {"INITIALIZE_UI", "BOGUS"},
       1,
       "\nInitializing Test Application...\nError in instructions. Invalid "
       "command (BOGUS).  Line number (2)\n",
       ""},
      {"LAUNCH of a missing jvm file",
       {"LAUNCH /no/such.jvm 0"},
       1,
       "Unable to load input file: /no/such.jvm\n",
       ""},
      {"an installation with the UI hidden shows nothing",
       {"INSTALL_JVM 0"},
       0,
       "",
       ""},
      {"an installer that leaves no jvm file",
       {"INSTALL_JVM 0", "JMP0 @N1@ END", "LAUNCH \"@S1@\" 0", ":END"},
       1,
       "",
       "ERROR: Invalid bundled JVM. Missing 'jvm' file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.name) == "an installer that leaves no jvm file")
      makeExecutable(pack + "/setup with blank.sh", "#!/bin/sh\nexit 0\n");
    packLauncher(c.script);
    unlink((run_ + "/run.log").c_str());
    ProgramRun run = launch({"-tv:log", "run.log"});
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, "");
    // The title line of the launch script comes first.
    EXPECT_EQ(run.errors, "Test Application\n" + c.output);
    EXPECT_TRUE(contains(log(), replaceAll(c.logLine, "@HOMES@", homes)))
        << log();
  }
}

TEST_F(LauncherActionsTest, NoEmbeddedInstallerEndsTheRun) {
  writeFile(pack + "/manifest.tag",
            "INSTRUCTIONS:  script.tag\nJVM:  java17.tag\n"
            "LAUNCHSCRIPT:  launch.tag\nVERIFY_JAR:  verify.jar\n");
  writeFile(pack + "/script.tag", "INSTRUCTIONS:  INSTALL_JVM 0\n");
  std::string command = "'" + kPack + "' '" LAUNCHER_PROGRAM "' '" + pack +
                        "/manifest.tag' '" + run_ + "/app' >/dev/null";
  ASSERT_EQ(system(command.c_str()), 0);
  ProgramRun run = launch({"-tv:log", "run.log"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errors,
            "Test Application\nNo JVM installer was included in the "
            "launcher.\n");
  EXPECT_TRUE(
      contains(log(), "ERROR: No JVM installer was included in the launcher."))
      << log();
}

// Results callers parse when the action fails: SEARCH prints nothing (a
// failure is no "0"), SEARCH_ALL its message, if asked, and then "0".
TEST_F(LauncherActionsTest, FailingSearchesOnStandardOutput) {
  packLauncher({"INITIALIZE_UI"});
  partitions = homes;
  // No temporary directory can be made there.
  environment["TMPDIR"] = "/proc";
  struct Case {
    const char* input;
    std::string output;
    std::string console;
  } cases[] = {
      {"ACTION:  SEARCH\n", "", ""},
      {"ACTION:  SEARCH_ALL\n", "0\n", ""},
      {"ACTION:  SEARCH_ALL\nSHOW_FAIL_MSG:  1\n", "0\n",
       "Test Application\nUnable to search for all JVMs.@ERROR@\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    // -tv:tempdir is no way out: TMPDIR comes first.
    writeFile(run_ + "/in.tag", std::string("LOGFILE:  run.log\n") + c.input);
    ProgramRun run = launch({"-tv:tempdir", tmp, "-tv:in", "in.tag"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.errors,
              replaceAll(c.console, "@ERROR@", "No such file or directory"));
  }
  EXPECT_TRUE(contains(log(), "ERROR: Unable to search for all JVMs."))
      << log();
}

TEST_F(LauncherActionsTest, VerifyShowsWhenTheJVMIsNotValid) {
  packLauncher({"INITIALIZE_UI"});
  ProgramRun run = action(
      "ACTION:  VERIFY_JVM\nSHOW_FAIL_MSG:  1\n"
      "VERIFY_JVM_FILE:  " +
      pack + "/java17.tag\nVERIFY_JVM_HOME:  " + homes + "/jdk11\n");
  EXPECT_EQ(run.status, 0);
  // Behind the title and the progress dots of the verification.
  EXPECT_TRUE(contains(run.errors, "\nThe JVM is not valid.\n")) << run.errors;
  EXPECT_EQ(run.output, "0\n");
}

TEST_F(LauncherActionsTest, JavaHomeIsTriedBeforeTheHints) {
  packLauncher({"INITIALIZE_UI"});
  partitions = homes;  // the hint of java17 would find jdk17
  struct Case {
    const char* name;
    std::string javaHome;
    std::string found;
  } cases[] = {
      {"a matching JAVA_HOME", homes + "/other17", homes + "/other17"},
      {"a JAVA_HOME that matches no jvm file", homes + "/jdk11x",
       homes + "/jdk17"},
  };
  makeFakeHome(homes + "/jdk11x", "9");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink((run_ + "/run.log").c_str());
    environment["JAVA_HOME"] = c.javaHome;
    ProgramRun run = action("ACTION:  SEARCH\n");
    std::vector<std::string> out = lines(run.output);
    ASSERT_EQ(out.size(), 3u) << run.output;
    EXPECT_EQ(out[1], c.found);
    EXPECT_TRUE(contains(log(), "Checking the JAVA_HOME directory => " +
                                    c.javaHome + "\n" + "Verifying JVM at " +
                                    c.javaHome + "/bin/java"))
        << log();
  }
  // After the home given on the command line.
  environment["JAVA_HOME"] = homes + "/other17";
  ProgramRun run =
      launch({"-tv:javahome", homes + "/jdk17", "-tv:in", "in.tag"});
  EXPECT_EQ(lines(run.output).at(1), homes + "/jdk17");
}

// The JVM refuses "-Xmx64m -Xms32m" as one option: a .ja line and an
// environment value are word lists; none of their words is shell code.
TEST_F(LauncherActionsTest, JavaArgumentsAreWordLists) {
  writeFile(pack + "/launch.tag",
            "DESC:  Test Application\n"
            "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" #APP_OPTS# "
            "%RUNTIME_JAVAARGS%() App\"\n");
  packLauncher({"ILAUNCH 2 0"});
  std::string pwned = dir.file("pwned");
  writeFile(run_ + "/app.ja",
            "-Xmx64m -Xms32m\n\"-Dname=a b\" $(touch " + pwned + ")\n");
  environment["APP_OPTS"] = "-Dx=1 `touch " + pwned + "` * $HOME ;";
  ProgramRun run = launch({"-tv:log", "run.log"});
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<std::string> args = launched();
  EXPECT_EQ(args, (std::vector<std::string>{
                      homes + "/jdk11/bin/java", "-Dx=1", "`touch", pwned + "`",
                      "*", "$HOME", ";", "-Xmx64m", "-Xms32m", "-Dname=a b",
                      "$(touch", pwned + ")", "App"}));
  EXPECT_FALSE(exists(pwned));
}

TEST_F(LauncherActionsTest, InstallJVMActionTakesAProgramAndItsArguments) {
  packLauncher({"INITIALIZE_UI"});
  std::string dest = dir.file("dest");
  mkdir(dest.c_str(), 0755);
  std::string pwned = dir.file("pwned");
  // The arguments are taken in the destination, where the installer runs.
  writeFile(dest + "/setup.sh",
            "printf '%s\\n' \"$@\" > args.txt\n"
            "printf 'DESC:  Installed\\nJVM_EXE:  bin/java\\n' > jvm\n");
  ProgramRun run = action(
      "ACTION:  INSTALL_JVM\nINSTALL_JVM_EXE:  /bin/sh setup.sh \"two "
      "words\" $(touch " +
      pwned + ")\nINSTALL_JVM_DEST:  " + dest + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, dest + "/jvm\n");
  EXPECT_EQ(lines(readFile(dest + "/args.txt")),
            (std::vector<std::string>{"two words", "$(touch", pwned + ")"}));
  EXPECT_FALSE(exists(pwned));
}

// A caller that stops reading: the launcher still removes its files,
// also the jvm file it could not tell about.
TEST_F(LauncherActionsTest, AClosedPipeLeavesNoTemporaryFiles) {
  packLauncher({"INITIALIZE_UI"});
  partitions = homes;
  writeFile(run_ + "/in.tag", "ACTION:  SEARCH\n");
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  // Closed before the launcher writes anything.
  close(out[0]);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[1]);
    if (chdir(run_.c_str()) != 0) _exit(126);
    setenv("TMPDIR", tmp.c_str(), 1);
    setenv("LAUNCHER_SEARCH_PARTITIONS", partitions.c_str(), 1);
    unsetenv("JAVA_HOME");
    std::string exe = run_ + "/app";
    execl(exe.c_str(), exe.c_str(), "-tv:in", "in.tag", nullptr);
    _exit(127);
  }
  close(out[1]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_FALSE(WIFSIGNALED(status)) << "signal " << WTERMSIG(status);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
}

// strip removes the appended payload; such a launcher says so, and
// otherwise does what a launcher without payload does.
TEST_F(LauncherActionsTest, ALauncherWithoutPayloadSaysSo) {
  packLauncher({"ILAUNCH 2 0"});
  std::string stripped = run_ + "/stripped";
  // Without strip, the launcher program is what stripping would leave.
  std::string command = "cd '" + run_ + "' && { strip -o stripped app || cp '" +
                        LAUNCHER_PROGRAM + "' stripped; } 2>/dev/null && '" +
                        stripped + "' 2> err.txt >/dev/null";
  EXPECT_EQ(system(command.c_str()), 0);
  // Then the line break that ends the progress, on the same console.
  EXPECT_EQ(readFile(run_ + "/err.txt"),
            stripped +
                ": this launcher file carries no payload (was it "
                "stripped?)\n\n");
}

// A failure that is not the launcher's own (memory runs out reading a
// title of 8 MB with 7 MB of address space) still ends the run with a
// message and status 1.
TEST_F(LauncherActionsTest, AnInternalErrorEndsTheRunWithStatusOne) {
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__)
#define LAUNCHER_UNDER_ASAN 1
#elif __has_feature(address_sanitizer)
#define LAUNCHER_UNDER_ASAN 1
#endif
#endif
#ifdef LAUNCHER_UNDER_ASAN
  // AddressSanitizer reserves terabytes of address space for its shadow
  // memory: under a 7 MB address-space limit the launcher cannot start.
  GTEST_SKIP() << "address-space limit under AddressSanitizer";
#endif
  writeFile(run_ + "/big.tag",
            "ACTION:  SEARCH\nUI_TITLE:  " + std::string(8 << 20, 'x') + "\n");
  std::string command = "cd '" + run_ +
                        "' && ulimit -v 7000 && '" LAUNCHER_PROGRAM
                        "' -tv:in big.tag > out.txt 2> err.txt";
  int status = system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(readFile(run_ + "/err.txt"), "Internal error: out of memory.\n");
  EXPECT_EQ(readFile(run_ + "/out.txt"), "");
  EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
}

TEST_F(LauncherActionsTest, HelpListsTheLaunchersOwnOptions) {
  packLauncher({"ILAUNCH 2 0"});
  ProgramRun run = launch({"-tv:help", "--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(contains(run.output, "  -tv:in FILE ")) << run.output;
  EXPECT_TRUE(contains(run.output, "Exit status:")) << run.output;
  // The application does not run; without -tv:help it gets --help.
  EXPECT_EQ(readFile(run_ + "/launched.txt"), "<missing>");
  launch({"--help"});
  EXPECT_EQ(launched().back(), "--help");
}

TEST_F(LauncherActionsTest, ILaunchRunsTheEmbeddedJVMFile) {
  packLauncher({"ILAUNCH 2 1"});
  ProgramRun run = launch({"-tv:log", "run.log", "arg"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errors, "Test Application\n\nRunning Test Application...\n");
  std::vector<std::string> args = launched();
  ASSERT_FALSE(args.empty());
  EXPECT_EQ(args[0], homes + "/jdk11/bin/java");
  EXPECT_EQ(args.back(), "arg");
}

TEST_F(LauncherActionsTest, AnApplicationArchiveBesideTheLauncherIsCopiedOnce) {
  writeFile(pack + "/launch.tag",
            "DESC:  Test Application\n"
            "ARCHIVE:  %APPLICATION_ARCHIVE%(\"lib/app.jar\")\n"
            "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" %CP%() "
            "%APPLICATION_ARCHIVE%(\"\"other.jar\"\") App\"\n");
  packLauncher({"ILAUNCH 2 0"});
  mkdir((run_ + "/lib").c_str(), 0755);
  writeFile(run_ + "/lib/app.jar", "the jar beside the launcher");
  ProgramRun run = launch({"-tv:log", "run.log"});
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<std::string> args = launched();
  ASSERT_EQ(args.size(), 5u) << readFile(run_ + "/launched.txt");
  const std::string& copy = args[2];
  EXPECT_EQ(copy.compare(0, tmp.size(), tmp), 0) << copy;
  EXPECT_EQ(copy.substr(copy.size() - 8), "/app.jar");
  // The second call, with another name, gives the same file.
  EXPECT_EQ(args[3], copy);
  EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
}

// A directory of that name cannot be read as a file: no empty copy of it
// may pass for the archive.
TEST_F(LauncherActionsTest, AnApplicationArchiveThatCannotBeReadIsNoArchive) {
  writeFile(pack + "/launch.tag",
            "DESC:  Test Application\n"
            "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" "
            "[%APPLICATION_ARCHIVE%(\"\"lib\"\")] App\"\n");
  packLauncher({"ILAUNCH 2 0"});
  mkdir((run_ + "/lib").c_str(), 0755);
  ProgramRun run = launch({"-tv:log", "run.log"});
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<std::string> args = launched();
  ASSERT_EQ(args.size(), 3u) << readFile(run_ + "/launched.txt");
  EXPECT_EQ(args[1], "[]");
}

TEST_F(LauncherActionsTest, TheBuildsRealJVM) {
  const std::string javaHome = TEST_JAVA_HOME;
  if (javaHome.empty()) GTEST_SKIP() << "no JDK in this build";
  writeFile(pack + "/real.tag",
            jvmFile("Build JVM", std::string(TEST_JAVA_SPEC_VERSION) + "...",
                    "PATH_HINT:  \"" + javaHome + "\"\nSEARCH_ALL:  1\n"));
  writeFile(pack + "/launch.tag",
            "DESC:  Sample\nDISPLAY_CONSOLE:  1\n"
            "ARCHIVE:  %APPLICATION_ARCHIVE%()\n"
            "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" "
            "%SYSTEMPROP%(\"\"test.prop\"\", \"\"a-b\"\") %CP%() "
            "SampleApplication\"\n");
  std::string command = "cp '" TEST_VERIFY_JAR "' '" + pack +
                        "/verify.jar' && cp '" TEST_SAMPLE_APP_JAR "' '" +
                        pack + "/app.jar'";
  ASSERT_EQ(system(command.c_str()), 0);
  writeFile(pack + "/script.tag",
            "INSTRUCTIONS:\n  FIND_JVM 0 1\n  JMP0 @N1@ END\n"
            "  LAUNCH \"@S2@\" 0\n  :END\n/:\n");
  writeFile(pack + "/manifest.tag",
            "INSTRUCTIONS:  script.tag\nJVM:  real.tag\n"
            "LAUNCHSCRIPT:  launch.tag\nVERIFY_JAR:  verify.jar\n"
            "APPLICATION_JAR:  app.jar\n");
  command = "'" + kPack + "' '" LAUNCHER_PROGRAM "' '" + pack +
            "/manifest.tag' '" + run_ + "/app' >/dev/null";
  ASSERT_EQ(system(command.c_str()), 0);

  ProgramRun run = launch({"-tv:log", "run.log", "x y"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(contains(run.output, "Sample application started."))
      << run.output;
  EXPECT_TRUE(contains(run.output, "  [0] <x y>")) << run.output;
  EXPECT_TRUE(contains(run.output, "  test.prop=a-b")) << run.output;
  EXPECT_TRUE(contains(log(), "Found matching JVM at " + javaHome)) << log();

  // Installed elsewhere (dir/app) and started in run/ with WORKING_DIR
  // CALLER, the JVM's user.dir is where the user is.
  writeFile(pack + "/launch.tag",
            "WORKING_DIR:  CALLER\n" + readFile(pack + "/launch.tag"));
  command = "'" + kPack + "' '" LAUNCHER_PROGRAM "' '" + pack +
            "/manifest.tag' '" + dir.file("app") + "' >/dev/null";
  ASSERT_EQ(system(command.c_str()), 0);
  ProgramRun fromRun = launch({}, "", dir.file("app"));
  EXPECT_TRUE(contains(fromRun.output, "  user.dir=" + run_ + "\n"))
      << fromRun.output;

  partitions = javaHome;
  ProgramRun all = action("ACTION:  SEARCH_ALL\n");
  std::vector<std::string> out = lines(all.output);
  ASSERT_GE(out.size(), 3u) << all.output;
  EXPECT_NE(out[0], "0");
  bool listed = false;
  for (size_t i = 1; i < out.size(); i += 2) listed |= out[i] == javaHome;
  EXPECT_TRUE(listed) << all.output;
}

// ---- The launcher as a command: output, directory, links, arguments ----

class LauncherAsCommandTest : public LauncherActionsTest {
 protected:
  void SetUp() override {
    LauncherActionsTest::SetUp();
    out = dir.file("out");
    mkdir(out.c_str(), 0755);
  }

  // Makes home/bin/java a JVM of that version that appends a line to
  // out/verify-runs.txt for each verification run and otherwise runs
  // appBody (a shell script; OUT stands for the out directory).
  void makeProbeHome(const std::string& home, const std::string& version,
                     const std::string& appBody) {
    mkdir(home.c_str(), 0755);
    mkdir((home + "/bin").c_str(), 0755);
    makeExecutable(home + "/bin/java",
                   "#!/bin/sh\n"
                   "for a in \"$@\"; do\n"
                   "  if [ \"$a\" = Verify ]; then\n"
                   "    echo run >> '" +
                       out +
                       "/verify-runs.txt'\n"
                       "    echo 1739021872; echo " +
                       version +
                       "; exit 0\n"
                       "  fi\n"
                       "done\n" +
                       replaceAll(appBody, "OUT", out) + "\n");
  }

  // Packs run/app (ILAUNCH of the Java 11 file) with that launch script.
  void packWithLaunchScript(const std::string& launchScript) {
    writeFile(pack + "/launch.tag", launchScript);
    packLauncher({"ILAUNCH 2 0"});
  }

  // Moves run/app to dir/inst/app, away from the directory the tests
  // start it in (run/), and returns its new path.
  std::string install() {
    std::string inst = dir.file("inst");
    mkdir(inst.c_str(), 0755);
    EXPECT_EQ(rename((run_ + "/app").c_str(), (inst + "/app").c_str()), 0);
    return inst + "/app";
  }

  std::vector<std::string> outLines(const std::string& name) {
    return lines(readFile(out + "/" + name));
  }

  std::string out;
};

const char kConsoleLaunch[] =
    "DISPLAY_CONSOLE:  1\n"
    "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" App\"\n";

TEST_F(LauncherAsCommandTest, StandardOutputIsTheApplicationsAlone) {
  makeProbeHome(homes + "/jdk11", "11", "echo 'tool 2.1'");
  struct Case {
    const char* name;
    std::string desc;
    std::string console;
  } const cases[] = {
      {"with a title", "DESC:  Test Application\n", "Test Application\n"},
      {"an empty title prints nothing", "DESC:  \"\"\n", ""},
      {"no title", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    packWithLaunchScript(c.desc + kConsoleLaunch);
    ProgramRun run = launch({"--version"});
    EXPECT_EQ(run.status, 0);
    // "tool --version | head -1" reads the application's line.
    EXPECT_EQ(run.output, "tool 2.1\n");
    EXPECT_EQ(run.errors, c.console);
  }
}

TEST_F(LauncherAsCommandTest, WorkingDirectoryChoices) {
  makeProbeHome(homes + "/jdk11", "11",
                "pwd > OUT/cwd.txt\n"
                "for a; do last=$a; done\n"
                "if [ -f \"$last\" ]; then echo found; else echo missing; fi "
                ">> OUT/cwd.txt");
  // The user's file, named relative to where the user is.
  writeFile(run_ + "/build.xml", "<project/>");
  std::string inst = dir.file("inst");
  environment["WORK_DIR"] = tmp;
  struct Case {
    const char* name;
    std::string tag;  // the WORKING_DIR line
    std::string directory;
    std::string file;
  } const cases[] = {
      {"absent: the launcher's directory", "", inst, "missing"},
      {"LAUNCHER", "WORKING_DIR:  LAUNCHER\n", inst, "missing"},
      {"CALLER: where the user started it", "WORKING_DIR:  CALLER\n", run_,
       "found"},
      {"a relative path, in the launcher's directory", "WORKING_DIR:  sub\n",
       inst + "/sub", "missing"},
      {"an environment variable", "WORKING_DIR:  #WORK_DIR#\n", tmp, "missing"},
      {"a jvm file tag", "WORKING_DIR:  @JVM_HOME@/bin\n", homes + "/jdk11/bin",
       "missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink((out + "/cwd.txt").c_str());
    packWithLaunchScript(c.tag + kConsoleLaunch);
    std::string program = install();
    mkdir((inst + "/sub").c_str(), 0755);
    ProgramRun run = launch({"build.xml"}, "", program);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(outLines("cwd.txt"),
              (std::vector<std::string>{c.directory, c.file}));
  }
}

TEST_F(LauncherAsCommandTest, StartedThroughTwoLevelsOfLinks) {
  makeProbeHome(homes + "/jdk11", "11", "printf '%s\\n' \"$@\" > OUT/args.txt");
  packWithLaunchScript(
      "DISPLAY_CONSOLE:  1\n"
      "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" %RUNTIME_SYSTEMPROP%() "
      "%LAUNCHER_DIR%() App\"\n");
  std::string program = install();
  std::string inst = dir.file("inst");
  writeFile(inst + "/app.sp", "side=file\n");
  // As Debian installs a command: /usr/bin/x -> /etc/alternatives/x -> the
  // real file.
  std::string alternatives = dir.file("alternatives");
  std::string bin = dir.file("bin");
  mkdir(alternatives.c_str(), 0755);
  mkdir(bin.c_str(), 0755);
  ASSERT_EQ(symlink("../inst/app", (alternatives + "/app").c_str()), 0);
  ASSERT_EQ(symlink((alternatives + "/app").c_str(), (bin + "/app").c_str()),
            0);
  ProgramRun run = launch({"-tv:log", "run.log", "arg"}, "", bin + "/app");
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(outLines("args.txt"),
            (std::vector<std::string>{"-Dside=file", inst, "App", "arg"}));
  // The log is named relative to where the user is, as given.
  EXPECT_TRUE(contains(log(), "Executing launch script command")) << log();
}

TEST_F(LauncherAsCommandTest, ThreeThousandArgumentsOfSixtyBytesArriveAll) {
  makeProbeHome(homes + "/jdk11", "11", "printf '%s\\n' \"$@\" > OUT/args.txt");
  packWithLaunchScript(kConsoleLaunch);
  std::vector<std::string> args;
  for (int i = 0; i < 3000; ++i) {
    char number[8];
    snprintf(number, sizeof number, "%04d", i);
    args.push_back(number + std::string(56, i % 2 ? 'x' : ' '));
  }
  ProgramRun run = launch(args);
  EXPECT_EQ(run.status, 0) << run.errors;
  std::vector<std::string> expected = {"App"};
  expected.insert(expected.end(), args.begin(), args.end());
  std::vector<std::string> got = outLines("args.txt");
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

TEST_F(LauncherAsCommandTest, ACommandThatCannotStartGives127AndSaysWhy) {
  struct Case {
    const char* name;
    std::string console;
  } const cases[] = {
      {"output captured", ""},
      {"output on the console", "DISPLAY_CONSOLE:  1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    packWithLaunchScript(c.console + "COMMAND:  /nonexistent/java App\n");
    unlink((run_ + "/run.log").c_str());
    ProgramRun run = launch({"-tv:log", "run.log"});
    EXPECT_EQ(run.status, 127);
    EXPECT_TRUE(contains(run.errors, "/nonexistent/java: not found"))
        << run.errors;
    EXPECT_TRUE(contains(log(), "ERROR: The shell found no program to run"))
        << log();
  }
}

TEST_F(LauncherAsCommandTest, AtSignsInSideFileValuesStayWhileTagsExpand) {
  makeProbeHome(homes + "/jdk11", "11", "printf '%s\\n' \"$@\" > OUT/args.txt");
  packWithLaunchScript(
      "DISPLAY_CONSOLE:  1\n"
      "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" %RUNTIME_SYSTEMPROP%() "
      "App\"\n");
  writeFile(run_ + "/app.sp",
            "mail=a@b.org or c@d.org\nhome=@JVM_HOME@\nboth=x@y @JVM_EXE@\n");
  ProgramRun run = launch({});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(outLines("args.txt"),
            (std::vector<std::string>{"-Dmail=a@b.org or c@d.org",
                                      "-Dhome=" + homes + "/jdk11",
                                      "-Dboth=x@y bin/java", "App"}));
}

TEST_F(LauncherAsCommandTest, AHomeIsRunOnceWhenTheSecondJVMFileMatches) {
  makeProbeHome(homes + "/probe", "11", "");
  packLauncher({"INITIALIZE_UI"});
  partitions = out;  // no hints match
  writeFile(run_ + "/in.tag", "LOGFILE:  run.log\nACTION:  SEARCH\n");
  ProgramRun run =
      launch({"-tv:javahome", homes + "/probe", "-tv:in", "in.tag"});
  EXPECT_EQ(run.status, 0) << run.errors;
  std::vector<std::string> result = lines(run.output);
  ASSERT_EQ(result.size(), 3u) << run.output;
  EXPECT_EQ(result[1], homes + "/probe");
  // Java 17 did not match it, Java 11 did, with the answer of one run.
  EXPECT_EQ(outLines("verify-runs.txt"), std::vector<std::string>{"run"});
}

TEST_F(LauncherAsCommandTest, NoMatchingJVMNamesTheLastCandidate) {
  struct Case {
    const char* name;
    std::string java;  // the body of bin/java
    std::string reason;
  } const cases[] = {
      {"the verification program does not load",
       "echo 'Error: Could not find or load main class Verify' >&2; exit 1",
       "which printed: Error: Could not find or load main class Verify"},
      {"a JVM too old", "echo 1739021872; echo 1.8",
       "which reported java.specification.version=1.8"},
      {"nothing at all", "exit 0", "which printed nothing."},
  };
  std::string candidate = homes + "/candidate";
  makeFakeHome(candidate, "11");
  packLauncher({"INITIALIZE_UI"});
  partitions = out;
  writeFile(run_ + "/in.tag",
            "LOGFILE:  run.log\nACTION:  SEARCH\nSHOW_FAIL_MSG:  1\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    makeExecutable(candidate + "/bin/java", "#!/bin/sh\n" + c.java + "\n");
    ProgramRun run = launch({"-tv:javahome", candidate, "-tv:in", "in.tag"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "0\n");
    EXPECT_TRUE(contains(run.errors,
                         "No matching JVM was found.\nThe last JVM tried was " +
                             candidate + "/bin/java, " + c.reason + "\n"))
        << run.errors;
  }
}

}  // namespace
