// launcher-pack run as a program: its command line, exit statuses and what
// it prints.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "archive/tests/PayloadTestSupport.h"

namespace {

const std::string kPack = LAUNCHER_PACK_PROGRAM;
const std::string kLauncher = LAUNCHER_PROGRAM;

// In arguments and texts @DIR@ is the scratch directory, which holds
// app.jar, good.tag (a manifest naming it) and missing.tag (a manifest
// naming a file that does not exist).
struct CommandCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string output;  // a prefix of standard output
  std::string errors;  // a prefix of standard error
};

const CommandCase kCases[] = {
    {"help", {"--help"}, 0, "Usage: launcher-pack", ""},
    {"no arguments",
     {},
     2,
     "",
     "launcher-pack: expected PROGRAM, MANIFEST and OUTPUT\nUsage:"},
    {"an unknown option",
     {"--bogus"},
     2,
     "",
     "launcher-pack: unknown option --bogus\n"},
    {"--list without a file",
     {"--list"},
     2,
     "",
     "launcher-pack: --list takes one launcher file\n"},
    {"--list with two files",
     {"--list", "a", "b"},
     2,
     "",
     "launcher-pack: --list takes one launcher file\n"},
    {"--depfile without a name",
     {"--depfile"},
     2,
     "",
     "launcher-pack: --depfile needs a file name\n"},
    {"listing a program without a payload",
     {"--list", "@PROGRAM@"},
     1,
     "",
     "launcher-pack: @PROGRAM@ carries no payload\n"},
    {"listing a missing file",
     {"--list", "@DIR@/none"},
     1,
     "",
     "launcher-pack: cannot open @DIR@/none: No such file or directory\n"},
    {"a manifest naming a missing file",
     {"@PROGRAM@", "@DIR@/missing.tag", "@DIR@/out"},
     1,
     "",
     "launcher-pack: @DIR@/missing.tag: CLASSPATH_JAR \"none.jar\": cannot "
     "read @DIR@/none.jar: No such file or directory\n"},
    {"packing", {"@PROGRAM@", "@DIR@/good.tag", "@DIR@/out"}, 0, "", ""},
};

TEST(LauncherPackCommandLine, Cases) {
  for (const CommandCase& c : kCases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    writeFile(dir.file("app.jar"), "JAR");
    writeFile(dir.file("good.tag"), "APPLICATION_JAR: app.jar\n");
    writeFile(dir.file("missing.tag"), "CLASSPATH_JAR: none.jar\n");
    auto expand = [&](std::string text) {
      for (size_t at; (at = text.find("@PROGRAM@")) != std::string::npos;)
        text.replace(at, 9, kLauncher);
      for (size_t at; (at = text.find("@DIR@")) != std::string::npos;)
        text.replace(at, 5, dir.path());
      return text;
    };
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(expand(arg));
    ProgramRun run = runProgram(kPack, args, dir.path());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output.substr(0, c.output.size()), c.output);
    EXPECT_EQ(run.errors.substr(0, expand(c.errors).size()), expand(c.errors));
    if (c.errors.empty()) {
      EXPECT_EQ(run.errors, "");
    }
    // Only a successful run leaves an output file.
    EXPECT_EQ(exists(dir.file("out")), c.status == 0 && c.args.size() == 3);
  }
}

TEST(LauncherPackCommandLine, PacksListsAndWritesADependencyFile) {
  ScratchDir dir;
  mkdir(dir.file("jvm").c_str(), 0755);
  writeFile(dir.file("jvm/sun.tag"), "DESC: Sun\n");
  writeFile(dir.file("app file.jar"), "JAR");
  writeFile(dir.file("v.jar"), "V");
  writeFile(dir.file("manifest.tag"),
            "JVM: id=12 jvm/sun.tag\nAPPLICATION_JAR: app file.jar\n"
            "VERIFY_JAR: v.jar\n");
  ProgramRun run = runProgram(
      kPack, {"--depfile", "deps.d", kLauncher, "manifest.tag", "packed"},
      dir.path());
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(isExecutable(dir.file("packed")));
  EXPECT_EQ(readFile(dir.file("deps.d")),
            "packed: \\\n  " + dir.file("manifest.tag") + " \\\n  " +
                dir.file("jvm/sun.tag") + " \\\n  " + dir.path() +
                "/app\\ file.jar \\\n  " + dir.file("v.jar") + "\n");

  long program = static_cast<long>(readFile(kLauncher).size());
  char expected[256];
  // A line feed follows the JVM file.
  snprintf(expected, sizeof expected,
           "1 JVM             %10d %10d %10ld sun.tag\n"
           "6 APPLICATION_JAR %10d %10d %10ld app file.jar\n"
           "5 VERIFY_JAR      %10d %10d %10ld v.jar\n",
           12, 10, program, 1, 3, program + 11, 2, 1, program + 14);
  ProgramRun list = runProgram(kPack, {"--list", "packed"}, dir.path());
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.output, expected);

  // A launcher file is no program to pack again.
  ProgramRun again =
      runProgram(kPack, {"packed", "manifest.tag", "twice"}, dir.path());
  EXPECT_EQ(again.status, 1);
  EXPECT_FALSE(exists(dir.file("twice")));
}

}  // namespace
