// Exit statuses and signals of a launcher run, through the built program:
// the application's status becomes the launcher's, signals sent to the
// launcher reach the application, Ctrl-C and Ctrl-\ at a terminal (a
// pseudo-terminal here) act on the application as they would on it alone,
// and every way out removes the run's temporary files. The application is
// a stand-in that says when it runs, so the tests wait for it instead of
// waiting for a time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <string>
#include <vector>

#include "DriverTestSupport.h"

namespace {

const std::string kPack = LAUNCHER_PACK_PROGRAM;
const std::string kProbe = SIGNAL_PROBE_PROGRAM;
// Only a broken run waits this long: the safety net of every read.
const int kSafetyNetMillis = 60000;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
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

// A launcher running as a child of the test; its standard output (and, on
// a terminal, everything it and its children write there) arrives on out.
struct Running {
  pid_t pid = -1;
  int out = -1;
  std::string seen;

  // Reads until the text arrives; false when the output ended or the
  // safety net ran out first.
  bool waitFor(const std::string& text) {
    while (!contains(seen, text)) {
      if (!readSome()) return false;
    }
    return true;
  }
  // Reads the rest and waits for the launcher: its shell status.
  int finish() {
    while (readSome()) {
    }
    close(out);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return shellStatus(status);
  }
  bool stillRunning() {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
  }
  // The pid the probe announced.
  pid_t probe() const {
    size_t at = seen.find("ready ");
    return at == std::string::npos ? -1 : atoi(seen.c_str() + at + 6);
  }

 private:
  bool readSome() {
    struct pollfd polled = {out, POLLIN, 0};
    if (poll(&polled, 1, kSafetyNetMillis) <= 0) return false;
    char buffer[4096];
    ssize_t n = read(out, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, n);
    return true;
  }
};

class LauncherSignalsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pack = dir.file("pack");
    run_ = dir.file("run");
    tmp = dir.file("tmp");
    empty = dir.file("empty");
    for (const std::string& d : {pack, run_, tmp, empty})
      mkdir(d.c_str(), 0755);
    writeFile(pack + "/v.jar", "not really a jar");
    writeFile(pack + "/app.jar", "application");
    writeFile(pack + "/probe.tag",
              "DESC:  Probe JVM\nJVM_EXE:  bin/java\n"
              "JVM_PROPERTIES:  java.specification.version=17\n"
              "CLASSPATH:  \"-classpath \"\nCLASSPATH_SEPARATOR:  :\n");
    // Says so on the terminal once it runs, then waits to be ended.
    writeFile(pack + "/setup.sh",
              "#!/bin/sh\necho installer-ready > /dev/tty\nexec sleep 60\n");
    chmod((pack + "/setup.sh").c_str(), 0755);
    probeMode("wait");
  }

  // The application: the probe in that mode, with the unpacked
  // application jar on its command line (so the run has temporary files).
  void probeMode(const std::string& mode) {
    writeFile(pack + "/launch.tag",
              "DESC:  Probe\nDISPLAY_CONSOLE:  1\n"
              "ARCHIVE:  %APPLICATION_ARCHIVE%()\n"
              "COMMAND:  '" +
                  kProbe + "' " + mode + " %CP%()\n");
  }

  // Packs run/app with that instruction script; file id 1 is the jvm file.
  void packLauncher(const std::vector<std::string>& script) {
    std::string text = "INSTRUCTIONS:\n";
    for (const std::string& line : script) text += "  " + line + "\n";
    writeFile(pack + "/script.tag", text + "/:\n");
    writeFile(pack + "/manifest.tag",
              "INSTRUCTIONS:  script.tag\nJVM:  probe.tag\n"
              "LAUNCHSCRIPT:  launch.tag\nJVM_INSTALLER:  setup.sh\n"
              "VERIFY_JAR:  v.jar\nAPPLICATION_JAR:  app.jar\n");
    std::string command = "'" + kPack + "' '" LAUNCHER_PROGRAM "' '" + pack +
                          "/manifest.tag' '" + run_ + "/app' >/dev/null";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  // In the child: the environment and the program of every run.
  [[noreturn]] void execLauncher(const std::vector<std::string>& args) {
    if (chdir(run_.c_str()) != 0) _exit(126);
    setenv("LANG", "C", 1);
    setenv("TMPDIR", tmp.c_str(), 1);
    setenv("LAUNCHER_SEARCH_PARTITIONS", empty.c_str(), 1);
    unsetenv("JAVA_HOME");
    std::string exe = run_ + "/app";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }

  // Starts run/app with its standard output and its standard error (the
  // launcher's console) on one pipe.
  Running start(const std::vector<std::string>& args) {
    Running running;
    int out[2];
    if (pipe(out) != 0) return running;
    running.pid = fork();
    if (running.pid == 0) {
      dup2(out[1], 1);
      dup2(out[1], 2);
      close(out[0]);
      close(out[1]);
      int null = open("/dev/null", O_RDONLY);
      dup2(null, 0);
      execLauncher(args);
    }
    close(out[1]);
    running.out = out[0];
    return running;
  }

  // Starts run/app on a new pseudo-terminal of which it is the controlling
  // process, as a shell starts a command in the foreground; inPipeline
  // starts it beside another command of its process group, as in
  // "app | less" (that command waits for it and exits with its status).
  Running startOnTerminal(const std::vector<std::string>& args,
                          bool inPipeline = false) {
    Running running;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
      return running;
    std::string slaveName = ptsname(master);
    running.pid = fork();
    if (running.pid == 0) {
      setsid();
      int slave = open(slaveName.c_str(), O_RDWR);
      if (slave < 0 || ioctl(slave, TIOCSCTTY, 0) != 0) _exit(125);
      dup2(slave, 0);
      dup2(slave, 1);
      dup2(slave, 2);
      close(master);
      if (inPipeline) {
        signal(SIGINT, SIG_IGN);
        pid_t launcher = fork();
        if (launcher == 0) {
          signal(SIGINT, SIG_DFL);
          execLauncher(args);
        }
        int status = 0;
        if (waitpid(launcher, &status, 0) != launcher) _exit(124);
        _exit(shellStatus(status));
      }
      execLauncher(args);
    }
    running.out = master;
    return running;
  }

  std::string log() { return readFile(run_ + "/run.log"); }

  ScratchDir dir;
  std::string pack, run_, tmp, empty;
};

TEST_F(LauncherSignalsTest, TheApplicationsExitStatusIsTheLaunchers) {
  struct Case {
    const char* mode;
    int status;
  } cases[] = {
      {"exit 0", 0},
      {"exit 3", 3},
      {"exit 255", 255},
      // Ended by a signal: 128 + the signal, as a shell reports it.
      {"kill 9", 137},
      {"kill 15", 143},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    probeMode(c.mode);
    packLauncher({"ILAUNCH 1 0"});
    Running running = start({"-tv:log", "run.log"});
    EXPECT_EQ(running.finish(), c.status) << running.seen;
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
  }
}

TEST_F(LauncherSignalsTest, NoJVMFoundEndsTheRunWithStatusOne) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {"the message shows", {}, "No matching JVM was found.\n"},
      // Silent: the status is the only sign; the message is in the log.
      {"silent", {"-tv:silent"}, ""},
  };
  packLauncher({"FIND_JVM 0 1", "JMP0 @N1@ END", "LAUNCH \"@S2@\" 0", ":END"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unlink((run_ + "/run.log").c_str());
    std::vector<std::string> args = c.args;
    args.push_back("-tv:log");
    args.push_back("run.log");
    Running running = start(args);
    EXPECT_EQ(running.finish(), 1);
    EXPECT_TRUE(contains(running.seen, c.output)) << running.seen;
    if (c.output.empty()) {
      EXPECT_EQ(running.seen, "");
    }
    EXPECT_TRUE(contains(log(), "No matching JVM was found.")) << log();
  }
}

TEST_F(LauncherSignalsTest, SignalsToTheLauncherEndTheApplicationAndTheRun) {
  const int signals[] = {SIGTERM, SIGHUP, SIGINT};
  packLauncher({"ILAUNCH 1 0"});
  for (int sig : signals) {
    SCOPED_TRACE(strsignal(sig));
    Running running = start({"-tv:log", "run.log"});
    ASSERT_TRUE(running.waitFor("ready ")) << running.seen;
    // The run's files exist while the application runs.
    EXPECT_NE(listDir(tmp), std::vector<std::string>{});
    kill(running.pid, sig);
    EXPECT_EQ(running.finish(), 128 + sig) << running.seen;
    // No orphan: the application ended before the launcher did.
    EXPECT_TRUE(ended(running.probe()));
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
    EXPECT_FALSE(contains(running.seen, "Canceled")) << running.seen;
  }
}

TEST_F(LauncherSignalsTest, QuitAsksTheApplicationForADumpAndNothingMore) {
  packLauncher({"ILAUNCH 1 0"});
  Running running = start({"-tv:log", "run.log"});
  ASSERT_TRUE(running.waitFor("ready ")) << running.seen;
  kill(running.pid, SIGQUIT);
  ASSERT_TRUE(running.waitFor("quit\n")) << running.seen;
  // The launcher, its files and the application are all still there.
  EXPECT_TRUE(running.stillRunning());
  EXPECT_FALSE(ended(running.probe()));
  EXPECT_NE(listDir(tmp), std::vector<std::string>{});
  kill(running.pid, SIGTERM);
  EXPECT_EQ(running.finish(), 128 + SIGTERM) << running.seen;
  EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
}

TEST_F(LauncherSignalsTest, KeysAtTheTerminalActOnTheApplication) {
  packLauncher({"ILAUNCH 1 0"});
  struct Case {
    const char* name;
    std::string keys;  // sent once the application runs
  } cases[] = {
      {"Ctrl-C", "\x03"},
      // The dump first; the application runs on until Ctrl-C.
      {"Ctrl-\\ then Ctrl-C", "\x1c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Running running = startOnTerminal({"-tv:log", "run.log"});
    ASSERT_TRUE(running.waitFor("ready ")) << running.seen;
    ASSERT_EQ(write(running.out, c.keys.data(), c.keys.size()),
              static_cast<ssize_t>(c.keys.size()));
    if (c.keys == "\x1c") {
      ASSERT_TRUE(running.waitFor("quit")) << running.seen;
      EXPECT_TRUE(running.stillRunning());
      EXPECT_NE(listDir(tmp), std::vector<std::string>{});
      ASSERT_EQ(write(running.out, "\x03", 1), 1);
    }
    // As the application ended: by SIGINT.
    EXPECT_EQ(running.finish(), 128 + SIGINT) << running.seen;
    EXPECT_TRUE(ended(running.probe()));
    EXPECT_FALSE(contains(running.seen, "Canceled")) << running.seen;
    EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
  }
}

// In a pipeline the terminal stays with the pipeline (a pager reads it);
// the launcher passes Ctrl-C on to the application.
TEST_F(LauncherSignalsTest, CtrlCInAPipelineEndsTheApplication) {
  packLauncher({"ILAUNCH 1 0"});
  Running running = startOnTerminal({"-tv:log", "run.log"}, true);
  ASSERT_TRUE(running.waitFor("ready ")) << running.seen;
  ASSERT_EQ(write(running.out, "\x03", 1), 1);
  EXPECT_EQ(running.finish(), 128 + SIGINT) << running.seen;
  EXPECT_TRUE(ended(running.probe()));
  EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
}

TEST_F(LauncherSignalsTest, CtrlCDuringTheLaunchersOwnWorkCancelsTheRun) {
  // The installer runs in a temporary directory and waits.
  packLauncher({"INSTALL_JVM 1", "JMP0 @N1@ END", "LAUNCH \"@S1@\" 0", ":END"});
  Running running = startOnTerminal({"-tv:log", "run.log"});
  ASSERT_TRUE(running.waitFor("installer-ready")) << running.seen;
  ASSERT_EQ(write(running.out, "\x03", 1), 1);
  EXPECT_EQ(running.finish(), 128 + SIGINT) << running.seen;
  EXPECT_TRUE(contains(running.seen, "Canceled by the user.")) << running.seen;
  EXPECT_EQ(listDir(tmp), std::vector<std::string>{});
}

}  // namespace
