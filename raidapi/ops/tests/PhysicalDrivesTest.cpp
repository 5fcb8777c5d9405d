// The physical drive operations against the simulated driver, on both
// firmware generations and both driver interfaces: the device listings,
// states and their changes, hot spares, counters, dumps, history and
// rebuild, with the checks that must fail before anything is sent.
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
using drives::MiB;
using libsim::LibSimTest;
using libsim::TraceLine;

constexpr int64_t kClock = 1700000000000;

class PhysicalDrivesTest : public LibSimTest,
                           public ::testing::WithParamInterface<Generation> {
 protected:
  void SetUp() override {
    LibSimTest::SetUp();
    setenv("HALVSIM_CLOCK_MS", std::to_string(kClock).c_str(), 1);
    UseState(drives::DriveState(GetParam()));
    Start();
  }
  void TearDown() override {
    unsetenv("HALVSIM_CLOCK_MS");
    LibSimTest::TearDown();
  }

  bool Is40LD() const { return GetParam().Is40LD(); }

  // The device's key=value in the state file ("" when absent).
  std::string DeviceKey(const std::string &at, const std::string &key) {
    const std::string line = DeviceLine(at);
    const size_t p = line.find(" " + key + "=");
    if (p == std::string::npos) return "";
    const size_t from = p + key.size() + 2;
    return line.substr(from, line.find(' ', from) - from);
  }

  std::string DeviceLine(const std::string &at) {
    std::ifstream in(StatePath());
    std::string line;
    while (std::getline(in, line))
      if (line.rfind("device " + at + " ", 0) == 0) return line;
    return "";
  }

  // The state-change commands (0x06) among lines, as their areas.
  static std::vector<std::string> StateCommands(
      const std::vector<TraceLine> &lines) {
    return Areas(Commands(lines, "06"));
  }

  UChar State(int c, int t) {
    UChar s = 0xEE;
    EXPECT_EQ(0, GetPDrvState(0, &s, c, t)) << c << ":" << t;
    return s;
  }
};

INSTANTIATE_TEST_SUITE_P(Generations, PhysicalDrivesTest,
                         ::testing::ValuesIn(drives::kGenerations),
                         [](const ::testing::TestParamInfo<Generation> &param) {
                           return std::string(param.param.name);
                         });

TEST_P(PhysicalDrivesTest, AllDrivesListsDisksWithStateAndSize) {
  AllDrvInfo_Struct all;
  std::memset(&all, 0xAB, sizeof all);
  ASSERT_EQ(0, GetAllPDrvInfo(0, &all));
  struct Entry {
    UChar c, t, state;
    ULong32 sectors;
  };
  // The free disk 0:3 is ready whatever the adapter holds; the tape at 1:2
  // gives its entry to the disk behind it.
  const Entry want[] = {{0, 0, 3, 4194304}, {0, 1, 4, 4194304},
                        {0, 2, 3, 8388608}, {0, 3, 0, 8388608},
                        {0, 5, 3, 4194304}, {0, 7, 3, 4194304},
                        {1, 0, 6, 6291456}, {1, 3, 0, 2097152}};
  ASSERT_EQ(8, all.uchTotalDrv);
  for (size_t i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(want[i].c, all.astDrive[i].uchChanNo);
    EXPECT_EQ(want[i].t, all.astDrive[i].uchTargID);
    EXPECT_EQ(want[i].state, all.astDrive[i].uchState);
    EXPECT_EQ(MiB(want[i].sectors), all.astDrive[i].ulSize);
  }
  // The device command goes after the capacity on 8LD, before it on 40LD.
  const std::vector<std::string> areas = Areas(Trace());
  std::vector<std::string> around;
  for (const std::string &a : areas) {
    if (a.rfind("75", 0) == 0) around.push_back(a.substr(0, 2));
    if (a.rfind("03000a25", 0) == 0) around.push_back("cap");
  }
  ASSERT_GE(around.size(), 2u);
  EXPECT_EQ(Is40LD() ? "75" : "cap", around[0]);
  EXPECT_EQ(Is40LD() ? "cap" : "75", around[1]);
  // The initiator's target (6) is never asked: the INQUIRY areas end in
  // the target (8LD) or the device number (40LD).
  for (const std::string &a : areas) {
    if (a.rfind("030006120000008000", 0) != 0) continue;
    const long last = std::strtol(a.substr(a.size() - 2).c_str(), nullptr, 16);
    EXPECT_NE(6, last & 15) << a;
  }
}

TEST_P(PhysicalDrivesTest, NumberOfDrivesCountsDevicesWithACapacity) {
  // Eight disks answer a capacity; the tape does not.
  EXPECT_EQ(8, GetNumOfPDrv(0));
  if (Is40LD()) {
    // 40LD adapters are counted on channels 0 to 2 only.
    UseState(drives::DriveState(GetParam(),
                                "channels 5\ndevice 3:0 sectors=4194304\n"));
    Trace();
    EXPECT_EQ(8, GetNumOfPDrv(0));
    for (const std::string &a : Areas(Trace()))
      EXPECT_EQ(std::string::npos, a.find("0b0030")) << a;
  }
}

TEST_P(PhysicalDrivesTest, ScanListsOnlyFreeDevices) {
  NewDrv_Struct found;
  std::memset(&found, 0xAB, sizeof found);
  ASSERT_EQ(0, ScanforNewDevices(0, &found));
  // 0:3, the tape and 1:3 are free; only the disks are listed.
  EXPECT_EQ(3, found.uchTotalDrv);
  ASSERT_EQ(2, found.uchtotalDisk);
  EXPECT_EQ(0, found.astDrive[0].uchChanNo);
  EXPECT_EQ(3, found.astDrive[0].uchTargID);
  EXPECT_EQ(MiB(8388608), found.astDrive[0].ulSize);
  // 8LD adapters report the state they hold; 40LD adapters ready.
  EXPECT_EQ(Is40LD() ? 0 : 4, found.astDrive[0].uchState);
  EXPECT_EQ(1, found.astDrive[1].uchChanNo);
  EXPECT_EQ(3, found.astDrive[1].uchTargID);
  // Everything behind the entries is cleared.
  EXPECT_EQ(0, found.astDrive[2].uchChanNo);
  EXPECT_EQ(0u, found.astDrive[2].ulSize);
  EXPECT_EQ(HVAPI_ERR_BAD_ARGUMENT, ScanforNewDevices(0, nullptr));
}

TEST_P(PhysicalDrivesTest, StatesOfMembersSparesAndFreeDisks) {
  EXPECT_EQ(3, State(0, 0));
  EXPECT_EQ(4, State(0, 1));
  EXPECT_EQ(0, State(0, 3));  // free, though the adapter says failed
  EXPECT_EQ(6, State(1, 0));
  // On 8LD firmware target 15 has no entry and no device of its own: the
  // device checks find nothing there, and the membership test takes it for
  // target 7 (a member of drive 1; entry 15 would be the hot spare 1:0).
  UChar s = 0xEE;
  EXPECT_EQ(HVAPI_ERR_NO_DEVICE, GetPDrvState(0, &s, 0, 15));
  EXPECT_EQ(0xEE, s);
  EXPECT_EQ(1, IsConfigured(0, 7, static_cast<UChar>(GetParam().firmware), 1));
  EXPECT_EQ(Is40LD() ? HVAPI_MEMBER_FREE : 1,
            IsConfigured(0, 15, static_cast<UChar>(GetParam().firmware), 1));
  EXPECT_EQ(HVAPI_MEMBER_HOTSPARE,
            IsConfigured(1, 0, static_cast<UChar>(GetParam().firmware), 1));
  EXPECT_EQ(HVAPI_MEMBER_FREE,
            IsConfigured(1, 0, static_cast<UChar>(GetParam().firmware), 0));
  EXPECT_EQ(HVAPI_MEMBER_FREE, IsConfigured(0, 0, 9, 1));
}

// Each case fails one check; the next call of the same process works.
TEST_P(PhysicalDrivesTest, DeviceChecksInOrder) {
  UChar s = 0;
  const int lastChannel = Is40LD() ? 16 : 5;
  struct Case {
    const char *name;
    std::function<Int()> call;
    Int expected;
  };
  const Case cases[] = {
      {"channel", [&] { return GetPDrvState(0, &s, lastChannel, 0); },
       HVAPI_ERR_BAD_CHANNEL},
      {"target 16", [&] { return GetPDrvState(0, &s, 0, 16); },
       HVAPI_ERR_BAD_TARGET},
      {"initiator", [&] { return GetPDrvState(0, &s, 0, 6); },
       HVAPI_ERR_BAD_TARGET},
      {"empty slot", [&] { return GetPDrvState(0, &s, 2, 4); },
       HVAPI_ERR_NO_DEVICE},
      {"null record", [] { return GetPDrvState(0, nullptr, 0, 0); },
       HVAPI_ERR_BAD_ARGUMENT},
      {"bad adapter", [&] { return GetPDrvState(3, &s, 0, 0); },
       HVAPI_ERR_BAD_ADAPTER},
      {"error counters of an empty slot",
       [] {
         Err_Struct e;
         return GetErrCntr(0, 2, 4, &e);
       },
       HVAPI_ERR_NO_DEVICE},
      {"fail a free disk", [] { return FailDrv(0, 0, 3); },
       HVAPI_ERR_NOT_MEMBER},
      {"state 6", [] { return SetPDrvState(0, 6, 0, 0); },
       HVAPI_ERR_BAD_ARGUMENT},
      {"state 259", [] { return SetPDrvState(0, 259, 0, 0); },
       HVAPI_ERR_BAD_ARGUMENT},
      {"online a free disk", [] { return SetPDrvState(0, 3, 0, 3); },
       HVAPI_ERR_NOT_MEMBER},
      {"spare a member", [] { return SetHotSpare(0, 0, 2); },
       HVAPI_ERR_IS_MEMBER},
      {"unspare a member", [] { return ReSetHotSpare(0, 0, 2); },
       HVAPI_ERR_IS_MEMBER},
      {"unspare a ready disk", [] { return ReSetHotSpare(0, 0, 3); },
       HVAPI_ERR_NOT_HOTSPARE},
      {"rebuild a free disk", [] { return StartRbld(0, 0, 3); },
       HVAPI_ERR_NOT_MEMBER},
      {"rebuild RAID 0", [] { return StartRbld(0, 0, 5); },
       HVAPI_ERR_TRANSPORT},
      {"rebuild progress of RAID 0", [] { return GetRbldPrg(0, 0, 5); },
       HVAPI_ERR_TRANSPORT},
      {"rebuild target 16 names no device", [] { return StartRbld(0, 0, 16); },
       HVAPI_ERR_NO_DEVICE},
      {"rebuild target 17", [] { return StartRbld(0, 0, 17); },
       HVAPI_ERR_BAD_TARGET},
      {"abort with no rebuild", [] { return AbortRbldPrg(0, 0, 1); },
       HVAPI_ERR_NO_REBUILD},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, c.call());
    // No state, rebuild or abort command went out.
    for (const std::string &a : Areas(Trace())) {
      EXPECT_NE("06", a.substr(0, 2)) << a;
      EXPECT_NE("08", a.substr(0, 2)) << a;
      EXPECT_NE("28", a.substr(0, 2)) << a;
    }
    EXPECT_EQ(3, State(0, 0));
    Trace();
  }
  // Arguments out of range send nothing at all.
  EXPECT_EQ(HVAPI_ERR_BAD_ARGUMENT, SetPDrvState(0, 6, 0, 0));
  EXPECT_TRUE(Trace().empty());
  // An online member's rebuild is done without asking the adapter.
  EXPECT_EQ(100, GetRbldPrg(0, 0, 0));
  EXPECT_TRUE(Commands(Trace(), "18").empty());
}

TEST_P(PhysicalDrivesTest, FailAndRestoreAMember) {
  ASSERT_EQ(0, FailDrv(0, 0, 2));
  EXPECT_EQ((std::vector<std::string>{"060002040000"}), StateCommands(Trace()));
  EXPECT_EQ("4", DeviceKey("0:2", "state"));
  ASSERT_EQ(0, SetPDrvState(0, 3, 0, 2));
  EXPECT_EQ("3", DeviceKey("0:2", "state"));
  ASSERT_EQ(0, SetPDrvState(0, 4, 0, 2));
  EXPECT_EQ(4, State(0, 2));
}

TEST_P(PhysicalDrivesTest, HotSpareOnAndOff) {
  ASSERT_EQ(0, SetHotSpare(0, 1, 3));
  const std::vector<TraceLine> set = Commands(Trace(), "06");
  ASSERT_EQ(1u, set.size());
  const std::string device = Is40LD() ? "0013" : "0103";
  EXPECT_EQ("06" + device + "060000", set[0].at("area"));
  // The size in sectors: the transport's count remapped once more.
  const ULong32 sectors = MiB(2097152) << 11;
  char hex[9];
  std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", sectors & 0xFF,
                (sectors >> 8) & 0xFF, (sectors >> 16) & 0xFF, sectors >> 24);
  EXPECT_EQ(hex, set[0].at("data"));
  EXPECT_EQ(6, State(1, 3));
  // Again on a hot spare: the command goes out again.
  ASSERT_EQ(0, SetHotSpare(0, 1, 3));
  EXPECT_EQ(1u, Commands(Trace(), "06").size());

  ASSERT_EQ(0, ReSetHotSpare(0, 1, 3));
  EXPECT_EQ((std::vector<std::string>{"06" + device + "040000",
                                      "06" + device + "030000",
                                      "06" + device + "000000"}),
            StateCommands(Trace()));
  EXPECT_EQ(0, State(1, 3));
  EXPECT_EQ("0", DeviceKey("1:3", "state"));
}

TEST_P(PhysicalDrivesTest, CountersDumpsAndHistory) {
  Err_Struct e = {0xEE, 0xEE};
  ASSERT_EQ(0, GetErrCntr(0, 0, 1, &e));
  EXPECT_EQ(7, e.uchMediumErrors);
  EXPECT_EQ(2, e.uchOtherErrors);
  ASSERT_EQ(0, ResetErrCntr(0, 0, 1));
  ASSERT_EQ(0, GetErrCntr(0, 0, 1, &e));
  EXPECT_EQ(0, e.uchMediumErrors);

  Da_Struct dump;
  std::memset(&dump, 'x', sizeof dump);
  ASSERT_EQ(0, GetDump(0, &dump));
  EXPECT_STREQ("ADAPTER DUMP 42", dump.achDumpArea);
  for (size_t i = std::strlen("ADAPTER DUMP 42"); i < sizeof dump; ++i)
    ASSERT_EQ(0, dump.achDumpArea[i]) << i;
}

TEST_P(PhysicalDrivesTest, SenseEntriesOfEachGeneration) {
  // Entry 0: channel byte 1, target byte 0x23, then its fields; entry 1
  // all 0x5A.
  const std::string entry0 = "0123700003 00aaaabbbb111122221100";
  std::string hex = "03";
  for (char ch : entry0)
    if (ch != ' ') hex += ch;
  for (int i = 0; i < 16; ++i) hex += "5a";
  hex += std::string(162 - hex.size(), '0');
  UseState(drives::DriveState(GetParam(), "sense-dump " + hex + "\n"));
  SSDa_Struct s;
  std::memset(&s, 0xEE, sizeof s);
  ASSERT_EQ(0, GetSCSIDump(0, &s));
  EXPECT_EQ(3, s.uchEndPtr);
  // 40LD firmware keeps the device number in the target byte.
  EXPECT_EQ(Is40LD() ? 2 : 1, s.astSenData[0].uchChanNo);
  EXPECT_EQ(Is40LD() ? 3 : 0x23, s.astSenData[0].uchTargNo);
  EXPECT_EQ(0x0070, s.astSenData[0].uchErrcodePlusMisc);
  EXPECT_EQ(0x0003, s.astSenData[0].uwSenseKeyPlusMisc);
  EXPECT_EQ(0x1111, s.astSenData[0].uwComdSpec0);
  EXPECT_EQ(0x2222, s.astSenData[0].uwComdSpec1);
  EXPECT_EQ(0x0011, s.astSenData[0].uwASCPlusASCQ);
  EXPECT_EQ(0x5A5A, s.astSenData[1].uwSenseKeyPlusMisc);
  EXPECT_EQ(0, s.astSenData[4].uwASCPlusASCQ);
}

TEST_P(PhysicalDrivesTest, DriveHistoryWithoutItsChecksum) {
  std::string hex;
  for (int i = 0; i < 117; ++i) {
    char b[3];
    std::snprintf(b, sizeof b, "%02x", i + 1);
    hex += b;
  }
  hex += "ee";
  UseState(drives::DriveState(GetParam(), "history " + hex + "\n"));
  uint8_t buffer[sizeof(DrvHist_Struct) + 1];
  std::memset(buffer, 0xCC, sizeof buffer);
  ASSERT_EQ(0, GetDrvHist(0, reinterpret_cast<DrvHist_Struct *>(buffer)));
  for (int i = 0; i < 117; ++i) ASSERT_EQ(i + 1, buffer[i]) << i;
  EXPECT_EQ(0xCC, buffer[117]);  // the checksum stays the adapter's
  Trace();
  ASSERT_EQ(0, ClearDrvHist(0));
  EXPECT_EQ((std::vector<std::string>{"610000000000", "920100000000"}),
            Areas(Trace()));
  ASSERT_EQ(0, GetDrvHist(0, reinterpret_cast<DrvHist_Struct *>(buffer)));
  EXPECT_EQ(0, buffer[0]);
}

TEST_P(PhysicalDrivesTest, RebuildStartsProgressesAndEnds) {
  ASSERT_EQ(0, StartRbld(0, 0, 1));
  EXPECT_EQ(1u, Commands(Trace(), "08").size());
  EXPECT_EQ(0, GetRbldPrg(0, 0, 1));
  // Nothing to abort at 0 percent.
  EXPECT_EQ(HVAPI_ERR_NO_REBUILD, AbortRbldPrg(0, 0, 1));
  setenv("HALVSIM_CLOCK_MS", std::to_string(kClock + 30000).c_str(), 1);
  EXPECT_EQ(50, GetRbldPrg(0, 0, 1));
  ASSERT_EQ(0, AbortRbldPrg(0, 0, 1));
  EXPECT_EQ(1u, Commands(Trace(), "28").size());
  EXPECT_EQ(4, State(0, 1));

  ASSERT_EQ(0, StartRbld(0, 0, 1));
  setenv("HALVSIM_CLOCK_MS", std::to_string(kClock + 200000).c_str(), 1);
  // Done: the disk is online again and answers 100 by its state.
  Trace();
  EXPECT_EQ(100, GetRbldPrg(0, 0, 1));
  EXPECT_TRUE(Commands(Trace(), "18").empty());
  EXPECT_EQ(3, State(0, 1));
}

// The array's counts are the adapter's answer: beyond their record they
// give an error, never a look outside it.
TEST_P(PhysicalDrivesTest, ArrayCountsBeyondTheLayoutAreRefused) {
  const Generation &g = GetParam();
  const std::string op = g.firmware == HVAPI_FW_40LD        ? "op=0xa1 sub=4"
                         : g.firmware == HVAPI_FW_8LD_4SPAN ? "op=0x07"
                                                            : "op=0x67";
  // Byte 0 drive count; byte 4 the first drive's span depth; byte 11 its
  // devices per span.
  const std::string counts[] = {
      Is40LD() ? "0:29" : "0:09",
      Is40LD() ? "4:09" : (g.firmware == 1 ? "4:05" : "4:09"),
      Is40LD() ? "11:21" : "11:09"};
  for (const std::string &c : counts) {
    SCOPED_TRACE(c);
    UseFaults(op + " data=" + c);
    UChar s = 0;
    EXPECT_EQ(HVAPI_ERR_CMD_FAILED, GetPDrvState(0, &s, 0, 0));
    EXPECT_EQ(HVAPI_ERR_CMD_FAILED, GetNumOfLogDrvs(0));
    Ldrv_Struct ld;
    EXPECT_EQ(HVAPI_ERR_CMD_FAILED, GetLogDrvProp(0, 0, &ld));
    EXPECT_EQ(HVAPI_ERR_CMD_FAILED, FailDrv(0, 0, 0));
  }
  UseFaults("");
  EXPECT_EQ(3, State(0, 0));
}

}  // namespace

namespace {

class MixedMachineTest : public libsim::LibSimTest {};

// Both generations behind one driver: each adapter answers in its own
// layout, and the library reads each by its own firmware type.
TEST_F(MixedMachineTest, EachAdapterInItsOwnLayout) {
  UsePreset("mixed");
  Start();
  ASSERT_EQ(3, GetTotalAdapters());
  EXPECT_EQ(HVAPI_FW_40LD, GetFirmwareType(0));
  EXPECT_EQ(HVAPI_FW_8LD_4SPAN, GetFirmwareType(1));
  EXPECT_EQ(HVAPI_FW_8LD_8SPAN, GetFirmwareType(2));
  EXPECT_EQ(2, GetNumOfLogDrvs(0));
  EXPECT_EQ(1, GetNumOfLogDrvs(1));
  EXPECT_EQ(1, GetNumOfLogDrvs(2));
  // RAID 1 of two spans of 2097152 blocks.
  for (int adapter : {0, 2}) {
    Ldrv_Struct p;
    ASSERT_EQ(0, GetLogDrvProp(adapter, adapter == 0 ? 1 : 0, &p));
    EXPECT_EQ(2, p.uchSpanDepth);
    EXPECT_EQ(2048u, p.ulLDrvSize);
  }
  UChar s = 0;
  ASSERT_EQ(0, GetPDrvState(1, &s, 0, 1));
  EXPECT_EQ(HVAPI_PDRV_FAILED, s);
  ASSERT_EQ(0, GetPDrvState(1, &s, 1, 0));
  EXPECT_EQ(HVAPI_PDRV_HOTSPARE, s);
  AllDrvInfo_Struct all;
  ASSERT_EQ(0, GetAllPDrvInfo(1, &all));
  // 0:0-0:3 and the hot spare; the tape and the processor are no disks.
  EXPECT_EQ(5, all.uchTotalDrv);
  EXPECT_EQ(HVAPI_ERR_BAD_ADAPTER, GetAllPDrvInfo(3, &all));
}

}  // namespace
