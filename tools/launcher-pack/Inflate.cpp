#include "Inflate.h"

#include <zlib.h>

bool inflateRaw(const unsigned char* in, size_t length, size_t limit,
                std::string& out) {
  z_stream stream{};
  // Negative window bits: the bare deflate data of a zip entry, no zlib
  // header or trailer.
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(in);
  stream.avail_in = static_cast<uInt>(length);
  if (stream.avail_in != length) {
    inflateEnd(&stream);
    return false;
  }
  const size_t start = out.size();
  unsigned char chunk[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = chunk;
    stream.avail_out = sizeof chunk;
    result = inflate(&stream, Z_NO_FLUSH);
    const size_t produced = sizeof chunk - stream.avail_out;
    if (out.size() - start + produced > limit) {
      result = Z_MEM_ERROR;
      break;
    }
    out.append(reinterpret_cast<const char*>(chunk), produced);
    // No progress possible: the stream ends before its last block.
    if (result == Z_BUF_ERROR) result = Z_DATA_ERROR;
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END;
}
