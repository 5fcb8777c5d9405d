#include <cstdint>

#include <gtest/gtest.h>

#include "core/AdapterTable.h"
#include "firmware/DataLength.h"

namespace {

constexpr Int N = HVAPI_DIR_NONE;
constexpr Int R = HVAPI_DIR_READ;
constexpr Int W = HVAPI_DIR_WRITE;
constexpr Int B = HVAPI_DIR_BOTH;

struct LengthCase {
  Int opcode;
  Int objid;
  ULong32 param1;
  Int length;
  Int direction;  // a refused command leaves the preset read direction
};

const LengthCase kCases[] = {
    // Outside the listed range, and holes within it.
    {3, 0, 0, -1, R},
    {245, 0, 0, -1, R},
    {-1, 0, 0, -1, R},
    {0x0A, 0, 0, -1, R},
    {0x0C, 0, 0, -1, R},
    {0x0D, 0, 0, -1, R},
    {0x57, 0, 2, -1, R},
    {0x7F, 0, 0, -1, R},
    {0xCF, 0, 0, -1, R},
    // Fixed rows.
    {0x04, 0, 0, 168, R},
    {0x05, 0, 0, 152, R},
    {0x07, 0, 0, 1396, R},
    {0x20, 0, 0, 1396, W},
    {0x08, 0x23, 0, 0, N},
    {0xF3, 0, 0, 0, N},
    {0x17, 0, 0, 1, R},
    {0xC0, 0, 0, 1, R},
    {0x24, 0, 0, 1, B},
    {0x70, 0, 2, 1, B},
    {0x26, 1, 2, 1, W},
    {0x33, 0, 0, 2, W},
    {0x77, 0, 0, 2, R},
    {0xF2, 0, 0, 8, R},
    {0x72, 0, 0, 8, W},
    {0x52, 0, 0, 4096, R},
    {0x53, 0, 0, 81, R},
    {0x62, 0, 1, 2, B},
    {0x63, 0, 0, 2164, R},
    {0x67, 0, 0, 2164, R},
    {0x68, 0, 0, 2164, W},
    {0x92, 0, 5, 118, R},
    {0xC3, 0, 0, 193, R},
    {0xDD, 0, 0, 16, R},
    {0xF0, 0, 0, 128, R},
    {0xF4, 0, 0, 32, R},
    // Device state: the new state decides.
    {0x06, 0, 0, 0, R},
    {0x06, 0, 2, 0, R},
    {0x06, 0, 3, 0, N},
    {0x06, 0, 4, 0, N},
    {0x06, 0, 5, 0, R},
    {0x06, 0, 6, 4, N},
    {0x06, 0, 7, 0, R},
    // Read for parameter 1, write otherwise.
    {0x55, 0, 1, 1, R},
    {0x55, 0, 2, 1, W},
    {0x56, 0, 1, 8, R},
    {0x56, 0, 0, 8, W},
    // Adapter properties.
    {0x64, 0, 1, 1, R},
    {0x64, 0, 3, 1, R},
    {0x64, 0, 7, 1, R},
    {0x64, 0, 2, 1, W},
    {0x64, 0, 4, 1, W},
    {0x64, 0, 8, 1, W},
    {0x64, 0, 5, 4, R},
    {0x64, 0, 6, 4, W},
    {0x64, 0, 0, -1, R},
    {0x64, 0, 9, -1, R},
    // 40LD group: the sub-opcode travels in objid.
    {0xA1, 0x00, 0, -1, R},
    {0xA1, 0x01, 0, -1, R},
    {0xA1, 0x02, 0, 0, N},
    {0xA1, 0x0B, 0, 0, N},
    {0xA1, 0x04, 0, 25412, R},
    {0xA1, 0x05, 0, 25412, R},
    {0xA1, 0x06, 0x23, 25412, R},
    {0xA1, 0x0A, 0, 512, R},
    {0xA1, 0x0C, 0, 1, R},
    {0xA1, 0x0D, 0, 25412, W},
    {0xA1, 0x0E, 0, 1024, R},
    {0xA1, 0x0F, 1, 40, R},
    {0xA1, 0x0F, 2, 1061, R},
    {0xA1, 0x0F, 0, 1061, R},
    {0xA1, 0x10, 0, -1, R},
    {0xA1, -1, 0, -1, R},
    {0xA4, 0x02, 0, 40, R},
    {0xA4, 0x03, 0, -1, R},
};

class DataLengthTest : public ::testing::Test {
 protected:
  void TearDown() override {
    gulDacCurAdpNo = 0;
    for (UChar &type : gachDacFWType) type = 0;
  }
};

TEST_F(DataLengthTest, AnswersEveryCommandOfTheTable) {
  for (const LengthCase &c : kCases) {
    SCOPED_TRACE(::testing::Message()
                 << "opcode 0x" << std::hex << c.opcode << " objid 0x"
                 << c.objid << " param1 " << std::dec << c.param1);
    Int dir = 99;
    EXPECT_EQ(c.length, DataLengthOfGivenCmd(c.opcode, c.objid, c.param1,
                                             0xFFFFFFFFu, &dir));
    EXPECT_EQ(c.direction, dir);
  }
}

TEST_F(DataLengthTest, ReconstructionRecordFollowsTheCurrentAdaptersFirmware) {
  struct {
    UChar type;
    ULong32 current;
    Int length;
  } cases[] = {
      {HVAPI_FW_40LD, 1, 40},
      {HVAPI_FW_8LD_4SPAN, 1, 16},
      {HVAPI_FW_8LD_8SPAN, 1, 16},
      // A current number beyond the table reads no firmware type.
      {HVAPI_FW_40LD, HVAPI_MAX_ADAPTERS, 16},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "type " << int(c.type) << " current " << c.current);
    gachDacFWType[1] = c.type;
    gulDacCurAdpNo = c.current;
    Int dir = 0;
    EXPECT_EQ(c.length, DataLengthOfGivenCmd(0x60, 0, 0, 0, &dir));
    EXPECT_EQ(B, dir);
  }
}

TEST_F(DataLengthTest, AcceptsNoDirectionPointer) {
  EXPECT_EQ(25412, DataLengthOfGivenCmd(0xA1, 0x0D, 0, 0, nullptr));
  EXPECT_EQ(-1, DataLengthOfGivenCmd(2, 0, 0, 0, nullptr));
}

}  // namespace
