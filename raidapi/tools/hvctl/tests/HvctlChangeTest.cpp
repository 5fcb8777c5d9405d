// hvctl's commands that change an adapter, run as processes against the
// simulated adapters: each change is read back through hvctl's own read
// commands or the simulator's state.
#include <sstream>
#include <string>
#include <vector>

#include "HvctlFixture.h"

namespace {

// Each setting changes what "settings" shows, and only that one.
TEST_F(HvctlTest, EachSettingChangesWhatSettingsShows) {
  Start("raid5");
  struct Case {
    std::vector<std::string> args;
    const char *key;  // JSON pointer into the settings
    int value;
  };
  // In order: the initiator ID can change only once cluster mode is on.
  const Case cases[] = {
      {{"rebuild-rate", "55"}, "/rebuild_rate", 55},
      {{"auto-rebuild", "1"}, "/auto_rebuild", 1},
      {{"alarm", "2"}, "/alarm", 2},
      {{"alarm", "0"}, "/alarm", 0},
      {{"bios", "0"}, "/bios", 0},
      {{"bios", "1"}, "/bios", 1},
      {{"cluster", "1"}, "/cluster", 1},
      {{"initiator-id", "5"}, "/initiator_id", 5},
      {{"channel-rate", "1", "2"}, "/channel_rates/1", 2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.args[0]);
    json before = Json({"settings", "--json"});
    const json::json_pointer key(c.key);
    ASSERT_TRUE(before.contains(key)) << before.dump();
    EXPECT_NE(before.at(key), c.value);
    std::vector<std::string> args = {"settings"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProgramRun run = Hvctl(args);
    ASSERT_EQ(run.status, 0) << run.errors;
    json after = Json({"settings", "--json"});
    EXPECT_EQ(after.at(key), c.value);
    after[key] = before.at(key);
    EXPECT_EQ(after, before) << "another setting moved";
  }
  // Out of range is the command line's fault; the ID needs cluster mode.
  EXPECT_EQ(Hvctl({"settings", "rebuild-rate", "101"}).status, 2);
  ASSERT_EQ(Hvctl({"settings", "cluster", "0"}).status, 0);
  ProgramRun id = Hvctl({"settings", "initiator-id", "3"});
  EXPECT_EQ(id.status, 1);
  EXPECT_NE(id.errors.find("SetAdapterID: -65"), std::string::npos)
      << id.errors;
  // flush sends the adapter's cache-flush command.
  scenario_.Trace();
  ASSERT_EQ(Hvctl({"settings", "flush"}).status, 0);
  bool flushed = false;
  for (const TraceLine &line : scenario_.Trace())
    if (line.count("area") && line.at("area").rfind("0a", 0) == 0)
      flushed = true;
  EXPECT_TRUE(flushed);
}

TEST_F(HvctlTest, PoliciesChangeTheLogicalDrive) {
  Start("raid5");
  struct Case {
    int read, write, cache;
  };
  for (const Case &c : {Case{0, 0, 0}, Case{2, 1, 1}, Case{1, 0, 1}}) {
    ProgramRun run =
        Hvctl({"ld", "policy", "0", "--read", std::to_string(c.read), "--write",
               std::to_string(c.write), "--cache", std::to_string(c.cache)});
    ASSERT_EQ(run.status, 0) << run.errors;
    const json ld = Json({"ld", "list", "--json"})["logical_drives"][0];
    EXPECT_EQ(ld["read_policy"], c.read);
    EXPECT_EQ(ld["write_policy"], c.write);
    EXPECT_EQ(ld["cache_policy"], c.cache);
  }
  EXPECT_EQ(Hvctl({"ld", "policy", "0", "--read", "3", "--write", "0",
                   "--cache", "0"})
                .status,
            2);
  ProgramRun missing = Hvctl(
      {"ld", "policy", "7", "--read", "0", "--write", "0", "--cache", "0"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.errors.find("SetPolicy: "), std::string::npos);
}

// Host, channel, ID, LUN of each line written to the SCSI layer's control
// file, in order.
std::vector<std::vector<int>> Announcements(const std::string &file) {
  std::vector<std::vector<int>> lines;
  const std::string text = readFile(file);
  const std::string word = "scsi add-single-device";
  for (size_t at = text.find(word); at != std::string::npos;
       at = text.find(word, at + 1)) {
    std::istringstream numbers(text.substr(at + word.size(), 20));
    std::vector<int> line(4, -1);
    for (int &n : line) numbers >> n;
    lines.push_back(line);
  }
  return lines;
}

// create and add build logical drives on named disks, sized to the
// smallest member; announcements name each drive by ID and LUN.
TEST_F(HvctlTest, ConfigurationIsBuiltAndAnnounced) {
  Start("blank");
  const std::string control = scenario_.Dir() + "/proc-scsi";
  environment_.push_back({"HALVSIM_PROC_SCSI", control});
  ProgramRun create =
      Hvctl({"config", "create", "--yes", "--raid", "1", "0:0", "0:1"});
  ASSERT_EQ(create.status, 0) << create.errors;
  ProgramRun add = Hvctl({"config", "add", "--raid", "5", "0:2", "0:3", "0:4"});
  ASSERT_EQ(add.status, 0) << add.errors;

  const json drives = Json({"pd", "list", "--json"})["drives"];
  ASSERT_GE(drives.size(), 5u);
  const unsigned disk = drives[0]["size_mib"];
  const json lds = Json({"ld", "list", "--json"})["logical_drives"];
  ASSERT_EQ(lds.size(), 2u);
  EXPECT_EQ(lds[0]["raid_level"], 1);
  EXPECT_EQ(lds[0]["size_mib"], disk);
  EXPECT_EQ(lds[1]["raid_level"], 5);
  EXPECT_EQ(lds[1]["size_mib"], 2 * disk);
  EXPECT_EQ(lds[1]["spans"], json::parse(R"([["0:2","0:3","0:4"]])"));
  EXPECT_EQ(Json({"config", "show", "--json"})["logical_drives"][1]["spans"],
            lds[1]["spans"]);

  // Every drive, then (in the run that adds it) only the added one.
  ASSERT_EQ(Hvctl({"config", "announce"}).status, 0);
  ASSERT_EQ(Announcements(control).size(), 2u);
  EXPECT_EQ(Announcements(control)[0][3], 0);
  EXPECT_EQ(Announcements(control)[1][3], 1);
  EXPECT_EQ(Announcements(control)[1][2], 0);
  ProgramRun none = Hvctl({"config", "announce", "--new"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.errors.find("MakeDrvUse: -58"), std::string::npos);
  // A drive smaller than its disk leaves the rest to a further drive; the
  // run that adds them announces both, and only them.
  ProgramRun third = Hvctl(
      {"config", "add", "--announce", "--raid", "0", "--size", "100", "0:5"});
  ASSERT_EQ(third.status, 0) << third.errors;
  const json four = Json({"ld", "list", "--json"})["logical_drives"];
  ASSERT_EQ(four.size(), 4u);
  EXPECT_EQ(four[2]["size_mib"], 100);
  EXPECT_EQ(four[3]["size_mib"], disk - 100);
  const auto lines = Announcements(control);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2][3], 2);
  EXPECT_EQ(lines[3][3], 3);

  // A drive announced counts as in use: only --force removes it.
  ProgramRun kept = Hvctl({"config", "delete-last", "--yes"});
  EXPECT_EQ(kept.status, 1);
  EXPECT_NE(kept.errors.find("DeleteNewLogDrv: -58"), std::string::npos);
  ASSERT_EQ(Hvctl({"config", "delete-last", "--yes", "--force"}).status, 0);
  EXPECT_EQ(Json({"ld", "list", "--json"})["logical_drives"].size(), 3u);
}

// The disks record both drives, the adapter holds one: "use" makes the
// recorded configuration the adapter's and the mismatch ends.
TEST_F(HvctlTest, UseResolvesAConfigurationMismatch) {
  Start("mismatch");
  json status = Json({"status", "--json"})["adapters"][0];
  EXPECT_EQ(status["config_mismatch"], true);
  EXPECT_EQ(status["health"], "warning");
  EXPECT_EQ(Json({"ld", "list", "--json"})["logical_drives"].size(), 1u);
  const json stored =
      Json({"config", "show", "--stored", "--disk", "0:0", "--json"});
  ASSERT_EQ(stored["logical_drives"].size(), 2u);

  ProgramRun use = Hvctl({"config", "use", "--disk", "0:0", "--yes"});
  ASSERT_EQ(use.status, 0) << use.errors;
  const json lds = Json({"ld", "list", "--json"})["logical_drives"];
  ASSERT_EQ(lds.size(), 2u);
  EXPECT_EQ(lds[1]["spans"], stored["logical_drives"][1]["spans"]);
  status = Json({"status", "--json"})["adapters"][0];
  EXPECT_EQ(status["config_mismatch"], false);
  EXPECT_EQ(status["health"], "ok");
  ProgramRun again = Hvctl({"config", "use", "--yes"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.errors.find("UseConfig: -63"), std::string::npos);
}

// An image of 1 MiB with the signature and one section header reaches the
// adapter's flash whole; one without the signature is refused.
TEST_F(HvctlTest, FirmwareImageReachesTheFlash) {
  Start("raid5");
  std::string image(1048576, '\0');
  for (size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<char>(i * 13 + i / 4096);
  auto putU32 = [&](size_t at, uint32_t v) {
    for (int b = 0; b < 4; ++b) image[at + b] = static_cast<char>(v >> 8 * b);
  };
  putU32(20, 0x1000000);  // the section's flash address
  putU32(24, 1048576);    // its size: the chain ends after it
  const std::string bad = image;
  image.replace(0, 4, "V362");
  const std::string good = scenario_.Dir() + "/good.bin";
  const std::string unsigned_image = scenario_.Dir() + "/bad.bin";
  writeFile(good, image);
  writeFile(unsigned_image, bad);

  ProgramRun refused = Hvctl({"firmware", "--yes", unsigned_image});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.errors.find("Download_Firmware: -56"), std::string::npos)
      << refused.errors;
  EXPECT_EQ(Setting("flash-closes"), "0");
  ProgramRun download = Hvctl({"firmware", "--yes", good});
  ASSERT_EQ(download.status, 0) << download.errors;
  EXPECT_EQ(Setting("flash-blocks"), "256");
  EXPECT_EQ(Setting("flash-closes"), "1");
  EXPECT_TRUE(readFile(scenario_.StatePath() + ".flash0") == image);
  EXPECT_EQ(Hvctl({"firmware", "--yes", scenario_.Dir() + "/none.bin"}).status,
            1);
}

// The generic command: a read answers the adapter's bytes, a write changes
// the adapter, refusals carry the library's code or the adapter's status.
TEST_F(HvctlTest, OpcodeSendsOneAdapterCommand) {
  Start("raid5", {{"set", "rebuild-rate", "30"}});
  ProgramRun rate = Hvctl({"opcode", "--yes", "0x23"});
  ASSERT_EQ(rate.status, 0) << rate.errors;
  EXPECT_EQ(rate.output, "status 0\n1e\n");

  const std::string data = scenario_.Dir() + "/rate";
  writeFile(data, std::string(1, '\x2a'));
  ProgramRun set = Hvctl({"opcode", "--yes", "36", "--out", data});
  ASSERT_EQ(set.status, 0) << set.errors;
  EXPECT_EQ(Json({"settings", "--json"})["rebuild_rate"], 42);

  // A read beyond 4096 bytes: the 40LD disk array, one logical drive.
  ProgramRun array =
      Hvctl({"opcode", "--yes", "0xA1", "--objid", "4", "--in", "4"});
  ASSERT_EQ(array.status, 0) << array.errors;
  EXPECT_EQ(array.output, "status 0\n01 00 00 00\n");

  struct Case {
    std::vector<std::string> args;
    int status;
    const char *message;
  };
  const Case cases[] = {
      {{"0x0D"}, 1, "IssueCmd_MT: -1 ("},
      {{"0x04"}, 1, "IssueCmd_MT: adapter status 1"},  // an 8LD command
      {{"-a", "2", "0x23"}, 1, "IssueCmd_MT: -44 ("},
      {{"1000"}, 2, "use hvctl raw"},
      {{"0x10000"}, 2, ""},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = {"opcode", "--yes"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProgramRun run = Hvctl(args);
    EXPECT_EQ(run.status, c.status) << c.args.back();
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
  }
}

}  // namespace
