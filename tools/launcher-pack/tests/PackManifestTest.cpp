// Reading and checking launcher-pack manifests: what each tag packs, ids,
// paths, and every reason to refuse a manifest.
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "PackManifest.h"
#include "archive/tests/PayloadTestSupport.h"

namespace {

struct Packed {
  int type;
  long id;
  std::string name;
  bool operator==(const Packed& o) const {
    return type == o.type && id == o.id && name == o.name;
  }
};

void PrintTo(const Packed& p, std::ostream* os) {
  *os << "{" << p.type << ", " << p.id << ", " << p.name << "}";
}

// Files every case can name, relative to the scratch directory.
const std::pair<const char*, const char*> kFiles[] = {
    {"s.tag", "COMMANDS:\n  INITIALIZE_UI\n/:\n"},
    {"j1.tag", "DESC: one\n"},
    {"j2.tag", "DESC: two"},
    {"l.tag", "DESC: Product\n"},
    {"a.jar", "JAR a"},
    {"lib/a.jar", "JAR lib a"},
    {"lib/b.jar", "JAR lib b"},
    {"setup.bin", "#!/bin/sh\n"},
    {"v.jar", "JAR v"},
    {"app.jar", "JAR app"},
    {"sub/input.tag", "ACTION: RUN_INSTRUCTIONS\n"},
    {"bad.tag", "A: 1\nno colon\n"},
    {"open.tag", "LIST:\n  x\n"},
};

// In manifests and messages @DIR@ is the scratch directory and @M@ the
// manifest's path. An empty error means the manifest is accepted.
struct ManifestCase {
  const char* name;
  std::string manifest;
  std::string error;
  std::vector<Packed> packed;
};

const std::string kUnknownTagHint =
    "; files are named with INSTRUCTIONS, JVM, LAUNCHSCRIPT, CLASSPATH_JAR, "
    "JVM_INSTALLER, VERIFY_JAR or APPLICATION_JAR";

const ManifestCase kCases[] = {
    {"the input.tag that -tv:extract writes",
     "ACTION:  RUN_INSTRUCTIONS\nINSTRUCTIONS:  s.tag\nJVM:\n  j1.tag\n"
     "  j2.tag\n/:\nLAUNCHSCRIPT:  l.tag\n",
     "",
     {{0, 0, "s.tag"}, {1, 1, "j1.tag"}, {1, 2, "j2.tag"}, {2, 3, "l.tag"}}},
    {"every other type, explicit ids, subdirectories",
     "CLASSPATH_JAR:\n  lib/a.jar\n  id=10 lib/b.jar\n/:\n"
     "JVM_INSTALLER: setup.bin\nVERIFY_JAR: v.jar\n"
     "APPLICATION_JAR: id=99\t app.jar\n",
     "",
     {{3, 0, "a.jar"},
      {3, 10, "b.jar"},
      {4, 2, "setup.bin"},
      {5, 3, "v.jar"},
      {6, 99, "app.jar"}}},
    {"an empty value names nothing",
     "JVM: \"\"\nAPPLICATION_JAR: app.jar\n",
     "",
     {{6, 0, "app.jar"}}},
    {"an absolute path",
     "VERIFY_JAR: @DIR@/lib/a.jar\n",
     "",
     {{5, 0, "a.jar"}}},
    {"no files at all", "ACTION: RUN_INSTRUCTIONS\n", "", {}},
    // No JVM could be verified, and the launcher would walk the disk.
    {"jvm files without a verification jar",
     "JVM:\n  j1.tag\n  j2.tag\n/:\nAPPLICATION_JAR: app.jar\n",
     "@M@: JVM \"j1.tag\" needs a VERIFY_JAR (the JVM verification archive, "
     "the launcher's verify.jar): without it no JVM can be verified",
     {}},
    {"a missing file",
     "CLASSPATH_JAR: lib/none.jar\n",
     "@M@: CLASSPATH_JAR \"lib/none.jar\": cannot read @DIR@/lib/none.jar: No "
     "such file or directory",
     {}},
    {"a directory",
     "APPLICATION_JAR: lib\n",
     "@M@: APPLICATION_JAR \"lib\": @DIR@/lib is not a regular file",
     {}},
    {"a stored name of ..",
     "CLASSPATH_JAR: lib/..\n",
     "@M@: CLASSPATH_JAR \"lib/..\": the stored name \"..\" is not a file name",
     {}},
    {"a stored name of .",
     "CLASSPATH_JAR: lib/.\n",
     "@M@: CLASSPATH_JAR \"lib/.\": the stored name \".\" is not a file name",
     {}},
    {"a path ending in a slash",
     "CLASSPATH_JAR: lib/\n",
     "@M@: CLASSPATH_JAR \"lib/\": the stored name \"\" is not a file name",
     {}},
    {"a NUL in the path",
     std::string("APPLICATION_JAR: lib\0/a.jar\n", 28),
     std::string(
         "@M@: APPLICATION_JAR \"lib\0/a.jar\": the path contains a NUL", 58),
     {}},
    {"input.tag as a stored name",
     "APPLICATION_JAR: sub/input.tag\n",
     "@M@: APPLICATION_JAR \"sub/input.tag\": the stored name \"input.tag\" is "
     "taken by the file that -tv:extract writes beside the embedded files",
     {}},
    {"a tag file that does not parse",
     "INSTRUCTIONS: bad.tag\n",
     "@M@: INSTRUCTIONS \"bad.tag\": Syntax error in bad.tag at line 2 ==> "
     "Missing colon at the end of the tag name.",
     {}},
    {"a tag file with an open block",
     "JVM:\n  j1.tag\n  open.tag\n/:\n",
     "@M@: JVM \"open.tag\": Syntax error in open.tag at line 1 ==> Missing /: "
     "tag completer.",
     {}},
    {"a jar is not parsed",
     "CLASSPATH_JAR: bad.tag\n",
     "",
     {{3, 0, "bad.tag"}}},
    {"two files stored under one name",
     "CLASSPATH_JAR: a.jar\nAPPLICATION_JAR: lib/a.jar\n",
     "@M@: CLASSPATH_JAR \"a.jar\" and APPLICATION_JAR \"lib/a.jar\" would "
     "both "
     "be stored as \"a.jar\"",
     {}},
    {"an explicit id that another file has by position",
     "CLASSPATH_JAR:\n  a.jar\n  id=0 lib/b.jar\n/:\n",
     "@M@: CLASSPATH_JAR \"a.jar\" and CLASSPATH_JAR \"id=0 lib/b.jar\" would "
     "both have the file id 0",
     {}},
    {"an id that is not a number",
     "CLASSPATH_JAR: id=x a.jar\n",
     "@M@: CLASSPATH_JAR \"id=x a.jar\": the file id \"x\" is not a number "
     "from 0 to 2147483647",
     {}},
    {"a negative id",
     "CLASSPATH_JAR: id=-1 a.jar\n",
     "@M@: CLASSPATH_JAR \"id=-1 a.jar\": the file id \"-1\" is not a number "
     "from 0 to 2147483647",
     {}},
    {"an id beyond 32 bits",
     "CLASSPATH_JAR: id=2147483648 a.jar\n",
     "@M@: CLASSPATH_JAR \"id=2147483648 a.jar\": the file id \"2147483648\" "
     "is not a number from 0 to 2147483647",
     {}},
    {"an id without a file",
     "CLASSPATH_JAR: id=5\n",
     "@M@: CLASSPATH_JAR \"id=5\": no file follows the file id",
     {}},
    {"an unknown tag",
     "CLASSPATH_JARS: a.jar\n",
     "@M@: unknown tag \"CLASSPATH_JARS\"" + kUnknownTagHint,
     {}},
    {"an input-file tag that names no embedded file",
     "UI_TITLE: Product\n",
     "@M@: unknown tag \"UI_TITLE\"" + kUnknownTagHint,
     {}},
    // A tag file keeps the last of two definitions: the first jar would be
    // left out without a word.
    {"a tag given twice",
     "CLASSPATH_JAR: lib/a.jar\nAPPLICATION_JAR: app.jar\n\n"
     "CLASSPATH_JAR: lib/b.jar\n",
     "@M@: line 4: CLASSPATH_JAR is given again (first at line 1), and only "
     "the last would be packed; list every file of a tag in one value block",
     {}},
    {"a tag given twice, the first as a value block",
     "CLASSPATH_JAR:\n  lib/a.jar\n  CLASSPATH_JAR: inside\n/:\n"
     "CLASSPATH_JAR: lib/b.jar\n",
     "@M@: line 5: CLASSPATH_JAR is given again (first at line 1), and only "
     "the last would be packed; list every file of a tag in one value block",
     {}},
    {"one value block packs every jar in order",
     "CLASSPATH_JAR:\n  lib/b.jar\n  lib/a.jar\n/:\n",
     "",
     {{3, 0, "b.jar"}, {3, 1, "a.jar"}}},
    {"a manifest that does not parse",
     "JVM:\n  j1.tag\n",
     "Syntax error in @M@ at line 1 ==> Missing /: tag completer.",
     {}},
};

TEST(PackManifest, Cases) {
  ScratchDir dir;
  mkdir(dir.file("lib").c_str(), 0755);
  mkdir(dir.file("sub").c_str(), 0755);
  for (const auto& file : kFiles) writeFile(dir.file(file.first), file.second);
  std::string manifestPath = dir.file("manifest.tag");
  auto expand = [&](std::string text) {
    for (size_t at; (at = text.find("@M@")) != std::string::npos;)
      text.replace(at, 3, manifestPath);
    for (size_t at; (at = text.find("@DIR@")) != std::string::npos;)
      text.replace(at, 5, dir.path());
    return text;
  };
  for (const ManifestCase& c : kCases) {
    SCOPED_TRACE(c.name);
    writeFile(manifestPath, expand(c.manifest));
    PackManifest manifest;
    std::string error;
    bool loaded = manifest.load(manifestPath, error);
    EXPECT_EQ(loaded, c.error.empty());
    EXPECT_EQ(loaded ? "" : error, expand(c.error));
    if (!loaded) continue;
    std::vector<Packed> packed;
    for (const PackItem& item : manifest.items()) {
      packed.push_back({item.type, item.id, item.name});
      EXPECT_EQ(item.length, static_cast<long>(readFile(item.path).size()));
    }
    EXPECT_EQ(packed, c.packed);
  }
}

TEST(PackManifest, RelativePathsAreTakenFromTheManifestsDirectory) {
  ScratchDir dir;
  mkdir(dir.file("m").c_str(), 0755);
  writeFile(dir.file("m/app.jar"), "JAR");
  writeFile(dir.file("m/manifest.tag"), "APPLICATION_JAR: app.jar\n");
  // Named relative to the current directory, which is elsewhere.
  std::string error;
  PackManifest manifest;
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  bool loaded = manifest.load("m/manifest.tag", error);
  ASSERT_EQ(chdir("/"), 0);
  ASSERT_TRUE(loaded) << error;
  ASSERT_EQ(manifest.items().size(), 1u);
  EXPECT_EQ(manifest.items()[0].path, dir.file("m/app.jar"));
  EXPECT_EQ(manifest.path(), dir.file("m/manifest.tag"));

  EXPECT_FALSE(manifest.load(dir.file("none.tag"), error));
  EXPECT_EQ(error, "cannot open the manifest " + dir.file("none.tag") +
                       ": No such file or directory");
}

TEST(PackManifest, StoredNames) {
  struct {
    std::string name;
    bool fit;
  } const cases[] = {
      {"app.jar", true},
      {" spaced name ", true},
      {"..hidden", true},
      {"a..b", true},
      {std::string(32767, 'x'), true},
      {"", false},
      {".", false},
      {"..", false},
      {"a/b", false},
      {"a\nb", false},
      {std::string("a\0b", 3), false},
      {std::string(32768, 'x'), false},
      {"input.tag", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 20));
    std::string error;
    EXPECT_EQ(checkStoredName(c.name, error), c.fit);
    EXPECT_EQ(error.empty(), c.fit);
  }
}

}  // namespace
