// The simulator's own file work never comes through the calls it stands in
// front of. This program puts counting versions of open, close and ioctl in
// front of everything (an executable's own definitions come first), so any
// of the simulator's reads and writes of its state file, lock files and
// trace that went through those names would be counted.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>

#include "SimTestSupport.h"

using namespace halvsim_test;

namespace {

std::atomic<int> g_opens{0}, g_closes{0}, g_ioctls{0};

template <class F>
F Next(const char *name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int open(const char *path, int flags, ...) {
  static auto next = Next<int (*)(const char *, int, ...)>("open");
  va_list ap;
  va_start(ap, flags);
  const int mode = (flags & O_CREAT) ? va_arg(ap, int) : 0;
  va_end(ap);
  ++g_opens;
  return next(path, flags, mode);
}

extern "C" int open64(const char *path, int flags, ...) {
  static auto next = Next<int (*)(const char *, int, ...)>("open64");
  va_list ap;
  va_start(ap, flags);
  const int mode = (flags & O_CREAT) ? va_arg(ap, int) : 0;
  va_end(ap);
  ++g_opens;
  return next(path, flags, mode);
}

extern "C" int close(int fd) {
  static auto next = Next<int (*)(int)>("close");
  ++g_closes;
  return next(fd);
}

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW {
  static auto next = Next<int (*)(int, unsigned long, ...)>("ioctl");
  va_list ap;
  va_start(ap, request);
  void *arg = va_arg(ap, void *);
  va_end(ap);
  ++g_ioctls;
  return next(fd, request, arg);
}

namespace {

TEST(IsolationTest, TheSimulatorsFileWorkBypassesTheInterposedCalls) {
  const char *preload = std::getenv("LD_PRELOAD");
  ASSERT_TRUE(preload && std::strstr(preload, "libhalvsim"))
      << "run these tests with libhalvsim.so in LD_PRELOAD";
  ScratchDir dir;
  ScopedEnv state("HALVSIM_STATE", dir.file("state"));
  ScopedEnv trace("HALVSIM_TRACE", dir.file("trace"));
  ScopedEnv preset("HALVSIM_PRESET", "one40ld");

  // Seeding the state file, locking it, tracing the open: one open counted,
  // the program's own.
  g_opens = g_closes = g_ioctls = 0;
  const int node = open("/dev/halvdev0", O_RDONLY);
  ASSERT_GT(node, 0);
  EXPECT_EQ(1, g_opens.load());
  EXPECT_EQ(0, g_closes.load());

  // A request that changes the scenario: the file is read, rewritten
  // through a temporary file, the lock file and trace written.
  Mimd m;
  g_opens = g_closes = g_ioctls = 0;
  EXPECT_EQ(0, m.Mailbox(node, 0, {0x24}, {42, 0, 0, 0}));
  EXPECT_EQ(0, g_opens.load());
  EXPECT_EQ(0, g_closes.load());
  EXPECT_EQ(1, g_ioctls.load());
  EXPECT_NE(std::string::npos,
            ReadFile(dir.file("state")).find("rebuild-rate 42"));
  EXPECT_EQ(2u, ReadLines(dir.file("trace")).size());  // open, ioctl

  g_opens = g_closes = g_ioctls = 0;
  EXPECT_EQ(0, close(node));
  EXPECT_EQ(0, g_opens.load());
  EXPECT_EQ(1, g_closes.load());
}

}  // namespace
