#include "jvm/CommandText.h"

#include "core/TextHelpers.h"

const char* const kMacroDelimiters = "%@#";

SString quoteForShell(const SString& text) {
  SString result;
  result.reserve(text.length() + 2);
  result += '\'';
  const char* p = text.c_str();
  for (SString::size_type i = 0; i < text.length(); ++i) {
    if (p[i] == '\'')
      result += "'\\''";
    else
      result += p[i];
  }
  result += '\'';
  return result;
}

SString escapeInDoubleQuotes(const SString& text) {
  SString result;
  result.reserve(text.length());
  const char* p = text.c_str();
  for (SString::size_type i = 0; i < text.length(); ++i) {
    char c = p[i];
    if (c == '\\' || c == '"' || c == '$' || c == '`') result += '\\';
    result += c;
  }
  return result;
}

SString templateLiteral(const SString& text, const char* delimiters) {
  SString result;
  result.reserve(text.length());
  const char* p = text.c_str();
  for (SString::size_type i = 0; i < text.length(); ++i) {
    char c = p[i];
    for (const char* d = delimiters; *d; ++d) {
      if (c == *d) result += c;
    }
    result += c;
  }
  return result;
}

const char* laterMacroDelimiters(char delimiter) {
  for (const char* d = kMacroDelimiters; *d; ++d) {
    if (*d == delimiter) return d;
  }
  return "";
}

ShellPosition ShellPosition::after(const SString& text,
                                   SString::size_type begin,
                                   SString::size_type end) const {
  ShellPosition at = *this;
  if (end > text.length()) end = text.length();
  const char* p = text.c_str();
  for (SString::size_type i = begin; i < end; ++i) {
    char c = p[i];
    if (at.escaped) {
      at.escaped = false;
      continue;
    }
    switch (at.quotes) {
      case kUnquoted:
        if (c == '\\')
          at.escaped = true;
        else if (c == '"')
          at.quotes = kDoubleQuoted;
        else if (c == '\'')
          at.quotes = kSingleQuoted;
        break;
      case kDoubleQuoted:
        if (c == '\\')
          at.escaped = true;
        else if (c == '"')
          at.quotes = kUnquoted;
        break;
      case kSingleQuoted:
        if (c == '\'') at.quotes = kUnquoted;
        break;
    }
  }
  return at;
}

namespace {

bool isIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '_';
}

// Characters that mean nothing to the shell anywhere in a word. "=" is
// among them only behind a character that no variable name can hold, so
// that the word (with whatever the template wrote before it) is never
// read as a variable assignment.
bool isPlainWord(const SString& text) {
  if (text.empty()) return false;
  const char* p = text.c_str();
  bool assignmentPossible = true;
  for (SString::size_type i = 0; i < text.length(); ++i) {
    char c = p[i];
    if (isIdentifierChar(c)) continue;
    if (c == '=' && assignmentPossible) return false;
    if (c != '=' && c != '-' && c != '.' && c != '/' && c != ':' && c != ',' &&
        c != '+')
      return false;
    assignmentPossible = false;
  }
  return true;
}

SString unquotedWord(const SString& text) {
  if (text.empty() || isPlainWord(text)) return text;
  return quoteForShell(text);
}

SString inSingleQuotes(const SString& text) {
  SString result;
  result.reserve(text.length());
  const char* p = text.c_str();
  for (SString::size_type i = 0; i < text.length(); ++i) {
    if (p[i] == '\'')
      result += "'\\''";
    else
      result += p[i];
  }
  return result;
}

}  // namespace

SString shellData(const SString& value, const ShellPosition& where) {
  if (where.quotes == ShellPosition::kSingleQuoted)
    return inSingleQuotes(value);
  SString first;
  SString rest = value;
  if (where.escaped && !value.empty()) {
    // The backslash in front takes this character literally, whatever it
    // is; the shell never reads it as code.
    first = SString(value, 0, 1);
    rest.erase(0, 1);
  }
  if (where.quotes == ShellPosition::kDoubleQuoted)
    return first + escapeInDoubleQuotes(rest);
  return first + unquotedWord(rest);
}

void splitWordList(const SString& value, StringDeque& words) {
  const char* p = value.c_str();
  const SString::size_type length = value.length();
  SString::size_type i = 0;
  for (;;) {
    while (i < length && isWhitespace(p[i])) ++i;
    if (i >= length) return;
    SString word;
    bool inQuotes = false;
    for (; i < length && (inQuotes || !isWhitespace(p[i])); ++i) {
      if (p[i] == '"')
        inQuotes = !inQuotes;
      else
        word += p[i];
    }
    words.push_back(word);
  }
}

SString shellWords(const SString& value, const ShellPosition& where) {
  if (where.quotes != ShellPosition::kUnquoted || where.escaped)
    return shellData(value, where);
  StringDeque words;
  splitWordList(value, words);
  SString joined;
  for (int i = 0; i < words.count(); ++i) {
    if (i > 0) joined += ' ';
    const SString& word = words.at(i);
    // An empty word written as "" is still a word.
    joined += word.empty() ? quoteForShell(word) : unquotedWord(word);
  }
  return joined;
}
