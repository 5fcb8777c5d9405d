// The signals that end a run and the ones meant for the program the
// launcher runs. SIGINT, SIGTERM and SIGHUP end the run: the first one is
// remembered so that the launcher can stop its work, remove its files and
// exit with 128 + its number. While a child runs, these and SIGQUIT are
// passed on to the child's process group, so that the application gets
// them as it would when started directly. SIGPIPE only makes the write
// fail, so that a reader who went away never cuts the clean-up short, and
// so does SIGXFSZ, so that a file-size limit reads as a full disk.
#ifndef LAUNCHER_PLATFORM_RUNSIGNALS_H_
#define LAUNCHER_PLATFORM_RUNSIGNALS_H_

#include <sys/types.h>

class RunSignals {
 public:
  // Installs the handlers, once, at the start of the run. A signal that
  // was ignored when the launcher started stays ignored (as a shell
  // expects of a program it started in the background), and so it does
  // for the children.
  static void install();
  // The first signal that ends the run received so far; 0 for none.
  static int received();
  // Where the signals go on to: the process group of the running child,
  // 0 while none runs. A signal received before the child's group was
  // known is passed on when it is set.
  static void setChildGroup(pid_t group);
  // Forgets a received signal (for tests that run several scenarios).
  static void reset();
};

#endif  // LAUNCHER_PLATFORM_RUNSIGNALS_H_
