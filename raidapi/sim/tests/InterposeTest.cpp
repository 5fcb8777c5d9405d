// The preloaded entry points: real files and descriptors go through
// untouched; the simulated nodes exist exactly as the scenario says.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include "SimTestSupport.h"

using namespace halvsim_test;

namespace {

class InterposeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char *preload = std::getenv("LD_PRELOAD");
    ASSERT_TRUE(preload && std::strstr(preload, "libhalvsim"))
        << "run these tests with libhalvsim.so in LD_PRELOAD";
  }
  void UsePreset(const std::string &preset) {
    preset_.reset();
    preset_ = std::make_unique<ScopedEnv>("HALVSIM_PRESET", preset);
  }

  ScratchDir dir_;
  ScopedEnv state_{"HALVSIM_STATE", dir_.file("state")};
  ScopedEnv trace_{"HALVSIM_TRACE", dir_.file("trace")};
  std::unique_ptr<ScopedEnv> preset_;
};

TEST_F(InterposeTest, RealFilesAndDescriptorsPassThrough) {
  std::string path = dir_.file("plain.txt");
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "hello", 5), 5);
  ASSERT_EQ(close(fd), 0);
  fd = openat(AT_FDCWD, path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char buf[8] = {};
  EXPECT_EQ(read(fd, buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "hello");
  // An ioctl on a real descriptor reaches the kernel.
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  ASSERT_EQ(write(pipefd[1], "abc", 3), 3);
  int pending = 0;
  EXPECT_EQ(ioctl(pipefd[0], FIONREAD, &pending), 0);
  EXPECT_EQ(pending, 3);
  EXPECT_EQ(ioctl(fd, HALV_REQ_MIMD, nullptr), -1);
  EXPECT_EQ(errno, ENOTTY);
  close(pipefd[0]);
  close(pipefd[1]);
  close(fd);
  EXPECT_EQ(close(fd), -1);
  EXPECT_EQ(errno, EBADF);
  // Nothing of this is the simulator's: the trace stays empty.
  EXPECT_TRUE(ReadLines(dir_.file("trace")).empty());
}

TEST_F(InterposeTest, PathsOutsideTheSimulatorReachTheSystem) {
  for (const char *path : {"/dev/sda1", "/dev/sdaa", "/dev/sd", "/dev/halvdev1",
                           "/dev/SDA", "/dev/null"}) {
    int ours = open(path, O_RDONLY);
    int ours_errno = errno;
    int theirs =
        static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, O_RDONLY));
    int theirs_errno = errno;
    EXPECT_EQ(ours >= 0, theirs >= 0) << path;
    if (ours < 0 && theirs < 0) {
      EXPECT_EQ(ours_errno, theirs_errno) << path;
    }
    if (ours >= 0) close(ours);
    if (theirs >= 0) close(theirs);
  }
}

TEST_F(InterposeTest, NodesOpenOnlyAsTheScenarioSays) {
  struct Case {
    const char *preset;
    std::vector<std::pair<const char *, bool>> nodes;
  } cases[] = {
      {"one40ld", {{"/dev/halvdev0", true}, {"/dev/sda", false}}},
      {"two8ld",
       {{"/dev/halvdev0", false},
        {"/dev/sda", true},
        {"/dev/sdb", true},
        {"/dev/sdc", true},
        {"/dev/sdd", false},
        {"/dev/sdz", false}}},
      {"none", {{"/dev/halvdev0", false}, {"/dev/sda", false}}},
      {"seven", {{"/dev/halvdev0", true}, {"/dev/sda", false}}},
  };
  for (const Case &c : cases) {
    ScratchDir dir;
    ScopedEnv state("HALVSIM_STATE", dir.file("state"));
    ScopedEnv preset("HALVSIM_PRESET", c.preset);
    for (const auto &[path, exists] : c.nodes) {
      int fd = open(path, O_RDONLY);
      EXPECT_EQ(fd >= 0, exists) << c.preset << " " << path;
      if (fd < 0) {
        EXPECT_EQ(errno, ENOENT);
      } else {
        close(fd);
      }
    }
  }
}

TEST_F(InterposeTest, ForeignDisksTakeLettersBeforeTheAdapters) {
  std::string path = dir_.file("state");
  std::string cmd = std::string(HALVSIM_TOOL) + " init -p two8ld " + path +
                    " && " + HALVSIM_TOOL + " set " + path +
                    " foreign-disks ac";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  // a foreign, b c the 4-span adapter's drives, d foreign, e the 8-span's.
  for (const char *node :
       {"/dev/sda", "/dev/sdb", "/dev/sdc", "/dev/sdd", "/dev/sde"}) {
    int fd = open(node, O_RDONLY);
    EXPECT_GE(fd, 0) << node;
    close(fd);
  }
  EXPECT_EQ(open("/dev/sdf", O_RDONLY), -1);
  std::vector<std::string> lines = ReadLines(dir_.file("trace"));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0].rfind("open node=/dev/sda flags=0x0 adapter=- result=", 0),
            0u);
  EXPECT_EQ(lines[2].rfind("open node=/dev/sdb flags=0x0 adapter=0 result=", 0),
            0u);
  EXPECT_EQ(lines[8].rfind("open node=/dev/sde flags=0x0 adapter=1 result=", 0),
            0u);
  EXPECT_EQ(lines[10],
            "open node=/dev/sdf flags=0x0 adapter=- result=-1 errno=ENOENT");
}

TEST_F(InterposeTest, ControlFileWritesGoWhereAsked) {
  std::string sink = dir_.file("proc-scsi");
  ScopedEnv redirect("HALVSIM_PROC_SCSI", sink);
  // Each line is a fresh open for writing; the lines add up.
  for (const char *line : {"scsi add-single-device 0 3 0 0\n",
                           "scsi add-single-device 0 3 0 1\n"}) {
    FILE *f = fopen("/proc/scsi/scsi", "wr");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fwrite(line, 1, std::strlen(line), f), std::strlen(line));
    fclose(f);
  }
  int fd = open("/proc/scsi/scsi", O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "x\n", 2), 2);
  close(fd);
  EXPECT_EQ(
      ReadFile(sink),
      "scsi add-single-device 0 3 0 0\nscsi add-single-device 0 3 0 1\nx\n");
  std::vector<std::string> lines = ReadLines(dir_.file("trace"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "fopen node=/proc/scsi/scsi mode=wr redirect=" + sink +
                          " result=0");
  EXPECT_EQ(lines[2], "open node=/proc/scsi/scsi flags=0x1 redirect=" + sink +
                          " result=0");
  // Other files opened with fopen are the system's.
  FILE *other = fopen(dir_.file("plain").c_str(), "w");
  ASSERT_NE(other, nullptr);
  fclose(other);
  EXPECT_EQ(ReadLines(dir_.file("trace")).size(), 3u);
}

TEST_F(InterposeTest, SimulatedDescriptorsAreRealAndTracked) {
  UsePreset("one40ld");
  int a = open("/dev/halvdev0", O_RDONLY);
  int b = open("/dev/halvdev0", O_RDONLY | O_CLOEXEC);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(fcntl(a, F_GETFD), 0);
  EXPECT_EQ(fcntl(b, F_GETFD), FD_CLOEXEC);
  Mimd m;
  uint32_t count = 0;
  // A dup is the same node; a real descriptor placed over it is not.
  int c = dup(a);
  ASSERT_GE(c, 0);
  EXPECT_EQ(m.Count(c, &count), 0);
  EXPECT_EQ(count, 1u);
  int d = open(dir_.file("x").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_EQ(dup2(d, c), c);
  EXPECT_EQ(m.Count(c, &count), -1);
  EXPECT_EQ(errno, ENOTTY);
  close(d);
  close(c);
  // A closed node's number no longer reaches the simulator.
  close(a);
  EXPECT_EQ(m.Count(a, &count), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(m.Count(b, &count), 0);
  close(b);
  std::vector<std::string> lines = ReadLines(dir_.file("trace"));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "close node=/dev/halvdev0 fd=" + std::to_string(b));
}

}  // namespace

namespace {

// The halvsim tool: each edit applies whole or not at all.
TEST(HalvsimTool, EditsAreCheckedBeforeTheyApply) {
  ScratchDir dir;
  std::string f = dir.file("state");
  std::string tool = HALVSIM_TOOL;
  auto run = [&](const std::string &args) {
    std::string cmd = tool + " " + args + " >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  ASSERT_EQ(run("init -p one40ld " + f), 0);
  struct Case {
    std::string args;
    int status;
    const char *then_in_file;  // a line the file holds afterwards
  } cases[] = {
      {"set " + f + " rebuild-rate 50", 0, "rebuild-rate 50\n"},
      {"set " + f + " rebuild-rate x", 1, "rebuild-rate 50\n"},
      {"set " + f + " -a 3 rebuild-rate 1", 1, "rebuild-rate 50\n"},
      {"set " + f + " firmware 9", 1, "firmware 3\n"},
      {"set " + f + " clock 5000", 0, "clock 5000\n"},
      {"device " + f + " 2:5 type=1 product=TAPE", 0,
       "device 2:5 type=1 sectors=0 state=0"},
      {"device " + f + " 0:0 bogus=1", 1, "device 0:0 type=0"},
      {"logdrive " + f + " 0 status=1", 0, "status=1\n"},
      {"logdrive " + f + " 9 raid=1", 1, "status=1\n"},
      {"op " + f + " check ld=1 duration=10", 0,
       "op check dev=0:0 ld=1 level=0 stripe=0 add=- start=5000 duration=10\n"},
      {"fault " + f + " add op=zz fail", 1, "halvsim-state 1\n"},
      {"fault " + f + " add op=0x61 status=2", 0,
       "fault op=0x61 from=1 status=2 seen=0\n"},
      {"store " + f + " old", 0, "stored-config \"old\"\nlogdrive raid=5"},
      {"store " + f + " same", 2, "halvsim-state 1\n"},
      {"device " + f + " 0:4 config=old", 0, "config=\"old\""},
      {"init " + f, 1, "rebuild-rate 50\n"},
      {"init -p nope " + dir.file("other"), 1, "rebuild-rate 50\n"},
      {"show " + f, 0, "end\n"},
      {"summary " + f, 0, "end\n"},
      {"set " + dir.file("missing") + " clock 1", 1, "end\n"},
      {"", 2, "end\n"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(run(c.args), c.status) << c.args;
    EXPECT_NE(ReadFile(f).find(c.then_in_file), std::string::npos)
        << c.args << "\n"
        << ReadFile(f);
  }
}

}  // namespace
