#ifndef LAUNCHER_CORE_STRINGPAIR_H
#define LAUNCHER_CORE_STRINGPAIR_H

#include "core/SString.h"

// Two strings, such as a property name and its expected value.
struct StringPair {
  StringPair() {}
  StringPair(const SString& a, const SString& b) : first(a), second(b) {}

  SString first;
  SString second;
};

#endif
