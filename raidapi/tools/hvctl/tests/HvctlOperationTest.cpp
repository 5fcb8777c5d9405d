// hvctl's long operations against the simulated adapters: reconstruction
// on a frozen clock, the automatic rebuild onto a hot spare after a disk
// dies, and what --wait shows on a terminal.
#include <string>
#include <vector>

#include "HvctlFixture.h"

namespace {

// With the simulator's clock frozen, progress is exact and moves only when
// the test moves the clock.
TEST_F(HvctlTest, ReconstructionStartsProgressesAndEnds) {
  Start("raid5", {{"set", "clock", "1000000"}, {"set", "recon-ms", "1000"}});
  ProgramRun refused = Hvctl({"recon", "start", "0", "--raid", "5", "0:3"});
  EXPECT_EQ(refused.status, 3);
  ProgramRun start =
      Hvctl({"recon", "start", "0", "--raid", "5", "0:3", "--yes"});
  ASSERT_EQ(start.status, 0) << start.errors;

  EXPECT_EQ(Json({"status", "--json"})["adapters"][0]["reconstructing"], true);
  // The adapter takes no other command while it reconstructs.
  ProgramRun busy = Hvctl({"ld", "list"});
  EXPECT_EQ(busy.status, 1);
  EXPECT_NE(busy.errors.find("-42 ("), std::string::npos) << busy.errors;

  struct Step {
    const char *clock;
    int percent;
  };
  for (const Step &s :
       {Step{"1000000", 0}, Step{"1000250", 25}, Step{"1000990", 99}}) {
    Edit({"set", "clock", s.clock});
    json progress = Json({"recon", "progress", "--json"});
    EXPECT_EQ(progress["percent"], s.percent) << s.clock;
    EXPECT_EQ(progress["operation"], "recon");
  }
  ProgramRun table = Hvctl({"recon", "progress"});
  EXPECT_EQ(table.output, "99%\n");

  Edit({"set", "clock", "1001000"});
  ProgramRun wait = Hvctl({"recon", "progress", "--wait"});
  ASSERT_EQ(wait.status, 0) << wait.errors;
  EXPECT_EQ(wait.output, "recon 100%\n");
  const json ld = Json({"ld", "list", "--json"})["logical_drives"][0];
  EXPECT_EQ(ld["spans"], json::parse(R"([["0:0","0:1","0:2","0:3"]])"));
  EXPECT_EQ(ld["operation"], "none");
  EXPECT_EQ(Json({"status", "--json"})["adapters"][0]["reconstructing"], false);
}

// A disk of a RAID 5 dies (halvsim fail, not hvctl): with automatic rebuild
// on, the hot spare takes its place and its rebuild runs to the end. The
// clock stands still from the failure on, so the test decides when the
// rebuild is done.
TEST_F(HvctlTest, HotSpareTakesOverADiskThatDies) {
  Start("blank", {{"set", "init-ms", "300"}, {"set", "rebuild-ms", "1000"}});
  ASSERT_EQ(
      Hvctl({"config", "create", "--yes", "--raid", "5", "0:0", "0:1", "0:2"})
          .status,
      0);
  ASSERT_EQ(Hvctl({"init", "start", "0", "--wait"}).status, 0);
  ASSERT_EQ(Hvctl({"pd", "hotspare-set", "0:3"}).status, 0);
  ASSERT_EQ(Hvctl({"settings", "auto-rebuild", "1"}).status, 0);

  Edit({"set", "clock", "5000000"});
  Edit({"fail", "0:1"});
  json status = Json({"status", "--json"})["adapters"][0];
  EXPECT_EQ(status["health"], "degraded");
  EXPECT_EQ(status["logical_drives_not_optimal"][0]["state"], "degraded");
  ProgramRun pd = Hvctl({"pd", "list"});
  EXPECT_EQ(Row(pd.output, "0:3").at(2), "rebuilding");
  const json ld = Json({"ld", "list", "--json"})["logical_drives"][0];
  EXPECT_EQ(ld["spans"], json::parse(R"([["0:0","0:3","0:2"]])"));
  Edit({"set", "clock", "5000400"});
  EXPECT_EQ(Json({"rebuild", "progress", "0:3", "--json"})["percent"], 40);

  Edit({"set", "clock", "5001000"});
  ProgramRun rebuild = Hvctl({"rebuild", "progress", "0:3", "--wait"});
  ASSERT_EQ(rebuild.status, 0) << rebuild.errors;
  EXPECT_EQ(rebuild.output, "rebuild 100%\n");
  EXPECT_EQ(Json({"ld", "list", "--json"})["logical_drives"][0]["state"],
            "optimal");
  EXPECT_EQ(Row(Hvctl({"pd", "list"}).output, "0:3").at(2), "online");
}

// On a terminal --wait draws one bar redrawn in place; elsewhere it prints
// a line per change (the pipe case is in WaitEndsWhenTheOperationEnds).
TEST_F(HvctlTest, WaitDrawsABarOnATerminal) {
  Start("blank", {{"set", "init-ms", "400"}});
  ASSERT_EQ(
      Hvctl({"config", "create", "--yes", "--raid", "1", "0:0", "0:1"}).status,
      0);
  ProgramRun init = HvctlOnTerminal({"init", "start", "0", "--wait"}, "");
  ASSERT_EQ(init.status, 0) << init.output;
  EXPECT_NE(init.output.find("\rinit [" + std::string(40, '#') + "] 100%"),
            std::string::npos)
      << init.output;
  EXPECT_EQ(init.output.find("init 100%"), std::string::npos) << init.output;
  // One line: the bar redrawn after carriage returns, ended once.
  EXPECT_EQ(init.output.find('\n'), init.output.size() - 1) << init.output;
}

// On a terminal a destructive command asks, and only "y" goes on.
TEST_F(HvctlTest, TerminalAnswerDecidesADestructiveCommand) {
  Start("raid5");
  ProgramRun no = HvctlOnTerminal({"config", "clear"}, "n\n");
  EXPECT_EQ(no.status, 3);
  EXPECT_NE(no.output.find("config clear? [y/N]"), std::string::npos)
      << no.output;
  EXPECT_EQ(Json({"ld", "list", "--json"})["logical_drives"].size(), 1u);
  ProgramRun yes = HvctlOnTerminal({"config", "clear"}, "y\n");
  EXPECT_EQ(yes.status, 0) << yes.output;
  EXPECT_TRUE(Json({"ld", "list", "--json"})["logical_drives"].empty());
}

// A failed disk that no rebuild works on answers a progress of 0 for ever:
// --wait ends instead of waiting for it, whether the rebuild never started
// or was aborted.
TEST_F(HvctlTest, WaitEndsWhenNoRebuildRuns) {
  for (bool aborted : {false, true}) {
    SCOPED_TRACE(aborted ? "aborted" : "never started");
    Start("degraded",
          {{"set", "clock", "1000000"}, {"set", "rebuild-ms", "1000"}});
    if (aborted) {
      ASSERT_EQ(Hvctl({"rebuild", "start", "0:1"}).status, 0);
      Edit({"set", "clock", "1000500"});
      EXPECT_EQ(Json({"rebuild", "progress", "0:1", "--json"})["percent"], 50);
      ProgramRun abort = Hvctl({"rebuild", "abort", "0:1", "--yes"});
      ASSERT_EQ(abort.status, 0) << abort.errors;
    }
    ProgramRun wait = Hvctl({"rebuild", "progress", "0:1", "--wait"});
    EXPECT_EQ(wait.status, 1);
    EXPECT_EQ(wait.output, "rebuild 0%\n");
    EXPECT_NE(wait.errors.find("hvctl: no rebuild runs on 0:1"),
              std::string::npos)
        << wait.errors;
  }
}

}  // namespace
