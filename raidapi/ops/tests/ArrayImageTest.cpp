// The disk array a configuration write builds, byte for byte in each
// firmware layout: drive records, spans, members and the device table.
#include "ops/ArrayImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "firmware/FirmwareLayouts.h"

namespace {

TEST(ArrayImageTest, LayoutsOfTheThreeFirmwareTypes) {
  const RaidSetDrive_Struct members[2] = {{0, 0, 1, 0}, {0, 0, 2, 3}};
  const struct {
    UChar fwType;
    size_t size;
    size_t driveRecord;  // bytes of one drive record
    size_t spanRecord;
    size_t table;  // offset of the device table
    int index;     // entry of 1:0
  } cases[] = {
      {HVAPI_FW_8LD_4SPAN, 1436, 104, 24, 4 + 8 * 104, 15},
      {HVAPI_FW_8LD_8SPAN, 2204, 200, 24, 4 + 8 * 200, 15},
      {HVAPI_FW_40LD, 25412, 584, 72, 4 + 40 * 584, 16},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fwType));
    ArrayImage image;
    ASSERT_EQ(0, image.Reset(c.fwType));
    image.SetCount(2);
    image.SetDrive(1, 2, 5, 0x80, 2);
    image.SetSpan(1, 1, 0x01020304, 0x0A0B0C0D, members, 2);
    image.MarkOnline(1, 0, 0x11223344);
    // Everything else stays zero.
    std::vector<uint8_t> want(c.size, 0);
    want[0] = 2;
    const size_t drive = 4 + c.driveRecord;
    const uint8_t head[8] = {2, 5, 2, 0x80, 2, 1, 1, 2};
    std::memcpy(&want[drive], head, sizeof head);
    const size_t span = drive + 8 + c.spanRecord;
    const uint8_t blocks[8] = {4, 3, 2, 1, 0x0D, 0x0C, 0x0B, 0x0A};
    std::memcpy(&want[span], blocks, sizeof blocks);
    const uint8_t stored8LD[4] = {1, 0, 2, 3};
    const uint8_t stored40LD[4] = {0, 0x10, 0, 0x23};
    std::memcpy(&want[span + 8],
                c.fwType == HVAPI_FW_40LD ? stored40LD : stored8LD, 4);
    const uint8_t entry[8] = {0, 3, 0, 0, 0x44, 0x33, 0x22, 0x11};
    std::memcpy(&want[c.table + 8 * c.index], entry, sizeof entry);
    EXPECT_EQ(0, std::memcmp(want.data(), image.Bytes(), c.size));
    image.ClearDrive(1);
    std::memset(&want[drive], 0, c.driveRecord);
    EXPECT_EQ(0, std::memcmp(want.data(), image.Bytes(), c.size));
  }
}

TEST(ArrayImageTest, DeviceTableIndex) {
  EXPECT_EQ(15, DeviceTableIndex(HVAPI_FW_8LD_4SPAN, 1, 0));
  EXPECT_EQ(7, DeviceTableIndex(HVAPI_FW_8LD_8SPAN, 0, 15));
  EXPECT_EQ(74, DeviceTableIndex(HVAPI_FW_8LD_8SPAN, 4, 14));
  EXPECT_EQ(-1, DeviceTableIndex(HVAPI_FW_8LD_8SPAN, 5, 0));
  EXPECT_EQ(16, DeviceTableIndex(HVAPI_FW_40LD, 1, 0));
  EXPECT_EQ(255, DeviceTableIndex(HVAPI_FW_40LD, 15, 15));
  EXPECT_EQ(-1, DeviceTableIndex(HVAPI_FW_40LD, 16, 0));
  ArrayImage image;
  EXPECT_EQ(-11, image.Reset(4));
}

}  // namespace
