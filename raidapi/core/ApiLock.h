// Holds the library's lock for the life of an exported operation, so that
// every return path releases it.
#ifndef HVAPI_CORE_API_LOCK_H
#define HVAPI_CORE_API_LOCK_H

#include "core/SemaphoreLock.h"

class ApiLock {
 public:
  ApiLock() { Sem_Wait(); }
  ~ApiLock() { Sem_Post(); }
  ApiLock(const ApiLock &) = delete;
  ApiLock &operator=(const ApiLock &) = delete;
};

#endif  // HVAPI_CORE_API_LOCK_H
