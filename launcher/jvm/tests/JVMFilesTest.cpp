// The JVM search over trees of fake JVM homes: the user's home first, hints
// file by file up to the first that asks for a full search, the disk walk
// with immediate verification for the first file only, candidates without
// duplicates, and the order of all matches.
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "JVMTestSupport.h"
#include "core/LauncherException.h"
#include "jvm/JVMFile.h"
#include "jvm/JVMFiles.h"
#include "jvm/JVMMatch.h"
#include "jvm/UnverifiedJVMMatch.h"

namespace {

class JVMFilesTest : public JVMTest {
 protected:
  void SetUp() override {
    JVMTest::SetUp();
    disk = scratch.file("disk");
    mkdir(disk.c_str(), 0755);
    runs = scratch.file("runs.log");
    setenv("LAUNCHER_SEARCH_PARTITIONS", disk.c_str(), 1);
    files.setVerifyClass("\"verify.jar\"", "\"Verify\"");
  }
  void TearDown() override {
    unsetenv("LAUNCHER_SEARCH_PARTITIONS");
    JVMTest::TearDown();
  }

  // disk/relative as a JVM home that reports version and records each run.
  std::string home(const std::string& relative, const std::string& version) {
    std::string path = disk + "/" + relative;
    std::string command = "mkdir -p '" + path + "'";
    EXPECT_EQ(system(command.c_str()), 0);
    makeFakeJVM(path, "echo \"$0\" >> '" + runs + "'\necho 1739021872\necho " +
                          version);
    return path;
  }

  // A jvm file requiring that version; more tags may follow.
  JVMFile* add(const std::string& desc, const std::string& version,
               std::vector<std::pair<std::string, std::string>> more = {}) {
    tagFiles.emplace_back(new TagFile());
    TagFile& tags = *tagFiles.back();
    fillTags(tags, javaConventions());
    tags.setTagValue("DESC", desc.c_str());
    tags.appendTagValue("JVM_PROPERTIES",
                        ("java.specification.version=" + version).c_str());
    fillTags(tags, more);
    JVMFile* file = new JVMFile(tags);
    files.addJVMFile(file);
    return file;
  }

  // The homes verified, in order, relative to the disk.
  std::vector<std::string> verifiedHomes() {
    std::vector<std::string> result;
    std::string text = exists(runs) ? readFile(runs) : "";
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      std::string line = text.substr(start, end - start);
      // '<home>/'bin/java as the shell passed it.
      std::string suffix = "/bin/java";
      line = line.substr(0, line.size() - suffix.size());
      result.push_back(line.substr(disk.size() + 1));
      start = end + 1;
    }
    return result;
  }

  struct Found {
    std::string home;
    std::string desc;
    bool operator==(const Found& o) const {
      return home == o.home && desc == o.desc;
    }
  };
  std::vector<Found> found(const JVMMatchPtrDeque& matches) {
    std::vector<Found> result;
    for (int i = 0; i < matches.count(); ++i)
      result.push_back(
          {str(matches.at(i)->getJVMHome()).substr(disk.size() + 1),
           str(matches.at(i)->getTagFile().getTagValue("DESC"))});
    return result;
  }

  std::string disk;
  std::string runs;
  std::vector<std::unique_ptr<TagFile>> tagFiles;
  JVMFiles files;
};

TEST_F(JVMFilesTest, TheUsersHomeIsTriedAgainstEveryFileFirst) {
  std::string user = home("user/jdk11", "11");
  home("hinted/jdk17", "17");
  add("Java 17", "17", {{"PATH_HINT", "hinted/jdk17"}, {"SEARCH_ALL", "1"}});
  add("Java 11", "11");
  files.setUserJavaHome(user.c_str());
  JVMMatchPtrDeque matches;
  files.search(matches);
  EXPECT_EQ(found(matches), (std::vector<Found>{{"user/jdk11", "Java 11"}}));
  // No hint and no walk after the match; the home ran once, its answer
  // matched again for the second file.
  EXPECT_EQ(verifiedHomes(), (std::vector<std::string>{"user/jdk11"}));
}

TEST_F(JVMFilesTest, HintsFileByFileAndHintByHint) {
  home("opt/jdk11", "11");
  home("usr/jdk17", "17");
  add("Java 21", "21", {{"PATH_HINT", "/usr/jdk17"}});
  add("Java 17", "17",
      {{"PATH_HINT", "missing/jdk"},
       {"PATH_HINT", "opt/jdk11"},
       {"PATH_HINT", "/usr/jdk17"}});
  add("Java 11", "11", {{"PATH_HINT", "opt/jdk11"}});
  JVMMatchPtrDeque matches;
  files.search(matches);
  EXPECT_EQ(found(matches), (std::vector<Found>{{"usr/jdk17", "Java 17"}}));
  // The second file's hint /usr/jdk17 was run for the first file already.
  EXPECT_EQ(verifiedHomes(),
            (std::vector<std::string>{"usr/jdk17", "opt/jdk11"}));
}

TEST_F(JVMFilesTest, NoMatchWithoutFullSearchWalksNothing) {
  home("a/jdk17", "17");
  add("Java 17", "17", {{"PATH_HINT", "elsewhere"}});
  JVMMatchPtrDeque matches;
  files.search(matches);
  EXPECT_EQ(matches.count(), 0);
  EXPECT_EQ(verifiedHomes(), std::vector<std::string>{});
  EXPECT_EQ(files.getUnverifiedMatches().count(), 0);
}

TEST_F(JVMFilesTest, SearchAllOnTheSecondOfThreeFilesStopsTheHints) {
  home("tree/jdk11", "11");
  home("tree/jdk17", "17");
  home("third/jdk8", "1.8");
  add("Java 17", "17", {{"PATH_HINT", "nothing/here"}});
  add("Java 11", "11", {{"PATH_HINT", "nothing/there"}, {"SEARCH_ALL", "1"}});
  add("Java 8", "1.8", {{"PATH_HINT", "third/jdk8"}});
  JVMMatchPtrDeque matches;
  files.search(matches);
  // The third file's hint would have matched, but it is never tried: the
  // walk follows, verifies the first file's candidates at once and stops
  // at its match, recording nothing for the first file.
  ASSERT_EQ(matches.count(), 1);
  EXPECT_EQ(str(matches.at(0)->getTagFile().getTagValue("DESC")), "Java 17");
  EXPECT_EQ(str(matches.at(0)->getJVMHome()), disk + "/tree/jdk17");
  EXPECT_EQ(verifiedHomes().back(), "tree/jdk17");
  for (int i = 0; i < files.getUnverifiedMatches().count(); ++i)
    EXPECT_FALSE(
        files.getUnverifiedMatches().at(i)->equals(*files.getJVMFile(0)));
}

TEST_F(JVMFilesTest, WalkCandidatesOfLaterFilesAreVerifiedAfterTheWalk) {
  home("x/jdk11", "11");
  add("Java 17", "17", {{"SEARCH_ALL", "1"}});
  add("Java 11", "11");
  JVMMatchPtrDeque matches;
  files.search(matches);
  // The first file tried the home at once; the second recorded it and
  // verified it once the walk was over, with the answer of that one run.
  EXPECT_EQ(found(matches), (std::vector<Found>{{"x/jdk11", "Java 11"}}));
  EXPECT_EQ(verifiedHomes(), (std::vector<std::string>{"x/jdk11"}));
  ASSERT_EQ(files.getUnverifiedMatches().count(), 1);
  EXPECT_TRUE(files.getUnverifiedMatches().at(0)->equals(*files.getJVMFile(1)));
}

TEST_F(JVMFilesTest, SearchAllReportsEveryMatchInDiscoveryOrder) {
  home("a/jdk17", "17");
  home("b/jdk11", "11");
  home("c/jdk17", "17");
  add("Java 11", "11");
  add("Java 17", "17");
  JVMMatchPtrDeque matches;
  files.searchAll(matches, false);
  // Each home is a candidate of both files (one executable name, looked
  // for once) and is verified once per file, running once.
  std::vector<Found> all = found(matches);
  ASSERT_EQ(all.size(), 3u);
  ASSERT_EQ(files.getUnverifiedMatches().count(), 2);
  const UnverifiedJVMMatch* first = files.getUnverifiedMatches().at(0);
  EXPECT_TRUE(first->equals(*files.getJVMFile(0)));
  EXPECT_EQ(first->getJVMHomes().count(), 3);
  std::vector<std::string> verified = verifiedHomes();
  EXPECT_EQ(verified.size(), 3u);
  // Files in order, homes in the order the walk found them.
  std::vector<std::string> order;
  for (int i = 0; i < first->getJVMHomes().count(); ++i)
    order.push_back(str(first->getJVMHomes().at(i)).substr(disk.size() + 1));
  std::vector<Found> expected = {{"b/jdk11", "Java 11"}};
  for (const std::string& h : order)
    if (h != "b/jdk11") expected.push_back({h, "Java 17"});
  EXPECT_EQ(all, expected);
}

TEST_F(JVMFilesTest, SearchAllWithStopAtFirstKeepsTheMatchOfTheWalk) {
  home("only/jdk17", "17");
  add("Java 17", "17");
  JVMMatchPtrDeque matches;
  files.searchAll(matches, true);
  EXPECT_EQ(found(matches), (std::vector<Found>{{"only/jdk17", "Java 17"}}));
  EXPECT_EQ(verifiedHomes(), std::vector<std::string>{"only/jdk17"});
}

TEST_F(JVMFilesTest, CandidatesAreRecordedOncePerFile) {
  JVMFile* a = add("A", "1");
  JVMFile* b = add("B", "1");
  const struct {
    JVMFile* file;
    const char* home;
  } calls[] = {{a, "/h1"}, {b, "/h1"}, {a, "/h2"}, {a, "/h1"}, {b, "/h1"}};
  for (const auto& call : calls) files.addUnverifiedMatch(call.file, call.home);
  const UnverifiedJVMMatchPtrDeque& recorded = files.getUnverifiedMatches();
  ASSERT_EQ(recorded.count(), 2);
  EXPECT_EQ(recorded.at(0)->getJVMHomes().count(), 2);
  EXPECT_EQ(recorded.at(1)->getJVMHomes().count(), 1);

  UnverifiedJVMMatchPtrDeque deque;
  deque.addMatch(*a, "/ignored");  // nothing for a yet: nothing happens
  EXPECT_EQ(deque.count(), 0);
  deque.push_back(new UnverifiedJVMMatch(*a));
  deque.addMatch(*a, "/h3");
  deque.addMatch(*a, "/h3");
  deque.addMatch(*b, "/h4");
  EXPECT_EQ(deque.at(0)->getJVMHomes().count(), 1);
}

// The home is the path before the separator in front of the executable;
// for an executable right under the root that separator is the root.
TEST_F(JVMFilesTest, CandidateHomesFromTheWalk) {
  add("A", "1");
  const struct {
    const char* path;
    const char* home;
  } cases[] = {{"/opt/jdk/bin/java", "/opt/jdk"},
               {"/bin/java", "/"},
               {"/usr/bin/java", "/usr"}};
  for (const auto& c : cases) EXPECT_FALSE(files.foundFile(c.path));
  const UnverifiedJVMMatchPtrDeque& recorded = files.getUnverifiedMatches();
  ASSERT_EQ(recorded.count(), 1);
  const StringDeque& homes = recorded.at(0)->getJVMHomes();
  ASSERT_EQ(homes.count(), 3);
  for (int i = 0; i < homes.count(); ++i)
    EXPECT_EQ(str(homes.at(i)), cases[i].home) << cases[i].path;
}

TEST_F(JVMFilesTest, FileIndexOutOfRange) {
  add("A", "1");
  for (long index : {-1L, 1L, 5L}) {
    SCOPED_TRACE(index);
    try {
      files.getJVMFile(index);
      ADD_FAILURE() << "no exception";
    } catch (const LauncherException& e) {
      EXPECT_EQ(str(e.getMessage()), "Invalid JVM file id.");
    }
  }
  EXPECT_NE(files.getJVMFile(0), nullptr);
}

// The verification jar comes from the payload once, in quotes.
class VerifyJarEnvironment : public FakeLaunchEnvironment {
 public:
  bool hasEmbeddedFiles(int type) const override {
    return type == kVerificationArchive;
  }
  void extractEmbeddedFiles(int type, const SString& directory,
                            StringDeque& paths) override {
    extractions.push_back(str(directory));
    if (type == kVerificationArchive)
      paths.push_back((str(directory) + "/verify.jar").c_str());
  }
};

TEST_F(JVMFilesTest, TheVerificationJarIsUnpackedOnce) {
  VerifyJarEnvironment payload;
  LaunchEnvironment::install(&payload);
  JVMFiles fresh;
  SString classpath, verifyClass;
  fresh.writeVerifyJar(classpath, verifyClass);
  fresh.writeVerifyJar(classpath, verifyClass);
  JVMMatchPtrDeque matches;
  fresh.search(matches);
  ASSERT_EQ(payload.extractions.size(), 1u);
  EXPECT_EQ(str(classpath), "\"" + payload.extractions[0] + "/verify.jar\"");
  EXPECT_EQ(str(verifyClass), "\"Verify\"");
  LaunchEnvironment::install(&environment);
}

TEST_F(JVMFilesTest, NoFilesNoWalk) {
  JVMMatchPtrDeque matches;
  files.search(matches);
  files.searchAll(matches, false);
  EXPECT_EQ(matches.count(), 0);
}

}  // namespace
