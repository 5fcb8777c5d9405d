// Requests as the library sends them, built from the driver records and sent
// with raw ioctl calls through the preloaded simulator: answers, trace
// lines, faults, shared state, progress, and bad addresses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include "SimTestSupport.h"
#include "firmware/FirmwareLayouts.h"

using namespace halvsim_test;

namespace {

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char *preload = std::getenv("LD_PRELOAD");
    ASSERT_TRUE(preload && std::strstr(preload, "libhalvsim"))
        << "run these tests with libhalvsim.so in LD_PRELOAD";
    unsetenv("HALVSIM_FAULTS");
    unsetenv("HALVSIM_CLOCK_MS");
  }
  void TearDown() override {
    for (int fd : fds_) close(fd);
  }

  // Seeds the state file from a preset and opens a node of it.
  int Open(const char *preset, const char *node) {
    preset_.reset();  // restores the variable before it is set again
    preset_ = std::make_unique<ScopedEnv>("HALVSIM_PRESET", preset);
    int fd = open(node, O_RDONLY);
    EXPECT_GT(fd, 0) << preset << " " << node;
    fds_.push_back(fd);
    return fd;
  }

  void Tool(const std::string &args) {
    std::string cmd = std::string(HALVSIM_TOOL) + " " + args;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }

  // The trace's ioctl lines.
  std::vector<std::string> Requests() {
    std::vector<std::string> out;
    for (const std::string &l : ReadLines(dir_.file("trace")))
      if (l.rfind("ioctl ", 0) == 0) out.push_back(l);
    return out;
  }

  ScratchDir dir_;
  std::string state_path_ = dir_.file("state");
  ScopedEnv state_{"HALVSIM_STATE", state_path_};
  ScopedEnv trace_{"HALVSIM_TRACE", dir_.file("trace")};
  std::unique_ptr<ScopedEnv> preset_;
  std::vector<int> fds_;
};

TEST_F(DriverTest, CountQueryAnswersTheAdaptersOfTheInterface) {
  struct Case {
    const char *preset;
    uint32_t count;
  } cases[] = {{"one40ld", 1}, {"seven", 7}};
  for (const Case &c : cases) {
    ScratchDir dir;
    ScopedEnv state("HALVSIM_STATE", dir.file("state"));
    int fd = Open(c.preset, "/dev/halvdev0");
    Mimd m;
    uint32_t count = 0;
    EXPECT_EQ(m.Count(fd, &count), 0);
    EXPECT_EQ(count, c.count) << c.preset;
  }
  EXPECT_EQ(Requests().back(),
            "ioctl if=1 node=/dev/halvdev0 req=0x6d00 adapter=- fake=0x82 "
            "sub=0x6d area=000000000000 dir=read out=0 in=4 raw=0,4,0 data=- "
            "result=0 status=0 fault=- errno=0");
}

TEST_F(DriverTest, MailboxCommandsOnTheScsiDiskInterface) {
  int sda = Open("two8ld", "/dev/sda");
  SendCommand s;
  ASSERT_EQ(s.Mailbox(sda, {0x05}, {}, sizeof(HALVORAN_ENQ_8LD)), 0);
  EXPECT_EQ(s.answer()[3], 4);                     // channels
  EXPECT_EQ(s.answer()[1], 30);                    // rebuild rate
  EXPECT_EQ(s.answer()[24], 2);                    // logical drives
  EXPECT_EQ(s.Mailbox(sda, {0x67}, {}, 2204), 1);  // 4-span firmware
  int sdc = Open("two8ld", "/dev/sdc");
  EXPECT_EQ(s.Mailbox(sdc, {0x67}, {}, 2204), 0);
  EXPECT_EQ(s.answer()[0], 1);
  EXPECT_EQ(s.Mailbox(sdc, {0xA1, 0x04}, {}, 0), 1);  // not 40LD
  // A write: the outgoing data follows the 6-byte area.
  EXPECT_EQ(s.Mailbox(sdc, {0x24}, {45, 0, 0, 0}, 0), 0);
  EXPECT_EQ(s.Mailbox(sdc, {0x23}, {}, 4), 0);
  EXPECT_EQ(s.answer()[0], 45);
  std::vector<std::string> lines = Requests();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0],
            "ioctl if=2 node=/dev/sda req=0x1 adapter=0 fake=0x80 sub=- "
            "area=050000000000 dir=read out=0 in=152 raw=64,152,0 data=- "
            "result=0 status=0 fault=- errno=0");
  EXPECT_EQ(lines[1].substr(lines[1].find(" result=")),
            " result=1 status=1 fault=- errno=0");
  EXPECT_EQ(lines[4],
            "ioctl if=2 node=/dev/sdc req=0x1 adapter=1 fake=0x80 sub=- "
            "area=240000000000 dir=write out=4 in=0 raw=68,0,0 data=2d000000 "
            "result=0 status=0 fault=- errno=0");
}

TEST_F(DriverTest, MailboxCommandsOnTheMultiAdapterInterface) {
  int fd = Open("one40ld", "/dev/halvdev0");
  Mimd m;
  ASSERT_EQ(m.Mailbox(fd, 0, {0xA1, 0x0E}, {}, 1024), 0);
  EXPECT_EQ(m.status(), 0);
  EXPECT_EQ(m.data()[121], 3);  // channels
  ASSERT_EQ(m.ByAddress(fd, 0, {0xA1, 0x04}, {}, sizeof(APP_DISC_ARRAY_40LD)),
            0);
  EXPECT_EQ(m.status(), 0);
  EXPECT_EQ(m.data()[0], 2);  // logical drives
  EXPECT_EQ(m.u()->pthru.dataxferlen, sizeof(APP_DISC_ARRAY_40LD));
  ASSERT_EQ(m.Mailbox(fd, 0, {0x05}, {}, 152), 0);
  EXPECT_EQ(m.status(), 1);  // an 8LD command on 40LD firmware
  // Adapter 1 does not exist; nor does an adapno without 'm'.
  EXPECT_EQ(m.Mailbox(fd, 1, {0x7D}, {}, 1), -1);
  EXPECT_EQ(errno, ENODEV);
  m.Clear(HALV_FAKE_MBOX, 0);
  m.u()->ui.fcs.adapno = 0;
  EXPECT_EQ(ioctl(fd, HALV_REQ_MIMD, m.u()), -1);
  std::vector<std::string> lines = Requests();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "ioctl if=1 node=/dev/halvdev0 req=0x6d00 adapter=0 fake=0x80 "
            "sub=- area=a10e00000000 dir=read out=0 in=1024 raw=0,1024,0 "
            "data=- result=0 status=0 fault=- errno=0");
  EXPECT_EQ(lines[1],
            "ioctl if=1 node=/dev/halvdev0 req=0x6d00 adapter=0 fake=0x81 "
            "sub=- area=a10400000000 dir=read out=0 in=25412 raw=0,1,25412 "
            "data=- result=0 status=0 fault=- errno=0");
}

TEST_F(DriverTest, GroupAnswersComeBackWithoutAnIncomingLength) {
  // The 0xA1 group's short reads may name no incoming length: the answer
  // still lands at offset 8, at its own size.
  int fd = Open("one40ld", "/dev/halvdev0");
  Mimd m;
  ASSERT_EQ(m.Mailbox(fd, 0, {0xA1, 0x0F, 1}, {}, 0), 0);
  EXPECT_EQ(m.status(), 0);
  std::vector<std::string> lines = Requests();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" in=0 "), std::string::npos);
  Tool("init -p two8ld --force " + dir_.file("other"));
  ScopedEnv other("HALVSIM_STATE", dir_.file("other"));
  SendCommand s;
  int sda = open("/dev/sda", O_RDONLY);
  ASSERT_GT(sda, 0);
  fds_.push_back(sda);
  EXPECT_EQ(s.Mailbox(sda, {0xA1, 0x0E}, {}, 0), 1);  // 8LD: refused
  Tool("set " + dir_.file("other") + " firmware 3");
  std::memset(s.mem.get() + 8, 0, 2048);
  ASSERT_EQ(s.Mailbox(sda, {0xA1, 0x0E}, {}, 0), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(s.answer()) + 40),
            "QRN Halvoran 8LD 4-span");
}

TEST_F(DriverTest, PassThroughOnBothInterfaces) {
  int fd = Open("faulty", "/dev/halvdev0");
  Mimd m;
  std::vector<uint8_t> inquiry = {0x12, 0, 0, 0, 0x80, 0};
  ASSERT_EQ(m.PassThrough(fd, 0, inquiry, false, 0, 2, 0, 128), 0);
  EXPECT_EQ(m.u()->pthru.scsistatus, 0);
  EXPECT_EQ(m.data()[0], 1);  // the tape at 2:0
  // The library names 40LD devices by number: channel 0, target 0x10 is 1:0.
  ASSERT_EQ(m.PassThrough(fd, 0, inquiry, false, 0, 0, 0x10, 128), 0);
  EXPECT_EQ(m.u()->pthru.scsistatus, 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(m.data()) + 16, 8),
            "DISK 1:0");
  ASSERT_EQ(m.PassThrough(fd, 0, inquiry, false, 0, 2, 9, 128), 0);
  EXPECT_EQ(m.u()->pthru.scsistatus, 0xF0);  // nothing there
  EXPECT_EQ(m.status(), 0xF0);
  std::vector<uint8_t> capacity(10, 0);
  capacity[0] = 0x25;
  ASSERT_EQ(m.PassThrough(fd, 0, capacity, true, 1, 0, 0, 8), 0);
  EXPECT_EQ(m.u()->pthru.scsistatus, 0);
  EXPECT_EQ(m.data()[1], 0x1F);  // drive 1: 2097152 blocks
  EXPECT_EQ(Requests()[0],
            "ioctl if=1 node=/dev/halvdev0 req=0x6d00 adapter=0 fake=0x80 "
            "sub=- area=0300061200000080000b000200 dir=read out=0 in=128 "
            "raw=0,128,0 data=- result=0 status=0 fault=- errno=0");

  ScratchDir dir;
  ScopedEnv state("HALVSIM_STATE", dir.file("state"));
  int sda = Open("two8ld", "/dev/sda");
  SendCommand s;
  EXPECT_EQ(s.PassThrough(sda, inquiry, 0x0B, 0, 0, 1, 128), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(s.answer()) + 16, 8),
            "DISK 0:1");
  EXPECT_EQ(s.PassThrough(sda, inquiry, 0x0B, 0, 3, 0, 128), 0xF0);
}

TEST_F(DriverTest, PassThroughDataGoesOutOnBothInterfaces) {
  std::vector<uint8_t> write_buffer(10, 0), read_buffer(10, 0);
  write_buffer[0] = 0x3B;
  read_buffer[0] = 0x3C;
  int fd = Open("one40ld", "/dev/halvdev0");
  Mimd m;
  ASSERT_EQ(m.PassThrough(fd, 0, write_buffer, false, 0, 0, 0x02, 0, {9, 8, 7}),
            0);
  EXPECT_EQ(m.u()->pthru.scsistatus, 0);
  ASSERT_EQ(m.PassThrough(fd, 0, read_buffer, false, 0, 0, 0x02, 3), 0);
  EXPECT_EQ(std::vector<uint8_t>(m.data(), m.data() + 3),
            (std::vector<uint8_t>{9, 8, 7}));

  ScratchDir dir;
  ScopedEnv state("HALVSIM_STATE", dir.file("state"));
  int sda = Open("two8ld", "/dev/sda");
  SendCommand s;
  // The outgoing data follows the 17-byte area of a 10-byte block.
  ASSERT_EQ(s.PassThrough(sda, write_buffer, 0x08, 0, 0, 2, 0, {1, 2, 3, 4}),
            0);
  ASSERT_EQ(s.PassThrough(sda, read_buffer, 0x08, 0, 0, 2, 4), 0);
  EXPECT_EQ(std::vector<uint8_t>(s.answer(), s.answer() + 4),
            (std::vector<uint8_t>{1, 2, 3, 4}));
  std::vector<std::string> lines = Requests();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines[lines.size() - 2].find(
                " area=03000a3b00000000000000000008000002 dir=write out=4 in=0 "
                "raw=68,0,0 data=01020304 "),
            std::string::npos)
      << lines[lines.size() - 2];
}

TEST_F(DriverTest, ProbeHostWritesTheHostText) {
  int sda = Open("two8ld", "/dev/sda");
  char buf[2048];
  std::memset(buf, 'x', sizeof buf);
  uint32_t len = sizeof buf;
  std::memcpy(buf, &len, 4);
  EXPECT_EQ(ioctl(sda, HALV_REQ_PROBE_HOST, buf), 1);
  EXPECT_EQ(std::string(buf, 12), "QRN Halvoran");
  // A short buffer gets only what fits.
  std::memset(buf, 'x', sizeof buf);
  len = 5;
  std::memcpy(buf, &len, 4);
  EXPECT_EQ(ioctl(sda, HALV_REQ_PROBE_HOST, buf), 1);
  EXPECT_EQ(std::string(buf, 6), "QRN Hx");
  // The multi-adapter node knows no probe.
  Tool("init -p one40ld --force " + dir_.file("other"));
  ScopedEnv other("HALVSIM_STATE", dir_.file("other"));
  int mimd = open("/dev/halvdev0", O_RDONLY);
  fds_.push_back(mimd);
  EXPECT_EQ(ioctl(mimd, HALV_REQ_PROBE_HOST, buf), -1);
  EXPECT_EQ(errno, ENOTTY);
}

TEST_F(DriverTest, StateIsSharedWithOtherProcesses) {
  int fd = Open("one40ld", "/dev/halvdev0");
  Mimd m;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child's request changes the adapter for everyone.
    int r = m.Mailbox(fd, 0, {0x24}, {88, 0, 0, 0}, 0);
    _exit(r == 0 && m.status() == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(m.Mailbox(fd, 0, {0x23}, {}, 4), 0);
  EXPECT_EQ(m.data()[0], 88);
  EXPECT_NE(ReadFile(state_path_).find("rebuild-rate 88\n"), std::string::npos);
  // And an edit of the file by the tool reaches this process.
  Tool("set " + state_path_ + " rebuild-rate 12");
  ASSERT_EQ(m.Mailbox(fd, 0, {0x23}, {}, 4), 0);
  EXPECT_EQ(m.data()[0], 12);
}

TEST_F(DriverTest, FaultsFireFromTheNthOccurrence) {
  int sda = Open("two8ld", "/dev/sda");
  Tool("fault " + state_path_ + " add op=0x7d from=2 times=2 status=3");
  Tool("fault " + state_path_ + " add op=0x23 data=0:63");
  SendCommand s;
  std::vector<int> results;
  for (int i = 0; i < 4; ++i) results.push_back(s.Mailbox(sda, {0x7D}, {}, 1));
  EXPECT_EQ(results, (std::vector<int>{0, 3, 3, 0}));
  EXPECT_EQ(s.Mailbox(sda, {0x23}, {}, 4), 0);
  EXPECT_EQ(s.answer()[0], 0x63);
  // Occurrences are counted in the state file, across processes.
  Tool("fault " + state_path_ + " clear");
  Tool("fault " + state_path_ + " add op=0x0a from=2 fail");
  pid_t child = fork();
  if (child == 0) _exit(s.Mailbox(sda, {0x0A}) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(s.Mailbox(sda, {0x0A}), -1);
  EXPECT_EQ(errno, EIO);
  std::vector<std::string> lines = Requests();
  EXPECT_NE(lines.back().find(" result=-1 status=- fault=fail errno=EIO"),
            std::string::npos)
      << lines.back();
  // Rules from the environment count in this process only.
  Tool("fault " + state_path_ + " clear");
  ScopedEnv env("HALVSIM_FAULTS",
                "op=0x82 sub=0x6d fail; op=3 sub=0x12 dev=0:1 status=2");
  EXPECT_EQ(s.Mailbox(sda, {0x82, 0x6D}, {}, 4), -1);
  std::vector<uint8_t> inquiry = {0x12, 0, 0, 0, 0x80, 0};
  EXPECT_EQ(s.PassThrough(sda, inquiry, 0x0B, 0, 0, 1, 128), 2);
  EXPECT_EQ(s.PassThrough(sda, inquiry, 0x0B, 0, 0, 0, 128), 0);
}

TEST_F(DriverTest, LongOperationsProgressWithTheClock) {
  int fd = Open("faulty", "/dev/halvdev0");
  Tool("op " + state_path_ + " rebuild dev=0:1 start=100000 duration=1000");
  Mimd m;
  struct Step {
    const char *now;
    uint8_t progress;
  } steps[] = {{"100000", 0}, {"100333", 33}, {"100999", 99}, {"101000", 100}};
  for (const Step &s : steps) {
    ScopedEnv clock("HALVSIM_CLOCK_MS", s.now);
    ASSERT_EQ(m.Mailbox(fd, 0, {0x18, 0, 0x01}, {}, 4), 0);
    EXPECT_EQ(m.data()[0], s.progress) << s.now;
  }
  // Done: the disk is online and the drive optimal again.
  ASSERT_EQ(m.Mailbox(fd, 0, {0xA1, 0x0F, 2}, {}, sizeof(HALVORAN_ENQ3_40LD)),
            0);
  auto *enq3 = reinterpret_cast<const HALVORAN_ENQ3_40LD *>(m.data());
  EXPECT_EQ(enq3->achPhyDrvState[0x01], 3);
  EXPECT_EQ(enq3->aulLogDrvState[0], 2);
}

TEST_F(DriverTest, FlashDownloadIsRecorded) {
  int fd = Open("one40ld", "/dev/halvdev0");
  Mimd m;
  std::vector<uint8_t> image(256 * 4096);
  for (size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<uint8_t>(i * 7 + i / 4096);
  for (int i = 0; i < 256; ++i) {
    uint8_t b = static_cast<uint8_t>(i);
    std::vector<uint8_t> block(image.begin() + i * 4096,
                               image.begin() + (i + 1) * 4096);
    ASSERT_EQ(m.ByAddress(fd, 0, {0x2C, b, b, 0, 0, 0, b}, block, 4096), 0);
    ASSERT_EQ(m.status(), 0) << i;
  }
  ASSERT_EQ(m.ByAddress(fd, 0, {0x2D, 0x83, 0x83, 0, 0, 0, 0x83},
                        std::vector<uint8_t>(8, 0), 8),
            0);
  EXPECT_EQ(m.status(), 0);
  std::string flash = ReadFile(state_path_ + ".flash0");
  EXPECT_TRUE(flash == std::string(image.begin(), image.end()));
  Tool("flash " + state_path_ + " " + dir_.file("copy"));
  EXPECT_TRUE(ReadFile(dir_.file("copy")) == flash);
  EXPECT_NE(ReadFile(state_path_).find("flash-closes 1\n"), std::string::npos);
  EXPECT_EQ(Requests()[0].rfind(
                "ioctl if=1 node=/dev/halvdev0 req=0x6d00 adapter=0 fake=0x81 "
                "sub=- area=2c000000000000 dir=write out=4096 in=0 "
                "raw=1,0,4096 data=00070e151c",
                0),
            0u);
  EXPECT_NE(Requests()[0].find("... result=0 status=0"), std::string::npos);
}

// Each case spoils one address of an otherwise good request.
TEST_F(DriverTest, BadAddressesFailTheRequestWithoutHarm) {
  int mimd = Open("one40ld", "/dev/halvdev0");
  Tool("init -p two8ld --force " + dir_.file("disks"));
  // A low address that nothing can read or write. It stays reserved: an
  // unmapped page could be handed out again to the request's own buffers.
  LowMemory gone(4096);
  uint32_t gone_addr = gone.addr();
  ASSERT_EQ(0, mprotect(gone.get(), 4096, PROT_NONE));
  LowMemory readonly(8192);
  mprotect(readonly.get(), 8192, PROT_READ);
  uint64_t high = reinterpret_cast<uintptr_t>(&gone_addr);  // the stack

  struct MimdCase {
    const char *what;
    void (*spoil)(Mimd &, uint32_t gone, uint32_t readonly, uint64_t high);
  } mimd_cases[] = {
      {"data unmapped",
       [](Mimd &m, uint32_t g, uint32_t, uint64_t) { m.u()->data.addr = g; }},
      {"data zero",
       [](Mimd &m, uint32_t, uint32_t, uint64_t) { m.u()->data.addr = 0; }},
      {"data read-only",
       [](Mimd &m, uint32_t, uint32_t r, uint64_t) { m.u()->data.addr = r; }},
      {"data above 4 GiB",
       [](Mimd &m, uint32_t, uint32_t, uint64_t h) {
         std::memcpy(m.u()->data.pad, &h, 8);
       }},
      {"data truncated",
       [](Mimd &m, uint32_t, uint32_t, uint64_t h) {
         m.u()->data.addr = static_cast<uint32_t>(h);
       }},
  };
  for (const auto &c : mimd_cases) {
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__)
#define HALVSIM_TEST_UNDER_ASAN 1
#elif __has_feature(address_sanitizer)
#define HALVSIM_TEST_UNDER_ASAN 1
#endif
#endif
#ifdef HALVSIM_TEST_UNDER_ASAN
    // AddressSanitizer maps its shadow memory from 0x7fff8000 up: a stack
    // address cut to 32 bits may land there, in readable memory.
    if (std::strcmp(c.what, "data truncated") == 0) continue;
#endif
    Mimd m;
    m.Clear(HALV_FAKE_MBOX, 0);
    m.Area({0xA1, 0x0E});
    m.u()->outlen = 1024;
    m.u()->data.addr = m.data_addr();
    c.spoil(m, gone_addr, readonly.addr(), high);
    EXPECT_EQ(ioctl(mimd, HALV_REQ_MIMD, m.u()), -1) << c.what;
    EXPECT_EQ(errno, EFAULT) << c.what;
  }
  {
    Mimd m;  // by address, to nowhere
    m.ByAddress(mimd, 0, {0xA1, 0x04}, {}, 25412);
    m.u()->ui.fcs.u.buffer = gone_addr;
    EXPECT_EQ(ioctl(mimd, HALV_REQ_MIMD, m.u()), -1);
    EXPECT_EQ(errno, EFAULT);
    // A pass-through record nowhere, and a transfer address nowhere.
    m.PassThrough(mimd, 0, {0x12, 0, 0, 0, 0x80, 0}, false, 0, 0, 0, 128);
    std::memcpy(&m.u()->mbox[HALV_MBOX_PTHRU_ADDR], &gone_addr, 4);
    EXPECT_EQ(ioctl(mimd, HALV_REQ_MIMD, m.u()), -1);
    m.PassThrough(mimd, 0, {0x12, 0, 0, 0, 0x80, 0}, false, 0, 0, 0, 128);
    m.u()->pthru.dataxferaddr = readonly.addr();
    EXPECT_EQ(ioctl(mimd, HALV_REQ_MIMD, m.u()), -1);
    EXPECT_EQ(errno, EFAULT);
  }
  EXPECT_EQ(ioctl(mimd, HALV_REQ_MIMD, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  EXPECT_EQ(ioctl(mimd, HALV_REQ_MIMD,
                  reinterpret_cast<void *>(uintptr_t{gone_addr})),
            -1);

  ScopedEnv disks("HALVSIM_STATE", dir_.file("disks"));
  int sda = open("/dev/sda", O_RDONLY);
  ASSERT_GT(sda, 0);
  fds_.push_back(sda);
  SendCommand s;
  EXPECT_EQ(s.LongWrite(sda, {0x20}, gone_addr, 1436), -1);
  EXPECT_EQ(errno, EFAULT);
  EXPECT_EQ(s.LongWrite(sda, {0x20}, 0, 1436), -1);
  EXPECT_EQ(ioctl(sda, HALV_REQ_SEND_COMMAND, readonly.get()), -1);
  EXPECT_EQ(ioctl(sda, HALV_REQ_SEND_COMMAND, nullptr), -1);
  EXPECT_EQ(ioctl(sda, HALV_REQ_PROBE_HOST, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  // Lengths beyond the request buffer are refused too.
  EXPECT_EQ(s.LongRead(sda, {0x07}, 40000), -1);
  EXPECT_EQ(errno, EINVAL);
  // Nothing was harmed: good requests still work on both nodes.
  EXPECT_EQ(s.Mailbox(sda, {0x05}, {}, 152), 0);
  ScopedEnv back("HALVSIM_STATE", state_path_);
  Mimd m;
  EXPECT_EQ(m.Mailbox(mimd, 0, {0x7D}, {}, 1), 0);
  EXPECT_EQ(m.data()[0], 7);
  std::vector<std::string> lines = Requests();
  EXPECT_NE(lines[0].find(" result=-1 status=- fault=- errno=EFAULT"),
            std::string::npos)
      << lines[0];
}

// Whatever bytes the library sends, the simulator answers and stays whole.
TEST_F(DriverTest, ArbitraryRecordsNeverCrashIt) {
  int mimd = Open("one40ld", "/dev/halvdev0");
  Tool("init -p two8ld --force " + dir_.file("disks"));
  unsetenv("HALVSIM_TRACE");
  LowMemory buf(2 * sizeof(UserIoctl_Struct));
  uint32_t seed = 2024;
  auto next = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return seed;
  };
  // Addresses inside the buffer, nowhere, or anything at all.
  auto address = [&]() -> uint32_t {
    switch (next() % 4) {
      case 0:
        return buf.addr(next() % sizeof(UserIoctl_Struct));
      case 1:
        return 0;
      case 2:
        return next();
      default:
        return buf.addr(8);
    }
  };
  for (int round = 0; round < 3000; ++round) {
    for (size_t i = 0; i < 256; ++i)
      buf.get()[i] = static_cast<uint8_t>(next());
    uioctl_t *u = reinterpret_cast<uioctl_t *>(buf.get());
    if (next() % 2)
      u->ui.fcs.adapno = static_cast<uint16_t>(0x6D00 | (next() % 2));
    if (next() % 2) u->ui.fcs.opcode = static_cast<uint8_t>(0x80 + next() % 3);
    if (next() % 2)
      u->data.addr = address(), std::memset(u->data.pad + 4, 0, 4);
    if (next() % 2)
      u->ui.fcs.u.buffer = address(), std::memset(u->ui.fcs.u.pad + 4, 0, 4);
    if (next() % 3 == 0) {
      u->inlen %= 40000;
      u->outlen %= 40000;
      u->ui.fcs.length %= 40000;
    }
    ioctl(mimd, HALV_REQ_MIMD, buf.get());
  }
  ScopedEnv disks("HALVSIM_STATE", dir_.file("disks"));
  int sda = open("/dev/sda", O_RDONLY);
  ASSERT_GT(sda, 0);
  fds_.push_back(sda);
  for (int round = 0; round < 3000; ++round) {
    for (size_t i = 0; i < 64; ++i) buf.get()[i] = static_cast<uint8_t>(next());
    UserIoctl_Struct *s = reinterpret_cast<UserIoctl_Struct *>(buf.get());
    s->OutGoingDataLen = 64 + next() % 5000;
    s->InComingDataLen = next() % 5000;
    if (next() % 2) s->fakecmd.opcode = static_cast<uint8_t>(0x80 + next() % 3);
    if (next() % 2) s->fakecmd.buffer = address();
    s->fakecmd.length = next() % 30000;
    unsigned long request =
        next() % 3 == 0 ? HALV_REQ_PROBE_HOST : HALV_REQ_SEND_COMMAND;
    ioctl(sda, request, buf.get());
  }
  // Both state files are still valid scenarios: a request answers.
  SendCommand s;
  EXPECT_GE(s.Mailbox(sda, {0x61}, {}, 4), 0);
  ScopedEnv back("HALVSIM_STATE", state_path_);
  Mimd m;
  uint32_t count = 0;
  EXPECT_EQ(m.Count(mimd, &count), 0);
  EXPECT_EQ(count, 1u);
}

}  // namespace

namespace {

// What a real driver refuses: a length, a direction or a block length that
// does not fit the command. Each case is refused with EINVAL and changes
// nothing; the same command in its right shape is answered.
TEST_F(DriverTest, RequestsOfTheWrongShapeAreRefused) {
  int sda = Open("two8ld", "/dev/sda");
  SendCommand s;
  struct Case {
    const char *what;
    std::function<int()> send;
  };
  const Case cases[] = {
      {"0x07 read of 1396 bytes",
       [&] { return s.Mailbox(sda, {0x07}, {}, 1396); }},
      {"0x07 with data going out",
       [&] { return s.Mailbox(sda, {0x07}, std::vector<uint8_t>(4), 1436); }},
      {"0x24 without its 4 bytes",
       [&] { return s.Mailbox(sda, {0x24}, {50}); }},
      {"0x24 read back", [&] { return s.Mailbox(sda, {0x24}, {}, 4); }},
      {"0x08 carrying data",
       [&] {
         return s.Mailbox(sda, {0x08, 0, 1}, {}, 4);
       }},
      {"0x60 of the 40LD size on 8LD",
       [&] { return s.Mailbox(sda, {0x60}, std::vector<uint8_t>(40), 40); }},
      {"inline data of 30000 bytes",
       [&] { return s.Mailbox(sda, {0x07}, {}, 30000); }},
      {"INQUIRY in a 10-byte block",
       [&] {
         return s.PassThrough(sda, {0x12, 0, 0, 0, 0x80, 0, 0, 0, 0, 0}, 0x0B,
                              0, 0, 0, 128);
       }},
      {"READ CAPACITY in a 6-byte block",
       [&] {
         return s.PassThrough(sda, {0x25, 0, 0, 0, 0, 0}, 0x0B, 0, 0, 0, 8);
       }},
      {"INQUIRY sending data",
       [&] {
         return s.PassThrough(sda, {0x12, 0, 0, 0, 0x80, 0}, 0x0B, 0, 0, 0, 0,
                              std::vector<uint8_t>(16));
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    errno = 0;
    EXPECT_EQ(-1, c.send());
    EXPECT_EQ(EINVAL, errno);
  }
  // The rebuild rate never changed; the right shapes are answered.
  ASSERT_EQ(0, s.Mailbox(sda, {0x23}, {}, 4));
  EXPECT_EQ(30, s.answer()[0]);
  EXPECT_EQ(0, s.Mailbox(sda, {0x07}, {}, 1436));
  EXPECT_EQ(0,
            s.PassThrough(sda, {0x12, 0, 0, 0, 0x80, 0}, 0x0B, 0, 0, 0, 128));
  for (const std::string &l : Requests()) {
    if (l.find("result=-1") != std::string::npos) {
      EXPECT_NE(std::string::npos, l.find("errno=EINVAL")) << l;
    }
  }
}

// A status that comes with data hands over both.
TEST_F(DriverTest, AnswerWithAStatusIsWrittenBack) {
  int fd = Open("degraded", "/dev/halvdev0");
  Tool("op " + state_path_ + " check ld=0 start=1700000000000 duration=60000");
  ScopedEnv clock("HALVSIM_CLOCK_MS", "1700000030000");
  Mimd m;
  ASSERT_EQ(0, m.Mailbox(fd, 0, {0x19, 0}, {}, 4));
  EXPECT_EQ(1, m.status());
  EXPECT_EQ(50, m.data()[0]);
}

// The line of a state text that starts with prefix ("" when none does).
std::string LineOf(const std::string &text, const std::string &prefix) {
  const size_t at = text.find("\n" + prefix);
  if (at == std::string::npos) return "";
  return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

// The presets and what the tool does to their disks.
TEST_F(DriverTest, PresetsAndDiskChanges) {
  for (const char *preset : {"raid5", "degraded", "rebuilding", "mixed"}) {
    SCOPED_TRACE(preset);
    Tool(std::string("init -p ") + preset + " --force " + dir_.file(preset));
    const std::string text = ReadFile(dir_.file(preset));
    EXPECT_NE(std::string::npos, text.find("raid=5")) << text;
  }
  const std::string mixed = ReadFile(dir_.file("mixed"));
  for (const char *fw : {"firmware 1", "firmware 2", "firmware 3"})
    EXPECT_NE(std::string::npos, mixed.find(fw)) << fw;
  EXPECT_NE(std::string::npos,
            ReadFile(dir_.file("rebuilding")).find("op rebuild"));
  EXPECT_NE(
      std::string::npos,
      LineOf(ReadFile(dir_.file("degraded")), "device 0:1 ").find(" state=4 "));

  const std::string file = dir_.file("raid5");
  Tool("fail " + file + " 0:2");
  EXPECT_NE(std::string::npos,
            LineOf(ReadFile(file), "device 0:2 ").find(" state=4 "));
  Tool("pull " + file + " 0:0");
  EXPECT_EQ(std::string::npos, ReadFile(file).find("device 0:0 "));
  Tool("insert " + file + " 0:0 sectors=2097152");
  EXPECT_NE(std::string::npos, ReadFile(file).find("device 0:0 "));
  EXPECT_NE(std::string::npos, ReadFile(file).find("sectors=2097152"));
  // No slot holds two disks; 8LD adapters have no target 15.
  const std::string twice =
      std::string(HALVSIM_TOOL) + " insert " + file + " 0:0 2>/dev/null";
  EXPECT_NE(0, std::system(twice.c_str()));
  Tool("init -p two8ld --force " + dir_.file("eight"));
  const std::string fifteen = std::string(HALVSIM_TOOL) + " insert " +
                              dir_.file("eight") + " 0:15 2>/dev/null";
  EXPECT_NE(0, std::system(fifteen.c_str()));
}

}  // namespace
