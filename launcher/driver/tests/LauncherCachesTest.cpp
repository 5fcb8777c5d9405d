// The launcher's caches through the built program: the verified-JVM cache
// with a fake JVM that counts its runs (on by default, off by option or
// environment variable, not used when it belongs to another user), and
// class-data archives with the build's real JVM (the application's output
// and exit status the same as without them, the jars from the cache, a
// changed payload never running the old ones).
#include <unistd.h>

#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "DriverTestSupport.h"

namespace {

const std::string kPack = LAUNCHER_PACK_PROGRAM;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int lineCount(const std::string& text) {
  if (text == "<missing>") return 0;
  int count = 0;
  for (char c : text) count += c == '\n';
  return count;
}

// Files that lie below directory, with the given suffix, at any depth.
int countFiles(const std::string& directory, const std::string& suffix) {
  int count = 0;
  for (const std::string& name : listDir(directory)) {
    std::string path = directory + "/" + name;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode))
      count += countFiles(path, suffix);
    else if (name.size() >= suffix.size() &&
             name.compare(name.size() - suffix.size(), suffix.size(), suffix) ==
                 0)
      ++count;
  }
  return count;
}

class LauncherCachesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pack = dir.file("pack");
    run_ = dir.file("run");
    tmp = dir.file("tmp");
    cache = dir.file("cache");
    for (const std::string& d : {pack, run_, tmp}) mkdir(d.c_str(), 0755);
  }

  // Packs run/NAME from the files in pack/ with that launch script.
  void packLauncher(const std::string& name, const std::string& launchScript,
                    const std::string& jars) {
    writeFile(pack + "/launch.tag", launchScript);
    writeFile(pack + "/manifest.tag",
              "INSTRUCTIONS:  script.tag\nJVM:  java.tag\n"
              "LAUNCHSCRIPT:  launch.tag\nVERIFY_JAR:  verify.jar\n" +
                  jars);
    std::string command = "'" + kPack + "' '" LAUNCHER_PROGRAM "' '" + pack +
                          "/manifest.tag' '" + run_ + "/" + name +
                          "' >/dev/null";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  ProgramRun launch(
      const std::string& name, const std::vector<std::string>& args,
      const std::vector<std::pair<std::string, std::string>>& extra = {}) {
    ProgramSetup setup;
    setup.cwd = run_;
    setup.unset = {"JAVA_HOME", "LAUNCHER_NO_VERIFY_CACHE"};
    setup.environment = {{"TMPDIR", tmp}, {"XDG_CACHE_HOME", cache}};
    setup.environment.insert(setup.environment.end(), extra.begin(),
                             extra.end());
    return runProgram(run_ + "/" + name, args, setup);
  }

  ScratchDir dir;
  std::string pack, run_, tmp, cache;
};

// A fake JVM that counts its runs answers the verification program.
class VerifyCacheCommandLineTest : public LauncherCachesTest {
 protected:
  void SetUp() override {
    LauncherCachesTest::SetUp();
    home = dir.file("jdk");
    runs = dir.file("runs");
    mkdir(home.c_str(), 0755);
    mkdir((home + "/bin").c_str(), 0755);
    writeFile(home + "/bin/java", "#!/bin/sh\necho run >> '" + runs +
                                      "'\necho 1739021872\necho 17\n");
    chmod((home + "/bin/java").c_str(), 0755);
    writeFile(pack + "/verify.jar", "verification program");
    writeFile(pack + "/script.tag", "INSTRUCTIONS:  INITIALIZE_UI\n");
    writeFile(pack + "/java.tag",
              "DESC:  Java 17\nJVM_EXE:  bin/java\n"
              "JVM_PROPERTIES:  java.specification.version=17\n"
              "CLASSPATH:  \"-classpath \"\nCLASSPATH_SEPARATOR:  :\n");
    packLauncher("app", "COMMAND:  true\n", "");
    writeFile(run_ + "/in.tag", "LOGFILE:  run.log\nACTION:  SEARCH\n");
  }

  std::string home, runs;
};

TEST_F(VerifyCacheCommandLineTest, SecondStartRunsNoVerificationUnlessOff) {
  const struct {
    const char* what;
    std::vector<std::string> options;
    std::vector<std::pair<std::string, std::string>> environment;
    int runs;  // of the JVM after three searches
  } cases[] = {
      {"by default", {}, {}, 1},
      {"with -tv:noverifycache", {"-tv:noverifycache"}, {}, 3},
      {"with LAUNCHER_NO_VERIFY_CACHE=1",
       {},
       {{"LAUNCHER_NO_VERIFY_CACHE", "1"}},
       3},
      {"with LAUNCHER_NO_VERIFY_CACHE=0",
       {},
       {{"LAUNCHER_NO_VERIFY_CACHE", "0"}},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    unlink(runs.c_str());
    cache = dir.file(std::string("cache-") + std::to_string(&c - cases));
    std::vector<std::string> args = c.options;
    for (const char* a : {"-tv:javahome", "", "-tv:in", "in.tag"})
      args.push_back(*a ? a : home.c_str());
    for (int i = 0; i < 3; ++i) {
      ProgramRun run = launch("app", args, c.environment);
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.output.substr(0, 2), "1\n") << run.output;
    }
    EXPECT_EQ(lineCount(readFile(runs)), c.runs);
    EXPECT_EQ(contains(readFile(run_ + "/run.log"),
                       "Using the verified-JVM cache entry for " + home +
                           "/bin/java"),
              c.runs == 1);
    unlink((run_ + "/run.log").c_str());
  }
}

TEST_F(VerifyCacheCommandLineTest, AnotherUsersCacheIsNotUsed) {
  std::vector<std::string> args = {"-tv:javahome", home, "-tv:in", "in.tag"};
  ASSERT_EQ(launch("app", args).status, 0);
  // Only root can give the directory away; the seam-based unit tests cover
  // the owner check for everyone else.
  if (chown((cache + "/launcher").c_str(), 65534, 65534) != 0)
    GTEST_SKIP() << "cannot give a directory to another user here";
  ProgramRun run = launch("app", args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.substr(0, 2), "1\n");
  EXPECT_EQ(lineCount(readFile(runs)), 2);
  EXPECT_TRUE(contains(readFile(run_ + "/run.log"), "belongs to another user"));
}

// The build's JVM runs a small application that writes to both streams
// and ends with its own status.
class ClassDataArchiveLaunchTest : public LauncherCachesTest {
 protected:
  void SetUp() override {
    LauncherCachesTest::SetUp();
    javaHome = TEST_JAVA_HOME;
    if (javaHome.empty()) GTEST_SKIP() << "no JDK in this build";
    if (!exists(javaHome + "/bin/javac") || !exists(javaHome + "/bin/jar"))
      GTEST_SKIP() << "no javac and jar beside " << javaHome;
    std::string copy =
        "cp '" + std::string(TEST_VERIFY_JAR) + "' '" + pack + "/verify.jar'";
    ASSERT_EQ(system(copy.c_str()), 0);
    writeFile(pack + "/script.tag",
              "INSTRUCTIONS:\n  FIND_JVM 0 1\n  JMP0 @N1@ END\n"
              "  LAUNCH \"@S2@\" 0\n  :END\n/:\n");
    writeFile(pack + "/java.tag",
              "DESC:  Build JVM\nJVM_EXE:  bin/java\n"
              "JVM_PROPERTIES:  java.specification.version>=1\n"
              "CLASSPATH:  \"-classpath \"\nCLASSPATH_SEPARATOR:  :\n");
    buildApplication("first");
  }

  // pack/app.jar and pack/lib.jar: Main prints its arguments and greeting
  // through a class of lib.jar, a line on standard error, and ends with 3.
  void buildApplication(const std::string& greeting) {
    std::string src = dir.file("src-" + greeting);
    mkdir(src.c_str(), 0755);
    mkdir((src + "/app").c_str(), 0755);
    mkdir((src + "/lib").c_str(), 0755);
    writeFile(src + "/Greeting.java",
              "public class Greeting { static String text() { return \"" +
                  greeting + "\"; } }\n");
    writeFile(src + "/Main.java",
              "public class Main { public static void main(String[] a) {\n"
              "  System.out.println(Greeting.text() + \" \" + "
              "String.join(\",\", a));\n"
              "  System.out.println(new java.util.TreeMap<String, "
              "String>(java.util.Map.of(\"k\", \"v\")));\n"
              "  System.err.println(\"a line on standard error\");\n"
              "  System.exit(3); } }\n");
    std::string bin = "'" + javaHome + "/bin/";
    std::string command = "cd '" + src + "' && " + bin +
                          "javac' -d lib Greeting.java && " + bin +
                          "javac' -cp lib -d app Main.java && " + bin +
                          "jar' cf '" + pack + "/lib.jar' -C lib . && " + bin +
                          "jar' cf '" + pack + "/app.jar' -C app .";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  void packBoth() {
    const std::string jars = "CLASSPATH_JAR:\n  app.jar\n  lib.jar\n/:\n";
    const std::string command =
        "DISPLAY_CONSOLE:  1\n"
        "COMMAND:  \"\"\"@JVM_HOME@/@JVM_EXE@\"\" %CP%() Main\"\n";
    packLauncher("plain", command, jars);
    packLauncher("archived", "CLASS_DATA_ARCHIVE:  1\n" + command, jars);
  }

  ProgramRun start(const std::string& name, const std::string& logName) {
    return launch(name, {"-tv:javahome", javaHome, "-tv:log", logName, "one",
                         "two words"});
  }

  std::string javaHome;
};

TEST_F(ClassDataArchiveLaunchTest, TheApplicationSeesNoDifference) {
  packBoth();
  ProgramRun plain = start("plain", "plain.log");
  ASSERT_EQ(plain.status, 3) << plain.errors;
  EXPECT_EQ(plain.output, "first one,two words\n{k=v}\n");
  EXPECT_EQ(plain.errors, "a line on standard error\n");
  EXPECT_FALSE(exists(cache + "/launcher/class-data")) << "off by default";

  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    std::string logName = "archived" + std::to_string(i) + ".log";
    ProgramRun run = start("archived", logName);
    EXPECT_EQ(run.status, plain.status);
    EXPECT_EQ(run.output, plain.output);
    EXPECT_EQ(run.errors, plain.errors);
    std::string log = readFile(run_ + "/" + logName);
    EXPECT_EQ(contains(log, "Using the class-path archives extracted before"),
              i > 1)
        << log;
    EXPECT_EQ(contains(log, "Using the class-data archive"), i > 1) << log;
    EXPECT_EQ(countFiles(cache + "/launcher/class-data", ".jsa"), 1);
    // The jars come from the cache.
    EXPECT_TRUE(contains(log, "-classpath " + cache + "/launcher/class-data/"))
        << log;
  }
}

TEST_F(ClassDataArchiveLaunchTest, AChangedPayloadRunsItsOwnJars) {
  packBoth();
  ASSERT_EQ(start("archived", "1.log").output, "first one,two words\n{k=v}\n");
  ASSERT_EQ(start("archived", "2.log").output, "first one,two words\n{k=v}\n");
  buildApplication("second");
  packBoth();
  ProgramRun run = start("archived", "3.log");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.output, "second one,two words\n{k=v}\n");
  EXPECT_EQ(run.errors, "a line on standard error\n");
  EXPECT_FALSE(contains(readFile(run_ + "/3.log"), "extracted before"));
}

// Most jvm files ask the verification for no version: the home's release
// file tells it then.
TEST_F(ClassDataArchiveLaunchTest, AJvmFileThatAsksNoVersionUsesTheRelease) {
  if (!exists(javaHome + "/release")) GTEST_SKIP() << "no release file";
  writeFile(pack + "/java.tag",
            "DESC:  Build JVM\nJVM_EXE:  bin/java\n"
            "JVM_PROPERTIES:  java.class.version>=52\n"
            "CLASSPATH:  \"-classpath \"\nCLASSPATH_SEPARATOR:  :\n");
  packBoth();
  ASSERT_EQ(start("archived", "1.log").status, 3);
  ProgramRun run = start("archived", "2.log");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.output, "first one,two words\n{k=v}\n");
  std::string log = readFile(run_ + "/2.log");
  EXPECT_TRUE(contains(log, "Using the class-data archive")) << log;
}

TEST_F(ClassDataArchiveLaunchTest, AnUntrustedCacheStartsAsWithoutTheTag) {
  packBoth();
  ProgramRun plain = start("plain", "plain.log");
  ASSERT_EQ(start("archived", "1.log").status, 3);
  const std::string classData = cache + "/launcher/class-data";
  const struct {
    const char* what;
    bool (*spoil)(const std::string& directory);
  } cases[] = {
      {"writable by others",
       [](const std::string& d) { return chmod(d.c_str(), 0777) == 0; }},
      {"another user's",
       [](const std::string& d) {
         return chmod(d.c_str(), 0700) == 0 &&
                chown(d.c_str(), 65534, 65534) == 0;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.spoil(classData)) {
      std::cout << "skipped: " << c.what << "\n";
      continue;
    }
    ProgramRun run = start("archived", "2.log");
    EXPECT_EQ(run.status, plain.status);
    EXPECT_EQ(run.output, plain.output);
    EXPECT_EQ(run.errors, plain.errors);
    std::string log = readFile(run_ + "/2.log");
    EXPECT_TRUE(contains(log, "The class-data cache is not used")) << log;
    EXPECT_FALSE(contains(log, "-XX:")) << log;
    unlink((run_ + "/2.log").c_str());
  }
}

}  // namespace
