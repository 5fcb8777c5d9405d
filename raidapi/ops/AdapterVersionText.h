// The version texts of the adapter information. Adapters sold under the PCI
// subsystem vendor 0x103C show their three version bytes as "A.43.21"
// (third byte as a letter, then the second and first bytes as two digits
// each); all others show their firmware's own text.
#ifndef HVAPI_OPS_ADAPTER_VERSION_TEXT_H
#define HVAPI_OPS_ADAPTER_VERSION_TEXT_H

#include <cstddef>

#include "hvapi.h"

constexpr UShort kShortVersionVendor = 0x103C;

// Writes the short form of version bytes b[0], b[1], b[2] ("A.43.21" for
// 0x21, 0x43, 0x41) and a zero into out, which holds at least 8 bytes. Each
// nibble is shown as '0' plus its value.
void ShortVersionText(const UChar b[3], Char *out, size_t outLen);

// Writes the four version bytes of 8LD firmware and a zero into out, which
// holds at least 5 bytes.
void FourByteVersionText(const UChar b[4], Char *out, size_t outLen);

#endif  // HVAPI_OPS_ADAPTER_VERSION_TEXT_H
