// The built launcher where its environment works against it: temporary
// directories that are missing or cannot take a file, a disk that fills up
// during an extraction, a JVM that floods both output streams, a JVM that
// hangs (also one that ignores the signals meant to end it), and language
// settings that name unknown or odd codesets. Whatever happens, the run
// ends with a status that says so, and leaves no temporary files behind.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "DriverTestSupport.h"

namespace {

const std::string kPack = LAUNCHER_PACK_PROGRAM;
// Only a broken run waits this long: the safety net of every wait.
const int kSafetyNetMillis = 60000;
const char kWriteError[] =
    "Error writing file = 27 There may not be enough temporary disk space.";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void makeExecutable(const std::string& path, const std::string& script) {
  writeFile(path, script);
  chmod(path.c_str(), 0755);
}

// The shell's view of a wait status: the exit status, or 128 + the signal.
int shellStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Whether the process has ended (gone, or a zombie nobody waits for).
bool ended(pid_t pid) {
  if (kill(pid, 0) != 0) return true;
  std::string status = readFile("/proc/" + std::to_string(pid) + "/stat");
  size_t paren = status.rfind(')');
  return paren != std::string::npos && paren + 2 < status.size() &&
         status[paren + 2] == 'Z';
}

// Reads fd until its end; false when the safety net ran out first.
bool readToEnd(int fd, std::string& into) {
  for (;;) {
    struct pollfd polled = {fd, POLLIN, 0};
    if (poll(&polled, 1, kSafetyNetMillis) <= 0) return false;
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return n == 0;
    into.append(buffer, static_cast<size_t>(n));
  }
}

class LauncherHostileEnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = dir.file("home");
    pack = dir.file("pack");
    run_ = dir.file("run");
    tmp = dir.file("tmp");
    for (const std::string& d : {home, home + "/bin", pack, run_, tmp})
      mkdir(d.c_str(), 0755);
    fakeJava(kAnswer, "");
    writeFile(pack + "/verify.jar", "not really a jar");
    writeFile(pack + "/app.jar", "application");
    launchScript(false);
    writeFile(pack + "/java.tag",
              "DESC:  Java 17\nJVM_EXE:  bin/java\n"
              "JVM_PROPERTIES:  java.specification.version=17\n"
              "CLASSPATH:  \"-classpath \"\nCLASSPATH_SEPARATOR:  :\n"
              "PATH_HINT:  home\n");
  }

  // The launch script; console: the application writes to the launcher's
  // own output instead of having it captured.
  void launchScript(bool console) {
    writeFile(pack + "/launch.tag",
              std::string("DESC:  Hostile\nDISPLAY_CONSOLE:  ") +
                  (console ? "1" : "0") +
                  "\nARCHIVE:  %APPLICATION_ARCHIVE%()\n"
                  "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" %CP%() App\"\n");
  }

  // The fake JVM: run with the verification class it runs onVerify (by
  // default, the answer of a Java 17); otherwise it runs onRun after
  // recording its arguments in launched.txt where it runs.
  static constexpr const char* kAnswer = "echo 1739021872; echo 17";
  void fakeJava(const std::string& onVerify, const std::string& onRun) {
    makeExecutable(home + "/bin/java",
                   "#!/bin/sh\n"
                   "for a in \"$@\"; do\n"
                   "  if [ \"$a\" = Verify ]; then\n" +
                       onVerify +
                       "\n    exit 0\n  fi\ndone\n"
                       "printf '%s\\n' \"$@\" > launched.txt\n" +
                       onRun + "\n");
  }

  // Packs run/app: that instruction script, the jvm file as id 1.
  void packLauncher(const std::vector<std::string>& script) {
    std::string text = "INSTRUCTIONS:\n";
    for (const std::string& line : script) text += "  " + line + "\n";
    writeFile(pack + "/script.tag", text + "/:\n");
    writeFile(pack + "/manifest.tag",
              "INSTRUCTIONS:  script.tag\nJVM:  java.tag\n"
              "LAUNCHSCRIPT:  launch.tag\nVERIFY_JAR:  verify.jar\n"
              "APPLICATION_JAR:  app.jar\n");
    std::string command = "'" + kPack + "' '" LAUNCHER_PROGRAM "' '" + pack +
                          "/manifest.tag' '" + run_ + "/app' >/dev/null";
    ASSERT_EQ(system(command.c_str()), 0);
  }
  void packFindAndLaunch() {
    packLauncher(
        {"FIND_JVM 0 1", "JMP0 @N1@ END", "LAUNCH \"@S2@\" 0", ":END"});
  }

  // Runs run/app in run/ with the test's temporary directory; shellSetup,
  // when given, is shell code run first (a limit, a trap) in the shell
  // that then becomes the launcher.
  ProgramRun launch(const std::vector<std::string>& args,
                    const std::string& shellSetup = "") {
    ProgramSetup setup;
    setup.cwd = run_;
    setup.unset = {"JAVA_HOME", "LC_ALL"};
    setup.environment = {{"TMPDIR", tmp},
                         {"LAUNCHER_SEARCH_PARTITIONS", dir.path()}};
    setup.environment.insert(setup.environment.end(), environment.begin(),
                             environment.end());
    if (shellSetup.empty()) return runProgram(run_ + "/app", args, setup);
    std::vector<std::string> shellArgs = {
        "-c", shellSetup + "\nexec ./app \"$@\"", "sh"};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    return runProgram("/bin/sh", shellArgs, setup);
  }

  std::string launched() { return readFile(run_ + "/launched.txt"); }

  ScratchDir dir;
  std::string home, pack, run_, tmp;
  // Set for the launcher after the test's own settings.
  std::vector<std::pair<std::string, std::string>> environment;
};

struct TempDirCase {
  const char* name;
  std::string tmpdir;  // "@" stands for the test's scratch directory
  bool launches;       // else the run fails, saying why
  std::string says;
};

TEST_F(LauncherHostileEnvTest, TemporaryDirectoriesThatCannotBeUsed) {
  packFindAndLaunch();
  std::string readOnly = dir.file("read-only");
  mkdir(readOnly.c_str(), 0555);
  std::vector<TempDirCase> cases = {
      // TMPDIR is passed over for the directory given on the command line.
      {"missing", "@/missing", true, ""},
      {"a file", "@/pack/app.jar", true, ""},
      // A directory in which nothing can be made, even by root.
      {"a directory that takes no files", "/proc/self", false,
       "No such file or directory"},
  };
  // Permissions do not stop root.
  if (geteuid() != 0)
    cases.push_back({"a directory without write permission", readOnly, false,
                     "Permission denied"});
  std::string alternative = dir.file("alternative");
  mkdir(alternative.c_str(), 0755);
  for (const TempDirCase& c : cases) {
    SCOPED_TRACE(c.name);
    unlink((run_ + "/launched.txt").c_str());
    environment = {{"TMPDIR", replaceAll(c.tmpdir, "@", dir.path())}};
    ProgramRun run = launch({"-tv:tempdir", alternative});
    if (c.launches) {
      EXPECT_EQ(run.status, 0) << run.output << run.errors;
      EXPECT_TRUE(contains(launched(), "App\n")) << launched();
    } else {
      EXPECT_EQ(run.status, 1) << run.output << run.errors;
      // On the console, which is the launcher's standard error.
      EXPECT_TRUE(contains(run.errors, "No matching JVM was found."))
          << run.errors;
      EXPECT_TRUE(contains(run.errors, c.says)) << run.errors;
      EXPECT_EQ(launched(), "<missing>");
    }
    EXPECT_EQ(listDir(alternative), std::vector<std::string>{});
    EXPECT_EQ(listDir(readOnly), std::vector<std::string>{});
  }
  chmod(readOnly.c_str(), 0755);
}

struct FullDiskCase {
  const char* name;
  const char* shellSetup;  // before the limit on the size of files
  std::vector<std::string> args;
  const char* partialFile;  // the file that must not be left, in run/
};

TEST_F(LauncherHostileEnvTest, AFullDiskDuringAnExtraction) {
  // Far more than the limit lets the launcher write.
  writeFile(pack + "/app.jar", std::string(4 << 20, 'j'));
  packLauncher({"ILAUNCH 1 0"});
  const FullDiskCase cases[] = {
      {"application archive, limit signal ignored", "trap '' XFSZ", {}, ""},
      // The default action of the limit's signal would kill the launcher
      // before it could report the failure or remove its files.
      {"application archive, limit signal as by default", ":", {}, ""},
      {"every file into the current directory",
       ":",
       {"-tv:extract"},
       "app.jar"},
  };
  for (const FullDiskCase& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramRun run =
        launch(c.args, std::string(c.shellSetup) + "\nulimit -f 512");
    EXPECT_EQ(run.status, 1) << run.output << run.errors;
    EXPECT_TRUE(contains(run.output + run.errors, kWriteError))
        << run.output << run.errors;
    EXPECT_EQ(launched(), "<missing>");
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
    if (*c.partialFile) {
      EXPECT_FALSE(exists(run_ + "/" + c.partialFile));
    }
  }
}

TEST_F(LauncherHostileEnvTest, AJVMThatFloodsBothStreams) {
  // Megabytes on each stream, the error stream first: a launcher that
  // read one stream to its end before the other would wait forever.
  const std::string flood =
      "head -c 3000000 /dev/zero | tr '\\0' e >&2\n"
      "head -c 3000000 /dev/zero | tr '\\0' o\n"
      "echo\n"
      "head -c 3000000 /dev/zero | tr '\\0' e >&2\n";
  struct Case {
    const char* name;
    std::string onVerify;
    std::string onRun;
    bool console;
    std::vector<std::string> args;
    std::string input;  // an input file, for the verification alone
    std::string output;
    size_t errorBytes;
  } cases[] = {
      // Captured: the answer after the flood still counts.
      {"verification",
       "head -c 3000000 /dev/zero | tr '\\0' e >&2\n"
       "echo 1739021872\necho 17\n" +
           flood,
       "",
       false,
       {"-tv:in", "in.tag"},
       "ACTION:  VERIFY_JVM\nVERIFY_JVM_FILE:  " + pack +
           "/java.tag\nVERIFY_JVM_HOME:  \"" + home + "\"\n",
       "1\n",
       0},
      // Captured and dropped: the run still ends.
      {"application, captured",
       kAnswer,
       flood,
       false,
       {"-tv:silent"},
       "",
       "",
       0},
      // Passed through: every byte reaches the launcher's caller.
      {"application on the console",
       kAnswer,
       flood,
       true,
       {"-tv:silent"},
       "",
       std::string(3000000, 'o') + "\n",
       6000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fakeJava(c.onVerify, c.onRun);
    launchScript(c.console);
    packFindAndLaunch();
    if (!c.input.empty()) writeFile(run_ + "/in.tag", c.input);
    ProgramRun run = launch(c.args);
    EXPECT_EQ(run.status, 0) << run.errors.substr(0, 200);
    EXPECT_TRUE(run.output == c.output)
        << run.output.size() << " bytes: " << run.output.substr(0, 200);
    const std::string errors(c.errorBytes, 'e');
    EXPECT_TRUE(run.errors == errors)
        << run.errors.size() << " bytes: " << run.errors.substr(0, 200);
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
  }
}

TEST_F(LauncherHostileEnvTest, AHangingJVMDoesNotHoldTheLauncher) {
  const std::string fifo = dir.file("hung.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    const char* name;
    int signal;
    // Shell code before the hang; "trap '' ..." makes a JVM that does not
    // end on the signals meant to end it.
    const char* before;
  } cases[] = {
      {"SIGTERM", SIGTERM, ":"},
      {"SIGINT", SIGINT, ":"},
      {"SIGHUP", SIGHUP, ":"},
      {"SIGTERM to a JVM that ignores it", SIGTERM, "trap '' INT TERM HUP"},
      {"SIGINT to a JVM that ignores it", SIGINT, "trap '' INT TERM HUP"},
  };
  packFindAndLaunch();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // It tells the test its process number once it hangs.
    fakeJava(
        std::string(c.before) + "\necho $$ > '" + fifo + "'\nexec sleep 300",
        "");
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t launcher = fork();
    if (launcher == 0) {
      dup2(out[1], 1);
      dup2(out[1], 2);
      close(out[0]);
      close(out[1]);
      int null = open("/dev/null", O_RDONLY);
      dup2(null, 0);
      if (chdir(run_.c_str()) != 0) _exit(126);
      setenv("LANG", "C", 1);
      setenv("TMPDIR", tmp.c_str(), 1);
      setenv("LAUNCHER_SEARCH_PARTITIONS", dir.path().c_str(), 1);
      unsetenv("JAVA_HOME");
      execl("./app", "./app", "-tv:log", "run.log", nullptr);
      _exit(127);
    }
    close(out[1]);
    // Read and write, so that opening never waits for the other side.
    int hung = open(fifo.c_str(), O_RDWR);
    std::string said;
    struct pollfd polled = {hung, POLLIN, 0};
    while (!contains(said, "\n") && poll(&polled, 1, kSafetyNetMillis) > 0) {
      char buffer[64];
      ssize_t n = read(hung, buffer, sizeof buffer);
      if (n <= 0) break;
      said.append(buffer, static_cast<size_t>(n));
    }
    close(hung);
    pid_t jvm = atoi(said.c_str());
    EXPECT_GT(jvm, 0) << "the JVM never hung";
    kill(launcher, c.signal);
    std::string output;
    bool finished = readToEnd(out[0], output);
    close(out[0]);
    if (!finished) kill(launcher, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(launcher, &status, 0), launcher);
    EXPECT_TRUE(finished) << "the launcher did not end";
    EXPECT_EQ(shellStatus(status), 128 + c.signal) << output;
    EXPECT_TRUE(contains(output, "Canceled by the user.")) << output;
    if (jvm > 0) {
      EXPECT_TRUE(ended(jvm)) << "the hanging JVM was left running";
      if (!ended(jvm)) kill(jvm, SIGKILL);
    }
    EXPECT_EQ(launched(), "<missing>");
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
  }
}

TEST_F(LauncherHostileEnvTest, LanguageSettingsWithOddCodesets) {
  struct Case {
    const char* name;
    std::string lang;
    std::string lcAll;  // empty: not set
    std::string says;   // in the status line
  } cases[] = {
      {"unknown language and codeset", "xx_XX.NOPE", "",
       "Initializing Hostile..."},
      {"unknown codeset", "de_DE.NOPE", "", "Hostile wird initialisiert..."},
      // Encodings that do not keep ASCII as it is cannot carry the texts.
      {"UTF-16", "de_DE.UTF-16", "", "Hostile wird initialisiert..."},
      {"EBCDIC", "de_DE.IBM037", "", "Hostile wird initialisiert..."},
      {"a stateful encoding", "de_DE.ISO-2022-JP", "",
       "Hostile wird initialisiert..."},
      {"empty codeset", "de_DE.", "", "Hostile wird initialisiert..."},
      {"empty codeset before a modifier", "de_DE.@euro", "",
       "Hostile wird initialisiert..."},
      {"only a dot", ".", "", "Initializing Hostile..."},
      {"a very long codeset", "de_DE." + std::string(5000, 'U'), "",
       "Hostile wird initialisiert..."},
      {"a very long value", std::string(100000, 'x'), "",
       "Initializing Hostile..."},
      {"format characters", "%s%n%x.%s%n", "", "Initializing Hostile..."},
      {"a path", "../../../../etc/passwd", "", "Initializing Hostile..."},
      {"empty", "", "", "Initializing Hostile..."},
      // LC_ALL picks the character conversions, LANG the texts.
      {"LC_ALL unknown", "C", "xx_XX.BOGUS", "Initializing Hostile..."},
      {"LC_ALL odd, LANG German", "de_DE.UTF-8", "de_DE.UTF-16",
       "Hostile wird initialisiert..."},
  };
  packLauncher({"INITIALIZE_UI"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    environment = {{"LANG", c.lang}};
    if (!c.lcAll.empty()) environment.push_back({"LC_ALL", c.lcAll});
    ProgramRun run = launch({});
    EXPECT_EQ(run.status, 0) << run.errors;
    // The console is the launcher's standard error.
    EXPECT_TRUE(contains(run.errors, c.says)) << run.errors;
    EXPECT_FALSE(contains(run.errors, "Error displaying message"));
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
  }
}

}  // namespace
