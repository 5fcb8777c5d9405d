// What libhvapi adds to its adapter commands: GetRebuildRate through the
// library (lock, validation, request buffer, answer) against the same
// requests sent straight to the simulated driver with ioctl (the library
// asks whether a reconstruction runs, 0x61, then reads the rate, 0x23).
// The difference of the two is the library's time beyond the simulator's
// answers. Run with the simulator preloaded (make bench does):
//   LD_PRELOAD=.../libhalvsim.so HALVSIM_STATE=... hvapi_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "core/DriverRecords.h"
#include "core/SemaphoreLock.h"
#include "hvapi.h"

namespace {

const UChar kAdapter = 0;
const uint8_t kReconstructionState = 0x61;
const uint8_t kGetRebuildRate = 0x23;

bool simulatorPreloaded() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::strstr(preload, "libhalvsim");
}

// A set of the benchmark's own, never the one library users share.
void useOwnSemaphore() {
  SemUseKeyForTesting(static_cast<key_t>(0x48420000 + (getpid() & 0xFFFF)));
}

// The library leaves its set in the system for the next user; the
// benchmark's own goes.
void removeOwnSemaphore() {
  if (giSemId >= 0) semctl(giSemId, 0, IPC_RMID);
  giSemId = -1;
}

void BM_LibraryGetRebuildRate(benchmark::State& state) {
  if (!simulatorPreloaded()) {
    state.SkipWithError("the simulator is not preloaded");
    return;
  }
  useOwnSemaphore();
  if (InitLib(0, 0) < 0) {
    state.SkipWithError("InitLib failed");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(GetRebuildRate(kAdapter));
  CloseLib(255);
  removeOwnSemaphore();
}
BENCHMARK(BM_LibraryGetRebuildRate);

// The requests as the library builds them for "/dev/halvdev0": the record
// and its data in memory below 4 GiB, since the driver takes 32-bit
// addresses.
void BM_DirectIoctlSameRequests(benchmark::State& state) {
  if (!simulatorPreloaded()) {
    state.SkipWithError("the simulator is not preloaded");
    return;
  }
  const size_t size = sizeof(uioctl_t) + 4096 + 4096;
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  int fd = open("/dev/halvdev0", O_RDONLY);
  if (memory == MAP_FAILED || fd < 0) {
    state.SkipWithError("no simulated adapter on /dev/halvdev0");
    if (memory != MAP_FAILED) munmap(memory, size);
    return;
  }
  uioctl_t* request = static_cast<uioctl_t*>(memory);
  uint8_t* data = static_cast<uint8_t*>(memory) + 4096;
  const uint8_t opcodes[] = {kReconstructionState, kGetRebuildRate};
  for (auto _ : state) {
    for (uint8_t opcode : opcodes) {
      std::memset(request, 0, sizeof(uioctl_t));
      request->ui.fcs.opcode = HALV_FAKE_MBOX;
      request->ui.fcs.adapno =
          static_cast<uint16_t>(HALV_MIMD_ADAPNO_BASE | kAdapter);
      request->mbox[0] = opcode;
      request->outlen = 4;
      request->data.addr =
          static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data));
      std::memset(data, 0, 4);
      benchmark::DoNotOptimize(ioctl(fd, HALV_REQ_MIMD, request));
      benchmark::DoNotOptimize(data[0]);
    }
  }
  close(fd);
  munmap(memory, size);
}
BENCHMARK(BM_DirectIoctlSameRequests);

}  // namespace
