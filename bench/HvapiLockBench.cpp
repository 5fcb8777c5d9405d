// The library's lock taken and released with nobody else wanting it: the
// System V semaphore that serialises every operation across processes,
// beside a process-local mutex for scale.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <unistd.h>

#include "core/ApiLock.h"
#include "core/SemaphoreLock.h"

namespace {

// A set of the benchmark's own, never the one library users share.
bool ownSemaphore() {
  SemUseKeyForTesting(static_cast<key_t>(0x484C0000 + (getpid() & 0xFFFF)));
  return Sem_Init() == 0;
}

// The library leaves its set in the system for the next user; the
// benchmark's own goes.
void removeOwnSemaphore() {
  if (giSemId >= 0) semctl(giSemId, 0, IPC_RMID);
  giSemId = -1;
}

void BM_SemaphoreWaitPost(benchmark::State& state) {
  if (!ownSemaphore()) {
    state.SkipWithError("Sem_Init failed");
    return;
  }
  for (auto _ : state) {
    Sem_Wait();
    Sem_Post();
  }
  removeOwnSemaphore();
}
BENCHMARK(BM_SemaphoreWaitPost);

// The scope guard every exported operation holds.
void BM_ApiLockScope(benchmark::State& state) {
  if (!ownSemaphore()) {
    state.SkipWithError("Sem_Init failed");
    return;
  }
  for (auto _ : state) {
    ApiLock lock;
    benchmark::ClobberMemory();
  }
  removeOwnSemaphore();
}
BENCHMARK(BM_ApiLockScope);

void BM_MutexLockUnlock(benchmark::State& state) {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  for (auto _ : state) {
    pthread_mutex_lock(&mutex);
    benchmark::ClobberMemory();
    pthread_mutex_unlock(&mutex);
  }
}
BENCHMARK(BM_MutexLockUnlock);

}  // namespace
