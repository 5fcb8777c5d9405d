#include "Firmware.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "Clock.h"
#include "ScsiTarget.h"
#include "StateStore.h"
#include "firmware/FirmwareLayouts.h"
#include "SystemCalls.h"

namespace halvsim {

namespace {

constexpr size_t kFlashBlock = 4096;
constexpr size_t kFlashBlocks = 256;

Reply Ok(Bytes data = {}) {
  Reply r;
  r.data = std::move(data);
  return r;
}

Reply Refuse(uint8_t status = kStatusRefused) {
  Reply r;
  r.status = status;
  return r;
}

Bytes U32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
}

uint32_t ReadU32(const Bytes &b) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4 && i < b.size(); ++i) v |= uint32_t{b[i]} << (8 * i);
  return v;
}

// The device that mailbox bytes 1 and 2 name: channel and target on 8LD
// firmware, channel 0 and the device number (channel * 16 + target) on 40LD.
bool MailboxDevice(const Adapter &ad, const Bytes &area, DevRef *out) {
  if (ad.Is8LD()) {
    if (area[1] >= 5 || area[2] > 15) return false;
    *out = {area[1], area[2]};
    return true;
  }
  if (area[1] != 0) return false;
  *out = {static_cast<uint8_t>(area[2] >> 4),
          static_cast<uint8_t>(area[2] & 15)};
  return true;
}

Operation *FindOp(Adapter &ad, OpKind kind, uint8_t ld) {
  for (Operation &op : ad.ops)
    if (op.kind == kind && op.ld == ld) return &op;
  return nullptr;
}

Operation *FindRebuild(Adapter &ad, DevRef dev) {
  for (Operation &op : ad.ops)
    if (op.kind == OpKind::kRebuild && op.dev == dev) return &op;
  return nullptr;
}

bool ReconRunning(const Adapter &ad) {
  for (const Operation &op : ad.ops)
    if (op.kind == OpKind::kRecon) return true;
  return false;
}

void CancelRebuild(Adapter &ad, DevRef dev) {
  for (size_t i = 0; i < ad.ops.size(); ++i) {
    if (ad.ops[i].kind == OpKind::kRebuild && ad.ops[i].dev == dev) {
      ad.ops.erase(ad.ops.begin() + static_cast<long>(i));
      return;
    }
  }
}

void CompleteRecon(Adapter &ad, const Operation &op) {
  if (op.ld >= ad.drives.size() || ad.drives[op.ld].spans.empty()) return;
  LogicalDrive &d = ad.drives[op.ld];
  for (const DevRef &m : op.add) {
    d.spans[0].members.push_back(m);
    if (Device *dev = ad.FindDevice(m)) {
      dev->state = kStateOnline;
      dev->config = "same";
    }
  }
  d.raid = op.level;
  if (op.stripe) d.stripe = op.stripe;
}

// ------------------------------------------------------------ flash

std::mutex &FlashMutex() {
  static std::mutex *mu = new std::mutex;
  return *mu;
}

std::map<size_t, Bytes> &MemoryFlash() {
  static auto *images = new std::map<size_t, Bytes>;
  return *images;
}

bool WriteFlashBlock(size_t index, size_t block, const Bytes &data) {
  Bytes padded = data;
  padded.resize(kFlashBlock, 0);
  std::string path = FlashPath(index);
  if (path.empty()) {
    std::lock_guard<std::mutex> g(FlashMutex());
    Bytes &image = MemoryFlash()[index];
    image.resize(kFlashBlock * kFlashBlocks, 0);
    std::memcpy(&image[block * kFlashBlock], padded.data(), kFlashBlock);
    return true;
  }
  int fd = sys::Open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = sys::Ftruncate(fd, kFlashBlock * kFlashBlocks) == 0 &&
            sys::Pwrite(fd, padded.data(), kFlashBlock,
                        static_cast<off_t>(block * kFlashBlock)) ==
                static_cast<ssize_t>(kFlashBlock);
  sys::Close(fd);
  return ok;
}

// With automatic rebuild on, a hot spare large enough takes the place of a
// member that failed and is rebuilt at once.
void AutoRebuild(Adapter &ad, DevRef failed, int64_t now) {
  int ld = MemberOf(ad.drives, failed);
  if (!ad.auto_rebuild || ld < 0 || ad.drives[ld].raid == 0) return;
  for (Span &span : ad.drives[ld].spans) {
    for (DevRef &member : span.members) {
      if (!(member == failed)) continue;
      for (Device &spare : ad.devices) {
        if (!spare.IsDisk() || spare.state != kStateHotSpare ||
            UsableSectors(spare.sectors) < span.blocks)
          continue;
        member = spare.at;
        spare.state = kStateRebuild;
        spare.config = "same";
        ad.ops.push_back(
            {OpKind::kRebuild, spare.at, 0, 0, 0, {}, now, ad.rebuild_ms});
        return;
      }
      return;
    }
  }
}

// A disk goes failed, whether the adapter was told so or the disk died:
// whatever rebuilt it ends, and a hot spare may take its place.
void FailMember(Adapter &ad, Device *dev, int64_t now) {
  CancelRebuild(ad, dev->at);
  dev->state = kStateFailed;
  if (MemberOf(ad.drives, dev->at) >= 0) AutoRebuild(ad, dev->at, now);
}

// ------------------------------------------------------------ commands

// 0x06: set a device's state; 6 (hot spare) carries the size as 4 bytes.
Reply SetDeviceState(Adapter &ad, const Command &cmd, int64_t now) {
  DevRef at;
  if (!MailboxDevice(ad, cmd.area, &at)) return Refuse();
  Device *dev = ad.FindDevice(at);
  if (!dev || !dev->IsDisk()) return Refuse();
  bool member = MemberOf(ad.drives, at) >= 0;
  switch (cmd.area[3]) {
    case kStateFailed:
      FailMember(ad, dev, now);
      return Ok();
    case kStateOnline:
      CancelRebuild(ad, at);
      dev->state = kStateOnline;
      return Ok();
    case kStateReady:
      if (member) return Refuse();
      dev->state = kStateReady;
      dev->spare_sectors = 0;
      return Ok();
    case kStateHotSpare:
      if (member || cmd.out.size() < 4) return Refuse();
      if (dev->state != kStateReady && dev->state != kStateHotSpare &&
          dev->state != kStateOnline)
        return Refuse();
      dev->state = kStateHotSpare;
      dev->spare_sectors = ReadU32(cmd.out);
      return Ok();
    case kStateRebuild: {
      int ld = MemberOf(ad.drives, at);
      if (ld < 0 || ad.drives[ld].raid == 0 || dev->state != kStateFailed)
        return Refuse();
      dev->state = kStateRebuild;
      ad.ops.push_back({OpKind::kRebuild, at, 0, 0, 0, {}, now, ad.rebuild_ms});
      return Ok();
    }
    default:
      return Refuse();
  }
}

// 0x08 start, 0x18 progress, 0x28 abort of a device's rebuild.
Reply Rebuild(Adapter &ad, const Command &cmd, int64_t now) {
  DevRef at;
  if (!MailboxDevice(ad, cmd.area, &at)) return Refuse();
  Device *dev = ad.FindDevice(at);
  int ld = MemberOf(ad.drives, at);
  if (!dev || !dev->IsDisk() || ld < 0) return Refuse();
  Operation *op = FindRebuild(ad, at);
  switch (cmd.area[0]) {
    case 0x08:
      if (op) return Refuse(2);
      if (ad.drives[ld].raid == 0 || dev->state != kStateFailed)
        return Refuse();
      dev->state = kStateRebuild;
      ad.ops.push_back({OpKind::kRebuild, at, 0, 0, 0, {}, now, ad.rebuild_ms});
      return Ok();
    case 0x18:
      if (op) return Ok(U32(Progress(*op, now)));
      return Ok(U32(dev->state == kStateOnline ? 100 : 0));
    default:  // 0x28
      if (!op) return Refuse();
      CancelRebuild(ad, at);
      dev->state = kStateFailed;
      return Ok();
  }
}

// Consistency check (0x09 start, 0x19 progress, 0x29 abort) and
// initialisation (0x0B, 0x1B, 0x2B) of a logical drive.
Reply DriveOperationCommand(Adapter &ad, const Command &cmd, int64_t now) {
  uint8_t opcode = cmd.area[0], ld = cmd.area[1];
  bool check = (opcode & 0x0F) == 0x09;
  OpKind kind = check ? OpKind::kCheck : OpKind::kInit;
  if (ld >= ad.drives.size()) return Refuse(check ? 4 : 3);
  Operation *op = FindOp(ad, kind, ld);
  bool optimal = DriveState(ad, ld) == kLdOptimal;
  switch (opcode & 0xF0) {
    case 0x00:  // start
      if (check && ad.drives[ld].raid == 0) return Refuse(4);
      if (DriveOperation(ad, ld) != 0) return Refuse(2);
      if (!optimal) return Refuse(1);
      ad.ops.push_back(
          {kind, {}, ld, 0, 0, {}, now, check ? ad.check_ms : ad.init_ms});
      ad.notify_ld_op++;
      ad.notify_ld_op_id = ld;
      ad.notify_ld_op_cmd = opcode;
      ad.notify_ld_op_status = 0;
      return Ok();
    case 0x10:  // progress
      if (op) {
        // A check that goes on over a drive that lost a member says so
        // with status 1, together with its progress.
        Reply r = Ok(U32(Progress(*op, now)));
        if (check && !optimal) r.status = kStatusRefused;
        return r;
      }
      if (check && !optimal) return Reply{2, U32(0)};
      return Ok(U32(100));
    default:  // 0x20, abort
      if (!op) return Refuse();
      ad.ops.erase(ad.ops.begin() + (op - ad.ops.data()));
      return Ok();
  }
}

// 0x26: set policy area[2] (1 write, 2 direct I/O, 3 read-ahead) of drive
// area[1] to area[3].
Reply SetPolicy(Adapter &ad, const Command &cmd) {
  uint8_t ld = cmd.area[1], which = cmd.area[2], value = cmd.area[3];
  if (ld >= ad.drives.size()) return Refuse();
  LogicalDrive &d = ad.drives[ld];
  switch (which) {
    case 1:
      if (value > 1) return Refuse();
      d.write_policy = value;
      return Ok();
    case 2:
      if (value > 1) return Refuse();
      d.direct_io = value;
      return Ok();
    case 3:
      if (value > 2) return Refuse();
      d.read_ahead = value;
      return Ok();
    default:
      return Refuse();
  }
}

// 0x60: start a reconstruction from a RECONSTRUCT_8LD_DATA or _40LD_DATA.
Reply StartRecon(Adapter &ad, const Command &cmd, int64_t now) {
  size_t size =
      ad.Is8LD() ? sizeof(RECONSTRUCT_8LD_DATA) : sizeof(RECONSTRUCT_40LD_DATA);
  size_t max_devs = ad.Is8LD() ? 8 : 32;
  if (cmd.out.size() < size || ReconRunning(ad)) return Refuse();
  const Bytes &r = cmd.out;
  uint8_t operation = r[0], ld = r[1], numdevs = r[2];
  uint8_t stripe = r[3 + max_devs], level = r[4 + max_devs];
  if (operation != 1 || ld >= ad.drives.size() || numdevs > max_devs)
    return Refuse();
  LogicalDrive &d = ad.drives[ld];
  if (d.spans.size() != 1 || DriveState(ad, ld) != kLdOptimal ||
      DriveOperation(ad, ld) != 0)
    return Refuse();
  if (level != 0 && level != 1 && level != 3 && level != 5) return Refuse();
  if (d.RowSize() + numdevs > ad.MaxRow()) return Refuse();
  std::vector<DevRef> add;
  for (size_t i = 0; i < numdevs; ++i) {
    DevRef at{static_cast<uint8_t>(r[3 + i] >> 4),
              static_cast<uint8_t>(r[3 + i] & 15)};
    const Device *dev = ad.FindDevice(at);
    if (!dev || !dev->IsDisk() || dev->state != kStateReady ||
        MemberOf(ad.drives, at) >= 0)
      return Refuse();
    for (const DevRef &seen : add)
      if (seen == at) return Refuse();
    add.push_back(at);
  }
  size_t n = d.RowSize() + add.size();
  if ((level == 1 && n != 2) || ((level == 3 || level == 5) && n < 3))
    return Refuse();
  ad.ops.push_back(
      {OpKind::kRecon, {}, ld, level, stripe, add, now, ad.recon_ms});
  return Ok(Bytes(r.begin(), r.begin() + static_cast<long>(size)));
}

// Writes a configuration (0x20, 0x68, 0xA1/0x0D).
Reply WriteConfig(Adapter &ad, const Command &cmd) {
  if (cmd.out.size() < DiskArraySize(ad) || ReconRunning(ad)) return Refuse();
  Layout layout;
  std::vector<uint8_t> states;
  std::string why;
  if (!ParseDiskArray(ad, cmd.out, &layout, &states, &why)) return Refuse();
  // The new configuration ends every operation on the old one.
  ad.ops.clear();
  ad.drives = layout;
  for (Device &dev : ad.devices) {
    if (!dev.IsDisk()) continue;
    int idx = StateIndex(ad, dev.at);
    uint8_t written = idx >= 0 ? states[idx] : 0;
    if (MemberOf(ad.drives, dev.at) >= 0) {
      dev.state = written == kStateFailed ? kStateFailed : kStateOnline;
      dev.config = "same";
    } else if (written == kStateHotSpare) {
      dev.state = kStateHotSpare;
    } else if (dev.state != kStateFailed) {
      dev.state = kStateReady;
    }
  }
  // Stored copies that now match the adapter are the adapter's again.
  for (Device &dev : ad.devices) {
    auto it = ad.stored.find(dev.config);
    if (it != ad.stored.end() && SameLayout(it->second, ad.drives))
      dev.config = "same";
  }
  for (auto it = ad.stored.begin(); it != ad.stored.end();) {
    bool used = false;
    for (const Device &dev : ad.devices) used = used || dev.config == it->first;
    it = used ? std::next(it) : ad.stored.erase(it);
  }
  ad.write_config_count++;
  ad.notify_config++;
  return Ok();
}

// The configuration a disk holds (0x63 on 8LD, 0xA1/0x06 on 40LD); the
// device number is channel * 16 + target.
Reply DeviceConfig(Adapter &ad, uint8_t number) {
  DevRef at{static_cast<uint8_t>(number >> 4),
            static_cast<uint8_t>(number & 15)};
  const Device *dev = ad.FindDevice(at);
  if (!dev || !dev->IsDisk()) return Refuse();
  const Layout *layout = StoredLayout(ad, *dev);
  static const Layout kBlank;
  return Ok(DiskArray(ad, layout ? *layout : kBlank));
}

// 0x62: the BIOS settings word; its high byte tells whether the stored
// configurations agree (1) with the adapter's.
Reply BiosWord(Adapter &ad, const Command &cmd) {
  switch (cmd.area[1]) {
    case 1:
      return Ok({ad.bios, static_cast<uint8_t>(ConfigMismatch(ad) ? 0 : 1)});
    case 2:
      if (cmd.out.empty()) return Refuse();
      ad.bios = cmd.out[0];
      return Ok();
    default:
      return Refuse();
  }
}

// 0x64: adapter property area[1] for channel area[2].
Reply AdapterProperty(Adapter &ad, const Command &cmd) {
  uint8_t which = cmd.area[1], channel = cmd.area[2];
  std::string key =
      "0x64:" + std::to_string((which + 1) / 2) + ":" + std::to_string(channel);
  switch (which) {
    case 3:
      return Ok({ad.auto_rebuild});
    case 4:
      if (cmd.out.empty() || cmd.out[0] > 1) return Refuse();
      ad.auto_rebuild = cmd.out[0];
      return Ok();
    case 7:
      if (channel >= ad.channels) return Refuse();
      return Ok({channel < ad.channel_rates.size() ? ad.channel_rates[channel]
                                                   : uint8_t{0}});
    case 8:
      if (channel >= ad.channels || cmd.out.empty() || cmd.out[0] > 3)
        return Refuse();
      if (ad.channel_rates.size() < ad.channels)
        ad.channel_rates.resize(ad.channels, 0);
      ad.channel_rates[channel] = cmd.out[0];
      return Ok();
    case 1:
    case 5: {
      Bytes value = ad.registers[key];
      value.resize(which == 1 ? 1 : 4, 0);
      return Ok(value);
    }
    case 2:
    case 6:
      if (cmd.out.size() < (which == 2 ? 1u : 4u)) return Refuse();
      ad.registers[key] =
          Bytes(cmd.out.begin(), cmd.out.begin() + (which == 2 ? 1 : 4));
      return Ok();
    default:
      return Refuse();
  }
}

// Commands that only keep a value for a later read: a register per key.
Reply Register(Adapter &ad, const std::string &key, bool write, size_t size,
               const Command &cmd) {
  if (write) {
    if (cmd.out.size() < size) return Refuse();
    ad.registers[key] =
        Bytes(cmd.out.begin(), cmd.out.begin() + static_cast<long>(size));
    return Ok();
  }
  auto it = ad.registers.find(key);
  Bytes value = it == ad.registers.end() ? Bytes() : it->second;
  value.resize(size, 0);
  return Ok(value);
}

std::string Key(uint8_t op, uint8_t a, uint8_t b) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%02x:%u:%u", op, a, b);
  return buf;
}

Bytes Fixed(const Bytes &src, size_t size) {
  Bytes out = src;
  out.resize(size, 0);
  return out;
}

Reply Group40LD(Adapter &ad, const Command &cmd) {
  const Bytes &a = cmd.area;
  switch (a[1]) {
    case kSub40LDReadDiskArray:
    case kSub40LDReadDiskArray2:
      return Ok(DiskArray(ad, ad.drives));
    case kSub40LDReadDeviceConfig:
      return DeviceConfig(ad, a[2]);
    case kSub40LDLoopIdMap: {
      Bytes map(sizeof(LOOPID_MAP), 0xFF);
      for (const Device &d : ad.devices)
        map[StateIndex(ad, d.at)] = static_cast<uint8_t>(StateIndex(ad, d.at));
      return Ok(map);
    }
    case kSub40LD0C:
      return Ok({0});
    case kSub40LDWriteConfig:
      return WriteConfig(ad, cmd);
    case kSub40LDProductInfo:
      return Ok(ProductInfo40LD(ad));
    case kSub40LDEnquiry3:
      if (a[2] == kEnq3Notify) return Ok(Notify40LD(ad));
      if (a[2] == kEnq3Full) return Ok(Enquiry3_40LD(ad));
      return Refuse();
    case 0x02:
    case 0x03:
    case 0x07:
    case 0x08:
    case 0x09:
    case 0x0B:
      return Ok();
    default:
      return Refuse();
  }
}

Reply Flash(Scenario &sc, size_t index, const Command &cmd) {
  Adapter &ad = sc.adapters[index];
  ad.flash_received.resize(kFlashBlocks / 8, 0);
  if (cmd.area[0] == 0x2C) {
    // Block commands name the block three times: 2C i i 00 00 00 i.
    uint8_t block = cmd.area[1];
    if (cmd.area[2] != block || cmd.area[6] != block ||
        cmd.out.size() < kFlashBlock)
      return Refuse();
    if (!WriteFlashBlock(index, block, cmd.out)) return Refuse();
    ad.flash_received[block / 8] |= static_cast<uint8_t>(1 << (block % 8));
    ad.flash_blocks++;
    return Ok();
  }
  // 2D 83 83 00 00 00 83 closes a download of all 256 blocks.
  if (cmd.area[1] != 0x83 || cmd.area[2] != 0x83 || cmd.area[6] != 0x83)
    return Refuse();
  bool complete = true;
  for (uint8_t got : ad.flash_received) complete = complete && got == 0xFF;
  ad.flash_received.clear();
  if (!complete) return Refuse();
  ad.flash_closes++;
  return Ok();
}

Reply Mailbox(Scenario &sc, size_t index, const Command &cmd, int64_t now) {
  Adapter &ad = sc.adapters[index];
  const Bytes &a = cmd.area;
  uint8_t op = a[0];
  bool is8 = ad.Is8LD();
  DevRef at;
  switch (op) {
    case kOpExtEnquiry8LD:
      return is8 ? Ok(ExtEnquiry8LD(ad)) : Refuse();
    case kOpEnquiry8LD:
      return is8 ? Ok(Enquiry8LD(ad)) : Refuse();
    case kOpExtEnquiry2_8LD:
      return is8 ? Ok(ExtEnquiry2_8LD(ad)) : Refuse();
    case kOpDiskArray4Span:
      return ad.firmware == kFirmware4Span ? Ok(DiskArray(ad, ad.drives))
                                           : Refuse();
    case kOpDiskArray8Span:
      return ad.firmware == kFirmware8Span ? Ok(DiskArray(ad, ad.drives))
                                           : Refuse();
    case kOpWriteConfig4Span:
      return ad.firmware == kFirmware4Span ? WriteConfig(ad, cmd) : Refuse();
    case kOpWriteConfig8Span:
      return ad.firmware == kFirmware8Span ? WriteConfig(ad, cmd) : Refuse();
    case kOpDeviceConfig8LD:
      return is8 ? DeviceConfig(ad, a[2]) : Refuse();
    case kOp40LD:
      return is8 ? Refuse() : Group40LD(ad, cmd);
    case kOpA4:
      if (is8 || a[1] != kSubA4Read) return Refuse();
      return Ok(Bytes(40, 0));
    case kOpSetDeviceState:
      return SetDeviceState(ad, cmd, now);
    case 0x08:
    case 0x18:
    case 0x28:
      return Rebuild(ad, cmd, now);
    case 0x09:
    case 0x19:
    case 0x29:
    case 0x0B:
    case 0x1B:
    case 0x2B:
      return DriveOperationCommand(ad, cmd, now);
    case 0x0A:  // flush the cache
      return Ok();
    case 0x23:
      return Ok({ad.rebuild_rate, 0, 0, 0});
    case 0x24:
      if (cmd.out.empty() || cmd.out[0] > 100) return Refuse();
      ad.rebuild_rate = cmd.out[0];
      return Ok();
    case 0x26:
      return SetPolicy(ad, cmd);
    case 0x2C:
    case 0x2D:
      return Flash(sc, index, cmd);
    case 0x31: {  // device query: its state
      if (!MailboxDevice(ad, a, &at)) return Refuse();
      const Device *dev = ad.FindDevice(at);
      return dev ? Ok({dev->state}) : Refuse();
    }
    case 0x32:
    case 0x33:
      return Register(ad, Key(0x32, a[1], a[2]), op == 0x33, 2, cmd);
    case 0x36: {  // MACHINE_ID: the identifier and its complement
      Bytes id = U32(ad.machine_id), neg = U32(~ad.machine_id);
      id.insert(id.end(), neg.begin(), neg.end());
      return Ok(id);
    }
    case 0x51:  // alarm: 0, 1, 2 set it; 3 asks for its state
      if (cmd.out.empty()) return Refuse();
      if (cmd.out[0] == 3) return Ok({ad.alarm});
      if (cmd.out[0] > 2) return Refuse();
      ad.alarm = cmd.out[0];
      return Ok({ad.alarm});
    case 0x52: {  // dump: two bytes of offset, then text
      Bytes dump(4096, 0);
      size_t n = ad.dump_text.size() < 4093 ? ad.dump_text.size() : 4093;
      dump[0] = static_cast<uint8_t>(n);
      dump[1] = static_cast<uint8_t>(n >> 8);
      std::memcpy(&dump[2], ad.dump_text.data(), n);
      return Ok(dump);
    }
    case kOpSenseDump:
      return Ok(Fixed(ad.sense_dump, sizeof(SENSE_DUMP)));
    case 0x55:
    case 0x56:
      if (a[1] != 1 && a[1] != 2) return Refuse();
      return Register(ad, Key(0x55, op, 0), a[1] == 2, op == 0x55 ? 1 : 8, cmd);
    case 0x57:
      if (a[1] != 2) return Refuse();
      return Ok(Bytes(2048, 0));
    case kOpStartRecon:
      return StartRecon(ad, cmd, now);
    case kOpReconProgress:
      for (const Operation &o : ad.ops)
        if (o.kind == OpKind::kRecon) {
          uint32_t p = Progress(o, now);
          return Ok(U32(p >= kReconNotRunning ? kReconNotRunning - 1 : p));
        }
      return Ok(U32(kReconNotRunning));
    case 0x62:
      return BiosWord(ad, cmd);
    case kOpAdapterProperty:
      return AdapterProperty(ad, cmd);
    case 0x6A: {
      if (!MailboxDevice(ad, a, &at)) return Refuse();
      Device *dev = ad.FindDevice(at);
      if (!dev) return Refuse();
      dev->medium_errors = dev->other_errors = 0;
      return Ok();
    }
    case 0x70:  // cluster mode: 0 off, 1 on, 2 query
      if (a[1] == 2) return Ok({ad.cluster});
      if (a[1] > 1) return Refuse();
      ad.cluster = a[1];
      return Ok({ad.cluster});
    case 0x71:
    case 0x72:
      return Register(ad, Key(0x71, a[1], a[2]), op == 0x72, 8, cmd);
    case 0x73:
    case 0x74:
      return Ok();
    case 0x75: {  // device command: the device must answer
      if (!MailboxDevice(ad, a, &at) || !ad.FindDevice(at)) return Refuse();
      return Ok();
    }
    case 0x77: {
      if (!MailboxDevice(ad, a, &at)) return Refuse();
      const Device *dev = ad.FindDevice(at);
      if (!dev) return Refuse();
      return Ok({dev->medium_errors, dev->other_errors});
    }
    case 0x7D:
      return Ok({ad.initiator_id});
    case 0x7F:
      if (!ad.cluster || cmd.out.empty() || cmd.out[0] > 15) return Refuse();
      ad.initiator_id = cmd.out[0];
      return Ok();
    case kOpDriveHistory:
      if (a[1] == 0) return Ok(Fixed(ad.history, sizeof(DRV_HISTORY)));
      if (a[1] == 1) {
        ad.history.assign(sizeof(DRV_HISTORY), 0);
        return Ok();
      }
      return Refuse();
    case 0x97:
      return Register(ad, Key(0x97, a[1], 0), a[1] != 0x10, 1, cmd);
    case kOpAdapterStatus: {
      Bytes stat(sizeof(DAC_STAT_8LD), 0);
      stat.back() = static_cast<uint8_t>(index);
      return Ok(stat);
    }
    case 0x65:  // 0x65 0x01: adapter identification, 12 bytes
      if (a[1] != 1) return Refuse();
      return Ok(Fixed(Bytes(ad.product.begin(), ad.product.end()), 12));
    default:
      return Refuse();
  }
}

// Device and drive states, to notice what a command changed.
struct States {
  std::vector<std::pair<DevRef, uint8_t>> devices;
  std::vector<uint8_t> drives;
};

States Snapshot(const Adapter &ad) {
  States s;
  for (const Device &d : ad.devices) s.devices.emplace_back(d.at, d.state);
  for (size_t i = 0; i < ad.drives.size(); ++i)
    s.drives.push_back(DriveState(ad, i));
  return s;
}

void NoteChanges(Adapter &ad, const States &before) {
  States after = Snapshot(ad);
  for (size_t i = 0; i < before.devices.size() && i < after.devices.size();
       ++i) {
    if (before.devices[i].first == after.devices[i].first &&
        before.devices[i].second != after.devices[i].second) {
      DevRef at = after.devices[i].first;
      ad.notify_pd_state++;
      ad.notify_pd_id = static_cast<uint8_t>(at.channel << 4 | at.target);
      ad.notify_pd_new = after.devices[i].second;
      ad.notify_pd_old = before.devices[i].second;
      ad.notify_global++;
    }
  }
  for (size_t i = 0; i < after.drives.size(); ++i) {
    uint8_t old = i < before.drives.size() ? before.drives[i] : kLdOffline;
    if (old != after.drives[i]) {
      ad.notify_ld_state++;
      ad.notify_ld_id = static_cast<uint8_t>(i);
      ad.notify_ld_new = after.drives[i];
      ad.notify_ld_old = old;
      ad.notify_global++;
    }
  }
}

}  // namespace

void Settle(Adapter &ad, int64_t now) {
  for (size_t i = 0; i < ad.ops.size();) {
    Operation op = ad.ops[i];
    if (Progress(op, now) < 100) {
      ++i;
      continue;
    }
    ad.ops.erase(ad.ops.begin() + static_cast<long>(i));
    if (op.kind == OpKind::kRebuild) {
      Device *dev = ad.FindDevice(op.dev);
      if (dev && dev->state == kStateRebuild) dev->state = kStateOnline;
    } else if (op.kind == OpKind::kRecon) {
      CompleteRecon(ad, op);
    }
  }
}

bool FailDisk(Adapter &ad, DevRef at, int64_t now) {
  Device *dev = ad.FindDevice(at);
  if (!dev || !dev->IsDisk()) return false;
  Settle(ad, now);
  States before = Snapshot(ad);
  FailMember(ad, dev, now);
  NoteChanges(ad, before);
  return true;
}

Reply Execute(Scenario &sc, size_t index, const Command &cmd, int64_t now) {
  if (index >= sc.adapters.size()) return Refuse();
  Adapter &ad = sc.adapters[index];
  Settle(ad, now);
  States before = Snapshot(ad);
  Reply reply;
  if (cmd.passthru) {
    reply = ExecutePassThrough(ad, cmd);
  } else {
    Command padded = cmd;
    padded.area.resize(kMailboxAreaSize, 0);
    reply = Mailbox(sc, index, padded, now);
  }
  NoteChanges(sc.adapters[index], before);
  return reply;
}

std::string FlashPath(size_t index) {
  std::string state = StateStore::StatePath();
  return state.empty() ? "" : state + ".flash" + std::to_string(index);
}

bool ReadFlashImage(size_t index, Bytes *image, std::string *error) {
  std::string path = FlashPath(index);
  image->assign(kFlashBlock * kFlashBlocks, 0);
  if (path.empty()) {
    std::lock_guard<std::mutex> g(FlashMutex());
    auto it = MemoryFlash().find(index);
    if (it != MemoryFlash().end()) *image = it->second;
    return true;
  }
  int fd = sys::Open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;  // nothing downloaded yet
  ssize_t n = sys::Pread(fd, image->data(), image->size(), 0);
  sys::Close(fd);
  if (n < 0) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

}  // namespace halvsim
