// The configuration operations against the simulated driver on both
// firmware generations and both driver interfaces: what a write stores is
// what the adapter then holds and what a read gives back; every refusal
// sends no write; the system status; the lines announced to the SCSI layer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/tests/LibSimScenario.h"
#include "hvapi.h"
#include "ops/tests/DriveTestSupport.h"

namespace {

using drives::Generation;
using libsim::AdapterBlock;
using libsim::LibSimTest;
using libsim::StateText;

// A disk of exactly 1000 MiB as the library sizes it.
constexpr ULong32 kThousandMiB = 2050081;

// Free disks 0:0 to 0:5 and 1:1 of 1000 MiB, larger ones 1:0 and 1:4, a
// tape 1:2, a hot spare 1:3. The initiator is 7.
std::string FreeDisks() {
  std::ostringstream s;
  for (int t = 0; t < 6; ++t)
    s << "device 0:" << t << " state=0 sectors=" << kThousandMiB << "\n";
  s << "device 1:0 state=0 sectors=" << 2 * kThousandMiB << "\n"
    << "device 1:1 state=0 sectors=" << kThousandMiB << "\n"
    << "device 1:2 type=1 sectors=0 product=\"TAPE\"\n"
    << "device 1:3 state=6 sectors=" << kThousandMiB << "\n"
    << "device 1:4 state=0 sectors=" << 2 * kThousandMiB << "\n";
  return s.str();
}

// A span and a logical drive as the simulator's state file holds them.
struct SimSpan {
  unsigned long start = 0;
  unsigned long blocks = 0;
  std::string members;
};
struct SimDrive {
  std::map<std::string, std::string> fields;
  std::vector<SimSpan> spans;
};

std::map<std::string, std::string> Fields(const std::string &line) {
  std::map<std::string, std::string> f;
  std::istringstream words(line);
  std::string w;
  while (words >> w) {
    const size_t eq = w.find('=');
    if (eq != std::string::npos) f[w.substr(0, eq)] = w.substr(eq + 1);
  }
  return f;
}

using Members = std::vector<std::pair<int, int>>;

ArrayInfo_Struct Span(const Members &members) {
  ArrayInfo_Struct a;
  std::memset(&a, 0, sizeof a);
  a.uchPhyDrvPerArray = static_cast<UChar>(members.size());
  for (size_t i = 0; i < members.size(); ++i) {
    a.astDrives[i].uchChanNo = static_cast<UChar>(members[i].first);
    a.astDrives[i].uchTargID = static_cast<UChar>(members[i].second);
  }
  return a;
}

std::string MemberText(const Members &members) {
  std::string s;
  for (const auto &m : members) {
    if (!s.empty()) s += ",";
    s += std::to_string(m.first) + ":" + std::to_string(m.second);
  }
  return s;
}

// A RaidSet_Struct of one level over spans, with drives of these sizes.
std::unique_ptr<RaidSet_Struct> Set(UChar level, UChar stripe,
                                    const std::vector<Members> &spans,
                                    const std::vector<ULong32> &sizes) {
  auto set = std::make_unique<RaidSet_Struct>();
  std::memset(set.get(), 0, sizeof *set);
  set->uchRaidLevel = level;
  set->uchStripeSize = stripe;
  set->uchNoOfSpan = static_cast<UChar>(spans.size());
  // The record holds 8 spans; a count above says more than it holds.
  for (size_t s = 0; s < spans.size() && s < 8; ++s)
    set->stArrayInfo[s] = Span(spans[s]);
  set->uchNoOfLD = static_cast<UChar>(sizes.size());
  for (size_t g = 0; g < sizes.size() && g < 40; ++g)
    set->astLogDrvInfo[g].ulLogDrvSize = sizes[g];
  return set;
}

// The set as the only set of a WriteConfig description.
std::unique_ptr<ConfigInfo_Struct> AsConfig(const RaidSet_Struct &set) {
  auto config = std::make_unique<ConfigInfo_Struct>();
  std::memset(config.get(), 0, sizeof *config);
  config->uchNoOfRaidset = 1;
  NewRaidSet_Struct &only = config->astRaidSetStruct[0];
  only.uchNoOfSpan = set.uchNoOfSpan;
  std::memcpy(only.stArrayInfo, set.stArrayInfo, sizeof only.stArrayInfo);
  only.uchNoOfLD = set.uchNoOfLD;
  std::memcpy(only.astLogDrvInfo, set.astLogDrvInfo, sizeof only.astLogDrvInfo);
  for (LogDrvInfo_Struct &d : only.astLogDrvInfo) {
    d.uchRaidLevel = set.uchRaidLevel;
    d.uchStripeSize = set.uchStripeSize;
  }
  return config;
}

class ConfigurationTest : public LibSimTest,
                          public ::testing::WithParamInterface<Generation> {
 protected:
  void SetUp() override {
    LibSimTest::SetUp();
    setenv("HALVSIM_PROC_SCSI", (Dir() + "/proc-scsi").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("HALVSIM_PROC_SCSI");
    LibSimTest::TearDown();
  }

  void StartWith(const std::string &more = "") {
    const Generation &g = GetParam();
    UseState(StateText(
        {AdapterBlock(g.firmware, g.interface, 0, FreeDisks() + more)}));
    Start();
  }

  bool Is40LD() const { return GetParam().Is40LD(); }
  int MaxDrives() const { return Is40LD() ? 40 : 8; }

  // The logical drives the simulated adapter 0 holds.
  std::vector<SimDrive> SimDrives() {
    std::ifstream in(StatePath());
    std::string line;
    std::vector<SimDrive> found;
    int adapter = -1;
    while (std::getline(in, line)) {
      if (line.rfind("adapter ", 0) == 0) ++adapter;
      if (adapter != 0) continue;
      if (line.rfind("logdrive", 0) == 0) {
        found.push_back({Fields(line), {}});
      } else if (line.rfind("  span", 0) == 0 && !found.empty()) {
        auto f = Fields(line);
        found.back().spans.push_back(
            {std::stoul(f["start"]), std::stoul(f["blocks"]), f["members"]});
      }
    }
    return found;
  }

  // The configuration writes among the commands sent since the last look.
  std::vector<libsim::TraceLine> Writes() {
    const auto lines = Trace();
    std::vector<libsim::TraceLine> w;
    for (const char *p : {"20", "68", "a10d"}) {
      for (const auto &l : Commands(lines, p)) w.push_back(l);
    }
    return w;
  }

  std::string ProcScsi() {
    std::ifstream in(Dir() + "/proc-scsi", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Reads the adapter's configuration back.
  std::unique_ptr<RaidConfig_Struct> Read(Int expected = 0) {
    auto config = std::make_unique<RaidConfig_Struct>();
    std::memset(config.get(), 0, sizeof *config);
    Config_Struct source = {0, 0, 0};
    EXPECT_EQ(expected, ReadConfig(0, &source, config.get()));
    return config;
  }
};

INSTANTIATE_TEST_SUITE_P(Generations, ConfigurationTest,
                         ::testing::ValuesIn(drives::kGenerations),
                         [](const ::testing::TestParamInfo<Generation> &param) {
                           return std::string(param.param.name);
                         });

// Expected layout of a drive: level, stripe byte, spans of (blocks,
// members); start blocks run on over every span of the write.
struct Expected {
  int level;
  int stripeByte;
  std::vector<std::pair<unsigned long, Members>> spans;
  ULong32 sizeMiB;
};

void ExpectLayout(const std::vector<Expected> &want,
                  const std::vector<SimDrive> &got,
                  const RaidConfig_Struct &read, unsigned long start = 0) {
  ASSERT_EQ(want.size(), got.size());
  ASSERT_LE(want.size(), read.uchNoOfLD);
  for (size_t g = 0; g < want.size(); ++g) {
    SCOPED_TRACE("drive " + std::to_string(g));
    const Expected &w = want[g];
    const SimDrive &d = got[g];
    EXPECT_EQ(std::to_string(w.level), d.fields.at("raid"));
    EXPECT_EQ(std::to_string(w.stripeByte), d.fields.at("stripe"));
    EXPECT_EQ("2", d.fields.at("read-ahead"));
    EXPECT_EQ("1", d.fields.at("write-policy"));
    EXPECT_EQ("1", d.fields.at("direct-io"));
    ASSERT_EQ(w.spans.size(), d.spans.size());
    const FullLogDrvInfo_struct &r = read.astFullLogDrvInfo[g];
    EXPECT_EQ(g, r.stLdrv.uchLogDrvNo);
    EXPECT_EQ(HVAPI_LDRV_OPTIMAL, r.stLdrv.uchStatus);
    EXPECT_EQ(w.level, r.stLdrv.uchRaidLevel);
    EXPECT_EQ(w.spans.size(), r.stLdrv.uchSpanDepth);
    EXPECT_EQ(w.stripeByte / 2, r.stLdrv.uchStripeSize);
    EXPECT_EQ(2, r.stLdrv.stLogDrv_Policy.uchReadPolicy);
    EXPECT_EQ(1, r.stLdrv.stLogDrv_Policy.uchWritePolicy);
    EXPECT_EQ(1, r.stLdrv.stLogDrv_Policy.uchCachePolicy);
    EXPECT_EQ(w.spans[0].second.size(), r.stLdrv.uchNoOfStripes);
    EXPECT_EQ(w.sizeMiB, r.stLdrv.ulLDrvSize);
    for (size_t s = 0; s < w.spans.size(); ++s) {
      EXPECT_EQ(start, d.spans[s].start);
      EXPECT_EQ(w.spans[s].first, d.spans[s].blocks);
      EXPECT_EQ(MemberText(w.spans[s].second), d.spans[s].members);
      const ArrayInfo_Struct &a = r.astArrayInfo[s];
      ASSERT_EQ(w.spans[s].second.size(), a.uchPhyDrvPerArray);
      for (size_t k = 0; k < w.spans[s].second.size(); ++k) {
        EXPECT_EQ(w.spans[s].second[k].first, a.astDrives[k].uchChanNo);
        EXPECT_EQ(w.spans[s].second[k].second, a.astDrives[k].uchTargID);
      }
      start += w.spans[s].first;
    }
  }
}

TEST_P(ConfigurationTest, NewConfigurationsOfEachLevelRoundTrip) {
  const Members three = {{0, 0}, {0, 1}, {1, 1}};
  const struct Case {
    const char *name;
    UChar level;
    UChar stripe;
    std::vector<Members> spans;
    std::vector<ULong32> sizes;
    std::vector<ULong32> sizesAfter;  // the caller's record afterwards
    std::vector<Expected> layout;
  } cases[] = {
      // Two disks striped: 1989 of 2000 MiB leave 11, a drive of its own.
      {"raid0",
       0,
       0,
       {{{0, 2}, {0, 3}}},
       {1989},
       {1989, 11},
       {{0, 0, {{1989 * 2048 / 2, {{0, 2}, {0, 3}}}}, 1989},
        {0, 0, {{11 * 2048 / 2, {{0, 2}, {0, 3}}}}, 11}}},
      // 10 MiB left over go to the last drive.
      {"raid0 rest to last",
       0,
       64,
       {{{0, 2}, {0, 3}}},
       {1990},
       {2000},
       {{0, 128, {{2000 * 2048 / 2, {{0, 2}, {0, 3}}}}, 2000}}},
      // Two mirrored spans: 2000 MiB usable; a 5 MiB drive becomes 10.
      {"raid1 spanned",
       1,
       32,
       {{{0, 0}, {0, 1}}, {{0, 2}, {0, 3}}},
       {5, 1990},
       {10, 1990},
       {{1,
         64,
         {{10 * 2048 / 2, {{0, 0}, {0, 1}}}, {10 * 2048 / 2, {{0, 2}, {0, 3}}}},
         10},
        {1,
         64,
         {{1990 * 2048 / 2, {{0, 0}, {0, 1}}},
          {1990 * 2048 / 2, {{0, 2}, {0, 3}}}},
         1990}}},
      {"raid5",
       5,
       8,
       {three},
       {100},
       {100, 1900},
       {{5, 16, {{100 * 2048 / 2, three}}, 100},
        {5, 16, {{1900 * 2048 / 2, three}}, 1900}}},
      {"raid3",
       3,
       64,
       {three},
       {2000},
       {2000},
       {{3, 128, {{2000 * 2048 / 2, three}}, 2000}}},
  };
  StartWith();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    auto set = Set(c.level, c.stripe, c.spans, c.sizes);
    ASSERT_EQ(0, WriteNewConfig(0, set.get()));
    ASSERT_EQ(c.sizesAfter.size(), set->uchNoOfLD);
    for (size_t g = 0; g < c.sizesAfter.size(); ++g)
      EXPECT_EQ(c.sizesAfter[g], set->astLogDrvInfo[g].ulLogDrvSize);
    EXPECT_EQ(1u, Writes().size());
    auto read = Read();
    EXPECT_EQ(c.layout.size(), read->uchNoOfLD);
    ExpectLayout(c.layout, SimDrives(), *read);
    // Members are online with their size; what is left stays as it was.
    Int state = -1;
    UChar pstate = 0;
    state = GetPDrvState(0, &pstate, c.spans[0][0].first, c.spans[0][0].second);
    EXPECT_EQ(0, state);
    EXPECT_EQ(HVAPI_PDRV_ONLINE, pstate);
    ASSERT_EQ(0, ClearConfig(0));
    Trace();
  }
}

TEST_P(ConfigurationTest, WriteConfigSizesEachSetByItsLevels) {
  StartWith();
  auto config = std::make_unique<ConfigInfo_Struct>();
  std::memset(config.get(), 0, sizeof *config);
  config->uchNoOfRaidset = 2;
  // Set 0: RAID 1 of 5 MiB on two 1000 MiB disks grows by (2000 - 20) / 2.
  NewRaidSet_Struct &mirror = config->astRaidSetStruct[0];
  mirror.uchNoOfSpan = 1;
  mirror.stArrayInfo[0] = Span({{0, 0}, {0, 1}});
  mirror.uchNoOfLD = 1;
  mirror.astLogDrvInfo[0] = {0, 0, 1, {0, 0, 0}, 16, 5};
  // Set 1: RAID 0 of 100 MiB then RAID 5 of 1000 MiB on three disks:
  // required 100 + 1500, available 3000; the RAID 5 grows by 1400 * 2 / 3.
  NewRaidSet_Struct &parity = config->astRaidSetStruct[1];
  parity.uchNoOfSpan = 1;
  parity.stArrayInfo[0] = Span({{0, 2}, {0, 3}, {0, 4}});
  parity.uchNoOfLD = 2;
  parity.astLogDrvInfo[0] = {0, 0, 0, {0, 0, 0}, 0, 100};
  parity.astLogDrvInfo[1] = {0, 0, 5, {0, 0, 0}, 4, 1000};
  ASSERT_EQ(0, WriteConfig(0, config.get()));
  EXPECT_EQ(1000u, mirror.astLogDrvInfo[0].ulLogDrvSize);
  EXPECT_EQ(100u, parity.astLogDrvInfo[0].ulLogDrvSize);
  EXPECT_EQ(1000u + 1400 * 2 / 3, parity.astLogDrvInfo[1].ulLogDrvSize);
  const Members p = {{0, 2}, {0, 3}, {0, 4}};
  auto read = Read();
  // RAID 0 of 100 MiB over three disks: 68266 blocks each, 99 MiB usable.
  ExpectLayout({{1, 32, {{1000 * 2048, {{0, 0}, {0, 1}}}}, 1000},
                {0, 0, {{100 * 2048 / 3, p}}, 100 * 2048 / 3 * 3 / 2048},
                {5, 8, {{1933 * 2048 / 2, p}}, 1933}},
               SimDrives(), *read);
}

TEST_P(ConfigurationTest, WriteConfigGrowsTheLastDriveByItsLevel) {
  StartWith();
  const struct {
    UChar level;
    Members members;
    ULong32 size;
    ULong32 grown;
  } cases[] = {
      // Required 20 of 2000: grows by (2000 - 20) / 2.
      {1, {{0, 0}, {0, 1}}, 5, 1000},
      // Required 1500 of 3000: grows by 1500 * 2 / 3.
      {5, {{0, 0}, {0, 1}, {0, 2}}, 1000, 2000},
      {0, {{0, 0}, {0, 1}, {0, 2}}, 1000, 3000},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.level));
    auto config = AsConfig(*Set(c.level, 0, {c.members}, {c.size}));
    ASSERT_EQ(0, WriteConfig(0, config.get()));
    EXPECT_EQ(c.grown,
              config->astRaidSetStruct[0].astLogDrvInfo[0].ulLogDrvSize);
    EXPECT_EQ(c.grown, Read()->astFullLogDrvInfo[0].stLdrv.ulLDrvSize);
  }
}

TEST_P(ConfigurationTest, AddDeleteAndClear) {
  StartWith();
  auto mirror = Set(1, 0, {{{0, 0}, {0, 1}}}, {1000});
  ASSERT_EQ(0, WriteNewConfig(0, mirror.get()));
  const auto before = SimDrives();
  ASSERT_EQ(1u, before.size());
  // The added set's start blocks count from 0; the first drive stays.
  const Members p = {{0, 2}, {0, 3}, {1, 1}};
  auto parity = Set(5, 2, {p}, {2000});
  ASSERT_EQ(0, AddLogDrvToConfig(0, parity.get()));
  auto read = Read();
  ExpectLayout({{1, 0, {{1000 * 2048, {{0, 0}, {0, 1}}}}, 1000}}, before,
               *read);
  const auto after = SimDrives();
  ASSERT_EQ(2u, after.size());
  EXPECT_EQ(before[0].spans[0].members, after[0].spans[0].members);
  EXPECT_EQ(0u, after[1].spans[0].start);
  EXPECT_EQ(2000u * 2048 / 2, after[1].spans[0].blocks);
  EXPECT_EQ(MemberText(p), after[1].spans[0].members);
  EXPECT_EQ(2, read->uchNoOfLD);
  EXPECT_EQ(2000u, read->astFullLogDrvInfo[1].stLdrv.ulLDrvSize);
  // A hot spare made before an addition stays one.
  ASSERT_EQ(0, SetHotSpare(0, 1, 3));
  ASSERT_EQ(0, AddLogDrvToConfig(0, Set(0, 0, {{{0, 4}}}, {1000}).get()));
  ASSERT_EQ(0, DeleteNewLogDrv(0, 0));
  UChar state = 0;
  EXPECT_EQ(0, GetPDrvState(0, &state, 1, 3));
  EXPECT_EQ(HVAPI_PDRV_HOTSPARE, state);

  // Neither drive has been announced: the last goes without force.
  EXPECT_EQ(-16, DeleteNewLogDrv(0, 2));
  ASSERT_EQ(0, DeleteNewLogDrv(0, 0));
  EXPECT_EQ(1u, SimDrives().size());
  EXPECT_EQ(1, GetNumOfLogDrvs(0));
  ASSERT_EQ(0, AddSettoOS(0));
  Trace();
  EXPECT_EQ(-58, DeleteNewLogDrv(0, 0));
  EXPECT_TRUE(Writes().empty());
  ASSERT_EQ(0, DeleteNewLogDrv(0, 1));
  EXPECT_EQ(-22, DeleteNewLogDrv(0, 1));
  EXPECT_EQ(-22, GetNumOfLogDrvs(0));

  // A drive made after a forced delete is new although the count the
  // operating system knows of is not lower.
  ASSERT_EQ(0, AddLogDrvToConfig(0, mirror.get()));
  ASSERT_EQ(0, ClearConfig(0));
  EXPECT_TRUE(SimDrives().empty());
  Read(-64);
}

TEST_P(ConfigurationTest, RefusedWritesSendNoWrite) {
  StartWith();
  const Members two = {{0, 0}, {0, 1}};
  const Members three = {{0, 0}, {0, 1}, {0, 2}};
  Members tooMany;
  for (int k = 0; k < (Is40LD() ? 33 : 9); ++k)
    tooMany.push_back({k / 8, k % 8 == 7 ? 8 : k % 8});
  const int maxSpans = GetParam().firmware == HVAPI_FW_8LD_4SPAN ? 4 : 8;
  const int badChannel = Is40LD() ? 16 : 5;
  const struct Case {
    const char *name;
    Int code;
    UChar level;
    UChar stripe;
    std::vector<Members> spans;
    int drives;
  } cases[] = {
      {"level 2", -17, 2, 0, {two}, 1},
      {"stripe 3", -50, 0, 3, {two}, 1},
      {"stripe 128", -50, 0, 128, {two}, 1},
      {"no span", -49, 1, 0, {}, 1},
      {"too many spans", -49, 1, 0, std::vector<Members>(maxSpans + 1, two), 1},
      {"no drive", -48, 0, 0, {two}, 0},
      {"too many drives", -48, 0, 0, {two}, MaxDrives() + 1},
      {"empty span", -51, 1, 0, {two, {}}, 1},
      {"span beyond its record", -51, 0, 0, {tooMany}, 1},
      {"unequal spans", -51, 1, 0, {{{0, 0}, {0, 1}}, {{0, 2}}}, 1},
      {"channel", -14, 0, 0, {{{0, 0}, {badChannel, 0}}}, 1},
      {"target 17", -18, 0, 0, {{{0, 0}, {0, 17}}}, 1},
      {"initiator", -18, 0, 0, {{{0, 0}, {0, 7}}}, 1},
      {"twice in a span", -52, 0, 0, {{{0, 0}, {0, 1}, {0, 0}}}, 1},
      // An earlier position of a later span.
      {"twice in two spans",
       -52,
       1,
       0,
       {{{0, 0}, {0, 1}}, {{0, 1}, {0, 2}}},
       1},
      {"tape", -31, 0, 0, {{{0, 0}, {1, 2}}}, 1},
      {"empty slot", -31, 0, 0, {{{0, 0}, {0, 9}}}, 1},
      {"target 16", -31, 0, 0, {{{0, 0}, {0, 16}}}, 1},
      {"raid1 of three", -17, 1, 0, {three}, 1},
      {"raid5 of two", -17, 5, 0, {two}, 1},
      {"raid0 spanned", -17, 0, 0, {two, {{0, 2}, {0, 3}}}, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    auto set = Set(c.level, c.stripe, c.spans,
                   std::vector<ULong32>(static_cast<size_t>(c.drives), 10));
    set->uchNoOfSpan = static_cast<UChar>(c.spans.size());
    EXPECT_EQ(c.code, WriteNewConfig(0, set.get()));
    EXPECT_EQ(c.code, AddLogDrvToConfig(0, set.get()));
    // The same as one set of WriteConfig, which lets RAID 0 span.
    if (std::string(c.name) != "raid0 spanned") {
      EXPECT_EQ(c.code, WriteConfig(0, AsConfig(*set).get()));
    }
    EXPECT_TRUE(Writes().empty());
  }
  // Sizes whose sum or share overflows 32 bits need more than there is.
  for (const auto &sizes : {std::vector<ULong32>{0x80000000u, 0x80000000u},
                            std::vector<ULong32>{0xFFFFFFFFu}}) {
    EXPECT_EQ(-53, WriteNewConfig(0, Set(0, 0, {two}, sizes).get()));
    EXPECT_EQ(-53, WriteConfig(0, AsConfig(*Set(5, 0, {three}, sizes)).get()));
  }
  // 0x55555556 MiB of RAID 5 on three disks: its raw share wraps 32 bits.
  EXPECT_EQ(-53,
            WriteConfig(0, AsConfig(*Set(5, 0, {three}, {0x55555556u})).get()));
  // A capacity that cannot be read.
  UseFaults("op=3 sub=0x25 fail");
  EXPECT_EQ(-11, WriteNewConfig(0, Set(0, 0, {two}, {10}).get()));
  UseFaults("");
  EXPECT_TRUE(Writes().empty());
  // Capacity: two disks offer 2000 MiB striped, 1000 mirrored.
  auto big = Set(1, 0, {two}, {1001});
  EXPECT_EQ(-53, WriteNewConfig(0, big.get()));
  // Spans of unequal disks count at the smallest: 1:0 is twice as large.
  auto mixed = Set(1, 0, {{{0, 0}, {0, 1}}, {{1, 0}, {1, 4}}}, {2001});
  EXPECT_EQ(-53, WriteNewConfig(0, mixed.get()));
  // A hot spare cannot join an added set.
  auto spare = Set(0, 0, {{{0, 0}, {1, 3}}}, {10});
  EXPECT_EQ(-54, AddLogDrvToConfig(0, spare.get()));
  EXPECT_TRUE(Writes().empty());
  EXPECT_TRUE(SimDrives().empty());

  // A good write after them all; then a member cannot join another set.
  auto good = Set(1, 0, {two}, {1000});
  ASSERT_EQ(0, WriteNewConfig(0, good.get()));
  auto again = Set(0, 0, {{{0, 1}, {0, 2}}}, {10});
  EXPECT_EQ(-54, AddLogDrvToConfig(0, again.get()));
  Trace();
  // A write the adapter refuses leaves its configuration in place.
  UseFaults("op=" +
            std::string(Is40LD() ? "0xa1 sub=0x0d"
                                 : (GetParam().firmware == HVAPI_FW_8LD_4SPAN
                                        ? "0x20"
                                        : "0x68")) +
            " status=1");
  EXPECT_EQ(-11, ClearConfig(0));
  EXPECT_EQ(1u, SimDrives().size());
}

TEST_P(ConfigurationTest, WriteConfigChecksEverySet) {
  StartWith();
  auto config = std::make_unique<ConfigInfo_Struct>();
  const auto reset = [&](int sets) {
    std::memset(config.get(), 0, sizeof *config);
    config->uchNoOfRaidset = static_cast<UChar>(sets);
    for (int r = 0; r < sets && r < 40; ++r) {
      NewRaidSet_Struct &s = config->astRaidSetStruct[r];
      s.uchNoOfSpan = 1;
      s.stArrayInfo[0] = Span({{0, r}});
      s.uchNoOfLD = 1;
      s.astLogDrvInfo[0].ulLogDrvSize = 10;
    }
  };
  reset(0);
  EXPECT_EQ(-66, WriteConfig(0, config.get()));
  reset(MaxDrives() + 1);
  EXPECT_EQ(-66, WriteConfig(0, config.get()));
  reset(2);
  config->astRaidSetStruct[1].uchNoOfLD = 0;
  EXPECT_EQ(-48, WriteConfig(0, config.get()));
  reset(2);
  config->astRaidSetStruct[0].uchNoOfLD = static_cast<UChar>(MaxDrives());
  EXPECT_EQ(-48, WriteConfig(0, config.get()));
  // The same disk in two sets, whatever its position.
  reset(2);
  config->astRaidSetStruct[1].stArrayInfo[0] = Span({{0, 2}, {0, 0}});
  EXPECT_EQ(-52, WriteConfig(0, config.get()));
  reset(1);
  config->astRaidSetStruct[0].astLogDrvInfo[0].uchStripeSize = 5;
  EXPECT_EQ(-50, WriteConfig(0, config.get()));
  EXPECT_TRUE(Writes().empty());
}

TEST_P(ConfigurationTest, LeftOverCapacityJoinsTheLastDriveAtTheLimit) {
  std::string layout;
  for (int i = 0; i < MaxDrives() - 1; ++i)
    layout += "logdrive raid=0\n  span start=0 blocks=2048 members=0:5\n";
  StartWith(layout);
  // 500 of 2000 MiB asked for: the rest cannot be a drive of its own.
  auto set = Set(0, 0, {{{0, 0}, {0, 1}}}, {500});
  ASSERT_EQ(0, AddLogDrvToConfig(0, set.get()));
  EXPECT_EQ(1, set->uchNoOfLD);
  EXPECT_EQ(2000u, set->astLogDrvInfo[0].ulLogDrvSize);
  EXPECT_EQ(static_cast<size_t>(MaxDrives()), SimDrives().size());
  Trace();
  auto more = Set(0, 0, {{{0, 2}}}, {10});
  EXPECT_EQ(-48, AddLogDrvToConfig(0, more.get()));
  EXPECT_TRUE(Writes().empty());
}

TEST_P(ConfigurationTest, AnnouncedLines) {
  const int drives = Is40LD() ? 10 : 8;
  std::string layout = "host-number 3\nchannels 4\n";
  for (int i = 0; i < drives; ++i)
    layout += "logdrive raid=0\n  span start=0 blocks=2048 members=0:0\n";
  StartWith(layout);
  ASSERT_EQ(0, AddSettoOS(0));
  const int channel = 4;  // the logical drives' channel follows the others
  std::string want;
  for (int i = 0; i < drives; ++i) {
    char block[80] = {};
    std::snprintf(block, sizeof block, "scsi add-single-device 3 %d %d %d",
                  channel, i / 8, i % 8);
    want.append(block, sizeof block);
  }
  EXPECT_EQ(want, ProcScsi());
  EXPECT_EQ(-58, MakeDrvUse(0));
  EXPECT_EQ(-58, DeleteNewLogDrv(0, 0));
  ASSERT_EQ(0, DeleteNewLogDrv(0, 1));
  auto set = Set(0, 0, {{{0, 1}}}, {1000});
  ASSERT_EQ(0, AddLogDrvToConfig(0, set.get()));
  // Drive drives - 1 again: the operating system already knows it.
  EXPECT_EQ(-58, MakeDrvUse(0));
  const std::string before = ProcScsi();
  auto more = Set(0, 0, {{{0, 2}}}, {1000});
  if (!Is40LD()) {
    EXPECT_EQ(-48, AddLogDrvToConfig(0, more.get()));
    return;
  }
  ASSERT_EQ(0, AddLogDrvToConfig(0, more.get()));
  ASSERT_EQ(0, MakeDrvUse(0));
  char block[80] = {};
  std::snprintf(block, sizeof block, "scsi add-single-device 3 %d 1 2",
                channel);
  EXPECT_EQ(before + std::string(block, sizeof block), ProcScsi());
}

TEST_P(ConfigurationTest, AnnouncingNeedsTheHostNumberAndTheFile) {
  StartWith(
      "host-number 255\n"
      "logdrive raid=0\n  span start=0 blocks=2048 members=0:0\n");
  EXPECT_EQ(-11, AddSettoOS(0));
  EXPECT_EQ("", ProcScsi());
  ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  ReleaseDiscoveredNodes();
  setenv("HALVSIM_PROC_SCSI", (Dir() + "/no/such/dir").c_str(), 1);
  StartWith("logdrive raid=0\n  span start=0 blocks=2048 members=0:0\n");
  EXPECT_EQ(-11, AddSettoOS(0));
  // A file that takes no byte: the line is not written.
  setenv("HALVSIM_PROC_SCSI", "/dev/full", 1);
  EXPECT_EQ(-11, AddSettoOS(0));
}

// ReadConfig and UseConfig on a stored configuration that differs: the
// adapter lost drive 1, its disks still record both.
class StoredConfigTest : public LibSimTest {};

TEST_F(StoredConfigTest, SourceChecksComeFirst) {
  UsePreset("one40ld");
  Start();
  auto config = std::make_unique<RaidConfig_Struct>();
  const struct {
    Config_Struct source;
    Int code;
  } cases[] = {
      {{2, 0, 0}, -16},  {{0, 17, 0}, -16}, {{0, 0, 17}, -16},
      {{1, 0, 16}, -31}, {{1, 0, 9}, -31},
  };
  for (const auto &c : cases) {
    Config_Struct source = c.source;
    EXPECT_EQ(c.code, ReadConfig(0, &source, config.get()));
    // Only the reconstruction query and the disk's INQUIRY go out.
    for (const auto &l : Commands(Trace(), "")) {
      const std::string op = l.at("area").substr(0, 2);
      EXPECT_TRUE(op == "61" || op == "03") << op;
    }
  }
  // Channel 16 passes the range test; the adapter's own is read.
  Config_Struct adapter = {0, 16, 16};
  EXPECT_EQ(0, ReadConfig(0, &adapter, config.get()));
  EXPECT_EQ(2, config->uchNoOfLD);
  // The RAID 1 drive's second member is stored as target byte 0x10.
  EXPECT_EQ(
      1, config->astFullLogDrvInfo[1].astArrayInfo[0].astDrives[1].uchChanNo);
  EXPECT_EQ(
      0, config->astFullLogDrvInfo[1].astArrayInfo[0].astDrives[1].uchTargID);
  EXPECT_EQ(-16, ReadConfig(0, &adapter, nullptr));
  EXPECT_EQ(-16, UseConfig(0, nullptr));
}

TEST_F(StoredConfigTest, ADisksCopyIsReadAndAdopted) {
  UsePreset("mismatch");
  Start();
  auto config = std::make_unique<RaidConfig_Struct>();
  Config_Struct adapter = {0, 0, 0};
  Config_Struct disk = {1, 0, 0};
  ASSERT_EQ(0, ReadConfig(0, &adapter, config.get()));
  EXPECT_EQ(1, config->uchNoOfLD);
  ASSERT_EQ(0, ReadConfig(0, &disk, config.get()));
  ASSERT_EQ(2, config->uchNoOfLD);
  const Ldrv_Struct &mirror = config->astFullLogDrvInfo[1].stLdrv;
  EXPECT_EQ(1, mirror.uchRaidLevel);
  EXPECT_EQ(1, mirror.uchLogDrvNo);
  EXPECT_EQ(2, mirror.uchNoOfStripes);
  Config_Struct bad = {2, 0, 0};
  EXPECT_EQ(-16, UseConfig(0, &bad));
  Trace();
  ASSERT_EQ(0, UseConfig(0, &disk));
  EXPECT_EQ(1u, Commands(Trace(), "a10d").size());
  EXPECT_EQ(2, GetNumOfLogDrvs(0));
  // Now they agree: nothing to resolve, nothing written.
  EXPECT_EQ(-63, UseConfig(0, &disk));
  EXPECT_TRUE(Commands(Trace(), "a10d").empty());
}

TEST_F(StoredConfigTest, NoLogicalDriveIsNoConfiguration) {
  UseState(StateText({AdapterBlock(HVAPI_FW_8LD_4SPAN, 2, 0,
                                   "device 0:0 state=0 sectors=4194304\n")}));
  Start();
  auto config = std::make_unique<RaidConfig_Struct>();
  Config_Struct adapter = {0, 0, 0};
  EXPECT_EQ(-64, ReadConfig(0, &adapter, config.get()));
  // A count beyond the layout from the adapter is refused too.
  UseFaults("op=0x07 data=0:09");
  EXPECT_EQ(-64, ReadConfig(0, &adapter, config.get()));
}

class SystemStatusTest : public LibSimTest {
 protected:
  std::vector<AdapterStatus_Struct> Status(Int expected = 0, UChar of = 0) {
    std::vector<AdapterStatus_Struct> s(6);
    std::memset(s.data(), 0xEE, s.size() * sizeof s[0]);
    EXPECT_EQ(expected, CheckSystemStatus(of, s.data()));
    return s;
  }
};

TEST_F(SystemStatusTest, HealthyDegradedAndRebuilding) {
  UsePreset("raid5");
  Start();
  AdapterStatus_Struct s = Status()[0];
  EXPECT_EQ(0, s.uchNVRAM_Mismatch);
  EXPECT_EQ(0, s.uchRecon_Prog);
  EXPECT_EQ(0, s.uchLDrvCount);
  EXPECT_EQ(0, s.uchPDrvCount);
  EXPECT_EQ(0, s.achConsCheck_Prog[0]);
  ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  ReleaseDiscoveredNodes();

  for (const char *preset : {"degraded", "rebuilding"}) {
    SCOPED_TRACE(preset);
    UsePreset(preset);
    setenv("HALVSIM_STATE", (StatePath() + preset).c_str(), 1);
    Start();
    s = Status()[0];
    ASSERT_EQ(1, s.uchLDrvCount);
    EXPECT_EQ(0, s.astLogDrvStatus[0].uchLDrvNo);
    EXPECT_EQ(1, s.astLogDrvStatus[0].uchStatus);  // degraded
    ASSERT_EQ(1, s.uchPDrvCount);
    EXPECT_EQ(0, s.astPhyDrvStatus[0].uchChannel);
    EXPECT_EQ(1, s.astPhyDrvStatus[0].uchTarget);
    EXPECT_EQ(std::string(preset) == "degraded" ? 4 : 5,
              s.astPhyDrvStatus[0].uchStatus);
    ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
    ReleaseDiscoveredNodes();
  }
}

TEST_F(SystemStatusTest, EveryAdapterIsReported) {
  UsePreset("mixed");
  Start();
  EXPECT_EQ(-44, CheckSystemStatus(3, nullptr));
  std::vector<AdapterStatus_Struct> untouched(6);
  std::memset(untouched.data(), 0xEE, 6 * sizeof untouched[0]);
  EXPECT_EQ(-44, CheckSystemStatus(7, untouched.data()));
  EXPECT_EQ(0xEE, untouched[0].uchPDrvCount);
  const auto s = Status(0, 2);
  EXPECT_EQ(2, GetCurrentAdaptNumber());
  EXPECT_EQ(0, s[0].uchLDrvCount);
  // The 4-span adapter's RAID 5 is degraded by its failed 0:1.
  ASSERT_EQ(1, s[1].uchLDrvCount);
  ASSERT_EQ(1, s[1].uchPDrvCount);
  EXPECT_EQ(1, s[1].astPhyDrvStatus[0].uchTarget);
  EXPECT_EQ(0, s[2].uchLDrvCount);
  EXPECT_EQ(0, s[2].uchPDrvCount);
  EXPECT_EQ(0xEE, s[3].uchPDrvCount);
}

TEST_F(SystemStatusTest, AnswersWhileAReconstructionRuns) {
  UseState(StateText(
      {AdapterBlock(HVAPI_FW_40LD, 2, 0,
                    "device 0:0 state=3 sectors=4194304\n"
                    "device 0:1 state=3 sectors=4194304\n"
                    "device 0:2 state=0 sectors=4194304\n"
                    "logdrive raid=1 stripe=128\n"
                    "  span start=0 blocks=2048 members=0:0,0:1\n"
                    "op recon ld=0 level=5 stripe=128 add=0:2 start=0 "
                    "duration=999999999999999\n")}));
  Start();
  EXPECT_EQ(-42, GetNumOfLogDrvs(0));
  const AdapterStatus_Struct s = Status()[0];
  EXPECT_EQ(1, s.uchRecon_Prog);
}

TEST_F(SystemStatusTest, DrivesAndDevicesOf8LDAdapters) {
  // A check runs on optimal drive 0 (state 0x22); drive 1 initialises;
  // a failed disk on channel 2 and one at target 7 (reported as 15, the
  // address sharing its entry).
  UseState(StateText({AdapterBlock(
      HVAPI_FW_8LD_8SPAN, 1, 0,
      "device 0:0 state=3 sectors=4194304\n"
      "device 0:1 state=3 sectors=4194304\n"
      "device 0:7 state=4 sectors=4194304\n"
      "device 2:3 state=4 sectors=4194304\n"
      "logdrive raid=1\n  span start=0 blocks=2048 members=0:0,0:1\n"
      "logdrive raid=0\n  span start=0 blocks=2048 members=0:0\n"
      "op check ld=0 start=0 duration=999999999999999\n"
      "op init ld=1 start=0 duration=999999999999999\n")}));
  Start();
  const AdapterStatus_Struct s = Status()[0];
  EXPECT_EQ(1, s.achConsCheck_Prog[0]);
  EXPECT_EQ(0, s.achInit_Prog[0]);
  EXPECT_EQ(1, s.achInit_Prog[1]);
  EXPECT_EQ(0, s.uchLDrvCount);
  ASSERT_EQ(2, s.uchPDrvCount);
  EXPECT_EQ(0, s.astPhyDrvStatus[0].uchChannel);
  EXPECT_EQ(15, s.astPhyDrvStatus[0].uchTarget);
  EXPECT_EQ(2, s.astPhyDrvStatus[1].uchChannel);
  EXPECT_EQ(3, s.astPhyDrvStatus[1].uchTarget);
  EXPECT_EQ(4, s.astPhyDrvStatus[1].uchStatus);
}

}  // namespace
