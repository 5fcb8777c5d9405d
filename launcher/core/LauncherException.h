#ifndef LAUNCHER_CORE_LAUNCHEREXCEPTION_H
#define LAUNCHER_CORE_LAUNCHEREXCEPTION_H

#include "core/SString.h"

// A failure to be shown to the user and logged; it carries the finished
// message.
class LauncherException {
 public:
  explicit LauncherException(const SString& message) : m_message(message) {}
  explicit LauncherException(const char* message) : m_message(message) {}
  virtual ~LauncherException();

  const SString& getMessage() const { return m_message; }

 private:
  SString m_message;
};

#endif
