#include "jvm/CommandText.h"

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

SString templateLiteral(const SString& text) {
  SString result;
  result.reserve(text.length());
  const char* p = text.c_str();
  for (SString::size_type i = 0; i < text.length(); ++i) {
    char c = p[i];
    if (c == '%' || c == '@' || c == '#') result += c;
    result += c;
  }
  return result;
}
