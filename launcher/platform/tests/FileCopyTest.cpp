// Copying between open files: the kernel's copy and the read-and-write
// fallback give the same bytes from the same position, and each tells a
// failing source from a failing target.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/FileCopy.h"
#include "testsupport/FileHelpers.h"
#include "testsupport/ScratchDir.h"

namespace {

std::string patternBytes(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<char>((i * 13 + i / 509) & 0xFF);
  return bytes;
}

// Both ways of copying, one per round of each test.
class FileCopyTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { FileCopy::setKernelCopyEnabled(GetParam()); }
  void TearDown() override { FileCopy::setKernelCopyEnabled(true); }

  int openTarget(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }

  ScratchDir m_dir;
};

struct RangeCase {
  size_t fileSize;
  long offset;
  long count;
  long expectedCopied;  // less than count when the source ends first
};

TEST_P(FileCopyTest, CopiesTheRangeAsked) {
  const long kBuffer = FileCopy::kBufferSize;
  const RangeCase cases[] = {
      {0, 0, 0, 0},
      {10, 0, 10, 10},
      {10, 3, 4, 4},
      {10, 8, 5, 2},
      {10, 10, 1, 0},
      // Across the fallback's buffer, more than once.
      {static_cast<size_t>(3 * kBuffer + 77), 5, 3 * kBuffer, 3 * kBuffer},
      {static_cast<size_t>(2 * kBuffer), kBuffer - 1, 2 * kBuffer, kBuffer + 1},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.fileSize) + " bytes from " +
                 std::to_string(c.offset));
    std::string bytes = patternBytes(c.fileSize);
    std::string from = m_dir.file("source");
    std::string to = m_dir.file("target");
    writeFile(from, bytes);
    int source = open(from.c_str(), O_RDONLY);
    int target = openTarget(to);
    ASSERT_GE(source, 0);
    ASSERT_GE(target, 0);
    // Something before the copy stays: the target is written at its own
    // position.
    ASSERT_EQ(write(target, "head", 4), 4);
    FileCopy copier(source, c.offset, target);
    EXPECT_EQ(copier.copy(c.count), c.expectedCopied);
    EXPECT_FALSE(copier.readFailed());
    EXPECT_FALSE(copier.writeFailed());
    if (!GetParam()) {
      EXPECT_FALSE(copier.usedKernelCopy());
    }
    // The source's own position is not moved.
    EXPECT_EQ(lseek(source, 0, SEEK_CUR), 0);
    close(source);
    close(target);
    EXPECT_TRUE(readFile(to) ==
                "head" + bytes.substr(static_cast<size_t>(c.offset),
                                      static_cast<size_t>(c.expectedCopied)));
  }
}

TEST_P(FileCopyTest, ASecondCallGoesOnWhereTheFirstStopped) {
  std::string bytes = patternBytes(100000);
  std::string from = m_dir.file("source");
  std::string to = m_dir.file("target");
  writeFile(from, bytes);
  int source = open(from.c_str(), O_RDONLY);
  int target = openTarget(to);
  FileCopy copier(source, 1000, target);
  EXPECT_EQ(copier.copy(30000), 30000);
  EXPECT_EQ(copier.copy(100000), 69000);
  EXPECT_EQ(copier.copy(1), 0);
  close(source);
  close(target);
  EXPECT_TRUE(readFile(to) == bytes.substr(1000));
}

struct FailureCase {
  const char* name;
  bool sourceIsDirectory;  // else the target is a full device
  int expectedError;
};

TEST_P(FileCopyTest, FailuresTellWhichSideFailed) {
  const FailureCase cases[] = {
      {"a directory as the source", true, EISDIR},
      {"a full device as the target", false, ENOSPC},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string from = m_dir.file("source");
    writeFile(from, patternBytes(5000));
    int source = open(c.sourceIsDirectory ? m_dir.path().c_str() : from.c_str(),
                      O_RDONLY);
    int target = c.sourceIsDirectory ? openTarget(m_dir.file("target"))
                                     : open("/dev/full", O_WRONLY);
    ASSERT_GE(source, 0);
    ASSERT_GE(target, 0);
    FileCopy copier(source, 0, target);
    EXPECT_EQ(copier.copy(5000), 0);
    EXPECT_EQ(copier.readFailed(), c.sourceIsDirectory);
    EXPECT_EQ(copier.writeFailed(), !c.sourceIsDirectory);
    EXPECT_EQ(copier.error(), c.expectedError);
    // Nothing more is tried after a failure.
    EXPECT_EQ(copier.copy(5000), 0);
    close(source);
    close(target);
  }
}

INSTANTIATE_TEST_SUITE_P(KernelCopyAndFallback, FileCopyTest,
                         ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "KernelCopy" : "ReadWrite";
                         });

}  // namespace
