// Decompression of the "deflate" data of zip archives (through zlib),
// for launcher-pack to read the manifest inside a jar.
#ifndef TOOLS_LAUNCHER_PACK_INFLATE_H
#define TOOLS_LAUNCHER_PACK_INFLATE_H

#include <cstddef>
#include <string>

// Appends the data that the raw deflate stream in[0..length) holds to out.
// False when the stream is damaged or would give more than limit bytes.
bool inflateRaw(const unsigned char* in, size_t length, size_t limit,
                std::string& out);

#endif
