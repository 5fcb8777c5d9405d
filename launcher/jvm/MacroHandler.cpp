#include "jvm/MacroHandler.h"

#include "core/LauncherException.h"
#include "core/TextHelpers.h"

namespace {

const SString::size_type npos = SString::npos;

}  // namespace

MacroHandler::~MacroHandler() {}

namespace {

[[noreturn]] void throwSelfReference(const SString& text,
                                     SString::size_type start,
                                     SString::size_type end) {
  SString macro(text, start, end - start + 1);
  throw LauncherException("The macro " + macro +
                          " does not resolve: its value refers to itself.");
}

// Raised when an expansion made the text too long: macro is the one that
// was expanded.
void checkLength(const SString& text, const SString& macro) {
  if (text.length() <= MacroHandler::kMaxResolvedLength) return;
  throw LauncherException(
      "The macro " + macro + " does not resolve: its value grows beyond " +
      convertToString(MacroHandler::kMaxResolvedLength) + " characters.");
}

void reduceDoubledDelimiters(SString& text, char delimiter) {
  SString doubled(2, delimiter);
  for (SString::size_type q = text.find(doubled); q != npos;
       q = text.find(doubled, q + 1)) {
    text.erase(q, 1);
  }
}

}  // namespace

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
    if (!isMacro(copy, delimiter, p, end)) {
      p = end;
      continue;
    }
    if (++expansions > kMaxExpansions) throwSelfReference(copy, p, end);
    SString macro(copy, p, end - p + 1);
    unsigned last = end;
    processMacro(copy, delimiter, p, last);
    checkLength(copy, macro);
    // What the macro put in is scanned again.
    p = copy.find(delimiter, p);
  }
  reduceDoubledDelimiters(copy, delimiter);
  return copy;
}

SString MacroHandler::resolveCommand(const SString& text, char delimiter,
                                     const ShellPosition& start) const {
  SString copy = text;
  unsigned expansions = 0;
  // Text before the scan never changes again, so the shell position is
  // carried forward instead of being read from the start each time.
  ShellPosition where = start;
  SString::size_type scanned = 0;
  SString::size_type p = copy.find(delimiter);
  while (p != npos && p + 2 < copy.length()) {
    if (copy.c_str()[p + 1] == delimiter) {
      p = copy.find(delimiter, p + 2);
      continue;
    }
    SString::size_type end = copy.find(delimiter, p + 2);
    if (end == npos) break;
    if (!isMacro(copy, delimiter, p, end)) {
      p = end;
      continue;
    }
    if (++expansions > kMaxExpansions) throwSelfReference(copy, p, end);
    where = where.after(copy, scanned, p);
    scanned = p;
    SString macro(copy, p, end - p + 1);
    unsigned last = end;
    if (insertCommandMacro(copy, delimiter, p, last, where)) {
      checkLength(copy, macro);
      p = copy.find(delimiter, p);
      continue;
    }
    SString value(copy, p, last - p);
    SString quoted = templateLiteral(shellData(value, where),
                                     laterMacroDelimiters(delimiter));
    copy.replace(p, last - p, quoted);
    checkLength(copy, macro);
    p = copy.find(delimiter, p + quoted.length());
  }
  reduceDoubledDelimiters(copy, delimiter);
  return copy;
}

bool MacroHandler::isMacro(const SString&, char, unsigned, unsigned) const {
  return true;
}

bool MacroHandler::insertCommandMacro(SString& text, char delimiter,
                                      unsigned start, unsigned& end,
                                      const ShellPosition&) const {
  processMacro(text, delimiter, start, end);
  SString value = resolve(SString(text, start, end - start), delimiter);
  text.replace(start, end - start, value);
  end = start + value.length();
  return false;
}
