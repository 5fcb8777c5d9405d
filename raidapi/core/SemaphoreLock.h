// The library's one lock: a System V semaphore set of one semaphore, shared by
// every process that loads the library, so that only one operation at a time
// uses the request buffer, the current adapter and the adapter table. The
// value is 0 while free and 1 while held; the lock is not re-entrant.
#ifndef HVAPI_CORE_SEMAPHORE_LOCK_H
#define HVAPI_CORE_SEMAPHORE_LOCK_H

#include <sys/sem.h>
#include <sys/types.h>

#include "hvapi.h"
#include "hvapi_lowlevel.h"

// The key every instance of the library uses.
constexpr key_t kSemKey = 0x48564150;  // "HVAP"

// Tests only: makes the following Sem_Init use another key, so that a test
// has a set of its own. Not part of the library's dynamic interface.
void SemUseKeyForTesting(key_t key);

#endif  // HVAPI_CORE_SEMAPHORE_LOCK_H
