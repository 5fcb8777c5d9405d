// Reading the payload of a launcher file: the trailer, the index, the
// embedded tag files and the files an input file names instead, from
// launcher files put together byte by byte.
#include <string>
#include <vector>

#include "PayloadTestSupport.h"
#include "archive/FileIndexEntry.h"
#include "archive/LauncherInputFiles.h"
#include "jvm/JVMFile.h"
#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/tests/SStringPrinter.h"
#include "platform/PlatformImpl.h"
#include "tagfile/TagFile.h"

namespace {

const std::string kProgram = "#program#";

std::vector<std::string> g_log;

void recordLog(const SString& text, int type) {
  g_log.push_back(std::to_string(type) + ":" + text.c_str());
}

std::string str(const SString& s) { return std::string(s.c_str(), s.length()); }

std::string nameOf(const TagFile* file) {
  return file ? str(file->getFileName()) : "<none>";
}

class LauncherInputFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_logHandler = &recordLog;
    g_title = "";
  }
  void TearDown() override { g_logHandler = nullptr; }

  // The launcher file holding bytes, ready to be loaded.
  void useLauncher(const std::string& bytes) {
    writeFile(launcherPath(), bytes);
    m_files.setLauncherFileName(launcherPath().c_str());
  }
  std::string launcherPath() const { return m_dir.file("launcher"); }

  // The message of the LauncherException that load raises, or "" when it
  // succeeds.
  std::string loadFailure(bool withTagFiles) {
    try {
      m_files.load(withTagFiles);
    } catch (const LauncherException& e) {
      return str(e.getMessage());
    }
    return "";
  }

  ScratchDir m_dir;
  LauncherInputFiles m_files;
};

// ---- Damaged launcher files ----

// Program bytes and an index followed by a trailer pointing at it.
std::string withIndex(const std::string& index) {
  return kProgram + index + trailer(static_cast<int32_t>(kProgram.size()));
}

// A file holding one 3-byte file at offset 9, then its index.
std::string oneRecord(int type, int32_t length, int32_t offset,
                      const std::string& name) {
  std::string files = kProgram + "JAR";
  return files + be32(1) + indexRecord(type, 0, length, offset, name) +
         trailer(static_cast<int32_t>(files.size()));
}

// A complete record for a 3-byte file named a.jar, cut after n bytes.
std::string recordCutAfter(size_t n) {
  return withIndex(be32(1) + indexRecord(3, 0, 3, 0, "a.jar").substr(0, n));
}

struct DamagedCase {
  const char* name;
  std::string bytes;
  std::string message;
  long entriesKept;
};

std::vector<DamagedCase> damagedCases() {
  // The well-formed file these cases start from: 9 program bytes, the
  // 3-byte file, a 24-byte index and the trailer; 44 bytes in all.
  const int32_t size = 44;
  return {
      {"shorter than a trailer", "abc", "Invalid launcher format.", 0},
      {"index offset past the end", kProgram + trailer(1000),
       "Invalid file index offset.", 0},
      {"negative index offset", kProgram + trailer(-5),
       "Invalid file index offset.", 0},
      {"index offset at the very end", kProgram + trailer(17),
       "Unable to read the file count.", 0},
      {"file count cut off by the end of the file", kProgram + trailer(15),
       "Unable to read the file count.", 0},
      {"negative file count", withIndex(be32(0xFFFFFFFFu)),
       "Unable to read the file count.", 0},
      {"type byte of 7", withIndex(be32(1) + indexRecord(7, 0, 0, 0, "x")),
       "Invalid file type in file index.", 0},
      {"type byte of 255", withIndex(be32(1) + indexRecord(255, 0, 0, 0, "x")),
       "Invalid file type in file index.", 0},
      // A record cut short reads on into the trailer and ends in the field
      // that the end of the file cuts.
      {"record missing: the end cuts its length", recordCutAfter(0),
       "Unable to load file length.", 0},
      {"record cut inside its id: the end cuts its offset", recordCutAfter(3),
       "Unable to load offset to file bytes.", 0},
      {"record cut inside its length: the end cuts the name length",
       recordCutAfter(6), "Unable to load the string value.", 0},
      {"name length larger than the file",
       withIndex(be32(1) + indexRecord(3, 0, 0, 0, "a.jar").substr(0, 13) +
                 be16(1000) + "a.jar"),
       "Unable to load the string value.", 0},
      {"negative name length",
       withIndex(be32(1) + indexRecord(3, 0, 0, 0, "a.jar").substr(0, 13) +
                 be16(0x8000) + "a.jar"),
       "Unable to load the string value.", 0},
      {"file count larger than the file holds: entries read stay",
       kProgram + "JAR" + be32(0x7FFFFFFF) + indexRecord(3, 0, 3, 9, "a.jar") +
           trailer(12),
       "Unable to load file length.", 1},
      {"negative file offset", oneRecord(3, 3, -1, "a.jar"),
       "Unable to load offset to file bytes.", 0},
      {"file offset past the end", oneRecord(3, 0, size + 1, "a.jar"),
       "Unable to load offset to file bytes.", 0},
      {"negative file length", oneRecord(3, -1, 9, "a.jar"),
       "Unable to load file length.", 0},
      {"file bytes running past the end", oneRecord(3, size - 8, 9, "a.jar"),
       "Unable to load file length.", 0},
      {"huge file length", oneRecord(3, 0x7FFFFFFF, 9, "a.jar"),
       "Unable to load file length.", 0},
  };
}

TEST_F(LauncherInputFilesTest, DamagedFilesFailWithTheirMessage) {
  ASSERT_EQ(oneRecord(3, 3, 9, "a.jar").size(), 44u);
  for (const DamagedCase& c : damagedCases()) {
    SCOPED_TRACE(c.name);
    LauncherInputFiles files;
    writeFile(launcherPath(), c.bytes);
    files.setLauncherFileName(launcherPath().c_str());
    std::string message;
    try {
      files.load(true);
    } catch (const LauncherException& e) {
      message = str(e.getMessage());
    }
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(files.getFileCount(), c.entriesKept);
    EXPECT_FALSE(files.isLoaded());
  }
}

TEST_F(LauncherInputFilesTest, FilesWithoutAPayloadHaveNoEntries) {
  const std::string cases[] = {
      kProgram + std::string(8, '\0'),
      kProgram + be32(9) + be32(0xCA82CA83u),
      std::string(8, '\xFF'),
  };
  for (const std::string& bytes : cases) {
    LauncherInputFiles files;
    writeFile(launcherPath(), bytes);
    files.setLauncherFileName(launcherPath().c_str());
    files.load(true);
    EXPECT_TRUE(files.isLoaded());
    EXPECT_EQ(files.getFileCount(), 0);
    EXPECT_EQ(files.getInstructionsFile(), nullptr);
  }
  EXPECT_TRUE(g_log.empty());
}

TEST_F(LauncherInputFilesTest, AMissingLauncherFileCannotBeOpened) {
  m_files.setLauncherFileName(m_dir.file("nowhere").c_str());
  EXPECT_EQ(loadFailure(true), "Cannot open launcher file.");
}

// ---- The index ----

TEST_F(LauncherInputFilesTest, EachEntryIsLoggedInFiveLines) {
  useLauncher(
      launcherBytes({{3, 4, "lib.jar", "JAR"}, {6, 9, "app.jar", "A"}}));
  ASSERT_EQ(loadFailure(false), "");
  EXPECT_EQ(g_log, (std::vector<std::string>{
                       "0:file type: 3\n  file id: 4\n  length: 3\n"
                       "  offset: 9\n  file name: lib.jar",
                       "0:file type: 6\n  file id: 9\n  length: 1\n"
                       "  offset: 12\n  file name: app.jar"}));
}

TEST_F(LauncherInputFilesTest, EntriesByPositionAndById) {
  useLauncher(launcherBytes({{3, 7, "first.jar", "1"},
                             {3, 2, "second.jar", "22"},
                             {3, 7, "third.jar", "333"}}));
  m_files.load(false);
  ASSERT_EQ(m_files.getFileCount(), 3);
  const FileIndexEntry* second = m_files.getFileAt(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(str(second->getName()), "second.jar");
  EXPECT_EQ(second->getType(), 3);
  EXPECT_EQ(second->getId(), 2);
  EXPECT_EQ(second->getLength(), 2);
  EXPECT_EQ(second->getOffset(), 10);
  EXPECT_EQ(m_files.getFileAt(-1), nullptr);
  EXPECT_EQ(m_files.getFileAt(3), nullptr);
  EXPECT_EQ(m_files.getFile(7), m_files.getFileAt(0));  // the first with it
  EXPECT_EQ(m_files.getFile(2), second);
  EXPECT_EQ(m_files.getFile(-1), nullptr);
}

TEST_F(LauncherInputFilesTest, LoadingHappensOnce) {
  useLauncher(launcherBytes({{0, 0, "script.tag", "A: 1\n"}}));
  m_files.load(false);
  // The payload is read once per run: after a load without tag files, a
  // load with them does nothing more.
  writeFile(launcherPath(), "garbage");
  m_files.load(true);
  EXPECT_EQ(m_files.getFileCount(), 1);
  EXPECT_EQ(m_files.getInstructionsFile(), nullptr);
  EXPECT_EQ(m_files.getFileAt(0)->getTagFile(), nullptr);
}

// ---- Embedded tag files ----

TEST_F(LauncherInputFilesTest, TagFilesAreParsedFromTheirByteRanges) {
  useLauncher(launcherBytes({
      {0, 0, "first.tag", "SCRIPT: first\n"},
      {3, 1, "lib.jar", "A: 1\n"},
      {0, 2, "second.tag", "SCRIPT: second\n"},
      {1, 3, "jvm1.tag", "DESC: one\n"},
      {2, 4, "launch.tag", "DESC: The Product\n"},
      {1, 5, "jvm2.tag", "DESC: two\n"},
      {2, 6, "other.tag", "DESC: Other Product\n"},
  }));
  ASSERT_EQ(loadFailure(true), "");
  // The first script and launch script win; every JVM file counts.
  EXPECT_EQ(nameOf(m_files.getInstructionsFile()), "first.tag");
  EXPECT_EQ(nameOf(m_files.getLaunchScriptFile()), "launch.tag");
  ASSERT_EQ(m_files.getJVMFiles().getJVMFileCount(), 2);
  EXPECT_EQ(nameOf(&m_files.getJVMFiles().getJVMFile(0)->getTagFile()),
            "jvm1.tag");
  EXPECT_EQ(nameOf(&m_files.getJVMFiles().getJVMFile(1)->getTagFile()),
            "jvm2.tag");
  EXPECT_TRUE(m_files.areJVMFilesSupplied());
  EXPECT_EQ(str(g_title), "The Product");
  // Later scripts are loaded too, and a range ends where its bytes end
  // even when the next file's bytes read as tags.
  EXPECT_EQ(m_files.getInstructionsFile()->getEntries().count(), 1);
  const TagFile* second = m_files.getFileAt(2)->getTagFile();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(str(second->getTagValue("SCRIPT")), "second");
  EXPECT_EQ(m_files.getFileAt(1)->getTagFile(), nullptr);
  const TagFile* launch = m_files.getFileAt(4)->getTagFile();
  EXPECT_EQ(launch->getEntries().count(), 1);
}

TEST_F(LauncherInputFilesTest, SyntaxErrorsCountLinesFromTheStartOfTheRange) {
  useLauncher(launcherBytes({{0, 0, "good.tag", "A: 1\nB: 2\n"},
                             {1, 1, "broken.tag", "DESC: x\nno colon\n"}}));
  EXPECT_EQ(loadFailure(true),
            "Syntax error in broken.tag at line 2 ==> Missing colon at the "
            "end of the tag name.");
}

// ---- An input file's references ----

struct InputCase {
  const char* name;
  std::string input;  // the input file; @DIR@ is the scratch directory
  std::string instructions;
  std::string launchScript;
  std::string title;
  std::vector<std::string> jvmFiles;
  std::string verifyClasspath;
  std::string verifyClass;
};

const std::vector<std::string> kEmbeddedJVMs = {"ejvm1.tag", "ejvm2.tag"};

const InputCase kInputCases[] = {
    {"nothing named: the embedded files", "ACTION: RUN_INSTRUCTIONS\n",
     "escript.tag", "elaunch.tag", "Embedded Title", kEmbeddedJVMs, "", ""},
    {"the input file's script and launch script win",
     "INSTRUCTIONS: @DIR@/script.tag\nLAUNCHSCRIPT: @DIR@/launch.tag\n",
     "@DIR@/script.tag", "@DIR@/launch.tag", "Disk Title", kEmbeddedJVMs, "",
     ""},
    {"UI_TITLE without LAUNCHSCRIPT: the embedded title comes later",
     "UI_TITLE: Input Title\n", "escript.tag", "elaunch.tag", "Embedded Title",
     kEmbeddedJVMs, "", ""},
    {"UI_TITLE with LAUNCHSCRIPT: the input file's title",
     "UI_TITLE: Input Title\nLAUNCHSCRIPT: @DIR@/launch.tag\n", "escript.tag",
     "@DIR@/launch.tag", "Input Title", kEmbeddedJVMs, "", ""},
    {"an empty JVM value keeps the embedded JVM files out",
     "JVM: \"\"\n",
     "escript.tag",
     "elaunch.tag",
     "Embedded Title",
     {},
     "",
     ""},
    {"JVM files named by the input file replace the embedded ones",
     "JVM:\n  @DIR@/jvm.tag\n  @DIR@/jvm2.tag\n/:\n",
     "escript.tag",
     "elaunch.tag",
     "Embedded Title",
     {"@DIR@/jvm.tag", "@DIR@/jvm2.tag"},
     "",
     ""},
    {"a verification class needs both tags",
     "VERIFY_CLASSPATH: \"/opt/v.jar\"\nVERIFY_CLASS_NAME: Check\n",
     "escript.tag", "elaunch.tag", "Embedded Title", kEmbeddedJVMs,
     "/opt/v.jar", "Check"},
    {"a class path alone is no verification class",
     "VERIFY_CLASSPATH: /opt/v.jar\n", "escript.tag", "elaunch.tag",
     "Embedded Title", kEmbeddedJVMs, "", ""},
};

TEST_F(LauncherInputFilesTest, InputFileReferencesWinOverEmbeddedFiles) {
  std::string payload =
      launcherBytes({{0, 0, "escript.tag", "A: 1\n"},
                     {1, 1, "ejvm1.tag", "DESC: one\n"},
                     {2, 2, "elaunch.tag", "DESC: Embedded Title\n"},
                     {1, 3, "ejvm2.tag", "DESC: two\n"}});
  writeFile(m_dir.file("script.tag"), "COMMANDS: x\n");
  writeFile(m_dir.file("launch.tag"), "DESC: Disk Title\n");
  writeFile(m_dir.file("jvm.tag"), "DESC: disk\n");
  writeFile(m_dir.file("jvm2.tag"), "DESC: disk 2\n");
  for (const InputCase& c : kInputCases) {
    SCOPED_TRACE(c.name);
    auto expand = [&](const std::string& text) {
      std::string s = text;
      for (size_t at; (at = s.find("@DIR@")) != std::string::npos;)
        s.replace(at, 5, m_dir.path());
      return s;
    };
    writeFile(m_dir.file("in.tag"), expand(c.input));
    TagFile input(m_dir.file("in.tag").c_str());
    g_title = "";
    LauncherInputFiles files;
    writeFile(launcherPath(), payload);
    files.setLauncherFileName(launcherPath().c_str());
    files.load(input);
    files.load(true);
    EXPECT_EQ(nameOf(files.getInstructionsFile()), expand(c.instructions));
    EXPECT_EQ(nameOf(files.getLaunchScriptFile()), expand(c.launchScript));
    EXPECT_EQ(str(g_title), c.title);
    std::vector<std::string> jvms;
    for (int i = 0; i < files.getJVMFiles().getJVMFileCount(); ++i)
      jvms.push_back(nameOf(&files.getJVMFiles().getJVMFile(i)->getTagFile()));
    std::vector<std::string> expected;
    for (const std::string& name : c.jvmFiles) expected.push_back(expand(name));
    EXPECT_EQ(jvms, expected);
    EXPECT_EQ(str(files.getJVMFiles().getVerifyClasspath()), c.verifyClasspath);
    EXPECT_EQ(str(files.getJVMFiles().getVerifyClass()), c.verifyClass);
  }
}

TEST_F(LauncherInputFilesTest, AFileNamedByTheInputFileMustExist) {
  writeFile(m_dir.file("in.tag"), "JVM: " + m_dir.file("missing.tag") + "\n");
  TagFile input(m_dir.file("in.tag").c_str());
  try {
    m_files.load(input);
    FAIL() << "no exception";
  } catch (const LauncherException& e) {
    EXPECT_EQ(str(e.getMessage()),
              "Unable to load input file: " + m_dir.file("missing.tag"));
  }
  EXPECT_TRUE(m_files.areJVMFilesSupplied());
}

}  // namespace
