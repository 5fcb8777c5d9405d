// The logical drive operations against the simulated driver on both
// firmware generations and both driver interfaces: count and properties,
// policies, reconstruction with its checks, and the consistency check and
// initialisation with the adapter's status values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/tests/LibSimScenario.h"
#include "hvapi.h"
#include "ops/tests/DriveTestSupport.h"

namespace {

using drives::Generation;
using libsim::AdapterBlock;
using libsim::LibSimTest;
using libsim::StateText;

constexpr int64_t kClock = 1700000000000;

// Drive 0: RAID 5 of four devices of 2048000 blocks; drive 1: RAID 0 of one
// device; drive 2: RAID 1 of two spans. Free disks 1:3, 1:6 and a small one
// 1:4; a hot spare 1:5. The initiator is 7.
std::string LogicalSettings(const std::string &more = "") {
  return "device 0:0 state=3 sectors=4194304\n"
         "device 0:1 state=3 sectors=4194304\n"
         "device 0:2 state=3 sectors=4194304\n"
         "device 0:3 state=3 sectors=4194304\n"
         "device 0:4 state=3 sectors=4194304\n"
         "device 0:5 state=3 sectors=4194304\n"
         "device 1:0 state=3 sectors=4194304\n"
         "device 1:1 state=3 sectors=4194304\n"
         "device 1:2 state=3 sectors=4194304\n"
         "device 1:3 state=0 sectors=8388608\n"
         "device 1:4 state=0 sectors=1048576\n"
         "device 1:5 state=6 sectors=4194304\n"
         "device 1:6 state=0 sectors=8388608\n" +
         more +
         "logdrive raid=5 stripe=128 read-ahead=2 write-policy=1 "
         "direct-io=0\n"
         "  span start=0 blocks=2048000 members=0:0,0:1,0:2,0:3\n"
         "logdrive raid=0 stripe=64 read-ahead=1 write-policy=0 direct-io=1\n"
         "  span start=0 blocks=2048000 members=0:4\n"
         "logdrive raid=1 stripe=128\n"
         "  span start=0 blocks=2048000 members=0:5,1:0\n"
         "  span start=0 blocks=1024000 members=1:1,1:2\n";
}

class LogicalDrivesTest : public LibSimTest,
                          public ::testing::WithParamInterface<Generation> {
 protected:
  void SetUp() override {
    LibSimTest::SetUp();
    SetClock(0);
    UseLayout();
    Start();
  }
  void TearDown() override {
    unsetenv("HALVSIM_CLOCK_MS");
    LibSimTest::TearDown();
  }

  void UseLayout(const std::string &more = "", const std::string &ops = "") {
    const Generation &g = GetParam();
    UseState(StateText(
        {AdapterBlock(g.firmware, g.interface, 0, LogicalSettings(more)) +
         ops}));
  }

  static void SetClock(int64_t after) {
    setenv("HALVSIM_CLOCK_MS", std::to_string(kClock + after).c_str(), 1);
  }

  bool Is40LD() const { return GetParam().Is40LD(); }

  // The logical drive line i of the state file.
  std::string DriveLine(int i) {
    std::ifstream in(StatePath());
    std::string line;
    int n = -1;
    while (std::getline(in, line))
      if (line.rfind("logdrive ", 0) == 0 && ++n == i) return line;
    return "";
  }

  static NewPhyDrvInfo_Struct Devices(
      const std::vector<std::pair<int, int>> &list) {
    NewPhyDrvInfo_Struct d;
    std::memset(&d, 0, sizeof d);
    d.uchNo_Newdev = static_cast<UChar>(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
      d.astDrives[i].uchChanNo = static_cast<UChar>(list[i].first);
      d.astDrives[i].uchTargID = static_cast<UChar>(list[i].second);
    }
    return d;
  }
};

INSTANTIATE_TEST_SUITE_P(Generations, LogicalDrivesTest,
                         ::testing::ValuesIn(drives::kGenerations),
                         [](const ::testing::TestParamInfo<Generation> &param) {
                           return std::string(param.param.name);
                         });

TEST_P(LogicalDrivesTest, CountAndProperties) {
  EXPECT_EQ(3, GetNumOfLogDrvs(0));
  struct Case {
    int ld;
    UChar raid, spans, rowSize, stripe, read, write, cache;
    ULong32 mib;
  };
  // RAID 5: 3 of 4 devices; RAID 0: all; RAID 1 of two spans: one device
  // of each span.
  const Case cases[] = {{0, 5, 1, 4, 0x40, 2, 1, 0, 3000},
                        {1, 0, 1, 1, 0x20, 1, 0, 1, 1000},
                        {2, 1, 2, 2, 0x40, 0, 0, 0, 1500}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.ld);
    Ldrv_Struct p;
    std::memset(&p, 0xEE, sizeof p);
    ASSERT_EQ(0, GetLogDrvProp(0, c.ld, &p));
    EXPECT_EQ(c.ld, p.uchLogDrvNo);
    EXPECT_EQ(HVAPI_LDRV_OPTIMAL, p.uchStatus);
    EXPECT_EQ(c.raid, p.uchRaidLevel);
    EXPECT_EQ(c.spans, p.uchSpanDepth);
    EXPECT_EQ(c.rowSize, p.uchNoOfStripes);
    EXPECT_EQ(c.stripe, p.uchStripeSize);
    EXPECT_EQ(c.read, p.stLogDrv_Policy.uchReadPolicy);
    EXPECT_EQ(c.write, p.stLogDrv_Policy.uchWritePolicy);
    EXPECT_EQ(c.cache, p.stLogDrv_Policy.uchCachePolicy);
    EXPECT_EQ(c.mib, p.ulLDrvSize);
  }
  Trace();
  Ldrv_Struct p;
  // Beyond the layout's records: refused before the array is read.
  EXPECT_EQ(HVAPI_ERR_BAD_LDRV, GetLogDrvProp(0, Is40LD() ? 40 : 8, &p));
  EXPECT_EQ((std::vector<std::string>{"610000000000"}), Areas(Trace()));
  // Beyond the drives there are: refused after reading it.
  EXPECT_EQ(HVAPI_ERR_BAD_LDRV, GetLogDrvProp(0, 3, &p));
  EXPECT_EQ(2u, Areas(Trace()).size());
  EXPECT_EQ(HVAPI_ERR_BAD_ARGUMENT, GetLogDrvProp(0, 0, nullptr));

  UseState(
      StateText({AdapterBlock(GetParam().firmware, GetParam().interface, 0)}));
  EXPECT_EQ(HVAPI_ERR_NO_LDRV, GetNumOfLogDrvs(0));
}

TEST_P(LogicalDrivesTest, PoliciesAreSetInOrder) {
  const LdrvPolicy_Struct bad[] = {{0, 2, 0}, {0, 0, 2}, {3, 0, 0}};
  for (const LdrvPolicy_Struct &p : bad) {
    EXPECT_EQ(HVAPI_ERR_BAD_ARGUMENT, SetPolicy(0, 0, p));
    EXPECT_TRUE(Trace().empty());
  }
  EXPECT_EQ(HVAPI_ERR_BAD_LDRV, SetPolicy(0, 3, LdrvPolicy_Struct{0, 0, 0}));
  EXPECT_TRUE(Commands(Trace(), "26").empty());

  ASSERT_EQ(0, SetPolicy(0, 1, LdrvPolicy_Struct{2, 1, 0}));
  EXPECT_EQ((std::vector<std::string>{"260101010000", "260102000000",
                                      "260103020000"}),
            Areas(Commands(Trace(), "26")));
  Ldrv_Struct p;
  ASSERT_EQ(0, GetLogDrvProp(0, 1, &p));
  EXPECT_EQ(2, p.stLogDrv_Policy.uchReadPolicy);
  EXPECT_EQ(1, p.stLogDrv_Policy.uchWritePolicy);
  EXPECT_EQ(0, p.stLogDrv_Policy.uchCachePolicy);

  // The second command fails: the write policy stays applied.
  UseFaults("op=0x26 from=2 times=1 status=1");
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, SetPolicy(0, 1, LdrvPolicy_Struct{0, 0, 1}));
  EXPECT_EQ(2u, Commands(Trace(), "26").size());
  UseFaults("");
  ASSERT_EQ(0, GetLogDrvProp(0, 1, &p));
  EXPECT_EQ(0, p.stLogDrv_Policy.uchWritePolicy);
  EXPECT_EQ(0, p.stLogDrv_Policy.uchCachePolicy);
}

TEST_P(LogicalDrivesTest, ReconstructionChecksInOrder) {
  const int many = Is40LD() ? 33 : 9;
  std::vector<std::pair<int, int>> tooMany(static_cast<size_t>(many), {1, 3});
  struct Case {
    const char *name;
    int ld;
    int level;
    std::vector<std::pair<int, int>> add;
    Int expected;
  };
  const Case cases[] = {
      {"level 2", 1, 2, {{1, 3}}, HVAPI_ERR_BAD_RAID_LEVEL},
      {"too many devices", 1, 0, tooMany, HVAPI_ERR_TOO_MANY_DEVICES},
      {"no such drive", 3, 0, {{1, 3}}, HVAPI_ERR_BAD_LDRV},
      {"two spans", 2, 1, {{1, 3}}, HVAPI_ERR_SPANNED},
      {"RAID 5 to 1", 0, 1, {}, HVAPI_ERR_BAD_RAID_LEVEL},
      {"RAID 1 of three", 1, 1, {{1, 3}, {1, 6}}, HVAPI_ERR_BAD_RAID_LEVEL},
      {"up with no device", 1, 5, {}, HVAPI_ERR_TOO_FEW_DEVICES},
      {"RAID 5 of two", 1, 5, {{1, 3}}, HVAPI_ERR_TOO_FEW_DEVICES},
      {"channel", 1, 0, {{Is40LD() ? 16 : 5, 0}}, HVAPI_ERR_BAD_CHANNEL},
      {"target 16", 1, 0, {{1, 16}}, HVAPI_ERR_BAD_TARGET},
      {"initiator", 1, 0, {{1, 7}}, HVAPI_ERR_BAD_TARGET},
      {"listed twice", 1, 5, {{1, 3}, {1, 3}}, HVAPI_ERR_DEVICE_TWICE},
      {"hot spare", 1, 0, {{1, 5}}, HVAPI_ERR_DEVICE_IN_USE},
      {"member", 1, 0, {{0, 0}}, HVAPI_ERR_DEVICE_IN_USE},
      {"too small", 1, 0, {{1, 4}}, HVAPI_ERR_DEVICE_SMALL},
      // RAID 3 needs the firmware stripe 0x80; drive 1 has 0x40.
      {"RAID 3 stripe", 1, 3, {{1, 3}, {1, 6}}, HVAPI_ERR_BAD_RAID_LEVEL},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    NewPhyDrvInfo_Struct d = Devices(c.add);
    EXPECT_EQ(c.expected, StartRecon(0, c.ld, c.level, &d));
    EXPECT_TRUE(Commands(Trace(), "60").empty());
  }
  EXPECT_EQ(HVAPI_ERR_BAD_ARGUMENT, StartRecon(0, 1, 0, nullptr));

  UseState(StateText({AdapterBlock(
      GetParam().firmware, GetParam().interface, 0,
      LogicalSettings("device 0:9 state=4 sectors=4194304\n"
                      "device 0:10 state=3 sectors=4194304\n"
                      "device 0:11 state=3 sectors=4194304\n") +
          "logdrive raid=5 stripe=128\n"
          "  span start=0 blocks=2048000 members=0:9,0:10,0:11\n")}));
  NewPhyDrvInfo_Struct one = Devices({{1, 3}});
  EXPECT_EQ(HVAPI_ERR_NOT_OPTIMAL, StartRecon(0, 3, 5, &one));
}

TEST_P(LogicalDrivesTest, ReconstructionBlocksTheAdapterUntilDone) {
  NewPhyDrvInfo_Struct d = Devices({{1, 3}});
  EXPECT_EQ(100, GetReconPrg(0));
  Trace();
  // RAID 0 of one device to RAID 1 with one more.
  ASSERT_EQ(0, StartRecon(0, 1, 1, &d));
  const std::vector<libsim::TraceLine> sent = Commands(Trace(), "60");
  ASSERT_EQ(1u, sent.size());
  const std::string devs =
      Is40LD() ? "13" + std::string(62, '0') : "13" + std::string(14, '0');
  EXPECT_EQ("010101" + devs + "4001000000", sent[0].at("data"));
  EXPECT_EQ("600000000000", sent[0].at("area"));

  EXPECT_EQ(0, GetReconPrg(0));
  EXPECT_EQ(HVAPI_ERR_RECONSTRUCTING, GetNumOfLogDrvs(0));
  Trace();
  EXPECT_EQ(0, GetReconPrg(9));
  EXPECT_TRUE(Trace().empty());
  SetClock(60000);
  EXPECT_EQ(50, GetReconPrg(0));
  SetClock(120000);
  EXPECT_EQ(100, GetReconPrg(0));
  Ldrv_Struct p;
  ASSERT_EQ(0, GetLogDrvProp(0, 1, &p));
  EXPECT_EQ(1, p.uchRaidLevel);
  EXPECT_EQ(2, p.uchNoOfStripes);
}

TEST_P(LogicalDrivesTest, ConsistencyCheck) {
  // RAID 0 has nothing to check: no check command goes out.
  EXPECT_EQ(HVAPI_ERR_RAID0, StartConsistency(0, 1));
  EXPECT_EQ(HVAPI_ERR_RAID0, GetConsistencyPrg(0, 1));
  EXPECT_EQ(HVAPI_ERR_BAD_LDRV, StartConsistency(0, 3));
  const std::vector<std::string> areas = Areas(Trace());
  for (const std::string &a : areas) {
    EXPECT_NE("09", a.substr(0, 2));
    EXPECT_NE("19", a.substr(0, 2));
  }

  ASSERT_EQ(0, StartConsistency(0, 0));
  // The progress is asked before the start.
  std::vector<std::string> check;
  for (const std::string &a : Areas(Trace()))
    if (a.rfind("19", 0) == 0 || a.rfind("09", 0) == 0) check.push_back(a);
  EXPECT_EQ((std::vector<std::string>{"190000000000", "090000000000"}), check);
  EXPECT_EQ(HVAPI_ERR_CHECK_RUNNING, StartConsistency(0, 0));
  EXPECT_EQ(0, GetConsistencyPrg(0, 0));
  SetClock(30000);
  EXPECT_EQ(50, GetConsistencyPrg(0, 0));
  UseFaults("op=0x19 data=0:96");
  EXPECT_EQ(100, GetConsistencyPrg(0, 0));
  UseFaults("");
  ASSERT_EQ(0, AbortConsistency(0, 0));
  EXPECT_EQ(1u, Commands(Trace(), "29").size());
  // None runs: the adapter refuses the abort.
  EXPECT_EQ(HVAPI_ERR_ABORT_REFUSED, AbortConsistency(0, 0));
  EXPECT_EQ(100, GetConsistencyPrg(0, 0));

  struct Case {
    const char *fault;
    Int expected;
  };
  for (const Case &c : {Case{"op=0x09 status=1", HVAPI_ERR_NOT_OPTIMAL},
                        Case{"op=0x09 status=2", HVAPI_ERR_CHECK_RUNNING},
                        Case{"op=0x09 status=4", HVAPI_ERR_CHECK_REFUSED},
                        Case{"op=0x09 status=9", HVAPI_ERR_CMD_FAILED},
                        Case{"op=0x09 fail", HVAPI_ERR_CMD_FAILED}}) {
    SCOPED_TRACE(c.fault);
    UseFaults(c.fault);
    EXPECT_EQ(c.expected, StartConsistency(0, 0));
    UseFaults("");
    EXPECT_EQ(100, GetConsistencyPrg(0, 0));
  }
  UseFaults("op=0x19 status=2");
  EXPECT_EQ(HVAPI_ERR_NOT_OPTIMAL, GetConsistencyPrg(0, 2));
  UseFaults("op=0x19 fail");
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, GetConsistencyPrg(0, 2));
}

// A check that goes on over a drive that lost a member answers status 1
// with its progress: the progress is what counts.
TEST_P(LogicalDrivesTest, CheckProgressComesWithStatusOne) {
  UseLayout("", "op check ld=0 start=" + std::to_string(kClock) +
                    " duration=60000\n");
  SetClock(15000);
  ASSERT_EQ(25, GetConsistencyPrg(0, 0));
  std::string degraded = LogicalSettings();
  const std::string online = "device 0:1 state=3";
  degraded.replace(degraded.find(online), online.size(), "device 0:1 state=4");
  const Generation &g = GetParam();
  UseState(StateText({AdapterBlock(g.firmware, g.interface, 0, degraded) +
                      "op check ld=0 start=" + std::to_string(kClock) +
                      " duration=60000\n"}));
  Trace();
  EXPECT_EQ(25, GetConsistencyPrg(0, 0));
  const std::vector<libsim::TraceLine> sent = Commands(Trace(), "19");
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ("1", sent[0].at("status"));
}

TEST_P(LogicalDrivesTest, Initialisation) {
  ASSERT_EQ(0, StartInit(0, 1));
  EXPECT_EQ(HVAPI_ERR_INIT_RUNNING, StartInit(0, 1));
  EXPECT_EQ(0, GetInitPrg(0, 1));
  SetClock(30000);
  EXPECT_EQ(50, GetInitPrg(0, 1));
  ASSERT_EQ(0, AbortInit(0, 1));
  EXPECT_EQ(1u, Commands(Trace(), "2b").size());
  EXPECT_EQ(HVAPI_ERR_NO_INIT, AbortInit(0, 1));
  EXPECT_TRUE(Commands(Trace(), "2b").empty());
  EXPECT_EQ(HVAPI_ERR_BAD_LDRV, StartInit(0, 3));

  struct Case {
    const char *fault;
    std::function<Int()> call;
    Int expected;
  };
  const Case cases[] = {
      {"op=0x0b status=1", [] { return StartInit(0, 1); },
       HVAPI_ERR_INIT_RUNNING},
      {"op=0x0b status=1;op=0x1b fail", [] { return StartInit(0, 1); },
       HVAPI_ERR_NOT_OPTIMAL},
      {"op=0x0b status=2", [] { return StartInit(0, 1); },
       HVAPI_ERR_INIT_RUNNING},
      {"op=0x0b status=3", [] { return StartInit(0, 1); },
       HVAPI_ERR_CMD_FAILED},
      {"op=0x1b status=1", [] { return GetInitPrg(0, 1); },
       HVAPI_ERR_NOT_OPTIMAL},
      {"op=0x1b status=5", [] { return GetInitPrg(0, 1); }, HVAPI_ERR_NO_INIT},
      {"op=0x1b fail", [] { return GetInitPrg(0, 1); }, HVAPI_ERR_CMD_FAILED},
      {"op=0x1b fail", [] { return AbortInit(0, 1); }, HVAPI_ERR_CMD_FAILED},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    UseFaults(c.fault);
    EXPECT_EQ(c.expected, c.call());
    UseFaults("");
    EXPECT_EQ(100, GetInitPrg(0, 1));
  }
}

}  // namespace
