// Turning data (paths, names, arguments) into pieces of a launch command
// that the shell and the macro passes hand over unchanged, so that data is
// never taken for shell code or for a macro.
#ifndef LAUNCHER_JVM_COMMANDTEXT_H_
#define LAUNCHER_JVM_COMMANDTEXT_H_

#include "core/SString.h"

// text in single quotes for the shell, each single quote inside written
// as '\''.
SString quoteForShell(const SString& text);

// text for the inside of a double-quoted shell word: backslash, double
// quote, "$" and backquote get a backslash before them.
SString escapeInDoubleQuotes(const SString& text);

// text for a launch command template: every macro delimiter ("%", "@",
// "#") doubled, so that each macro pass leaves one literal character.
SString templateLiteral(const SString& text);

#endif  // LAUNCHER_JVM_COMMANDTEXT_H_
