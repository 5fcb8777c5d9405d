// Files, free space, the environment, the working directory and byte-order
// conversions.
#include <errno.h>
#include <limits.h>
#include <string.h>

#include <string>

#include "PlatformImplTestSupport.h"
#include "core/LauncherException.h"

namespace {

using FreeSpaceTest = PlatformTest;
using EnvironmentTest = PlatformTest;
using FileTest = PlatformTest;
using ConversionTest = PlatformTest;
using CurrentDirectoryTest = PlatformTest;

std::string str(const SString& s) { return s.c_str(); }

struct FreeSpaceCase {
  const char* name;
  const char* path;
  long bytes;
  enum { kRoom, kNoRoom, kFails } result;
};

TEST_F(FreeSpaceTest, ComparesWithTheFileSystemOfTheDirectory) {
  const FreeSpaceCase cases[] = {
      {"nothing needed", "/", 0, FreeSpaceCase::kRoom},
      {"one byte", "/", 1, FreeSpaceCase::kRoom},
      {"negative counts as nothing", "/", -5, FreeSpaceCase::kRoom},
      {"more than any file system holds", "/", LONG_MAX,
       FreeSpaceCase::kNoRoom},
      // A relative path is not looked at: the current directory is measured.
      {"relative path that does not exist", "no/such/dir", 1,
       FreeSpaceCase::kRoom},
      {"empty path means the current directory", "", 1, FreeSpaceCase::kRoom},
      {"absolute path that does not exist", "/no/such/dir", 1,
       FreeSpaceCase::kFails},
  };
  for (const FreeSpaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      bool room = PlatformImpl::checkFreeSpace(c.path, c.bytes);
      EXPECT_NE(c.result, FreeSpaceCase::kFails);
      EXPECT_EQ(room, c.result == FreeSpaceCase::kRoom);
    } catch (const LauncherException& e) {
      EXPECT_EQ(c.result, FreeSpaceCase::kFails);
      EXPECT_EQ(str(e.getMessage()), strerror(ENOENT));
    }
  }
}

// Output of a child shell, which must see the launcher's own environment.
std::string childSees(const char* name) {
  std::string command = std::string("printf %s \"$") + name + "\"";
  FILE* pipe = popen(command.c_str(), "r");
  std::string text;
  int c;
  while ((c = fgetc(pipe)) != EOF) text += static_cast<char>(c);
  pclose(pipe);
  return text;
}

TEST_F(EnvironmentTest, RepeatedSettingsOfOneName) {
  const char* name = "PLATFORM_TEST_VARIABLE";
  unsetenv(name);
  EXPECT_EQ(str(PlatformImpl::getEnvironmentVariable(name)), "");
  const char* values[] = {"first", "second value", "a=b", "first", "", "last"};
  for (const char* value : values) {
    SCOPED_TRACE(value);
    {
      // The launcher's strings may go away right after the call.
      SString owned(value);
      PlatformImpl::setEnvironmentVariable(name, owned);
    }
    EXPECT_EQ(str(PlatformImpl::getEnvironmentVariable(name)), value);
    EXPECT_EQ(childSees(name), value);
  }
  unsetenv(name);
}

TEST_F(EnvironmentTest, AnInvalidNameIsLoggedNotSet) {
  LogRecorder log;
  PlatformImpl::setEnvironmentVariable("BAD=NAME", "x");
  EXPECT_EQ(getenv("BAD"), nullptr);
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].second, 1);
}

TEST_F(FileTest, ExistsAndExecutable) {
  ScratchDir scratch;
  writeFile(scratch.file("plain"), "x");
  chmod(scratch.file("plain").c_str(), 0600);
  writeFile(scratch.file("shared"), "x");
  chmod(scratch.file("shared").c_str(), 0644);
  struct {
    std::string path;
    bool exists;
    mode_t modeAfterSetExecutable;
  } const cases[] = {
      {scratch.file("plain"), true, 0711},
      {scratch.file("shared"), true, 0755},
      {scratch.path(), true, 0},
      {scratch.file("missing"), false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(PlatformImpl::fileExists(c.path.c_str()), c.exists);
    PlatformImpl::setFileExecutable(c.path.c_str());
    struct stat info;
    if (c.modeAfterSetExecutable) {
      ASSERT_EQ(stat(c.path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, c.modeAfterSetExecutable);
    }
  }
  EXPECT_FALSE(exists(scratch.file("missing")));
}

TEST_F(ConversionTest, BigEndianNumbers) {
  struct {
    unsigned char bytes[4];
    long value;
  } const longs[] = {
      {{0x00, 0x00, 0x00, 0x01}, 1},
      {{0x12, 0x34, 0x56, 0x78}, 0x12345678},
      {{0x7F, 0xFF, 0xFF, 0xFF}, 2147483647L},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1},
      {{0xCA, 0x82, 0xCA, 0x82}, -897398142L},
  };
  for (const auto& c : longs) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(
        PlatformImpl::convertToLong(reinterpret_cast<const char*>(c.bytes)),
        c.value);
  }
  struct {
    unsigned char bytes[2];
    short value;
  } const shorts[] = {
      {{0x00, 0x01}, 1},      {{0x01, 0x00}, 256}, {{0x7F, 0xFF}, 32767},
      {{0x80, 0x00}, -32768}, {{0xFF, 0xFE}, -2},
  };
  for (const auto& c : shorts) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(
        PlatformImpl::convertToShort(reinterpret_cast<const char*>(c.bytes)),
        c.value);
  }
}

TEST_F(CurrentDirectoryTest, LongerThanOneKilobyte) {
  ScratchDir scratch;
  std::string deep = scratch.path();
  const std::string component(200, 'd');
  for (int i = 0; i < 7; ++i) {
    deep += "/" + component;
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  ASSERT_GT(deep.size(), 1400u);
  char saved[PATH_MAX];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(deep.c_str()), 0);
  std::string seen = str(PlatformImpl::getCurrentDirectory());
  bool room = PlatformImpl::checkFreeSpace("relative", 1);
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(seen, deep);
  EXPECT_TRUE(room);
}

}  // namespace
