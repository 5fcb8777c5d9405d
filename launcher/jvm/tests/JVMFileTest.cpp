// Verification of JVM homes: the output check, fake JVM homes for every
// kind of answer, hints, quoting of odd homes, the jvm file written for a
// match, and the real JVM of the build with the real verification jar.
#include <string>
#include <vector>

#include "JVMTestSupport.h"
#include "core/LauncherException.h"
#include "core/StringPair.h"
#include "jvm/JVMFile.h"
#include "jvm/JVMMatch.h"

namespace {

const char kVerifyClasspath[] = "\"/opt/launcher/verify.jar\"";
const char kVerifyClass[] = "\"Verify\"";

using Pairs = std::vector<std::pair<const char*, const char*>>;

struct OutputCase {
  const char* name;
  const char* output;
  Pairs expected;
  bool result;
};

TEST(VerifyJVMOutputTest, ComparesTheReportedLines) {
  const OutputCase cases[] = {
      {"empty output", "", {}, false},
      {"magic line only, nothing expected", "1739021872\n", {}, true},
      {"magic line only, two expected",
       "1739021872\n",
       {{"a", "1"}, {"b", "2"}},
       true},
      {"magic line with a trailing blank",
       "1739021872 \nx\n",
       {{"a", "x"}},
       true},
      {"carriage returns dropped", "1739021872\r\nx\r\n", {{"a", "x"}}, true},
      {"wrong magic line", "1739021873\nx\n", {{"a", "x"}}, false},
      {"magic line not first", "\n1739021872\nx\n", {}, false},
      {"exact match",
       "1739021872\n1.3.1_02\nSun\n",
       {{"v", "1.3.1_02"}, {"w", "Sun"}},
       true},
      {"second value differs",
       "1739021872\n1.3.1_02\nIBM\n",
       {{"v", "1.3.1_02"}, {"w", "Sun"}},
       false},
      {"prefix accepted", "1739021872\n1.3.1_02\n", {{"v", "1.3..."}}, true},
      {"prefix rejected", "1739021872\n1.4.0\n", {{"v", "1.3..."}}, false},
      {"line shorter than the prefix",
       "1739021872\n1.\n",
       {{"v", "1.3..."}},
       false},
      {"dots alone accept anything",
       "1739021872\nwhatever\n",
       {{"v", "..."}},
       true},
      {"dots inside are literal",
       "1739021872\n1.3.1\n",
       {{"v", "1...1"}},
       false},
      {"exact value is not a prefix",
       "1739021872\n1.3.1\n",
       {{"v", "1.3"}},
       false},
      {"output ends before the pairs",
       "1739021872\nx",
       {{"a", "x"}, {"b", "y"}},
       true},
  };
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.name);
    StringPairPtrDeque expected;
    for (const auto& pair : c.expected)
      expected.push_back(new StringPair(pair.first, pair.second));
    EXPECT_EQ(JVMFile::verifyJVMOutput(c.output, expected), c.result);
  }
}

// A setting name>=value or name<=value reaches the check as the name with
// its mark ("v>", "v<") and asks for a version range.
TEST(VerifyJVMOutputTest, VersionRanges) {
  struct RangeCase {
    const char* reported;
    const char* name;
    const char* bound;
    bool result;
  } cases[] = {
      {"11", "v>", "11", true},
      {"17", "v>", "11", true},
      {"25", "v>", "11", true},
      {"1.8", "v>", "11", false},
      {"10", "v>", "11", false},
      {"17.0.2", "v>", "17.0.10", false},
      {"17.0.10", "v>", "17.0.2", true},
      {"17", "v>", "17.0", true},
      {"1.8.0_392", "v>", "1.8", true},
      {"11", "v<", "17", true},
      {"17", "v<", "17.0.2", true},
      {"21", "v<", "17", false},
      {"1.8", "v<", "11", true},
      {"11", "v<", "1.8", false},
      // Numbers of any length are compared as numbers.
      {"100000000000000000000", "v>", "99999999999999999999", true},
      {"007", "v<", "7", true},
      // Something that is no version number is outside every range.
      {"unknown", "v>", "1", false},
      {"", "v<", "99", false},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(std::string(c.reported) + " " + c.name + "= " + c.bound);
    StringPairPtrDeque expected;
    expected.push_back(new StringPair(c.name, c.bound));
    EXPECT_EQ(JVMFile::verifyJVMOutput(
                  ("1739021872\n" + std::string(c.reported) + "\n").c_str(),
                  expected),
              c.result);
  }
}

TEST(VerifyJVMOutputTest, WrongMagicLineIsLoggedAsAnError) {
  LogRecorder log;
  StringPairPtrDeque none;
  EXPECT_FALSE(JVMFile::verifyJVMOutput("Error: no class\n", none));
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].first, "Invalid magic value: Error: no class\n");
  EXPECT_EQ(log.entries()[0].second, 2);
}

class JVMFileTest : public JVMTest {
 protected:
  // A jvm file on disk (so that it has a name), loaded.
  TagFile& jvmFile(
      const std::vector<std::pair<std::string, std::string>>& tags) {
    TagFile written;
    fillTags(written, javaConventions());
    fillTags(written, tags);
    std::string path = scratch.file("test.jvm");
    written.write(path.c_str());
    m_files.push_back(std::make_unique<TagFile>(path.c_str()));
    return *m_files.back();
  }
  std::string home(const std::string& name) { return scratch.file(name); }

  std::vector<std::unique_ptr<TagFile>> m_files;
};

struct FakeCase {
  const char* name;
  std::vector<std::string> properties;
  const char* prints;  // what the fake JVM writes
  bool matches;
};

TEST_F(JVMFileTest, VerifiesFakeHomesByTheirOutput) {
  const FakeCase cases[] = {
      {"properties as required",
       {"java.version=1.3.1_02", "java.vendor=Sun"},
       "1739021872\\n1.3.1_02\\nSun\\n",
       true},
      {"blanks around names and values",
       {"  java.version =  1.3... "},
       "1739021872\\n1.3.1_02\\n",
       true},
      {"prefix rejects another version",
       {"java.version=1.3..."},
       "1739021872\\n1.4.0\\n",
       false},
      {"wrong magic line", {"java.version=1.3..."}, "42\\n1.3.1\\n", false},
      {"nothing printed", {"java.version=1.3..."}, "", false},
      {"only on standard error",
       {"java.version=1.3..."},
       "1739021872\\n1.3\\n' >&2; printf '",
       false},
      {"properties missing from the output",
       {"a=1", "b=2"},
       "1739021872\\n",
       true},
      {"a malformed setting is skipped",
       {"no equals sign", "a=1"},
       "1739021872\\n1\\n",
       true},
  };
  for (const FakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string jvmHome = home("jvm");
    makeFakeJVM(jvmHome, std::string("printf '") + c.prints + "'");
    std::vector<std::pair<std::string, std::string>> tags;
    for (const std::string& p : c.properties)
      tags.push_back({"JVM_PROPERTIES", p});
    TagFile& tags_ = jvmFile(tags);
    JVMFile jvm(tags_);
    PlatformImpl::setUIProgress(0);
    std::unique_ptr<JVMMatch> match(
        jvm.verify(jvmHome.c_str(), kVerifyClasspath, kVerifyClass));
    EXPECT_EQ(match != nullptr, c.matches);
    if (match) {
      EXPECT_EQ(str(match->getJVMHome()), jvmHome);
      EXPECT_EQ(&match->getTagFile(), &tags_);
    }
    // The last candidate stays in the file; one run counts six units.
    EXPECT_EQ(str(tags_.getTagValue("JVM_HOME")), jvmHome);
    EXPECT_EQ(PlatformImpl::getUIProgress() >= 6, true);
  }
}

TEST_F(JVMFileTest, PassesClassPathClassAndPropertyNames) {
  std::string jvmHome = home("jvm");
  std::string argsFile = scratch.file("args");
  makeFakeJVM(jvmHome, "for a; do printf '%s\\n' \"$a\"; done > '" + argsFile +
                           "'; echo 1739021872");
  TagFile& tags =
      jvmFile({{"JVM_PROPERTIES", "java.version=..."},
               {"JVM_PROPERTIES", "odd name;$(x)=..."},
               {"JVM_PROPERTIES", "java.specification.version >= 0"},
               {"JVM_PROPERTIES", "java.vm.version<=99"}});
  JVMFile jvm(tags);
  std::unique_ptr<JVMMatch> match(jvm.verify(
      jvmHome.c_str(), "\"/opt/with blank/verify.jar\"", kVerifyClass));
  EXPECT_NE(match, nullptr);
  FILE* file = fopen(argsFile.c_str(), "r");
  ASSERT_NE(file, nullptr);
  std::vector<std::string> args;
  char line[1024];
  while (fgets(line, sizeof line, file))
    args.push_back(std::string(line, strlen(line) - 1));
  fclose(file);
  EXPECT_EQ(args, (std::vector<std::string>{
                      "-classpath", "/opt/with blank/verify.jar", "Verify",
                      "java.version", "odd name;$(x)",
                      "java.specification.version", "java.vm.version"}));
}

// A home found on disk may hold anything a file name can: it must run
// that JVM and nothing else, and its characters must not act as macros.
TEST_F(JVMFileTest, OddHomesRunThatJVMOnly) {
  const char* names[] = {
      "with blank",
      "quote\"d",
      "single'quote",
      "semi;colon",
      "dollar$HOME",
      "sub$(touch pwned)",
      "back`touch pwned`quote",
      "percent%CP%()",
      "at@JVM_EXE@",
      "hash#HOME#",
      "back\\slash",
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::string jvmHome = home(name);
    makeFakeJVM(jvmHome, "printf '1739021872\\n1.3.1\\n'");
    TagFile& tags = jvmFile({{"JVM_PROPERTIES", "java.version=1.3..."}});
    JVMFile jvm(tags);
    std::unique_ptr<JVMMatch> match(
        jvm.verify(jvmHome.c_str(), kVerifyClasspath, kVerifyClass));
    EXPECT_NE(match, nullptr);
    EXPECT_FALSE(exists(scratch.file("pwned")));
  }
}

// The verification jar lies in a temporary directory that the environment
// names: whatever that name holds, the JVM gets it as its class path.
TEST_F(JVMFileTest, OddClassPathDirectoriesReachTheJVMAsOnePath) {
  const char* names[] = {
      "with blank",  "quote\"d",          "single'quote",      "semi;colon",
      "dollar$HOME", "sub$(touch pwned)", "back`touch pwned`", "percent%CP%()",
      "at@JVM_EXE@", "hash#HOME#",        "back\\slash"};
  std::string jvmHome = home("jvm");
  std::string argsFile = scratch.file("args");
  makeFakeJVM(jvmHome,
              "printf '%s\\n' \"$2\" > '" + argsFile + "'; echo 1739021872");
  TagFile& tags = jvmFile({{"JVM_PROPERTIES", "java.version=..."}});
  JVMFile jvm(tags);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::string jar = scratch.file(name) + "/verify.jar";
    std::unique_ptr<JVMMatch> match(
        jvm.verify(jvmHome.c_str(), ("\"" + jar + "\"").c_str(), kVerifyClass));
    EXPECT_NE(match, nullptr);
    FILE* file = fopen(argsFile.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char line[1024] = "";
    EXPECT_NE(fgets(line, sizeof line, file), nullptr);
    fclose(file);
    EXPECT_EQ(std::string(line), jar + "\n");
  }
  EXPECT_FALSE(exists(scratch.file("pwned")));
}

// An input file may name the verification class: the name is one argument
// for the JVM, never shell code.
TEST_F(JVMFileTest, OddVerifyClassNamesReachTheJVMAsOneArgument) {
  const char* names[] = {"Verify",
                         "with blank",
                         "semi;touch pwned",
                         "sub$(touch pwned)",
                         "back`touch pwned`",
                         "quote'd",
                         "percent%CP%()",
                         "at@JVM_EXE@"};
  std::string jvmHome = home("jvm");
  std::string argsFile = scratch.file("args");
  makeFakeJVM(jvmHome,
              "printf '%s\\n' \"$3\" > '" + argsFile + "'; echo 1739021872");
  TagFile& tags = jvmFile({{"JVM_PROPERTIES", "java.version=..."}});
  JVMFile jvm(tags);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    // As the search passes it (in double quotes) and as an input file may.
    for (const std::string& given :
         {"\"" + std::string(name) + "\"", std::string(name)}) {
      std::unique_ptr<JVMMatch> match(
          jvm.verify(jvmHome.c_str(), kVerifyClasspath, given.c_str()));
      EXPECT_NE(match, nullptr);
      FILE* file = fopen(argsFile.c_str(), "r");
      ASSERT_NE(file, nullptr);
      char line[1024] = "";
      EXPECT_NE(fgets(line, sizeof line, file), nullptr);
      fclose(file);
      EXPECT_EQ(std::string(line), std::string(name) + "\n") << given;
    }
  }
  EXPECT_FALSE(exists(scratch.file("pwned")));
}

TEST_F(JVMFileTest, LogsTheRunAndMalformedSettings) {
  std::string jvmHome = home("jvm");
  makeFakeJVM(jvmHome, "printf '1739021872\\n1\\n'");
  TagFile& tags =
      jvmFile({{"JVM_PROPERTIES", "a=1"}, {"JVM_PROPERTIES", "broken"}});
  JVMFile jvm(tags);
  LogRecorder log;
  std::unique_ptr<JVMMatch> match(
      jvm.verify(jvmHome.c_str(), kVerifyClasspath, kVerifyClass));
  ASSERT_NE(match, nullptr);
  auto logged = [&](const std::string& text, int type) {
    for (const auto& entry : log.entries())
      if (entry.first == text && entry.second == type) return true;
    return false;
  };
  EXPECT_TRUE(logged("Invalid JVM_PROPERTIES setting (broken) in JVM File " +
                         scratch.file("test.jvm"),
                     1));
  EXPECT_TRUE(logged("Found matching JVM at " + jvmHome, 0));
  EXPECT_TRUE(logged(
      "Verifying JVM at " + jvmHome + "/bin/java\n   for JVM: Test JVM", 0));
}

TEST_F(JVMFileTest, HomesThatCannotMatch) {
  LogRecorder log;
  {
    SCOPED_TRACE("empty JVM_EXE: nothing happens, nothing is logged");
    TagFile& tags = jvmFile({{"JVM_PROPERTIES", "a=1"}});
    tags.setTagValue("JVM_EXE", "");
    JVMFile jvm(tags);
    EXPECT_EQ(jvm.verify(home("x").c_str(), kVerifyClasspath, kVerifyClass),
              nullptr);
    EXPECT_EQ(jvm.verify("", kVerifyClasspath, kVerifyClass), nullptr);
    EXPECT_TRUE(log.entries().empty());
  }
  {
    SCOPED_TRACE("missing executable");
    TagFile& tags = jvmFile({{"JVM_PROPERTIES", "a=1"}});
    JVMFile jvm(tags);
    PlatformImpl::setUIProgress(0);
    std::string missing = home("none");
    EXPECT_EQ(jvm.verify(missing.c_str(), kVerifyClasspath, kVerifyClass),
              nullptr);
    EXPECT_EQ(PlatformImpl::getUIProgress(), 2);
    ASSERT_EQ(log.entries().size(), 2u);
    EXPECT_EQ(log.entries()[0].first, "Verifying JVM at " + missing +
                                          "/bin/java\n   for JVM: Test JVM");
    EXPECT_EQ(log.entries()[1].first, missing + "/bin/java does not exist");
  }
}

TEST_F(JVMFileTest, UnquotedClassPathIsRejectedByTheClassPathFunction) {
  std::string jvmHome = home("jvm");
  makeFakeJVM(jvmHome, "echo 1739021872");
  TagFile& tags = jvmFile({{"JVM_PROPERTIES", "a=1"}});
  JVMFile jvm(tags);
  try {
    delete jvm.verify(jvmHome.c_str(), "/opt/verify.jar", kVerifyClass);
    ADD_FAILURE() << "no exception";
  } catch (const LauncherException& e) {
    EXPECT_EQ(str(e.getMessage())
                  .rfind("Launch script error: Expected string arg.", 0),
              0u)
        << str(e.getMessage());
  }
}

TEST_F(JVMFileTest, OwnHomeNeedsRequiredProperties) {
  std::string jvmHome = home("jvm");
  makeFakeJVM(jvmHome, "printf '1739021872\\n1\\n'");
  {
    LogRecorder log;
    TagFile& tags = jvmFile({{"JVM_HOME", jvmHome}});
    JVMFile jvm(tags);
    EXPECT_EQ(jvm.verify(kVerifyClasspath, kVerifyClass), nullptr);
    EXPECT_EQ(jvm.verifyWithPathHints(kVerifyClasspath, kVerifyClass), nullptr);
    EXPECT_EQ(jvm.verifyWithPlatformHints(kVerifyClasspath, kVerifyClass),
              nullptr);
    std::string warning = "Unable to verify " + scratch.file("test.jvm") +
                          " because the JVM_PROPERTIES tag was not specified.";
    ASSERT_EQ(log.entries().size(), 3u);
    for (const auto& entry : log.entries()) {
      EXPECT_EQ(entry.first, warning);
      EXPECT_EQ(entry.second, 1);
    }
    // With an explicit home only the magic line is checked.
    std::unique_ptr<JVMMatch> match(
        jvm.verify(jvmHome.c_str(), kVerifyClasspath, kVerifyClass));
    EXPECT_NE(match, nullptr);
  }
  TagFile& tags = jvmFile({{"JVM_HOME", jvmHome}, {"JVM_PROPERTIES", "a=1"}});
  JVMFile jvm(tags);
  std::unique_ptr<JVMMatch> match(jvm.verify(kVerifyClasspath, kVerifyClass));
  ASSERT_NE(match, nullptr);
  EXPECT_EQ(str(match->getJVMHome()), jvmHome);
}

TEST_F(JVMFileTest, PathHintsBelowEachPartition) {
  std::string jvmHome = home("hinted");
  makeFakeJVM(jvmHome, "printf '1739021872\\n1\\n'");
  // The root partition is "/": with or without a leading "/", a hint
  // names the same candidate.
  TagFile& tags = jvmFile({{"JVM_PROPERTIES", "a=1"},
                           {"PATH_HINT", "/no/such/jvm"},
                           {"PATH_HINT", "no/such/jvm"},
                           {"PATH_HINT", jvmHome.substr(1)},
                           {"PATH_HINT", "never/tried"}});
  JVMFile jvm(tags);
  LogRecorder log;
  std::unique_ptr<JVMMatch> match(
      jvm.verifyWithPathHints(kVerifyClasspath, kVerifyClass));
  ASSERT_NE(match, nullptr);
  EXPECT_EQ(str(match->getJVMHome()), jvmHome);
  std::vector<std::string> checked;
  for (const auto& entry : log.entries())
    if (entry.first.rfind("Checking path hint ", 0) == 0)
      checked.push_back(entry.first);
  EXPECT_EQ(checked,
            (std::vector<std::string>{"Checking path hint /no/such/jvm",
                                      "Checking path hint /no/such/jvm",
                                      "Checking path hint " + jvmHome}));
  EXPECT_EQ(log.entries()[0].first, "Searching for Test JVM using path hints");
}

TEST_F(JVMFileTest, PlatformHintsGiveNoCandidateHere) {
  TagFile& tags =
      jvmFile({{"JVM_PROPERTIES", "a=1"}, {"PLATFORM_HINT", "registry"}});
  JVMFile jvm(tags);
  LogRecorder log;
  EXPECT_EQ(jvm.verifyWithPlatformHints(kVerifyClasspath, kVerifyClass),
            nullptr);
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].first,
            "Searching for Test JVM using platform hints");
}

TEST_F(JVMFileTest, MatchWritesTheCompletedJVMFile) {
  std::string jvmHome = home("jvm");
  makeFakeJVM(jvmHome, "printf '1739021872\\n1\\n'");
  TagFile& tags = jvmFile({{"JVM_PROPERTIES", "a=1"}});
  JVMFile jvm(tags);
  std::unique_ptr<JVMMatch> match(
      jvm.verify(jvmHome.c_str(), kVerifyClasspath, kVerifyClass));
  ASSERT_NE(match, nullptr);
  std::string path = str(match->writeNewJVMFile());
  EXPECT_EQ(path.rfind(scratch.path() + "/tvj", 0), 0u) << path;
  TagFile written(path.c_str());
  EXPECT_EQ(str(written.getTagValue("JVM_HOME")), jvmHome);
  EXPECT_EQ(str(written.getTagValue("JVM_FILE")), path);
  EXPECT_EQ(str(written.getTagValue("JVM_TEMP")), "0");
  EXPECT_EQ(str(written.getTagValue("JVM_PROPERTIES")), "a=1");
  EXPECT_EQ(str(tags.getTagValue("JVM_FILE")), path);
  PlatformImpl::cleanup();
  EXPECT_FALSE(exists(path));
}

// The JVM this build found, run on the verification jar this build made.
class RealJVMTest : public JVMFileTest {
 protected:
  void SetUp() override {
    JVMFileTest::SetUp();
    if (std::string(TEST_JAVA_HOME).empty())
      GTEST_SKIP() << "no JDK in this build";
  }
};

TEST_F(RealJVMTest, VerifiesTheBuildJVM) {
  // The jar in a directory whose name needs quoting.
  std::string jarDir = scratch.file("verify jar");
  mkdir(jarDir.c_str(), 0755);
  std::string jar = jarDir + "/verify.jar";
  ASSERT_EQ(
      system(
          ("cp '" + std::string(TEST_VERIFY_JAR) + "' '" + jar + "'").c_str()),
      0);
  const std::string version = TEST_JAVA_SPEC_VERSION;
  struct Case {
    const char* name;
    std::vector<std::string> properties;
    bool matches;
  } cases[] = {
      {"version prefix",
       {"java.specification.version=" + version + "..."},
       true},
      {"exact version and home",
       {"java.specification.version=" + version,
        std::string("java.home=") + TEST_JAVA_HOME},
       true},
      {"too old a prefix", {"java.specification.version=1.3..."}, false},
      {"second property differs",
       {"java.specification.version=" + version + "...",
        "java.vm.name=No such VM"},
       false},
      {"a property the JVM lacks", {"no.such.property=x"}, false},
      {"a property the JVM lacks, expected empty", {"no.such.property="}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<std::string, std::string>> tags;
    for (const std::string& p : c.properties)
      tags.push_back({"JVM_PROPERTIES", p});
    JVMFile jvm(jvmFile(tags));
    std::unique_ptr<JVMMatch> match(
        jvm.verify(TEST_JAVA_HOME, ("\"" + jar + "\"").c_str(), kVerifyClass));
    EXPECT_EQ(match != nullptr, c.matches);
  }
}

}  // namespace
