// Buffers handed to the driver by address lie below 4 GiB, and a pointer
// that does not fit a 32-bit field is refused rather than cut.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/IoctlPass.h"
#include "core/LowMemory.h"

namespace {

bool Below4GiB(const void *p, size_t size) {
  const uint64_t start = reinterpret_cast<uintptr_t>(p);
  return start + size <= (uint64_t{1} << 32);
}

TEST(TransportLowMemory, AllocationsLieBelow4GiBAndStartZeroed) {
  for (size_t size :
       {size_t{1}, size_t{110}, size_t{4096}, size_t{32820}, size_t{1} << 20}) {
    auto *p = static_cast<uint8_t *>(LowAlloc(size));
    ASSERT_NE(nullptr, p) << size;
    EXPECT_TRUE(Below4GiB(p, size)) << size;
    EXPECT_EQ(0, p[0]);
    EXPECT_EQ(0, p[size - 1]);
    LowFree(p, size);
  }
  EXPECT_EQ(nullptr, LowAlloc(0));
}

TEST(TransportLowMemory, LibraryRecordsLieBelow4GiB) {
  EXPECT_TRUE(Below4GiB(RequestBuffer(), sizeof(UserIoctl_Struct)));
  EXPECT_TRUE(Below4GiB(MimdRecord(), sizeof(uioctl_t)));
}

TEST(TransportLowMemory, DriverAddressRefusesWhatDoesNotFit) {
  struct Case {
    uint64_t address;
    bool fits;
  } cases[] = {
      {0, true},
      {0x1000, true},
      {0xFFFFFFFFu, true},
      {uint64_t{1} << 32, false},
      {0x7FFF12345678u, false},
  };
  for (const Case &c : cases) {
    uint32_t out = 0xABCDEF01;
    const void *p =
        reinterpret_cast<const void *>(static_cast<uintptr_t>(c.address));
    EXPECT_EQ(c.fits, ToDriverAddress(p, &out)) << std::hex << c.address;
    EXPECT_EQ(c.fits ? static_cast<uint32_t>(c.address) : 0xABCDEF01u, out);
  }
}

}  // namespace
