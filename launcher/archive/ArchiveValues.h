// Reading the fixed-width numbers of the launcher payload: signed and
// most significant byte first.
#ifndef LAUNCHER_ARCHIVE_ARCHIVEVALUES_H
#define LAUNCHER_ARCHIVE_ARCHIVEVALUES_H

#include <cstdio>

// Reads up to count bytes; fewer only at the end of the stream or on an
// error.
unsigned getBytes(FILE* stream, char* buffer, unsigned count);
// A 4-byte or a sign-extended 2-byte value; raises LauncherException with
// errorMessage unless every byte could be read.
long loadLongValue(FILE* stream, const char* errorMessage);
short loadShortValue(FILE* stream, const char* errorMessage);
// The size of the file behind the stream, so that numbers read from it can
// be checked before they are trusted; -1 when it cannot be told.
long getStreamSize(FILE* stream);

#endif
