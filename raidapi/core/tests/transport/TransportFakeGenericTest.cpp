// The exported generic commands: initialisation test, argument checks,
// validation and the mapping of results.
#include <gtest/gtest.h>

#include "TransportFixture.h"

namespace {

class TransportGeneric : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    SetUpAdapters(HVAPI_DRIVER_SCSI, {1});
    driver.SetHandler([this](int, unsigned long, void *arg) {
      auto *bytes = static_cast<uint8_t *>(arg);
      if (bytes[20] == 0x61) {
        bytes[8] = 100;  // no reconstruction
        return 0;
      }
      return status;
    });
  }
  int status = 0;
  int SentCount(uint8_t areaByte0) const {
    int n = 0;
    for (const FakeRequest &r : driver.Requests())
      n += r.bytes[20] == areaByte0;
    return n;
  }
};

TEST_F(TransportGeneric, NothingBeforeInitialisation) {
  gstAdpTab.iNoOfLiveAplns = 0;
  PassThru_Struct rec{};
  uint8_t data[4] = {};
  EXPECT_EQ(-24, IssueCmd_MT(0, 0x23, 0, reinterpret_cast<unsigned long>(data),
                             0, 0));
  EXPECT_EQ(-24, ExecuteCmd(0, 0x23, 0, reinterpret_cast<char *>(data), 0, 0));
  EXPECT_EQ(-24,
            ExecuteSCSICmd(0, &rec, reinterpret_cast<char *>(data), 0, 1, 4));
  EXPECT_TRUE(driver.Requests().empty());
}

TEST_F(TransportGeneric, ResultsOfTheAdapterCommand) {
  struct Case {
    const char *name;
    int status;
    int op;
    int mt;
    int execute;
  } cases[] = {
      {"success", 0, 0x23, 0, 0},
      {"adapter status", 5, 0x23, 5, -11},
      {"refused opcode", 0, 0x0D, -1, -11},
      {"failed request", -1, 0x23, -1, -11},
  };
  for (const Case &c : cases) {
    status = c.status;
    uint8_t data[4] = {};
    EXPECT_EQ(c.mt, IssueCmd_MT(0, c.op, 0,
                                reinterpret_cast<unsigned long>(data), 0, 0))
        << c.name;
    EXPECT_EQ(c.execute,
              ExecuteCmd(0, c.op, 0, reinterpret_cast<char *>(data), 0, 0))
        << c.name;
  }
  EXPECT_EQ(-44, IssueCmd_MT(1, 0x23, 0, 0, 0, 0));
  EXPECT_EQ(-44, ExecuteCmd(1, 0x23, 0, nullptr, 0, 0));
}

TEST_F(TransportGeneric, ExecuteScsiCmdChecksItsArguments) {
  struct Case {
    const char *name;
    Bool logical;
    UChar dir;
    ULong32 length;
    int expected;
  } cases[] = {
      {"logical 2", 2, 1, 16, -16},   {"logical -1", -1, 1, 16, -16},
      {"direction 4", 0, 4, 16, -16}, {"4097 bytes", 0, 1, 4097, -16},
      {"4096 bytes", 0, 1, 4096, 0},  {"no data", 1, 0, 0, 0},
  };
  for (const Case &c : cases) {
    driver.ClearRequests();
    PassThru_Struct rec{};
    rec.CdbLength = 6;
    rec.Cdb[0] = 0x12;
    std::vector<char> data(4096);
    EXPECT_EQ(c.expected,
              ExecuteSCSICmd(0, &rec, data.data(), c.logical, c.dir, c.length))
        << c.name;
    EXPECT_EQ(c.expected == 0 ? 1 : 0, SentCount(3)) << c.name;
  }
  EXPECT_EQ(-16, ExecuteSCSICmd(0, nullptr, nullptr, 0, 0, 0));
  PassThru_Struct rec{};
  EXPECT_EQ(-44, ExecuteSCSICmd(3, &rec, nullptr, 0, 0, 0));
}

TEST_F(TransportGeneric, ExecuteScsiCmdSendsTheCallersBlockOnTheDiskInterface) {
  PassThru_Struct rec{};
  rec.LogicalDriveNumber = 2;
  rec.Channel = 1;
  rec.ScsiId = 4;
  rec.CdbLength = 10;
  const uint8_t block[10] = {0x28, 0, 0, 0, 0x10, 0, 0, 0, 1, 0};
  std::memcpy(rec.Cdb, block, sizeof block);
  rec.DataTransferLength = 512;
  char data[512] = {};
  driver.SetHandler([](int, unsigned long, void *arg) {
    auto *bytes = static_cast<uint8_t *>(arg);
    if (bytes[20] == 0x61) {
      bytes[8] = 100;
      return 0;
    }
    std::memset(bytes + 8, 0x3E, 512);
    return 0;
  });
  ASSERT_EQ(0, ExecuteSCSICmd(0, &rec, data, 1, HVAPI_DIR_READ, 512));
  const FakeRequest &req = driver.Requests().back();
  const uint8_t expected[17] = {3, 0, 10, 0x28, 0,    0, 0, 0x10, 0,
                                0, 0, 1,  0,    0x80, 2, 1, 4};
  EXPECT_EQ(0, std::memcmp(expected, req.bytes.data() + 20, sizeof expected));
  const auto sd = req.As<RequestHeader>();
  EXPECT_EQ(64u, sd.OutGoingDataLen);
  EXPECT_EQ(512u, sd.InComingDataLen);
  EXPECT_EQ(0x80, sd.fakecmd.opcode);
  EXPECT_EQ(0x3E, data[511]);
}

TEST_F(TransportGeneric,
       ExecuteScsiCmdSendsTheWholeRecordOnTheMultiAdapterInterface) {
  SetUpAdapters(HVAPI_DRIVER_MIMD, {3, 3});
  struct Case {
    const char *name;
    int result;
    uint8_t status;
    int expected;
  } cases[] = {{"good", 0, 0, 0},
               {"check condition", 0, 2, -11},
               {"request failed", -1, 0, -11}};
  for (const Case &c : cases) {
    driver.Reset();
    driver.SetHandler([&c](int, unsigned long, void *arg) {
      auto *u = static_cast<uioctl_t *>(arg);
      if (u->mbox[0] == 0x61) {
        At<uint8_t>(u->data.addr)[0] = 100;
        return 0;
      }
      u->pthru.scsistatus = c.status;
      return c.result;
    });
    PassThru_Struct rec{};
    rec.Ars = 1;
    rec.ScsiId = 9;
    rec.CdbLength = 6;
    rec.Cdb[0] = 0x12;
    rec.Cdb[4] = 36;
    rec.DataTransferAddress = 0x1000;
    rec.DataTransferLength = 36;
    EXPECT_EQ(c.expected,
              ExecuteSCSICmd(1, &rec, nullptr, 0, HVAPI_DIR_READ, 36))
        << c.name;
    const uioctl_t u = driver.Requests().back().As<uioctl_t>();
    EXPECT_EQ(0x80, u.ui.fcs.opcode);
    EXPECT_EQ(0x6D01, u.ui.fcs.adapno);
    EXPECT_EQ(3, u.mbox[0]);
    EXPECT_EQ(0u, u.inlen);
    EXPECT_EQ(36u, u.outlen);
    PassThru_Struct sent;
    std::memcpy(&sent, &u.pthru, sizeof sent);
    EXPECT_EQ(0, std::memcmp(&rec, &sent, sizeof rec))
        << "the record travels unchanged";
  }
}

}  // namespace
