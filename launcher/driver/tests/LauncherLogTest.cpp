// The log: prefixes by entry type, one separator per run and log file, and
// silence when there is no log.
#include <string>

#include "DriverTestSupport.h"
#include "core/LogHandler.h"
#include "driver/Launcher.h"

namespace {

class LauncherLogTest : public ::testing::Test {
 protected:
  void TearDown() override { Launcher::setLogFileName(""); }
  ScratchDir m_dir;
};

TEST_F(LauncherLogTest, PrefixesByType) {
  struct {
    int type;
    const char* line;
  } const cases[] = {
      {LOG_INFORMATION, "entry\n"},
      {LOG_WARNING, "WARNING: entry\n"},
      {LOG_ERROR, "ERROR: entry\n"},
      {7, "entry\n"},
      {-1, "entry\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    std::string log = m_dir.file("type" + std::to_string(c.type) + ".log");
    Launcher::setLogFileName(log.c_str());
    Launcher::logMessage("entry", static_cast<LogMessageType>(c.type));
    EXPECT_EQ(readFile(log), "------------------\n" + std::string(c.line));
  }
}

TEST_F(LauncherLogTest, OneSeparatorPerLogFileAndRun) {
  std::string first = m_dir.file("first.log");
  std::string second = m_dir.file("second.log");
  Launcher::setLogFileName(first.c_str());
  Launcher::logMessage("one", LOG_INFORMATION);
  Launcher::logMessage(SString("two"), LOG_ERROR);
  Launcher::setLogFileName(second.c_str());
  Launcher::logMessage("three", LOG_WARNING);
  EXPECT_EQ(readFile(first), "------------------\none\nERROR: two\n");
  EXPECT_EQ(readFile(second), "------------------\nWARNING: three\n");
}

TEST_F(LauncherLogTest, NothingWithoutALogFile) {
  std::string log = m_dir.file("never.log");
  Launcher::setLogFileName(log.c_str());
  Launcher::setLogFileName("");
  Launcher::logMessage("dropped", LOG_ERROR);
  EXPECT_FALSE(exists(log));
}

TEST_F(LauncherLogTest, LowerLayersLogThroughTheDriver) {
  // process() installs the driver's log for tag files and the platform.
  StringDeque args;
  args.push_back("-tv:silent");
  args.push_back("-tv:version");
  ASSERT_EQ(Launcher::process(args, LAUNCHER_PROGRAM), 0);
  std::string log = m_dir.file("below.log");
  Launcher::setLogFileName(log.c_str());
  logThroughHandler("from below", LOG_WARNING);
  EXPECT_EQ(readFile(log), "------------------\nWARNING: from below\n");
}

}  // namespace
