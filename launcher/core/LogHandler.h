#ifndef LAUNCHER_CORE_LOGHANDLER_H
#define LAUNCHER_CORE_LOGHANDLER_H

#include "core/SString.h"

// The kinds of log entries, each with the prefix of its lines. Any int is a
// value of the type; a kind outside the list gets no prefix.
enum LogMessageType : int {
  LOG_INFORMATION = 0,  // no prefix
  LOG_WARNING = 1,      // "WARNING: "
  LOG_ERROR = 2,        // "ERROR: "
};

// Lets code below the driver write to the launcher log without depending
// on it: the driver installs its log function at start-up. Types are
// LogMessageType values.
typedef void (*LogHandler)(const SString& text, int type);

// Null (the default) drops entries.
extern LogHandler g_logHandler;

void logThroughHandler(const SString& text, int type);

#endif
