// The library's one lock: a System V semaphore set of one semaphore, shared by
// every process that loads the library, so that only one operation at a time
// uses the request buffer, the current adapter and the adapter table. The
// value is 0 while free and 1 while held; the lock is not re-entrant.
#ifndef HVAPI_CORE_SEMAPHORE_LOCK_H
#define HVAPI_CORE_SEMAPHORE_LOCK_H

#include <sys/sem.h>
#include <sys/types.h>

#include "hvapi.h"

extern "C" {

// Identifier of the set; -1 until Sem_Init. The set is used whenever the
// identifier is 0 or more (the system may hand out 0).
HVAPI_EXPORT extern int giSemId;
HVAPI_EXPORT extern int giNoOfSems;  // semaphores in the set: 1
// The two entries of a take (wait for 0, then raise to 1, undone at exit).
// Shown for inspection only: the calls use their own copies, so threads that
// take and release at once never see each other's entries.
HVAPI_EXPORT extern struct sembuf *pstSemBuf;

// Creates the set (owner read and write only) or opens the existing one and
// stores its identifier. Returns 0; on failure prints "semget() failed" with
// the system's reason and returns -1, which InitLib answers as -11. The
// process is never ended.
HVAPI_EXPORT int Sem_Init(void);

// Takes the lock, blocking the calling thread until it is free; a take that a
// signal interrupts is retried. The kernel gives the lock back if the process
// ends while holding it. Returns 0; on failure prints "semop failed" with the
// reason and returns -1, and the caller goes on without the lock. Does nothing
// before Sem_Init.
HVAPI_EXPORT int Sem_Wait(void);

// Releases the lock. Returns 0; on failure prints "semop 2 failed" with the
// reason and returns -1. Does nothing before Sem_Init.
HVAPI_EXPORT int Sem_Post(void);

// Leaves the set in the system, so a later InitLib in any process finds it.
HVAPI_EXPORT int Sem_Kill(void);

}  // extern "C"

// The key every instance of the library uses.
constexpr key_t kSemKey = 0x48564150;  // "HVAP"

// Tests only: makes the following Sem_Init use another key, so that a test
// has a set of its own. Not part of the library's dynamic interface.
void SemUseKeyForTesting(key_t key);

#endif  // HVAPI_CORE_SEMAPHORE_LOCK_H
