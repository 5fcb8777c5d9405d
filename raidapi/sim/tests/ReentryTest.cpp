// The simulator while it is working: a call another thread makes meanwhile
// goes where it should, a call a signal handler makes on the working thread
// is refused rather than sent to the real system, a request that comes in
// while another is in the driver is noted as an overlap, and the short
// answers and wrong counts a driver can give come back as the rules say.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "RequestWindow.h"
#include "SimTestSupport.h"

using namespace halvsim_test;

namespace {

class ReentryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char *preload = std::getenv("LD_PRELOAD");
    ASSERT_TRUE(preload && std::strstr(preload, "libhalvsim"))
        << "run these tests with libhalvsim.so in LD_PRELOAD";
    unsetenv("HALVSIM_FAULTS");
  }

  int CountOf(const std::string &kind) {
    int n = 0;
    for (const std::string &l : ReadLines(dir_.file("trace")))
      if (l.rfind(kind + " ", 0) == 0) ++n;
    return n;
  }

  ScratchDir dir_;
  std::string state_path_ = dir_.file("state");
  ScopedEnv state_{"HALVSIM_STATE", state_path_};
  ScopedEnv trace_{"HALVSIM_TRACE", dir_.file("trace")};
  ScopedEnv preset_{"HALVSIM_PRESET", "one40ld"};
};

// What a signal handler saw on the thread the simulator was working on.
struct HandlerSaw {
  std::atomic<bool> ran{false};
  int plain_fd = -1;
  int node_fd = 0, node_errno = 0;
  int ioctl_result = 0, ioctl_errno = 0;
};
HandlerSaw g_saw;
int g_node_fd = -1;
const char *g_plain_path = nullptr;

void OnSignal(int) {
  const int saved = errno;
  g_saw.plain_fd = open(g_plain_path, O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (g_saw.plain_fd >= 0) close(g_saw.plain_fd);
  g_saw.node_fd = open("/dev/halvdev0", O_RDONLY);
  g_saw.node_errno = errno;
  if (g_saw.node_fd >= 0) close(g_saw.node_fd);
  uioctl_t u;
  std::memset(&u, 0, sizeof u);
  g_saw.ioctl_result = ioctl(g_node_fd, HALV_REQ_MIMD, &u);
  g_saw.ioctl_errno = errno;
  g_saw.ran = true;
  errno = saved;
}

// The simulator is held inside a request by a state file that is a pipe: it
// waits in its own read of the scenario until the test writes it.
TEST_F(ReentryTest, CallsMadeWhileTheSimulatorWorks) {
  const int node = open("/dev/halvdev0", O_RDONLY);  // seeds the file
  ASSERT_GT(node, 0);
  g_node_fd = node;
  const std::string plain = dir_.file("plain");
  g_plain_path = plain.c_str();
  const std::string scenario = ReadFile(state_path_);
  ASSERT_FALSE(scenario.empty());
  const std::string fifo = dir_.file("fifo");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  ASSERT_EQ(0, rename(fifo.c_str(), state_path_.c_str()));

  struct sigaction action = {};
  action.sa_handler = OnSignal;
  ASSERT_EQ(0, sigaction(SIGUSR1, &action, nullptr));

  Mimd first, second;
  int first_result = 1, second_result = 1;
  // A request that changes the scenario, so that the simulator writes the
  // state file back as a plain file.
  std::thread worker([&] {
    first_result = first.Mailbox(node, 0, {0x24}, {77, 0, 0, 0});
  });
  // Opening the pipe for writing returns once the simulator reads it.
  const int writer = open(state_path_.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);

  // Another thread's calls on its own files go straight to the system.
  const int own = open(plain.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(own, 0);
  const int copy = dup(own);
  EXPECT_GE(copy, 0);
  int pipefd[2];
  ASSERT_EQ(0, pipe(pipefd));
  int pending = -1;
  EXPECT_EQ(0, ioctl(pipefd[0], FIONREAD, &pending));
  EXPECT_EQ(0, pending);
  for (int fd : {own, copy, pipefd[0], pipefd[1]}) EXPECT_EQ(0, close(fd));

  // A handler on the working thread: its own file opens, the simulated
  // node and its descriptor are refused as busy, nothing real is reached.
  ASSERT_EQ(0, pthread_kill(worker.native_handle(), SIGUSR1));
  while (!g_saw.ran) sched_yield();
  EXPECT_GE(g_saw.plain_fd, 0);
  EXPECT_EQ(-1, g_saw.node_fd);
  EXPECT_EQ(EBUSY, g_saw.node_errno);
  EXPECT_EQ(-1, g_saw.ioctl_result);
  EXPECT_EQ(EBUSY, g_saw.ioctl_errno);

  // A second request while the first is in the driver is an overlap.
  std::thread late(
      [&] { second_result = second.Mailbox(node, 0, {0x7D}, {}, 1); });
  while (CountOf("overlap") == 0) sched_yield();

  ASSERT_EQ(static_cast<ssize_t>(scenario.size()),
            write(writer, scenario.data(), scenario.size()));
  close(writer);
  worker.join();
  late.join();
  signal(SIGUSR1, SIG_DFL);
  EXPECT_EQ(0, first_result);
  EXPECT_EQ(0, second_result);
  EXPECT_EQ(7, second.data()[0]);
  EXPECT_NE(std::string::npos, ReadFile(state_path_).find("rebuild-rate 77"));
  EXPECT_EQ(1u, halvsim::RequestWindow::Overlaps(state_path_));
  // The busy calls were not the simulator's requests.
  EXPECT_EQ(2, CountOf("ioctl"));
  close(node);
}

TEST_F(ReentryTest, RequestsOneAfterAnotherDoNotOverlap) {
  const int node = open("/dev/halvdev0", O_RDONLY);
  ASSERT_GT(node, 0);
  Mimd m;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0, m.Mailbox(node, 0, {0x7D}, {}, 1));
  EXPECT_EQ(0u, halvsim::RequestWindow::Overlaps(state_path_));
  EXPECT_EQ(0, CountOf("overlap"));
  close(node);
}

// Windows held open at once, in one process or by its children, with a
// state file or without.
TEST(RequestWindowTest, OpenWindowsAreOverlaps) {
  ScratchDir dir;
  for (const std::string &path : {dir.file("state"), std::string()}) {
    SCOPED_TRACE(path.empty() ? "in process" : "state file");
    const uint64_t before = halvsim::RequestWindow::Overlaps(path);
    {
      halvsim::RequestWindow a(path);
      EXPECT_FALSE(a.Overlapped());
      halvsim::RequestWindow b(path);
      EXPECT_TRUE(b.Overlapped());
    }
    halvsim::RequestWindow c(path);
    EXPECT_FALSE(c.Overlapped());
    EXPECT_EQ(before + 1, halvsim::RequestWindow::Overlaps(path));
  }
  // Another process's window counts; a process that died holds none.
  const std::string path = dir.file("shared");
  int ready[2], go[2];
  ASSERT_EQ(0, pipe(ready));
  ASSERT_EQ(0, pipe(go));
  const pid_t child = fork();
  if (child == 0) {
    halvsim::RequestWindow held(path);
    char c = 0;
    if (write(ready[1], &c, 1) != 1 || read(go[0], &c, 1) != 1) _exit(2);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(1, read(ready[0], &c, 1));
  EXPECT_TRUE(halvsim::RequestWindow(path).Overlapped());
  ASSERT_EQ(1, write(go[1], &c, 1));
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  EXPECT_FALSE(halvsim::RequestWindow(path).Overlapped());
  EXPECT_EQ(1u, halvsim::RequestWindow::Overlaps(path));
  for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
}

// A read by address (the only request whose record carries the count the
// driver reports): how much comes back, and what count it reports.
TEST_F(ReentryTest, ShortAnswersAndWrongCounts) {
  const int node = open("/dev/halvdev0", O_RDONLY);
  ASSERT_GT(node, 0);
  struct Case {
    const char *rule;
    uint32_t written;   // bytes of the answer that arrive
    uint32_t reported;  // count in the pass-through record
  };
  const Case cases[] = {
      {"", 25412, 25412},
      {"op=0xa1 short=0", 0, 0},
      {"op=0xa1 short=10", 10, 10},
      {"op=0xa1 short=99999", 25412, 25412},
      {"op=0xa1 count=4294967295", 25412, 4294967295u},
      {"op=0xa1 count=3", 25412, 3},
  };
  Mimd m;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.rule);
    ScopedEnv faults("HALVSIM_FAULTS", c.rule);
    m.Clear(HALV_FAKE_MBOX_BY_ADDR, 0);
    m.Area({0xA1, 0x04});
    m.u()->outlen = 1;
    m.u()->ui.fcs.u.buffer = m.data_addr();
    m.u()->ui.fcs.length = 25412;
    std::memset(m.data(), 0xEE, 25412);
    ASSERT_EQ(0, ioctl(node, HALV_REQ_MIMD, m.u()));
    EXPECT_EQ(0, m.u()->mbox[HALV_MBOX_STATUS]);
    EXPECT_EQ(c.reported, m.u()->pthru.dataxferlen);
    // The answer's first byte is the logical drive count (2); behind what
    // arrived the buffer is as the caller left it.
    size_t untouched = 0;
    for (size_t i = c.written; i < 25412; ++i) untouched += m.data()[i] == 0xEE;
    EXPECT_EQ(25412 - c.written, untouched);
    if (c.written > 0) {
      EXPECT_EQ(2, m.data()[0]);
    }
  }
  close(node);
}

}  // namespace
