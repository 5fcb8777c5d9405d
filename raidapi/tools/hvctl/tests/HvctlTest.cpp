// hvctl run as a process against the simulated adapters, the way an
// administrator or a script runs it.
#include <map>
#include <string>
#include <vector>

#include "HvctlFixture.h"

namespace {

TEST_F(HvctlTest, ReadCommandsGiveTheirJsonSchema) {
  Start("degraded");
  json adapters = Json({"adapters", "--json"});
  ASSERT_EQ(adapters["adapters"].size(), 1u);
  EXPECT_EQ(adapters["adapters"][0]["firmware_type"], "40LD");

  json drives = Json({"pd", "list", "--json"});
  std::map<std::string, std::string> states;
  for (const json &d : drives["drives"])
    states[d["device"].get<std::string>()] = d["state"];
  EXPECT_EQ(states["0:0"], "online");
  EXPECT_EQ(states["0:1"], "failed");
  EXPECT_EQ(states["0:3"], "ready");
  EXPECT_EQ(states["1:0"], "hotspare");
  EXPECT_EQ(drives["drives"][0]["vendor"], "HALVSIM");

  json lds = Json({"ld", "list", "--json"});
  ASSERT_EQ(lds["logical_drives"].size(), 1u);
  const json &ld = lds["logical_drives"][0];
  EXPECT_EQ(ld["raid_level"], 5);
  EXPECT_EQ(ld["state"], "degraded");
  EXPECT_EQ(ld["spans"], json::parse(R"([["0:0","0:1","0:2"]])"));

  json status = Json({"status", "--json"});
  EXPECT_EQ(status["adapters"][0]["health"], "degraded");
  EXPECT_EQ(status["adapters"][0]["devices_not_usable"][0]["device"], "0:1");

  json errors = Json({"pd", "errors", "0:1", "--json"});
  EXPECT_EQ(errors["medium_errors"], 7);
  EXPECT_EQ(errors["other_errors"], 2);

  json settings = Json({"settings", "--json"});
  EXPECT_EQ(settings["initiator_id"], 7);
  EXPECT_EQ(settings["channel_rates"].size(), 3u);

  json config = Json({"config", "show", "--json"});
  EXPECT_EQ(config["logical_drives"][0]["spans"], ld["spans"]);
}

TEST_F(HvctlTest, TablesListEveryDriveInItsRow) {
  Start("degraded");
  ProgramRun pd = Hvctl({"pd", "list"});
  ASSERT_EQ(pd.status, 0) << pd.errors;
  EXPECT_EQ(Row(pd.output, "DEVICE").at(2), "STATE");
  EXPECT_EQ(Row(pd.output, "0:1").at(2), "failed");
  EXPECT_EQ(Row(pd.output, "1:0").at(2), "hotspare");
  ProgramRun ld = Hvctl({"ld", "list"});
  ASSERT_EQ(ld.status, 0) << ld.errors;
  EXPECT_EQ(Row(ld.output, "0"),
            (std::vector<std::string>{"0", "5", "2048", "degraded", "none",
                                      "0:0,0:1,0:2"}));
  ProgramRun status = Hvctl({"status"});
  EXPECT_EQ(Row(status.output, "0").at(1), "degraded");
}

// Without a terminal and without --yes nothing destructive happens.
TEST_F(HvctlTest, DestructiveCommandsNeedYes) {
  Start("degraded");
  const std::vector<std::vector<std::string>> commands = {
      {"config", "clear"},
      {"config", "delete-last", "--force"},
      {"config", "create", "--raid", "1", "0:3", "1:0"},
      {"pd", "fail", "0:0"},
      {"pd", "errors-reset", "0:1"},
      {"rebuild", "abort", "0:1"},
      {"init", "abort", "0"},
      {"firmware", "image.bin"},
      {"config", "use", "--disk", "0:0"},
      {"pd", "history-clear"},
      {"recon", "start", "0", "--raid", "5", "0:3"},
      {"opcode", "0x0A"},
  };
  for (const auto &command : commands) {
    ProgramRun run = Hvctl(command);
    EXPECT_EQ(run.status, 3) << command[0] << " " << command[1];
    EXPECT_NE(run.errors.find("--yes"), std::string::npos) << run.errors;
  }
  json lds = Json({"ld", "list", "--json"});
  EXPECT_EQ(lds["logical_drives"].size(), 1u);
  EXPECT_EQ(Json({"pd", "errors", "0:1", "--json"})["medium_errors"], 7);
  ProgramRun cleared = Hvctl({"config", "clear", "--yes"});
  EXPECT_EQ(cleared.status, 0) << cleared.errors;
  EXPECT_TRUE(Json({"ld", "list", "--json"})["logical_drives"].empty());
}

TEST_F(HvctlTest, FailingCallsGiveCodeTextAndStatus) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  Start("degraded");
  const Case cases[] = {
      {{"check", "start", "5"}, "StartConsistency: -19 (logical drive"},
      {{"pd", "hotspare-unset", "0:3"}, "ReSetHotSpare: -27 (the device is"},
      {{"info", "-a", "3"}, "-44 (adapter number out of range)"},
      {{"config", "add", "--raid", "5", "0:0", "0:3", "1:0"},
       "AddLogDrvToConfig: -54"},
  };
  for (const Case &c : cases) {
    ProgramRun run = Hvctl(c.args);
    EXPECT_EQ(run.status, 1) << c.args[0];
    EXPECT_NE(run.errors.find("hvctl: "), std::string::npos);
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
  }
  ProgramRun usage = Hvctl({"pd", "fail", "zero"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(Hvctl({"nosuchcommand"}).status, 2);
}

TEST_F(HvctlTest, WaitEndsWhenTheOperationEnds) {
  Start("blank", {{"set", "init-ms", "600"}, {"set", "rebuild-ms", "600"}});
  ProgramRun create =
      Hvctl({"config", "create", "--yes", "--raid", "5", "0:0", "0:1", "0:2"});
  ASSERT_EQ(create.status, 0) << create.errors;
  ProgramRun init = Hvctl({"init", "start", "0", "--wait"});
  ASSERT_EQ(init.status, 0) << init.errors;
  EXPECT_NE(init.output.find("init 100%\n"), std::string::npos) << init.output;
  EXPECT_EQ(Json({"ld", "list", "--json"})["logical_drives"][0]["operation"],
            "none");

  ASSERT_EQ(Halvsim({"fail", scenario_.StatePath(), "0:1"}).status, 0);
  EXPECT_EQ(Json({"status", "--json"})["adapters"][0]["health"], "degraded");
  ProgramRun rebuild = Hvctl({"rebuild", "start", "0:1", "--wait"});
  ASSERT_EQ(rebuild.status, 0) << rebuild.errors;
  EXPECT_NE(rebuild.output.find("rebuild 100%\n"), std::string::npos);
  EXPECT_EQ(Json({"status", "--json"})["adapters"][0]["health"], "ok");
}

// The adapter's drive history, sense entries and dump text, as tables and
// as JSON.
TEST_F(HvctlTest, DriveRecordsOfTheAdapterReadBack) {
  Start("faulty", {{"set", "dump-text", "firmware trap at 0x1f00"}});
  json history = Json({"pd", "history", "--json"});
  ASSERT_EQ(history["failures"].size(), 1u);
  EXPECT_EQ(history["failures"][0]["device"], "0:1");
  EXPECT_EQ(history["failures"][0]["reason"], 2);
  ProgramRun table = Hvctl({"pd", "history"});
  EXPECT_EQ(Row(table.output, "0:1"),
            (std::vector<std::string>{"0:1", "failed", "reason", "2"}));

  json sense = Json({"pd", "sense", "--json"});
  EXPECT_EQ(sense["end_pointer"], 1);
  ASSERT_EQ(sense["entries"].size(), 5u);
  EXPECT_EQ(sense["entries"][0]["device"], "0:1");
  EXPECT_EQ(sense["entries"][0]["sense_key"], 3);
  EXPECT_EQ(sense["entries"][0]["asc_ascq"], 17);
  EXPECT_EQ(Row(Hvctl({"pd", "sense"}).output, "0:1"),
            (std::vector<std::string>{"0:1", "3", "17"}));

  EXPECT_EQ(Hvctl({"pd", "dump"}).output, "firmware trap at 0x1f00\n");

  ASSERT_EQ(Hvctl({"pd", "history-clear", "--yes"}).status, 0);
  history = Json({"pd", "history", "--json"});
  EXPECT_TRUE(history["failures"].empty());
  EXPECT_TRUE(history["errors"].empty());
}

// INQUIRY through the pass-through answers the device's vendor; a block of
// the wrong length for its opcode is refused by the driver.
TEST_F(HvctlTest, RawPassThroughReadsTheAnswer) {
  Start("degraded");
  ProgramRun inquiry = Hvctl({"raw", "0:0", "120000002400", "--in", "36"});
  ASSERT_EQ(inquiry.status, 0) << inquiry.errors;
  EXPECT_EQ(Row(inquiry.output, "scsi_status").at(1), "0x00");
  // "HALVSIM " from byte 8 of the answer.
  EXPECT_NE(inquiry.output.find("48 41 4c 56 53 49 4d 20"), std::string::npos)
      << inquiry.output;
  ProgramRun bad = Hvctl({"raw", "0:0", "00000000000000"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.errors.find("ExecuteSCSICmd: -11"), std::string::npos);
  EXPECT_EQ(Hvctl({"raw", "0:0", "12zz"}).status, 2);
}

TEST_F(HvctlTest, HelpCoversEveryCommand) {
  for (const char *command :
       {"adapters", "info", "settings", "pd", "ld", "rebuild", "check", "init",
        "recon", "config", "status", "firmware", "metrics", "monitor", "raw",
        "opcode"}) {
    ProgramRun run = Hvctl({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.output.find("Usage"), std::string::npos) << command;
  }
}

}  // namespace
