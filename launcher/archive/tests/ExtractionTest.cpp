// Writing embedded files to disk: one entry at a time, and everything at
// once with the "input.tag" that points a later run at the written files.
#include <string>
#include <vector>

#include "PayloadTestSupport.h"
#include "archive/FileIndexEntry.h"
#include "archive/LauncherInputFiles.h"
#include "core/LauncherException.h"
#include "platform/FileCopy.h"
#include "platform/PlatformImpl.h"

namespace {

std::string str(const SString& s) { return std::string(s.c_str(), s.length()); }

// Distinct bytes, so that a misplaced block would show.
std::string patternBytes(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// Runs the test body with the scratch directory as the current directory.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& dir) {
    char buffer[4096];
    m_saved = getcwd(buffer, sizeof buffer) ? buffer : "/";
    if (chdir(dir.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir;
  }
  ~CurrentDirectory() {
    if (chdir(m_saved.c_str()) != 0) ADD_FAILURE() << "cannot go back";
  }

 private:
  std::string m_saved;
};

class ExtractionTest : public ::testing::Test {
 protected:
  void useLauncher(const std::vector<PayloadFile>& payload) {
    writeFile(launcherPath(), launcherBytes(payload));
    m_files.setLauncherFileName(launcherPath().c_str());
    m_files.load(false);
  }
  std::string launcherPath() const { return m_dir.file("launcher"); }
  std::string outDir() {
    std::string dir = m_dir.file("out");
    mkdir(dir.c_str(), 0755);
    return dir;
  }

  std::string extractFailure(const FileIndexEntry* entry,
                             const std::string& dir) {
    try {
      entry->extract(dir.c_str());
    } catch (const LauncherException& e) {
      return str(e.getMessage());
    }
    return "";
  }

  ScratchDir m_dir;
  LauncherInputFiles m_files;
};

struct ChunkCase {
  size_t size;
  long steps;  // progress steps: one per block of 61439 bytes
};

const ChunkCase kChunkCases[] = {
    {0, 0}, {1, 1}, {61439, 1}, {61440, 2}, {150000, 3},
};

TEST_F(ExtractionTest, CopiesInBlocksWithOneProgressStepEach) {
  std::vector<PayloadFile> payload;
  for (const ChunkCase& c : kChunkCases)
    payload.push_back(
        {3, 0, "f" + std::to_string(c.size), patternBytes(c.size)});
  useLauncher(payload);
  std::string dir = outDir();
  for (size_t i = 0; i < payload.size(); ++i) {
    SCOPED_TRACE(payload[i].name);
    long before = PlatformImpl::getUIProgress();
    SString path =
        m_files.getFileAt(static_cast<long>(i))->extract(dir.c_str());
    EXPECT_EQ(PlatformImpl::getUIProgress() - before, kChunkCases[i].steps);
    EXPECT_EQ(str(path), dir + "/" + payload[i].name);
    EXPECT_TRUE(readFile(str(path)) == payload[i].bytes);
    EXPECT_FALSE(isExecutable(str(path)));
  }
}

TEST_F(ExtractionTest, KernelCopyAndFallbackWriteTheSameBytes) {
  // Around the block and the piece sizes, and a few pieces long; the
  // files start off a page boundary, so a first piece is shorter.
  const size_t piece = 16 << 20;
  const size_t sizes[] = {0, 1, 61439, piece - 1, piece + 1, 3 * piece + 5};
  std::vector<PayloadFile> payload;
  for (size_t size : sizes)
    payload.push_back({3, 0, "f" + std::to_string(size), patternBytes(size)});
  useLauncher(payload);
  const bool kernelCopy[] = {true, false};
  for (bool enabled : kernelCopy) {
    SCOPED_TRACE(enabled ? "kernel copy" : "reads and writes");
    FileCopy::setKernelCopyEnabled(enabled);
    std::string dir = m_dir.file(enabled ? "kernel" : "fallback");
    mkdir(dir.c_str(), 0755);
    for (size_t i = 0; i < payload.size(); ++i) {
      SCOPED_TRACE(payload[i].name);
      long before = PlatformImpl::getUIProgress();
      SString path =
          m_files.getFileAt(static_cast<long>(i))->extract(dir.c_str());
      EXPECT_EQ(PlatformImpl::getUIProgress() - before,
                static_cast<long>((sizes[i] + 61438) / 61439));
      EXPECT_TRUE(readFile(str(path)) == payload[i].bytes);
    }
  }
  FileCopy::setKernelCopyEnabled(true);
}

struct FullTargetCase {
  const char* name;
  bool kernelCopy;
};

TEST_F(ExtractionTest, AFullDiskReportsTheErrorAndLeavesNoFile) {
  // A link to a device that is always full stands for the file on a full
  // disk; the failed extraction removes the link, as it would the file.
  const FullTargetCase cases[] = {{"kernel copy", true},
                                  {"reads and writes", false}};
  useLauncher({{3, 0, "big.jar", patternBytes(200000)}});
  std::string dir = outDir();
  for (const FullTargetCase& c : cases) {
    SCOPED_TRACE(c.name);
    FileCopy::setKernelCopyEnabled(c.kernelCopy);
    ASSERT_EQ(symlink("/dev/full", (dir + "/big.jar").c_str()), 0);
    EXPECT_EQ(extractFailure(m_files.getFileAt(0), dir),
              "Error writing file = 28 There may not be enough temporary disk "
              "space. Try using -tv:tempdir to use a temporary directory on a "
              "partition with more disk space.");
    EXPECT_EQ(listDirectory(dir), std::vector<std::string>{});
  }
  FileCopy::setKernelCopyEnabled(true);
}

TEST_F(ExtractionTest, TargetPaths) {
  useLauncher({{3, 0, "lib.jar", "JAR"}});
  const FileIndexEntry* entry = m_files.getFileAt(0);
  std::string dir = outDir();
  EXPECT_EQ(str(entry->extract((dir + "/").c_str())), dir + "/lib.jar");
  {
    // An empty directory is the current one.
    CurrentDirectory here(dir);
    EXPECT_EQ(str(entry->extract(SString())), "lib.jar");
  }
  EXPECT_EQ(readFile(dir + "/lib.jar"), "JAR");
}

TEST_F(ExtractionTest, AnExistingFileIsReplaced) {
  useLauncher({{3, 0, "lib.jar", "NEW"}});
  std::string dir = outDir();
  writeFile(dir + "/lib.jar", "an older and longer file");
  m_files.getFileAt(0)->extract(dir.c_str());
  EXPECT_EQ(readFile(dir + "/lib.jar"), "NEW");
}

TEST_F(ExtractionTest, OnlyTheJVMInstallerIsMadeExecutable) {
  useLauncher({{4, 0, "setup.bin", "#!/bin/sh\n"}, {6, 1, "app.jar", "A"}});
  std::string dir = outDir();
  EXPECT_TRUE(isExecutable(str(m_files.getFileAt(0)->extract(dir.c_str()))));
  EXPECT_FALSE(isExecutable(str(m_files.getFileAt(1)->extract(dir.c_str()))));
}

TEST_F(ExtractionTest, NamesThatWouldLeaveTheDirectoryAreRefused) {
  const std::string names[] = {
      "../escaped", "/tmp/absolute",          "sub/file",  "..", ".",
      "",           std::string("nul\0x", 5), "line\nfeed"};
  std::vector<PayloadFile> payload;
  for (const std::string& name : names) payload.push_back({3, 0, name, "X"});
  useLauncher(payload);
  std::string dir = outDir();
  mkdir((dir + "/sub").c_str(), 0755);
  for (long i = 0; i < m_files.getFileCount(); ++i) {
    const FileIndexEntry* entry = m_files.getFileAt(i);
    SCOPED_TRACE(str(entry->getName()));
    EXPECT_EQ(extractFailure(entry, dir),
              "Unable to extract embedded files from the launcher. The "
              "embedded file name \"" +
                  str(entry->getName()) + "\" is not a plain file name.");
  }
  EXPECT_EQ(listDirectory(dir), std::vector<std::string>{"sub"});
  EXPECT_TRUE(listDirectory(dir + "/sub").empty());
  EXPECT_FALSE(exists(m_dir.file("escaped")));
}

TEST_F(ExtractionTest, ALauncherFileGoneSinceTheIndexWasRead) {
  useLauncher({{3, 0, "lib.jar", "JAR"}});
  std::remove(launcherPath().c_str());
  EXPECT_EQ(extractFailure(m_files.getFileAt(0), outDir()),
            "Cannot open launcher file.");
}

TEST_F(ExtractionTest, ALauncherFileCutShortSinceTheIndexWasRead) {
  std::string bytes = patternBytes(150000);
  useLauncher({{3, 0, "big.jar", bytes}});
  truncate(launcherPath().c_str(), 100000);
  std::string dir = outDir();
  EXPECT_EQ(extractFailure(m_files.getFileAt(0), dir),
            "Unable to extract embedded files from the launcher. The launcher "
            "file ends inside \"big.jar\".");
  // No partial file is left to be taken for the real one.
  EXPECT_FALSE(exists(dir + "/big.jar"));
}

TEST_F(ExtractionTest, ATargetThatCannotBeWrittenReportsTheErrorNumber) {
  useLauncher({{3, 0, "lib.jar", "JAR"}});
  std::string dir = outDir();
  mkdir((dir + "/lib.jar").c_str(), 0755);
  EXPECT_EQ(extractFailure(m_files.getFileAt(0), dir),
            "Error writing file = 21 There may not be enough temporary disk "
            "space. Try using -tv:tempdir to use a temporary directory on a "
            "partition with more disk space.");
}

TEST_F(ExtractionTest, ExtractAllWritesEveryFileAndAnInputFile) {
  std::vector<PayloadFile> payload = {
      {0, 0, "first.tag", "A: 1\n"},      {1, 1, "jvm1.tag", "DESC: one\n"},
      {3, 2, "lib.jar", "JAR"},           {2, 3, "launch.tag", "DESC: P\n"},
      {1, 4, "jvm2.tag", "DESC: two\n"},  {0, 5, "second.tag", "B: 2\n"},
      {4, 6, "setup.bin", "#!/bin/sh\n"},
  };
  useLauncher(payload);
  std::string dir = outDir();
  {
    CurrentDirectory here(dir);
    m_files.extractAll();
  }
  std::vector<std::string> expected = {"first.tag",  "input.tag",  "jvm1.tag",
                                       "jvm2.tag",   "launch.tag", "lib.jar",
                                       "second.tag", "setup.bin"};
  EXPECT_EQ(listDirectory(dir), expected);
  for (const PayloadFile& f : payload)
    EXPECT_EQ(readFile(dir + "/" + f.name), f.bytes) << f.name;
  EXPECT_TRUE(isExecutable(dir + "/setup.bin"));
  // The last instruction script is named, the JVM files in index order.
  EXPECT_EQ(readFile(dir + "/input.tag"),
            "ACTION:  RUN_INSTRUCTIONS\n"
            "INSTRUCTIONS:  second.tag\n"
            "JVM:\n  jvm1.tag\n  jvm2.tag\n/:\n"
            "LAUNCHSCRIPT:  launch.tag\n");
  // Extracting reads the index only.
  EXPECT_EQ(m_files.getFileAt(0)->getTagFile(), nullptr);
}

TEST_F(ExtractionTest, ExtractAllWithoutAPayloadWritesOnlyTheInputFile) {
  writeFile(launcherPath(), "a program without a payload");
  m_files.setLauncherFileName(launcherPath().c_str());
  std::string dir = outDir();
  {
    CurrentDirectory here(dir);
    m_files.extractAll();
  }
  EXPECT_EQ(listDirectory(dir), std::vector<std::string>{"input.tag"});
  EXPECT_EQ(readFile(dir + "/input.tag"), "ACTION:  RUN_INSTRUCTIONS\n");
}

}  // namespace
