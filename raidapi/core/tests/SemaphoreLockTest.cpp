#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/ApiLock.h"
#include "core/SemaphoreLock.h"

// The lock's semop calls, as this program sees them: the library's objects
// are linked in, so this definition stands in front of the C library's.
// Calls are recorded while recording is on; with fakeSetZero, calls on
// identifier 0 succeed here instead of reaching a set that belongs to
// whoever has it on this machine.
namespace {
struct SemopCall {
  int id;
  std::vector<sembuf> ops;
};
struct SemopRecorder {
  bool recording = false;
  bool fakeSetZero = false;
  std::vector<SemopCall> calls;
};
SemopRecorder gSemop;
}  // namespace

extern "C" int semop(int semid, struct sembuf *sops, size_t nsops) noexcept {
  if (gSemop.recording)
    gSemop.calls.push_back({semid, std::vector<sembuf>(sops, sops + nsops)});
  if (gSemop.fakeSetZero && semid == 0) return 0;
  return semtimedop(semid, sops, nsops, nullptr);
}

namespace {

// Every test works on a set of its own, keyed by the test process, so tests
// never meet the set that library instances share, nor one another's.
class SemaphoreLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = static_cast<key_t>(0x48560000 + (getpid() & 0xFFFF));
    RemoveSet();
    SemUseKeyForTesting(key_);
    giSemId = -1;
    giNoOfSems = 1;
  }

  void TearDown() override {
    RemoveSet();
    SemUseKeyForTesting(kSemKey);
    giSemId = -1;
    giNoOfSems = 1;
  }

  void RemoveSet() {
    const int id = semget(key_, 0, 0);
    if (id >= 0) semctl(id, 0, IPC_RMID);
  }

  static int Value() { return semctl(giSemId, 0, GETVAL); }
  static int Waiters() { return semctl(giSemId, 0, GETZCNT); }

  // Polls until the condition holds; false if it never does. A bound, not a
  // measurement: a working lock meets the condition at once.
  template <typename Condition>
  static bool Eventually(Condition condition) {
    for (int i = 0; i < 20000; ++i) {
      if (condition()) return true;
      usleep(500);
    }
    return false;
  }

  key_t key_ = 0;
};

// A pipe that records, in order, what the processes of a test did.
struct EventPipe {
  int fd[2];
  EventPipe() {
    if (pipe(fd) != 0) fd[0] = fd[1] = -1;
  }
  ~EventPipe() {
    close(fd[0]);
    close(fd[1]);
  }
  void Put(char c) const { (void)!write(fd[1], &c, 1); }
  // Next event, waiting for it; 0 when none comes.
  char Get() const {
    pollfd p{fd[0], POLLIN, 0};
    char c = 0;
    if (poll(&p, 1, 20000) == 1 && read(fd[0], &c, 1) == 1) return c;
    return 0;
  }
  // True when no event is pending.
  bool Empty() const {
    pollfd p{fd[0], POLLIN, 0};
    return poll(&p, 1, 0) == 0;
  }
};

int ExitStatus(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(SemaphoreLockTest, InitCreatesOneSemaphoreForItsOwnerOnly) {
  ASSERT_EQ(0, Sem_Init());
  ASSERT_GE(giSemId, 0);
  semid_ds info{};
  ASSERT_EQ(0, semctl(giSemId, 0, IPC_STAT, &info));
  EXPECT_EQ(0600u, info.sem_perm.mode & 0777u);
  EXPECT_EQ(1u, info.sem_nsems);
  EXPECT_EQ(0, Value());

  const int first = giSemId;
  ASSERT_EQ(0, Sem_Init());  // as after CloseLib and a new InitLib
  EXPECT_EQ(first, giSemId);
  EXPECT_EQ(0, Sem_Kill());
  EXPECT_EQ(first, semget(key_, 0, 0));  // the set stays in the system
}

TEST_F(SemaphoreLockTest, TakeRaisesAndReleaseLowers) {
  ASSERT_EQ(0, Sem_Init());
  ASSERT_EQ(0, Sem_Wait());
  EXPECT_EQ(1, Value());
  ASSERT_EQ(0, Sem_Post());
  EXPECT_EQ(0, Value());
  ASSERT_EQ(0, Sem_Wait());
  EXPECT_EQ(1, Value());
  ASSERT_EQ(0, Sem_Post());
}

TEST_F(SemaphoreLockTest, WithoutASetNothingIsLockedOrPrinted) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(0, Sem_Wait());
  EXPECT_EQ(0, Sem_Post());
  EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
  EXPECT_LT(semget(key_, 0, 0), 0);  // and no set was made
}

// The system may hand out identifier 0; the lock must use it, not take it
// for "no lock". Set 0 is played here, whoever owns it on this machine.
TEST_F(SemaphoreLockTest, IdentifierZeroIsUsed) {
  giSemId = 0;
  gSemop = SemopRecorder{true, true, {}};
  const int taken = Sem_Wait();
  const int released = Sem_Post();
  gSemop.recording = false;
  EXPECT_EQ(0, taken);
  EXPECT_EQ(0, released);
  ASSERT_EQ(2u, gSemop.calls.size());
  EXPECT_EQ(0, gSemop.calls[0].id);
  EXPECT_EQ(0, gSemop.calls[1].id);
  gSemop = SemopRecorder{};
}

// The take waits for 0 and raises in one call; the raise and the release
// carry the undo flag, so a process that dies holding the lock frees it.
TEST_F(SemaphoreLockTest, TakeAndReleaseOperations) {
  ASSERT_EQ(0, Sem_Init());
  gSemop = SemopRecorder{true, false, {}};
  ASSERT_EQ(0, Sem_Wait());
  ASSERT_EQ(0, Sem_Post());
  gSemop.recording = false;
  ASSERT_EQ(2u, gSemop.calls.size());
  const std::vector<sembuf> &take = gSemop.calls[0].ops;
  const std::vector<sembuf> &release = gSemop.calls[1].ops;
  EXPECT_EQ(giSemId, gSemop.calls[0].id);
  ASSERT_EQ(2u, take.size());
  EXPECT_EQ(0, take[0].sem_op);
  EXPECT_EQ(SEM_UNDO, take[0].sem_flg);
  EXPECT_EQ(1, take[1].sem_op);
  EXPECT_EQ(SEM_UNDO | IPC_NOWAIT, take[1].sem_flg);
  ASSERT_EQ(1u, release.size());
  EXPECT_EQ(0, release[0].sem_num);
  EXPECT_EQ(-1, release[0].sem_op);
  EXPECT_EQ(SEM_UNDO | IPC_NOWAIT, release[0].sem_flg);
  gSemop = SemopRecorder{};
}

TEST_F(SemaphoreLockTest, FailuresArePrintedAndReturned) {
  ASSERT_EQ(0, Sem_Init());
  const int id = giSemId;

  struct {
    const char *name;
    int (*call)();
    const char *message;
  } cases[] = {
      // Releasing a free lock must not take the value below 0.
      {"release when free", Sem_Post, "semop 2 failed: "},
      // An existing set smaller than asked for.
      {"semget",
       [] {
         giNoOfSems = 2;
         const int rc = Sem_Init();
         giNoOfSems = 1;
         return rc;
       },
       "semget() failed: "},
      {"take on a removed set",
       [] {
         semctl(giSemId, 0, IPC_RMID);
         return Sem_Wait();
       },
       "semop failed: "},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(-1, c.call());
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(0u, printed.find(c.message)) << printed;
    EXPECT_EQ(id, giSemId);  // a failure keeps the identifier
  }
}

// An operation whose take failed must not release on its way out: that would
// free the lock of whoever holds it.
TEST_F(SemaphoreLockTest, GuardReleasesOnlyWhatItTook) {
  ASSERT_EQ(0, Sem_Init());
  const int id = giSemId;
  ASSERT_EQ(0, Sem_Wait());  // someone else holds the lock
  ::testing::internal::CaptureStderr();
  {
    giSemId = id + 0x7FFF;  // a take that fails
    ApiLock guard;
    giSemId = id;
  }
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, Value());  // still held by its real holder
  EXPECT_EQ(0, Sem_Post());
  {
    ApiLock taken;
    EXPECT_EQ(1, Value());
  }
  EXPECT_EQ(0, Value());
}

TEST_F(SemaphoreLockTest, SecondProcessWaitsUntilTheFirstReleases) {
  ASSERT_EQ(0, Sem_Init());
  EventPipe events;
  ASSERT_EQ(0, Sem_Wait());

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int rc = Sem_Wait();
    events.Put('C');  // the child holds the lock
    Sem_Post();
    _exit(rc == 0 ? 0 : 1);
  }

  // The child is blocked in its take while this process holds the lock.
  ASSERT_TRUE(Eventually([] { return Waiters() == 1; }));
  EXPECT_TRUE(events.Empty());
  events.Put('P');  // released from here on
  ASSERT_EQ(0, Sem_Post());

  EXPECT_EQ('P', events.Get());
  EXPECT_EQ('C', events.Get());
  EXPECT_EQ(0, ExitStatus(child));
  EXPECT_EQ(0, Value());
}

TEST_F(SemaphoreLockTest, SecondThreadWaitsUntilTheFirstReleases) {
  ASSERT_EQ(0, Sem_Init());
  EventPipe events;
  ASSERT_EQ(0, Sem_Wait());
  std::thread second([&events] {
    Sem_Wait();
    events.Put('T');
    Sem_Post();
  });
  ASSERT_TRUE(Eventually([] { return Waiters() == 1; }));
  EXPECT_TRUE(events.Empty());
  events.Put('P');
  ASSERT_EQ(0, Sem_Post());
  second.join();
  EXPECT_EQ('P', events.Get());
  EXPECT_EQ('T', events.Get());
  EXPECT_EQ(0, Value());
}

TEST_F(SemaphoreLockTest, ProcessKilledWhileHoldingLeavesTheLockFree) {
  ASSERT_EQ(0, Sem_Init());
  EventPipe events;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (Sem_Wait() == 0) events.Put('H');
    pause();
    _exit(0);
  }
  ASSERT_EQ('H', events.Get());
  EXPECT_EQ(1, Value());
  kill(child, SIGKILL);
  EXPECT_EQ(128 + SIGKILL, ExitStatus(child));

  ASSERT_EQ(0, Value());
  ASSERT_EQ(0, Sem_Wait());  // free again: taken without waiting
  EXPECT_EQ(1, Value());
  ASSERT_EQ(0, Sem_Post());
}

EventPipe *gSignalEvents = nullptr;

void RecordSignal(int) {
  const char c = 'S';
  (void)!write(gSignalEvents->fd[1], &c, 1);
}

TEST_F(SemaphoreLockTest, TakeInterruptedBySignalIsRetried) {
  ASSERT_EQ(0, Sem_Init());
  EventPipe events;
  ASSERT_EQ(0, Sem_Wait());

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    gSignalEvents = &events;
    struct sigaction action {};
    action.sa_handler = RecordSignal;
    sigaction(SIGUSR1, &action, nullptr);
    const int rc = Sem_Wait();
    events.Put('C');
    Sem_Post();
    _exit(rc == 0 ? 0 : 1);
  }

  ASSERT_TRUE(Eventually([] { return Waiters() == 1; }));
  kill(child, SIGUSR1);
  ASSERT_EQ('S', events.Get());
  // Back to waiting after the handler, rather than going on unlocked.
  ASSERT_TRUE(Eventually([] { return Waiters() == 1; }));
  EXPECT_TRUE(events.Empty());
  ASSERT_EQ(0, Sem_Post());
  EXPECT_EQ('C', events.Get());
  EXPECT_EQ(0, ExitStatus(child));
}

}  // namespace
