// Searching, comparing, editing and the failures of SString.
#include <gtest/gtest.h>

#include <string>

#include "core/SString.h"
#include "core/tests/SStringPrinter.h"

namespace {

const SString::size_type npos = SString::npos;

TEST(SStringSearch, RulesForEveryFamily) {
  enum Op { Find, RFind, FirstOf, LastOf, FirstNotOf, LastNotOf };
  struct Case {
    Op op;
    const char* text;
    const char* pattern;
    SString::size_type pos;
    SString::size_type expected;
  };
  const Case cases[] = {
      // find
      {Find, "abcabc", "bc", 0, 1},
      {Find, "abcabc", "bc", 2, 4},
      {Find, "abcabc", "bc", 5, npos},
      {Find, "abcabc", "", 3, 3},
      {Find, "abcabc", "", 6, 6},     // empty pattern at the end
      {Find, "abcabc", "", 7, npos},  // past the end
      {Find, "abcabc", "x", 0, npos},
      {Find, "abc", "abcd", 0, npos},  // longer than what is left
      {Find, "abc", "c", 3, npos},     // pos at length
      {Find, "", "", 0, 0},
      {Find, "aaab", "aab", 0, 1},
      // rfind
      {RFind, "abcabc", "bc", npos, 4},
      {RFind, "abcabc", "bc", 3, 1},
      {RFind, "abcabc", "bc", 4, 4},
      {RFind, "abcabc", "", npos, 6},  // empty: min(pos, length)
      {RFind, "abcabc", "", 2, 2},
      {RFind, "abcabc", "abc", 0, 0},
      {RFind, "abc", "abcd", npos, npos},
      {RFind, "abc", "x", npos, npos},
      {RFind, "", "a", npos, npos},
      // find_first_of
      {FirstOf, "hello world", "ow", 0, 4},
      {FirstOf, "hello world", "ow", 5, 6},
      {FirstOf, "hello world", "", 0, npos},
      {FirstOf, "hello", "xyz", 0, npos},
      {FirstOf, "hello", "o", 5, npos},
      // find_last_of
      {LastOf, "hello world", "ol", npos, 9},
      {LastOf, "hello world", "ol", 8, 7},
      {LastOf, "hello world", "h", 0, 0},
      {LastOf, "hello world", "", npos, npos},
      {LastOf, "", "a", npos, npos},
      // find_first_not_of
      {FirstNotOf, "  \tword", " \t", 0, 3},
      {FirstNotOf, "aaaa", "a", 0, npos},
      {FirstNotOf, "abc", "", 1, 1},
      {FirstNotOf, "abc", "x", 3, npos},
      // find_last_not_of
      {LastNotOf, "word \t ", " \t", npos, 3},
      {LastNotOf, "aaaa", "a", npos, npos},
      {LastNotOf, "abc", "", npos, 2},
      {LastNotOf, "abcc", "c", 1, 1},
      {LastNotOf, "", "", npos, npos},
  };
  for (const Case& c : cases) {
    const SString text(c.text);
    const SString pattern(c.pattern);
    SString::size_type got = 0;
    switch (c.op) {
      case Find:
        got = text.find(pattern, c.pos);
        break;
      case RFind:
        got = text.rfind(pattern, c.pos);
        break;
      case FirstOf:
        got = text.find_first_of(pattern, c.pos);
        break;
      case LastOf:
        got = text.find_last_of(pattern, c.pos);
        break;
      case FirstNotOf:
        got = text.find_first_not_of(pattern, c.pos);
        break;
      case LastNotOf:
        got = text.find_last_not_of(pattern, c.pos);
        break;
    }
    EXPECT_EQ(c.expected, got)
        << "op " << c.op << " in \"" << c.text << "\" for \"" << c.pattern
        << "\" from " << c.pos;
  }
}

TEST(SStringSearch, OverloadsAgree) {
  const SString text("path/to/file.txt");
  EXPECT_EQ(4u, text.find('/'));
  EXPECT_EQ(7u, text.rfind('/'));
  EXPECT_EQ(4u, text.find("/t"));
  EXPECT_EQ(4u, text.find("/tx", 0, 2));
  EXPECT_EQ(12u, text.find_first_of(".", 0));
  EXPECT_EQ(12u, text.find_first_of("./", 5, 1));
  EXPECT_EQ(7u, text.find_last_of('/'));
  EXPECT_EQ(1u, text.find_first_not_of('p'));
  EXPECT_EQ(14u, text.find_last_not_of('t'));
  EXPECT_EQ(npos, text.find_first_of("", 0, 0));
  // Embedded NUL bytes are ordinary characters.
  const SString bytes("a\0b", 3);
  EXPECT_EQ(1u, bytes.find('\0'));
  EXPECT_EQ(2u, bytes.find(SString("b")));
}

TEST(SStringCompare, SignOfResult) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"abc", "abc", 0},     {"abc", "abd", -1}, {"abd", "abc", 1},
      {"ab", "abc", -1},     {"abc", "ab", 1},   {"", "", 0},
      {"", "a", -1},         {"\x80", "a", 1},  // bytes compare unsigned
      {"a\xff", "a\x01", 1},
  };
  for (const Case& c : cases) {
    int r = SString(c.a).compare(SString(c.b));
    int sign = r < 0 ? -1 : r > 0 ? 1 : 0;
    EXPECT_EQ(c.sign, sign) << c.a << " vs " << c.b;
    int rc = SString(c.a).compare(c.b);
    EXPECT_EQ(c.sign, rc < 0 ? -1 : rc > 0 ? 1 : 0) << c.a << " vs C " << c.b;
  }
}

TEST(SStringCompare, SubRanges) {
  const SString s("hello world");
  EXPECT_EQ(0, s.compare(6, 5, SString("world")));
  EXPECT_EQ(0, s.compare(6, npos, SString("world")));  // count clipped
  EXPECT_EQ(0, s.compare(0, 5, SString("say hello"), 4, npos));
  EXPECT_EQ(0, s.compare(0, 3, "help", 3));
  EXPECT_GT(s.compare(0, 4, "help", 3), 0);  // longer after equal prefix
  EXPECT_LT(s.compare(0, 4, "help"), 0);
  EXPECT_EQ(0, s.compare(11, 0, ""));
  EXPECT_LT(s.compare(11, 1, "x"), 0);
}

TEST(SStringEdit, ModifyingOperations) {
  struct Case {
    const char* name;
    void (*op)(SString&);
    const char* expected;
  };
  const Case cases[] = {
      {"append substr", [](SString& s) { s.append(SString("xyz"), 1, npos); },
       "hello worldyz"},
      {"append count", [](SString& s) { s.append("!!!", 2); }, "hello world!!"},
      {"append chars", [](SString& s) { s.append(3, '.'); }, "hello world..."},
      {"+= char", [](SString& s) { s += '?'; }, "hello world?"},
      {"insert front", [](SString& s) { s.insert(0, ">> "); },
       ">> hello world"},
      {"insert end", [](SString& s) { s.insert(11, "!"); }, "hello world!"},
      {"insert substr", [](SString& s) { s.insert(5, SString("a,b"), 1, 1); },
       "hello, world"},
      {"insert chars", [](SString& s) { s.insert(5, 2, '-'); },
       "hello-- world"},
      {"insert count", [](SString& s) { s.insert(0, "abc", 1); },
       "ahello world"},
      {"erase middle", [](SString& s) { s.erase(5, 1); }, "helloworld"},
      {"erase clipped", [](SString& s) { s.erase(5, 100); }, "hello"},
      {"erase to end", [](SString& s) { s.erase(5); }, "hello"},
      {"erase nothing", [](SString& s) { s.erase(11); }, "hello world"},
      {"replace shorter", [](SString& s) { s.replace(0, 5, "hi"); },
       "hi world"},
      {"replace longer", [](SString& s) { s.replace(6, 5, "everybody"); },
       "hello everybody"},
      {"replace clipped",
       [](SString& s) { s.replace(6, npos, SString("you")); }, "hello you"},
      {"replace substr",
       [](SString& s) { s.replace(0, 1, SString("xHy"), 1, 1); },
       "Hello world"},
      {"replace chars", [](SString& s) { s.replace(5, 1, 3, '_'); },
       "hello___world"},
      {"replace count", [](SString& s) { s.replace(0, 5, "bye!", 3); },
       "bye world"},
      {"replace all", [](SString& s) { s.replace(0, npos, ""); }, ""},
      {"assign substr", [](SString& s) { s.assign(SString("abcdef"), 2, 2); },
       "cd"},
      {"assign count", [](SString& s) { s.assign("abcdef", 3); }, "abc"},
      {"assign chars", [](SString& s) { s.assign(4, 'z'); }, "zzzz"},
      {"assign char", [](SString& s) { s = 'q'; }, "q"},
      {"resize down", [](SString& s) { s.resize(4); }, "hell"},
      {"resize up", [](SString& s) { s.resize(13, '!'); }, "hello world!!"},
  };
  for (const Case& c : cases) {
    SString s("hello world");
    c.op(s);
    EXPECT_EQ(c.expected, s) << c.name;
    EXPECT_EQ(std::string(c.expected).size(), s.length()) << c.name;
    EXPECT_EQ('\0', s.c_str()[s.length()]) << c.name;
  }
}

TEST(SStringEdit, ResizeFillsWithNulByDefault) {
  SString s("ab");
  s.resize(4);
  EXPECT_EQ(4u, s.length());
  EXPECT_EQ(0, std::string(s.c_str(), 4).compare(std::string("ab\0\0", 4)));
}

TEST(SStringEdit, ConstructorsAndAccessors) {
  EXPECT_EQ("llo", SString(SString("hello"), 2));
  EXPECT_EQ("el", SString(SString("hello"), 1, 2));
  EXPECT_EQ("he", SString("hello", 2));
  EXPECT_EQ("xxx", SString(3, 'x'));
  EXPECT_EQ("", SString(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(SString().empty());
  EXPECT_STREQ("", SString().c_str());
  EXPECT_STREQ("", SString().data());
  EXPECT_EQ(4294967293u, SString().max_size());
  EXPECT_EQ("ell", SString("hello").substr(1, 3));
  EXPECT_EQ("", SString("hello").substr(5));
  char buffer[8] = "#######";
  EXPECT_EQ(3u, SString("hello").copy(buffer, 3, 1));
  EXPECT_STREQ("ell####", buffer);  // no terminator written
  EXPECT_EQ(2u, SString("hello").copy(buffer, 10, 3));
  EXPECT_EQ("ab" + SString("cd") + 'e', "abcde");
  EXPECT_EQ('x' + SString("y") + "z", SString("xyz"));
  EXPECT_TRUE(SString("a") < SString("b"));
  EXPECT_TRUE(SString("a") != "b");
}

TEST(SStringFailures, RangeAndLengthExceptions) {
  enum Kind { Range, Length, None };
  struct Case {
    const char* name;
    void (*op)();
    Kind kind;
  };
  const Case cases[] = {
      {"at == length",
       [] {
         SString s("ab");
         s.at(2);
       },
       Range},
      {"const at == length",
       [] {
         const SString s("ab");
         s.at(2);
       },
       Range},
      {"at on empty",
       [] {
         SString s;
         s.at(0);
       },
       Range},
      {"erase past end",
       [] {
         SString s("ab");
         s.erase(3);
       },
       Range},
      {"erase at end",
       [] {
         SString s("ab");
         s.erase(2);
       },
       None},
      {"insert past end",
       [] {
         SString s("ab");
         s.insert(3, "x");
       },
       Range},
      {"insert source past end",
       [] {
         SString s("ab");
         s.insert(0, SString("x"), 2, 1);
       },
       Range},
      {"replace past end",
       [] {
         SString s("ab");
         s.replace(3, 1, "x");
       },
       Range},
      {"assign past end",
       [] {
         SString s;
         s.assign(SString("ab"), 3, 1);
       },
       Range},
      {"append past end",
       [] {
         SString s;
         s.append(SString("ab"), 3, 1);
       },
       Range},
      {"compare past end", [] { SString("ab").compare(3, 1, "x"); }, Range},
      {"compare source past end",
       [] { SString("ab").compare(0, 1, SString("x"), 2, 1); }, Range},
      {"copy past end",
       [] {
         char b[4];
         SString("ab").copy(b, 1, 3);
       },
       Range},
      {"substr past end", [] { SString("ab").substr(3); }, Range},
      {"substring constructor", [] { SString s(SString("ab"), 3); }, Range},
      {"reserve beyond max",
       [] {
         SString s;
         s.reserve(4294967294u);
       },
       Length},
      {"assign npos chars",
       [] {
         SString s;
         s.assign(npos, 'x');
       },
       Length},
      {"append reaching npos",
       [] {
         SString s("ab");
         s.append(npos - 2, 'x');
       },
       Length},
      {"insert reaching npos",
       [] {
         SString s("ab");
         s.insert(0, npos - 2, 'x');
       },
       Length},
      {"replace reaching npos",
       [] {
         SString s("ab");
         s.replace(0, 0, npos - 2, 'x');
       },
       Length},
      {"resize to npos",
       [] {
         SString s("ab");
         s.resize(npos);
       },
       Length},
  };
  for (const Case& c : cases) {
    Kind got = None;
    try {
      c.op();
    } catch (const RangeException&) {
      got = Range;
    } catch (const LengthException&) {
      got = Length;
    }
    EXPECT_EQ(c.kind, got) << c.name;
  }
}

TEST(SStringFailures, FailedOperationLeavesStringIntact) {
  SString s("keep");
  SString shared(s);
  EXPECT_THROW(s.insert(9, "x"), RangeException);
  EXPECT_THROW(s.append(npos - 1, 'x'), LengthException);
  EXPECT_EQ("keep", s);
  EXPECT_EQ(s.c_str(), shared.c_str());
}

}  // namespace
