#include "Presets.h"

#include <chrono>

namespace halvsim {

namespace {

constexpr uint32_t kDiskSectors = 4194304;  // 2 GiB disks
constexpr uint32_t kSpanBlocks = 2097152;   // 1 GiB of each member

Device Disk(uint8_t channel, uint8_t target, uint8_t state,
            uint32_t sectors = kDiskSectors) {
  Device d;
  d.at = {channel, target};
  d.sectors = sectors;
  d.state = state;
  d.vendor = "HALVSIM";
  d.product = "DISK " + std::to_string(channel) + ":" + std::to_string(target);
  return d;
}

Device NonDisk(uint8_t channel, uint8_t target, uint8_t type,
               const std::string &product) {
  Device d;
  d.at = {channel, target};
  d.type = type;
  d.sectors = 0;
  d.product = product;
  return d;
}

LogicalDrive Drive(uint8_t raid, std::vector<DevRef> members, uint32_t start,
                   uint32_t blocks = kSpanBlocks) {
  LogicalDrive d;
  d.raid = raid;
  d.stripe = 0x80;
  d.read_ahead = 2;
  d.write_policy = 1;
  d.direct_io = 1;
  Span s;
  s.start = start;
  s.blocks = blocks;
  s.members = std::move(members);
  d.spans.push_back(s);
  return d;
}

Adapter Base(uint8_t firmware, uint8_t interface) {
  Adapter a;
  a.firmware = firmware;
  a.interface = interface;
  if (firmware == kFirmware40LD) {
    a.channels = 3;
    a.targets = 16;
    a.product = "QRN Halvoran 438 40LD";
    a.host_text = "QRN Halvoran 438 (40LD)";
  } else {
    a.channels = 4;
    a.targets = 15;
    a.product = firmware == kFirmware4Span ? "QRN Halvoran 8LD 4-span"
                                           : "QRN Halvoran 8LD 8-span";
    a.host_text = "QRN Halvoran 428 (8LD)";
  }
  a.channel_rates.assign(a.channels, 0);
  a.history.assign(118, 0);
  a.sense_dump.assign(81, 0);
  return a;
}

// One 40LD adapter: a RAID 5 and a RAID 1 drive, a hot spare, a free disk.
Adapter Standard40LD(uint8_t interface) {
  Adapter a = Base(kFirmware40LD, interface);
  for (uint8_t t = 0; t < 5; ++t)
    a.devices.push_back(Disk(0, t, t < 4 ? kStateOnline : kStateReady));
  a.devices.push_back(Disk(1, 0, kStateOnline));
  a.devices.push_back(Disk(1, 1, kStateHotSpare));
  a.devices.back().spare_sectors = kDiskSectors - 32;
  a.drives.push_back(Drive(5, {{0, 0}, {0, 1}, {0, 2}}, 0));
  a.drives.push_back(Drive(1, {{0, 3}, {1, 0}}, kSpanBlocks));
  return a;
}

Adapter Standard8LD(uint8_t firmware, size_t drives) {
  Adapter a = Base(firmware, 2);
  for (uint8_t t = 0; t < 4; ++t) a.devices.push_back(Disk(0, t, kStateOnline));
  a.devices.push_back(Disk(1, 0, kStateReady));
  a.devices.push_back(Disk(1, 1, kStateReady));
  a.drives.push_back(Drive(5, {{0, 0}, {0, 1}, {0, 2}}, 0));
  if (drives > 1) {
    a.drives.push_back(Drive(0, {{0, 3}}, kSpanBlocks));
  } else {
    a.devices[3].state = kStateReady;
  }
  return a;
}

// A healthy RAID 5 on three disks of different sizes (the drive uses the
// smallest), a larger free disk, a processor device and empty slots.
Adapter HealthyRaid5(uint8_t firmware, uint8_t interface) {
  Adapter a = Base(firmware, interface);
  a.devices.push_back(Disk(0, 0, kStateOnline));
  a.devices.push_back(Disk(0, 1, kStateOnline, 2 * kDiskSectors));
  a.devices.push_back(Disk(0, 2, kStateOnline, 3 * kDiskSectors));
  a.devices.push_back(Disk(0, 3, kStateReady, 4 * kDiskSectors));
  a.devices.push_back(NonDisk(0, 5, 3, "ENCLOSURE PROCESSOR"));
  a.drives.push_back(Drive(5, {{0, 0}, {0, 1}, {0, 2}}, 0));
  return a;
}

// The RAID 5 with member 0:1 failed and a hot spare at 1:0.
Adapter DegradedRaid5(uint8_t firmware, uint8_t interface) {
  Adapter a = HealthyRaid5(firmware, interface);
  a.FindDevice({0, 1})->state = kStateFailed;
  a.FindDevice({0, 1})->medium_errors = 7;
  a.FindDevice({0, 1})->other_errors = 2;
  a.devices.push_back(Disk(1, 0, kStateHotSpare));
  a.devices.back().spare_sectors = kDiskSectors - 32;
  return a;
}

int64_t WallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> PresetList() {
  return {
      {"one40ld",
       "one 40LD adapter on interface 1 (RAID 5, RAID 1, a hot "
       "spare, a free disk)"},
      {"two8ld",
       "an 8LD 4-span adapter (two drives, /dev/sda-sdb) and an "
       "8LD 8-span adapter (one drive, /dev/sdc) on interface 2"},
      {"faulty",
       "one 40LD adapter on interface 1 with a tape, a CD-ROM and "
       "a failed member disk (RAID 5 degraded)"},
      {"blank",
       "one 40LD adapter on interface 1 with six free disks and no "
       "configuration"},
      {"mismatch",
       "one40ld whose adapter has lost drive 1 while the disks "
       "still record both drives"},
      {"raid5",
       "one 40LD adapter on interface 1: a healthy RAID 5 on disks of "
       "three sizes, a free disk, a processor device"},
      {"degraded",
       "raid5 with member 0:1 failed (drive degraded) and a hot spare "
       "at 1:0"},
      {"rebuilding",
       "degraded whose failed member is being rebuilt (started when the "
       "state file was made)"},
      {"mixed",
       "on interface 1: a 40LD adapter (RAID 5, spanned RAID 1), an 8LD "
       "4-span adapter (degraded RAID 5, a tape) and an 8LD 8-span adapter "
       "(RAID 1 of two spans)"},
      {"none", "no adapter and no driver node"},
      {"seven", "seven 40LD adapters on interface 1"},
  };
}

bool MakePreset(const std::string &name, Scenario *out) {
  Scenario sc;
  if (name == "one40ld") {
    sc.adapters.push_back(Standard40LD(1));
  } else if (name == "two8ld") {
    sc.adapters.push_back(Standard8LD(kFirmware4Span, 2));
    sc.adapters.push_back(Standard8LD(kFirmware8Span, 1));
    sc.adapters[1].host_number = 1;
  } else if (name == "faulty") {
    Adapter a = Standard40LD(1);
    a.devices[1].state = kStateFailed;  // 0:1, member of the RAID 5 drive
    a.devices[1].medium_errors = 12;
    a.devices.push_back(NonDisk(2, 0, 1, "VIRTUAL TAPE"));
    a.devices.push_back(NonDisk(2, 1, 5, "VIRTUAL CD-ROM"));
    // The disk's failure left its mark in the drive history and sense dump.
    a.history[96] = 1;
    a.history[97] = 0x80 | (1 << 3) | 0;  // valid, target 1, channel 0
    a.history[98] = 2;
    a.sense_dump[0] = 1;
    a.sense_dump[1] = 0;      // channel
    a.sense_dump[2] = 1;      // target
    a.sense_dump[3] = 0x70;   // current error
    a.sense_dump[5] = 0x03;   // medium error
    a.sense_dump[15] = 0x11;  // unrecovered read error
    sc.adapters.push_back(a);
  } else if (name == "blank") {
    Adapter a = Base(kFirmware40LD, 1);
    for (uint8_t t = 0; t < 6; ++t)
      a.devices.push_back(Disk(0, t, kStateReady));
    for (Device &d : a.devices) d.config = "none";
    sc.adapters.push_back(a);
  } else if (name == "mismatch") {
    Adapter a = Standard40LD(1);
    a.stored["disks"] = a.drives;
    a.drives.pop_back();
    for (Device &d : a.devices)
      if (d.IsDisk() && (d.state == kStateOnline)) d.config = "disks";
    // Drive 1's members are no longer members as far as the adapter knows.
    a.FindDevice({0, 3})->state = kStateReady;
    a.FindDevice({1, 0})->state = kStateReady;
    sc.adapters.push_back(a);
  } else if (name == "raid5") {
    sc.adapters.push_back(HealthyRaid5(kFirmware40LD, 1));
  } else if (name == "degraded") {
    sc.adapters.push_back(DegradedRaid5(kFirmware40LD, 1));
  } else if (name == "rebuilding") {
    Adapter a = DegradedRaid5(kFirmware40LD, 1);
    a.FindDevice({0, 1})->state = kStateRebuild;
    a.ops.push_back(
        {OpKind::kRebuild, {0, 1}, 0, 0, 0, {}, WallClockMs(), a.rebuild_ms});
    sc.adapters.push_back(a);
  } else if (name == "mixed") {
    Adapter big = HealthyRaid5(kFirmware40LD, 1);
    big.devices.push_back(Disk(1, 0, kStateOnline));
    big.devices.push_back(Disk(1, 1, kStateOnline));
    big.devices.push_back(Disk(2, 0, kStateOnline));
    big.devices.push_back(Disk(2, 1, kStateOnline));
    LogicalDrive mirror = Drive(1, {{1, 0}, {1, 1}}, 0);
    mirror.spans.push_back({0, kSpanBlocks, {{2, 0}, {2, 1}}});
    big.drives.push_back(mirror);
    sc.adapters.push_back(big);
    Adapter four = DegradedRaid5(kFirmware4Span, 1);
    four.devices.push_back(NonDisk(1, 2, 1, "VIRTUAL TAPE"));
    four.host_number = 1;
    sc.adapters.push_back(four);
    Adapter eight = Base(kFirmware8Span, 1);
    for (uint8_t c = 0; c < 2; ++c)
      for (uint8_t t = 0; t < 2; ++t)
        eight.devices.push_back(Disk(c, t, kStateOnline));
    LogicalDrive spanned = Drive(1, {{0, 0}, {0, 1}}, 0);
    spanned.spans.push_back({0, kSpanBlocks, {{1, 0}, {1, 1}}});
    eight.drives.push_back(spanned);
    eight.host_number = 2;
    sc.adapters.push_back(eight);
  } else if (name == "none") {
    sc.node = "absent";
  } else if (name == "seven") {
    for (uint32_t i = 0; i < 7; ++i) {
      Adapter a = Base(kFirmware40LD, 1);
      a.host_number = i;
      a.devices.push_back(Disk(0, 0, kStateOnline));
      a.devices.push_back(Disk(0, 1, kStateOnline));
      a.drives.push_back(Drive(1, {{0, 0}, {0, 1}}, 0));
      sc.adapters.push_back(a);
    }
  } else {
    return false;
  }
  *out = sc;
  return true;
}

}  // namespace halvsim
