// Writes a launcher file: the program's bytes, then the bytes of each file
// to embed, then the index and the trailer. The output appears complete or
// not at all: it is written under a temporary name in its own directory
// and renamed at the end.
#ifndef TOOLS_LAUNCHER_PACK_LAUNCHERFILEWRITER_H
#define TOOLS_LAUNCHER_PACK_LAUNCHERFILEWRITER_H

#include <string>
#include <vector>

#include "PackManifest.h"

// Files of at least kPageAlignedFileSize bytes start at a multiple of
// kPageSize, zero bytes before them: the kernel copies such a file out of
// the launcher file at the speed of cp only from a page boundary. Smaller
// files follow each other without a gap.
constexpr long long kPageSize = 4096;
constexpr long long kPageAlignedFileSize = 1 << 20;

// The output gets the program's permissions (less the umask), so a packed
// launcher is executable like its program. A program that already carries
// a payload is refused. False with a message in error; nothing is left
// behind then.
bool writeLauncherFile(const std::string& program,
                       const std::vector<PackItem>& items,
                       const std::string& output, std::string& error);

// A make-style dependency file: output depends on each of inputs.
bool writeDependencyFile(const std::string& depfile, const std::string& output,
                         const std::vector<std::string>& inputs,
                         std::string& error);

#endif
