#ifndef LAUNCHER_CORE_LOGHANDLER_H
#define LAUNCHER_CORE_LOGHANDLER_H

#include "core/SString.h"

// Lets code below the driver write to the launcher log without depending
// on it: the driver installs its log function at start-up. Types are those
// of the log: 0 information, 1 warning, 2 error.
typedef void (*LogHandler)(const SString& text, int type);

// Null (the default) drops entries.
extern LogHandler g_logHandler;

void logThroughHandler(const SString& text, int type);

#endif
