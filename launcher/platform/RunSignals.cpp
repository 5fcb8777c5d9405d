#include "platform/RunSignals.h"

#include <signal.h>

#include <cerrno>
#include <cstring>

namespace {

volatile sig_atomic_t g_received = 0;
volatile sig_atomic_t g_childGroup = 0;

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onSignal(int signal) {
  int savedErrno = errno;
  bool ends = signal != SIGQUIT && signal != SIGPIPE;
  if (ends && g_received == 0) g_received = signal;
  pid_t group = static_cast<pid_t>(g_childGroup);
  if (group > 0 && signal != SIGPIPE) kill(-group, signal);
  errno = savedErrno;
}

// Past the file-size limit a write fails with EFBIG once this signal is
// caught; by default it would kill the launcher before it could report
// the full disk and remove its files. A handler (not SIG_IGN) so that the
// programs the launcher starts get the default action again.
extern "C" void onFileSizeLimit(int) {}

void handle(int signal, void (*handler)(int) = onSignal) {
  struct sigaction current;
  if (sigaction(signal, nullptr, &current) != 0) return;
  if (current.sa_handler == SIG_IGN) return;
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // Blocking waits and reads go on after the handler; the loops around
  // them look at received() themselves.
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, nullptr);
}

}  // namespace

void RunSignals::install() {
  for (int signal : kEndingSignals) handle(signal);
  handle(SIGQUIT);
  handle(SIGPIPE);
  handle(SIGXFSZ, onFileSizeLimit);
}

int RunSignals::received() { return g_received; }

void RunSignals::setChildGroup(pid_t group) {
  g_childGroup = static_cast<sig_atomic_t>(group);
  int pending = g_received;
  if (group > 0 && pending != 0) kill(-group, pending);
}

void RunSignals::reset() { g_received = 0; }
