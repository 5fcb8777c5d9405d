// The adapter's disk array (its configuration), read fresh by each drive
// operation and checked before use: counts of logical drives, spans and
// devices per span that the layout of the adapter's firmware type cannot
// hold make the read fail, so no lookup ever leaves the record. The drives
// are kept in one form for the three layouts.
#ifndef HVAPI_OPS_DISK_ARRAY_H
#define HVAPI_OPS_DISK_ARRAY_H

#include <cstdint>

#include "firmware/FirmwareLayouts.h"
#include "hvapi.h"

// A member as the array stores it: channel and target on 8LD firmware;
// channel 0 and channel * 16 + target on 40LD firmware.
struct ArrayMember {
  UChar channel;
  UChar target;
};

struct ArrayLogicalDrive {
  UChar spanDepth;
  UChar raid;
  UChar readAhead;
  UChar stripe;  // the firmware's stripe byte
  UChar status;
  UChar writePolicy;
  UChar directIO;
  UChar rowSize;  // member devices per span
  ULong32 spanBlocks[HVAPI_MAX_SPANS];
  ArrayMember members[HVAPI_MAX_SPANS][32];
};

class DiskArray {
 public:
  // Reads the array of an adapter of firmware type fwType from the current
  // adapter. Returns 0, or -11 when the command fails, the type is unknown
  // or a count lies beyond the layout.
  Int Read(UChar fwType);
  // Takes an array of fwType's layout that came another way (a disk's
  // stored configuration); its bytes are copied. Same answers as Read.
  Int Parse(UChar fwType, const uint8_t *raw);

  UChar FwType() const { return fwType_; }
  bool Is8LD() const { return fwType_ != HVAPI_FW_40LD; }
  // Number of logical drives, at most MaxDrives().
  int Count() const { return count_; }
  // Drive records the layout holds: 8 or 40.
  int MaxDrives() const;
  // Drive i, i below MaxDrives(); its spans and members only below Count().
  const ArrayLogicalDrive &Drive(int i) const { return drives_[i]; }

  // The first logical drive one of whose spans lists the device at channel
  // and target, or -1. On 8LD firmware target 15 is looked up as 7.
  int MemberOf(UChar channel, UChar target) const;
  // State and size (sectors) of the device at channel and target in the
  // array's device table; false when the address has no entry (target 15 on
  // 8LD firmware uses the entry of target 7).
  bool DeviceState(UChar channel, UChar target, UChar *state) const;
  // State and size of a member as the array stores it; false when that
  // member names no entry of the table.
  bool MemberEntry(const ArrayMember &m, UChar *state, ULong32 *size) const;
  // The answer as the firmware gave it, in the layout of FwType().
  const uint8_t *Raw() const { return raw_; }

 private:
  bool Load(const uint8_t *raw);

  UChar fwType_ = 0;
  int count_ = 0;
  ArrayLogicalDrive drives_[HVAPI_MAX_LDRV_40LD];
  UChar states_[kFw40LDStateEntries];
  ULong32 sizes_[kFw40LDStateEntries];
  uint8_t raw_[sizeof(APP_DISC_ARRAY_40LD)];
};

// True for the firmware types 1, 2 and 3.
inline bool IsKnownFwType(UChar fwType) {
  return fwType == HVAPI_FW_8LD_4SPAN || fwType == HVAPI_FW_8LD_8SPAN ||
         fwType == HVAPI_FW_40LD;
}

// IsConfigured on an array already read: a logical drive number, -1 for a
// hot spare (when checkSpare), else -2.
Int MembershipIn(const DiskArray &array, UChar channel, UChar target,
                 bool checkSpare);

// The firmware's command that reads the array of fwType, as the opcode and
// object number IssueCmd takes; false for an unknown type.
bool DiskArrayCommand(UChar fwType, Int *op, Int *objid, size_t *size);

#endif  // HVAPI_OPS_DISK_ARRAY_H
