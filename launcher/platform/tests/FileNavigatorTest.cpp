// The directory walk: order, links, unreadable directories, stopping,
// cancelling, skipping and progress.
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "PlatformImplTestSupport.h"
#include "platform/FileNavigator.h"

namespace {

using FileNavigatorTest = PlatformTest;

// Records the files handed over; stops at stopAt, cancels at cancelAt and
// leaves skipName unread.
class Recorder : public FileNavigator {
 public:
  explicit Recorder(bool cancelable = true) : FileNavigator(cancelable) {}
  bool processFile(const SString& path) override {
    files.push_back(path.c_str());
    if (files.back() == cancelAt) PlatformImpl::setCanceled(true);
    return files.back() == stopAt;
  }
  bool skipDirectory(const SString& directory) override {
    return std::string(directory.c_str()) == skipName;
  }
  std::vector<std::string> visited() const {
    std::vector<std::string> result;
    for (int i = 0; i < visitedDirectories().count(); ++i)
      result.push_back(visitedDirectories().at(i).c_str());
    return result;
  }

  std::vector<std::string> files;
  std::string stopAt;
  std::string cancelAt;
  std::string skipName;
};

void makeDir(const std::string& path) {
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
}

std::set<std::string> asSet(const std::vector<std::string>& v) {
  return std::set<std::string>(v.begin(), v.end());
}

// root/f, root/a/g, root/a/b/h, root/c/i, root/link -> root/a
class Tree {
 public:
  Tree() : root(scratch.file("root")) {
    makeDir(root);
    makeDir(root + "/a");
    makeDir(root + "/a/b");
    makeDir(root + "/c");
    writeFile(root + "/f", "");
    writeFile(root + "/a/g", "");
    writeFile(root + "/a/b/h", "");
    writeFile(root + "/c/i", "");
    EXPECT_EQ(symlink((root + "/a").c_str(), (root + "/link").c_str()), 0);
  }
  ScratchDir scratch;
  std::string root;
};

TEST_F(FileNavigatorTest, VisitsEveryDirectoryBeforeItsDescendants) {
  Tree tree;
  const std::string& r = tree.root;
  for (const std::string& root : {r, r + "/"}) {
    SCOPED_TRACE(root);
    Recorder walker;
    EXPECT_FALSE(walker.process(root.c_str()));
    // The link is a file: its target's files are not reached through it.
    EXPECT_EQ(asSet(walker.files),
              (std::set<std::string>{r + "/f", r + "/link", r + "/a/g",
                                     r + "/a/b/h", r + "/c/i"}));
    EXPECT_EQ(walker.files.size(), 5u);
    std::vector<std::string> visited = walker.visited();
    ASSERT_EQ(visited.size(), 4u);
    EXPECT_EQ(visited[0], root);
    auto position = [&](const std::string& d) {
      return std::find(visited.begin(), visited.end(), d) - visited.begin();
    };
    EXPECT_LT(position(r + "/a"), position(r + "/a/b"));
    EXPECT_LT(position(r + "/a/b"), 4);
    EXPECT_LT(position(r + "/c"), 4);
    // Last in, first out: the sibling pushed last is read first, and its
    // subtree is done before the other sibling.
    bool aFirst = position(r + "/a") < position(r + "/c");
    if (aFirst)
      EXPECT_EQ(position(r + "/a/b"), 2);
    else
      EXPECT_EQ(position(r + "/c"), 1);
  }
}

TEST_F(FileNavigatorTest, UnreadableRootGivesNoCallback) {
  ScratchDir scratch;
  writeFile(scratch.file("plain"), "");
  for (std::string root : {scratch.file("missing"), scratch.file("plain")}) {
    Recorder walker;
    EXPECT_FALSE(walker.process(root.c_str()));
    EXPECT_TRUE(walker.files.empty());
    EXPECT_EQ(walker.visited(), std::vector<std::string>{root});
  }
}

TEST_F(FileNavigatorTest, StopsWhenAFileSaysSo) {
  Tree tree;
  Recorder walker;
  walker.stopAt = tree.root + "/a/g";
  EXPECT_TRUE(walker.process(tree.root.c_str()));
  EXPECT_EQ(walker.files.back(), walker.stopAt);
  EXPECT_EQ(std::count(walker.files.begin(), walker.files.end(), walker.stopAt),
            1);
  // A second walk starts afresh.
  walker.stopAt = "";
  walker.files.clear();
  EXPECT_FALSE(walker.process(tree.root.c_str()));
  EXPECT_EQ(walker.files.size(), 5u);
}

TEST_F(FileNavigatorTest, CancelEndsACancelableWalkOnly) {
  Tree tree;
  struct Case {
    bool cancelable;
    size_t files;
  } cases[] = {{true, 1}, {false, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cancelable);
    PlatformImpl::setCanceled(false);
    // Whatever file comes first cancels.
    Recorder probe;
    probe.process(tree.root.c_str());
    Recorder walker(c.cancelable);
    walker.cancelAt = probe.files.front();
    EXPECT_FALSE(walker.process(tree.root.c_str()));
    EXPECT_EQ(walker.files.size(), c.files);
    EXPECT_EQ(walker.isCanceled(), c.cancelable);
  }
}

TEST_F(FileNavigatorTest, SkippedDirectoryIsNotRead) {
  Tree tree;
  Recorder walker;
  walker.skipName = tree.root + "/a";
  walker.process(tree.root.c_str());
  EXPECT_EQ(asSet(walker.files),
            (std::set<std::string>{tree.root + "/f", tree.root + "/link",
                                   tree.root + "/c/i"}));
  // It still counts as visited; its subdirectory was never found.
  std::set<std::string> visited = asSet(walker.visited());
  EXPECT_EQ(visited.count(tree.root + "/a"), 1u);
  EXPECT_EQ(visited.count(tree.root + "/a/b"), 0u);
}

TEST_F(FileNavigatorTest, ProgressMovesEveryThousandFiles) {
  ScratchDir scratch;
  makeDir(scratch.file("one"));
  makeDir(scratch.file("two"));
  for (int i = 0; i < 2500; ++i) {
    std::string dir = scratch.file(i % 2 ? "one" : "two");
    writeFile(dir + "/" + std::to_string(i), "");
  }
  g_enableOutput = false;
  Recorder walker;
  walker.process(scratch.path().c_str());
  EXPECT_EQ(walker.files.size(), 2500u);
  EXPECT_EQ(PlatformImpl::getUIProgress(), 2);
}

TEST_F(FileNavigatorTest, IsDirectoryDoesNotFollowLinks) {
  Tree tree;
  struct Case {
    std::string path;
    bool directory;
  } cases[] = {{tree.root, true},
               {tree.root + "/a", true},
               {tree.root + "/link", false},
               {tree.root + "/f", false},
               {tree.root + "/none", false},
               {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileNavigator::isDirectory(c.path.c_str()), c.directory);
  }
}

}  // namespace
