// Tree removal through the walker: links removed as links, whole trees
// gone, and a missing root reported once.
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "PlatformImplTestSupport.h"
#include "platform/DeleteFullDir.h"

namespace {

using DeleteFullDirTest = PlatformTest;

TEST_F(DeleteFullDirTest, RemovesTheLinkNotItsTarget) {
  ScratchDir scratch;
  std::string target = scratch.file("target");
  std::string tree = scratch.file("tree");
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  writeFile(target + "/keep", "x");
  ASSERT_EQ(mkdir(tree.c_str(), 0755), 0);
  ASSERT_EQ(symlink(target.c_str(), (tree + "/link").c_str()), 0);
  ASSERT_EQ(symlink((target + "/keep").c_str(), (tree + "/filelink").c_str()),
            0);

  LogRecorder log;
  DeleteFullDir deleter;
  EXPECT_FALSE(deleter.process(tree.c_str()));
  EXPECT_FALSE(exists(tree));
  EXPECT_TRUE(exists(target + "/keep"));
  EXPECT_TRUE(log.entries().empty());
  EXPECT_EQ(deleter.failedPaths().count(), 0);
}

TEST_F(DeleteFullDirTest, RemovesADeepTreeWithTheRoot) {
  ScratchDir scratch;
  std::string path = scratch.file("deep");
  const std::string root = path;
  for (int level = 0; level < 200; ++level) {
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    writeFile(path + "/file", "x");
    if (level % 10 == 0) {
      ASSERT_EQ(mkdir((path + "/empty").c_str(), 0755), 0);
    }
    path += "/d";
  }
  LogRecorder log;
  for (const std::string& given : {root + "/", root}) {
    SCOPED_TRACE(given);
    DeleteFullDir deleter;
    deleter.process(given.c_str());
    EXPECT_FALSE(exists(root));
    ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
  }
  EXPECT_TRUE(log.entries().empty());
}

TEST_F(DeleteFullDirTest, MissingRootIsOneWarning) {
  ScratchDir scratch;
  std::string root = scratch.file("missing");
  LogRecorder log;
  DeleteFullDir deleter;
  EXPECT_FALSE(deleter.process(root.c_str()));
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].first,
            "Could not delete " + root + " :  " + strerror(ENOENT));
  EXPECT_EQ(log.entries()[0].second, 1);
  EXPECT_EQ(deleter.failedPaths().count(), 1);
}

TEST_F(DeleteFullDirTest, PlatformDeleteFileTakesFilesLinksAndTrees) {
  ScratchDir scratch;
  std::string dir = scratch.file("dir");
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  writeFile(dir + "/inner", "x");
  writeFile(scratch.file("file"), "x");
  ASSERT_EQ(symlink(dir.c_str(), scratch.file("link").c_str()), 0);
  PlatformImpl::deleteFile(scratch.file("link").c_str());
  EXPECT_FALSE(exists(scratch.file("link")));
  EXPECT_TRUE(exists(dir + "/inner"));
  PlatformImpl::deleteFile(scratch.file("file").c_str());
  EXPECT_FALSE(exists(scratch.file("file")));
  PlatformImpl::deleteFile(dir.c_str());
  EXPECT_FALSE(exists(dir));
}

}  // namespace
