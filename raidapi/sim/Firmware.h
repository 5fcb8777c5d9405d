// The simulated adapter firmware: executes one adapter command (mailbox or
// pass-through) against an adapter of the scenario and answers a status and
// the data in the layouts the library reads.
#ifndef HALVSIM_FIRMWARE_H
#define HALVSIM_FIRMWARE_H

#include <cstdint>
#include <string>
#include <vector>

#include "FirmwareImages.h"
#include "Scenario.h"

namespace halvsim {

// Mailbox completion status: 0 success; the firmware's refusal otherwise
// (some commands answer further values, see README.md).
constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kStatusRefused = 1;
// SCSI status of a pass-through command.
constexpr uint8_t kScsiGood = 0;
constexpr uint8_t kScsiCheckCondition = 2;
constexpr uint8_t kScsiNoDevice = 0xF0;  // nothing answers at that address

constexpr size_t kMailboxAreaSize = 16;

struct Command {
  bool passthru = false;
  // Mailbox: area bytes 0 to 15 (opcode, then the mailbox parameters).
  // Pass-through: 3, 0, block length, block, flags, drive, channel, target.
  Bytes area;
  Bytes out;  // data going to the adapter
};

struct Reply {
  uint8_t status = kStatusOk;
  Bytes data;  // the answer at its natural length; empty for none
};

// Runs cmd on adapter index of the scenario at now (milliseconds).
Reply Execute(Scenario &sc, size_t index, const Command &cmd, int64_t now);

// Finishes the long operations of the adapter that are done at now.
void Settle(Adapter &ad, int64_t now);

// A disk of the adapter dies at now (no command told it to): the firmware
// notices it as it does a failure it was asked for, so with automatic
// rebuild on a hot spare takes its place. False when at holds no disk.
bool FailDisk(Adapter &ad, DevRef at, int64_t now);

// The image that firmware downloads wrote to adapter index, 1 MiB (zeros
// where no block came); kept in "<state file>.flash<index>" when there is a
// state file.
bool ReadFlashImage(size_t index, Bytes *image, std::string *error);
std::string FlashPath(size_t index);

}  // namespace halvsim

#endif  // HALVSIM_FIRMWARE_H
