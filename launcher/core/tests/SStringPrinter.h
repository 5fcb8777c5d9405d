#ifndef LAUNCHER_CORE_TESTS_SSTRINGPRINTER_H
#define LAUNCHER_CORE_TESTS_SSTRINGPRINTER_H

#include <ostream>
#include <string>

#include "core/SString.h"

// Lets GoogleTest show SString values in failure messages.
inline void PrintTo(const SString& s, std::ostream* os) {
  *os << '"' << std::string(s.c_str(), s.length()) << '"';
}

#endif
