// The data length and direction of each adapter command, as the firmware
// expects them. The function itself is exported through hvapi.h.
#ifndef HVAPI_FIRMWARE_DATA_LENGTH_H
#define HVAPI_FIRMWARE_DATA_LENGTH_H

#include "hvapi.h"

// Opcodes outside this range are never listed.
constexpr Int kDataLengthFirstOpcode = 0x04;
constexpr Int kDataLengthLastOpcode = 0xF4;

#endif  // HVAPI_FIRMWARE_DATA_LENGTH_H
