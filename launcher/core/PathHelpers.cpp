#include "core/PathHelpers.h"

SString::size_type lastPathSeparator(const SString& path) {
  return path.find_last_of("/\\");
}

SString directoryPart(const SString& path) {
  SString::size_type cut = lastPathSeparator(path);
  return cut == SString::npos ? SString() : SString(path, 0, cut);
}

SString fileNamePart(const SString& path) {
  SString::size_type cut = lastPathSeparator(path);
  return cut == SString::npos ? path : SString(path, cut + 1);
}

void appendPathSeparator(SString& path) {
  const SString& text = path;
  if (!text.empty() && text[text.length() - 1] != '/') path += '/';
}

SString withoutTrailingSlashes(const SString& directory) {
  SString::size_type end = directory.length();
  while (end > 1 && directory.c_str()[end - 1] == '/') --end;
  return SString(directory, 0, end);
}

SString absoluteAgainst(const SString& path, const SString& directory) {
  if (path.empty() || path.c_str()[0] == '/' || directory.empty()) return path;
  SString absolute = directory;
  appendPathSeparator(absolute);
  return absolute + path;
}
