// The free text helpers: numbers, trimming, quoting, line and token
// reading, argument parsing, widening and console output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "core/LauncherException.h"
#include "core/TextHelpers.h"
#include "core/tests/SStringPrinter.h"

namespace {

const unsigned npos = SString::npos;

TEST(TextHelpers, ConvertToLongAndShort) {
  struct Case {
    const char* text;
    bool ok;
    long value;
  };
  const Case longs[] = {
      {"42", true, 42},    {"  -17abc", true, -17},
      {"\t\n+5", true, 5}, {"abc", false, 0},
      {"", false, 0},      {"   ", false, 0},
      {"-", false, 0},     {"007", true, 7},
      {"1 2", true, 1},    {"99999999999999999999", true, LONG_MAX},
  };
  for (const Case& c : longs) {
    long value = -999;
    EXPECT_EQ(c.ok, convertToLong(c.text, value)) << c.text;
    EXPECT_EQ(c.ok ? c.value : -999, value) << c.text;
  }
  const Case shorts[] = {
      {"12", true, 12},
      {"-3x", true, -3},
      {"70000", true, 4464},  // low bits
      {"yes", false, 0},
  };
  for (const Case& c : shorts) {
    short value = -999;
    EXPECT_EQ(c.ok, convertToShort(c.text, value)) << c.text;
    EXPECT_EQ(c.ok ? c.value : -999, value) << c.text;
  }
}

TEST(TextHelpers, ConvertToString) {
  EXPECT_EQ("0", convertToString(0));
  EXPECT_EQ("-5", convertToString(-5));
  EXPECT_EQ(std::to_string(LONG_MIN).c_str(), convertToString(LONG_MIN));
}

TEST(TextHelpers, IsWhitespace) {
  for (char c : std::string(" \t\n\r")) EXPECT_TRUE(isWhitespace(c)) << int(c);
  for (char c : std::string("\v\fa_\0", 5))
    EXPECT_FALSE(isWhitespace(c)) << int(c);
  EXPECT_STREQ(" \t\n\r", whitespaceChars);
}

TEST(TextHelpers, Trim) {
  struct Case {
    const char* text;
    const char* set;
    const char* expected;
  };
  const Case cases[] = {
      {"  a b  ", whitespaceChars, "a b"},
      {" \t \t", whitespaceChars, ""},
      {"\r\nline\r\n", whitespaceChars, "line"},
      {"", whitespaceChars, ""},
      {"x", whitespaceChars, "x"},
      {"//path//", "/", "path"},
      {"  keep  ", "", "  keep  "},
  };
  for (const Case& c : cases) {
    SString s(c.text);
    trim(s, c.set);
    EXPECT_EQ(c.expected, s) << '"' << c.text << '"';
  }
}

TEST(TextHelpers, TrimDoesNotCopyUntouchedSharedText) {
  SString original("clean");
  SString copy(original);
  trim(copy, whitespaceChars);
  EXPECT_EQ(original.c_str(), copy.c_str());
}

TEST(TextHelpers, StripQuotes) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"\"", ""},       {"\"\"", ""},       {"\"abc", "abc"},
      {"abc\"", "abc"}, {"\"a b\"", "a b"}, {"a", "a"},
      {"", ""},         {"\"\"\"", "\""},   {"a\"b", "a\"b"},
  };
  for (const Case& c : cases) {
    SString s(c.text);
    stripQuotes(s);
    EXPECT_EQ(c.expected, s) << c.text;
  }
}

TEST(TextHelpers, StringEndsWithAndPathSeparator) {
  struct Ends {
    const char* text;
    const char* suffix;
    unsigned expected;
  };
  const Ends ends[] = {
      {"file.txt", ".txt", 4}, {"file.txt", ".TXT", npos}, {"a", "abc", npos},
      {"abc", "", 3},          {"1.4...", "...", 3},       {"", "", 0},
  };
  for (const Ends& c : ends)
    EXPECT_EQ(c.expected, stringEndsWith(c.text, c.suffix)) << c.text;

  struct Sep {
    const char* path;
    const char* expected;
  };
  const Sep seps[] = {{"", ""}, {"/", "/"}, {"a", "a/"}, {"a/b/", "a/b/"}};
  for (const Sep& c : seps) {
    SString s(c.path);
    appendPathSeparator(s);
    EXPECT_EQ(c.expected, s) << c.path;
  }
}

struct LineStep {
  const char* line;
  unsigned pos;
};

TEST(TextHelpers, ReadLineFromString) {
  struct Case {
    const char* name;
    std::string text;
    unsigned start;
    std::vector<LineStep> steps;
  };
  const Case cases[] = {
      {"carriage return and feed", "a\r\nb", 0, {{"a", 3}, {"b", 5}}},
      {"trimmed", "  x y \t\nz", 0, {{"x y", 8}, {"z", 10}}},
      {"empty lines", "\n\nq", 0, {{"", 1}, {"", 2}, {"q", 4}}},
      {"carriage returns inside", "a\rb\rc", 0, {{"abc", 6}}},
      {"from the middle", "one\ntwo", 4, {{"two", 8}}},
      {"ends with feed", "last\n", 0, {{"last", 5}}},
  };
  for (const Case& c : cases) {
    SString text(c.text.data(), static_cast<unsigned>(c.text.size()));
    unsigned pos = c.start;
    for (const LineStep& step : c.steps) {
      SString line("old");
      readLineFromString(text, pos, line);
      EXPECT_EQ(step.line, line) << c.name;
      EXPECT_EQ(step.pos, pos) << c.name;
    }
    // At or past the end the line is left alone.
    SString untouched("untouched");
    unsigned before = pos;
    readLineFromString(text, pos, untouched);
    EXPECT_EQ("untouched", untouched) << c.name;
    EXPECT_EQ(before, pos) << c.name;
  }
}

TEST(TextHelpers, ReadLineFromStream) {
  std::string longLine(700, 'L');
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> lines;  // read until end of file
  };
  const Case cases[] = {
      {"trims and drops carriage returns",
       "  a b \r\nc\rd\n",
       {"a b", "cd", ""}},
      {"last line without feed", "x\ny", {"x", "y"}},
      {"empty stream", "", {""}},
      {"long line", longLine + "\nnext", {longLine, "next"}},
      {"blank lines", "\n \t\nz\n", {"", "", "z", ""}},
  };
  for (const Case& c : cases) {
    FILE* f = std::tmpfile();
    ASSERT_NE(nullptr, f);
    std::fwrite(c.content.data(), 1, c.content.size(), f);
    std::rewind(f);
    std::vector<std::string> got;
    while (!std::feof(f)) {
      SString line;
      readLineFromStream(f, line);
      got.push_back(line.c_str());
    }
    std::fclose(f);
    EXPECT_EQ(c.lines, got) << c.name;
  }
}

TEST(TextHelpers, ReadLineFromStreamAppends) {
  FILE* f = std::tmpfile();
  ASSERT_NE(nullptr, f);
  std::fputs("tail \n", f);
  std::rewind(f);
  SString line("head ");
  readLineFromStream(f, line);
  std::fclose(f);
  EXPECT_EQ("head tail", line);
}

TEST(TextHelpers, GetTokenFromString) {
  struct Step {
    const char* token;
    unsigned pos;
    bool noToken;
  };
  struct Case {
    const char* text;
    unsigned start;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"  SET x", 0, {{"SET", 6, false}, {"x", 8, false}, {"", 8, true}}},
      {"JMP0\t:label\v",
       0,
       {{"JMP0", 5, false}, {":label", 12, false}, {"", 13, true}}},
      {"   ", 0, {{"", 4, true}}},
      {"", 0, {{"", 1, true}}},
      {"a b", 2, {{"b", 4, false}}},
  };
  for (const Case& c : cases) {
    SString text(c.text);
    unsigned pos = c.start;
    for (const Step& step : c.steps) {
      bool noToken = !step.noToken;
      SString token = getTokenFromString(text, pos, noToken);
      EXPECT_EQ(step.token, token) << c.text;
      EXPECT_EQ(step.pos, pos) << c.text;
      EXPECT_EQ(step.noToken, noToken) << c.text;
    }
  }
}

TEST(TextHelpers, ParseStringArgument) {
  struct Case {
    const char* name;
    const char* text;
    unsigned start;
    bool quoted;
    const char* argument;
    unsigned pos;
  };
  const Case cases[] = {
      {"unquoted word", "abc def", 0, false, "abc", 3},
      {"unquoted to end", "abc", 0, false, "abc", npos},
      {"unquoted after tab", "abc\tdef", 4, false, "def", npos},
      {"unquoted at white space", "a  b", 1, false, "", 1},
      {"unquoted past end", "abc", npos, false, "", npos},
      {"quoted with doubled quote", "a\"\"b\" rest", 0, true, "a\"b", 5},
      {"quoted to end", "abc\"", 0, true, "abc", npos},
      {"quoted empty", "\"", 0, true, "", npos},
      {"quoted leading pair", "\"\"x\"", 0, true, "\"x", npos},
      {"quoted keeps blanks", "  a  \" tail", 0, true, "  a  ", 6},
      {"quoted two pairs", "\"\"\"\"\"", 0, true, "\"\"", npos},
  };
  for (const Case& c : cases) {
    unsigned pos = c.start;
    SString argument = parseStringArgument(c.text, pos, c.quoted);
    EXPECT_EQ(c.argument, argument) << c.name;
    EXPECT_EQ(c.pos, pos) << c.name;
  }
}

TEST(TextHelpers, ParseStringArgumentUnterminated) {
  struct Case {
    const char* text;
    unsigned start;
    const char* message;
  };
  const Case cases[] = {
      {"no quote at all", 0, "Expected double quote to end argument near 0"},
      {"abc", 2, "Expected double quote to end argument near 2"},
      {"ends in a pair\"\"", 0,
       "Expected double quote to end argument near -1"},
      {"x\"\"y", 0, "Expected double quote to end argument near 3"},
      {"", 0, "Expected double quote to end argument near 0"},
  };
  for (const Case& c : cases) {
    unsigned pos = c.start;
    try {
      parseStringArgument(c.text, pos, true);
      ADD_FAILURE() << "no exception for " << c.text;
    } catch (const LauncherException& e) {
      EXPECT_EQ(c.message, e.getMessage()) << c.text;
    }
  }
}

TEST(TextHelpers, ConvertToUnicode) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<wchar_t> wide;  // without the terminator
  };
  const Case cases[] = {
      {"escape", "\\u0041x", {0x41, L'x'}},
      {"upper-case escape", "\\U00e9", {0xE9}},
      {"escape in text", "a\\u20ACb", {L'a', 0x20AC, L'b'}},
      {"too short", "\\u12", {L'\\', L'u', L'1', L'2'}},
      {"not hexadecimal", "\\uzzzz", {L'\\', L'u', L'z', L'z', L'z', L'z'}},
      {"lone backslash", "a\\b", {L'a', L'\\', L'b'}},
      {"two-byte UTF-8", "caf\xC3\xA9", {L'c', L'a', L'f', 0xE9}},
      {"three-byte UTF-8", "\xE2\x82\xAC", {0x20AC}},
      {"four-byte UTF-8", "\xF0\x9F\x98\x80", {0x1F600}},
      {"Latin-1 byte", "caf\xE9", {L'c', L'a', L'f', 0xE9}},
      {"overlong", "\xC0\x80", {0xC0, 0x80}},
      {"surrogate", "\xED\xA0\x80", {0xED, 0xA0, 0x80}},
      {"truncated", "\xE2\x82", {0xE2, 0x82}},
      {"bad continuation", "\xC3(", {0xC3, L'('}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) {
    SString text(c.text.data(), static_cast<unsigned>(c.text.size()));
    wchar_t* wide = convertToUnicode(text);
    std::vector<wchar_t> got;
    for (const wchar_t* p = wide; *p; ++p) got.push_back(*p);
    // The array has room for every byte plus a terminator, all zeroed.
    for (size_t i = got.size(); i <= c.text.size(); ++i)
      EXPECT_EQ(0, wide[i]) << c.name << " at " << i;
    delete[] wide;
    EXPECT_EQ(c.wide, got) << c.name;
  }
}

// Runs fn with stream (stdout or stderr) sent to a temporary file;
// returns what it printed there.
std::string capture(FILE* stream, void (*fn)()) {
  std::fflush(stream);
  FILE* capture = std::tmpfile();
  int saved = dup(fileno(stream));
  dup2(fileno(capture), fileno(stream));
  fn();
  std::fflush(stream);
  dup2(saved, fileno(stream));
  close(saved);
  std::rewind(capture);
  std::string out;
  int c;
  while ((c = std::fgetc(capture)) != EOF) out += static_cast<char>(c);
  std::fclose(capture);
  return out;
}

TEST(TextHelpers, ConsoleOutputFollowsTheFlag) {
  struct Case {
    const char* name;
    bool enabled;
    const char* expected;
  };
  const Case cases[] = {
      {"enabled", true, "line\ncstring\npartial %s"},
      {"disabled", false, ""},
  };
  // The console is standard error: standard output is the application's.
  auto writeAll = [] {
    writeLine(SString("line"));
    writeLine("cstring");
    write("partial %s");
  };
  for (const Case& c : cases) {
    g_enableOutput = c.enabled;
    std::string console = capture(stderr, writeAll);
    std::string results = capture(stdout, writeAll);
    g_enableOutput = true;
    EXPECT_EQ(c.expected, console) << c.name;
    EXPECT_EQ("", results) << c.name;
  }
}

TEST(TextHelpers, GetLineReadsOneBoundedWord) {
  FILE* input = std::tmpfile();
  ASSERT_NE(nullptr, input);
  std::string longWord(1500, 'w');
  std::fputs(("  first second\n" + longWord + "\n").c_str(), input);
  std::rewind(input);
  int saved = dup(fileno(stdin));
  dup2(fileno(input), fileno(stdin));
  SString first = getLine();
  SString second = getLine();
  SString bounded = getLine();
  SString rest = getLine();
  while (std::getchar() != EOF) {
  }
  SString atEnd = getLine();
  std::clearerr(stdin);
  dup2(saved, fileno(stdin));
  close(saved);
  std::fclose(input);
  EXPECT_EQ("first", first);
  EXPECT_EQ("second", second);
  EXPECT_EQ(1023u, bounded.length());
  EXPECT_EQ(477u, rest.length());
  EXPECT_EQ("", atEnd);
}

}  // namespace
