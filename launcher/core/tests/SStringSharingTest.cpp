// Buffer sharing, freezing and capacity of SString.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "core/SString.h"
#include "core/tests/SStringPrinter.h"

namespace {

TEST(SStringSharing, ThreeHundredHoldersShareUpTo255AndFreeOnce) {
  std::unique_ptr<SString> source(new SString("shared text"));
  std::vector<std::unique_ptr<SString>> holders;
  for (int i = 0; i < 300; ++i) {
    holders.emplace_back(new SString);
    *holders.back() = *source;
  }
  for (int i = 0; i < 300; ++i) {
    bool shares = holders[i]->c_str() == source->c_str();
    EXPECT_EQ(i < 254, shares) << "holder " << i;
    EXPECT_EQ("shared text", *holders[i]);
  }
  EXPECT_EQ(254, source->countByte());
  EXPECT_EQ(0, holders[254]->countByte());
  // The 255th holder's private copy can be shared again.
  SString fromCopy(*holders[254]);
  EXPECT_EQ(fromCopy.c_str(), holders[254]->c_str());

  // Destroy in a scrambled order: every holder must keep its text until it
  // goes, and the buffer must be freed exactly once (valgrind checks).
  holders.emplace_back(std::move(source));
  std::mt19937 order(7);
  std::shuffle(holders.begin(), holders.end(), order);
  while (!holders.empty()) {
    holders.pop_back();
    for (const auto& h : holders) ASSERT_EQ("shared text", *h);
  }
}

TEST(SStringSharing, CopiesShareAndModificationsSplit) {
  struct Case {
    const char* name;
    void (*modify)(SString&);
    const char* expected;
  };
  const Case cases[] = {
      {"append", [](SString& s) { s.append("!"); }, "abc!"},
      {"insert", [](SString& s) { s.insert(0, "<"); }, "<abc"},
      {"erase", [](SString& s) { s.erase(1, 1); }, "ac"},
      {"replace", [](SString& s) { s.replace(0, 1, "X"); }, "Xbc"},
      {"resize", [](SString& s) { s.resize(1); }, "a"},
      {"assign", [](SString& s) { s.assign("zz"); }, "zz"},
      {"erase all", [](SString& s) { s.erase(); }, ""},
      {"reserve", [](SString& s) { s.reserve(100); }, "abc"},
  };
  for (const Case& c : cases) {
    SString original("abc");
    SString copy(original);
    ASSERT_EQ(original.c_str(), copy.c_str()) << c.name;
    ASSERT_EQ(1, original.countByte());
    c.modify(copy);
    EXPECT_EQ(c.expected, copy) << c.name;
    EXPECT_EQ("abc", original) << c.name;
    EXPECT_EQ(0, original.countByte()) << c.name;
  }
}

TEST(SStringSharing, WhatIsCopiedRatherThanShared) {
  SString source("text");
  SString whole;
  whole = source;
  EXPECT_EQ(source.c_str(), whole.c_str());

  SString part(source, 1, 2);
  EXPECT_NE(source.c_str(), part.c_str());
  EXPECT_EQ("ex", part);

  SString empty;
  SString fromEmpty(empty);
  EXPECT_EQ(0, empty.countByte());
  EXPECT_EQ(0u, fromEmpty.capacity());
}

TEST(SStringSharing, WritableAccessFreezes) {
  struct Case {
    const char* name;
    void (*touch)(SString&);
  };
  const Case cases[] = {
      {"operator[]", [](SString& s) { s[0]; }},
      {"at", [](SString& s) { s.at(0); }},
  };
  for (const Case& c : cases) {
    SString s("hello");
    SString earlier(s);  // shares before the freeze
    c.touch(s);
    EXPECT_EQ(255, s.countByte()) << c.name;
    EXPECT_NE(earlier.c_str(), s.c_str()) << c.name;
    SString t;
    t = s;
    EXPECT_NE(s.c_str(), t.c_str()) << c.name;
    s[0] = 'j';
    EXPECT_EQ("jello", s) << c.name;
    EXPECT_EQ("hello", t) << c.name;
    EXPECT_EQ("hello", earlier) << c.name;
  }
}

TEST(SStringSharing, ConstAccessDoesNotFreeze) {
  SString s("hello");
  const SString& view = s;
  EXPECT_EQ('h', view[0]);
  EXPECT_EQ('o', view.at(4));
  EXPECT_EQ(0, s.countByte());
  SString t(s);
  EXPECT_EQ(s.c_str(), t.c_str());
}

TEST(SStringSharing, IndexPastTheEndYieldsNul) {
  SString s("ab");
  const SString& view = s;
  EXPECT_EQ('\0', view[2]);  // the terminator
  EXPECT_EQ('\0', view[3]);
  EXPECT_EQ('\0', s[3]);
  SString none;
  EXPECT_EQ('\0', none[0]);
  // A write through the reference handed out past the end must not leak
  // into other strings.
  none[5] = 'x';
  EXPECT_STREQ("", SString().c_str());
  EXPECT_EQ('\0', none[7]);
  EXPECT_EQ(0u, none.length());
}

TEST(SStringSharing, CapacityRounding) {
  struct Case {
    const char* name;
    SString::size_type reserveFirst;
    SString::size_type appendCount;
    SString::size_type capacity;
  };
  const Case cases[] = {
      {"empty", 0, 0, 0},
      {"reserve 1", 1, 0, 31},
      {"31 characters", 0, 31, 31},
      {"32nd character", 1, 32, 63},
      {"reserve 64", 64, 0, 95},
      {"95 characters", 0, 95, 95},
      {"96 characters", 0, 96, 127},
  };
  for (const Case& c : cases) {
    SString s;
    s.reserve(c.reserveFirst);
    for (SString::size_type i = 0; i < c.appendCount; ++i) s += 'x';
    EXPECT_EQ(c.capacity, s.capacity()) << c.name;
    EXPECT_EQ(c.appendCount, s.length()) << c.name;
  }
}

TEST(SStringSharing, AssignmentTrimsLargeBuffers) {
  SString s(100, 'x');
  EXPECT_EQ(127u, s.capacity());
  s = "short";
  EXPECT_EQ(31u, s.capacity());  // reallocated for the smaller text
  SString small("abc");
  const char* buffer = small.c_str();
  small = "defgh";
  EXPECT_EQ(buffer, small.c_str());  // a small buffer is reused
  small = "";
  EXPECT_EQ(0u, small.capacity());  // assigning nothing releases it
  SString appended("abc");
  appended.erase();
  EXPECT_EQ(31u, appended.capacity());  // erasing keeps it
}

TEST(SStringSharing, SelfAssignmentAndSelfSubstring) {
  SString s("abcdef");
  const SString& self = s;  // self-assignment through a name of its own
  s = self;
  EXPECT_EQ("abcdef", s);
  s.assign(s, 1, 3);
  EXPECT_EQ("bcd", s);
  SString t("hello world");
  t.assign(t.c_str() + 6);
  EXPECT_EQ("world", t);
}

TEST(SStringSharing, SourceInsideOwnBuffer) {
  // Twenty characters, so that each operation has to reallocate.
  const char* text = "abcdefghijklmnopqrst";
  struct Case {
    const char* name;
    void (*op)(SString&);
    const char* expected;
  };
  const Case cases[] = {
      {"append self", [](SString& s) { s.append(s); },
       "abcdefghijklmnopqrstabcdefghijklmnopqrst"},
      {"append own chars", [](SString& s) { s.append(s.c_str() + 10, 10); },
       "abcdefghijklmnopqrstklmnopqrst"},
      {"insert self", [](SString& s) { s.insert(1, s); },
       "aabcdefghijklmnopqrstbcdefghijklmnopqrst"},
      {"insert own tail", [](SString& s) { s.insert(0, s.c_str() + 5); },
       "fghijklmnopqrstabcdefghijklmnopqrst"},
      {"replace with self", [](SString& s) { s.replace(1, 1, s); },
       "aabcdefghijklmnopqrstcdefghijklmnopqrst"},
      {"assign own tail", [](SString& s) { s.assign(s.c_str() + 18); }, "st"},
  };
  for (const Case& c : cases) {
    SString s(text);
    c.op(s);
    EXPECT_EQ(c.expected, s) << c.name;
  }
}

}  // namespace
