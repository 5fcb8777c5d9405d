#include "core/SemaphoreLock.h"

#include <cerrno>
#include <cstdio>

namespace {

constexpr short kUndo = SEM_UNDO;
constexpr short kNoWait = IPC_NOWAIT;

// Wait until the value is 0 and raise it to 1, in one atomic step. The raise
// is undone by the kernel if the process ends while holding the lock.
constexpr struct sembuf kTake[2] = {
    {0, 0, kUndo},
    {0, 1, kUndo | kNoWait},
};
constexpr struct sembuf kRelease = {0, -1, kUndo | kNoWait};

struct sembuf gTakeShown[2] = {kTake[0], kTake[1]};
key_t gKey = kSemKey;

bool LockInUse() { return giSemId >= 0; }

// Retries the operation while a signal interrupts it.
int Operate(const struct sembuf *ops, size_t count) {
  struct sembuf copy[2];
  for (size_t i = 0; i < count; ++i) copy[i] = ops[i];
  int rc;
  do {
    rc = semop(giSemId, copy, count);
  } while (rc == -1 && errno == EINTR);
  return rc;
}

}  // namespace

extern "C" {

HVAPI_EXPORT int giSemId = -1;
HVAPI_EXPORT int giNoOfSems = 1;
HVAPI_EXPORT struct sembuf *pstSemBuf = gTakeShown;

HVAPI_EXPORT int Sem_Init(void) {
  const int id = semget(gKey, giNoOfSems, IPC_CREAT | 0600);
  if (id < 0) {
    std::perror("semget() failed");
    return -1;
  }
  giSemId = id;
  return 0;
}

HVAPI_EXPORT int Sem_Wait(void) {
  if (!LockInUse()) return 0;
  if (Operate(kTake, 2) != 0) {
    std::perror("semop failed");
    return -1;
  }
  return 0;
}

HVAPI_EXPORT int Sem_Post(void) {
  if (!LockInUse()) return 0;
  if (Operate(&kRelease, 1) != 0) {
    std::perror("semop 2 failed");
    return -1;
  }
  return 0;
}

HVAPI_EXPORT int Sem_Kill(void) { return 0; }

}  // extern "C"

void SemUseKeyForTesting(key_t key) { gKey = key; }
