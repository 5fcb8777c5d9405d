// Reading, writing and editing tag files.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/tests/SStringPrinter.h"
#include "tagfile/TagFile.h"
#include "testsupport/ScratchDir.h"

namespace {

typedef std::vector<std::pair<std::string, std::vector<std::string>>> Tags;

Tags tagsOf(const TagFile& file) {
  Tags tags;
  const TagFileEntryPtrDeque& entries = file.getEntries();
  for (int i = 0; i < entries.count(); ++i) {
    const TagFileEntry* entry = entries.at(i);
    std::vector<std::string> values;
    const StringDeque* v = entry->getValues();
    for (int j = 0; j < v->count(); ++j)
      values.push_back(std::string(v->at(j).c_str(), v->at(j).length()));
    tags.emplace_back(entry->getName().c_str(), values);
  }
  return tags;
}

struct LogEntry {
  std::string text;
  int type;
};
std::vector<LogEntry> g_logged;

void recordLog(const SString& text, int type) {
  g_logged.push_back({text.c_str(), type});
}

class TagFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = m_scratch.path();
    g_logged.clear();
    g_logHandler = &recordLog;
  }

  void TearDown() override { g_logHandler = nullptr; }

  std::string path(const char* name) {
    std::string p = m_dir + "/" + name;
    return p;
  }

  std::string writeFile(const char* name, const std::string& content) {
    std::string p = path(name);
    FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return p;
  }

  static std::string readFile(const std::string& p) {
    std::string content;
    FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return content;
    int c;
    while ((c = std::fgetc(f)) != EOF) content += static_cast<char>(c);
    std::fclose(f);
    return content;
  }

  ScratchDir m_scratch;
  std::string m_dir;
};

TEST_F(TagFileTest, ReadsTheFormat) {
  struct Case {
    const char* name;
    std::string content;
    Tags tags;
  };
  const Case cases[] = {
      {"only blank lines", "\n  \n\t\n\n", {}},
      {"empty file", "", {}},
      {"redefinition moves to the end",
       "A: 1\nB: x\nC: y\nA: 2\n",
       {{"B", {"x"}}, {"C", {"y"}}, {"A", {"2"}}}},
      {"tab after colon, inner blanks kept, trailing dropped",
       "A:\tvalue with  inner\t  \n",
       {{"A", {"value with  inner"}}}},
      {"quoted single value",
       "A: \"say \"\"hi\"\" now\" ignored words\n",
       {{"A", {"say \"hi\" now"}}}},
      {"quoted single value keeps blanks",
       "A:  \"  two \"\n",
       {{"A", {"  two "}}}},
      {"quoted empty single value", "A: \"\"\n", {{"A", {""}}}},
      {"block skips empty lines and empty values",
       "L:\n  x\n\n\"\"\n  y\n/:\n",
       {{"L", {"x", "y"}}}},
      {"quoted completer ends a block",
       "L:\na\n\"/:\"\nB: 1\n",
       {{"L", {"a"}}, {"B", {"1"}}}},
      {"empty block", "L:\n/:\nB: 1\n", {{"L", {}}, {"B", {"1"}}}},
      {"quoted block value",
       "L:\n  \"  padded \"\" \" after\n/:\n",
       {{"L", {"  padded \" "}}}},
      {"block closed on the last line", "L:\nx\n/:", {{"L", {"x"}}}},
      {"colon with trailing blanks opens a block",
       "L:   \nv\n/:\n",
       {{"L", {"v"}}}},
      {"name trimmed", "  Name \t:v\n", {{"Name", {"v"}}}},
      {"value holds colons",
       "URL: http://host:8080/x\n",
       {{"URL", {"http://host:8080/x"}}}},
      {"names are case-sensitive",
       "a: 1\nA: 2\n",
       {{"a", {"1"}}, {"A", {"2"}}}},
      {"carriage returns dropped",
       "A: 1\r\nB:\r\n  v\r\n/:\r\nC: x\ry\n",
       {{"A", {"1"}}, {"B", {"v"}}, {"C", {"xy"}}}},
      {"last line without feed", "A: 1\nB: 2", {{"A", {"1"}}, {"B", {"2"}}}},
      {"redefined block",
       "L:\na\nb\n/:\nM: m\nL: single\n",
       {{"M", {"m"}}, {"L", {"single"}}}},
  };
  for (const Case& c : cases) {
    std::string p = writeFile("read.tag", c.content);
    TagFile file{SString(p.c_str())};
    EXPECT_TRUE(file.isLoaded()) << c.name;
    EXPECT_EQ(c.tags, tagsOf(file)) << c.name;
    EXPECT_EQ(p.c_str(), file.getFileName()) << c.name;
  }
  EXPECT_TRUE(g_logged.empty());
}

TEST_F(TagFileTest, SyntaxErrors) {
  struct Case {
    const char* name;
    std::string content;
    const char* message;
    bool logged;
    Tags kept;
  };
  const Case cases[] = {
      {"third line without colon",
       "A: 1\nB: 2\nno colon here\nC: 3\n",
       "Syntax error in F at line 3 ==> Missing colon at the end of the tag "
       "name.",
       true,
       {{"A", {"1"}}, {"B", {"2"}}}},
      {"blank lines are counted",
       "\n\nA: 1\n\nbad\n",
       "Syntax error in F at line 5 ==> Missing colon at the end of the tag "
       "name.",
       true,
       {{"A", {"1"}}}},
      {"block without completer",
       "A: 1\nL:\nx\n\ny\n",
       "Syntax error in F at line 2 ==> Missing /: tag completer.",
       true,
       {{"A", {"1"}}, {"L", {"x", "y"}}}},
      {"block opened on the last line",
       "L:",
       "Syntax error in F at line 1 ==> Missing /: tag completer.",
       true,
       {{"L", {}}}},
      {"unterminated quoted value",
       "A: 1\nB: \"abc\n",
       "Expected double quote to end argument near 4",
       false,
       {{"A", {"1"}}}},
      {"unterminated quoted block line",
       "L:\n\"abc\"\"\n/:\n",
       "Expected double quote to end argument near -1",
       false,
       {{"L", {}}}},
  };
  for (const Case& c : cases) {
    g_logged.clear();
    std::string p = writeFile("bad.tag", c.content);
    FILE* f = std::fopen(p.c_str(), "r");
    ASSERT_NE(nullptr, f);
    TagFile file;
    try {
      file.load(f, "F", 0, -1);
      ADD_FAILURE() << "no exception: " << c.name;
    } catch (const LauncherException& e) {
      EXPECT_EQ(c.message, e.getMessage()) << c.name;
    }
    std::fclose(f);
    EXPECT_FALSE(file.isLoaded()) << c.name;
    EXPECT_EQ(c.kept, tagsOf(file)) << c.name;
    if (c.logged) {
      ASSERT_EQ(1u, g_logged.size()) << c.name;
      EXPECT_EQ(c.message, g_logged[0].text) << c.name;
      EXPECT_EQ(2, g_logged[0].type) << c.name;
    } else {
      EXPECT_TRUE(g_logged.empty()) << c.name;
    }
  }
}

TEST_F(TagFileTest, ByteRanges) {
  const std::string before = "OUTER: before\n";
  const std::string inner = "A: 1\nL:\nx\n/:\nB: 2\n";
  const std::string after = "NEXT: after\nMORE:\nm\n/:\n";
  std::string p = writeFile("archive.bin", before + inner + after);
  const long start = static_cast<long>(before.size());
  const long length = static_cast<long>(inner.size());
  struct Case {
    const char* name;
    long start;
    long length;
    Tags tags;
  };
  const Case cases[] = {
      {"exact range",
       start,
       length,
       {{"A", {"1"}}, {"L", {"x"}}, {"B", {"2"}}}},
      {"to the end of the file",
       start,
       -1,
       {{"A", {"1"}},
        {"L", {"x"}},
        {"B", {"2"}},
        {"NEXT", {"after"}},
        {"MORE", {"m"}}}},
      {"block begun inside is read to its end",
       start,
       8,
       {{"A", {"1"}}, {"L", {"x"}}}},
      {"line begun inside is read whole",
       start,
       16,
       {{"A", {"1"}}, {"L", {"x"}}, {"B", {"2"}}}},
      {"empty range", start, 0, {}},
      {"whole file",
       0,
       -1,
       {{"OUTER", {"before"}},
        {"A", {"1"}},
        {"L", {"x"}},
        {"B", {"2"}},
        {"NEXT", {"after"}},
        {"MORE", {"m"}}}},
  };
  for (const Case& c : cases) {
    FILE* f = std::fopen(p.c_str(), "r");
    ASSERT_NE(nullptr, f);
    TagFile file;
    file.load(f, "embedded.tag", c.start, c.length);
    std::fclose(f);
    EXPECT_TRUE(file.isLoaded()) << c.name;
    EXPECT_EQ("embedded.tag", file.getFileName()) << c.name;
    EXPECT_EQ(c.tags, tagsOf(file)) << c.name;
  }
}

TEST_F(TagFileTest, ByteRangeErrorsCountLinesFromTheRange) {
  std::string p = writeFile("archive.bin", "X: 1\nY: 2\nA: 1\nbroken\n");
  FILE* f = std::fopen(p.c_str(), "r");
  ASSERT_NE(nullptr, f);
  TagFile file;
  try {
    file.load(f, "inner", 10, 12);
    ADD_FAILURE() << "no exception";
  } catch (const LauncherException& e) {
    EXPECT_EQ(
        "Syntax error in inner at line 2 ==> Missing colon at the end of the "
        "tag name.",
        e.getMessage());
  }
  std::fclose(f);
}

TEST_F(TagFileTest, OpenAndSeekFailures) {
  std::string missing = m_dir + "/missing.tag";
  try {
    TagFile file{SString(missing.c_str())};
    ADD_FAILURE() << "no exception";
  } catch (const LauncherException& e) {
    EXPECT_EQ(("Unable to load input file: " + missing).c_str(),
              e.getMessage());
  }
  std::string p = writeFile("some.tag", "A: 1\n");
  FILE* f = std::fopen(p.c_str(), "r");
  ASSERT_NE(nullptr, f);
  TagFile file;
  EXPECT_THROW(
      {
        try {
          file.load(f, "x", -5, -1);
        } catch (const LauncherException& e) {
          EXPECT_EQ("Unable to read tag file.", e.getMessage());
          throw;
        }
      },
      LauncherException);
  std::fclose(f);
  EXPECT_FALSE(file.isLoaded());
}

TEST_F(TagFileTest, ReloadingReplacesDefinitions) {
  std::string first = writeFile("first.tag", "A: 1\nB: 2\n");
  std::string second = writeFile("second.tag", "A: 3\n");
  TagFile file;
  FILE* f = std::fopen(first.c_str(), "r");
  file.load(f, "first", 0, -1);
  std::fclose(f);
  f = std::fopen(second.c_str(), "r");
  file.load(f, "second", 0, -1);
  std::fclose(f);
  EXPECT_EQ((Tags{{"B", {"2"}}, {"A", {"3"}}}), tagsOf(file));
  EXPECT_EQ("second", file.getFileName());
}

TEST_F(TagFileTest, ValueAccess) {
  TagFile file;
  file.appendTagValue("LIST", "a");
  file.appendTagValue("LIST", "b");
  file.appendTagValue("LIST", "c");
  file.setTagValue("ONE", "1");

  EXPECT_EQ("b", file.getTagValue("LIST", 1));
  EXPECT_EQ("a", file.getTagValue("LIST"));
  EXPECT_EQ("", file.getTagValue("LIST", 3));
  EXPECT_EQ("", file.getTagValue("ABSENT", 0));
  EXPECT_EQ(3u, file.getTagValueCount("LIST"));
  EXPECT_EQ(0u, file.getTagValueCount("ABSENT"));
  EXPECT_EQ(nullptr, file.getValue("ABSENT"));
  EXPECT_EQ(nullptr, file.getValue("list"));
  ASSERT_NE(nullptr, file.getValue("LIST"));
  EXPECT_EQ(3, file.getValue("LIST")->count());

  file.setTagValue("LIST", "only");
  EXPECT_EQ((Tags{{"LIST", {"only"}}, {"ONE", {"1"}}}), tagsOf(file));

  file.removeValue("LIST");
  file.removeValue("ABSENT");
  EXPECT_EQ((Tags{{"ONE", {"1"}}}), tagsOf(file));
  file.setTagValue("LIST", "back");  // a new tag goes to the end
  EXPECT_EQ((Tags{{"ONE", {"1"}}, {"LIST", {"back"}}}), tagsOf(file));

  file.setDynamicJVMTags("/opt/java", "/tmp/j.jvm", true);
  EXPECT_EQ("/opt/java", file.getTagValue("JVM_HOME"));
  EXPECT_EQ("/tmp/j.jvm", file.getTagValue("JVM_FILE"));
  EXPECT_EQ("1", file.getTagValue("JVM_TEMP"));
  file.setDynamicJVMTags("/other", "f", false);
  EXPECT_EQ("0", file.getTagValue("JVM_TEMP"));
  EXPECT_EQ(1u, file.getTagValueCount("JVM_HOME"));
}

TEST_F(TagFileTest, SettingATagThatLostItsValues) {
  std::string p = writeFile("empty.tag", "L:\n/:\n");
  TagFile file{SString(p.c_str())};
  EXPECT_EQ(0u, file.getTagValueCount("L"));
  file.setTagValue("L", "v");
  EXPECT_EQ((Tags{{"L", {"v"}}}), tagsOf(file));
}

TEST_F(TagFileTest, BooleanValues) {
  struct Case {
    const char* value;  // null: tag absent
    bool defaultValue;
    bool expected;
  };
  const Case cases[] = {
      {"yes", false, false},   {"yes", true, true},      {"true", false, false},
      {"2", false, true},      {"0", true, false},       {"1", false, true},
      {"-1", false, true},     {"", true, true},         {nullptr, true, true},
      {nullptr, false, false}, {" 7 days", false, true}, {"65536", true, false},
  };
  for (const Case& c : cases) {
    TagFile file;
    if (c.value) file.setTagValue("FLAG", c.value);
    EXPECT_EQ(c.expected, file.getBoolTagValue("FLAG", c.defaultValue))
        << (c.value ? c.value : "(absent)") << " default " << c.defaultValue;
  }
  TagFile file;
  file.setBoolTagValue("ON", true);
  file.setBoolTagValue("OFF", false);
  EXPECT_EQ("1", file.getTagValue("ON"));
  EXPECT_EQ("0", file.getTagValue("OFF"));
}

TEST_F(TagFileTest, WritesTheFormat) {
  TagFile file;
  file.setTagValue("A", "plain value");
  file.setTagValue("B", "  lead");
  file.appendTagValue("C", "x");
  file.appendTagValue("C", "say \"hi\"");
  file.appendTagValue("C", "");
  file.appendTagValue("C", "end\t");
  file.setTagValue("E", "");
  file.setTagValue("Q", "\"");
  file.appendTagValue("GONE", "v");
  file.getValue("GONE")->clear();  // a tag without values is not written
  std::string p = path("out.tag");
  file.write(p.c_str());
  EXPECT_EQ(
      "A:  plain value\n"
      "B:  \"  lead\"\n"
      "C:\n"
      "  x\n"
      "  \"say \"\"hi\"\"\"\n"
      "  \"\"\n"
      "  \"end\t\"\n"
      "/:\n"
      "E:  \"\"\n"
      "Q:  \"\"\"\"\n",
      readFile(p));
}

TEST_F(TagFileTest, RoundTrips) {
  struct Case {
    const char* name;
    std::vector<std::string> values;
    std::vector<std::string> readBack;
  };
  const Case cases[] = {
      {"plain", {"value"}, {"value"}},
      {"two leading blanks", {"  two"}, {"  two"}},
      {"trailing carriage return is quoted", {"x\r"}, {"x"}},
      {"quotes inside", {"a \"b\" c"}, {"a \"b\" c"}},
      {"starts with a quote", {"\"start"}, {"\"start"}},
      {"empty single", {""}, {""}},
      {"block",
       {"one", " two ", "three \"3\""},
       {"one", " two ", "three \"3\""}},
      {"empty value in a block is lost", {"a", "", "b"}, {"a", "b"}},
      {"colons in values", {"k: v", "/path:/x"}, {"k: v", "/path:/x"}},
  };
  for (const Case& c : cases) {
    TagFile out;
    for (const std::string& v : c.values) out.appendTagValue("T", v.c_str());
    out.setTagValue("AFTER", "z");
    std::string p = path("round.tag");
    out.write(p.c_str());
    TagFile in{SString(p.c_str())};
    std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"T", c.readBack}, {"AFTER", {"z"}}};
    EXPECT_EQ(expected, tagsOf(in)) << c.name << "\n" << readFile(p);
  }
}

TEST_F(TagFileTest, WriteFailureIsSilent) {
  TagFile file;
  file.setTagValue("A", "1");
  file.write((m_dir + "/no/such/dir/out.tag").c_str());
  file.write("");
  SUCCEED();
}

}  // namespace
