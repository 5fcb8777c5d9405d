// A stand-in application for the tests of signals and exit statuses.
//   signal-probe wait      says "ready <pid>" on standard output, notes each
//                          SIGQUIT with a line "quit" (as a JVM prints its
//                          thread dump) and otherwise waits for a signal to
//                          end it the default way
//   signal-probe exit N    ends at once with status N
//   signal-probe kill N    ends at once by signal N
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void say(const char* text) {
  ssize_t written = write(1, text, strlen(text));
  (void)written;
}

extern "C" void onQuit(int) { say("quit\n"); }

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "exit") == 0) return atoi(argv[2]);
  if (argc >= 3 && strcmp(argv[1], "kill") == 0) {
    int number = atoi(argv[2]);
    signal(number, SIG_DFL);
    raise(number);
    return 99;
  }
  struct sigaction quit;
  memset(&quit, 0, sizeof quit);
  quit.sa_handler = onQuit;
  sigemptyset(&quit.sa_mask);
  sigaction(SIGQUIT, &quit, nullptr);
  char ready[64];
  snprintf(ready, sizeof ready, "ready %ld\n", static_cast<long>(getpid()));
  say(ready);
  for (;;) pause();
}
