#include "core/LogHandler.h"

LogHandler g_logHandler = nullptr;

void logThroughHandler(const SString& text, int type) {
  if (g_logHandler) g_logHandler(text, type);
}
