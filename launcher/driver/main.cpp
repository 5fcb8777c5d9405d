// The launcher program: runs the command line and exits with the status
// of the run (Launcher::process).
#include <clocale>

#include "core/StringDeque.h"
#include "driver/Launcher.h"
#include "driver/LauncherFile.h"
#include "jvm/LaunchEnvironment.h"
#include "platform/PlatformImpl.h"
#include "platform/RunSignals.h"

int main(int argc, char** argv) {
  // Titles are converted in the character set the user's environment names.
  setlocale(LC_CTYPE, "");
  RunSignals::install();
  try {
    LaunchEnvironment::rememberCallerDirectory();
    StringDeque args;
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    SString launcherFile = locateLauncherFile(argc > 0 ? argv[0] : "");
    Launcher launcher;
    return Launcher::process(args, launcherFile);
  } catch (...) {
    // Only running out of memory before the run started can land here.
    PlatformImpl::showUIMessage(
        "Internal error: the launcher could not start.");
    PlatformImpl::cleanup();
    return 1;
  }
}
