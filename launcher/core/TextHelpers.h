#ifndef LAUNCHER_CORE_TEXTHELPERS_H
#define LAUNCHER_CORE_TEXTHELPERS_H

#include <cstdio>

#include "core/PathHelpers.h"
#include "core/SString.h"

// Text helpers shared by the tag-file reader, the instruction interpreter,
// the launch script and the platform layer.

// Console output is visible; writeLine and write print only while true.
extern bool g_enableOutput;

// Blank, tab, line feed and carriage return.
extern const char* const whitespaceChars;

// Read a leading decimal number as sscanf "%ld" / "%hd" would; true when
// one was read.
bool convertToLong(const SString& s, long& value);
bool convertToShort(const SString& s, short& value);
SString convertToString(long value);

bool isWhitespace(char c);
// Removes trailing, then leading characters found in set.
void trim(SString& s, const char* set);
// Removes one leading and, independently, one trailing double quote.
void stripQuotes(SString& s);
// Where suffix starts when s ends with it, else SString::npos.
unsigned stringEndsWith(const SString& s, const char* suffix);

// Reads to the next line feed or the end of the stream, drops carriage
// returns, appends to line and trims it; the caller tests feof.
void readLineFromStream(FILE* stream, SString& line);
// The same over text from pos; pos ends one past the line feed (or one
// past the end). Leaves line untouched when pos is at or past the end.
void readLineFromString(const SString& text, unsigned& pos, SString& line);
// One white-space-delimited word from pos; pos ends one past the
// character that stopped it (length + 1 when the text ran out).
SString getTokenFromString(const SString& text, unsigned& pos, bool& noToken);
// One argument from pos: up to the next white space, or, when quoted (pos
// just behind an opening quote), up to the closing quote with doubled
// quotes standing for one. pos ends behind it, npos at the end of text.
// Raises LauncherException for an unterminated quoted argument.
SString parseStringArgument(const SString& text, unsigned& pos, bool quoted);
// Widens s, turning \uXXXX escapes and UTF-8 sequences into characters;
// other bytes keep their unsigned value. Zero-terminated; the caller frees
// it with delete[].
wchar_t* convertToUnicode(const SString& s);

void writeLine(const SString& text);
void writeLine(const char* text);
// Prints text without a line feed and flushes.
void write(const char* text);
// One white-space-delimited word (at most 1023 characters) from stdin.
SString getLine();

#endif
