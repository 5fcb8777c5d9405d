// Temporary files and directories: where they are made, how private they
// are, the clean-up list and the removal of whole trees.
#include <errno.h>
#include <string.h>

#include <string>
#include <vector>

#include "PlatformImplTestSupport.h"
#include "core/LauncherException.h"
#include "platform/DeleteFullDir.h"

namespace {

// The temporary directory points into a scratch directory and TMPDIR is
// unset, unless a test says otherwise.
class TempFilesTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    const char* tmpdir = getenv("TMPDIR");
    m_hadTmpdir = tmpdir != nullptr;
    if (tmpdir) m_tmpdir = tmpdir;
    unsetenv("TMPDIR");
    PlatformImpl::setSystemTempDir(m_scratch.path().c_str());
  }
  void TearDown() override {
    PlatformTest::TearDown();
    if (m_hadTmpdir)
      setenv("TMPDIR", m_tmpdir.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

  static std::string str(const SString& s) { return s.c_str(); }
  static mode_t modeOf(const std::string& path) {
    struct stat info;
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode;
  }

  ScratchDir m_scratch;

 private:
  bool m_hadTmpdir = false;
  std::string m_tmpdir;
};

TEST_F(TempFilesTest, FileIsNewEmptyPrivateAndRemovedAtCleanup) {
  std::string first = str(PlatformImpl::createTempFile());
  std::string second = str(PlatformImpl::createTempFile());
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    EXPECT_EQ(path.rfind(m_scratch.path() + "/tvj", 0), 0u) << path;
    mode_t mode = modeOf(path);
    EXPECT_TRUE(S_ISREG(mode)) << path;
    EXPECT_EQ(mode & 0777, 0600u) << path;
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0);
  }
  PlatformImpl::cleanup();
  EXPECT_FALSE(exists(first));
  EXPECT_FALSE(exists(second));
}

TEST_F(TempFilesTest, DirectoryIsPrivateAndRemovedWithItsContents) {
  std::string dir = str(PlatformImpl::createTempSubDirectory());
  EXPECT_EQ(dir.rfind(m_scratch.path() + "/tvj", 0), 0u) << dir;
  mode_t mode = modeOf(dir);
  EXPECT_TRUE(S_ISDIR(mode));
  EXPECT_EQ(mode & 0777, 0700u);

  // Contents, including a link to a directory that must survive.
  ScratchDir outside;
  writeFile(outside.file("keep"), "kept");
  ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir + "/sub/deeper").c_str(), 0755), 0);
  writeFile(dir + "/sub/deeper/file", "x");
  writeFile(dir + "/top", "y");
  ASSERT_EQ(symlink(outside.path().c_str(), (dir + "/link").c_str()), 0);

  PlatformImpl::cleanup();
  EXPECT_FALSE(exists(dir));
  EXPECT_TRUE(exists(outside.file("keep")));
}

// Steps on the clean-up list for one path, and whether it survives.
struct CleanupCase {
  const char* name;
  int registrations;        // extra addFileToCleanupList calls
  int removals;             // removeFileFromCleanupList calls
  const char* removeOther;  // a different path taken off instead, or null
  bool survives;
};

TEST_F(TempFilesTest, CleanupList) {
  const CleanupCase cases[] = {
      {"created and registered: removed", 0, 0, nullptr, false},
      {"taken off the list: kept", 0, 1, nullptr, true},
      {"registered twice, taken off once: still removed", 1, 1, nullptr, false},
      {"registered twice, taken off twice: kept", 1, 2, nullptr, true},
      {"another path taken off: removed", 0, 0, "/nonexistent/tvjOther", false},
  };
  for (const CleanupCase& c : cases) {
    SCOPED_TRACE(c.name);
    SString path = PlatformImpl::createTempFile();
    for (int i = 0; i < c.registrations; ++i)
      PlatformImpl::addFileToCleanupList(path);
    for (int i = 0; i < c.removals; ++i)
      PlatformImpl::removeFileFromCleanupList(path);
    if (c.removeOther) PlatformImpl::removeFileFromCleanupList(c.removeOther);
    PlatformImpl::cleanup();
    EXPECT_EQ(exists(str(path)), c.survives);
    unlink(path.c_str());
  }
}

TEST_F(TempFilesTest, CleanupRemovesFilesBeforeDirectories) {
  // A registered file inside a registered directory goes first, so the
  // directory's removal finds nothing left to warn about.
  LogRecorder log;
  std::string dir = str(PlatformImpl::createTempSubDirectory());
  PlatformImpl::addFileToCleanupList((dir + "/inner").c_str());
  writeFile(dir + "/inner", "x");
  PlatformImpl::cleanup();
  EXPECT_FALSE(exists(dir));
  EXPECT_TRUE(log.entries().empty());
}

// Where a new temporary name goes, depending on TMPDIR.
struct TmpdirCase {
  const char* name;
  enum Kind { kUnset, kDirectory, kMissing, kRegularFile } kind;
  bool inTmpdir;
};

TEST_F(TempFilesTest, TmpdirTakesPrecedenceWhenItIsADirectory) {
  const TmpdirCase cases[] = {
      {"TMPDIR unset: the temporary directory", TmpdirCase::kUnset, false},
      {"TMPDIR a directory: TMPDIR", TmpdirCase::kDirectory, true},
      {"TMPDIR missing: the temporary directory", TmpdirCase::kMissing, false},
      {"TMPDIR a regular file: the temporary directory",
       TmpdirCase::kRegularFile, false},
  };
  for (const TmpdirCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir tmpdir;
    std::string value = tmpdir.path();
    if (c.kind == TmpdirCase::kMissing) value += "/missing";
    if (c.kind == TmpdirCase::kRegularFile) {
      value += "/file";
      writeFile(value, "");
    }
    if (c.kind == TmpdirCase::kUnset)
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", value.c_str(), 1);
    std::string file = str(PlatformImpl::createTempFile());
    std::string dir = str(PlatformImpl::createTempSubDirectory());
    std::string expectedParent =
        (c.inTmpdir ? tmpdir.path() : m_scratch.path()) + "/tvj";
    EXPECT_EQ(file.rfind(expectedParent, 0), 0u) << file;
    EXPECT_EQ(dir.rfind(expectedParent, 0), 0u) << dir;
    PlatformImpl::cleanup();
    unsetenv("TMPDIR");
  }
}

TEST_F(TempFilesTest, OnlyAnExistingDirectoryBecomesTheTemporaryDirectory) {
  writeFile(m_scratch.file("regular"), "");
  struct {
    const char* name;
    std::string path;
    std::string expected;
  } const cases[] = {
      {"a regular file keeps the default", m_scratch.file("regular"),
       "/var/tmp/"},
      {"a missing path keeps the default", m_scratch.file("missing"),
       "/var/tmp/"},
      {"an empty path keeps the default", "", "/var/tmp/"},
      {"a directory is adopted", m_scratch.path(), m_scratch.path()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlatformImplTestPeer::reset();
    PlatformImpl::setSystemTempDir(c.path.c_str());
    EXPECT_EQ(str(PlatformImpl::getSystemTempDirectory()), c.expected);
  }
}

// Children run in other directories: a relative temporary directory, given
// or in TMPDIR, is taken from where the launcher runs.
TEST_F(TempFilesTest, RelativeTemporaryDirectoriesBecomeAbsolute) {
  mkdir(m_scratch.file("rel").c_str(), 0755);
  std::string here = PlatformImpl::getCurrentDirectory().c_str();
  ASSERT_EQ(chdir(m_scratch.path().c_str()), 0);
  PlatformImplTestPeer::reset();
  PlatformImpl::setSystemTempDir("rel");
  EXPECT_EQ(str(PlatformImpl::getSystemTempDirectory()), m_scratch.file("rel"));
  PlatformImpl::setSystemTempDir("./rel");
  EXPECT_EQ(str(PlatformImpl::getSystemTempDirectory()), m_scratch.file("rel"));
  setenv("TMPDIR", "rel", 1);
  std::string file = str(PlatformImpl::createTempFile());
  std::string directory = str(PlatformImpl::createTempSubDirectory());
  EXPECT_EQ(file.rfind(m_scratch.file("rel/tvj"), 0), 0u) << file;
  EXPECT_EQ(directory.rfind(m_scratch.file("rel/tvj"), 0), 0u) << directory;
  PlatformImpl::cleanup();
  ASSERT_EQ(chdir(here.c_str()), 0);
}

struct DeleteCase {
  const char* name;
  enum Kind { kFile, kTree, kLinkToDirectory, kMissing } kind;
  bool warned;
};

TEST_F(TempFilesTest, DeleteFile) {
  const DeleteCase cases[] = {
      {"a single file", DeleteCase::kFile, false},
      {"a directory tree", DeleteCase::kTree, false},
      {"a link to a directory: the link only", DeleteCase::kLinkToDirectory,
       false},
      {"a missing path: one warning", DeleteCase::kMissing, true},
  };
  for (const DeleteCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir target;
    writeFile(target.file("keep"), "kept");
    std::string path = m_scratch.file("victim");
    switch (c.kind) {
      case DeleteCase::kFile:
        writeFile(path, "x");
        break;
      case DeleteCase::kTree:
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((path + "/a").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((path + "/b").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((path + "/a/c").c_str(), 0755), 0);
        writeFile(path + "/a/c/f", "x");
        writeFile(path + "/b/g", "x");
        ASSERT_EQ(symlink(target.path().c_str(), (path + "/a/link").c_str()),
                  0);
        break;
      case DeleteCase::kLinkToDirectory:
        ASSERT_EQ(symlink(target.path().c_str(), path.c_str()), 0);
        break;
      case DeleteCase::kMissing:
        break;
    }
    LogRecorder log;
    PlatformImpl::deleteFile(path.c_str());
    EXPECT_FALSE(exists(path));
    EXPECT_TRUE(exists(target.file("keep")));
    if (c.warned) {
      ASSERT_EQ(log.entries().size(), 1u);
      EXPECT_EQ(log.entries()[0].first,
                "Could not delete " + path + " :  " + strerror(ENOENT));
      EXPECT_EQ(log.entries()[0].second, 1);
    } else {
      EXPECT_TRUE(log.entries().empty());
    }
  }
}

// Runs scenario with the rights of an ordinary user, since root may write
// and delete anywhere. The scenario returns false, with the reason, on a
// fault.
void runUnprivileged(bool (*scenario)(std::string& why)) {
  if (geteuid() != 0) {
    std::string why;
    EXPECT_TRUE(scenario(why)) << why;
    return;
  }
  EXPECT_EXIT(
      {
        const uid_t nobody = 65534;
        if (setgid(nobody) != 0 || setuid(nobody) != 0) _exit(2);
        std::string why;
        bool ok = scenario(why);
        if (!ok) fprintf(stderr, "%s\n", why.c_str());
        _exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

bool creationFailureScenario(std::string& why) {
  ScratchDir scratch;
  PlatformImpl::setSystemTempDir(scratch.path().c_str());
  chmod(scratch.path().c_str(), 0500);
  bool ok = true;
  try {
    PlatformImpl::createTempSubDirectory();
    why += "directory: no exception; ";
    ok = false;
  } catch (const LauncherException& e) {
    if (std::string(e.getMessage().c_str()) != strerror(EACCES)) {
      why += std::string("directory: ") + e.getMessage().c_str() + "; ";
      ok = false;
    }
  }
  try {
    PlatformImpl::createTempFile();
    why += "file: no exception; ";
    ok = false;
  } catch (const LauncherException& e) {
    std::string expected =
        "Error creating tmp file " + scratch.path() + "/tvjXXXXXX";
    if (std::string(e.getMessage().c_str()) != expected) {
      why += std::string("file: ") + e.getMessage().c_str();
      ok = false;
    }
  }
  chmod(scratch.path().c_str(), 0700);
  return ok;
}

TEST_F(TempFilesTest, CreationFailureRaisesLauncherException) {
  runUnprivileged(&creationFailureScenario);
}

// tree/ab is read-only, so its file cannot go; tree/a, whose name is a
// prefix of it, and tree/free can.
bool undeletableScenario(std::string& why) {
  ScratchDir scratch;
  std::string tree = scratch.file("tree");
  mkdir(tree.c_str(), 0755);
  mkdir((tree + "/ab").c_str(), 0755);
  mkdir((tree + "/a").c_str(), 0755);
  mkdir((tree + "/free").c_str(), 0755);
  writeFile(tree + "/ab/stuck", "x");
  writeFile(tree + "/free/gone", "x");
  chmod((tree + "/ab").c_str(), 0555);

  LogRecorder log;
  DeleteFullDir deleter;
  bool stopped = deleter.process(tree.c_str());
  chmod((tree + "/ab").c_str(), 0755);

  bool ok = true;
  auto check = [&](bool condition, const char* what) {
    if (!condition) {
      why += std::string(what) + "; ";
      ok = false;
    }
  };
  check(!stopped, "the walk reported a stop");
  check(exists(tree + "/ab/stuck"), "the stuck file is gone");
  check(exists(tree), "the root holding it is gone");
  check(!exists(tree + "/a"), "the prefix-named sibling stayed");
  check(!exists(tree + "/free"), "the free directory stayed");
  std::string warning =
      "Could not delete " + tree + "/ab/stuck :  " + strerror(EACCES);
  check(log.entries().size() == 1 && log.entries()[0].first == warning &&
            log.entries()[0].second == 1,
        "not exactly one warning for the stuck file");
  return ok;
}

TEST_F(TempFilesTest, UndeletableEntryKeepsItsDirectoriesAndIsWarnedOnce) {
  runUnprivileged(&undeletableScenario);
}

}  // namespace
