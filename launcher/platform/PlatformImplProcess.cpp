// Child processes: one shell command line at a time, optionally with its
// standard output and standard error collected into strings.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/LauncherException.h"
#include "platform/PlatformImpl.h"

namespace {

const unsigned kChunkSize = 4096;
// Only consulted when the child has ended but something it started still
// holds the pipes open; output at the end of the child arrives at once.
const int kExitCheckMillis = 100;

// What the child tells the parent when it cannot run the command; the
// parent turns it into the exception, so the child never has to return
// into the launcher (whose clean-up would delete the parent's files).
enum ChildStage { kStageCapture = 1, kStageDirectory = 2 };
struct ChildFailure {
  int stage;
  int error;
};

// Ctrl-C and Ctrl-\ reach the command and the launcher alike, as the
// terminal signals its whole foreground group. While a command runs the
// launcher only takes note of them (as system() ignores them), so that it
// outlives the command and the run still ends through its clean-up. A
// launcher started with them ignored keeps ignoring them, and so does the
// command; exec gives the command the default handling otherwise.
volatile sig_atomic_t g_interrupted = 0;

extern "C" void noteInterrupt(int) { g_interrupted = 1; }

class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupted = 0;
    struct sigaction noting;
    memset(&noting, 0, sizeof noting);
    noting.sa_handler = noteInterrupt;
    sigemptyset(&noting.sa_mask);
    for (int i = 0; i < kCount; ++i) {
      m_installed[i] = sigaction(kSignals[i], nullptr, &m_saved[i]) == 0 &&
                       m_saved[i].sa_handler != SIG_IGN &&
                       sigaction(kSignals[i], &noting, nullptr) == 0;
    }
  }
  ~InterruptGuard() {
    for (int i = 0; i < kCount; ++i)
      if (m_installed[i]) sigaction(kSignals[i], &m_saved[i], nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  bool interrupted() const { return g_interrupted != 0; }

 private:
  static const int kCount = 2;
  static constexpr int kSignals[kCount] = {SIGINT, SIGQUIT};
  struct sigaction m_saved[kCount];
  bool m_installed[kCount];
};

constexpr int InterruptGuard::kSignals[];

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

[[noreturn]] void runChild(const char* command, const char* directory,
                           const int out[2], const int err[2], int statusFd) {
  if (out[1] >= 0) {
    if (dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0)
      reportAndExit(statusFd, kStageCapture);
  }
  if (directory && chdir(directory) != 0)
    reportAndExit(statusFd, kStageDirectory);
  execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
  // No shell: the command's own failure, which callers judge by its output.
  _exit(127);
}

// Waits for that one child, never for any other child of the launcher.
bool waitForChild(pid_t pid) {
  int status;
  for (;;) {
    if (waitpid(pid, &status, 0) == pid) return true;
    if (errno != EINTR) return false;
  }
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
void collect(pid_t pid, int outFd, int errFd, SString* output,
             SString* errors) {
  int fds[2] = {outFd, errFd};
  SString* targets[2] = {output, errors};
  bool childEnded = false;
  while (fds[0] >= 0 || fds[1] >= 0) {
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
      int status;
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
  if (!childEnded && !waitForChild(pid))
    fail("Error waiting for child process: ", errno);
}

}  // namespace

void PlatformImpl::executeProcess(const SString& command,
                                  const SString& workingDirectory, bool capture,
                                  SString* output, SString* errors) {
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
  InterruptGuard interrupts;
  int status[2];
  if (!makePipe(status)) {
    int error = errno;
    closePair(out);
    closePair(err);
    fail("Error forking new process: ", error);
  }

  // Everything the child needs is ready before the fork.
  const char* commandText = command.c_str();
  const char* directory =
      workingDirectory.empty() ? nullptr : workingDirectory.c_str();
  // What the launcher has printed so far comes before the child's output.
  fflush(stdout);
  fflush(stderr);

  pid_t pid = fork();
  if (pid < 0) {
    int error = errno;
    closePair(out);
    closePair(err);
    closePair(status);
    fail("Error forking new process: ", error);
  }
  if (pid == 0) runChild(commandText, directory, out, err, status[1]);

  closeQuietly(status[1]);
  closeQuietly(out[1]);
  closeQuietly(err[1]);
  ChildFailure failure = {0, 0};
  bool started = childStarted(status[0], failure);
  closeQuietly(status[0]);
  if (!started) {
    closeQuietly(out[0]);
    closeQuietly(err[0]);
    waitForChild(pid);
    fail(failure.stage == kStageCapture
             ? "Error capturing stdout or stderr in new process: "
             : "Error setting working directory: ",
         failure.error);
  }

  if (capture) {
    collect(pid, out[0], err[0], output, errors);
  } else if (!waitForChild(pid)) {
    fail("Error waiting for child process: ", errno);
  }
  if (interrupts.interrupted()) {
    PlatformImpl::setCanceled(true);
    throw LauncherException(getMessageText(MSGID_CANCELED));
  }
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
