// Holds the library's lock for the life of an exported operation, so that
// every return path releases it. A take that failed is not released: raising
// the semaphore then would free the lock of whoever really holds it.
#ifndef HVAPI_CORE_API_LOCK_H
#define HVAPI_CORE_API_LOCK_H

#include "core/SemaphoreLock.h"

class ApiLock {
 public:
  ApiLock() : held_(Sem_Wait() == 0) {}
  ~ApiLock() {
    if (held_) Sem_Post();
  }
  ApiLock(const ApiLock &) = delete;
  ApiLock &operator=(const ApiLock &) = delete;

 private:
  bool held_;
};

#endif  // HVAPI_CORE_API_LOCK_H
