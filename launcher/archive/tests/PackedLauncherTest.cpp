// Launcher files built by launcher-pack, run as programs: what they show,
// what "-tv:extract" writes, running from the extracted files, packing an
// extracted directory again, and damaged payloads.
#include <sstream>
#include <string>
#include <vector>

#include "PayloadTestSupport.h"

namespace {

const std::string kLauncher = LAUNCHER_PROGRAM;
const std::string kPack = LAUNCHER_PACK_PROGRAM;
const std::string kSample = SAMPLE_LAUNCHER;
const std::string kSampleDir = SAMPLE_DIR;
// The sample's script has no "INSTRUCTIONS" tag, so it runs nothing; a
// run with the UI shown ends with the line break of progress 100.
const std::string kScriptRanNothing = "\n";

std::string replaceAll(std::string text, const std::string& from,
                       const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string listing(const std::string& launcherFile) {
  ProgramRun run = runProgram(kPack, {"--list", launcherFile}, "/");
  EXPECT_EQ(run.status, 0) << run.errors;
  return run.output;
}

// Packs the launcher program with the manifest at dir/manifest (written
// from text unless text is empty) into dir/name.
std::string pack(const ScratchDir& dir, const std::string& manifest,
                 const std::string& name) {
  ProgramRun run =
      runProgram(kPack, {kLauncher, manifest, dir.file(name)}, dir.path());
  EXPECT_EQ(run.status, 0) << run.errors;
  return dir.file(name);
}

// The launcher program with bytes appended, as an executable copy.
std::string programWith(const ScratchDir& dir, const std::string& bytes) {
  std::string path = dir.file("damaged");
  writeFile(path, readFile(kLauncher) + bytes);
  chmod(path.c_str(), 0755);
  return path;
}

struct ListedEntry {
  int type;
  std::string tag;
  long id;
  long length;
  long offset;
  std::string name;
};

std::vector<ListedEntry> parseListing(const std::string& text) {
  std::vector<ListedEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    ListedEntry e;
    fields >> e.type >> e.tag >> e.id >> e.length >> e.offset >> e.name;
    entries.push_back(e);
  }
  return entries;
}

TEST(PackedLauncher, TheSamplePackedAtBuildTimeListsItsFiles) {
  std::vector<ListedEntry> entries = parseListing(listing(kSample));
  struct Expected {
    int type;
    const char* tag;
    long id;
    const char* source;
  };
  const Expected expected[] = {
      {0, "INSTRUCTIONS", 0, "install.tag"},
      {1, "JVM", 1, "jvm/sun.tag"},
      {1, "JVM", 20, "jvm/ibm.tag"},
      {2, "LAUNCHSCRIPT", 3, "launch.tag"},
      {3, "CLASSPATH_JAR", 4, "lib/app.jar"},
      {4, "JVM_INSTALLER", 5, "setup.bin"},
      {5, "VERIFY_JAR", 6, "verify.jar"},
      {6, "APPLICATION_JAR", 7, "application.jar"},
  };
  ASSERT_EQ(entries.size(), sizeof expected / sizeof expected[0]);
  // The files follow the program in manifest order; a line feed follows
  // each tag file.
  long offset = static_cast<long>(readFile(kLauncher).size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const Expected& want = expected[i];
    SCOPED_TRACE(want.source);
    std::string bytes = readFile(kSampleDir + "/" + want.source);
    std::string source = want.source;
    EXPECT_EQ(entries[i].type, want.type);
    EXPECT_EQ(entries[i].tag, want.tag);
    EXPECT_EQ(entries[i].id, want.id);
    EXPECT_EQ(entries[i].length, static_cast<long>(bytes.size()));
    EXPECT_EQ(entries[i].offset, offset);
    EXPECT_EQ(entries[i].name, source.substr(source.rfind('/') + 1));
    offset += entries[i].length + (want.type <= 2 ? 1 : 0);
  }
  EXPECT_TRUE(isExecutable(kSample));
}

TEST(PackedLauncher, ARunLogsTheIndexAndShowsTheLaunchScriptTitle) {
  ScratchDir dir;
  ProgramRun run =
      runProgram(kSample, {"-tv:log", dir.file("run.log")}, dir.path());
  // The title is the launcher's console: standard error. Standard output
  // is left to the application.
  EXPECT_EQ(run.errors, "Sample Application\n" + kScriptRanNothing);
  EXPECT_EQ(run.output, "");
  std::vector<ListedEntry> entries = parseListing(listing(kSample));
  ASSERT_FALSE(entries.empty());
  std::string log = readFile(dir.file("run.log"));
  EXPECT_NE(log.find("file type: 1\n  file id: 20\n  length: " +
                     std::to_string(entries[2].length) +
                     "\n  offset: " + std::to_string(entries[2].offset) +
                     "\n  file name: ibm.tag\n"),
            std::string::npos)
      << log;
}

TEST(PackedLauncher, AnInputFileTitleGivesWayToTheEmbeddedLaunchScript) {
  ScratchDir dir;
  writeFile(
      dir.file("in.tag"),
      "UI_TITLE: Input Title\nSHOW_FAIL_MSG: 1\nACTION: RUN_INSTRUCTIONS\n");
  ProgramRun run = runProgram(kSample, {"-tv:in", "in.tag"}, dir.path());
  EXPECT_EQ(run.errors,
            "Input Title\nSample Application\n" + kScriptRanNothing);
}

TEST(PackedLauncher, ExtractWritesEveryFileAndTheExtractedFilesAreUsed) {
  ScratchDir dir;
  ProgramRun extract = runProgram(kSample, {"-tv:extract"}, dir.path());
  EXPECT_EQ(extract.status, 0);
  // One progress step per file (each fits one block), then the line break
  // of progress 100.
  EXPECT_EQ(extract.errors, "........\n");
  const char* sources[] = {"install.tag", "jvm/sun.tag",    "jvm/ibm.tag",
                           "launch.tag",  "lib/app.jar",    "setup.bin",
                           "verify.jar",  "application.jar"};
  for (const char* source : sources) {
    std::string name = source;
    name = name.substr(name.rfind('/') + 1);
    EXPECT_EQ(readFile(dir.file(name)), readFile(kSampleDir + "/" + source))
        << name;
  }
  EXPECT_TRUE(isExecutable(dir.file("setup.bin")));
  EXPECT_FALSE(isExecutable(dir.file("verify.jar")));
  EXPECT_EQ(readFile(dir.file("input.tag")),
            "ACTION:  RUN_INSTRUCTIONS\n"
            "INSTRUCTIONS:  install.tag\n"
            "JVM:\n  sun.tag\n  ibm.tag\n/:\n"
            "LAUNCHSCRIPT:  launch.tag\n");

  // The launch script now comes from the directory; its title shows while
  // the UI is shown.
  writeFile(dir.file("launch.tag"), "DESC: Extracted Application\n");
  writeFile(dir.file("input.tag"),
            readFile(dir.file("input.tag")) + "SHOW_FAIL_MSG:  1\n");
  ProgramRun replay = runProgram(kSample, {"-tv:in", "input.tag"}, dir.path());
  EXPECT_EQ(replay.status, 0);
  EXPECT_EQ(replay.errors, "Extracted Application\n" + kScriptRanNothing);

  // So does the instruction script: the embedded one has no third line.
  writeFile(dir.file("install.tag"), "COMMANDS:\n  INITIALIZE_UI\nbroken\n");
  replay = runProgram(kSample, {"-tv:in", "input.tag"}, dir.path());
  EXPECT_EQ(replay.status, 1);
  EXPECT_EQ(replay.errors,
            "Syntax error in install.tag at line 1 ==> Missing /: tag "
            "completer.\n");
}

TEST(PackedLauncher, TwoInstructionScriptsExtractNamingTheLast) {
  ScratchDir dir;
  writeFile(dir.file("a.tag"), "A: 1\n");
  writeFile(dir.file("b.tag"), "B: 2\n");
  writeFile(dir.file("manifest.tag"), "INSTRUCTIONS:\n  a.tag\n  b.tag\n/:\n");
  std::string launcher = pack(dir, dir.file("manifest.tag"), "two");
  std::vector<ListedEntry> entries = parseListing(listing(launcher));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a.tag");
  EXPECT_EQ(entries[1].name, "b.tag");
  std::string out = dir.file("out");
  mkdir(out.c_str(), 0755);
  EXPECT_EQ(runProgram(launcher, {"-tv:extract"}, out).status, 0);
  EXPECT_EQ(readFile(out + "/input.tag"),
            "ACTION:  RUN_INSTRUCTIONS\nINSTRUCTIONS:  b.tag\n");
}

TEST(PackedLauncher, ALargeFileExtractsInThreeBlocks) {
  ScratchDir dir;
  std::string bytes(150000, 'x');
  for (size_t i = 0; i < bytes.size(); i += 97) bytes[i] = static_cast<char>(i);
  writeFile(dir.file("big.jar"), bytes);
  writeFile(dir.file("manifest.tag"), "APPLICATION_JAR: big.jar\n");
  std::string launcher = pack(dir, dir.file("manifest.tag"), "big");
  std::string out = dir.file("out");
  mkdir(out.c_str(), 0755);
  ProgramRun run = runProgram(launcher, {"-tv:extract"}, out);
  EXPECT_EQ(run.errors, "...\n");
  EXPECT_TRUE(readFile(out + "/big.jar") == bytes);
}

TEST(PackedLauncher, PackingAnExtractedDirectoryAgainGivesTheSameIndex) {
  // input.tag alone names the tag files: a launcher of tag files comes back
  // as it was.
  ScratchDir dir;
  writeFile(dir.file("script.tag"), "COMMANDS:\n  INITIALIZE_UI\n/:\n");
  writeFile(dir.file("jvm1.tag"), "DESC: one\n");
  writeFile(dir.file("jvm2.tag"), "DESC: two");  // no final line feed
  writeFile(dir.file("launch.tag"), "DESC: Product\n");
  writeFile(dir.file("v.jar"), "verify");
  writeFile(dir.file("manifest.tag"),
            "INSTRUCTIONS: script.tag\nJVM:\n  jvm1.tag\n  jvm2.tag\n/:\n"
            "LAUNCHSCRIPT: launch.tag\nVERIFY_JAR: v.jar\n");
  std::string first = pack(dir, dir.file("manifest.tag"), "first");
  std::string out = dir.file("out");
  mkdir(out.c_str(), 0755);
  ASSERT_EQ(runProgram(first, {"-tv:extract"}, out).status, 0);
  // input.tag names the tag files only; the packer adds the rest.
  writeFile(out + "/input.tag",
            readFile(out + "/input.tag") + "VERIFY_JAR: v.jar\n");
  std::string again = pack(dir, out + "/input.tag", "again");
  EXPECT_EQ(listing(again), listing(first));
  EXPECT_EQ(parseListing(listing(again)).size(), 5u);

  // With the other kinds and explicit ids added to input.tag, the sample
  // comes back as it was too.
  std::string sampleOut = dir.file("sample");
  mkdir(sampleOut.c_str(), 0755);
  ASSERT_EQ(runProgram(kSample, {"-tv:extract"}, sampleOut).status, 0);
  std::string manifest =
      replaceAll(readFile(sampleOut + "/input.tag"), "  ibm.tag",
                 "  id=20 ibm.tag") +
      "CLASSPATH_JAR: app.jar\nJVM_INSTALLER: setup.bin\n"
      "VERIFY_JAR: verify.jar\nAPPLICATION_JAR: application.jar\n";
  writeFile(sampleOut + "/input.tag", manifest);
  std::string repacked = pack(dir, sampleOut + "/input.tag", "repacked");
  EXPECT_EQ(listing(repacked), listing(kSample));
}

struct DamagedRun {
  const char* name;
  std::string payload;  // appended to the launcher program
  std::string message;
};

TEST(PackedLauncher, DamagedPayloadsEndTheRunWithTheirMessage) {
  const DamagedRun cases[] = {
      {"index offset past the end", trailer(0x7FFFFFF0),
       "Invalid file index offset."},
      {"type byte of 7", be32(1) + indexRecord(7, 0, 0, 0, "x") + "@TRAILER@",
       "Invalid file type in file index."},
      {"file count larger than the file", be32(0x7FFFFFFF) + "@TRAILER@",
       "Unable to load file length."},
      {"file bytes past the end",
       be32(1) + indexRecord(3, 0, 0x7FFFFFF0, 0, "x") + "@TRAILER@",
       "Unable to load file length."},
  };
  size_t programSize = readFile(kLauncher).size();
  for (const DamagedRun& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::string payload = replaceAll(
        c.payload, "@TRAILER@", trailer(static_cast<int32_t>(programSize)));
    std::string launcher = programWith(dir, payload);
    ProgramRun run =
        runProgram(launcher, {"-tv:log", dir.file("run.log")}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, c.message + "\n");
    EXPECT_EQ(readFile(dir.file("run.log")),
              "------------------\nERROR: " + c.message + "\n");
    // The tool reads the index the same way.
    ProgramRun list = runProgram(kPack, {"--list", launcher}, dir.path());
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.errors,
              "launcher-pack: " + launcher + ": " + c.message + "\n");
  }
}

}  // namespace
