// Opcode 1000 of ExecuteCmd takes its data address from the pass-through
// record's 32-bit field. An ordinary heap buffer of a 64-bit process does
// not fit there: the caller gets its data or -11, and the process lives on.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/IoctlPass.h"
#include "core/tests/LibSimScenario.h"
#include "hvapi.h"

namespace {

using libsim::LibSimTest;

// INQUIRY of device 0:0 into the address addr.
PassThru_Struct Inquiry(uintptr_t addr) {
  PassThru_Struct rec;
  std::memset(&rec, 0, sizeof rec);
  rec.CdbLength = 6;
  rec.Cdb[0] = 0x12;
  rec.Cdb[4] = 128;
  rec.DataTransferAddress = static_cast<Int>(static_cast<uint32_t>(addr));
  rec.DataTransferLength = 128;
  return rec;
}

class GenericPassThruTest : public LibSimTest {
 protected:
  void SetUp() override {
    LibSimTest::SetUp();
    UsePreset("one40ld");
    Start();
  }

  // Opcode 1000 reading 128 bytes to addr.
  static Int ReadInto(uintptr_t addr) {
    PassThru_Struct rec = Inquiry(addr);
    return ExecuteCmd(0, 1000, 0, reinterpret_cast<char *>(&rec),
                      HVAPI_DIR_READ, 128);
  }
};

TEST_F(GenericPassThruTest, LowBufferGetsItsData) {
  void *low = mmap(nullptr, 4096, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  ASSERT_NE(MAP_FAILED, low);
  ASSERT_EQ(0, ReadInto(reinterpret_cast<uintptr_t>(low)));
  EXPECT_EQ(0, std::memcmp("HALVSIM", static_cast<char *>(low) + 8, 7));
  munmap(low, 4096);
}

// Whether anything in this process maps the page holding addr.
bool Mapped(uintptr_t addr) {
  const uintptr_t page = addr & ~uintptr_t{4095};
  return msync(reinterpret_cast<void *>(page), 4096, MS_ASYNC) == 0 ||
         errno != ENOMEM;
}

// Heap and stack buffers, both directions: data or -11, never a crash.
TEST_F(GenericPassThruTest, CutAddressesGiveDataOrACode) {
  std::unique_ptr<char[]> heap(new char[4096]());
  char stack[4096] = {};
  for (char *buffer : {heap.get(), stack}) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(buffer);
    // A cut address that happens to land on something mapped (a sanitizer's
    // shadow memory, another library) would really be written to, as by the
    // adapter: only the unmapped case has a defined answer.
    if (at >> 32 != 0 && Mapped(at & 0xFFFFFFFFu)) continue;
    const Int read = ReadInto(at);
    if (at >> 32 == 0) {
      EXPECT_EQ(0, read);
      EXPECT_EQ(0, std::memcmp("HALVSIM", buffer + 8, 7));
    } else {
      EXPECT_EQ(HVAPI_ERR_CMD_FAILED, read);
    }
    // A WRITE BUFFER from the same place.
    PassThru_Struct rec = Inquiry(at);
    rec.CdbLength = 10;
    std::memset(rec.Cdb, 0, sizeof rec.Cdb);
    rec.Cdb[0] = 0x3B;
    rec.Cdb[8] = 16;
    rec.DataTransferLength = 16;
    const Int wrote = ExecuteCmd(0, 1000, 0, reinterpret_cast<char *>(&rec),
                                 HVAPI_DIR_WRITE, 16);
    EXPECT_TRUE(wrote == 0 || wrote == HVAPI_ERR_CMD_FAILED) << wrote;
  }
  // A pointer above 4 GiB cut to a low address that nothing maps.
  void *none = mmap(nullptr, 4096, PROT_NONE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  ASSERT_NE(MAP_FAILED, none);
  const uintptr_t cut =
      reinterpret_cast<uintptr_t>(none) | (uintptr_t{1} << 40);
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, ReadInto(cut));
  munmap(none, 4096);
  // The library still works.
  EXPECT_EQ(HVAPI_FW_40LD, GetFirmwareType(0));
}

// A cut address may land on the library's own request buffer: refused, and
// the buffer is not overwritten with the answer.
TEST_F(GenericPassThruTest, LibraryBuffersAreNeverTheCallersData) {
  UserIoctl_Struct *sdata = RequestBuffer();
  ASSERT_NE(nullptr, sdata);
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED,
            ReadInto(reinterpret_cast<uintptr_t>(sdata) + 1024));
  EXPECT_EQ(HVAPI_FW_40LD, GetFirmwareType(0));
}

// 0xF4 (WRITE BUFFER and READ BUFFER) is bounded like opcode 1000: longer
// data would go out by address as a malformed command.
TEST_F(GenericPassThruTest, BufferCommandAboveAPageIsRefused) {
  std::unique_ptr<uint8_t[]> data(new uint8_t[12 + 8192]());
  data[0] = 0x3B;
  EXPECT_EQ(
      HVAPI_ERR_CMD_FAILED,
      ExecuteCmd(0, 0xF4, 0, reinterpret_cast<char *>(data.get()), 10, 4097));
  EXPECT_TRUE(Commands(Trace(), "03").empty());
  EXPECT_EQ(0, ExecuteCmd(0, 0xF4, 0, reinterpret_cast<char *>(data.get()), 10,
                          4096));
}

}  // namespace
