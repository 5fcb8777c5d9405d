#include "ScsiTarget.h"

#include <cstring>

#include "firmware/FirmwareLayouts.h"

namespace halvsim {

namespace {

constexpr uint8_t kFlagLogical = 0x80;

void Pad(UChar *dst, size_t size, const std::string &text) {
  std::memset(dst, ' ', size);
  std::memcpy(dst, text.data(), text.size() < size ? text.size() : size);
}

Bytes Inquiry(uint8_t type, const std::string &vendor,
              const std::string &product, const std::string &revision,
              const std::string &serial) {
  RESPONSE_DATA r;
  std::memset(&r, 0, sizeof r);
  r.PeriInfo = type;
  r.ScsiType = (type == 1 || type == 5) ? 0x80 : 0;  // removable media
  r.VersionInfo = 2;
  r.DataTransInfo = 2;
  r.AdditionLen = sizeof r - 5;
  Pad(r.VendorInfo, sizeof r.VendorInfo, vendor);
  Pad(r.ProductInfo, sizeof r.ProductInfo, product);
  Pad(r.ProductVersion, sizeof r.ProductVersion, revision);
  Pad(r.aucVendorSpecific, 20, serial);
  Bytes out(sizeof r);
  std::memcpy(out.data(), &r, sizeof r);
  return out;
}

Bytes Capacity(uint64_t sectors) {
  uint32_t last = sectors > 0xFFFFFFFFull ? 0xFFFFFFFFu
                                          : static_cast<uint32_t>(sectors - 1);
  return {static_cast<uint8_t>(last >> 24),
          static_cast<uint8_t>(last >> 16),
          static_cast<uint8_t>(last >> 8),
          static_cast<uint8_t>(last),
          0x00,
          0x00,
          0x02,
          0x00};  // 512-byte blocks
}

Bytes NoSense() {
  Bytes s(18, 0);
  s[0] = 0x70;
  s[7] = 10;
  return s;
}

Reply Good(Bytes data = {}) {
  Reply r;
  r.status = kScsiGood;
  r.data = std::move(data);
  return r;
}

Reply Status(uint8_t status) {
  Reply r;
  r.status = status;
  return r;
}

Reply LogicalDriveCommand(Adapter &ad, uint8_t ld, const uint8_t *cdb) {
  if (ld >= ad.drives.size()) return Status(kScsiNoDevice);
  const LogicalDrive &d = ad.drives[ld];
  switch (cdb[0]) {
    case 0x00:
      return Good();
    case 0x03:
      return Good(NoSense());
    case 0x04:
      return Good();  // FORMAT UNIT: the drive keeps its layout
    case 0x12:
      return Good(
          Inquiry(0, "QRN",
                  "LD " + std::to_string(ld) + " RAID" + std::to_string(d.raid),
                  "1.00", "LD" + std::to_string(ld)));
    case 0x25: {
      uint64_t blocks = DriveBlocks(d);
      if (blocks == 0 || DriveState(ad, ld) == kLdOffline)
        return Status(kScsiCheckCondition);
      return Good(Capacity(blocks));
    }
    default:
      return Status(kScsiCheckCondition);
  }
}

}  // namespace

DevRef PassThroughDevice(const Adapter &ad, uint8_t channel, uint8_t target) {
  if (!ad.Is8LD() && channel == 0)
    return {static_cast<uint8_t>(target >> 4),
            static_cast<uint8_t>(target & 15)};
  return {channel, target};
}

Reply ExecutePassThrough(Adapter &ad, const Command &cmd) {
  const Bytes &a = cmd.area;
  if (a.size() < 3) return Status(kScsiCheckCondition);
  size_t cdblen = a[2];
  if ((cdblen != 6 && cdblen != 10 && cdblen != 12) || a.size() < cdblen + 7)
    return Status(kScsiCheckCondition);
  const uint8_t *cdb = &a[3];
  uint8_t flags = a[cdblen + 3], ld = a[cdblen + 4];
  DevRef at = PassThroughDevice(ad, a[cdblen + 5], a[cdblen + 6]);
  if (flags & kFlagLogical) return LogicalDriveCommand(ad, ld, cdb);
  size_t channels = ad.channels;
  if (at.channel >= channels || at.target > 15 || at.target == ad.initiator_id)
    return Status(kScsiNoDevice);
  Device *dev = ad.FindDevice(at);
  if (!dev) return Status(kScsiNoDevice);
  std::string serial =
      "HS" + std::to_string(at.channel) + "-" + std::to_string(at.target);
  switch (cdb[0]) {
    case 0x00:  // TEST UNIT READY
      return dev->IsDisk() && dev->state == kStateFailed
                 ? Status(kScsiCheckCondition)
                 : Good();
    case 0x03:  // REQUEST SENSE
      return Good(NoSense());
    case 0x12:  // INQUIRY
      return Good(
          Inquiry(dev->type, dev->vendor, dev->product, dev->revision, serial));
    case 0x25:  // READ CAPACITY(10)
      if (!dev->IsDisk() || dev->sectors == 0)
        return Status(kScsiCheckCondition);
      return Good(Capacity(dev->sectors));
    case 0x04:  // FORMAT UNIT
      if (!dev->IsDisk()) return Status(kScsiCheckCondition);
      dev->medium_errors = 0;
      dev->other_errors = 0;
      return Good();
    case 0x3B:  // WRITE BUFFER
      dev->buffer.assign(cmd.out.begin(), cmd.out.size() > 4096
                                              ? cmd.out.begin() + 4096
                                              : cmd.out.end());
      return Good();
    case 0x3C:  // READ BUFFER
      return Good(dev->buffer);
    default:
      return Status(kScsiCheckCondition);
  }
}

}  // namespace halvsim
