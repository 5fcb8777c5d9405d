// Where the launcher's own file lies, as an absolute path: the payload is
// read from it and side files are looked for beside it.
#ifndef LAUNCHER_DRIVER_LAUNCHERFILE_H_
#define LAUNCHER_DRIVER_LAUNCHERFILE_H_

#include "core/SString.h"

// The absolute path of the program started as programName (argv[0]): the
// name itself when absolute; for a bare name found through PATH, where the
// shell found it; otherwise the name relative to the current directory.
// Symbolic links on the way are resolved: the result is the real file.
SString locateLauncherFile(const SString& programName);

#endif  // LAUNCHER_DRIVER_LAUNCHERFILE_H_
