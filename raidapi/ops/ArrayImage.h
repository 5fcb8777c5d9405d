// A disk array of one firmware type being built for a configuration write:
// logical drive records, their spans and members, and the physical device
// table, in the adapter's own layout, sent to the adapter in one command.
#ifndef HVAPI_OPS_ARRAY_IMAGE_H
#define HVAPI_OPS_ARRAY_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "hvapi.h"

class ArrayImage {
 public:
  // An all-zero array (no logical drive) of fwType's layout. Returns 0, or
  // -11 for an unknown type or when the buffer cannot be allocated.
  Int Reset(UChar fwType);
  // Replaces the bytes with an array read from the adapter.
  void CopyFrom(const uint8_t *raw);

  UChar Count() const { return bytes_[0]; }
  void SetCount(UChar count) { bytes_[0] = count; }
  // Drive records the layout holds: 8 or 40.
  int MaxDrives() const;

  // Logical drive record i (below MaxDrives()) of a new drive: its span
  // depth, level, stripe byte and devices per span; read-ahead 2, status
  // optimal, write-back and direct I/O.
  void SetDrive(int i, UChar spans, UChar level, UChar stripeByte,
                UChar perSpan);
  // Span s of drive i: start block, block count and the n devices, stored
  // as the layout stores them (40LD: channel 0 and channel * 16 + target).
  void SetSpan(int i, int s, ULong32 start, ULong32 blocks,
               const RaidSetDrive_Struct *devices, int n);
  // Clears drive record i.
  void ClearDrive(int i);
  // Marks a member online with its size (sectors) in the device table.
  void MarkOnline(UChar channel, UChar target, ULong32 sectors);

  // Sends the array with the firmware type's write command: 0 or -11.
  Int Write() const;
  const uint8_t *Bytes() const { return bytes_.get(); }

 private:
  uint8_t *DriveRecord(int i) const;
  size_t DriveRecordSize() const;

  UChar fwType_ = 0;
  size_t size_ = 0;
  std::unique_ptr<uint8_t[]> bytes_;
};

// The 8LD device table index of channel and target (channel * 15 + target;
// target 15 shares target 7's entry), or the 40LD one (channel * 16 +
// target); -1 for an address without an entry.
int DeviceTableIndex(UChar fwType, UChar channel, UChar target);

// The count of logical drives announced to the operating system that the
// adapter's cache keeps (the first byte of its disk array); null when the
// adapter has no cache.
UChar *AnnouncedCount(UChar uchAdaptNo);

#endif  // HVAPI_OPS_ARRAY_IMAGE_H
