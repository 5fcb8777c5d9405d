// The states that the console user interface can announce: the main status
// lines of a run and the finer sub-status of a long step.
#ifndef LAUNCHER_PLATFORM_UISTATUS_H_
#define LAUNCHER_PLATFORM_UISTATUS_H_

enum UIStatus {
  UI_STATUS_INITIALIZING = 0,   // "Initializing <title>..."
  UI_STATUS_SEARCHING = 1,      // searching for a JVM
  UI_STATUS_LAUNCH_FAILED = 2,  // no JVM found, the title could not be launched
  UI_STATUS_RUNNING = 3,        // "Running <title>..."
  UI_STATUS_PREPARING = 4,      // preparing the JVM
};

enum UISubStatus {
  UI_SUBSTATUS_NONE = 0,
  UI_SUBSTATUS_SEARCHING_FOR = 1,  // "Searching for <text>"
  UI_SUBSTATUS_SCANNING = 2,       // scanning the disks for a JVM
  UI_SUBSTATUS_VERIFYING = 3,      // "Verifying <text>"
};

#endif  // LAUNCHER_PLATFORM_UISTATUS_H_
