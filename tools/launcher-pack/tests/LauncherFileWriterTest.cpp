// Writing launcher files: the exact bytes of the layout, permissions, and
// failures that leave nothing behind.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "IndexListing.h"
#include "LauncherFileWriter.h"
#include "PackManifest.h"
#include "archive/tests/PayloadTestSupport.h"

namespace {

class LauncherFileWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_savedMask = umask(022);
    writeFile(m_dir.file("program"), "PROGRAM");
    chmod(m_dir.file("program").c_str(), 0750);
    writeFile(m_dir.file("s.tag"), "A: 1");
    writeFile(m_dir.file("lib.jar"), "JAR");
  }
  void TearDown() override { umask(m_savedMask); }

  std::vector<PackItem> items() {
    return {{0, 0, m_dir.file("s.tag"), "s.tag", 4, "INSTRUCTIONS"},
            {3, 9, m_dir.file("lib.jar"), "lib.jar", 3, "CLASSPATH_JAR"}};
  }

  ScratchDir m_dir;
  mode_t m_savedMask;
};

TEST_F(LauncherFileWriterTest, WritesProgramFilesIndexAndTrailer) {
  std::string error;
  std::string output = m_dir.file("out");
  ASSERT_TRUE(writeLauncherFile(m_dir.file("program"), items(), output, error))
      << error;
  // A line feed follows the tag file, outside its range.
  std::string expected = "PROGRAM" + std::string("A: 1") + "\n" + "JAR" +
                         be32(2) + indexRecord(0, 0, 4, 7, "s.tag") +
                         indexRecord(3, 9, 3, 12, "lib.jar") + trailer(15);
  EXPECT_TRUE(readFile(output) == expected);
  struct stat info;
  ASSERT_EQ(stat(output.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0750u);
  EXPECT_EQ(listDirectory(m_dir.path()),
            (std::vector<std::string>{"lib.jar", "out", "program", "s.tag"}));

  std::string listed;
  FILE* out = tmpfile();
  ASSERT_TRUE(listLauncherFile(output, out, error)) << error;
  rewind(out);
  char line[256];
  while (fgets(line, sizeof line, out)) listed += line;
  fclose(out);
  EXPECT_EQ(listed,
            "0 INSTRUCTIONS             0          4          7 s.tag\n"
            "3 CLASSPATH_JAR            9          3         12 lib.jar\n");
}

// A large file starts on a page boundary, zeros before it; the files
// around it keep their places.
TEST_F(LauncherFileWriterTest, LargeFilesStartOnAPage) {
  const std::string big(static_cast<size_t>(kPageAlignedFileSize), 'B');
  const std::string small(static_cast<size_t>(kPageAlignedFileSize - 1), 'S');
  writeFile(m_dir.file("big.jar"), big);
  writeFile(m_dir.file("small.jar"), small);
  std::vector<PackItem> packed = items();
  packed.push_back({4, 1, m_dir.file("big.jar"), "big.jar",
                    static_cast<long>(big.size()), "APPLICATION_JAR"});
  packed.push_back({3, 10, m_dir.file("small.jar"), "small.jar",
                    static_cast<long>(small.size()), "CLASSPATH_JAR"});
  std::string error;
  std::string output = m_dir.file("out");
  ASSERT_TRUE(writeLauncherFile(m_dir.file("program"), packed, output, error))
      << error;
  const int bigAt = 4096;
  const int smallAt = bigAt + static_cast<int>(big.size());
  const int indexAt = smallAt + static_cast<int>(small.size());
  std::string expected =
      "PROGRAM" + std::string("A: 1") + "\n" + "JAR" +
      std::string(bigAt - 15, '\0') + big + small + be32(4) +
      indexRecord(0, 0, 4, 7, "s.tag") + indexRecord(3, 9, 3, 12, "lib.jar") +
      indexRecord(4, 1, static_cast<int32_t>(big.size()), bigAt, "big.jar") +
      indexRecord(3, 10, static_cast<int32_t>(small.size()), smallAt,
                  "small.jar") +
      trailer(indexAt);
  EXPECT_TRUE(readFile(output) == expected);
}

TEST_F(LauncherFileWriterTest, TheUmaskApplies) {
  chmod(m_dir.file("program").c_str(), 0777);
  std::string error;
  ASSERT_TRUE(
      writeLauncherFile(m_dir.file("program"), {}, m_dir.file("out"), error));
  struct stat info;
  ASSERT_EQ(stat(m_dir.file("out").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_TRUE(readFile(m_dir.file("out")) == "PROGRAM" + be32(0) + trailer(7));
}

TEST_F(LauncherFileWriterTest, AnExistingOutputIsReplaced) {
  writeFile(m_dir.file("out"), "old launcher");
  std::string error;
  ASSERT_TRUE(writeLauncherFile(m_dir.file("program"), items(),
                                m_dir.file("out"), error));
  EXPECT_EQ(readFile(m_dir.file("out")).substr(0, 7), "PROGRAM");
}

struct FailureCase {
  const char* name;
  void (*prepare)(const ScratchDir& dir);
  std::string output;  // relative to the scratch directory
  std::string error;   // @DIR@ is the scratch directory
};

const FailureCase kFailures[] = {
    {"a program that already carries a payload",
     [](const ScratchDir& dir) {
       writeFile(dir.file("program"), "PROGRAM" + be32(0) + trailer(7));
     },
     "out",
     "the program @DIR@/program already carries a payload; pack the plain "
     "launcher program"},
    {"a missing program",
     [](const ScratchDir& dir) { remove(dir.file("program").c_str()); }, "out",
     "cannot read the program @DIR@/program: No such file or directory"},
    {"an output directory that does not exist", [](const ScratchDir&) {},
     "none/out",
     "cannot create a temporary file beside @DIR@/none/out: No such file or "
     "directory"},
    {"a file gone since the manifest was read",
     [](const ScratchDir& dir) { remove(dir.file("lib.jar").c_str()); }, "out",
     "cannot open @DIR@/lib.jar: No such file or directory"},
    {"a file that changed since the manifest was read",
     [](const ScratchDir& dir) { writeFile(dir.file("lib.jar"), "JARS"); },
     "out", "@DIR@/lib.jar changed while it was being packed"},
};

TEST_F(LauncherFileWriterTest, FailuresLeaveNothingBehind) {
  for (const FailureCase& c : kFailures) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    writeFile(dir.file("program"), "PROGRAM");
    writeFile(dir.file("s.tag"), "A: 1");
    writeFile(dir.file("lib.jar"), "JAR");
    std::vector<PackItem> packed = {
        {0, 0, dir.file("s.tag"), "s.tag", 4, "INSTRUCTIONS"},
        {3, 9, dir.file("lib.jar"), "lib.jar", 3, "CLASSPATH_JAR"}};
    std::vector<std::string> before = listDirectory(dir.path());
    c.prepare(dir);
    std::vector<std::string> prepared = listDirectory(dir.path());
    std::string error;
    EXPECT_FALSE(writeLauncherFile(dir.file("program"), packed,
                                   dir.file(c.output), error));
    std::string expected = c.error;
    for (size_t at; (at = expected.find("@DIR@")) != std::string::npos;)
      expected.replace(at, 5, dir.path());
    EXPECT_EQ(error, expected);
    EXPECT_EQ(listDirectory(dir.path()), prepared);
  }
}

TEST_F(LauncherFileWriterTest, DependencyFileEscapesForMake) {
  std::string error;
  std::string depfile = m_dir.file("out.d");
  ASSERT_TRUE(
      writeDependencyFile(depfile, "/b/out", {"/s/a b.tag", "/s/$x#"}, error));
  EXPECT_EQ(readFile(depfile), "/b/out: \\\n  /s/a\\ b.tag \\\n  /s/$$x\\#\n");
}

}  // namespace
