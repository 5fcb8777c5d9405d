// Turning data (paths, names, arguments) into pieces of a launch command
// that the shell and the macro passes hand over unchanged, so that data is
// never taken for shell code or for a macro.
#ifndef LAUNCHER_JVM_COMMANDTEXT_H_
#define LAUNCHER_JVM_COMMANDTEXT_H_

#include "core/SString.h"
#include "core/StringDeque.h"

// text in single quotes for the shell, each single quote inside written
// as '\''.
SString quoteForShell(const SString& text);

// text for the inside of a double-quoted shell word: backslash, double
// quote, "$" and backquote get a backslash before them.
SString escapeInDoubleQuotes(const SString& text);

// The macro delimiters in the order of the passes that resolve them.
extern const char* const kMacroDelimiters;

// text for a launch command template: every macro delimiter in delimiters
// doubled, so that each of those macro passes leaves one literal
// character. Data inserted by one pass is protected from that pass and
// the later ones (see laterMacroDelimiters).
SString templateLiteral(const SString& text,
                        const char* delimiters = kMacroDelimiters);

// The delimiter of the pass and of the passes after it.
const char* laterMacroDelimiters(char delimiter);

// Where a piece of text lands in a shell command line: inside which quotes,
// and whether a backslash before it is waiting to escape its first
// character.
struct ShellPosition {
  enum Quotes { kUnquoted, kDoubleQuoted, kSingleQuoted };
  Quotes quotes = kUnquoted;
  bool escaped = false;

  // The position behind text written from here, read as the shell reads
  // quotes and backslashes.
  ShellPosition after(const SString& text, SString::size_type begin = 0,
                      SString::size_type end = SString::npos) const;
};

// value written so that, at that position, the shell takes it as that one
// piece of data and nothing else: outside quotes as one word (unchanged
// when it holds only characters the shell leaves alone, single-quoted
// otherwise; an empty value adds nothing), inside double quotes escaped,
// inside single quotes with each single quote closed, escaped and reopened.
// After a pending backslash the first character is the one it escapes.
SString shellData(const SString& value, const ShellPosition& where);

// value read as a word list, the way users write extra options: words
// are separated by blanks, tabs and line ends, and a double-quoted part of
// a word keeps its blanks (the quotes go). Nothing else is special: no
// "$", backquote, glob or backslash means anything.
void splitWordList(const SString& value, StringDeque& words);

// value spliced into a command as its word list: outside quotes each word
// becomes a shell word of its own, holding that data only, the words
// joined by blanks; inside quotes (or after a pending backslash) value is
// one piece of data, as shellData gives it.
SString shellWords(const SString& value, const ShellPosition& where);

#endif  // LAUNCHER_JVM_COMMANDTEXT_H_
