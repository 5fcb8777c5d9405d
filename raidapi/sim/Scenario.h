// The simulated machine: the adapters behind the driver, their devices and
// logical drives, the long operations running on them and the faults to
// inject. One Scenario is shared by every process through the state file.
#ifndef HALVSIM_SCENARIO_H
#define HALVSIM_SCENARIO_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace halvsim {

// Device states as the firmware stores them.
constexpr uint8_t kStateReady = 0;
constexpr uint8_t kStateOnline = 3;
constexpr uint8_t kStateFailed = 4;
constexpr uint8_t kStateRebuild = 5;
constexpr uint8_t kStateHotSpare = 6;

// Logical drive states (low four bits) and the operation running (high four).
constexpr uint8_t kLdOffline = 0;
constexpr uint8_t kLdDegraded = 1;
constexpr uint8_t kLdOptimal = 2;
constexpr uint8_t kLdOpInit = 0x10;
constexpr uint8_t kLdOpCheck = 0x20;
constexpr uint8_t kLdOpRecon = 0x30;

constexpr uint8_t kFirmware4Span = 1;
constexpr uint8_t kFirmware8Span = 2;
constexpr uint8_t kFirmware40LD = 3;

// Channel and target of a physical device.
struct DevRef {
  uint8_t channel = 0;
  uint8_t target = 0;
  bool operator==(const DevRef &o) const {
    return channel == o.channel && target == o.target;
  }
  bool operator<(const DevRef &o) const {
    return channel != o.channel ? channel < o.channel : target < o.target;
  }
};

struct Device {
  DevRef at;
  uint8_t type = 0;  // SCSI peripheral device type: 0 disk, 1 tape, 5 CD-ROM
  uint32_t sectors = 0;
  uint8_t state = kStateReady;
  std::string vendor = "HALVSIM";
  std::string product = "VIRTUAL DISK";
  std::string revision = "0001";
  uint8_t medium_errors = 0;
  uint8_t other_errors = 0;
  uint32_t spare_sectors = 0;  // size given when it became a hot spare
  // Configuration recorded on the disk: "same" (the adapter's current one),
  // "none" (a blank disk) or the name of a stored configuration.
  std::string config = "same";
  std::vector<uint8_t> buffer;  // WRITE BUFFER contents
  bool IsDisk() const { return type == 0; }
};

struct Span {
  uint32_t start = 0;
  uint32_t blocks = 0;  // blocks per member device
  std::vector<DevRef> members;
};

struct LogicalDrive {
  uint8_t raid = 0;
  uint8_t stripe = 0x80;  // the firmware's stripe byte
  uint8_t read_ahead = 0;
  uint8_t write_policy = 0;
  uint8_t direct_io = 0;
  int status = -1;  // -1: derived from the member states
  std::vector<Span> spans;
  size_t RowSize() const { return spans.empty() ? 0 : spans[0].members.size(); }
};

using Layout = std::vector<LogicalDrive>;

enum class OpKind { kRebuild, kCheck, kInit, kRecon };

// A long operation; its progress follows from the clock.
struct Operation {
  OpKind kind = OpKind::kRebuild;
  DevRef dev;               // rebuild
  uint8_t ld = 0;           // check, init, recon
  uint8_t level = 0;        // recon: new RAID level
  uint8_t stripe = 0;       // recon: new stripe byte
  std::vector<DevRef> add;  // recon: devices added to span 0
  int64_t start_ms = 0;
  int64_t duration_ms = 0;
};

struct Adapter {
  uint8_t firmware = kFirmware40LD;
  uint8_t interface = 1;
  uint8_t channels = 3;
  uint8_t targets = 16;  // targets per channel the enquiry reports
  uint8_t initiator_id = 7;
  uint32_t host_number = 0;  // SCSI host number in the adapter sequence
  uint8_t rebuild_rate = 30;
  uint8_t alarm = 1;
  uint8_t bios = 1;  // low byte of the BIOS settings word
  uint8_t cluster = 0;
  uint8_t auto_rebuild = 0;  // 1: a hot spare replaces a failed member
  std::vector<uint8_t> channel_rates;  // one per channel, 0 to 3
  std::vector<uint8_t> fw_bytes = {0x21, 0x43, 0x41, 0x00};
  std::vector<uint8_t> bios_bytes = {0x10, 0x32, 0x31, 0x00};
  std::string fw_text = "1.72";
  std::string bios_text = "1.10";
  std::string product = "QRN Halvoran 438";
  std::string host_text = "QRN Halvoran PCI RAID";
  uint16_t subsystem_id = 0x0438;
  uint16_t subsystem_vendor = 0x101E;
  uint32_t signature = 0x48414C56;
  uint32_t machine_id = 0x1234ABCD;
  uint8_t max_commands = 126;
  uint16_t dram_mb = 64;
  uint8_t flush_interval = 4;
  uint8_t sense_alert = 0;
  uint8_t battery = 0;
  uint8_t inserted_count = 0;
  uint8_t write_config_count = 0;
  int64_t rebuild_ms = 60000;
  int64_t check_ms = 60000;
  int64_t init_ms = 60000;
  int64_t recon_ms = 120000;
  std::vector<Device> devices;
  Layout drives;
  std::map<std::string, Layout> stored;  // named stored configurations
  std::vector<Operation> ops;
  std::vector<uint8_t> history;     // drive history, 118 bytes
  std::vector<uint8_t> sense_dump;  // 81 bytes
  std::string dump_text = "halvsim adapter dump";
  std::map<std::string, std::vector<uint8_t>> registers;  // opaque settings
  // Notification counters of the 40LD firmware.
  uint32_t notify_global = 0;
  uint8_t notify_config = 0;
  uint8_t notify_ld_state = 0, notify_ld_id = 0, notify_ld_new = 0,
          notify_ld_old = 0;
  uint8_t notify_pd_state = 0, notify_pd_id = 0, notify_pd_new = 0,
          notify_pd_old = 0;
  uint8_t notify_ld_op = 0, notify_ld_op_id = 0, notify_ld_op_cmd = 0,
          notify_ld_op_status = 0;
  // Firmware download: blocks received since the last closing command.
  std::vector<uint8_t> flash_received;  // bitmap of the 256 blocks
  uint32_t flash_blocks = 0;            // blocks written, all downloads
  uint32_t flash_closes = 0;            // closing commands accepted

  bool Is8LD() const { return firmware != kFirmware40LD; }
  size_t MaxDrives() const { return Is8LD() ? 8 : 40; }
  size_t MaxSpans() const { return firmware == kFirmware4Span ? 4 : 8; }
  size_t MaxRow() const { return Is8LD() ? 8 : 32; }
  Device *FindDevice(DevRef at);
  const Device *FindDevice(DevRef at) const;
};

// Where a fault rule applies and what it does.
struct FaultRule {
  int op = -1;   // command-area byte 0 (3 pass-through, 0x82 driver query),
                 // kOpProbe for the probe-host request; -1 any
  int sub = -1;  // area byte 1; the block's opcode for pass-through
  int adapter = -1;
  int channel = -1, target = -1;  // pass-through and device commands
  uint32_t from = 1;              // first occurrence (1-based) that fires
  uint32_t times = 0;             // occurrences that fire; 0 = unlimited
  // kShort: the command runs but only `length` bytes of its answer come
  // back, and the driver reports that many; kCount: the whole answer comes
  // back but the driver reports `length` bytes (a count it got wrong).
  enum class Action {
    kFail,
    kStatus,
    kData,
    kShort,
    kCount
  } action = Action::kFail;
  int status = 1;
  uint32_t length = 0;
  uint32_t data_offset = 0;
  std::vector<uint8_t> data;
  uint32_t seen = 0;  // matching requests so far
};

constexpr int kOpProbe = 0x5385;

struct Scenario {
  int64_t clock_ms = 0;       // 0: the real clock; otherwise a frozen "now"
  std::string node = "auto";  // "/dev/halvdev0": auto, present, absent
  std::string foreign_disks;  // SCSI disk letters of non-Halvoran hosts
  std::vector<Adapter> adapters;
  std::vector<FaultRule> faults;
};

// ---- What the firmware derives from the model.

// Logical drive whose spans list the device, or -1.
int MemberOf(const Layout &layout, DevRef dev);

// State of logical drive i (low four bits): its own when the scenario fixes
// one, else from the states of its members.
uint8_t DriveState(const Adapter &ad, size_t i);

// The operation running on logical drive i as the high four bits, or 0.
uint8_t DriveOperation(const Adapter &ad, size_t i);

// Usable blocks of a logical drive: per span, blocks times the data devices.
uint64_t DriveBlocks(const LogicalDrive &d);

// Sectors of a disk that hold user data: the firmware keeps the last ones
// (and a whole number of 2048-sector units) for its own records.
uint32_t UsableSectors(uint32_t sectors);

bool SameLayout(const Layout &a, const Layout &b);

// The layout recorded on a device: nullptr for a blank one.
const Layout *StoredLayout(const Adapter &ad, const Device &dev);

// True when a disk holds a configuration that differs from the adapter's.
bool ConfigMismatch(const Adapter &ad);

// Checks what parsing cannot: values in range, members that exist. False
// with a reason for the first problem.
bool ValidateScenario(const Scenario &sc, std::string *error);

}  // namespace halvsim

#endif  // HALVSIM_SCENARIO_H
