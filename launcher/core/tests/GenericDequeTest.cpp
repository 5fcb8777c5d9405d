// Order, growth, resizing and ownership of GenericDeque and its typed
// sequences.
#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

#include "core/PtrDeque.h"
#include "core/StringDeque.h"
#include "core/TypedDeques.h"
#include "core/tests/SStringPrinter.h"

// The named sequences are the generic ones for their element types.
static_assert(std::is_base_of<FlaggedPtrDeque<JVMFile>, JVMFilePtrDeque>::value,
              "JVMFilePtrDeque takes an ownership flag");
static_assert(std::is_base_of<PtrDeque<TagFile>, TagFilePtrDeque>::value,
              "TagFilePtrDeque owns its tag files");
static_assert(std::is_base_of<GenericDeque, StringDeque>::value,
              "StringDeque is a GenericDeque");

namespace {

// Counts its destructions, so tests can prove each element dies once.
struct Counted {
  Counted(int v, std::vector<int>* log) : value(v), destroyed(log) {}
  ~Counted() { destroyed->push_back(value); }
  int value;
  std::vector<int>* destroyed;
};

typedef PtrDeque<Counted> CountedDeque;

std::vector<int> values(const CountedDeque& d) {
  std::vector<int> out;
  for (int i = 0; i < d.count(); ++i) out.push_back(d.at(i)->value);
  return out;
}

TEST(GenericDeque, NewSequenceIsEmpty) {
  CountedDeque d;
  EXPECT_EQ(0, d.count());
  EXPECT_EQ(0, d.capacity());
  EXPECT_EQ(nullptr, d.at(0));
  EXPECT_EQ(nullptr, d.back());
  EXPECT_FALSE(d.validIndex(0));
  EXPECT_FALSE(d.validIndex(-1));
}

TEST(GenericDeque, InsertPositions) {
  struct Case {
    const char* name;
    int index;
    bool stored;
    std::vector<int> order;
  };
  // Each case inserts 9 into the sequence 1, 2, 3.
  const Case cases[] = {
      {"front", 0, true, {9, 1, 2, 3}},
      {"middle", 1, true, {1, 9, 2, 3}},
      {"before last", 2, true, {1, 2, 9, 3}},
      {"negative appends", -1, true, {1, 2, 3, 9}},
      {"very negative appends", -100, true, {1, 2, 3, 9}},
      {"count inserts nothing", 3, false, {1, 2, 3}},
      {"past count inserts nothing", 7, false, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    std::vector<int> destroyed;
    Counted nine(9, &destroyed);  // stays ours when it is not stored
    {
      CountedDeque d;
      for (int v = 1; v <= 3; ++v) d.push_back(new Counted(v, &destroyed));
      if (c.stored) {
        EXPECT_TRUE(d.insert(c.index, new Counted(9, &destroyed))) << c.name;
      } else {
        EXPECT_FALSE(d.insert(c.index, &nine)) << c.name;
      }
      EXPECT_EQ(c.order, values(d)) << c.name;
    }
    std::vector<int> expected = c.order;  // destroyed in some order, once each
    EXPECT_EQ(expected.size(), destroyed.size()) << c.name;
    destroyed.clear();
  }
}

TEST(GenericDeque, GrowsInStepsOfThirty) {
  std::vector<int> destroyed;
  CountedDeque d;
  struct Step {
    int count;
    int capacity;
  };
  const Step steps[] = {{1, 30}, {30, 30}, {31, 60}, {60, 60}, {61, 90}};
  int pushed = 0;
  for (const Step& s : steps) {
    while (pushed < s.count) d.push_back(new Counted(pushed++, &destroyed));
    EXPECT_EQ(s.count, d.count());
    EXPECT_EQ(s.capacity, d.capacity()) << "after " << s.count;
  }
  for (int i = 0; i < d.count(); ++i) ASSERT_EQ(i, d.at(i)->value);
  EXPECT_EQ(60, d.back()->value);
}

TEST(GenericDeque, Resize) {
  struct Case {
    const char* name;
    int initialCount;
    int newSize;
    int count;
    int capacity;
    int destroyed;
  };
  const Case cases[] = {
      {"grow empty to 1", 0, 1, 0, 30, 0},
      {"grow to 31", 5, 31, 5, 60, 0},
      {"grow to 90", 5, 90, 5, 90, 0},
      {"equal to capacity", 5, 30, 5, 30, 0},
      {"shrink to 2", 5, 2, 2, 30, 3},
      {"shrink to 0", 5, 0, 0, 30, 5},
      {"below capacity above count", 5, 10, 5, 30, 0},
      {"negative is 0", 5, -3, 0, 30, 5},
  };
  for (const Case& c : cases) {
    std::vector<int> destroyed;
    CountedDeque d;
    for (int i = 0; i < c.initialCount; ++i)
      d.push_back(new Counted(i, &destroyed));
    d.resize(c.newSize);
    EXPECT_EQ(c.count, d.count()) << c.name;
    EXPECT_EQ(c.capacity, d.capacity()) << c.name;
    EXPECT_EQ(static_cast<size_t>(c.destroyed), destroyed.size()) << c.name;
    for (int i = 0; i < d.count(); ++i) EXPECT_EQ(i, d.at(i)->value) << c.name;
    EXPECT_EQ(nullptr, d.at(d.count())) << c.name;
  }
}

TEST(GenericDeque, EraseAndClearDestroyOnce) {
  std::vector<int> destroyed;
  {
    CountedDeque d;
    for (int i = 0; i < 5; ++i) d.push_back(new Counted(i, &destroyed));
    d.erase(1);
    EXPECT_EQ((std::vector<int>{1}), destroyed);
    EXPECT_EQ((std::vector<int>{0, 2, 3, 4}), values(d));
    d.erase(4);  // invalid: nothing happens
    d.erase(-1);
    EXPECT_EQ(4, d.count());
    d.clear();
    EXPECT_EQ(0, d.count());
    EXPECT_EQ(30, d.capacity());
    EXPECT_EQ(5u, destroyed.size());
    d.push_back(new Counted(7, &destroyed));
  }
  EXPECT_EQ(6u, destroyed.size());
  EXPECT_EQ(7, destroyed.back());
}

TEST(GenericDeque, OwnershipFlagPerEntry) {
  typedef FlaggedPtrDeque<Counted> FlaggedDeque;
  std::vector<int> destroyed;
  Counted borrowed(2, &destroyed);
  Counted borrowedFront(0, &destroyed);
  {
    FlaggedDeque d;
    d.push_back(new Counted(1, &destroyed), true);
    d.push_back(&borrowed, false);
    EXPECT_TRUE(d.insert(0, &borrowedFront, false));
    EXPECT_TRUE(d.insert(1, new Counted(3, &destroyed), true));
    EXPECT_FALSE(d.insert(4, &borrowed, true));  // refused: stays ours
    ASSERT_EQ(4, d.count());
    EXPECT_EQ(&borrowedFront, d.at(0));
    EXPECT_EQ(&borrowed, d.back());
    d.erase(3);  // not owned: survives
    EXPECT_TRUE(destroyed.empty());
  }
  // Only the two owned elements went with the sequence.
  EXPECT_EQ(2u, destroyed.size());
  EXPECT_EQ(2, borrowed.value);
}

TEST(StringDeque, StoresCopies) {
  StringDeque d;
  SString s("one");
  d.push_back(s);
  s = "changed";
  d.push_back("three");
  EXPECT_TRUE(d.insert(1, "two"));
  EXPECT_FALSE(d.insert(3, "never"));
  ASSERT_EQ(3, d.count());
  EXPECT_EQ("one", d.at(0));
  EXPECT_EQ("two", d.at(1));
  EXPECT_EQ("three", d.back());
  d.at(0) = "uno";
  EXPECT_EQ("uno", d.at(0));
}

TEST(StringDeque, MissesYieldTheSharedEmptyString) {
  StringDeque d;
  const StringDeque& view = d;
  EXPECT_EQ(&StringDeque::emptyString, &d.back());
  d.push_back("x");
  const int misses[] = {-1, 1, 100};
  for (int i : misses) {
    EXPECT_EQ(&StringDeque::emptyString, &d.at(i)) << i;
    EXPECT_EQ(&StringDeque::emptyString, &view.at(i)) << i;
    EXPECT_TRUE(d.at(i).empty()) << i;
  }
  // A write through a miss does not show in the next one.
  d.at(-1) = "oops";
  EXPECT_TRUE(d.at(-1).empty());
  EXPECT_EQ(1, d.count());
}

TEST(StringDeque, CopyIsDeep) {
  StringDeque a;
  a.push_back("p");
  a.push_back("q");
  StringDeque b(a);
  b.at(0) = "changed";
  EXPECT_EQ("p", a.at(0));
  StringDeque c;
  c.push_back("old");
  c = a;
  const StringDeque& self = c;  // self-assignment through a name of its own
  c = self;
  ASSERT_EQ(2, c.count());
  EXPECT_EQ("q", c.at(1));
}

}  // namespace
