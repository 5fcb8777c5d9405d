// Launch scripts: every function, the argument syntax and its errors, the
// side files beside the launcher, the class path in both modes, and the
// execution of the command with literal extra arguments.
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "JVMTestSupport.h"
#include "core/LauncherException.h"
#include "jvm/JVMFile.h"
#include "jvm/LaunchScript.h"

namespace {

class LaunchScriptTest : public JVMTest {
 protected:
  void SetUp() override {
    JVMTest::SetUp();
    fillTags(m_tags, javaConventions());
    setenv("LAUNCH_TEST_VAR", "from env", 1);
    unsetenv("LAUNCH_TEST_UNSET");
  }
  void TearDown() override {
    unsetenv("LAUNCH_TEST_VAR");
    unsetenv("LAUNCH_TEST_CP");
    JVMTest::TearDown();
  }
  std::string resolve(const std::string& command, bool archives = false) {
    LaunchScript script(command.c_str(), true, archives);
    JVMFile jvm(m_tags);
    return str(script.resolve(jvm));
  }
  void sideFile(const char* suffix, const std::string& text) {
    writeFile(scratch.file(std::string("launcher") + suffix), text);
  }

  TagFile m_tags;
};

struct ResolveCase {
  std::string command;
  std::string expected;
};

TEST_F(LaunchScriptTest, ResolvesEveryFunction) {
  const std::string dir = scratch.path();
  const ResolveCase cases[] = {
      {"%LAUNCHER_FILE%()", dir + "/launcher.bin"},
      {"%LAUNCHER_DIR%()/lib", dir + "/lib"},
      {"%TEMP_DIR%()", dir},
      {"%APPLICATION_ARCHIVE%()", "embedded-app.jar"},
      {"%APPLICATION_ARCHIVE%(\"lib/app.jar\")", "beside:lib/app.jar"},
      {"%SYSTEMPROP%(\"app.exe\", \"@JVM_EXE@\")", "-Dapp.exe=bin/java"},
      {"%IF_EXISTS%(\"JVM_EXE\", \"uses @JVM_EXE@\")", "uses bin/java"},
      {"[%IF_EXISTS%(\"NO_SUCH_TAG\", \"text\")]", "[]"},
      {"%REPLACE%(\"/\", \"\\\", \"a/b/c\")", "a\\b\\c"},
      {"%REPLACE%(\"@CLASSPATH_SEPARATOR@\", \";\", \"a:b\")", "a;b"},
      // The scan resumes behind each replacement.
      {"%REPLACE%(\"a\", \"aa\", \"aXa\")", "aaXaa"},
      {"%REPLACE%(\"\", \"x\", \"subject\")", "subject"},
      {"%REPLACE%(\"\", \"\", \"subject\")", "subject"},
      {"%CP%()", ""},
      {"%CP%(\"a.jar\", \"b.jar\")", "-classpath a.jar:b.jar"},
      {"%CP% ( \"a.jar\" , \"b.jar\" , ) end", "-classpath a.jar:b.jar end"},
      {"%CP%(\"\"\"quoted.jar\"\"\")", "-classpath \"quoted.jar\""},
      {"%CP%(\"a.jar\"", "-classpath a.jar"},
      // An environment value is a word list: each word reaches the shell
      // as data of its own.
      {"#LAUNCH_TEST_VAR#", "from env"},
      {"[#LAUNCH_TEST_UNSET#]", "[]"},
      {"100%% @@ ##", "100% @ #"},
      {"a % b", "a % b"},
      // Functions first, then tags, then the environment.
      {"%SYSTEMPROP%(\"p\", \"#LAUNCH_TEST_VAR#\")", "-Dp=from env"},
      {"%IF_EXISTS%(\"JVM_EXE\", \"%%\")", "%"},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(resolve(c.command), c.expected);
  }
}

TEST_F(LaunchScriptTest, DefaultTemporaryDirectoryKeepsItsSlash) {
  PlatformImplTestPeer::reset();
  EXPECT_EQ(resolve("%TEMP_DIR%()"), "/var/tmp/");
}

struct ErrorCase {
  std::string command;
  std::string message;
};

TEST_F(LaunchScriptTest, MalformedCallsRaiseAndLogTheCommand) {
  const ErrorCase cases[] = {
      {"%LAUNCHER_DIR%", "Expected left parenthesis. (near character 14)"},
      {"%LAUNCHER_DIR% /bin", "Expected left parenthesis. (near character 14)"},
      {"%NOPE%()", "Invalid function name (NOPE)."},
      {"%cp%()", "Invalid function name (cp)."},
      {"%CP%(a.jar)", "Expected string arg. (near character 5)"},
      {"%CP%(", "Expected string arg. (near character 5)"},
      {"%CP%(\"a\" \"b\")", "Expected right parenthesis. (near character 8)"},
      {"%CP%(\"a\" ", "Expected right parenthesis. (near character 8)"},
      {"%CP%(\"a\",,)", "Expected string arg. (near character 9)"},
      {"%REPLACE%(\"a\", \"b\")", "REPLACE function requires 3 arguments."},
      {"%RUNTIME_SYSTEMPROP%(\"a\")",
       "RUNTIME_SYSTEMPROP function takes no arguments."},
      {"%RUNTIME_JAVAARGS%(\"a\")",
       "RUNTIME_JAVAARGS function takes no arguments."},
      {"%SYSTEMPROP%(\"a\")", "SYSTEMPROP function requires 2 arguments."},
      {"%IF_EXISTS%(\"a\", \"b\", \"c\")",
       "IF_EXISTS function requires 2 arguments."},
      {"%LAUNCHER_FILE%(\"a\")", "LAUNCHER_FILE function takes 0 arguments."},
      {"%LAUNCHER_DIR%(\"a\")", "LAUNCHER_DIR function takes 0 arguments."},
      {"%APPLICATION_ARCHIVE%(\"a\", \"b\")",
       "APPLICATION_ARCHIVE function takes 0 arguments."},
      {"%TEMP_DIR%(\"a\")", "TEMP_DIR function takes 0 arguments."},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.command);
    LogRecorder log;
    try {
      resolve("x " + c.command);
      ADD_FAILURE() << "no exception";
    } catch (const LauncherException& e) {
      std::string expected = "Launch script error: " + c.message;
      // Positions in the table are counted without the leading "x ".
      size_t near = expected.find("near character ");
      if (near != std::string::npos) {
        size_t at = near + 15;
        int position = std::stoi(expected.substr(at)) + 2;
        expected = expected.substr(0, at) + std::to_string(position) + ")";
      }
      EXPECT_EQ(str(e.getMessage()), expected);
    }
    ASSERT_EQ(log.entries().size(), 2u);
    EXPECT_EQ(log.entries()[0].first, "Launch command:");
    EXPECT_EQ(log.entries()[1].first, "x " + c.command);
  }
  // An unterminated argument is the text helper's own failure.
  try {
    resolve("%CP%(\"a.jar");
    ADD_FAILURE() << "no exception";
  } catch (const LauncherException& e) {
    EXPECT_EQ(str(e.getMessage()),
              "Expected double quote to end argument near 6");
  }
}

TEST_F(LaunchScriptTest, SelfReferenceRaisesInsteadOfLoopingForEver) {
  m_tags.setTagValue("LOOP", "-@LOOP@");
  EXPECT_THROW(resolve("@LOOP@"), LauncherException);
  // The archive is resolved inside the class path function.
  TagFile scriptFile;
  fillTags(scriptFile, {{"COMMAND", "%CP%()"}, {"ARCHIVE", "x:%CP%()"}});
  LaunchScript script(scriptFile, true);
  JVMFile jvm(m_tags);
  EXPECT_THROW(script.resolve(jvm), LauncherException);
}

// The class path option of the jvm file is shell text behind which the
// entries follow; one that calls the class path function again made every
// expansion add the option once more, and the command grow to megabytes
// before the count of expansions ended it.
TEST_F(LaunchScriptTest, ClassPathOptionCallingTheClassPathEndsSoon) {
  m_tags.setTagValue(
      "CLASSPATH",
      ("-cp " + std::string(200, 'x') + " %CP%(\"a.jar\") ").c_str());
  try {
    resolve("java %CP%(\"a.jar\") Main");
    ADD_FAILURE() << "no exception";
  } catch (const LauncherException& e) {
    EXPECT_NE(str(e.getMessage()).find("grows beyond"), std::string::npos)
        << str(e.getMessage());
  }
}

TEST_F(LaunchScriptTest, SideFilesBesideTheLauncher) {
  sideFile(".cp1", "first1\n\n  first2  \r\n");
  sideFile(".cp", "middle\n");
  sideFile(".cp2", "last\n");
  sideFile(".sp", "a=1\nb=c=d\nno value\n\n=empty name\n");
  sideFile(".ja", "-Xmx64m\n\n-Dexe=@JVM_EXE@\n");
  m_tags.setTagValue("JVM_CLASSPATH", "jvm.jar");
  const ResolveCase cases[] = {
      {"%CP%(\"arg.jar\")",
       "-classpath first1:first2:jvm.jar:middle:arg.jar:last"},
      {"%RUNTIME_SYSTEMPROP%()", "-Da=1 -Db=c=d '-D=empty name'"},
      {"%RUNTIME_JAVAARGS%()", "-Xmx64m -Dexe=bin/java"},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(resolve(c.command), c.expected);
  }
}

TEST_F(LaunchScriptTest, SideFileNames) {
  const struct {
    const char* launcher;
    const char* sideFile;
  } cases[] = {
      {"/opt/app/launcher.bin", "/opt/app/launcher.cp"},
      {"/opt/app/launcher", "/opt/app/launcher.cp"},
      {"/opt/app/launcher.tar.gz", "/opt/app/launcher.tar.cp"},
      // A dot in a directory name is no extension.
      {"/opt/my.app/launcher", "/opt/my.app/launcher.cp"},
      {"C:\\app\\launcher.exe", "C:\\app\\launcher.cp"},
      {"launcher.bin", "launcher.bin.cp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.launcher);
    EXPECT_EQ(str(LaunchScript::sideFileName(c.launcher, ".cp")), c.sideFile);
  }
}

TEST_F(LaunchScriptTest, ClassPathFromArchiveAndEmbeddedArchives) {
  environment.classpathArchives = {"one.jar", "two.jar"};
  TagFile scriptFile;
  fillTags(scriptFile, {{"COMMAND", "%CP%(\"arg.jar\")"},
                        {"ARCHIVE", "%LAUNCHER_DIR%()/app.jar"},
                        {"DESC", "Sample"}});
  LaunchScript script(scriptFile, true);
  EXPECT_EQ(str(script.getDescription()), "Sample");
  JVMFile jvm(m_tags);
  std::string first = str(script.resolve(jvm));
  ASSERT_EQ(environment.extractions.size(), 1u);
  // A copy: the next resolution adds to the list.
  const std::string dir = environment.extractions[0];
  EXPECT_EQ(dir.rfind(scratch.path() + "/tvj", 0), 0u) << dir;
  EXPECT_EQ(first, "-classpath arg.jar:" + scratch.path() + "/app.jar:" + dir +
                       "/one.jar:" + dir + "/two.jar");
  // Each resolution unpacks them again, into a new directory.
  script.resolve(jvm);
  ASSERT_EQ(environment.extractions.size(), 2u);
  EXPECT_NE(environment.extractions[1], dir);
  // A script made from a command text leaves them out.
  EXPECT_EQ(resolve("%CP%()"), "");
  std::string third = resolve("%CP%()", true);
  ASSERT_EQ(environment.extractions.size(), 3u);
  const std::string& dir3 = environment.extractions[2];
  EXPECT_EQ(third, "-classpath " + dir3 + "/one.jar:" + dir3 + "/two.jar");
}

TEST_F(LaunchScriptTest, ClassPathInAnEnvironmentVariable) {
  m_tags.setTagValue("USE_CP_ENV_VAR", "1");
  m_tags.setTagValue("CP_ENV_VAR", "LAUNCH_TEST_CP");
  m_tags.setTagValue("JVM_CLASSPATH", "jvm.jar");
  LogRecorder log;
  EXPECT_EQ(resolve("java %CP%(\"\"\"quoted.jar\"\"\", \"plain.jar\") Main"),
            "java  Main");
  EXPECT_EQ(str(PlatformImpl::getEnvironmentVariable("LAUNCH_TEST_CP")),
            "jvm.jar:quoted.jar:plain.jar");
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].first,
            "Set env var LAUNCH_TEST_CP to jvm.jar:quoted.jar:plain.jar\n");
  // Also an empty class path is set.
  m_tags.setTagValue("JVM_CLASSPATH", "");
  EXPECT_EQ(resolve("%CP%()"), "");
  EXPECT_EQ(str(PlatformImpl::getEnvironmentVariable("LAUNCH_TEST_CP")), "");
  EXPECT_NE(getenv("LAUNCH_TEST_CP"), nullptr);

  m_tags.setTagValue("CP_ENV_VAR", "");
  LogRecorder errors;
  EXPECT_EQ(resolve("%CP%(\"a.jar\")"), "");
  ASSERT_EQ(errors.entries().size(), 1u);
  EXPECT_EQ(errors.entries()[0].first,
            "If USE_CP_ENV_VAR is set to 1 in the jvm file, then the jvm file "
            "should also define CP_ENV_VAR.");
  EXPECT_EQ(errors.entries()[0].second, 2);
}

// Output lines of a child that prints each of its arguments on a line.
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1)
    result.push_back(text.substr(start, end - start));
  return result;
}

TEST_F(LaunchScriptTest, ExtraArgumentsReachTheCommandLiterally) {
  const std::vector<std::string> arguments = {
      "plain",          "with blank",        "quote\"d",   "back\\slash",
      "$(touch pwned)", "`touch pwned`",     "$HOME",      "single'quote",
      "%CP%()",         "#LAUNCH_TEST_VAR#", "trailing\\", "",
  };
  StringDeque extra;
  for (const std::string& a : arguments) extra.push_back(a.c_str());
  LaunchScript script("printf '%%s\\n'", true, false);
  JVMFile jvm(m_tags);
  script.execute(jvm, &extra, false);
  EXPECT_EQ(lines(str(script.getStandardOutput())), arguments);
  EXPECT_FALSE(exists(scratch.file("pwned")));
}

// Values that a shell would take for code or split, and that the macro
// passes would take for macros, were they not quoted where they land.
std::vector<std::string> oddValues(const std::string& pwned) {
  return {"with blank",
          "$(touch " + pwned + ")",
          "`touch " + pwned + "`",
          "single'quote",
          "double\"quote",
          "semi;colon",
          "100%",
          "user@host",
          "#hash",
          "back\\slash",
          "trailing\\",
          "%CP%()",
          "@JVM_EXE@",
          "#LAUNCH_TEST_VAR#",
          "$HOME",
          "a=b",
          "~tilde",
          "*",
          "x' ; touch " + pwned + " ; '"};
}

// A value's own macros of its kind still expand: those of oddValues.
std::string tagsResolved(std::string value) {
  size_t at = value.find("@JVM_EXE@");
  if (at != std::string::npos) value.replace(at, 9, "bin/java");
  return value;
}
std::string environmentResolved(std::string value) {
  size_t at = value.find("#LAUNCH_TEST_VAR#");
  if (at != std::string::npos) value.replace(at, 17, "from env");
  return value;
}

// The words of a word list as the shell should receive them: split at
// blanks, double quotes grouping and removed.
std::vector<std::string> wordsOf(const std::string& value) {
  std::vector<std::string> words;
  size_t i = 0;
  while (true) {
    while (i < value.size() && value[i] == ' ') ++i;
    if (i >= value.size()) return words;
    std::string word;
    bool quoted = false;
    for (; i < value.size() && (quoted || value[i] != ' '); ++i) {
      if (value[i] == '"')
        quoted = !quoted;
      else
        word += value[i];
    }
    words.push_back(word);
  }
}

// Whether a file of that name lies anywhere below dir.
bool existsBelow(const std::string& dir, const std::string& name) {
  std::string command = "find '" + dir + "' -name '" + name + "' | grep -q .";
  return system(command.c_str()) == 0;
}

TEST_F(LaunchScriptTest, OutsideValuesReachTheCommandAsData) {
  const std::string pwned = scratch.file("pwned");
  struct Case {
    const char* name;
    const char* command;
    bool fromEnvironment;
    // How the printed argument is made of the value.
    std::string (*expected)(const std::string&);
    // The value is a word list there: each word arrives as one argument.
    bool wordList = false;
  } cases[] = {
      {"tag alone", "printf '%%s\\n' @VAL@", false,
       [](const std::string& v) { return v; }},
      {"tag in double quotes", "printf '%%s\\n' \"<@VAL@>\"", false,
       [](const std::string& v) { return "<" + v + ">"; }},
      {"tag in single quotes", "printf '%%s\\n' '<@VAL@>'", false,
       [](const std::string& v) { return "<" + v + ">"; }},
      {"tag inside a word", "printf '%%s\\n' x@VAL@y", false,
       [](const std::string& v) { return "x" + v + "y"; }},
      {"tag after a backslash", "printf '%%s\\n' \\@VAL@", false,
       [](const std::string& v) { return v; }},
      {"tag behind quoted text", "printf '%%s\\n' \"a'b\"@VAL@'c\"d'", false,
       [](const std::string& v) { return "a'b" + v + "c\"d"; }},
      {"environment variable", "printf '%%s\\n' #LAUNCH_VAL#", true,
       [](const std::string& v) { return v; }, true},
      {"environment variable in double quotes",
       "printf '%%s\\n' \"#LAUNCH_VAL#\"", true,
       [](const std::string& v) { return v; }},
      {"system property of the template",
       "printf '%%s\\n' %SYSTEMPROP%(\"p\", \"@VAL@\")", false,
       [](const std::string& v) { return "-Dp=" + v; }},
      {"conditional text", "printf '%%s\\n' %IF_EXISTS%(\"VAL\", \"@VAL@\")",
       false, [](const std::string& v) { return v; }},
      {"system property of the side file",
       "printf '%%s\\n' %RUNTIME_SYSTEMPROP%()", false,
       [](const std::string& v) { return "-Dp=" + v; }},
      {"Java argument of the side file", "printf '%%s\\n' %RUNTIME_JAVAARGS%()",
       false, [](const std::string& v) { return v; }, true},
  };
  for (const std::string& value : oddValues(pwned)) {
    m_tags.setTagValue("VAL", value.c_str());
    setenv("LAUNCH_VAL", value.c_str(), 1);
    sideFile(".sp", "p=" + value + "\n");
    sideFile(".ja", value + "\n");
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ": " + value);
      LaunchScript script(c.command, true, false);
      JVMFile jvm(m_tags);
      script.execute(jvm, nullptr, false);
      std::string resolved =
          c.fromEnvironment ? environmentResolved(value) : tagsResolved(value);
      std::vector<std::string> expected{c.expected(resolved)};
      if (c.wordList) expected = wordsOf(resolved);
      EXPECT_EQ(lines(str(script.getStandardOutput())), expected);
      EXPECT_EQ(str(script.getErrorOutput()), "");
    }
  }
  unsetenv("LAUNCH_VAL");
  EXPECT_FALSE(exists(pwned));
}

TEST_F(LaunchScriptTest, EmptyValuesAddNoWordUnlessQuoted) {
  const ResolveCase cases[] = {
      {"a @NONE@ b", "a  b"},
      {"a \"@NONE@\" b", "a \"\" b"},
      {"a '@NONE@' b", "a '' b"},
      {"a #LAUNCH_TEST_UNSET# b", "a  b"},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(resolve(c.command), c.expected);
  }
}

TEST_F(LaunchScriptTest, ClassPathDataEntriesStayOneArgument) {
  const std::string pwned = scratch.file("pwned");
  for (const std::string& value : oddValues(pwned)) {
    SCOPED_TRACE(value);
    sideFile(".cp", value + "\n");
    sideFile(".cp2", "last.jar\n");
    // The template's own argument keeps its quotes as shell text.
    LaunchScript script("printf '%%s\\n' %CP%(\"\"\"with blank.jar\"\"\")",
                        true, false);
    JVMFile jvm(m_tags);
    script.execute(jvm, nullptr, false);
    EXPECT_EQ(lines(str(script.getStandardOutput())),
              (std::vector<std::string>{"-classpath",
                                        value + ":with blank.jar:last.jar"}));
  }
  EXPECT_FALSE(exists(pwned));
}

TEST_F(LaunchScriptTest, LauncherPathsAndJVMHomesStayOneArgument) {
  // Directory names: the file would be made in the working directory.
  for (const std::string& value : oddValues("pwned")) {
    if (value == "*") continue;  // would list the directory, not be one
    SCOPED_TRACE(value);
    std::string dir = scratch.file(value);
    mkdir(dir.c_str(), 0755);
    environment.launcherFile = dir + "/launcher.bin";
    std::string home = dir + "/home";
    makeFakeJVM(home, "for a; do printf '%s\\n' \"$a\"; done");
    m_tags.setTagValue("JVM_HOME", home.c_str());
    TagFile scriptFile;
    fillTags(scriptFile, {{"COMMAND",
                           "@JVM_HOME@/@JVM_EXE@ %LAUNCHER_DIR%() "
                           "\"%LAUNCHER_FILE%()\" %CP%()"},
                          {"ARCHIVE", "%LAUNCHER_DIR%()/app.jar"}});
    for (const char* quoted : {"", "\""}) {
      std::string command = std::string(quoted) + "@JVM_HOME@/@JVM_EXE@" +
                            quoted +
                            " %LAUNCHER_DIR%() \"%LAUNCHER_FILE%()\" %CP%()";
      scriptFile.setTagValue("COMMAND", command.c_str());
      LaunchScript script(scriptFile, true);
      JVMFile jvm(m_tags);
      script.execute(jvm, nullptr, false);
      EXPECT_EQ(lines(str(script.getStandardOutput())),
                (std::vector<std::string>{dir, dir + "/launcher.bin",
                                          "-classpath", dir + "/app.jar"}))
          << command;
    }
  }
  EXPECT_FALSE(existsBelow(scratch.path(), "pwned"));
}

TEST_F(LaunchScriptTest, RunsInTheLauncherDirectoryAndLogsTheOutput) {
  LogRecorder log;
  LaunchScript script("pwd; echo oops >&2", true, false);
  JVMFile jvm(m_tags);
  script.execute(jvm, nullptr, false);
  EXPECT_EQ(str(script.getStandardOutput()), scratch.path() + "\n");
  EXPECT_EQ(str(script.getErrorOutput()), "oops\n");
  std::vector<std::string> logged;
  for (const auto& entry : log.entries()) logged.push_back(entry.first);
  EXPECT_EQ(logged, (std::vector<std::string>{
                        "Executing launch script command: pwd; echo oops >&2 "
                        "in working directory " +
                            scratch.path(),
                        "Output from the launch script execution",
                        "StdOut:", scratch.path() + "\n", "ErrOut:", "oops\n",
                        "The launch script command ended with exit status 0"}));
}

TEST_F(LaunchScriptTest, ConsoleRunsAreNotCaptured) {
  struct Case {
    const char* name;
    const char* displayConsole;
    bool showConsole;
    bool captureOutput;
    bool captured;
  } cases[] = {
      {"captured", "0", false, true, true},
      {"script asks for the console", "1", false, true, false},
      {"caller asks for the console", "0", true, true, false},
      {"no capture asked", "0", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TagFile scriptFile;
    fillTags(scriptFile, {{"COMMAND", "echo visible"},
                          {"DISPLAY_CONSOLE", c.displayConsole}});
    LaunchScript script(scriptFile, c.captureOutput);
    JVMFile jvm(m_tags);
    StdoutCapture console;
    script.execute(jvm, nullptr, c.showConsole);
    std::string printed = console.finish();
    EXPECT_EQ(str(script.getStandardOutput()), c.captured ? "visible\n" : "");
    EXPECT_EQ(printed, c.captured ? "" : "visible\n");
  }
}

}  // namespace
