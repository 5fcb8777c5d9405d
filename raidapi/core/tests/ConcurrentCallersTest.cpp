// Many callers at once against one simulated machine: several processes,
// each with several threads, call a mix of operations on the adapters of
// one shared state file. The simulated driver notes every request that
// arrives while another is still in it; the library's semaphore must keep
// that from ever happening. And a thread that stops the library while
// others are calling must not bring them down.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/tests/LibSimScenario.h"
#include "hvapi.h"
#include "hvapi_lowlevel.h"
#include "testsupport/ChildProcess.h"

namespace {

using libsim::LibSimTest;

constexpr int kProcesses = 3;
constexpr int kThreads = 3;
constexpr int kRounds = 25;
// However slow the machine, a caller stops after this long; what is checked
// is only what the calls answered, never how long they took.
constexpr auto kDeadline = std::chrono::seconds(4);

// One call of the mix; true when it answered as it should on the mixed
// machine (three adapters, both firmware generations).
bool CallOne(int which, UChar adapter) {
  switch (which % 8) {
    case 0:
      return GetRebuildRate(adapter) >= 0;
    case 1: {
      Adp_Struct info;
      return GetAdapterInfo(adapter, &info) == 0;
    }
    case 2: {
      AllDrvInfo_Struct all;
      return GetAllPDrvInfo(adapter, &all) == 0;
    }
    case 3: {
      Ldrv_Struct ld;
      return GetLogDrvProp(adapter, 0, &ld) == 0;
    }
    case 4: {
      AdapterStatus_Struct status[HVAPI_MAX_ADAPTERS];
      return CheckSystemStatus(adapter, status) == 0;
    }
    case 5:
      return SetRebuildRate(adapter, static_cast<UChar>(30 + which % 50)) == 0;
    case 6: {
      UChar state = 0;
      return GetPDrvState(adapter, &state, 0, 0) == 0;
    }
    default:
      return GetReconPrg(adapter) >= 0;
  }
}

// The threads of one process; answers the number of calls that went wrong.
int CallFromThreads(int seed) {
  std::atomic<int> wrong{0};
  const auto stop = std::chrono::steady_clock::now() + kDeadline;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&wrong, seed, t, stop] {
      for (int round = 0; round < kRounds; ++round) {
        if (std::chrono::steady_clock::now() > stop) break;
        const int which = seed * 31 + t * 7 + round;
        if (!CallOne(which, static_cast<UChar>(which % 3))) ++wrong;
      }
    });
  }
  for (std::thread &t : threads) t.join();
  return wrong.load();
}

class ConcurrentCallersTest : public LibSimTest {
 protected:
  // True while this process holds the library's lock (the semaphore is
  // shared machine-wide: another program's hold does not count).
  static bool HeldHere() {
    return semctl(giSemId, 0, GETVAL) > 0 &&
           semctl(giSemId, 0, GETPID) == getpid();
  }

  // The overlaps the simulator counted for this test's state file.
  uint64_t Overlaps() {
    const ProgramRun run =
        runProgram(HALVSIM_TOOL, {"overlaps", StatePath()}, Dir());
    EXPECT_EQ(0, run.status) << run.errors;
    return std::strtoull(run.output.c_str(), nullptr, 10);
  }
};

TEST_F(ConcurrentCallersTest, ProcessesAndThreadsNeverOverlapARequest) {
  UsePreset("mixed");
  // The state file is made before the callers race to seed it.
  Start();
  ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  unsetenv("HALVSIM_TRACE");  // the counts are enough, and faster

  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int wrong = InitLib(0, 0) == HVAPI_APP_HANDLE ? 0 : 100;
      if (wrong == 0) wrong = CallFromThreads(p);
      if (CloseLib(HVAPI_APP_HANDLE) != 0) ++wrong;
      _exit(wrong > 100 ? 100 : wrong);
    }
    children.push_back(pid);
  }
  // The parent calls too, so that a process with the library started
  // before the others came is among them.
  ASSERT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
  EXPECT_EQ(0, CallFromThreads(kProcesses));
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status)) << "a caller process died";
    EXPECT_EQ(0, WEXITSTATUS(status)) << "calls that went wrong";
  }
  EXPECT_EQ(0u, Overlaps());
  EXPECT_FALSE(HeldHere());
}

// A caller that passed the start test and then waited for the lock while
// another thread stopped the library finds it stopped: it answers "not
// initialised" rather than going on with an empty adapter table.
TEST_F(ConcurrentCallersTest, CallThatWaitedThroughCloseLibAnswersMinus24) {
  UsePreset("one40ld");
  Start();
  ASSERT_EQ(0, Sem_Wait());
  Int closed = 1;
  std::thread closer([&closed] { closed = CloseLib(HVAPI_APP_HANDLE); });
  while (semctl(giSemId, 0, GETZCNT) < 1) sched_yield();
  // The lock goes to its waiters in the order they came.
  Int answers[2] = {1, 1};
  std::thread caller([&answers] {
    answers[0] = FlushAdapter(0);
    Adp_Struct info;
    answers[1] = GetAdapterInfo(0, &info);
  });
  while (semctl(giSemId, 0, GETZCNT) < 2) sched_yield();
  ASSERT_EQ(0, Sem_Post());
  closer.join();
  caller.join();
  EXPECT_EQ(0, closed);
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, answers[0]);
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, answers[1]);
  EXPECT_FALSE(HeldHere());
}

// One thread stops and restarts the library again and again while others
// call: no call crashes or hangs, each answers as a started library does or
// "not initialised", and once restarted everything works.
TEST_F(ConcurrentCallersTest, CloseLibWhileOthersCall) {
  UsePreset("mixed");
  Start();
  unsetenv("HALVSIM_TRACE");
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t) {
    callers.emplace_back([&done, &wrong, t] {
      for (int round = 0; !done.load(); ++round) {
        const UChar adapter = static_cast<UChar>(round % 3);
        Adp_Struct info;
        AllDrvInfo_Struct all;
        Int answer = 0;
        switch ((t + round) % 3) {
          case 0:
            answer = GetRebuildRate(adapter);
            break;
          case 1:
            answer = GetAdapterInfo(adapter, &info);
            break;
          default:
            answer = GetAllPDrvInfo(adapter, &all);
            break;
        }
        if (answer < 0 && answer != HVAPI_ERR_NOT_INITIALISED) ++wrong;
      }
    });
  }
  const auto stop = std::chrono::steady_clock::now() + kDeadline;
  for (int i = 0; i < 20 && std::chrono::steady_clock::now() < stop; ++i) {
    EXPECT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
    sched_yield();
    EXPECT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
    sched_yield();
  }
  done = true;
  for (std::thread &t : callers) t.join();
  EXPECT_EQ(0, wrong.load());
  EXPECT_FALSE(HeldHere());
  EXPECT_GE(GetRebuildRate(0), 0);
}

}  // namespace
