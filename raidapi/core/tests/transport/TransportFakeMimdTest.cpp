// What reaches the driver on the multi-adapter interface: the uioctl_t record
// translated from the request buffer, and how its answer is taken back.
#include <gtest/gtest.h>

#include <vector>

#include "TransportFixture.h"
#include "core/IssueCmd.h"

namespace {

class TransportMimd : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    SetUpAdapters(HVAPI_DRIVER_MIMD, {3, 1, 2});
  }
  uioctl_t Sent(size_t i = 0) const {
    return driver.Requests().at(i).As<uioctl_t>();
  }
};

struct MailboxRow {
  const char *name;
  ULong32 adapter;
  int op;
  int objid;
  uint32_t param1;
  uint8_t fcsOpcode;
  uint32_t inlen;
  uint32_t outlen;
  std::vector<uint8_t> mbox;  // bytes 0 to 6
  uint32_t dataxferlen;
};

const MailboxRow kMailboxRows[] = {
    {"enquiry 8LD", 1, 0x05, 0, 0, 0x80, 0, 152, {5, 0, 0, 0, 0, 0, 0}, 152},
    {"state change 8LD",
     1,
     0x06,
     0x23,
     4,
     0x80,
     0,
     0,
     {6, 0, 2, 3, 4, 0, 0},
     0},
    {"state change 40LD",
     0,
     0x06,
     0x23,
     4,
     0x80,
     0,
     0,
     {6, 0, 0, 0x23, 4, 0, 0},
     0},
    {"hot spare writes",
     2,
     0x06,
     0x12,
     6,
     0x80,
     4,
     0,
     {6, 0, 1, 2, 6, 0, 0},
     4},
    {"40LD product info",
     0,
     0xA1,
     0x0E,
     0,
     0x80,
     0,
     1024,
     {0xA1, 0, 0x0E, 0, 0, 0, 0},
     1024},
    {"adapter count",
     0,
     0x101,
     0,
     0,
     0x82,
     0,
     4,
     {0x82, 0, 0x6D, 0, 0, 0, 0},
     0},
    {"40LD array by address",
     0,
     0xA1,
     0x04,
     0,
     0x81,
     0,
     1,
     {0xA1, 0, 0x04, 0, 0, 0, 0},
     0},
    {"40LD config write by address",
     0,
     0xA1,
     0x0D,
     0,
     0x81,
     1,
     0,
     {0xA1, 0, 0x0D, 0, 0, 0, 0},
     0},
};

TEST_F(TransportMimd, MailboxRecordOfEveryKindOfRow) {
  for (const MailboxRow &row : kMailboxRows) {
    SCOPED_TRACE(row.name);
    driver.Reset();
    gulDacCurAdpNo = row.adapter;
    std::vector<uint8_t> data(32768, 0x5A);
    ASSERT_EQ(0, IssueCmd(row.op, row.objid,
                          reinterpret_cast<unsigned long>(data.data()),
                          row.param1, 0));
    ASSERT_EQ(1u, driver.Requests().size());
    EXPECT_EQ(FakeDriver::kMimdFd, driver.Requests()[0].fd);
    EXPECT_EQ(HALV_REQ_MIMD, driver.Requests()[0].request);
    const uioctl_t u = Sent();
    EXPECT_EQ(row.fcsOpcode, u.ui.fcs.opcode);
    EXPECT_EQ(0x6D00 | row.adapter, u.ui.fcs.adapno);
    EXPECT_EQ(row.inlen, u.inlen);
    EXPECT_EQ(row.outlen, u.outlen);
    EXPECT_EQ(row.mbox, std::vector<uint8_t>(u.mbox, u.mbox + row.mbox.size()));
    EXPECT_EQ(row.dataxferlen, u.pthru.dataxferlen);
    if (row.fcsOpcode == 0x81) {
      EXPECT_EQ(25412u, u.ui.fcs.length);
      const int offset =
          row.inlen == 1 ? 26 : 8;  // outgoing data or incoming area
      EXPECT_EQ(AddressOf(SdataBytes() + offset), u.ui.fcs.u.buffer);
    } else {
      EXPECT_EQ(AddressOf(RequestBuffer()->cmd + 6), u.data.addr);
    }
    if (row.fcsOpcode == 0x82) {
      EXPECT_EQ(0x6D, u.ui.fcs.subopcode);
    }
  }
}

TEST_F(TransportMimd, MailboxAnswerAndStatusComeBack) {
  gulDacCurAdpNo = 1;
  driver.SetHandler([](int, unsigned long, void *arg) {
    auto *u = static_cast<uioctl_t *>(arg);
    uint8_t *data = At<uint8_t>(u->data.addr);
    for (uint32_t i = 0; i < u->outlen; ++i)
      data[i] = static_cast<uint8_t>(i + 1);
    u->mbox[17] = 0;
    return 0;
  });
  uint8_t enquiry[153] = {};
  ASSERT_EQ(0,
            IssueCmd(0x05, 0, reinterpret_cast<unsigned long>(enquiry), 0, 0));
  for (int i = 0; i < 152; ++i)
    ASSERT_EQ(static_cast<uint8_t>(i + 1), enquiry[i]);
  EXPECT_EQ(0, enquiry[152]);

  driver.SetHandler([](int, unsigned long, void *arg) {
    static_cast<uioctl_t *>(arg)->mbox[17] = 0x0C;
    return 0;
  });
  EXPECT_EQ(0x0C,
            IssueCmd(0x05, 0, reinterpret_cast<unsigned long>(enquiry), 0, 0));

  driver.SetHandler([](int, unsigned long, void *) { return -1; });
  EXPECT_EQ(-1,
            IssueCmd(0x05, 0, reinterpret_cast<unsigned long>(enquiry), 0, 0));
}

TEST_F(TransportMimd, WriteDataTravelsAtTheDataAddress) {
  uint8_t rate[4] = {30, 0, 0, 0};
  std::vector<uint8_t> seen;
  driver.SetHandler([&seen](int, unsigned long, void *arg) {
    auto *u = static_cast<uioctl_t *>(arg);
    const uint8_t *data = At<uint8_t>(u->data.addr);
    seen.assign(data, data + u->inlen);
    return 0;
  });
  ASSERT_EQ(0, IssueCmd(0x24, 0, reinterpret_cast<unsigned long>(rate), 0, 0));
  EXPECT_EQ(std::vector<uint8_t>(rate, rate + 4), seen);
}

TEST_F(TransportMimd, DriverQueryAnswersTheRequestResult) {
  driver.SetHandler([](int, unsigned long, void *arg) {
    auto *u = static_cast<uioctl_t *>(arg);
    const uint32_t three = 3;
    std::memcpy(At<uint8_t>(u->data.addr), &three, sizeof three);
    return 0;
  });
  uint32_t count = 0;
  ASSERT_EQ(0,
            IssueCmd(0x101, 0, reinterpret_cast<unsigned long>(&count), 0, 0));
  EXPECT_EQ(3u, count);
}

TEST_F(TransportMimd, LargeReadByAddressTrustsNoLengthFromTheDriver) {
  driver.SetHandler([](int, unsigned long, void *arg) {
    auto *u = static_cast<uioctl_t *>(arg);
    std::memset(At<uint8_t>(u->ui.fcs.u.buffer), 0x42, u->ui.fcs.length);
    u->pthru.dataxferlen = 0xFFFFFFFF;  // nonsense from the driver
    u->mbox[17] = 0;
    return 0;
  });
  std::vector<uint8_t> array(25412 + 16, 0);
  ASSERT_EQ(0, IssueCmd(0xA1, 0x04,
                        reinterpret_cast<unsigned long>(array.data()), 0, 0));
  EXPECT_EQ(0x42, array[0]);
  EXPECT_EQ(0x42, array[25411]);
  EXPECT_EQ(0, array[25412]);
}

struct PassThruRow {
  const char *name;
  ULong32 adapter;
  int op;
  int objid;
  uint8_t cdblen;
  std::vector<uint8_t> cdb;
  uint8_t timeout;
  uint8_t ars;
  uint8_t islogical;
  uint8_t channel;
  uint8_t target;
  uint32_t outlen;
};

const PassThruRow kPassThruRows[] = {
    {"inquiry 8LD",
     1,
     0xF0,
     0x23,
     6,
     {0x12, 0, 0, 0, 0x80, 0},
     3,
     1,
     0,
     2,
     3,
     128},
    {"inquiry 40LD",
     0,
     0xF1,
     0x23,
     6,
     {0x12, 0, 0, 0, 0x80, 0},
     3,
     1,
     0,
     0,
     0x23,
     128},
    {"read capacity",
     2,
     0xF2,
     0x41,
     10,
     {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     3,
     1,
     0,
     4,
     1,
     8},
    {"format unit", 1, 0xF3, 0x12, 6, {0x04, 0, 0, 0, 0, 0}, 3, 1, 0, 1, 2, 0},
};

TEST_F(TransportMimd, PassThruRecordOfEveryDeviceRow) {
  for (const PassThruRow &row : kPassThruRows) {
    SCOPED_TRACE(row.name);
    driver.Reset();
    gulDacCurAdpNo = row.adapter;
    driver.SetHandler([](int, unsigned long, void *arg) {
      static_cast<uioctl_t *>(arg)->pthru.scsistatus = 0;
      return 0;
    });
    uint8_t data[128] = {};
    ASSERT_EQ(0, IssueCmd(row.op, row.objid,
                          reinterpret_cast<unsigned long>(data), 0, 0));
    const uioctl_t u = Sent();
    EXPECT_EQ(0x80, u.ui.fcs.opcode);
    EXPECT_EQ(0x6D00 | row.adapter, u.ui.fcs.adapno);
    EXPECT_EQ(3, u.mbox[0]);
    uint32_t pthruAt = 0;
    std::memcpy(&pthruAt, u.mbox + 8, 4);
    EXPECT_EQ(AddressOf(&MimdRecord()->pthru), pthruAt);
    EXPECT_EQ(row.cdblen, u.pthru.cdblen);
    EXPECT_EQ(row.cdb,
              std::vector<uint8_t>(u.pthru.cdb, u.pthru.cdb + row.cdblen));
    EXPECT_EQ(row.timeout, u.pthru.timeout);
    EXPECT_EQ(row.ars, u.pthru.ars);
    EXPECT_EQ(row.islogical, u.pthru.islogical);
    EXPECT_EQ(0, u.pthru.logdrv);
    EXPECT_EQ(row.channel, u.pthru.channel);
    EXPECT_EQ(row.target, u.pthru.target);
    EXPECT_EQ(0xFF, u.pthru.scsistatus) << "preset before the call";
    EXPECT_EQ(0u, u.inlen);
    EXPECT_EQ(row.outlen, u.outlen);
    EXPECT_EQ(row.outlen, u.pthru.dataxferlen);
    EXPECT_EQ(AddressOf(SdataBytes() + 8), u.pthru.dataxferaddr);
    EXPECT_EQ(u.pthru.dataxferaddr, u.data.addr);
  }
}

TEST_F(TransportMimd, PassThruStatusDecides) {
  struct Case {
    const char *name;
    int requestResult;
    uint8_t scsiStatus;
    int expected;
  } cases[] = {
      {"good", 0, 0, 0},
      {"check condition", 0, 2, -1},
      {"status left untouched", 0, 0xFF, -1},
      {"request failed", -1, 0, -1},
  };
  for (const Case &c : cases) {
    driver.SetHandler([&c](int, unsigned long, void *arg) {
      auto *u = static_cast<uioctl_t *>(arg);
      std::memset(At<uint8_t>(u->pthru.dataxferaddr), 0x61,
                  u->pthru.dataxferlen);
      u->pthru.scsistatus = c.scsiStatus;
      return c.requestResult;
    });
    uint8_t inquiry[128] = {};
    EXPECT_EQ(
        c.expected,
        IssueCmd(0xF0, 0x12, reinterpret_cast<unsigned long>(inquiry), 0, 0))
        << c.name;
    EXPECT_EQ(c.expected == 0 ? 0x61 : 0, inquiry[127]) << c.name;
  }
}

TEST_F(TransportMimd, TwelveByteBlockDoesNotFitThePassThruRecord) {
  uint8_t caller[12 + 16] = {0x3B};
  EXPECT_EQ(-1, IssueCmd(0xF4, 0x12, reinterpret_cast<unsigned long>(caller),
                         12, 16));
  EXPECT_TRUE(driver.Requests().empty());
  driver.SetHandler([](int, unsigned long, void *arg) {
    static_cast<uioctl_t *>(arg)->pthru.scsistatus = 0;
    return 0;
  });
  EXPECT_EQ(
      0, IssueCmd(0xF4, 0x12, reinterpret_cast<unsigned long>(caller), 10, 16));
  const uioctl_t u = Sent();
  EXPECT_EQ(10, u.pthru.cdblen);
  EXPECT_EQ(16u, u.inlen);
  EXPECT_EQ(16u, u.pthru.dataxferlen);
}

TEST_F(TransportMimd, BadBlockLengthInTheAreaIsRefusedBeforeSending) {
  UserIoctl_Struct *sd = RequestBuffer();
  std::memset(sd, 0, sizeof(RequestHeader) + 32);
  sd->OutGoingDataLen = 64;
  sd->fakecmd.opcode = 0x80;
  const uint8_t area[13] = {3, 0, 7};
  std::memcpy(sd->cmd, area, sizeof area);
  EXPECT_EQ(-1, CommonIoctl(0, 1, sd, HALV_DIR_READ, sizeof area));
  EXPECT_TRUE(driver.Requests().empty());
}

TEST_F(TransportMimd, GenericPassThruToLogicalDriveAndDevice) {
  struct Case {
    const char *name;
    bool logical;
    uint32_t dir;
    uint8_t cdblen;
  } cases[] = {
      {"device read 6", false, HALV_DIR_READ, 6},
      {"logical read 10", true, HALV_DIR_READ, 10},
      {"device write 10", false, HALV_DIR_WRITE, 10},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    driver.Reset();
    auto *userData = static_cast<uint8_t *>(LowAlloc(4096));
    ASSERT_NE(nullptr, userData);
    std::memset(userData, 0x77, 64);
    PassThru_Struct rec{};
    rec.IsLogical = c.logical;
    rec.LogicalDriveNumber = 4;
    rec.Channel = 1;
    rec.ScsiId = 5;
    rec.CdbLength = c.cdblen;
    for (uint8_t i = 0; i < c.cdblen; ++i)
      rec.Cdb[i] = static_cast<uint8_t>(0x30 + i);
    rec.DataTransferAddress = static_cast<Int>(AddressOf(userData));
    rec.DataTransferLength = 64;
    std::vector<uint8_t> written;
    driver.SetHandler([&written](int, unsigned long, void *arg) {
      auto *u = static_cast<uioctl_t *>(arg);
      uint8_t *data = At<uint8_t>(u->pthru.dataxferaddr);
      written.assign(data, data + u->inlen);
      std::memset(data, 0x99, u->outlen);
      u->pthru.scsistatus = 0;
      return 0;
    });
    ASSERT_EQ(
        0, IssueCmd(1000, 0, reinterpret_cast<unsigned long>(&rec), c.dir, 64));
    const uioctl_t u = Sent();
    EXPECT_EQ(c.cdblen, u.pthru.cdblen);
    EXPECT_EQ(0, std::memcmp(rec.Cdb, u.pthru.cdb, c.cdblen));
    EXPECT_EQ(c.logical ? 1 : 0, u.pthru.islogical);
    EXPECT_EQ(c.logical ? 0 : 1, u.pthru.ars);
    EXPECT_EQ(c.logical ? 4 : 0, u.pthru.logdrv);
    EXPECT_EQ(c.logical ? 0 : 1, u.pthru.channel);
    EXPECT_EQ(c.logical ? 0 : 5, u.pthru.target);
    if (c.dir == HALV_DIR_WRITE) {
      EXPECT_EQ(std::vector<uint8_t>(64, 0x77), written)
          << "caller's data was sent";
      EXPECT_EQ(0x77, userData[0]);
    } else {
      EXPECT_EQ(0x99, userData[0]) << "answer copied back";
      EXPECT_EQ(0x99, userData[63]);
    }
    LowFree(userData, 4096);
  }
}

}  // namespace
