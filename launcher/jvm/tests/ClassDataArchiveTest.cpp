// Class-data archives: the payload's jars extracted once per user and used
// from the cache, never stale ones after the payload changed; one archive
// per JVM and class path, written by the first start and kept only when
// whole, used by the later ones and never by another JVM or class path;
// any doubt (version, foreign owner, bad mode) starts as without one. The
// JVM itself is stood in by files written where it would write.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "JVMTestSupport.h"
#include "jvm/ClassDataArchive.h"
#include "jvm/JVMFile.h"
#include "jvm/LaunchScript.h"

namespace {

const char kWriteOption[] = "-XX:ArchiveClassesAtExit=";
const char kCreateOption[] = "-XX:+AutoCreateSharedArchive";
const char kFileOption[] = "-XX:SharedArchiveFile=";

std::vector<std::string> words(const StringDeque& deque) {
  std::vector<std::string> result;
  for (int i = 0; i < deque.count(); ++i) result.push_back(str(deque.at(i)));
  return result;
}

// The value of the option that begins with prefix; empty when none does.
std::string optionValue(const std::vector<std::string>& options,
                        const std::string& prefix) {
  for (const std::string& o : options)
    if (o.compare(0, prefix.size(), prefix) == 0)
      return o.substr(prefix.size());
  return "";
}

bool hasOption(const std::vector<std::string>& options, const std::string& o) {
  for (const std::string& each : options)
    if (each == o) return true;
  return false;
}

// What a JVM leaves when it wrote an archive: its magic number first.
void writeArchive(const std::string& path, size_t size = 4096) {
  std::string bytes("\xa8\xab\x0b\xf0", 4);
  bytes.resize(size, 'x');
  writeFile(path, bytes);
}

TEST(ClassDataArchiveVersionTest, FeatureVersionOfReportedValues) {
  const struct {
    const char* reported;
    int feature;
  } cases[] = {{"17", 17},       {"17.0.2", 17}, {"1.8", 8},
               {"1.8.0_392", 8}, {"25-ea", 25},  {"11", 11},
               {"", 0},          {"unknown", 0}, {"1", 1}};
  for (const auto& c : cases)
    EXPECT_EQ(ClassDataArchive::featureVersion(c.reported), c.feature)
        << c.reported;
  EXPECT_FALSE(ClassDataArchive::supports(0));
  EXPECT_FALSE(ClassDataArchive::supports(12));
  EXPECT_TRUE(ClassDataArchive::supports(13));
}

// A home whose verification was not asked for the version: its release
// file tells it, through links to the real home too.
class ClassDataArchiveReleaseTest : public JVMTest {};

TEST_F(ClassDataArchiveReleaseTest, FeatureVersionOfTheReleaseFile) {
  const std::string modules = "MODULES=\"" + std::string(3000, 'm') + "\"\n";
  const struct {
    const char* what;
    std::string release;  // none written when "-"
    int feature;
  } cases[] = {
      {"a JDK 17", "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"17.0.15\"\n", 17},
      {"after a long line", modules + "JAVA_VERSION=\"21.0.1\"\n", 21},
      {"Java 8's form", "JAVA_VERSION=\"1.8.0_392\"\n", 8},
      {"unquoted, last line", "JAVA_VERSION=25", 25},
      {"the key inside a long line",
       "MODULES=\"" + std::string(600, 'm') + "JAVA_VERSION=\"17\"\"\n", 0},
      {"another key's value", "JAVA_RUNTIME_VERSION=\"17.0.15+6\"\n", 0},
      {"no version line", "OS_NAME=\"Linux\"\n", 0},
      {"an OpenJ9 home", "JAVA_VERSION=\"17.0.8\"\nJVM_VARIANT=\"Openj9\"\n",
       0},
      {"an OpenJ9 implementor",
       "IMPLEMENTOR=\"Eclipse OpenJ9\"\nJAVA_VERSION=\"21\"\n", 0},
      {"a HotSpot variant", "JVM_VARIANT=\"Hotspot\"\nJAVA_VERSION=\"21\"\n",
       21},
      {"no release file", "-", 0},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string home = scratch.file("jdk" + std::to_string(++n));
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((home + "/bin").c_str(), 0755), 0);
    writeFile(home + "/bin/java", "a JVM");
    if (c.release != "-") writeFile(home + "/release", c.release);
    EXPECT_EQ(
        ClassDataArchive::releaseFeatureVersion((home + "/bin/java").c_str()),
        c.feature);
    std::string link = home + "-link";
    ASSERT_EQ(mkdir(link.c_str(), 0755), 0);
    ASSERT_EQ(symlink((home + "/bin").c_str(), (link + "/bin").c_str()), 0);
    EXPECT_EQ(
        ClassDataArchive::releaseFeatureVersion((link + "/bin/java").c_str()),
        c.feature);
  }
  EXPECT_EQ(ClassDataArchive::releaseFeatureVersion(
                scratch.file("missing/bin/java").c_str()),
            0);
}

class ClassDataArchiveTest : public JVMTest {
 protected:
  void SetUp() override {
    JVMTest::SetUp();
    const char* xdg = getenv("XDG_CACHE_HOME");
    m_hadXdg = xdg != nullptr;
    if (xdg) m_xdg = xdg;
    setenv("XDG_CACHE_HOME", scratch.file("cache").c_str(), 1);
    environment.classpathArchives = {"lib.jar", "tool.jar"};
    environment.applicationArchives = {"app.jar"};
    environment.payloadVersion = "1";
    exe = scratch.file("java17");
    otherExe = scratch.file("java17-elsewhere");
    writeFile(exe, "a JVM");
    writeFile(otherExe, "a JVM");
  }
  void TearDown() override {
    UserCacheDir::resetExpectedOwner();
    if (m_hadXdg)
      setenv("XDG_CACHE_HOME", m_xdg.c_str(), 1);
    else
      unsetenv("XDG_CACHE_HOME");
    JVMTest::TearDown();
  }

  std::string classData() { return scratch.file("cache/launcher/class-data"); }

  // One launch: the options given for classpath, and afterwards the
  // archive "written" (when writeIt) and the launch finished with status.
  std::vector<std::string> launch(const std::string& jvm, int version,
                                  const std::string& classpath,
                                  bool writeIt = true, int status = 0) {
    ClassDataArchive archive;
    if (!archive.prepare(environment, jvm.c_str(), version)) return {};
    StringDeque options;
    archive.optionsFor(classpath.c_str(), options);
    std::vector<std::string> result = words(options);
    std::string written = optionValue(result, kWriteOption);
    if (written.empty() && hasOption(result, kCreateOption))
      written = optionValue(result, kFileOption);
    if (writeIt && !written.empty()) writeArchive(written);
    archive.finish(status);
    return result;
  }

  std::string exe, otherExe;

 private:
  bool m_hadXdg = false;
  std::string m_xdg;
};

TEST_F(ClassDataArchiveTest, JarsAreExtractedOnceAndUsedFromTheCache) {
  std::vector<std::string> first, second;
  for (std::vector<std::string>* paths : {&first, &second}) {
    CachedClassPathJars jars;
    ASSERT_TRUE(jars.prepare(environment));
    for (int i = 0; i < jars.getClasspathJars().count(); ++i)
      paths->push_back(str(jars.getClasspathJars().at(i)));
    paths->push_back(str(jars.getApplicationJar()));
  }
  EXPECT_EQ(environment.extractions.size(), 2u) << "class path and application";
  EXPECT_EQ(first, second);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(readFile(first[0]), "jar1");
  EXPECT_EQ(first[0].substr(first[0].rfind('/')), "/lib.jar");
  EXPECT_EQ(first[1].substr(first[1].rfind('/')), "/tool.jar");
  EXPECT_EQ(readFile(first[2]), "app1");
  EXPECT_EQ(first[0].compare(0, classData().size(), classData()), 0);
  // Nothing is left under a temporary name.
  EXPECT_EQ(listDir(classData()).size(), 1u);
}

TEST_F(ClassDataArchiveTest, AChangedPayloadNeverRunsStaleJars) {
  CachedClassPathJars before;
  ASSERT_TRUE(before.prepare(environment));
  environment.payloadVersion = "2";
  CachedClassPathJars after;
  ASSERT_TRUE(after.prepare(environment));
  EXPECT_NE(str(after.getClasspathJars().at(0)),
            str(before.getClasspathJars().at(0)));
  EXPECT_EQ(readFile(str(after.getClasspathJars().at(0))), "jar2");
  EXPECT_EQ(readFile(str(after.getApplicationJar())), "app2");
}

// The payload is read for its digest only when the launcher file is new or
// changed; without a launcher file it is read every time.
TEST_F(ClassDataArchiveTest, ThePayloadIsReadAgainOnlyWhenTheFileChanged) {
  const struct {
    const char* what;
    void (*change)(const std::string& launcherFile);
    bool readAgain;
  } cases[] = {
      {"unchanged", [](const std::string&) {}, false},
      {"rewritten",
       [](const std::string& f) { writeFile(f, "another launcher"); }, true},
      {"replaced by a file of the same size",
       [](const std::string& f) {
         writeFile(f + ".new", "the launcher");
         rename((f + ".new").c_str(), f.c_str());
       },
       true},
      {"removed", [](const std::string& f) { unlink(f.c_str()); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(environment.launcherFile, "the launcher");
    {
      CachedClassPathJars jars;
      ASSERT_TRUE(jars.prepare(environment));
    }
    int digests = environment.digests;
    const std::string before = environment.payloadVersion;
    c.change(environment.launcherFile);
    environment.payloadVersion += "x";
    CachedClassPathJars jars;
    ASSERT_TRUE(jars.prepare(environment));
    EXPECT_EQ(environment.digests > digests, c.readAgain);
    EXPECT_EQ(readFile(str(jars.getClasspathJars().at(0))),
              "jar" + (c.readAgain ? environment.payloadVersion : before));
  }
}

TEST_F(ClassDataArchiveTest, AChangedOrDamagedExtractionIsMadeAgain) {
  const struct {
    const char* what;
    void (*spoil)(const std::string& payloadDir);
  } cases[] = {
      {"a jar cut short",
       [](const std::string& d) { writeFile(d + "/classpath/lib.jar", "j"); }},
      {"a jar removed",
       [](const std::string& d) {
         unlink((d + "/classpath/tool.jar").c_str());
       }},
      {"a jar writable by others",
       [](const std::string& d) {
         chmod((d + "/application/app.jar").c_str(), 0666);
       }},
      {"the manifest damaged",
       [](const std::string& d) { writeFile(d + "/manifest", "classpath"); }},
      {"the manifest missing",
       [](const std::string& d) { unlink((d + "/manifest").c_str()); }},
      {"the directory writable by others",
       [](const std::string& d) { chmod(d.c_str(), 0777); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string payloadDir;
    {
      CachedClassPathJars jars;
      ASSERT_TRUE(jars.prepare(environment));
      payloadDir = str(jars.getDirectory().path());
    }
    size_t extracted = environment.extractions.size();
    c.spoil(payloadDir);
    CachedClassPathJars jars;
    ASSERT_TRUE(jars.prepare(environment));
    EXPECT_EQ(environment.extractions.size(), extracted + 2);
    EXPECT_EQ(readFile(str(jars.getClasspathJars().at(0))), "jar1");
    EXPECT_EQ(readFile(str(jars.getClasspathJars().at(1))), "jar1");
    EXPECT_EQ(readFile(str(jars.getApplicationJar())), "app1");
    struct stat info;
    ASSERT_EQ(stat(payloadDir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(listDir(classData()).size(), 1u) << "the spoilt one is gone";
  }
}

TEST_F(ClassDataArchiveTest, AnUntrustedCacheIsNotUsed) {
  {
    CachedClassPathJars jars;
    ASSERT_TRUE(jars.prepare(environment));
  }
  chmod(classData().c_str(), 0777);
  {
    ClassDataArchive archive;
    EXPECT_FALSE(archive.prepare(environment, exe.c_str(), 17));
  }
  chmod(classData().c_str(), 0700);
  UserCacheDir::setExpectedOwnerForTesting(geteuid() + 1);
  ClassDataArchive archive;
  EXPECT_FALSE(archive.prepare(environment, exe.c_str(), 17));
  EXPECT_EQ(environment.extractions.size(), 2u);
}

TEST_F(ClassDataArchiveTest, FirstStartWritesTheArchiveLaterStartsUseIt) {
  const struct {
    int version;
    bool autoCreate;
  } cases[] = {{13, false}, {17, false}, {18, false}, {19, true}, {25, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    const std::string classpath = "-classpath /x/" + std::to_string(c.version);
    std::vector<std::string> first = launch(exe, c.version, classpath);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(hasOption(first, kCreateOption), c.autoCreate);
    EXPECT_EQ(optionValue(first, kWriteOption).empty(), c.autoCreate);
    // The JVM's own messages about archives are kept off the streams.
    EXPECT_TRUE(hasOption(first, "-Xshare:auto"));
    EXPECT_TRUE(hasOption(first, "-Xlog:cds=off"));
    EXPECT_TRUE(hasOption(first, "-Xlog:cds+dynamic=off"));

    std::vector<std::string> second = launch(exe, c.version, classpath);
    std::string used = optionValue(second, kFileOption);
    EXPECT_FALSE(hasOption(second, kCreateOption));
    EXPECT_TRUE(optionValue(second, kWriteOption).empty());
    ASSERT_FALSE(used.empty());
    EXPECT_EQ(used.substr(used.size() - 9), "-4096.jsa");
    struct stat info;
    ASSERT_EQ(stat(used.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
    EXPECT_EQ(optionValue(launch(exe, c.version, classpath), kFileOption),
              used);
  }
}

TEST_F(ClassDataArchiveTest, NeverAnArchiveOfAnotherJVMOrClassPath) {
  const std::string classpath = "-classpath /a.jar";
  launch(exe, 17, classpath);
  std::string kept = optionValue(launch(exe, 17, classpath), kFileOption);
  ASSERT_FALSE(kept.empty());
  const struct {
    const char* what;
    std::string jvm;
    int version;
    std::string classpath;
  } cases[] = {
      {"another JVM", otherExe, 17, classpath},
      {"another version reported", exe, 18, classpath},
      {"another class path", exe, 17, "-classpath /b.jar"},
      {"a longer class path", exe, 17, classpath + ":/b.jar"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> options =
        launch(c.jvm, c.version, c.classpath, false);
    EXPECT_NE(optionValue(options, kFileOption), kept) << c.what;
    EXPECT_FALSE(optionValue(options, kWriteOption).empty()) << c.what;
  }
  // The JVM replaced by another file at the same place.
  writeFile(exe + ".new", "another JVM");
  rename((exe + ".new").c_str(), exe.c_str());
  EXPECT_TRUE(
      optionValue(launch(exe, 17, classpath, false), kFileOption).empty());
}

TEST_F(ClassDataArchiveTest, OnlyAWholeArchiveOfANormalEndIsKept) {
  const struct {
    const char* what;
    int status;
    void (*write)(const std::string& path);  // null: the JVM writes nothing
    bool kept;
  } cases[] = {
      {"whole, status 0", 0, [](const std::string& p) { writeArchive(p); },
       true},
      {"whole, the application's own failure", 3,
       [](const std::string& p) { writeArchive(p); }, true},
      {"ended by a signal", 137, [](const std::string& p) { writeArchive(p); },
       false},
      {"not an archive", 0,
       [](const std::string& p) { writeFile(p, "garbage bytes"); }, false},
      {"nothing written", 0, nullptr, false},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string classpath = "-classpath /" + std::to_string(++round);
    ClassDataArchive archive;
    ASSERT_TRUE(archive.prepare(environment, exe.c_str(), 17));
    StringDeque options;
    archive.optionsFor(classpath.c_str(), options);
    std::string written = optionValue(words(options), kWriteOption);
    ASSERT_FALSE(written.empty());
    if (c.write) c.write(written);
    archive.finish(c.status);
    EXPECT_FALSE(exists(written)) << "the temporary name goes";
    std::vector<std::string> next = launch(exe, 17, classpath, false);
    EXPECT_EQ(!optionValue(next, kFileOption).empty() &&
                  !hasOption(next, kCreateOption) &&
                  optionValue(next, kWriteOption).empty(),
              c.kept);
  }
}

TEST_F(ClassDataArchiveTest, AKeptArchiveThatChangedIsNotUsed) {
  const struct {
    const char* what;
    void (*spoil)(const std::string& path);
  } cases[] = {
      {"cut short", [](const std::string& p) { writeArchive(p, 1000); }},
      {"writable by others",
       [](const std::string& p) { chmod(p.c_str(), 0666); }},
      {"another user's",
       [](const std::string&) {
         UserCacheDir::setExpectedOwnerForTesting(geteuid() + 1);
       }},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string classpath = "-classpath /" + std::to_string(++round);
    launch(exe, 17, classpath);
    std::string kept = optionValue(launch(exe, 17, classpath), kFileOption);
    ASSERT_FALSE(kept.empty());
    c.spoil(kept);
    std::vector<std::string> options = launch(exe, 17, classpath, false);
    EXPECT_NE(optionValue(options, kFileOption), kept);
    UserCacheDir::resetExpectedOwner();
  }
}

TEST_F(ClassDataArchiveTest, InDoubtTheApplicationStartsWithoutOne) {
  for (int version : {0, 1, 8, 11, 12}) {
    ClassDataArchive archive;
    EXPECT_FALSE(archive.prepare(environment, exe.c_str(), version)) << version;
    StringDeque options;
    archive.optionsFor("-classpath /a.jar", options);
    EXPECT_EQ(options.count(), 0) << version;
  }
  EXPECT_FALSE(exists(classData())) << "nothing extracted for them";

  ClassDataArchive archive;
  ASSERT_TRUE(archive.prepare(environment, exe.c_str(), 17));
  StringDeque options;
  // A class path in this run's temporary directory changes every start.
  SString temporary = PlatformImpl::createTempSubDirectory();
  archive.optionsFor(("-classpath " + str(temporary) + "/app.jar").c_str(),
                     options);
  EXPECT_EQ(options.count(), 0);
  archive.optionsFor("-classpath /a.jar", options);
  EXPECT_EQ(options.count(), 0) << "options once per launch";
  ClassDataArchive empty;
  ASSERT_TRUE(empty.prepare(environment, exe.c_str(), 17));
  empty.optionsFor("", options);
  EXPECT_EQ(options.count(), 0) << "no class path, no archive";
}

// The launch script: off unless asked for; when on, the command takes the
// jars from the cache and has the options in front of the class path.
TEST_F(ClassDataArchiveTest, TheCommandCarriesTheArchive) {
  TagFile jvmTags;
  fillTags(jvmTags, javaConventions());
  jvmTags.setTagValue("JVM_HOME", "/jdk");
  JVMFile jvm(jvmTags);
  const char* const command = "java %CP%() Main";

  TagFile plain;
  plain.setTagValue("COMMAND", command);
  LaunchScript withoutTag(plain, true);
  EXPECT_FALSE(withoutTag.wantsClassDataArchive());
  std::string before = str(withoutTag.resolve(jvm));
  EXPECT_EQ(before.find("-XX:"), std::string::npos);
  EXPECT_NE(before.find("/lib.jar:"), std::string::npos);

  TagFile asking;
  asking.setTagValue("COMMAND", command);
  asking.setTagValue("CLASS_DATA_ARCHIVE", "1");
  LaunchScript script(asking, true);
  EXPECT_TRUE(script.wantsClassDataArchive());
  ClassDataArchive archive;
  ASSERT_TRUE(archive.prepare(environment, exe.c_str(), 17));
  script.setClassDataArchive(&archive);
  size_t extracted = environment.extractions.size();
  std::string text = str(script.resolve(jvm));
  EXPECT_EQ(environment.extractions.size(), extracted) << "from the cache";
  const std::string jars = str(archive.getJars().getClasspathJars().at(0));
  size_t option = text.find("-XX:ArchiveClassesAtExit=");
  size_t classpath = text.find("-classpath " + jars);
  ASSERT_NE(option, std::string::npos) << text;
  ASSERT_NE(classpath, std::string::npos) << text;
  EXPECT_LT(option, classpath);
  EXPECT_EQ(text.compare(0, 5, "java "), 0);
  EXPECT_EQ(text.substr(text.size() - 5), " Main");

  // A class path in the environment: the options alone stand in the
  // command.
  jvmTags.setTagValue("USE_CP_ENV_VAR", "1");
  jvmTags.setTagValue("CP_ENV_VAR", "ARCHIVE_TEST_CLASSPATH");
  ClassDataArchive again;
  ASSERT_TRUE(again.prepare(environment, exe.c_str(), 17));
  LaunchScript inEnvironment(asking, true);
  inEnvironment.setClassDataArchive(&again);
  text = str(inEnvironment.resolve(jvm));
  const char* variable = getenv("ARCHIVE_TEST_CLASSPATH");
  ASSERT_NE(variable, nullptr);
  EXPECT_EQ(std::string(variable).compare(0, jars.size(), jars), 0);
  EXPECT_EQ(text.find("-classpath"), std::string::npos) << text;
  EXPECT_NE(text.find(" -XX:"), std::string::npos) << text;
  unsetenv("ARCHIVE_TEST_CLASSPATH");
}

}  // namespace
