// Child processes: capture of both streams, the working directory, failures
// of the child before the command runs, and waiting for that child only.
#include <errno.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>

#include <string>

#include "PlatformImplTestSupport.h"
#include "core/LauncherException.h"
#include "platform/RunSignals.h"

namespace {

using ProcessTest = PlatformTest;

std::string str(const SString& s) { return std::string(s.data(), s.length()); }

struct CaptureCase {
  const char* name;
  std::string command;
  bool dropOutput;
  std::string expectedOutput;  // appended behind "kept:"
  std::string expectedErrors;  // appended behind "kept:"
};

TEST_F(ProcessTest, CapturesEachStreamInTheOrderWritten) {
  const std::string big(300000, 'e');
  const CaptureCase cases[] = {
      {"writes nothing", "true", false, "", ""},
      {"both streams interleaved",
       "echo out1; echo err1 >&2; printf out2; printf err2 >&2; echo out3",
       false, "out1\nout2out3\n", "err1\nerr2"},
      {"a failing command is not an error", "echo partial; exit 3", false,
       "partial\n", ""},
      {"unknown command", "no_such_command_for_this_test 2>/dev/null", false,
       "", ""},
      {"null output drops standard output", "echo gone; echo kept >&2", true,
       "", "kept\n"},
      // Megabytes on standard error while standard output is still open:
      // reading only one pipe at a time would stall both sides.
      {"large error output before the standard output",
       "head -c 300000 /dev/zero | tr '\\0' e >&2; echo done", false, "done\n",
       big},
      {"large standard output before the error output",
       "head -c 300000 /dev/zero | tr '\\0' e; echo done >&2", false, big,
       "done\n"},
      {"bytes that are not text", "printf 'a\\000b\\377'", false,
       std::string("a\0b\377", 4), ""},
  };
  for (const CaptureCase& c : cases) {
    SCOPED_TRACE(c.name);
    SString output("kept:");
    SString errors("kept:");
    PlatformImpl::executeProcess(c.command.c_str(), "", true,
                                 c.dropOutput ? nullptr : &output, &errors);
    EXPECT_EQ(str(output), "kept:" + c.expectedOutput);
    EXPECT_EQ(str(errors), "kept:" + c.expectedErrors);
  }
}

// One argument of the shell may not exceed 128 KiB, the whole list may be
// far longer; a command beyond the system's limit is the command's
// failure, told as a shell tells it.
TEST_F(ProcessTest, LongCommandsRunAndTooLongOnesGive126) {
  struct Case {
    const char* name;
    size_t length;  // of the word the command prints
    int status;
    bool runs;
  } const cases[] = {
      {"just below one argument's limit", 131000, 0, true},
      {"several times one argument's limit", 1000000, 0, true},
      {"beyond the whole list's limit", 16u << 20, 126, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string word(c.length, 'w');
    // A quote in the middle stays a quote, wherever the pieces are cut.
    word[c.length / 2] = '\'';
    SString output, errors;
    StderrCapture console;
    int status = PlatformImpl::executeProcess(
        ("printf %s \"" + word + "\" | wc -c").c_str(), "", true, &output,
        &errors);
    // Behind the progress dots of what was read.
    std::string said = console.finish();
    const std::string message =
        "The command could not be started: Argument list too long\n";
    EXPECT_EQ(status, c.status);
    if (c.runs) {
      EXPECT_EQ(atol(str(output).c_str()), static_cast<long>(c.length));
      EXPECT_EQ(said.find("could not"), std::string::npos) << said;
    } else {
      EXPECT_EQ(str(output), "");
      ASSERT_GE(said.size(), message.size()) << said;
      EXPECT_EQ(said.substr(said.size() - message.size()), message);
    }
  }
}

TEST_F(ProcessTest, RunsInTheWorkingDirectory) {
  ScratchDir scratch;
  for (bool capture : {true, false}) {
    SCOPED_TRACE(capture ? "captured" : "on the console");
    SString output;
    PlatformImpl::executeProcess("pwd > where; cat where",
                                 scratch.path().c_str(), capture, &output,
                                 nullptr);
    FILE* file = fopen(scratch.file("where").c_str(), "r");
    ASSERT_NE(file, nullptr);
    char line[4096] = "";
    ASSERT_NE(fgets(line, sizeof line, file), nullptr);
    fclose(file);
    EXPECT_EQ(std::string(line), scratch.path() + "\n");
    EXPECT_EQ(str(output), capture ? scratch.path() + "\n" : "");
    remove(scratch.file("where").c_str());
  }
  // An empty directory keeps the launcher's own.
  SString output;
  PlatformImpl::executeProcess("pwd", "", true, &output, nullptr);
  EXPECT_EQ(str(output), str(PlatformImpl::getCurrentDirectory()) + "\n");
}

// The child must end without running the launcher's clean-up: the
// parent's registered temporary file survives, and the parent reports the
// failure.
TEST_F(ProcessTest, MissingWorkingDirectoryFailsInTheParent) {
  ScratchDir scratch;
  PlatformImpl::setSystemTempDir(scratch.path().c_str());
  std::string tempFile = str(PlatformImpl::createTempFile());
  std::string marker = scratch.file("ran");
  for (bool capture : {true, false}) {
    SCOPED_TRACE(capture ? "captured" : "on the console");
    SString output;
    SString errors;
    try {
      PlatformImpl::executeProcess(("touch " + marker).c_str(),
                                   scratch.file("missing").c_str(), capture,
                                   &output, &errors);
      ADD_FAILURE() << "no exception";
    } catch (const LauncherException& e) {
      EXPECT_EQ(
          str(e.getMessage()),
          std::string("Error setting working directory: ") + strerror(ENOENT));
    }
    EXPECT_TRUE(exists(tempFile));
    EXPECT_FALSE(exists(marker));
    EXPECT_EQ(str(output), "");
    EXPECT_EQ(str(errors), "");
  }
  // No child is left behind to be collected.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(ProcessTest, WithoutCaptureReturnsAfterTheCommandEnded) {
  ScratchDir scratch;
  std::string marker = scratch.file("finished");
  PlatformImpl::executeProcess(("sleep 0.2; touch " + marker).c_str(), "",
                               false, nullptr, nullptr);
  EXPECT_TRUE(exists(marker));
}

// Another child of the launcher, ending on its own, must be left for
// whoever started it.
TEST_F(ProcessTest, WaitsForItsOwnChildOnly) {
  pid_t other = fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    execl("/bin/sleep", "sleep", "2", static_cast<char*>(nullptr));
    _exit(1);
  }
  for (bool capture : {true, false}) {
    SString output;
    PlatformImpl::executeProcess("echo mine", "", capture, &output, nullptr);
    EXPECT_EQ(str(output), capture ? "mine\n" : "");
    EXPECT_EQ(waitpid(other, nullptr, WNOHANG), 0)
        << "the other child was taken";
  }
  kill(other, SIGTERM);
  EXPECT_EQ(waitpid(other, nullptr, 0), other);
}

TEST_F(ProcessTest, EachChunkReadMovesTheProgress) {
  g_enableOutput = false;
  SString output;
  PlatformImpl::executeProcess("head -c 20000 /dev/zero", "", true, &output,
                               nullptr);
  EXPECT_EQ(output.length(), 20000u);
  // At least five chunks of at most 4096 bytes, and the ends of both pipes.
  EXPECT_GE(PlatformImpl::getUIProgress(), 7);
}

// Ctrl-C at the terminal reaches the launcher while one of its own helpers
// runs (the helper has a process group of its own), and so does a kill.
// The launcher must pass it on, outlive the helper, so that the run ends
// through its clean-up, and report the run as canceled; a launcher
// started with the interrupt ignored lets the command run on.
struct InterruptCase {
  const char* name;
  bool capture;
  bool startIgnored;
  const char* command;
  bool expectCanceled;
  const char* expectedOutput;
};

// Runs in a child of the test, in a process group of its own, so that the
// interrupt reaches nothing else. Exit 0 when everything held.
[[noreturn]] void interruptScenario(const InterruptCase& c) {
  setpgid(0, 0);
  if (c.startIgnored) signal(SIGINT, SIG_IGN);
  RunSignals::install();
  bool canceled = false;
  SString output;
  try {
    PlatformImpl::executeProcess(c.command, "", c.capture, &output, nullptr);
  } catch (const LauncherException& e) {
    canceled = e.getMessage() == PlatformImpl::getMessageText(MSGID_CANCELED);
    if (!canceled) _exit(3);
  }
  if (canceled != c.expectCanceled) _exit(4);
  if (c.capture && str(output) != c.expectedOutput) _exit(5);
  // An ignored interrupt stays ignored.
  struct sigaction now;
  sigaction(SIGINT, nullptr, &now);
  if (c.startIgnored && now.sa_handler != SIG_IGN) _exit(6);
  _exit(0);
}

TEST_F(ProcessTest, InterruptEndsTheCommandNotTheLauncher) {
  g_enableOutput = false;
  // The command's own child interrupts the launcher while the command waits
  // for it; the sleep only bounds a broken run: the interrupt passed on
  // ends it.
  const InterruptCase cases[] = {
      {"captured", true, false,
       "sh -c 'kill -INT $1; exec sleep 60' sh $PPID; echo late", true, ""},
      {"on the console", false, false,
       "sh -c 'kill -INT $1; exec sleep 60' sh $PPID; echo late", true, ""},
      {"started with the interrupt ignored", true, true,
       "kill -INT $PPID; echo after", false, "after\n"},
  };
  for (const InterruptCase& c : cases) {
    SCOPED_TRACE(c.name);
    fflush(stdout);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) interruptScenario(c);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_FALSE(WIFSIGNALED(status))
        << "the launcher died of signal " << WTERMSIG(status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "exit status " << WEXITSTATUS(status);
  }
}

struct ReadCase {
  const char* name;
  size_t size;
  unsigned lastChunk;
  long steps;
};

TEST_F(ProcessTest, ReadFromFileReadsToTheEndInChunks) {
  g_enableOutput = false;
  const ReadCase cases[] = {
      {"empty", 0, 0, 1},
      {"one byte", 1, 1, 1},
      {"exactly one chunk", 4096, 0, 2},
      {"two and a bit", 10000, 1808, 3},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool keep : {true, false}) {
      FILE* file = tmpfile();
      std::string text(c.size, 'x');
      fwrite(text.data(), 1, text.size(), file);
      rewind(file);
      PlatformImpl::setUIProgress(0);
      SString target("a");
      EXPECT_EQ(readFromFile(file, keep ? &target : nullptr), c.lastChunk);
      fclose(file);
      EXPECT_EQ(str(target), keep ? "a" + text : "a");
      EXPECT_EQ(PlatformImpl::getUIProgress(), c.steps);
    }
  }
}

}  // namespace
