// The disk scan: trailing-component matching, the listener's answers, the
// temporary directories left out, and cancelling.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PlatformImplTestSupport.h"
#include "platform/FindFiles.h"

namespace {

class FindFilesTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    PlatformImpl::setSystemTempDir(m_temp.path().c_str());
  }
  ScratchDir m_temp;
};

// Answers true for the path in stopAt; cancels at cancelAt.
class Listener : public FileFindListener {
 public:
  bool foundFile(const SString& path) override {
    heard.push_back(path.c_str());
    if (heard.back() == cancelAt) PlatformImpl::setCanceled(true);
    return heard.back() == stopAt;
  }
  std::vector<std::string> heard;
  std::string stopAt;
  std::string cancelAt;
};

StringDeque names(std::initializer_list<const char*> list) {
  StringDeque result;
  for (const char* s : list) result.push_back(s);
  return result;
}

struct MatchCase {
  const char* path;
  int heard;  // how often the listener hears it
};

TEST_F(FindFilesTest, MatchesWholeTrailingComponents) {
  StringDeque relative = names({"bin/java", "java"});
  const MatchCase cases[] = {
      {"/opt/jdk/bin/java", 2},
      {"/bin/java", 2},
      {"/opt/jdk/xbin/java", 1},  // only "java"
      {"bin/java", 1},            // equal to it is no match for "bin/java"
      {"/opt/jdk/bin/javac", 0},
      {"/opt/jdk/bin/java/", 0},
      {"java", 0},
      {"/java", 1},
      {"", 0},
  };
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(c.path);
    Listener listener;
    FindFiles finder(relative, listener);
    EXPECT_FALSE(finder.processFile(c.path));
    EXPECT_EQ(static_cast<int>(listener.heard.size()), c.heard);
  }
}

TEST_F(FindFilesTest, TrueFromTheListenerEndsTheMatching) {
  StringDeque relative = names({"bin/java", "java"});
  Listener listener;
  listener.stopAt = "/opt/bin/java";
  FindFiles finder(relative, listener);
  EXPECT_TRUE(finder.processFile("/opt/bin/java"));
  EXPECT_EQ(listener.heard.size(), 1u);
}

TEST_F(FindFilesTest, LeavesOutTheTemporaryDirectories) {
  StringDeque relative = names({"java"});
  Listener listener;
  FindFiles finder(relative, listener);
  const std::string temp = m_temp.path();
  struct Case {
    std::string directory;
    bool skipped;
  } cases[] = {
      {temp, true},       {temp + "/", true},     {"/var/tmp/", true},
      {"/var/tmp", true}, {temp + "/sub", false}, {"/var/tmpx", false},
      {"/var", false},    {"/", false},           {temp + "x", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.directory);
    EXPECT_EQ(finder.skipDirectory(c.directory.c_str()), c.skipped);
  }
}

// "-tv:tempdir /" is a usable temporary directory, but leaving it out
// would leave out the whole disk: the walk then finds no JVM at all.
TEST_F(FindFilesTest, TheRootIsNeverLeftOutAsATemporaryDirectory) {
  StringDeque relative = names({"java"});
  struct Case {
    const char* tempDir;
    const char* directory;
    bool skipped;
  } cases[] = {
      {"/", "/", false},
      {"//", "/", false},
      {"/", "/var/tmp/", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tempDir) + " " + c.directory);
    PlatformImpl::setSystemTempDir(c.tempDir);
    Listener listener;
    FindFiles finder(relative, listener);
    EXPECT_EQ(finder.skipDirectory(c.directory), c.skipped);
  }
}

class FindFilesWalkTest : public FindFilesTest {
 protected:
  // disk/jdk/bin/java, disk/jre/bin/java, disk/other/xbin/java, and a
  // copy under the temporary directory, which lies inside the walk.
  void SetUp() override {
    FindFilesTest::SetUp();
    disk = m_disk.path();
    for (const char* dir : {"/jdk", "/jdk/bin", "/jre", "/jre/bin", "/other",
                            "/other/xbin", "/tmp", "/tmp/bin"})
      ASSERT_EQ(mkdir((disk + dir).c_str(), 0755), 0);
    for (const char* file : {"/jdk/bin/java", "/jre/bin/java",
                             "/other/xbin/java", "/tmp/bin/java"})
      writeFile(disk + file, "");
    PlatformImpl::setSystemTempDir((disk + "/tmp").c_str());
  }
  ScratchDir m_disk;
  std::string disk;
};

TEST_F(FindFilesWalkTest, FindsEveryMatchOutsideTheTemporaryDirectory) {
  StringDeque relative = names({"bin/java"});
  Listener listener;
  FindFiles finder(relative, listener);
  EXPECT_FALSE(finder.process((disk + "/").c_str()));
  std::vector<std::string> heard = listener.heard;
  std::sort(heard.begin(), heard.end());
  EXPECT_EQ(heard, (std::vector<std::string>{disk + "/jdk/bin/java",
                                             disk + "/jre/bin/java"}));
}

TEST_F(FindFilesWalkTest, StopsAtTheListenersRequest) {
  StringDeque relative = names({"bin/java"});
  Listener probe;
  FindFiles(relative, probe).process(disk.c_str());
  ASSERT_EQ(probe.heard.size(), 2u);
  Listener listener;
  listener.stopAt = probe.heard.front();
  FindFiles finder(relative, listener);
  EXPECT_TRUE(finder.process(disk.c_str()));
  EXPECT_EQ(listener.heard, std::vector<std::string>{probe.heard.front()});
}

TEST_F(FindFilesWalkTest, CanceledSearchReportsNoStop) {
  StringDeque relative = names({"bin/java"});
  Listener probe;
  FindFiles(relative, probe).process(disk.c_str());
  Listener listener;
  listener.cancelAt = probe.heard.front();
  FindFiles finder(relative, listener);
  EXPECT_FALSE(finder.process(disk.c_str()));
  EXPECT_EQ(listener.heard.size(), 1u);
}

TEST_F(FindFilesTest, PlatformScanEndsAtOnceWhenCanceled) {
  StringDeque relative = names({"bin/java"});
  Listener listener;
  PlatformImpl::setCanceled(true);
  EXPECT_FALSE(PlatformImpl::findFiles(relative, listener));
  EXPECT_TRUE(listener.heard.empty());
}

}  // namespace
