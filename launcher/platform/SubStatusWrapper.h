// Scope guard for the console sub-status: whatever a step sets inside the
// scope, the sub-status in force when the scope began is restored at its end.
#ifndef LAUNCHER_PLATFORM_SUBSTATUSWRAPPER_H_
#define LAUNCHER_PLATFORM_SUBSTATUSWRAPPER_H_

#include "core/SString.h"
#include "platform/UIStatus.h"

class SubStatusWrapper {
 public:
  SubStatusWrapper();
  ~SubStatusWrapper();

 private:
  SubStatusWrapper(const SubStatusWrapper&) = delete;
  SubStatusWrapper& operator=(const SubStatusWrapper&) = delete;

  SString m_subStatusData;
  UISubStatus m_subStatus;
};

#endif  // LAUNCHER_PLATFORM_SUBSTATUSWRAPPER_H_
