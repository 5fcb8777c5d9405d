// What the driver and firmware accept as the shape of a command: the data
// length and direction each mailbox opcode carries, and for a pass-through
// the block length its SCSI opcode has and the direction its data goes. A
// request of another shape is refused by the driver (EINVAL), as a real
// one rejects a malformed request, so a library that sends a wrong length,
// direction or area never gets an answer.
#ifndef HALVSIM_COMMAND_SHAPE_H
#define HALVSIM_COMMAND_SHAPE_H

#include <cstdint>
#include <string>

#include "FirmwareImages.h"
#include "Scenario.h"

namespace halvsim {

// Checks a decoded command: area as the driver took it, the data going to
// the adapter, in bytes asked back, inline when the data travels inside
// the request (fake opcode 0x80). Returns "" or why it is refused.
std::string CheckCommandShape(const Adapter &ad, bool passthru,
                              const Bytes &area, const Bytes &out_data,
                              uint32_t in, bool inline_data);

}  // namespace halvsim

#endif  // HALVSIM_COMMAND_SHAPE_H
