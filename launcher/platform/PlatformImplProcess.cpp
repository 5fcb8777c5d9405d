// Child processes: one shell command line at a time, optionally with its
// standard output and standard error collected into strings.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/ScopedFile.h"
#include "platform/PlatformImpl.h"
#include "platform/RunSignals.h"

namespace {

const unsigned kChunkSize = 4096;
// Only consulted when the child has ended but something it started still
// holds the pipes open; output at the end of the child arrives at once.
const int kExitCheckMillis = 100;
// How long a helper of the launcher's own (the verification JVM, an
// installer) may take to end after the signal that ends the run was
// passed on to it; then it is killed, so that a JVM that hangs, or that
// ignores the signal, cannot keep the launcher from ending.
const long kHelperGraceMillis = 3000;
// How often a wait for a helper looks at the signals received meanwhile.
const int kSignalCheckMillis = 100;

// What the child tells the parent when it cannot run the command; the
// parent turns it into the exception, so the child never has to return
// into the launcher (whose clean-up would delete the parent's files).
enum ChildStage { kStageCapture = 1, kStageDirectory = 2, kStageExec = 3 };
struct ChildFailure {
  int stage;
  int error;
};

// The shell between the launcher and the program outlives the signals
// meant for the program: it waits for the program, then ends as the
// program did (an "exit" in a trap keeps the status of the command before
// it), and after SIGQUIT (a thread dump) it simply goes on. The program
// itself starts with the default handling, as traps are not inherited.
//
// Linux takes no single argument longer than 128 KiB, but the whole
// argument list up to its own limit: the command reaches the shell in
// pieces below that size, which the shell joins and runs as it would run
// the command given to "sh -c". Its variables are not exported.
const char kShellScript[] =
    "trap exit INT TERM HUP; trap : QUIT\n"
    "launcher_command=; for launcher_piece do "
    "launcher_command=$launcher_command$launcher_piece; done; "
    "unset launcher_piece; set --; eval \"$launcher_command\"";
const SString::size_type kPieceSize = 65536;

// The exit status a shell reports for a child: its own status, or 128 +
// the signal that ended it.
int exitStatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return 255;
}

// Whether another process shares the launcher's process group, as the
// other commands of a pipeline do ("app | less").
bool groupHasOthers() {
  DIR* proc = opendir("/proc");
  if (!proc) return false;
  const pid_t self = getpid();
  const pid_t group = getpgrp();
  bool others = false;
  while (dirent* entry = readdir(proc)) {
    char* end = nullptr;
    long pid = strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == self) continue;
    char path[64];
    snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    ScopedFile stat(fopen(path, "r"));
    if (!stat.get()) continue;
    char line[1024];
    bool read = fgets(line, sizeof line, stat.get()) != nullptr;
    stat.close();
    // "pid (name) state ppid pgrp ...": the name may hold anything but
    // ends at the last parenthesis.
    const char* close = read ? strrchr(line, ')') : nullptr;
    char state;
    long parent, pgrp;
    if (close &&
        sscanf(close + 1, " %c %ld %ld", &state, &parent, &pgrp) == 3 &&
        pgrp == group) {
      others = true;
      break;
    }
  }
  closedir(proc);
  return others;
}

// The launcher's terminal when the launcher is in its foreground: the
// descriptor to hand the foreground over with, -1 otherwise. In a
// pipeline the terminal stays with the whole pipeline (a pager reads the
// keys); the launcher passes the keys' signals on.
int foregroundTerminal() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (isatty(fd) && tcgetpgrp(fd) == getpgrp())
      return groupHasOthers() ? -1 : fd;
  }
  return -1;
}

// Makes group the terminal's foreground group. A caller outside the
// foreground would be stopped by SIGTTOU unless it is blocked meanwhile.
void giveTerminalTo(int terminal, pid_t group) {
  if (terminal < 0) return;
  sigset_t ttou, saved;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  sigprocmask(SIG_BLOCK, &ttou, &saved);
  tcsetpgrp(terminal, group);
  sigprocmask(SIG_SETMASK, &saved, nullptr);
}

[[noreturn]] void fail(const char* what, int error) {
  throw LauncherException(SString(what) + strerror(error));
}

int closeQuietly(int fd) {
  if (fd < 0) return 0;
  int result;
  do {
    result = close(fd);
  } while (result != 0 && errno == EINTR);
  return result;
}

void closePair(int fds[2]) {
  closeQuietly(fds[0]);
  closeQuietly(fds[1]);
  fds[0] = fds[1] = -1;
}

// A pipe whose ends lie above the standard descriptors (so that the child
// can move them onto 1 and 2 in any order) and are closed on exec (so that
// no other child inherits them). errno is set when it fails.
bool makePipe(int fds[2]) {
  int raw[2];
  fds[0] = fds[1] = -1;
  if (pipe(raw) != 0) return false;
  for (int i = 0; i < 2; ++i) {
    fds[i] = fcntl(raw[i], F_DUPFD_CLOEXEC, 3);
    if (fds[i] < 0) {
      int error = errno;
      closeQuietly(raw[0]);
      closeQuietly(raw[1]);
      closeQuietly(fds[0]);
      fds[0] = fds[1] = -1;
      errno = error;
      return false;
    }
  }
  closeQuietly(raw[0]);
  closeQuietly(raw[1]);
  return true;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void reportAndExit(int statusFd, int stage) {
  ChildFailure failure = {stage, errno};
  ssize_t written = write(statusFd, &failure, sizeof failure);
  (void)written;
  _exit(255);
}

[[noreturn]] void runChild(char* const* argv, const char* directory,
                           const int out[2], const int err[2], int statusFd,
                           int terminal) {
  // A process group of its own, so that signals passed on reach the
  // program and whatever it started, and nothing of the launcher's.
  setpgid(0, 0);
  giveTerminalTo(terminal, getpid());
  if (out[1] >= 0) {
    if (dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0)
      reportAndExit(statusFd, kStageCapture);
  }
  if (directory && chdir(directory) != 0)
    reportAndExit(statusFd, kStageDirectory);
  execv("/bin/sh", argv);
  reportAndExit(statusFd, kStageExec);
}

// The shell's argument list for command: "sh -c" the joining script, then
// the command in pieces, each ended by a NUL in one buffer.
class ShellArguments {
 public:
  explicit ShellArguments(const SString& command) {
    SString::size_type length = command.length();
    SString::size_type pieces = (length + kPieceSize - 1) / kPieceSize;
    m_buffer = new char[length + pieces + 1];
    m_argv = new char*[pieces + 5];
    int n = 0;
    m_argv[n++] = const_cast<char*>("sh");
    m_argv[n++] = const_cast<char*>("-c");
    m_argv[n++] = const_cast<char*>(kShellScript);
    m_argv[n++] = const_cast<char*>("sh");
    char* at = m_buffer;
    for (SString::size_type from = 0; from < length; from += kPieceSize) {
      SString::size_type size =
          length - from < kPieceSize ? length - from : kPieceSize;
      command.copy(at, size, from);
      at[size] = '\0';
      m_argv[n++] = at;
      at += size + 1;
    }
    m_argv[n] = nullptr;
  }
  ~ShellArguments() {
    delete[] m_argv;
    delete[] m_buffer;
  }
  char* const* argv() const { return m_argv; }

 private:
  ShellArguments(const ShellArguments&) = delete;
  ShellArguments& operator=(const ShellArguments&) = delete;

  char* m_buffer;
  char** m_argv;
};

// Waits for that one child, never for any other child of the launcher.
bool waitForChild(pid_t pid, int& status) {
  for (;;) {
    if (waitpid(pid, &status, 0) == pid) return true;
    if (errno != EINTR) return false;
  }
}

long monotonicMillis() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Ends a helper that outlives the run: once the run is ending, the
// helper's process group gets SIGKILL when the grace period is over.
class HelperDeadline {
 public:
  explicit HelperDeadline(pid_t group) : m_group(group), m_since(-1) {}
  void check() {
    if (m_group <= 0 || RunSignals::received() == 0) return;
    long now = monotonicMillis();
    if (m_since < 0) m_since = now;
    if (now - m_since >= kHelperGraceMillis) {
      kill(-m_group, SIGKILL);
      m_group = 0;
    }
  }

 private:
  pid_t m_group;
  long m_since;
};

// Waits for a helper whose output is not captured: like waitForChild, but
// woken by the child's end (SIGCHLD, held pending meanwhile) or, now and
// then, to look at the signals that end the run.
bool waitForHelper(pid_t pid, int& status) {
  sigset_t childSignal, saved;
  sigemptyset(&childSignal);
  sigaddset(&childSignal, SIGCHLD);
  sigprocmask(SIG_BLOCK, &childSignal, &saved);
  HelperDeadline deadline(pid);
  bool waited = false;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      waited = true;
      break;
    }
    if (done < 0 && errno != EINTR) break;
    deadline.check();
    struct timespec pause = {0, kSignalCheckMillis * 1000000L};
    sigtimedwait(&childSignal, nullptr, &pause);
  }
  int error = errno;
  sigprocmask(SIG_SETMASK, &saved, nullptr);
  errno = error;
  return waited;
}

// The parent's view of the child's start: true once the shell runs (the
// status pipe closed on exec), false with failure filled in otherwise.
bool childStarted(int statusFd, ChildFailure& failure) {
  char* into = reinterpret_cast<char*>(&failure);
  size_t got = 0;
  while (got < sizeof failure) {
    ssize_t n = read(statusFd, into + got, sizeof failure - got);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  return got < sizeof failure;
}

// Room for one more chunk without reallocating the buffer for each chunk.
void makeRoom(SString& target, unsigned more) {
  SString::size_type needed = target.length() + more;
  if (target.capacity() >= needed) return;
  SString::size_type doubled = target.capacity() * 2;
  target.reserve(doubled > needed ? doubled : needed);
}

// One read from a capture pipe that poll found ready; false once the pipe
// has no more to give (its end, or an error other than an interruption).
bool readChunk(int fd, SString* target) {
  char buffer[kChunkSize];
  ssize_t n = read(fd, buffer, sizeof buffer);
  if (n < 0) return errno == EINTR;
  PlatformImpl::advanceUIProgress(1);
  if (n == 0) return false;
  if (target) {
    makeRoom(*target, static_cast<unsigned>(n));
    target->append(buffer, static_cast<SString::size_type>(n));
  }
  return true;
}

// Reads both pipes as data arrives, so a child that fills one of them
// while the other is still open never stalls, and returns once the child
// has ended and both pipes are drained.
void collect(pid_t pid, int outFd, int errFd, SString* output, SString* errors,
             int& status, bool helper) {
  int fds[2] = {outFd, errFd};
  SString* targets[2] = {output, errors};
  bool childEnded = false;
  HelperDeadline deadline(helper ? pid : 0);
  while (fds[0] >= 0 || fds[1] >= 0) {
    if (!childEnded) deadline.check();
    struct pollfd polled[2];
    nfds_t count = 0;
    int which[2];
    for (int i = 0; i < 2; ++i) {
      if (fds[i] < 0) continue;
      polled[count].fd = fds[i];
      polled[count].events = POLLIN;
      polled[count].revents = 0;
      which[count++] = i;
    }
    int ready = poll(polled, count, childEnded ? 0 : kExitCheckMillis);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) {
      // Nothing arrived for a while: either the child still works, or it
      // has ended and something it started keeps the pipes open. In the
      // second case what the child wrote has been read; do not wait for
      // the rest.
      if (childEnded) break;
      pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid || (done < 0 && errno != EINTR)) childEnded = true;
      continue;
    }
    for (nfds_t k = 0; k < count; ++k) {
      if (polled[k].revents == 0) continue;
      int i = which[k];
      if (!readChunk(fds[i], targets[i])) {
        closeQuietly(fds[i]);
        fds[i] = -1;
      }
    }
  }
  for (int i = 0; i < 2; ++i) closeQuietly(fds[i]);
  // A child that closed its output may still go on.
  if (!childEnded &&
      !(helper ? waitForHelper(pid, status) : waitForChild(pid, status)))
    fail("Error waiting for child process: ", errno);
}

}  // namespace

int PlatformImpl::executeProcess(const SString& command,
                                 const SString& workingDirectory, bool capture,
                                 SString* output, SString* errors,
                                 bool foreground) {
  // A run that is ending starts nothing more.
  if (RunSignals::received()) {
    setCanceled(true);
    throw LauncherException(getMessageText(MSGID_CANCELED));
  }
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (capture) {
    if (!makePipe(out) || !makePipe(err)) {
      int error = errno;
      closePair(out);
      closePair(err);
      fail("Couldn't create either stdout or stderr pipe: ", error);
    }
  }
  int status[2];
  if (!makePipe(status)) {
    int error = errno;
    closePair(out);
    closePair(err);
    fail("Error forking new process: ", error);
  }

  // Everything the child needs is ready before the fork.
  ShellArguments arguments(command);
  const char* directory =
      workingDirectory.empty() ? nullptr : workingDirectory.c_str();
  // The application reads the keyboard and gets Ctrl-C and Ctrl-\ as it
  // would when started directly; the launcher's own helpers do not, so
  // that those keys reach the launcher, which ends them and its run.
  int terminal = foreground ? foregroundTerminal() : -1;
  // What the launcher has printed so far comes before the child's output.
  fflush(stdout);
  fflush(stderr);

  // A signal passed on to the child that arrives before the launcher knows
  // the child's group would be lost (a thread-dump request, which ends
  // nothing, is not kept for later): the signals wait, blocked, until the
  // group is set. The child takes the launcher's mask back before exec.
  sigset_t passedOn, saved;
  sigemptyset(&passedOn);
  const int passedOnSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  for (int signal : passedOnSignals) sigaddset(&passedOn, signal);
  sigprocmask(SIG_BLOCK, &passedOn, &saved);
  pid_t pid = fork();
  if (pid < 0) {
    int error = errno;
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    closePair(out);
    closePair(err);
    closePair(status);
    fail("Error forking new process: ", error);
  }
  if (pid == 0) {
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    runChild(arguments.argv(), directory, out, err, status[1], terminal);
  }

  // Set on both sides, so that it holds whichever runs first.
  setpgid(pid, pid);
  giveTerminalTo(terminal, pid);
  RunSignals::setChildGroup(pid);
  sigprocmask(SIG_SETMASK, &saved, nullptr);
  closeQuietly(status[1]);
  closeQuietly(out[1]);
  closeQuietly(err[1]);
  ChildFailure failure = {0, 0};
  bool started = childStarted(status[0], failure);
  closeQuietly(status[0]);
  int waitStatus = 0;
  if (!started) {
    closeQuietly(out[0]);
    closeQuietly(err[0]);
    waitForChild(pid, waitStatus);
    RunSignals::setChildGroup(0);
    giveTerminalTo(terminal, getpgrp());
    if (failure.stage == kStageExec) {
      // Not a failure of the launcher's: the command's, told as a shell
      // tells it (126 cannot run, 127 not found).
      SString text = SString("The command could not be started: ") +
                     strerror(failure.error);
      showUIMessage(text);
      logThroughHandler(text, LOG_ERROR);
      return failure.error == ENOENT ? 127 : 126;
    }
    fail(failure.stage == kStageCapture
             ? "Error capturing stdout or stderr in new process: "
             : "Error setting working directory: ",
         failure.error);
  }

  bool waited = true;
  if (capture)
    collect(pid, out[0], err[0], output, errors, waitStatus, !foreground);
  else if (foreground)
    waited = waitForChild(pid, waitStatus);
  else
    waited = waitForHelper(pid, waitStatus);
  int error = errno;
  RunSignals::setChildGroup(0);
  giveTerminalTo(terminal, getpgrp());
  if (!waited) fail("Error waiting for child process: ", error);
  // The application's end is the run's to judge; a helper of the
  // launcher's own work that was interrupted cancels the run.
  if (!foreground && RunSignals::received()) {
    setCanceled(true);
    throw LauncherException(getMessageText(MSGID_CANCELED));
  }
  return exitStatusOf(waitStatus);
}

unsigned readFromFile(FILE* stream, SString* target) {
  char buffer[kChunkSize];
  unsigned last = 0;
  while (!feof(stream) && !ferror(stream)) {
    size_t n = fread(buffer, 1, sizeof buffer, stream);
    last = static_cast<unsigned>(n);
    if (target && n > 0) {
      makeRoom(*target, last);
      target->append(buffer, static_cast<SString::size_type>(n));
    }
    PlatformImpl::advanceUIProgress(1);
  }
  return last;
}
