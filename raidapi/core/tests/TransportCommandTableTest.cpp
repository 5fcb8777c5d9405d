// The opcode table of IssueCmd, row by row: command area, data length and
// direction, and the rows that refuse their parameters.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "core/AdapterCommand.h"
#include "core/DiskSize.h"

namespace {

constexpr int kNoData = -1;
constexpr uint8_t k8LD = 1;
constexpr uint8_t k8LD8 = 2;
constexpr uint8_t k40LD = 3;
constexpr int N = HALV_DIR_NONE;
constexpr int R = HALV_DIR_READ;
constexpr int W = HALV_DIR_WRITE;
constexpr int B = HALV_DIR_BOTH;

struct Row {
  const char *name;
  int op;
  int objid;
  uint32_t param1;
  uint32_t param2;
  uint8_t fwType;
  int dataByte;  // first byte of the caller's data, or kNoData
  std::array<uint8_t, 6> area;
  uint32_t length;
  int direction;
};

const Row kRows[] = {
    {"ext enquiry", 0x04, 0, 0, 0, k8LD, kNoData, {0x04}, 168, R},
    {"enquiry", 0x05, 0, 0, 0, k8LD, kNoData, {0x05}, 152, R},
    {"state ready", 0x06, 0x23, 0, 0, k8LD, kNoData, {0x06, 2, 3, 0}, 0, R},
    {"state failed 8LD",
     0x06,
     0x23,
     4,
     0,
     k8LD,
     kNoData,
     {0x06, 2, 3, 4},
     0,
     R},
    {"state failed 40LD",
     0x06,
     0x23,
     4,
     0,
     k40LD,
     kNoData,
     {0x06, 0, 0x23, 4},
     0,
     R},
    {"hot spare writes size",
     0x06,
     0x12,
     6,
     0,
     k8LD,
     kNoData,
     {0x06, 1, 2, 6},
     4,
     W},
    {"state byte 4 from param2",
     0x06,
     0x12,
     3,
     9,
     k8LD,
     kNoData,
     {0x06, 1, 2, 3, 9},
     0,
     R},
    {"4-span array", 0x07, 0, 0, 0, k8LD, kNoData, {0x07}, 1436, R},
    {"rebuild 8LD", 0x08, 0x4F, 0, 0, k8LD8, kNoData, {0x08, 4, 15}, 0, N},
    {"rebuild 40LD", 0x08, 0xF1, 0, 0, k40LD, kNoData, {0x08, 0, 0xF1}, 0, N},
    {"check", 0x09, 5, 0, 0, k8LD, kNoData, {0x09, 5}, 0, N},
    {"flush", 0x0A, 0, 0, 0, k8LD, kNoData, {0x0A}, 0, N},
    {"init", 0x0B, 7, 0, 0, k8LD, kNoData, {0x0B, 7}, 0, N},
    {"enquiry 2", 0x0C, 0, 0, 0, k8LD, kNoData, {0x0C}, 1024, R},
    {"rebuild progress", 0x18, 0x23, 0, 0, k8LD, kNoData, {0x18, 2, 3}, 4, R},
    {"check progress", 0x19, 3, 0, 0, k8LD, kNoData, {0x19, 3}, 4, R},
    {"init progress", 0x1B, 3, 0, 0, k8LD, kNoData, {0x1B, 3}, 4, R},
    {"write 4-span", 0x20, 0, 0, 0, k8LD, kNoData, {0x20}, 1436, W},
    {"rebuild rate", 0x23, 0, 0, 0, k8LD, kNoData, {0x23}, 4, R},
    {"set rebuild rate", 0x24, 0, 0, 0, k8LD, kNoData, {0x24}, 4, W},
    {"policy", 0x26, 2, 3, 1, k8LD, kNoData, {0x26, 2, 3, 1}, 0, N},
    {"abort rebuild", 0x28, 0x23, 0, 0, k8LD, kNoData, {0x28, 2, 3}, 0, N},
    {"abort check", 0x29, 1, 0, 0, k8LD, kNoData, {0x29, 1}, 0, N},
    {"abort init", 0x2B, 1, 0, 0, k8LD, kNoData, {0x2B, 1}, 0, N},
    {"device query", 0x31, 0x23, 5, 0, k8LD, kNoData, {0x31, 2, 3, 5}, 1, R},
    {"0x32", 0x32, 4, 5, 0, k8LD, kNoData, {0x32, 4, 5}, 2, R},
    {"0x33", 0x33, 4, 5, 0, k8LD, kNoData, {0x33, 4, 5}, 2, W},
    {"0x36", 0x36, 0, 0, 0, k8LD, kNoData, {0x36}, 8, R},
    {"alarm off", 0x51, 1, 2, 0, k8LD, 0, {0x51, 1, 2}, 1, W},
    {"alarm silence", 0x51, 0, 0, 0, k8LD, 2, {0x51}, 1, W},
    {"alarm state", 0x51, 0, 0, 0, k8LD, 3, {0x51}, 1, B},
    {"dump", 0x52, 0, 0, 0, k8LD, kNoData, {0x52}, 4096, R},
    {"sense dump", 0x53, 0, 0, 0, k8LD, kNoData, {0x53}, 81, R},
    {"0x55 read", 0x55, 0, 1, 0, k8LD, kNoData, {0x55, 1}, 1, R},
    {"0x55 write", 0x55, 0, 2, 0, k8LD, kNoData, {0x55, 2}, 1, W},
    {"0x56 read", 0x56, 0, 1, 0, k8LD, kNoData, {0x56, 1}, 8, R},
    {"0x57", 0x57, 0, 2, 0, k8LD, kNoData, {0x57, 2}, 2048, R},
    {"recon 8LD", 0x60, 0, 0, 0, k8LD, kNoData, {0x60}, 16, B},
    {"recon 40LD", 0x60, 0, 0, 0, k40LD, kNoData, {0x60}, 40, B},
    {"recon progress", 0x61, 0, 0, 0, k8LD, kNoData, {0x61}, 4, R},
    {"bios read", 0x62, 0, 1, 0, k8LD, kNoData, {0x62, 1}, 2, R},
    {"bios write", 0x62, 0, 2, 0, k8LD, kNoData, {0x62, 2}, 2, W},
    {"disk config carries device",
     0x63,
     0x23,
     0x23,
     0,
     k8LD,
     kNoData,
     {0x63, 0, 0x23},
     2204,
     R},
    {"property get rebuild", 0x64, 0, 3, 1, k8LD, kNoData, {0x64, 3, 1}, 1, R},
    {"property set rebuild", 0x64, 0, 4, 1, k8LD, kNoData, {0x64, 4, 1}, 1, W},
    {"property 5", 0x64, 0, 5, 0, k8LD, kNoData, {0x64, 5}, 4, R},
    {"property 6", 0x64, 0, 6, 0, k8LD, kNoData, {0x64, 6}, 4, W},
    {"get channel rate", 0x64, 0, 7, 2, k40LD, kNoData, {0x64, 7, 2}, 1, R},
    {"set channel rate", 0x64, 0, 8, 2, k40LD, kNoData, {0x64, 8, 2}, 1, W},
    {"8-span array", 0x67, 0, 0, 0, k8LD8, kNoData, {0x67}, 2204, R},
    {"write 8-span", 0x68, 0, 0, 0, k8LD8, kNoData, {0x68}, 2204, W},
    {"reset errors", 0x6A, 0x23, 0, 0, k8LD, kNoData, {0x6A, 2, 3}, 0, N},
    {"cluster query", 0x70, 0, 2, 0, k8LD, kNoData, {0x70, 2}, 1, B},
    {"0x71", 0x71, 3, 4, 0, k8LD, kNoData, {0x71, 3, 4}, 8, R},
    {"0x72", 0x72, 3, 4, 0, k8LD, kNoData, {0x72, 3, 4}, 8, W},
    {"0x73", 0x73, 3, 4, 0, k8LD, kNoData, {0x73, 3, 4}, 0, N},
    {"0x74", 0x74, 3, 4, 0, k8LD, kNoData, {0x74, 3, 4}, 0, N},
    {"device command 1",
     0x75,
     0x23,
     1,
     0,
     k8LD,
     kNoData,
     {0x75, 2, 3, 1},
     0,
     N},
    {"device command default",
     0x75,
     0x23,
     0,
     0,
     k8LD,
     kNoData,
     {0x75, 2, 3, 2},
     0,
     N},
    {"device command 9 becomes 2",
     0x75,
     0x23,
     9,
     0,
     k40LD,
     kNoData,
     {0x75, 0, 0x23, 2},
     0,
     N},
    {"error counters", 0x77, 0x23, 0, 0, k8LD, kNoData, {0x77, 2, 3}, 2, R},
    {"initiator id", 0x7D, 0, 0, 0, k8LD, kNoData, {0x7D}, 1, R},
    {"set initiator id", 0x7F, 0, 0, 0, k8LD, kNoData, {0x7F}, 1, W},
    {"history read", 0x92, 0, 0, 0, k8LD, kNoData, {0x92, 0}, 118, R},
    {"history clear", 0x92, 0, 1, 0, k8LD, kNoData, {0x92, 1}, 118, N},
    {"0x97 read", 0x97, 0x10, 0, 0, k8LD, kNoData, {0x97, 0x10}, 1, R},
    {"0x97 write", 0x97, 0x11, 0, 0, k8LD, kNoData, {0x97, 0x11}, 1, W},
    {"40LD disk array",
     0xA1,
     0x04,
     0,
     0,
     k40LD,
     kNoData,
     {0xA1, 0x04},
     25412,
     R},
    {"40LD disk config",
     0xA1,
     0x06,
     0x23,
     0,
     k40LD,
     kNoData,
     {0xA1, 0x06, 0x23},
     25412,
     R},
    {"40LD write config",
     0xA1,
     0x0D,
     0,
     0,
     k40LD,
     kNoData,
     {0xA1, 0x0D},
     25412,
     W},
    {"40LD product info",
     0xA1,
     0x0E,
     0,
     0,
     k40LD,
     kNoData,
     {0xA1, 0x0E},
     1024,
     R},
    {"40LD notify", 0xA1, 0x0F, 1, 0, k40LD, kNoData, {0xA1, 0x0F, 1}, 40, R},
    {"40LD enquiry 3",
     0xA1,
     0x0F,
     2,
     7,
     k40LD,
     kNoData,
     {0xA1, 0x0F, 2, 7},
     1061,
     R},
    {"40LD no-data sub-opcode",
     0xA1,
     0x02,
     0,
     0,
     k40LD,
     kNoData,
     {0xA1, 0x02},
     0,
     N},
    {"40LD unknown sub-opcode",
     0xA1,
     0x10,
     0,
     0,
     k40LD,
     kNoData,
     {0xA1, 0x10},
     0,
     N},
    {"0xA4 read", 0xA4, 0x02, 0, 0, k40LD, kNoData, {0xA4, 0x02}, 40, R},
    {"0xA4 unknown", 0xA4, 0x03, 0, 0, k40LD, kNoData, {0xA4, 0x03}, 0, N},
    {"adapter status", 0xC3, 0, 0, 0, k8LD, kNoData, {0xC3}, 193, R},
    {"0xDD", 0xDD, 0, 0, 0, k8LD, kNoData, {0x65, 0x01}, 12, R},
    {"adapter count", 0x101, 0, 0, 0, k8LD, kNoData, {0x82, 0x6D}, 4, R},
    {"adapter sequence", 0x104, 0, 3, 0, k8LD, kNoData, {0x82, 0x61}, 16, R},
};

TEST(TransportCommandTable, EveryRowBuildsItsAreaLengthAndDirection) {
  for (const Row &row : kRows) {
    SCOPED_TRACE(row.name);
    AdapterCommand cmd{};
    uint8_t data =
        row.dataByte == kNoData ? 0 : static_cast<uint8_t>(row.dataByte);
    const uint8_t *dataPtr = row.dataByte == kNoData ? nullptr : &data;
    ASSERT_EQ(0, BuildMailboxCommand(row.op, row.objid, row.param1, row.param2,
                                     row.fwType, dataPtr, &cmd));
    EXPECT_EQ(6, cmd.areaLen);
    for (size_t i = 0; i < row.area.size(); ++i) {
      EXPECT_EQ(row.area[i], cmd.area[i]) << "area byte " << i;
    }
    EXPECT_EQ(row.length, cmd.dataLen);
    EXPECT_EQ(row.direction, cmd.direction);
  }
}

struct Refused {
  const char *name;
  int op;
  uint32_t param1;
  int dataByte;
};

const Refused kRefused[] = {
    {"unknown 0x0D", 0x0D, 0, kNoData},
    {"unknown 0x00", 0x00, 0, kNoData},
    {"unknown 0x105", 0x105, 0, kNoData},
    {"property 9", 0x64, 9, kNoData},
    {"property 0", 0x64, 0, kNoData},
    {"bios 0", 0x62, 0, kNoData},
    {"bios 3", 0x62, 3, kNoData},
    {"0x55 other", 0x55, 3, kNoData},
    {"0x56 other", 0x56, 0, kNoData},
    {"0x57 not 2", 0x57, 1, kNoData},
    {"history 2", 0x92, 2, kNoData},
    {"alarm byte 4", 0x51, 0, 4},
    {"alarm without data", 0x51, 0, kNoData},
    {"sequence beyond the buffer", 0x104, 0x40000000, kNoData},
    {"pass-through is not a mailbox row", 0xF0, 0, kNoData},
};

TEST(TransportCommandTable, RefusedRowsAnswerMinusOne) {
  for (const Refused &row : kRefused) {
    SCOPED_TRACE(row.name);
    AdapterCommand cmd{};
    uint8_t data =
        row.dataByte == kNoData ? 0 : static_cast<uint8_t>(row.dataByte);
    EXPECT_EQ(-1, BuildMailboxCommand(row.op, 0, row.param1, 0, k8LD,
                                      row.dataByte == kNoData ? nullptr : &data,
                                      &cmd));
  }
}

TEST(TransportCommandTable, DeviceNumberSplitsByFirmwareType) {
  struct Case {
    int objid;
    uint8_t fwType;
    uint8_t channel;
    uint8_t target;
  } cases[] = {
      {0x23, k8LD, 2, 3}, {0x23, k8LD8, 2, 3}, {0x23, k40LD, 0, 0x23},
      {0x00, k8LD, 0, 0}, {0x4F, k8LD, 4, 15}, {0xFF, k40LD, 0, 0xFF},
  };
  for (const Case &c : cases) {
    uint8_t channel = 0xAA;
    uint8_t target = 0xAA;
    SplitDevice(c.objid, c.fwType, &channel, &target);
    EXPECT_EQ(c.channel, channel) << c.objid << " type " << int{c.fwType};
    EXPECT_EQ(c.target, target) << c.objid << " type " << int{c.fwType};
  }
}

TEST(TransportCommandTable, PassThruAreaPutsTrailerBehindBlockOfAnyLength) {
  const uint8_t block[12] = {0x3C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  for (uint8_t len : {6, 10, 12}) {
    AdapterCommand cmd{};
    ASSERT_EQ(0, BuildPassThruArea(block, len, 0x08, 5, 2, 3, &cmd));
    ASSERT_EQ(len + 7, cmd.areaLen);
    EXPECT_EQ(3, cmd.area[0]);
    EXPECT_EQ(0, cmd.area[1]);
    EXPECT_EQ(len, cmd.area[2]);
    for (uint8_t i = 0; i < len; ++i) EXPECT_EQ(block[i], cmd.area[3 + i]);
    EXPECT_EQ(0x08, cmd.area[3 + len]);
    EXPECT_EQ(5, cmd.area[4 + len]);
    EXPECT_EQ(2, cmd.area[5 + len]);
    EXPECT_EQ(3, cmd.area[6 + len]);
  }
  for (uint8_t len : {0, 5, 7, 11, 13, 16}) {
    AdapterCommand cmd{};
    EXPECT_EQ(-1, BuildPassThruArea(block, len, 0x08, 0, 0, 0, &cmd))
        << int{len};
  }
}

TEST(TransportCommandTable, RefireIsZeroOnlyForProductInfoAndEnquiry3) {
  struct Case {
    int op;
    int objid;
    uint8_t refire;
  } cases[] = {{0xA1, 0x0E, 0}, {0xA1, 0x0F, 0},  {0xA1, 0x04, 0xA1},
               {0x07, 0, 0x07}, {0x104, 0, 0x04}, {0x101, 0, 0x01}};
  for (const Case &c : cases) {
    AdapterCommand cmd{};
    ASSERT_EQ(0,
              BuildMailboxCommand(c.op, c.objid, 1, 0, k40LD, nullptr, &cmd));
    EXPECT_EQ(c.refire, RefireFor(c.op, cmd))
        << std::hex << c.op << "/" << c.objid;
  }
}

TEST(TransportDiskSize, Swap4ReversesBytes) {
  EXPECT_EQ(0x78563412u, swap4(0x12345678u));
  EXPECT_EQ(0x00001000u, swap4(0x00100000u));
  EXPECT_EQ(0u, swap4(0u));
  EXPECT_EQ(0xFFFFFFFFu, swap4(0xFFFFFFFFu));
}

TEST(TransportDiskSize, RemappedSizeDropsReservedSectorsAndRoundsToMiB) {
  struct Case {
    uint32_t sectors;
    uint32_t remapped;
  } cases[] = {
      {1048576, 1046528},
      {2048 + 32, 2048},
      {2048 + 31, 0},
      {32, 0},
      {31, 0},
      {0, 0},
      {0xFFFFFFFFu, 0xFFFFF800u},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.remapped, RemappedDiskSize(c.sectors)) << c.sectors;
}

}  // namespace
