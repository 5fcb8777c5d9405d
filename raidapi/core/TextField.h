// Copying text that an adapter or device answered into a fixed record field.
// The answer is untrusted: it may fill its field without a terminating zero,
// so the copy always stops inside both and always ends with a zero.
#ifndef HVAPI_CORE_TEXT_FIELD_H
#define HVAPI_CORE_TEXT_FIELD_H

#include <cstddef>
#include <cstring>

// Copies the text of src (srcLen bytes, up to its first zero byte) into dst
// (dstLen bytes, dstLen > 0), cut to dstLen - 1 characters, and zero-fills
// the rest of dst.
inline void CopyTextField(char *dst, size_t dstLen, const void *src,
                          size_t srcLen) {
  const char *text = static_cast<const char *>(src);
  size_t n = 0;
  while (n < srcLen && n + 1 < dstLen && text[n] != '\0') ++n;
  std::memcpy(dst, text, n);
  std::memset(dst + n, 0, dstLen - n);
}

#endif  // HVAPI_CORE_TEXT_FIELD_H
