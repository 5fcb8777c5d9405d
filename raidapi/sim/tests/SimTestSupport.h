// Helpers shared by the simulator's tests: a scratch directory, environment
// settings undone at the end of a test, memory below 4 GiB for the records
// that travel by address, and the two request records filled as the
// library fills them.
#ifndef HALVSIM_TESTS_SIM_TEST_SUPPORT_H
#define HALVSIM_TESTS_SIM_TEST_SUPPORT_H

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/DriverRecords.h"
#include "testsupport/ScratchDir.h"

namespace halvsim_test {

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char *name, const std::string &value) : name_(name) {
    const char *old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char *name_;
  bool had_ = false;
  std::string old_;
};

// Anonymous memory below 4 GiB, as the library allocates what it hands over
// by address.
class LowMemory {
 public:
  explicit LowMemory(size_t size) : size_(size) {
    void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    base_ = p == MAP_FAILED ? nullptr : static_cast<uint8_t *>(p);
  }
  ~LowMemory() {
    if (base_) munmap(base_, size_);
  }
  uint8_t *get() const { return base_; }
  uint32_t addr(size_t offset = 0) const {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base_ + offset));
  }

 private:
  uint8_t *base_;
  size_t size_;
};

inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> ReadLines(const std::string &path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// A request buffer (sdata) in low memory, filled as the transport fills it
// for interface 2.
struct SendCommand {
  LowMemory mem{sizeof(UserIoctl_Struct)};
  UserIoctl_Struct *s() {
    return reinterpret_cast<UserIoctl_Struct *>(mem.get());
  }

  // A mailbox command: area, outgoing data, bytes to read back.
  int Mailbox(int fd, std::vector<uint8_t> area,
              const std::vector<uint8_t> &out = {}, uint32_t in = 0) {
    std::memset(s(), 0, sizeof(UserIoctl_Struct));
    area.resize(6, 0);
    s()->OutGoingDataLen =
        HALV_OUTGOING_BASE + static_cast<uint32_t>(out.size());
    s()->InComingDataLen = in;
    s()->fakecmd.opcode = area[0] == 0x82 ? 0x82 : 0x80;
    std::memcpy(s()->cmd, area.data(), area.size());
    if (!out.empty())
      std::memcpy(s()->cmd + area.size(), out.data(), out.size());
    return ioctl(fd, HALV_REQ_SEND_COMMAND, s());
  }

  // A read of more than 4096 bytes: the data comes back by address to
  // offset 8 of the buffer itself.
  int LongRead(int fd, std::vector<uint8_t> area, uint32_t len) {
    std::memset(s(), 0, sizeof(UserIoctl_Struct));
    area.resize(6, 0);
    s()->OutGoingDataLen = HALV_OUTGOING_BASE;
    s()->fakecmd.opcode = HALV_FAKE_MBOX_BY_ADDR;
    s()->fakecmd.buffer = mem.addr(HALV_INCOMING_OFFSET);
    s()->fakecmd.length = len;
    std::memcpy(s()->cmd, area.data(), area.size());
    return ioctl(fd, HALV_REQ_SEND_COMMAND, s());
  }

  // A long write: the data lies at buffer (an address below 4 GiB).
  int LongWrite(int fd, std::vector<uint8_t> area, uint32_t buffer,
                uint32_t len) {
    std::memset(s(), 0, sizeof(UserIoctl_Struct));
    s()->OutGoingDataLen = HALV_OUTGOING_BASE;
    s()->fakecmd.opcode = HALV_FAKE_MBOX_BY_ADDR;
    s()->fakecmd.buffer = buffer;
    s()->fakecmd.length = len;
    std::memcpy(s()->cmd, area.data(), area.size());
    return ioctl(fd, HALV_REQ_SEND_COMMAND, s());
  }

  // A pass-through area: 3, 0, length, block, flags, drive, channel, target.
  int PassThrough(int fd, std::vector<uint8_t> cdb, uint8_t flags, uint8_t ld,
                  uint8_t channel, uint8_t target, uint32_t in,
                  const std::vector<uint8_t> &out = {}) {
    std::memset(s(), 0, sizeof(UserIoctl_Struct));
    std::vector<uint8_t> area = {3, 0, static_cast<uint8_t>(cdb.size())};
    area.insert(area.end(), cdb.begin(), cdb.end());
    area.insert(area.end(), {flags, ld, channel, target});
    s()->OutGoingDataLen =
        HALV_OUTGOING_BASE + static_cast<uint32_t>(out.size());
    s()->InComingDataLen = in;
    s()->fakecmd.opcode = HALV_FAKE_MBOX;
    std::memcpy(s()->cmd, area.data(), area.size());
    if (!out.empty())
      std::memcpy(s()->cmd + area.size(), out.data(), out.size());
    return ioctl(fd, HALV_REQ_SEND_COMMAND, s());
  }

  const uint8_t *answer() { return mem.get() + HALV_INCOMING_OFFSET; }
};

// A uioctl_t and its data buffer in low memory, filled as the transport
// fills them for interface 1.
struct Mimd {
  LowMemory mem{sizeof(uioctl_t) + 65536};
  uioctl_t *u() { return reinterpret_cast<uioctl_t *>(mem.get()); }
  uint8_t *data() { return mem.get() + 4096; }
  uint32_t data_addr() { return mem.addr(4096); }

  void Clear(uint8_t fake, uint8_t adapter) {
    std::memset(u(), 0, sizeof(uioctl_t));
    u()->ui.fcs.opcode = fake;
    u()->ui.fcs.adapno = static_cast<uint16_t>(HALV_MIMD_ADAPNO_BASE | adapter);
  }

  void Area(std::vector<uint8_t> area) {
    area.resize(16, 0);
    u()->mbox[0] = area[0];
    for (size_t i = 1; i < 16; ++i) u()->mbox[i + 1] = area[i];
  }

  // A mailbox command with the data inside the record's buffer (0x80).
  int Mailbox(int fd, uint8_t adapter, std::vector<uint8_t> area,
              const std::vector<uint8_t> &out = {}, uint32_t in = 0) {
    Clear(HALV_FAKE_MBOX, adapter);
    Area(std::move(area));
    u()->inlen = static_cast<uint32_t>(out.size());
    u()->outlen = in;
    u()->data.addr = data_addr();
    std::memset(data(), 0, 65536);
    if (!out.empty()) std::memcpy(data(), out.data(), out.size());
    return ioctl(fd, HALV_REQ_MIMD, u());
  }

  // A transfer by address (0x81): write when out is not empty, else read.
  int ByAddress(int fd, uint8_t adapter, std::vector<uint8_t> area,
                const std::vector<uint8_t> &out, uint32_t len) {
    Clear(HALV_FAKE_MBOX_BY_ADDR, adapter);
    Area(std::move(area));
    if (out.empty())
      u()->outlen = 1;
    else
      u()->inlen = 1;
    u()->ui.fcs.u.buffer = data_addr();
    u()->ui.fcs.length = len;
    std::memset(data(), 0, 65536);
    if (!out.empty()) std::memcpy(data(), out.data(), out.size());
    return ioctl(fd, HALV_REQ_MIMD, u());
  }

  // The driver's adapter count query, as discovery sends it.
  int Count(int fd, uint32_t *count) {
    std::memset(u(), 0, sizeof(uioctl_t));
    u()->outlen = 4;
    u()->ui.fcs.opcode = HALV_FAKE_DRIVER_QUERY;
    u()->ui.fcs.subopcode = HALV_QUERY_ADAPTER_COUNT;
    u()->data.addr = data_addr();
    std::memset(data(), 0xEE, 4);
    int r = ioctl(fd, HALV_REQ_MIMD, u());
    std::memcpy(count, data(), 4);
    return r;
  }

  // A pass-through: the record's own pthru, named by mailbox bytes 8-11.
  int PassThrough(int fd, uint8_t adapter, std::vector<uint8_t> cdb,
                  bool logical, uint8_t ld, uint8_t channel, uint8_t target,
                  uint32_t in, const std::vector<uint8_t> &out = {}) {
    Clear(HALV_FAKE_MBOX, adapter);
    u()->mbox[0] = HALV_AREA_PASSTHRU;
    uint32_t pthru = mem.addr(offsetof(uioctl_t, pthru));
    std::memcpy(&u()->mbox[HALV_MBOX_PTHRU_ADDR], &pthru, 4);
    u()->pthru.islogical = logical;
    u()->pthru.ars = 1;
    u()->pthru.timeout = 3;
    u()->pthru.logdrv = ld;
    u()->pthru.channel = channel;
    u()->pthru.target = target;
    u()->pthru.cdblen = static_cast<uint8_t>(cdb.size());
    std::memcpy(u()->pthru.cdb, cdb.data(), cdb.size());
    u()->pthru.scsistatus = 0xFF;
    u()->pthru.dataxferaddr = data_addr();
    u()->pthru.dataxferlen =
        out.empty() ? in : static_cast<uint32_t>(out.size());
    u()->outlen = in;
    u()->inlen = static_cast<uint32_t>(out.size());
    std::memset(data(), 0, 65536);
    if (!out.empty()) std::memcpy(data(), out.data(), out.size());
    return ioctl(fd, HALV_REQ_MIMD, u());
  }

  uint8_t status() { return u()->mbox[HALV_MBOX_STATUS]; }
};

}  // namespace halvsim_test

#endif  // HALVSIM_TESTS_SIM_TEST_SUPPORT_H
