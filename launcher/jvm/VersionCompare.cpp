#include "jvm/VersionCompare.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The next run of digits from pos, without its leading zeros; false when
// there is none. pos ends behind it.
bool nextNumber(const SString& text, SString::size_type& pos, SString& number) {
  const char* p = text.c_str();
  SString::size_type length = text.length();
  while (pos < length && !isDigit(p[pos])) ++pos;
  if (pos >= length) return false;
  while (pos + 1 < length && p[pos] == '0' && isDigit(p[pos + 1])) ++pos;
  SString::size_type start = pos;
  while (pos < length && isDigit(p[pos])) ++pos;
  number = SString(text, start, pos - start);
  return true;
}

// Numbers of any length, as digit strings without leading zeros.
int compareNumbers(const SString& a, const SString& b) {
  if (a.length() != b.length()) return a.length() < b.length() ? -1 : 1;
  int order = a.compare(b);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

}  // namespace

bool compareVersions(const SString& a, const SString& b, int& order) {
  SString::size_type posA = 0, posB = 0;
  SString numberA, numberB;
  bool moreA = nextNumber(a, posA, numberA);
  bool moreB = nextNumber(b, posB, numberB);
  if (!moreA || !moreB) return false;
  while (moreA || moreB) {
    int step = compareNumbers(moreA ? numberA : SString("0"),
                              moreB ? numberB : SString("0"));
    if (step != 0) {
      order = step;
      return true;
    }
    if (moreA) moreA = nextNumber(a, posA, numberA);
    if (moreB) moreB = nextNumber(b, posB, numberB);
  }
  order = 0;
  return true;
}
