#include "jvm/MacroHandler.h"

#include "core/LauncherException.h"

namespace {

const SString::size_type npos = SString::npos;

}  // namespace

MacroHandler::~MacroHandler() {}

SString MacroHandler::resolve(const SString& text, char delimiter) const {
  SString copy = text;
  unsigned expansions = 0;
  SString::size_type p = copy.find(delimiter);
  while (p != npos && p + 2 < copy.length()) {
    // A doubled delimiter is a literal one, wherever it stands: skip the
    // pair, so that it never opens a macro with a later delimiter.
    if (copy.c_str()[p + 1] == delimiter) {
      p = copy.find(delimiter, p + 2);
      continue;
    }
    SString::size_type end = copy.find(delimiter, p + 2);
    if (end == npos) break;
    if (++expansions > kMaxExpansions) {
      SString macro(copy, p, end - p + 1);
      throw LauncherException("The macro " + macro +
                              " does not resolve: its value refers to itself.");
    }
    unsigned last = end;
    processMacro(copy, delimiter, p, last);
    // What the macro put in is scanned again.
    p = copy.find(delimiter, p);
  }
  SString doubled(2, delimiter);
  for (SString::size_type q = copy.find(doubled); q != npos;
       q = copy.find(doubled, q + 1)) {
    copy.erase(q, 1);
  }
  return copy;
}
