// Holds the library's lock for the life of an exported operation, so that
// every return path releases it. A take that failed is not released: raising
// the semaphore then would free the lock of whoever really holds it.
//
// An operation tests that the library is started before it waits for the
// lock and again once it has it (LibraryStarted): another thread may have
// stopped the library meanwhile, and the table it left is empty.
#ifndef HVAPI_CORE_API_LOCK_H
#define HVAPI_CORE_API_LOCK_H

#include "core/SemaphoreLock.h"
#include "hvapi.h"

class ApiLock {
 public:
  ApiLock() : held_(Sem_Wait() == 0) {}
  ~ApiLock() {
    if (held_) Sem_Post();
  }
  ApiLock(const ApiLock &) = delete;
  ApiLock &operator=(const ApiLock &) = delete;

  bool LibraryStarted() const { return IsApiInitialized() == 1; }

 private:
  bool held_;
};

#endif  // HVAPI_CORE_API_LOCK_H
