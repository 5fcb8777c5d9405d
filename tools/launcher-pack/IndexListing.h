// "launcher-pack --list": the index of a launcher file, one line per
// embedded file, read by the launcher's own reader so that a damaged file
// fails here with the message the launcher would show.
#ifndef TOOLS_LAUNCHER_PACK_INDEXLISTING_H
#define TOOLS_LAUNCHER_PACK_INDEXLISTING_H

#include <cstdio>
#include <string>

// Writes one line per entry, in index order:
//   <type> <manifest tag> <id> <length> <offset> <name>
// False with a message in error when the file cannot be read, has no
// payload or its payload is damaged.
bool listLauncherFile(const std::string& path, FILE* out, std::string& error);

#endif
