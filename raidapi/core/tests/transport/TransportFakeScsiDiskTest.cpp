// What reaches the driver on the SCSI disk interface: the request buffer as
// IssueCmd fills it, and the answer as the caller gets it back.
#include <gtest/gtest.h>

#include <vector>

#include "TransportFixture.h"
#include "core/IssueCmd.h"

namespace {

constexpr int kNone = -1;

struct Row {
  const char *name;
  uint8_t fwType;
  int op;
  int objid;
  uint32_t param1;
  uint32_t param2;
  uint8_t fake;
  uint32_t outgoing;
  uint32_t incoming;
  std::vector<uint8_t> area;
  uint32_t byAddressLength;
  int bufferOffset;  // offset in sdata that fakecmd.buffer names, or kNone
};

const std::vector<uint8_t> Inquiry(uint8_t channel, uint8_t target) {
  return {3, 0, 6, 0x12, 0, 0, 0, 0x80, 0, 0x0B, 0, channel, target};
}

const Row kRows[] = {
    {"enquiry read",
     1,
     0x05,
     0,
     0,
     0,
     0x80,
     64,
     152,
     {5, 0, 0, 0, 0, 0},
     0,
     kNone},
    {"rebuild rate write",
     1,
     0x24,
     0,
     0,
     0,
     0x80,
     68,
     0,
     {0x24, 0, 0, 0, 0, 0},
     0,
     kNone},
    {"cluster both",
     2,
     0x70,
     0,
     2,
     0,
     0x80,
     65,
     1,
     {0x70, 2, 0, 0, 0, 0},
     0,
     kNone},
    {"rebuild no data 8LD",
     1,
     0x08,
     0x23,
     0,
     0,
     0x80,
     64,
     0,
     {8, 2, 3, 0, 0, 0},
     0,
     kNone},
    {"rebuild no data 40LD",
     3,
     0x08,
     0x23,
     0,
     0,
     0x80,
     64,
     0,
     {8, 0, 0x23, 0, 0, 0},
     0,
     kNone},
    {"dump at the inline limit",
     1,
     0x52,
     0,
     0,
     0,
     0x80,
     64,
     4096,
     {0x52, 0, 0, 0, 0, 0},
     0,
     kNone},
    {"40LD array read by address",
     3,
     0xA1,
     0x04,
     0,
     0,
     0x81,
     64,
     0,
     {0xA1, 4, 0, 0, 0, 0},
     25412,
     8},
    {"40LD config write by address",
     3,
     0xA1,
     0x0D,
     0,
     0,
     0x81,
     64,
     0,
     {0xA1, 0x0D, 0, 0, 0, 0},
     25412,
     26},
    {"40LD product info inline",
     3,
     0xA1,
     0x0E,
     0,
     0,
     0x80,
     64,
     1024,
     {0xA1, 0x0E, 0, 0, 0, 0},
     0,
     kNone},
    {"40LD loop map keeps no length",
     3,
     0xA1,
     0x0A,
     0,
     0,
     0x80,
     64,
     0,
     {0xA1, 0x0A, 0, 0, 0, 0},
     0,
     kNone},
    {"8-span array",
     2,
     0x67,
     0,
     0,
     0,
     0x80,
     64,
     2204,
     {0x67, 0, 0, 0, 0, 0},
     0,
     kNone},
    {"adapter count query",
     1,
     0x101,
     0,
     0,
     0,
     0x82,
     64,
     4,
     {0x82, 0x6D, 0, 0, 0, 0},
     0,
     kNone},
    {"adapter sequence query",
     1,
     0x104,
     0,
     2,
     0,
     0x82,
     64,
     12,
     {0x82, 0x61, 0, 0, 0, 0},
     0,
     kNone},
    {"inquiry 8LD", 1, 0xF0, 0x23, 0, 0, 0x80, 64, 128, Inquiry(2, 3), 0,
     kNone},
    {"inquiry 40LD", 3, 0xF0, 0x23, 0, 0, 0x80, 64, 128, Inquiry(0, 0x23), 0,
     kNone},
    {"inquiry 0xCF", 2, 0xCF, 0x41, 0, 0, 0x80, 64, 128, Inquiry(4, 1), 0,
     kNone},
    {"format unit",
     1,
     0xF3,
     0x12,
     0,
     0,
     0x80,
     64,
     0,
     {3, 0, 6, 0x04, 0, 0, 0, 0, 0, 0x0B, 0, 1, 2},
     0,
     kNone},
    {"read capacity",
     3,
     0xF2,
     5,
     0,
     0,
     0x80,
     64,
     8,
     {3, 0, 10, 0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0B, 0, 0, 5},
     0,
     kNone},
};

class TransportScsiDisk : public TransportTest {};

TEST_F(TransportScsiDisk, RequestBufferOfEveryKindOfRow) {
  for (const Row &row : kRows) {
    SCOPED_TRACE(row.name);
    SetUpAdapters(HVAPI_DRIVER_SCSI, {1, row.fwType});
    gulDacCurAdpNo = 1;
    driver.Reset();
    std::vector<uint8_t> data(32768, 0x5A);
    ASSERT_EQ(0, IssueCmd(row.op, row.objid,
                          reinterpret_cast<unsigned long>(data.data()),
                          row.param1, row.param2));
    ASSERT_EQ(1u, driver.Requests().size());
    const FakeRequest &req = driver.Requests()[0];
    EXPECT_EQ(FakeDriver::kFirstDiskFd + 1, req.fd);
    EXPECT_EQ(HALV_REQ_SEND_COMMAND, req.request);
    const auto sd = req.As<RequestHeader>();
    EXPECT_EQ(row.fake, sd.fakecmd.opcode);
    EXPECT_EQ(row.outgoing, sd.OutGoingDataLen);
    EXPECT_EQ(row.incoming, sd.InComingDataLen);
    EXPECT_EQ(row.byAddressLength, sd.fakecmd.length);
    if (row.bufferOffset == kNone) {
      EXPECT_EQ(0u, sd.fakecmd.buffer);
    } else {
      EXPECT_EQ(AddressOf(SdataBytes() + row.bufferOffset), sd.fakecmd.buffer);
    }
    const std::vector<uint8_t> area(
        req.bytes.begin() + 20,
        req.bytes.begin() + 20 + static_cast<long>(row.area.size()));
    EXPECT_EQ(row.area, area);
  }
}

TEST_F(TransportScsiDisk, WriteDataFollowsTheAreaAndReadAnswerReachesCaller) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  uint8_t rate[4] = {0x11, 0x22, 0x33, 0x44};
  ASSERT_EQ(0, IssueCmd(0x24, 0, reinterpret_cast<unsigned long>(rate), 0, 0));
  const auto &sent = driver.Requests().at(0).bytes;
  EXPECT_EQ(std::vector<uint8_t>(rate, rate + 4),
            std::vector<uint8_t>(sent.begin() + 26, sent.begin() + 30));

  driver.SetHandler([](int, unsigned long, void *arg) {
    uint8_t *answer = static_cast<uint8_t *>(arg) + 8;
    for (int i = 0; i < 152; ++i) answer[i] = static_cast<uint8_t>(i);
    return 0;
  });
  uint8_t enquiry[160] = {};
  ASSERT_EQ(0,
            IssueCmd(0x05, 0, reinterpret_cast<unsigned long>(enquiry), 0, 0));
  for (int i = 0; i < 152; ++i) ASSERT_EQ(i, enquiry[i]);
  EXPECT_EQ(0, enquiry[152]) << "nothing beyond the length is written";
}

TEST_F(TransportScsiDisk, FailedRequestPassesUpAndLeavesCallerBufferAlone) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  driver.SetHandler([](int, unsigned long, void *arg) {
    std::memset(static_cast<uint8_t *>(arg) + 8, 0xEE, 152);
    return -1;
  });
  uint8_t enquiry[152] = {};
  EXPECT_EQ(-1,
            IssueCmd(0x05, 0, reinterpret_cast<unsigned long>(enquiry), 0, 0));
  EXPECT_EQ(0, enquiry[0]);
}

TEST_F(TransportScsiDisk, ReadCapacityAnswerIsRemapped) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  driver.SetHandler([](int, unsigned long, void *arg) {
    // Last block 1048576, big-endian, then the block length.
    const uint8_t answer[8] = {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
    std::memcpy(static_cast<uint8_t *>(arg) + 8, answer, sizeof answer);
    return 0;
  });
  uint32_t size = 0;
  ASSERT_EQ(0,
            IssueCmd(0xF2, 0x12, reinterpret_cast<unsigned long>(&size), 0, 0));
  EXPECT_EQ(1046528u, size);

  driver.SetHandler([](int, unsigned long, void *) { return -1; });
  size = 77;
  EXPECT_EQ(-1,
            IssueCmd(0xF2, 0x12, reinterpret_cast<unsigned long>(&size), 0, 0));
  EXPECT_EQ(77u, size);
}

TEST_F(TransportScsiDisk, DeviceBufferCommandsTakeBlockAndDataFromCaller) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  struct Case {
    const char *name;
    uint8_t first;
    uint32_t blockLen;
    int result;
    int direction;  // expected: 2 write, 1 read
  } cases[] = {
      {"write buffer 10", 0x3B, 10, 0, 2}, {"read buffer 6", 0x3C, 6, 0, 1},
      {"write buffer 12", 0x3B, 12, 0, 2}, {"other command", 0x28, 10, -1, 0},
      {"block length 8", 0x3B, 8, -1, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    driver.Reset();
    uint8_t caller[12 + 32] = {c.first, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int i = 0; i < 32; ++i)
      caller[12 + i] = static_cast<uint8_t>(0xC0 + i);
    ASSERT_EQ(c.result,
              IssueCmd(0xF4, 0x23, reinterpret_cast<unsigned long>(caller),
                       c.blockLen, 32));
    if (c.result != 0) {
      EXPECT_TRUE(driver.Requests().empty());
      continue;
    }
    const auto &sent = driver.Requests().at(0).bytes;
    const auto sd = driver.Requests()[0].As<RequestHeader>();
    const uint8_t *area = sent.data() + 20;
    EXPECT_EQ(3, area[0]);
    EXPECT_EQ(c.blockLen, area[2]);
    EXPECT_EQ(0, std::memcmp(caller, area + 3, c.blockLen));
    const uint8_t *trailer = area + 3 + c.blockLen;
    EXPECT_EQ(0x08, trailer[0]);
    EXPECT_EQ(0, trailer[1]);
    EXPECT_EQ(2, trailer[2]);
    EXPECT_EQ(3, trailer[3]);
    if (c.direction == 2) {
      EXPECT_EQ(64u + 32, sd.OutGoingDataLen);
      EXPECT_EQ(0, std::memcmp(caller + 12, trailer + 4, 32));
    } else {
      EXPECT_EQ(32u, sd.InComingDataLen);
    }
  }
}

TEST_F(TransportScsiDisk, RefusedRowsSendNothing) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  uint8_t data[64] = {9};
  struct Case {
    const char *name;
    int op;
    uint32_t param1;
  } cases[] = {
      {"0x0D", 0x0D, 0},
      {"0x64 / 9", 0x64, 9},
      {"0x62 / 0", 0x62, 0},
      {"0x92 / 2", 0x92, 2},
      {"0x57 / 1", 0x57, 1},
      {"alarm byte 9", 0x51, 0},
      {"1000 direction 4", 1000, 4},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(-1, IssueCmd(c.op, 0, reinterpret_cast<unsigned long>(data),
                           c.param1, 0))
        << c.name;
  }
  EXPECT_TRUE(driver.Requests().empty());
}

TEST_F(TransportScsiDisk, CurrentAdapterNotFoundSendsNothing) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1, 3});
  uint8_t data[152] = {};
  for (ULong32 adapter : {2u, 6u, 200u, 0xFFFFFFFFu}) {
    gulDacCurAdpNo = adapter;
    EXPECT_EQ(-1,
              IssueCmd(0x05, 0, reinterpret_cast<unsigned long>(data), 0, 0))
        << adapter;
  }
  EXPECT_TRUE(driver.Requests().empty());
}

TEST_F(TransportScsiDisk, MissingDataBufferIsRefused) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  EXPECT_EQ(-1, IssueCmd(0x05, 0, 0, 0, 0));
  EXPECT_EQ(-1, IssueCmd(0xF0, 0x12, 0, 0, 0));
  EXPECT_EQ(-1, IssueCmd(0xF2, 0x12, 0, 0, 0));
  EXPECT_TRUE(driver.Requests().empty());
  EXPECT_EQ(0, IssueCmd(0x0A, 0, 0, 0, 0))
      << "a command without data needs no buffer";
}

TEST_F(TransportScsiDisk, TransfersBeyondTheRequestBufferAreRefused) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  std::vector<uint8_t> data(70000);
  uint8_t area[6] = {0x52};
  const auto ptr = reinterpret_cast<unsigned long>(data.data());
  const int fd = FakeDriver::kFirstDiskFd;
  EXPECT_EQ(
      -1, CallIoctlPass(fd, ptr, 32800 - 6 + 1, HALV_DIR_WRITE, 6, area, 0x52));
  EXPECT_EQ(-1,
            CallIoctlPass(fd, ptr, 32812 + 1, HALV_DIR_READ, 6, area, 0x52));
  EXPECT_EQ(-1,
            CallIoctlPass(fd, ptr, 65536 + 4, HALV_DIR_READ, 6, area, 0x52));
  EXPECT_EQ(-1, CallIoctlPass(fd, ptr, 4, 4, 6, area, 0x52));
  EXPECT_TRUE(driver.Requests().empty());
  EXPECT_EQ(0,
            CallIoctlPass(fd, ptr, 32800 - 6, HALV_DIR_WRITE, 6, area, 0x52));
  EXPECT_EQ(0, CallIoctlPass(fd, ptr, 32812, HALV_DIR_READ, 6, area, 0x52));
}

TEST_F(TransportScsiDisk, NoDriverInterfaceSendsNothing) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  giDriverType = 0;
  uint8_t data[152] = {};
  EXPECT_EQ(-1, IssueCmd(0x05, 0, reinterpret_cast<unsigned long>(data), 0, 0));
  EXPECT_TRUE(driver.Requests().empty());
}

}  // namespace

namespace {

TEST_F(TransportScsiDisk, NarrowedCallSendsWhatIssueCmdSends) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {3});
  std::vector<uint8_t> data(25412);
  const auto ptr = reinterpret_cast<unsigned long>(data.data());
  ASSERT_EQ(0, IssueCmd(0xA1, 0x0F, ptr, 2, 0));
  ASSERT_EQ(0, issue_adp_cmd(0xA1, 0x0F, 2, 0, ptr));
  ASSERT_EQ(0, IssueCmd(0x64, 0, ptr, 8, 3));
  ASSERT_EQ(0, issue_adp_cmd(0x64, 0, 8, 3, ptr));
  ASSERT_EQ(4u, driver.Requests().size());
  for (size_t i = 0; i < 4; i += 2) {
    const auto &a = driver.Requests()[i].bytes;
    const auto &b = driver.Requests()[i + 1].bytes;
    EXPECT_EQ(std::vector<uint8_t>(a.begin(), a.begin() + 26),
              std::vector<uint8_t>(b.begin(), b.begin() + 26));
  }
}

}  // namespace

namespace {

// Opcode 1000 from an application's record: the trailer follows the block
// whatever its length, the area is as long as block and trailer, written
// data follows the area and a read's answer reaches the record's address.
TEST_F(TransportScsiDisk, GenericPassThruCarriesTheRecordsBlockAndData) {
  SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
  struct Case {
    const char *name;
    bool logical;
    uint32_t dir;
    uint8_t cdblen;
    int result;
  } cases[] = {
      {"device read 6", false, HALV_DIR_READ, 6, 0},
      {"device write 10", false, HALV_DIR_WRITE, 10, 0},
      {"logical read 10", true, HALV_DIR_READ, 10, 0},
      // The record's block field holds ten bytes.
      {"block longer than the record holds", false, HALV_DIR_READ, 12, -1},
      {"block length 8", false, HALV_DIR_READ, 8, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    driver.Reset();
    auto *userData = static_cast<uint8_t *>(LowAlloc(4096));
    ASSERT_NE(nullptr, userData);
    std::memset(userData, 0x77, 128);
    PassThru_Struct rec{};
    rec.IsLogical = c.logical;
    rec.LogicalDriveNumber = 4;
    rec.Channel = 1;
    rec.ScsiId = 5;
    rec.CdbLength = c.cdblen;
    for (uint8_t i = 0; i < 10; ++i)
      rec.Cdb[i] = static_cast<uint8_t>(0x30 + i);
    rec.DataTransferAddress = static_cast<Int>(AddressOf(userData));
    rec.DataTransferLength = 64;
    driver.SetHandler([](int, unsigned long, void *arg) {
      std::memset(static_cast<uint8_t *>(arg) + 8, 0x99, 64);
      return 0;
    });
    EXPECT_EQ(c.result, IssueCmd(1000, 0, reinterpret_cast<unsigned long>(&rec),
                                 c.dir, 64));
    if (c.result != 0) {
      EXPECT_TRUE(driver.Requests().empty());
      LowFree(userData, 4096);
      continue;
    }
    const auto &sent = driver.Requests().at(0).bytes;
    const auto sd = driver.Requests()[0].As<RequestHeader>();
    const uint8_t *area = sent.data() + 20;
    EXPECT_EQ(3, area[0]);
    EXPECT_EQ(c.cdblen, area[2]);
    EXPECT_EQ(0, std::memcmp(rec.Cdb, area + 3, c.cdblen));
    const uint8_t *trailer = area + 3 + c.cdblen;
    EXPECT_EQ(c.logical ? 0x80 : 0x08, trailer[0]);
    EXPECT_EQ(c.logical ? 4 : 0, trailer[1]);
    EXPECT_EQ(c.logical ? 0 : 1, trailer[2]);
    EXPECT_EQ(c.logical ? 0 : 5, trailer[3]);
    if (c.dir == HALV_DIR_WRITE) {
      EXPECT_EQ(64u + 64, sd.OutGoingDataLen);
      EXPECT_EQ(0u, sd.InComingDataLen);
      EXPECT_EQ(std::vector<uint8_t>(64, 0x77),
                std::vector<uint8_t>(trailer + 4, trailer + 68))
          << "caller's data follows the area";
      EXPECT_EQ(0x77, userData[0]);
    } else {
      EXPECT_EQ(64u, sd.OutGoingDataLen);
      EXPECT_EQ(64u, sd.InComingDataLen);
      EXPECT_EQ(0x99, userData[0]) << "answer copied back";
      EXPECT_EQ(0x99, userData[63]);
      EXPECT_EQ(0x77, userData[64]) << "nothing beyond the length";
    }
    LowFree(userData, 4096);
  }
}

}  // namespace
