// The launcher's cache directory: where it is, that it is made private,
// that nothing in it is used unless it is the user's own and closed to
// others (another owner stood in through the test seam, since the tests
// may run as root), and that files are replaced whole.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/UserCacheDir.h"
#include "testsupport/FileHelpers.h"
#include "testsupport/ScratchDir.h"

namespace {

std::string str(const SString& s) { return std::string(s.data(), s.length()); }

mode_t modeOf(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// The environment of one test: XDG_CACHE_HOME and HOME as given (empty:
// unset), restored afterwards.
class UserCacheDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    save("XDG_CACHE_HOME", m_xdg, m_hadXdg);
    save("HOME", m_home, m_hadHome);
    cacheHome = scratch.file("cache");
    setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
  }
  void TearDown() override {
    restore("XDG_CACHE_HOME", m_xdg, m_hadXdg);
    restore("HOME", m_home, m_hadHome);
    UserCacheDir::resetExpectedOwner();
  }

  static void save(const char* name, std::string& value, bool& had) {
    const char* v = getenv(name);
    had = v != nullptr;
    if (v) value = v;
  }
  static void restore(const char* name, const std::string& value, bool had) {
    if (had)
      setenv(name, value.c_str(), 1);
    else
      unsetenv(name);
  }

  ScratchDir scratch;
  std::string cacheHome;

 private:
  std::string m_xdg, m_home;
  bool m_hadXdg = false, m_hadHome = false;
};

TEST_F(UserCacheDirTest, FindsTheCacheHome) {
  const std::string home = scratch.file("home");
  mkdir(home.c_str(), 0700);
  const struct {
    const char* xdg;  // nullptr: unset
    const char* home;
    std::string expected;  // empty: no cache
  } cases[] = {
      {"ABSOLUTE", "ignored", cacheHome + "/launcher/sub"},
      {"relative/cache", home.c_str(), home + "/.cache/launcher/sub"},
      {nullptr, home.c_str(), home + "/.cache/launcher/sub"},
      {"", home.c_str(), home + "/.cache/launcher/sub"},
      {nullptr, nullptr, ""},
      {nullptr, "relative-home", ""},
  };
  for (const auto& c : cases) {
    if (!c.xdg)
      unsetenv("XDG_CACHE_HOME");
    else if (std::string(c.xdg) == "ABSOLUTE")
      setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
    else
      setenv("XDG_CACHE_HOME", c.xdg, 1);
    if (c.home)
      setenv("HOME", c.home, 1);
    else
      unsetenv("HOME");
    UserCacheDir dir;
    SString reason;
    bool opened = dir.open("sub", reason);
    EXPECT_EQ(opened, !c.expected.empty()) << c.expected << str(reason);
    if (opened) {
      EXPECT_EQ(str(dir.path()), c.expected);
      EXPECT_EQ(modeOf(c.expected), 0700u);
      EXPECT_EQ(modeOf(c.expected.substr(0, c.expected.rfind('/'))), 0700u);
    }
  }
}

TEST_F(UserCacheDirTest, RefusesWhatOthersCouldChange) {
  const struct {
    const char* what;
    void (*spoil)(const std::string& cacheHome);
    const char* reason;
  } cases[] = {
      {"launcher directory writable by the group",
       [](const std::string& h) { chmod((h + "/launcher").c_str(), 0770); },
       "can be written by other users"},
      {"launcher directory writable by all",
       [](const std::string& h) { chmod((h + "/launcher").c_str(), 0777); },
       "can be written by other users"},
      {"subdirectory writable by all",
       [](const std::string& h) { chmod((h + "/launcher/sub").c_str(), 0703); },
       "can be written by other users"},
      {"cache home writable by all",
       [](const std::string& h) { chmod(h.c_str(), 01777); },
       "can be written by other users"},
      {"launcher directory is a link",
       [](const std::string& h) {
         rename((h + "/launcher").c_str(), (h + "/elsewhere").c_str());
         symlink("elsewhere", (h + "/launcher").c_str());
       },
       "cannot be opened"},
      {"launcher directory is a file",
       [](const std::string& h) {
         rename((h + "/launcher").c_str(), (h + "/gone").c_str());
         writeFile(h + "/launcher", "x");
       },
       "cannot be opened"},
  };
  for (const auto& c : cases) {
    ScratchDir fresh;
    cacheHome = fresh.file("cache");
    setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
    {
      UserCacheDir dir;
      SString reason;
      ASSERT_TRUE(dir.open("sub", reason)) << str(reason);
    }
    c.spoil(cacheHome);
    UserCacheDir dir;
    SString reason;
    EXPECT_FALSE(dir.open("sub", reason)) << c.what;
    EXPECT_NE(str(reason).find(c.reason), std::string::npos)
        << c.what << ": " << str(reason);
    EXPECT_FALSE(dir.isOpen());
    chmod(cacheHome.c_str(), 0700);
  }
}

TEST_F(UserCacheDirTest, RefusesAnotherUsersDirectory) {
  {
    UserCacheDir dir;
    SString reason;
    ASSERT_TRUE(dir.open("sub", reason));
  }
  UserCacheDir::setExpectedOwnerForTesting(geteuid() + 1);
  UserCacheDir dir;
  SString reason;
  EXPECT_FALSE(dir.open("sub", reason));
  EXPECT_NE(str(reason).find("belongs to another user"), std::string::npos)
      << str(reason);
}

TEST_F(UserCacheDirTest, FilesAreWrittenWholeAndReadOnlyWhenPrivate) {
  UserCacheDir dir;
  SString reason;
  ASSERT_TRUE(dir.open("sub", reason));
  ASSERT_TRUE(dir.writeFile("entry", "first"));
  ASSERT_TRUE(dir.writeFile("entry", "second and longer"));
  SString content;
  ASSERT_TRUE(dir.readFile("entry", 100, content));
  EXPECT_EQ(str(content), "second and longer");
  EXPECT_EQ(modeOf(str(dir.pathOf("entry"))), 0600u);
  // Nothing but the file itself is left behind.
  EXPECT_EQ(listDir(str(dir.path())), std::vector<std::string>{"entry"});
  EXPECT_FALSE(dir.readFile("entry", 5, content)) << "longer than allowed";

  const std::string path = str(dir.pathOf("entry"));
  const struct {
    const char* what;
    mode_t mode;
    bool readable;
  } modes[] = {{"private", 0600, true},
               {"readable by all", 0644, true},
               {"writable by the group", 0620, false},
               {"writable by all", 0602, false}};
  for (const auto& m : modes) {
    chmod(path.c_str(), m.mode);
    EXPECT_EQ(dir.readFile("entry", 100, content), m.readable) << m.what;
    EXPECT_EQ(dir.checkFile("entry", nullptr), m.readable) << m.what;
  }
  chmod(path.c_str(), 0600);
  symlink("entry", str(dir.pathOf("link")).c_str());
  EXPECT_FALSE(dir.readFile("link", 100, content)) << "a link is not followed";
  EXPECT_FALSE(dir.checkFile("link", nullptr));
  EXPECT_FALSE(dir.readFile("missing", 100, content));

  UserCacheDir::setExpectedOwnerForTesting(geteuid() + 1);
  EXPECT_FALSE(dir.readFile("entry", 100, content)) << "another user's file";
  EXPECT_FALSE(dir.isOwnEntry("entry"));
}

}  // namespace
