#include "CommandShape.h"

#include "core/DriverRecords.h"

namespace halvsim {

namespace {

enum class Dir { kNone, kRead, kWrite, kBoth, kAny };

struct Shape {
  Dir dir;
  uint32_t length;
  bool known = true;
  // Reads of the 40LD groups sent with no incoming length: the firmware
  // answers at its natural size.
  bool may_omit_in = false;
};

Shape None() { return {Dir::kNone, 0}; }
Shape Read(uint32_t n) { return {Dir::kRead, n}; }
Shape Write(uint32_t n) { return {Dir::kWrite, n}; }
Shape Unknown() { return {Dir::kAny, 0, false}; }

Shape ReadOrWrite(uint8_t selector, uint32_t n) {
  if (selector == 1) return Read(n);
  if (selector == 2) return Write(n);
  return None();
}

// Reads of the 40LD groups may also come with no incoming length.
Shape GroupRead(uint32_t n) {
  Shape s = Read(n);
  s.may_omit_in = true;
  return s;
}

Shape Group40LD(const Bytes &a) {
  switch (a[1]) {
    case 0x04:
    case 0x05:
    case 0x06:
      return GroupRead(25412);
    case 0x0D:
      return Write(25412);
    case 0x0A:
      return GroupRead(512);
    case 0x0C:
      return GroupRead(1);
    case 0x0E:
      return GroupRead(1024);
    case 0x0F:
      return GroupRead(a[2] == 1 ? 40 : 1061);
    default:
      return None();
  }
}

Shape MailboxShape(const Adapter &ad, const Bytes &a, uint8_t first_data) {
  switch (a[0]) {
    case 0x04:
      return Read(168);
    case 0x05:
      return Read(152);
    case 0x06:
      return a[3] == 6 ? Write(4) : None();
    case 0x07:
      return Read(1436);
    case 0x0C:
      return Read(1024);
    case 0x08:
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x26:
    case 0x28:
    case 0x29:
    case 0x2B:
    case 0x6A:
    case 0x73:
    case 0x74:
    case 0x75:
      return None();
    case 0x18:
    case 0x19:
    case 0x1B:
    case 0x23:
    case 0x61:
      return Read(4);
    case 0x20:
      return Write(1436);
    case 0x24:
      return Write(4);
    case 0x31:
    case 0x7D:
      return Read(1);
    case 0x32:
    case 0x77:
      return Read(2);
    case 0x33:
      return Write(2);
    case 0x36:
    case 0x71:
      return Read(8);
    case 0x72:
      return Write(8);
    case 0x51:
      return first_data == 3 ? Shape{Dir::kBoth, 1} : Write(1);
    case 0x52:
      return Read(4096);
    case 0x53:
      return Read(81);
    case 0x55:
      return ReadOrWrite(a[1], 1);
    case 0x56:
      return ReadOrWrite(a[1], 8);
    case 0x57:
      return Read(2048);
    case 0x60:
      return {Dir::kBoth, ad.Is8LD() ? 16u : 40u};
    case 0x62:
      return ReadOrWrite(a[1], 2);
    case 0x63:
    case 0x67:
      return Read(2204);
    case 0x68:
      return Write(2204);
    case 0x64:
      switch (a[1]) {
        case 1:
        case 3:
        case 7:
          return Read(1);
        case 2:
        case 4:
        case 8:
          return Write(1);
        case 5:
          return Read(4);
        case 6:
          return Write(4);
        default:
          return None();
      }
    case 0x65:
      return Read(12);
    case 0x70:
      return {Dir::kBoth, 1};
    case 0x7F:
      return Write(1);
    case 0x92:
      return a[1] == 0 ? Read(118) : None();
    case 0x97:
      return a[1] == 0x10 ? Read(1) : Write(1);
    case 0xA1:
      return Group40LD(a);
    case 0xA4:
      return a[1] == 0x02 ? GroupRead(40) : None();
    case 0xC3:
      return Read(193);
    default:
      // The flash commands and anything the firmware does not know.
      return Unknown();
  }
}

// The block length a SCSI opcode's group has.
size_t BlockLength(uint8_t op) {
  switch (op >> 5) {
    case 0:
      return 6;
    case 1:
    case 2:
      return 10;
    case 5:
      return 12;
    default:
      return 0;  // vendor groups: any length
  }
}

Shape PassThroughShape(uint8_t op) {
  switch (op) {
    case 0x00:  // TEST UNIT READY
    case 0x04:  // FORMAT UNIT
      return None();
    case 0x03:  // REQUEST SENSE
    case 0x12:  // INQUIRY
    case 0x25:  // READ CAPACITY(10)
    case 0x3C:  // READ BUFFER
      return {Dir::kRead, 0, false};
    case 0x3B:  // WRITE BUFFER
      return {Dir::kWrite, 0, false};
    default:
      return Unknown();
  }
}

std::string Describe(uint32_t out, uint32_t in) {
  return "out " + std::to_string(out) + ", in " + std::to_string(in);
}

}  // namespace

std::string CheckCommandShape(const Adapter &ad, bool passthru,
                              const Bytes &area, const Bytes &out_data,
                              uint32_t in, bool inline_data) {
  const uint32_t out = static_cast<uint32_t>(out_data.size());
  if (inline_data && (out > HALV_INLINE_DATA_MAX || in > HALV_INLINE_DATA_MAX))
    return "more than 4096 bytes inside the request";
  if (area.empty()) return "";
  if (passthru) {
    if (area.size() < 4) return "pass-through area too short";
    const uint8_t op = area[3];
    const size_t want = BlockLength(op);
    if (want != 0 && area[2] != want)
      return "a block of " + std::to_string(area[2]) + " bytes for SCSI op " +
             std::to_string(op);
    if (out > HALV_INLINE_DATA_MAX || in > HALV_INLINE_DATA_MAX)
      return "pass-through data above 4096 bytes";
    const Shape s = PassThroughShape(op);
    if ((s.dir == Dir::kNone && (out || in)) || (s.dir == Dir::kRead && out) ||
        (s.dir == Dir::kWrite && in))
      return "wrong direction for SCSI op: " + Describe(out, in);
    return "";
  }
  const Shape s = MailboxShape(ad, area, out_data.empty() ? 0 : out_data[0]);
  if (!s.known) return "";
  uint32_t want_out = 0, want_in = 0;
  switch (s.dir) {
    case Dir::kRead:
      want_in = s.length;
      break;
    case Dir::kWrite:
      want_out = s.length;
      break;
    case Dir::kBoth:
      want_in = want_out = s.length;
      break;
    default:
      break;
  }
  if (s.may_omit_in && in == 0 && out == 0) return "";
  if (out != want_out || in != want_in)
    return "opcode " + std::to_string(area[0]) + " takes " +
           Describe(want_out, want_in) + ", got " + Describe(out, in);
  return "";
}

}  // namespace halvsim
