// Path helpers shared by the launcher's layers. A launcher file name may
// come with "/" or backslash separators, and both separate its directory
// from its own name; everything else the launcher builds uses "/".
#ifndef LAUNCHER_CORE_PATHHELPERS_H
#define LAUNCHER_CORE_PATHHELPERS_H

#include "core/SString.h"

// Where the last "/" or backslash of path is, SString::npos for neither.
SString::size_type lastPathSeparator(const SString& path);
// path up to, not including, its last "/" or backslash; empty for neither.
// This is the launcher's directory when path is the launcher's file.
SString directoryPart(const SString& path);
// path after its last "/" or backslash; all of path for neither.
SString fileNamePart(const SString& path);

// Appends "/" unless path is empty or already ends with one.
void appendPathSeparator(SString& path);
// directory without its trailing slashes ("/" stays "/").
SString withoutTrailingSlashes(const SString& directory);
// A relative path joined to directory; path itself when it is empty or
// absolute, or when directory is empty.
SString absoluteAgainst(const SString& path, const SString& directory);

#endif
