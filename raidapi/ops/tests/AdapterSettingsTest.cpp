// The adapter settings operations against the simulated driver, on a 40LD
// adapter (multi-adapter interface) and an 8LD adapter (SCSI disk devices):
// argument checks before anything is sent, the command each one sends, and
// its effect on the adapter.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "core/AdapterTable.h"
#include "core/tests/LibSimScenario.h"
#include "firmware/FirmwareLayouts.h"
#include "hvapi.h"

namespace {

using libsim::LibSimTest;
using libsim::TraceLine;

struct Generation {
  const char *name;
  const char *preset;
  int channels;
};

void PrintTo(const Generation &g, std::ostream *os) { *os << g.name; }

class AdapterSettingsTest : public LibSimTest,
                            public ::testing::WithParamInterface<Generation> {
 protected:
  void SetUp() override {
    LibSimTest::SetUp();
    UsePreset(GetParam().preset);
    Start();
  }

  static Cluster_Struct Cluster() {
    Cluster_Struct c = {-1, -1, -1};
    EXPECT_EQ(0, GetClusterState(0, &c));
    return c;
  }
};

INSTANTIATE_TEST_SUITE_P(
    Generations, AdapterSettingsTest,
    ::testing::Values(Generation{"Adapter40LD", "one40ld", 3},
                      Generation{"Adapter8LD", "two8ld", 4}),
    [](const ::testing::TestParamInfo<Generation> &param) {
      return std::string(param.param.name);
    });

// Out-of-range arguments answer -16 before any request; channel numbers are
// tested against the count the adapter has just reported, so that read
// goes out first.
TEST_P(AdapterSettingsTest, ArgumentChecks) {
  const UChar channels = static_cast<UChar>(GetParam().channels);
  UChar rate = 0;
  struct Case {
    const char *name;
    std::function<Int()> call;
    Int expected;
    size_t requests;
  };
  const Case cases[] = {
      {"SetAutoRbld 2", [] { return SetAutoRbld(0, 2); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"SetAutoRbld -1", [] { return SetAutoRbld(0, -1); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"SetRebuildRate 101", [] { return SetRebuildRate(0, 101); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"ControlAlarm 3", [] { return ControlAlarm(0, 3); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"GetAlarmState null", [] { return GetAlarmState(0, nullptr); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"SetBiosMode 2", [] { return SetBiosMode(0, 2); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"GetClusterState null", [] { return GetClusterState(0, nullptr); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"SetClusterState 2", [] { return SetClusterState(0, 2); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"SetAdapterID 16", [] { return SetAdapterID(0, 16); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"GetAdapterInfo null", [] { return GetAdapterInfo(0, nullptr); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"GetChannelRate null", [] { return GetChannelRate(0, 0, nullptr); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      {"SetChannelRate rate 4", [] { return SetChannelRate(0, 0, 4); },
       HVAPI_ERR_BAD_ARGUMENT, 0},
      // Reconstruction query, then the channel count read.
      {"GetChannelRate past the last channel",
       [&] { return GetChannelRate(0, channels, &rate); },
       HVAPI_ERR_BAD_ARGUMENT, 2},
      {"SetChannelRate past the last channel",
       [&] { return SetChannelRate(0, channels, 1); }, HVAPI_ERR_BAD_ARGUMENT,
       2},
      // The reconstruction query goes to the adapter named, which is refused.
      {"adapter not found", [] { return FlushAdapter(5); },
       HVAPI_ERR_BAD_ADAPTER, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, c.call());
    const std::vector<TraceLine> sent = Commands(Trace(), "");
    EXPECT_EQ(c.requests, sent.size());
    EXPECT_TRUE(Commands(sent, "64").empty());
  }
}

// Each setting: the command it sends (area and data in the trace), what the
// adapter then holds, and the matching read.
TEST_P(AdapterSettingsTest, SettingsReachTheAdapterAndReadBack) {
  const bool is40LD = GetParam().channels == 3;
  struct Case {
    const char *name;
    std::function<Int()> set;
    std::string area;  // of the setting command
    std::string data;  // its outgoing data
    const char *key;   // the adapter's setting in the state file
    std::string value;
    std::function<Int()> get;  // reads the setting back
    Int got;
  };
  const Case cases[] = {
      {"rebuild rate", [] { return SetRebuildRate(0, 55); }, "240000000000",
       "37000000", "rebuild-rate", "55", [] { return GetRebuildRate(0); }, 55},
      {"rebuild rate 100", [] { return SetRebuildRate(0, 100); },
       "240000000000", "64000000", "rebuild-rate", "100",
       [] { return GetRebuildRate(0); }, 100},
      {"automatic rebuild", [] { return SetAutoRbld(0, 1); }, "640400000000",
       "01", "auto-rebuild", "1", [] { return GetAutoRbld(0); }, 1},
      {"alarm", [] { return ControlAlarm(0, 2); }, "510000000000", "02",
       "alarm", "2",
       [] {
         Int state = -1;
         const Int r = GetAlarmState(0, &state);
         return r != 0 ? r : state;
       },
       2},
      {"BIOS off", [] { return SetBiosMode(0, 0); }, "620200000000", "0000",
       "bios", "0", [] { return Cluster().bBiosEnable; }, 0},
      {"cluster mode on", [] { return SetClusterState(0, 1); }, "700100000000",
       "01", "cluster", "1", [] { return Cluster().bClusterMode; }, 1},
      {"channel rate", [] { return SetChannelRate(0, 2, 3); }, "640802000000",
       "03", "channel-rates", is40LD ? "000003" : "00000300",
       [] {
         UChar rate = 0xFF;
         const Int r = GetChannelRate(0, 2, &rate);
         return r != 0 ? r : rate;
       },
       3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(0, c.set());
    const std::vector<TraceLine> sent = Commands(Trace(), c.area.substr(0, 2));
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(c.area, sent[0].at("area"));
    EXPECT_EQ(c.data, sent[0].at("data"));
    EXPECT_EQ(c.value, Setting(0, c.key));
    EXPECT_EQ(c.got, c.get());
    Trace();
  }
}

TEST_P(AdapterSettingsTest, FlushSendsItsCommand) {
  EXPECT_EQ(0, FlushAdapter(0));
  const std::vector<std::string> areas = Areas(Trace());
  EXPECT_EQ((std::vector<std::string>{"610000000000", "0a0000000000"}), areas);
}

TEST_P(AdapterSettingsTest, RebuildRateIsCappedAt100) {
  struct Case {
    const char *answer;
    Int expected;
  };
  for (const Case &c :
       {Case{"63", 99}, Case{"64", 100}, Case{"78", 100}, Case{"ff", 100}}) {
    SCOPED_TRACE(c.answer);
    UseFaults(std::string("op=0x23 data=0:") + c.answer);
    EXPECT_EQ(c.expected, GetRebuildRate(0));
  }
}

TEST_P(AdapterSettingsTest, AdapterIDOnlyInClusterMode) {
  EXPECT_EQ(HVAPI_ERR_NOT_CLUSTERED, SetAdapterID(0, 5));
  EXPECT_TRUE(Commands(Trace(), "7f").empty());
  EXPECT_EQ("7", Setting(0, "initiator-id"));

  ASSERT_EQ(0, SetClusterState(0, 1));
  ASSERT_EQ(0, SetAdapterID(0, 5));
  EXPECT_EQ(1u, Commands(Trace(), "7f").size());
  EXPECT_EQ("5", Setting(0, "initiator-id"));
  // The table follows the adapter.
  EXPECT_EQ(5, GetAdpterID(0));
  EXPECT_EQ(5, Cluster().iAdapterID);
}

TEST_P(AdapterSettingsTest, ClusterQueryAnswersOtherThanOnCountAsOff) {
  struct Case {
    const char *answer;
    Bool mode;
  };
  for (const Case &c : {Case{"00", 0}, Case{"01", 1}, Case{"05", 0}}) {
    SCOPED_TRACE(c.answer);
    UseFaults(std::string("op=0x70 data=0:") + c.answer);
    EXPECT_EQ(c.mode, Cluster().bClusterMode);
    if (c.mode == 0) {
      EXPECT_EQ(HVAPI_ERR_NOT_CLUSTERED, SetAdapterID(0, 3));
      EXPECT_TRUE(Commands(Trace(), "7f").empty());
    }
  }
}

TEST_P(AdapterSettingsTest, FailedCommandsAnswerMinus11) {
  UChar rate = 0;
  Int state = 0;
  struct Case {
    const char *faults;
    std::function<Int()> call;
  };
  const Case cases[] = {
      {"op=0x23 status=1", [] { return GetRebuildRate(0); }},
      {"op=0x24 status=1", [] { return SetRebuildRate(0, 10); }},
      {"op=0x0a status=1", [] { return FlushAdapter(0); }},
      {"op=0x64 status=1", [] { return GetAutoRbld(0); }},
      {"op=0x51 status=1", [&] { return GetAlarmState(0, &state); }},
      {"op=0x62 status=1", [] { return SetBiosMode(0, 1); }},
      {"op=0x70 status=1", [] { return SetClusterState(0, 1); }},
      {"op=0x05 status=1;op=0xa1 sub=0x0e status=1",
       [&] { return GetChannelRate(0, 0, &rate); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.faults);
    UseFaults(c.faults);
    EXPECT_EQ(HVAPI_ERR_CMD_FAILED, c.call());
  }
}

// The state query sends 3 (asking), both ways, and changes nothing: a
// library that sent a setting would silence or sound the alarm.
TEST_P(AdapterSettingsTest, AlarmStateAsksWithoutSetting) {
  ASSERT_EQ(0, ControlAlarm(0, 2));
  Trace();
  Int state = -1;
  ASSERT_EQ(0, GetAlarmState(0, &state));
  EXPECT_EQ(2, state);
  const std::vector<TraceLine> sent = Commands(Trace(), "51");
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ("03", sent[0].at("data"));
  EXPECT_EQ("both", sent[0].at("dir"));
  EXPECT_EQ("2", Setting(0, "alarm"));
}

// Changing cluster mode reads the initiator ID again into the table.
TEST_P(AdapterSettingsTest, ClusterModeRefreshesTheInitiatorID) {
  EXPECT_EQ(7, GetAdpterID(0));
  ASSERT_EQ(0, SetClusterState(0, 1));
  ASSERT_EQ(0, SetAdapterID(0, 4));
  gstAdpTab.astTotAdpInfo[0].chAdpID = 9;  // a stale copy
  Trace();
  ASSERT_EQ(0, SetClusterState(0, 0));
  EXPECT_EQ(1u, Commands(Trace(), "7d").size());
  EXPECT_EQ(4, GetAdpterID(0));
}

// SetChannelRate reads the 40LD product information into the adapter's
// cache; GetChannelRate only into a buffer of its own.
class ChannelRateCacheTest : public LibSimTest {};

TEST_F(ChannelRateCacheTest, SetRefreshesTheProductInformationOn40LD) {
  UsePreset("one40ld");
  Start();
  auto *cache = static_cast<ADAP_DATA_8SPAN_40LD *>(GetAdpCache(0));
  ASSERT_NE(nullptr, cache);
  cache->stRdProInfo40LD.uchSCSIChanPresent = 0xEE;
  UChar rate = 0;
  ASSERT_EQ(0, GetChannelRate(0, 1, &rate));
  EXPECT_EQ(0xEE, cache->stRdProInfo40LD.uchSCSIChanPresent);
  ASSERT_EQ(0, SetChannelRate(0, 1, 2));
  EXPECT_EQ(3, cache->stRdProInfo40LD.uchSCSIChanPresent);
}

TEST_P(AdapterSettingsTest, ReconstructingAdapterIsRefused) {
  // A reconstruction 50 percent done.
  UseFaults("op=0x61 data=0:32");
  EXPECT_EQ(HVAPI_ERR_RECONSTRUCTING, SetRebuildRate(0, 10));
  EXPECT_EQ((std::vector<std::string>{"610000000000"}), Areas(Trace()));
}

class AdapterSettingsBeforeStartTest : public LibSimTest {};

TEST_F(AdapterSettingsBeforeStartTest, EveryOperationAnswersMinus24) {
  UsePreset("one40ld");
  Int state = 0;
  UChar rate = 0;
  Cluster_Struct cluster;
  Adp_Struct info;
  const std::function<Int()> calls[] = {
      [] { return FlushAdapter(0); },
      [&] { return GetAdapterInfo(0, &info); },
      [] { return GetAutoRbld(0); },
      [] { return SetAutoRbld(0, 1); },
      [] { return GetRebuildRate(0); },
      [] { return SetRebuildRate(0, 1); },
      [] { return ControlAlarm(0, 1); },
      [&] { return GetAlarmState(0, &state); },
      [] { return SetBiosMode(0, 1); },
      [&] { return GetClusterState(0, &cluster); },
      [] { return SetClusterState(0, 1); },
      [] { return SetAdapterID(0, 1); },
      [&] { return GetChannelRate(0, 0, &rate); },
      [] { return SetChannelRate(0, 0, 1); },
  };
  for (const auto &call : calls) EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, call());
  EXPECT_TRUE(Trace().empty());
}

}  // namespace
