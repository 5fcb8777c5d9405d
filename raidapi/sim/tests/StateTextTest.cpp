// The scenario's text form, the presets, fault rules, progress from
// timestamps and the state store shared between processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Clock.h"
#include "Faults.h"
#include "Presets.h"
#include "SimTestSupport.h"
#include "StateStore.h"
#include "StateText.h"

using namespace halvsim;
using halvsim_test::ScopedEnv;

namespace {

TEST(StateText, EveryPresetSurvivesWriteAndRead) {
  for (const auto &[name, what] : PresetList()) {
    SCOPED_TRACE(name);
    Scenario sc;
    ASSERT_TRUE(MakePreset(name, &sc));
    std::string text = WriteScenario(sc), error;
    Scenario back;
    ASSERT_TRUE(ReadScenario(text, &back, &error)) << error;
    EXPECT_EQ(WriteScenario(back), text);
  }
}

TEST(StateText, PresetsHoldWhatTheyPromise) {
  struct Case {
    const char *name;
    size_t adapters;
    std::vector<uint8_t> firmware;  // per adapter
    std::vector<uint8_t> interface;
  } cases[] = {
      {"one40ld", 1, {3}, {1}},
      {"two8ld", 2, {1, 2}, {2, 2}},
      {"faulty", 1, {3}, {1}},
      {"blank", 1, {3}, {1}},
      {"mismatch", 1, {3}, {1}},
      {"none", 0, {}, {}},
      {"seven", 7, {3, 3, 3, 3, 3, 3, 3}, {1, 1, 1, 1, 1, 1, 1}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Scenario sc;
    ASSERT_TRUE(MakePreset(c.name, &sc));
    ASSERT_EQ(sc.adapters.size(), c.adapters);
    for (size_t i = 0; i < c.adapters; ++i) {
      EXPECT_EQ(sc.adapters[i].firmware, c.firmware[i]);
      EXPECT_EQ(sc.adapters[i].interface, c.interface[i]);
    }
    std::string error;
    EXPECT_TRUE(ValidateScenario(sc, &error)) << error;
  }
  Scenario faulty;
  ASSERT_TRUE(MakePreset("faulty", &faulty));
  const Adapter &a = faulty.adapters[0];
  EXPECT_EQ(a.FindDevice({0, 1})->state, kStateFailed);
  EXPECT_FALSE(a.FindDevice({2, 0})->IsDisk());
  EXPECT_EQ(DriveState(a, 0), kLdDegraded);
  Scenario none;
  ASSERT_TRUE(MakePreset("none", &none));
  EXPECT_EQ(none.node, "absent");
  EXPECT_FALSE(MakePreset("no-such-preset", &none));
}

TEST(StateText, HandWrittenFileTakesDefaultsForWhatItOmits) {
  const char *text =
      "halvsim-state 1\n"
      "# a small adapter\n"
      "adapter\n"
      "firmware 2\n"
      "interface 2\n"
      "channels 0x4\n"
      "product \"QRN \\\"quoted\\\" name\"\n"
      "device 0:1 sectors=1000 state=3\n"
      "device 1:2 type=1\n"
      "logdrive raid=1\n"
      "  span blocks=500 members=0:1\n"
      "end\n";
  Scenario sc;
  std::string error;
  ASSERT_TRUE(ReadScenario(text, &sc, &error)) << error;
  ASSERT_EQ(sc.adapters.size(), 1u);
  const Adapter &a = sc.adapters[0];
  EXPECT_EQ(a.firmware, 2);
  EXPECT_EQ(a.channels, 4);
  EXPECT_EQ(a.product, "QRN \"quoted\" name");
  EXPECT_EQ(a.initiator_id, 7);  // default
  ASSERT_EQ(a.devices.size(), 2u);
  EXPECT_EQ(a.devices[1].type, 1);
  ASSERT_EQ(a.drives.size(), 1u);
  EXPECT_EQ(a.drives[0].spans[0].members, (std::vector<DevRef>{{0, 1}}));
  EXPECT_EQ(a.drives[0].status, -1);
}

TEST(StateText, BadFilesAreRefusedWithTheLine) {
  struct Case {
    const char *text;
    const char *error_part;
  } cases[] = {
      {"", "empty"},
      {"hello\nend\n", "not a halvsim state file"},
      {"halvsim-state 2\nend\n", "unsupported state format version 2"},
      {"halvsim-state 1\nclock 5\n", "missing 'end'"},
      {"halvsim-state 1\nend\nclock 1\n", "after 'end'"},
      {"halvsim-state 1\nfirmware 3\nend\n", "line 2: 'firmware' outside"},
      {"halvsim-state 1\nadapter\nfirmware x\nend\n", "line 3: bad value"},
      {"halvsim-state 1\nadapter\nfirmwar 3\nend\n", "unknown keyword"},
      {"halvsim-state 1\nadapter\nchannels 300\nend\n", "bad value"},
      {"halvsim-state 1\nadapter\ndevice 0:0\ndevice 0:0\nend\n", "twice"},
      {"halvsim-state 1\nadapter\ndevice 0:16\nend\n", "CHANNEL:TARGET"},
      {"halvsim-state 1\nadapter\ndevice 0:0 size=3\nend\n", "unknown key"},
      {"halvsim-state 1\nadapter\nspan blocks=1\nend\n", "before any logdrive"},
      {"halvsim-state 1\nadapter\nproduct \"open\nend\n", "unterminated"},
      {"halvsim-state 1\nfault op=5 from=2\nend\n", "needs fail"},
      {"halvsim-state 1\nfault op=5 from=0 fail\nend\n", "from"},
      {"halvsim-state 1\nadapter\nfirmware 4\nend\n", "firmware is 1, 2 or 3"},
      {"halvsim-state 1\nadapter\nlogdrive raid=1\n  span members=0:1,0:1\n"
       "end\n",
       "twice"},
      {"halvsim-state 1\nadapter\nfirmware 1\nlogdrive\n span members=0:1\n"
       " span members=0:2\n span members=0:3\n span members=0:4\n"
       " span members=1:0\nend\n",
       "spans"},
      {"halvsim-state 1\nnode maybe\nend\n", "auto, present or absent"},
      {"halvsim-state 1\nforeign-disks A\nend\n", "letters"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    Scenario sc;
    std::string error;
    EXPECT_FALSE(ReadScenario(c.text, &sc, &error));
    EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
  }
}

TEST(StateText, FaultRulesReadAndWriteBack) {
  struct Case {
    const char *text;
    const char *canonical;
  } cases[] = {
      {"op=0x61 fail", "op=0x61 from=1 fail seen=0"},
      {"op=0xa1 sub=0x0e from=3 times=2 status=4 adapter=1",
       "op=0xa1 sub=0x0e adapter=1 from=3 times=2 status=4 seen=0"},
      {"op=3 sub=0x25 dev=1:2 data=2:ff00",
       "op=0x03 sub=0x25 dev=1:2 from=1 "
       "data=2:ff00 seen=0"},
      {"op=probe status=0", "op=probe from=1 status=0 seen=0"},
      {"fail seen=7", "op=any from=1 fail seen=7"},
  };
  for (const Case &c : cases) {
    FaultRule r;
    std::string error;
    ASSERT_TRUE(ParseFaultRule(c.text, &r, &error)) << c.text << ": " << error;
    EXPECT_EQ(FormatFaultRule(r), c.canonical);
  }
  for (const char *bad : {"op=0x100 fail", "data=1 op=2", "fail colour=red",
                          "status=256", "dev=3 fail"}) {
    FaultRule r;
    std::string error;
    EXPECT_FALSE(ParseFaultRule(bad, &r, &error)) << bad;
  }
}

TEST(Faults, FireFromTheNthOccurrenceForTheirTimes) {
  Scenario sc;
  FaultRule r;
  std::string error;
  ASSERT_TRUE(ParseFaultRule("op=0x23 from=2 times=2 status=9", &r, &error));
  sc.faults.push_back(r);
  RequestKey match, other;
  match.op = 0x23;
  other.op = 0x24;
  std::vector<bool> fired;
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(MatchFault(sc, other));
    fired.push_back(MatchFault(sc, match).has_value());
  }
  EXPECT_EQ(fired, (std::vector<bool>{false, true, true, false, false}));
  EXPECT_EQ(sc.faults[0].seen, 5u);
}

TEST(Faults, EnvironmentRulesApplyAfterTheScenario) {
  Scenario sc;
  ScopedEnv env("HALVSIM_FAULTS", "op=0x7d status=3; op=0x7d sub=1 fail");
  RequestKey k;
  k.op = 0x7D;
  k.sub = 1;
  auto f = MatchFault(sc, k);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->action, FaultRule::Action::kStatus);
  EXPECT_EQ(f->status, 3);
}

TEST(Clock, ProgressFollowsTheTimestamps) {
  struct Case {
    int64_t start, duration, now;
    uint32_t progress;
  } cases[] = {
      {1000, 1000, 1000, 0},  {1000, 1000, 1500, 50},
      {1000, 1000, 1999, 99}, {1000, 1000, 2000, 100},
      {1000, 1000, 900, 0},   {1000, 0, 1000, 100},
      {1000, 3, 1002, 66},    {0, 86400000, 43200000, 50},
  };
  for (const Case &c : cases) {
    Operation op;
    op.start_ms = c.start;
    op.duration_ms = c.duration;
    EXPECT_EQ(Progress(op, c.now), c.progress)
        << c.start << "+" << c.duration << " at " << c.now;
  }
  Scenario sc;
  sc.clock_ms = 1234;
  EXPECT_EQ(NowMs(sc), 1234);
  ScopedEnv env("HALVSIM_CLOCK_MS", "5678");
  EXPECT_EQ(NowMs(sc), 5678);
}

class StateStoreTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  std::string path_ = dir_.file("state");
  ScopedEnv state_{"HALVSIM_STATE", path_};
  ScopedEnv preset_{"HALVSIM_PRESET", "two8ld"};

  Scenario Current() {
    Scenario copy;
    std::string error;
    EXPECT_TRUE(StateStore::Instance().Transact(
        [&](Scenario &sc) { copy = sc; }, &error))
        << error;
    return copy;
  }
};

TEST_F(StateStoreTest, SeedsAMissingFileFromThePreset) {
  EXPECT_EQ(Current().adapters.size(), 2u);
  std::string text = halvsim_test::ReadFile(path_);
  EXPECT_EQ(text.rfind("halvsim-state 1\n", 0), 0u);
  // The preset only seeds: an existing file is never replaced by it.
  ScopedEnv other("HALVSIM_PRESET", "none");
  EXPECT_EQ(Current().adapters.size(), 2u);
}

TEST_F(StateStoreTest, AnotherProcessSeesAChangeAndItsChangeIsSeen) {
  ASSERT_EQ(Current().adapters[0].rebuild_rate, 30);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    bool ok = StateStore::Instance().Transact(
        [](Scenario &sc) { sc.adapters[0].rebuild_rate = 77; }, &error);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Current().adapters[0].rebuild_rate, 77);
  EXPECT_NE(halvsim_test::ReadFile(path_).find("rebuild-rate 77\n"),
            std::string::npos);
}

TEST_F(StateStoreTest, ConcurrentChangesFromManyProcessesAllCount) {
  Current();
  const int kChildren = 4, kEach = 50;
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0; i < kEach; ++i) {
        std::string error;
        if (!StateStore::Instance().Transact(
                [](Scenario &sc) { sc.adapters[0].host_number++; }, &error))
          _exit(1);
      }
      _exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(Current().adapters[0].host_number, uint32_t{kChildren * kEach});
}

TEST_F(StateStoreTest, HandEditsAreReadAndBrokenFilesRefused) {
  Current();
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(
      path_, "halvsim-state 1\nadapter\nfirmware 1\nend\n", &error));
  Scenario sc = Current();
  ASSERT_EQ(sc.adapters.size(), 1u);
  EXPECT_EQ(sc.adapters[0].firmware, 1);
  ASSERT_TRUE(WriteFileAtomically(path_, "halvsim-state 1\nadapter\n", &error));
  EXPECT_FALSE(StateStore::Instance().Transact([](Scenario &) {}, &error));
  EXPECT_NE(error.find("missing 'end'"), std::string::npos) << error;
}

TEST_F(StateStoreTest, NoChangeLeavesTheFileAlone) {
  Current();
  std::string error;
  // A hand-written file in a form of its own: kept while nothing changes.
  std::string text = "halvsim-state 1\n# mine\nadapter\nfirmware 1\nend\n";
  ASSERT_TRUE(WriteFileAtomically(path_, text, &error));
  Current();
  EXPECT_EQ(halvsim_test::ReadFile(path_), text);
}

}  // namespace
