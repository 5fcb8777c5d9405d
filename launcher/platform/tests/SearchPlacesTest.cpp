// Where the disk walk and the path hints look: the partitions an
// administrator can set in the environment, and the kernel file systems
// that the walk leaves alone.
#include <stdlib.h>

#include <string>
#include <vector>

#include "PlatformImplTestSupport.h"
#include "platform/FindFiles.h"

namespace {

class NoListener : public FileFindListener {
 public:
  bool foundFile(const SString&) override { return false; }
};

std::vector<std::string> partitionsFor(const char* value) {
  if (value)
    setenv("LAUNCHER_SEARCH_PARTITIONS", value, 1);
  else
    unsetenv("LAUNCHER_SEARCH_PARTITIONS");
  StringDeque partitions;
  PlatformImpl::getJVMSearchPartitions(partitions);
  unsetenv("LAUNCHER_SEARCH_PARTITIONS");
  std::vector<std::string> result;
  for (int i = 0; i < partitions.count(); ++i)
    result.push_back(partitions.at(i).c_str());
  return result;
}

TEST(SearchPlaces, PartitionsFromTheEnvironment) {
  struct Case {
    const char* value;  // null: not set
    std::vector<std::string> partitions;
  } cases[] = {
      {nullptr, {"/"}},
      {"", {"/"}},
      {":", {"/"}},
      {"/opt", {"/opt"}},
      {"/opt:/usr/local", {"/opt", "/usr/local"}},
      {"::/opt::/srv/java:", {"/opt", "/srv/java"}},
      {"/with blank", {"/with blank"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    EXPECT_EQ(partitionsFor(c.value), c.partitions);
  }
}

TEST(SearchPlaces, KernelFileSystemsAreNotWalked) {
  ScratchDir temp;
  PlatformImpl::setSystemTempDir(temp.path().c_str());
  ScratchDir ordinary;
  StringDeque names;
  names.push_back("bin/java");
  NoListener listener;
  FindFiles walker(names, listener);
  struct Case {
    std::string directory;
    bool skipped;
  } cases[] = {
      {"/proc", true},     {"/proc/", true},      {"/proc/self", true},
      {"/sys", true},      {"/sys/kernel", true}, {ordinary.path(), false},
      {temp.path(), true},
  };
  for (const Case& c : cases) {
    if (!FileNavigator::isDirectory(c.directory.c_str())) continue;
    SCOPED_TRACE(c.directory);
    EXPECT_EQ(walker.skipDirectory(c.directory.c_str()), c.skipped);
  }
}

}  // namespace
