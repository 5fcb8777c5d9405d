// The verified-JVM cache: a JVM verified in one run is not run again in
// the next (a fake JVM counts its runs), but any change to what identifies
// the JVM or the verification program, and any entry that is damaged or
// not private, makes it run again and rewrites the entry.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "JVMTestSupport.h"
#include "jvm/JVMFile.h"
#include "jvm/JVMMatch.h"
#include "jvm/VerifiedJVMCache.h"

namespace {

const char kVerifyClass[] = "\"Verify\"";

void setTimes(const std::string& path, time_t when) {
  struct timespec times[2] = {{when, 0}, {when, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

class VerifiedJVMCacheTest : public JVMTest {
 protected:
  void SetUp() override {
    JVMTest::SetUp();
    const char* xdg = getenv("XDG_CACHE_HOME");
    m_hadXdg = xdg != nullptr;
    if (xdg) m_xdg = xdg;
    setenv("XDG_CACHE_HOME", scratch.file("cache").c_str(), 1);
    home = scratch.file("jdk");
    runs = scratch.file("runs");
    verifyJar = scratch.file("verify.jar");
    writeFile(verifyJar, "verification program");
    makeJVM("17");
    mkdir((home + "/lib").c_str(), 0755);
    writeFile(home + "/release", "JAVA_VERSION=\"17.0.1\"\n");
    writeFile(home + "/lib/modules", "runtime image");
    TagFile written;
    fillTags(written, javaConventions());
    fillTags(written, {{"JVM_PROPERTIES", "java.specification.version>=17"}});
    written.write(scratch.file("test.jvm").c_str());
    tags = std::make_unique<TagFile>(scratch.file("test.jvm").c_str());
  }
  void TearDown() override {
    UserCacheDir::resetExpectedOwner();
    if (m_hadXdg)
      setenv("XDG_CACHE_HOME", m_xdg.c_str(), 1);
    else
      unsetenv("XDG_CACHE_HOME");
    JVMTest::TearDown();
  }

  // A JVM that reports that version and counts its runs.
  void makeJVM(const std::string& version) {
    makeFakeJVM(home,
                "echo run >> '" + runs + "'; echo 1739021872; echo " + version);
  }
  int runCount() {
    std::string text = readFile(runs);
    if (text == "<missing>") return 0;
    int count = 0;
    for (char c : text) count += c == '\n';
    return count;
  }
  // One verification as a run of the launcher does it: a cache of its own
  // that knows the verification program by its content.
  bool verify(bool enabled = true) {
    VerifiedJVMCache cache;
    cache.setEnabled(enabled);
    cache.setVerifier(VerifiedJVMCache::verifierIdentity(
        ("\"" + verifyJar + "\"").c_str(), kVerifyClass));
    JVMFile jvm(*tags);
    jvm.setVerifiedJVMCache(&cache);
    std::unique_ptr<JVMMatch> match(jvm.verify(
        home.c_str(), ("\"" + verifyJar + "\"").c_str(), kVerifyClass));
    return match != nullptr;
  }
  std::string entryDir() {
    return scratch.file("cache/launcher/verified-jvms");
  }
  // A run before any: no entries, no runs counted.
  void startAfresh() {
    for (const std::string& name : listDir(entryDir()))
      unlink((entryDir() + "/" + name).c_str());
    unlink(runs.c_str());
  }
  std::string entry() {
    std::vector<std::string> names = listDir(entryDir());
    return names.size() == 1 ? entryDir() + "/" + names[0] : "<none>";
  }

  std::unique_ptr<TagFile> tags;

 public:
  // Changed by the cases of the tests.
  std::string home, runs, verifyJar;

 private:
  bool m_hadXdg = false;
  std::string m_xdg;
};

TEST_F(VerifiedJVMCacheTest, SecondRunMatchesWithoutRunningTheJVM) {
  LogRecorder log;
  EXPECT_TRUE(verify());
  EXPECT_TRUE(verify());
  EXPECT_TRUE(verify());
  EXPECT_EQ(runCount(), 1);
  bool hitLogged = false;
  for (const auto& e : log.entries())
    hitLogged |= e.first ==
                 "Using the verified-JVM cache entry for " + home + "/bin/java";
  EXPECT_TRUE(hitLogged);
  struct stat info;
  ASSERT_EQ(stat(entry().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 077, 0u);
}

TEST_F(VerifiedJVMCacheTest, ReportsThatDoNotMatchAreKeptToo) {
  makeJVM("11");
  EXPECT_FALSE(verify());
  EXPECT_FALSE(verify());
  EXPECT_EQ(runCount(), 1);
}

TEST_F(VerifiedJVMCacheTest, AJVMThatDoesNotAnswerIsAskedAgain) {
  makeFakeJVM(home, "echo run >> '" + runs + "'; echo Error: no class");
  EXPECT_FALSE(verify());
  EXPECT_FALSE(verify());
  EXPECT_EQ(runCount(), 2);
  EXPECT_TRUE(listDir(entryDir()).empty());
}

TEST_F(VerifiedJVMCacheTest, AnyChangeOfTheKeyVerifiesAgain) {
  const struct {
    const char* what;
    void (*change)(VerifiedJVMCacheTest& t);
  } cases[] = {
      {"executable touched",
       [](VerifiedJVMCacheTest& t) { setTimes(t.home + "/bin/java", 1000); }},
      {"executable replaced by another file",
       [](VerifiedJVMCacheTest& t) {
         std::string exe = t.home + "/bin/java";
         std::string copy = exe + ".new";
         writeFile(copy, readFile(exe));
         chmod(copy.c_str(), 0755);
         struct stat old;
         stat(exe.c_str(), &old);
         rename(copy.c_str(), exe.c_str());
         // Same size and times: only the inode tells.
         struct timespec times[2] = {old.st_atim, old.st_mtim};
         utimensat(AT_FDCWD, exe.c_str(), times, 0);
       }},
      {"release file changed",
       [](VerifiedJVMCacheTest& t) {
         writeFile(t.home + "/release", "JAVA_VERSION=\"17.0.2\"\n");
       }},
      {"release file removed",
       [](VerifiedJVMCacheTest& t) { unlink((t.home + "/release").c_str()); }},
      {"runtime image changed",
       [](VerifiedJVMCacheTest& t) {
         writeFile(t.home + "/lib/modules", "another runtime image");
       }},
      {"runtime image touched",
       [](VerifiedJVMCacheTest& t) { setTimes(t.home + "/lib/modules", 5); }},
      {"verification program changed",
       [](VerifiedJVMCacheTest& t) {
         writeFile(t.verifyJar, "another verification program");
       }},
      {"options in the environment",
       [](VerifiedJVMCacheTest&) { setenv("JAVA_TOOL_OPTIONS", "-Dx=y", 1); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    startAfresh();
    EXPECT_TRUE(verify());
    EXPECT_TRUE(verify());
    EXPECT_EQ(runCount(), 1);
    c.change(*this);
    EXPECT_TRUE(verify());
    EXPECT_EQ(runCount(), 2) << "the JVM runs again";
    EXPECT_TRUE(verify());
    EXPECT_EQ(runCount(), 2) << "the rewritten entry is used";
    unsetenv("JAVA_TOOL_OPTIONS");
  }
}

TEST_F(VerifiedJVMCacheTest, ChangedAnswerIsWhatCounts) {
  EXPECT_TRUE(verify());
  // Another JVM put in the same place reports another version.
  makeJVM("11");
  setTimes(home + "/bin/java", 2000);
  EXPECT_FALSE(verify());
  EXPECT_EQ(runCount(), 2);
}

TEST_F(VerifiedJVMCacheTest, DamagedOrUntrustedEntriesVerifyAgain) {
  const struct {
    const char* what;
    void (*spoil)(const std::string& entry);
  } cases[] = {
      {"cut short",
       [](const std::string& e) {
         std::string text = readFile(e);
         writeFile(e, text.substr(0, text.size() / 2));
       }},
      {"last line missing",
       [](const std::string& e) {
         std::string text = readFile(e);
         text.erase(text.rfind("end "));
         writeFile(e, text);
       }},
      {"a reported value changed",
       [](const std::string& e) {
         std::string text = readFile(e);
         size_t at = text.rfind("\n17\n");
         text.replace(at, 4, "\n99\n");
         writeFile(e, text);
       }},
      {"empty", [](const std::string& e) { writeFile(e, ""); }},
      {"writable by others",
       [](const std::string& e) { chmod(e.c_str(), 0666); }},
      {"a link to a copy",
       [](const std::string& e) {
         rename(e.c_str(), (e + ".copy").c_str());
         symlink((e + ".copy").c_str(), e.c_str());
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    startAfresh();
    EXPECT_TRUE(verify());
    EXPECT_TRUE(verify());
    ASSERT_EQ(runCount(), 1);
    std::string path = entry();
    c.spoil(path);
    EXPECT_TRUE(verify());
    EXPECT_EQ(runCount(), 2);
    unlink((path + ".copy").c_str());
    // Verified normally, the entry is written anew and used again.
    EXPECT_TRUE(verify());
    EXPECT_EQ(runCount(), 2);
  }
}

TEST_F(VerifiedJVMCacheTest, AnUntrustedDirectoryIsNotUsed) {
  EXPECT_TRUE(verify());
  const struct {
    const char* what;
    void (*spoil)(const std::string& directory);
    void (*undo)(const std::string& directory);
  } cases[] = {
      {"writable by all", [](const std::string& d) { chmod(d.c_str(), 0777); },
       [](const std::string& d) { chmod(d.c_str(), 0700); }},
      {"another user's",
       [](const std::string&) {
         UserCacheDir::setExpectedOwnerForTesting(geteuid() + 1);
       },
       [](const std::string&) { UserCacheDir::resetExpectedOwner(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    unlink(runs.c_str());
    c.spoil(entryDir());
    EXPECT_TRUE(verify());
    EXPECT_TRUE(verify());
    EXPECT_EQ(runCount(), 2) << "every run verifies";
    c.undo(entryDir());
  }
}

TEST_F(VerifiedJVMCacheTest, OffUnlessEnabledAndWithoutAKnownProgram) {
  EXPECT_TRUE(verify(false));
  EXPECT_TRUE(verify(false));
  EXPECT_EQ(runCount(), 2);
  EXPECT_FALSE(exists(scratch.file("cache/launcher")));
  // A class path that is no single file gives no identity.
  EXPECT_TRUE(VerifiedJVMCache::verifierIdentity(
                  ("\"" + scratch.path() + "\"").c_str(), kVerifyClass)
                  .empty());
  EXPECT_TRUE(
      VerifiedJVMCache::verifierIdentity("\"/no/such.jar\"", kVerifyClass)
          .empty());
  EXPECT_NE(VerifiedJVMCache::verifierIdentity(verifyJar.c_str(), "A"),
            VerifiedJVMCache::verifierIdentity(verifyJar.c_str(), "B"));
}

}  // namespace
