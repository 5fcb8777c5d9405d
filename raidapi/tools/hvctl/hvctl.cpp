// hvctl: the administrator's command-line tool over libhvapi.so.0, built on
// its installed header only.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "Output.h"
#include "hvapi.h"

using nlohmann::json;

namespace {

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

struct Options {
  int adapter = 0;
  bool json = false;
  bool yes = false;
  bool wait = false;
};

struct Address {
  int channel = 0;
  int target = 0;
};

std::string AddressText(int channel, int target) {
  return std::to_string(channel) + ":" + std::to_string(target);
}

// "C:T" with both parts decimal.
bool ParseAddress(const std::string &text, Address *out) {
  unsigned channel = 0, target = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%u:%u%c", &channel, &target, &tail) != 2 ||
      channel > 255 || target > 255)
    return false;
  out->channel = static_cast<int>(channel);
  out->target = static_cast<int>(target);
  return true;
}

std::string PdrvStateName(int state) {
  switch (state) {
    case HVAPI_PDRV_READY:
      return "ready";
    case HVAPI_PDRV_ONLINE:
      return "online";
    case HVAPI_PDRV_FAILED:
      return "failed";
    case 5:
      return "rebuilding";
    case HVAPI_PDRV_HOTSPARE:
      return "hotspare";
    default:
      return "state-" + std::to_string(state);
  }
}

std::string LdrvStateName(int status) {
  switch (status & HVAPI_LDRV_STATE_MASK) {
    case 0:
      return "offline";
    case 1:
      return "degraded";
    case HVAPI_LDRV_OPTIMAL:
      return "optimal";
    default:
      return "state-" + std::to_string(status & HVAPI_LDRV_STATE_MASK);
  }
}

std::string LdrvOperationName(int status) {
  switch (status & HVAPI_LDRV_OP_MASK) {
    case 0:
      return "none";
    case HVAPI_LDRV_OP_INIT:
      return "init";
    case HVAPI_LDRV_OP_CONSCHECK:
      return "check";
    case HVAPI_LDRV_OP_RECON:
      return "recon";
    default:
      return "op-" + std::to_string((status & HVAPI_LDRV_OP_MASK) >> 4);
  }
}

std::string FirmwareName(int type) {
  switch (type) {
    case HVAPI_FW_8LD_4SPAN:
      return "8LD-4span";
    case HVAPI_FW_8LD_8SPAN:
      return "8LD-8span";
    case HVAPI_FW_40LD:
      return "40LD";
    default:
      return "unknown";
  }
}

// Text of a fixed-size field that may lack its terminating zero.
std::string FieldText(const char *field, size_t size) {
  size_t n = strnlen(field, size);
  std::string text(field, n);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Destructive commands ask on a terminal and need --yes otherwise.
bool Confirmed(const Options &o, const std::string &what) {
  if (o.yes) return true;
  if (!isatty(STDIN_FILENO)) {
    std::fprintf(stderr,
                 "hvctl: %s is destructive; give --yes when standard input "
                 "is not a terminal\n",
                 what.c_str());
    return false;
  }
  std::fprintf(stderr, "%s? [y/N] ", what.c_str());
  char answer[16] = {0};
  if (!std::fgets(answer, sizeof answer, stdin)) return false;
  return answer[0] == 'y' || answer[0] == 'Y';
}

// ---- reads shared by several commands ------------------------------------

struct Drive {
  int channel, target, state;
  unsigned size;
  std::string vendor, model;
};

int ReadDrives(int adapter, std::vector<Drive> *out) {
  auto all = std::make_unique<AllDrvInfo_Struct>();
  std::memset(all.get(), 0, sizeof *all);
  Int rc = GetAllPDrvInfo(adapter, all.get());
  if (rc < 0) return ReportFailure("GetAllPDrvInfo", rc);
  for (int i = 0; i < all->uchTotalDrv; ++i) {
    const Drive_Struct &d = all->astDrive[i];
    Drive drive{d.uchChanNo, d.uchTargID, d.uchState, d.ulSize, "", ""};
    SCSI_Struct scsi;
    std::memset(&scsi, 0, sizeof scsi);
    if (GetScsiDetails(static_cast<UChar>(adapter), d.uchChanNo, d.uchTargID,
                       &scsi) == HVAPI_SUCCESS) {
      drive.vendor = FieldText(scsi.achVendor, sizeof scsi.achVendor);
      drive.model = FieldText(scsi.achDeviceModel, sizeof scsi.achDeviceModel);
    }
    out->push_back(drive);
  }
  return kExitOk;
}

struct Logical {
  Ldrv_Struct prop;
  std::vector<std::vector<std::string>> spans;
};

// Every logical drive with its members; none is not a failure.
int ReadLogicalDrives(int adapter, std::vector<Logical> *out) {
  Int count = GetNumOfLogDrvs(adapter);
  if (count == HVAPI_ERR_NO_LDRV) return kExitOk;
  if (count < 0) return ReportFailure("GetNumOfLogDrvs", count);
  auto config = std::make_unique<RaidConfig_Struct>();
  std::memset(config.get(), 0, sizeof *config);
  Config_Struct which{0, 0, 0};
  Int rc = ReadConfig(static_cast<UChar>(adapter), &which, config.get());
  if (rc < 0) return ReportFailure("ReadConfig", rc);
  for (int i = 0; i < count; ++i) {
    Logical ld;
    std::memset(&ld.prop, 0, sizeof ld.prop);
    rc = GetLogDrvProp(adapter, i, &ld.prop);
    if (rc < 0) return ReportFailure("GetLogDrvProp", rc);
    if (i < config->uchNoOfLD) {
      const FullLogDrvInfo_struct &full = config->astFullLogDrvInfo[i];
      int spans = full.stLdrv.uchSpanDepth;
      if (spans > HVAPI_MAX_SPANS) spans = HVAPI_MAX_SPANS;
      for (int s = 0; s < spans; ++s) {
        std::vector<std::string> members;
        const ArrayInfo_Struct &span = full.astArrayInfo[s];
        for (int m = 0; m < span.uchPhyDrvPerArray; ++m)
          members.push_back(AddressText(span.astDrives[m].uchChanNo,
                                        span.astDrives[m].uchTargID));
        ld.spans.push_back(members);
      }
    }
    out->push_back(ld);
  }
  return kExitOk;
}

std::string Join(const std::vector<std::string> &parts, const char *sep) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) text += (i ? sep : "") + parts[i];
  return text;
}

// ---- read commands --------------------------------------------------------

json AdapterJson(int a) {
  json j = {{"adapter", a}};
  Adp_Struct info;
  std::memset(&info, 0, sizeof info);
  Int rc = GetAdapterInfo(static_cast<UChar>(a), &info);
  if (rc < 0) {
    ReportFailure("GetAdapterInfo", rc);
    return json();
  }
  j["product"] = FieldText(info.achProductName, sizeof info.achProductName);
  j["firmware_version"] = FieldText(info.achFwVer, sizeof info.achFwVer);
  j["bios_version"] = FieldText(info.achBiosVer, sizeof info.achBiosVer);
  j["firmware_type"] = FirmwareName(GetAdpType(static_cast<UChar>(a)));
  j["channels"] = info.uchSCSIChanPresent;
  j["max_targets_per_channel"] = info.uchMaxTargPerChan;
  j["dram_mib"] = info.uchDRamSize;
  j["rebuild_rate"] = info.uchRbldRate;
  j["battery_status"] = info.uchBatteryStatus;
  j["initiator_id"] = GetAdpterID(static_cast<UChar>(a));
  return j;
}

int CmdAdapters(const Options &o, bool one) {
  json list = json::array();
  int first = one ? o.adapter : 0;
  int last = one ? o.adapter + 1 : GetTotalAdapters();
  if (one && ValidateAdapterNo(static_cast<signed char>(o.adapter)) != 1)
    return ReportFailure("GetAdapterInfo", HVAPI_ERR_BAD_ADAPTER);
  for (int a = first; a < last; ++a) {
    json j = AdapterJson(a);
    if (j.is_null()) return kExitCallFailed;
    list.push_back(j);
  }
  if (o.json) {
    PrintJson(one ? list[0] : json{{"adapters", list}});
    return kExitOk;
  }
  if (one) {
    for (auto &item : list[0].items())
      std::printf("%-24s %s\n", item.key().c_str(),
                  item.value().is_string()
                      ? item.value().get<std::string>().c_str()
                      : item.value().dump().c_str());
    return kExitOk;
  }
  Table t({"ADAPTER", "PRODUCT", "FIRMWARE", "TYPE", "CHANNELS"});
  for (auto &j : list)
    t.Add({std::to_string(j["adapter"].get<int>()), j["product"],
           j["firmware_version"], j["firmware_type"],
           std::to_string(j["channels"].get<int>())});
  t.Print();
  return kExitOk;
}

int CmdSettings(const Options &o) {
  UChar a = static_cast<UChar>(o.adapter);
  json j = {{"adapter", o.adapter}};
  Int rate = GetRebuildRate(a);
  if (rate < 0) return ReportFailure("GetRebuildRate", rate);
  j["rebuild_rate"] = rate;
  Int autoRebuild = GetAutoRbld(a);
  if (autoRebuild < 0) return ReportFailure("GetAutoRbld", autoRebuild);
  j["auto_rebuild"] = autoRebuild;
  Int alarm = 0;
  Int rc = GetAlarmState(a, &alarm);
  if (rc < 0) return ReportFailure("GetAlarmState", rc);
  j["alarm"] = alarm;
  Cluster_Struct cluster;
  std::memset(&cluster, 0, sizeof cluster);
  rc = GetClusterState(a, &cluster);
  if (rc < 0) return ReportFailure("GetClusterState", rc);
  j["bios"] = cluster.bBiosEnable ? 1 : 0;
  j["cluster"] = cluster.bClusterMode ? 1 : 0;
  j["initiator_id"] = cluster.iAdapterID;
  Adp_Struct info;
  std::memset(&info, 0, sizeof info);
  rc = GetAdapterInfo(a, &info);
  if (rc < 0) return ReportFailure("GetAdapterInfo", rc);
  json rates = json::array();
  for (int c = 0; c < info.uchSCSIChanPresent; ++c) {
    UChar value = 0;
    rc = GetChannelRate(a, static_cast<UChar>(c), &value);
    if (rc < 0) return ReportFailure("GetChannelRate", rc);
    rates.push_back(value);
  }
  j["channel_rates"] = rates;
  if (o.json) {
    PrintJson(j);
    return kExitOk;
  }
  for (auto &item : j.items())
    std::printf("%-16s %s\n", item.key().c_str(), item.value().dump().c_str());
  return kExitOk;
}

int CmdPdList(const Options &o) {
  std::vector<Drive> drives;
  int status = ReadDrives(o.adapter, &drives);
  if (status != kExitOk) return status;
  if (o.json) {
    json list = json::array();
    for (const Drive &d : drives)
      list.push_back({{"device", AddressText(d.channel, d.target)},
                      {"channel", d.channel},
                      {"target", d.target},
                      {"size_mib", d.size},
                      {"state", PdrvStateName(d.state)},
                      {"state_code", d.state},
                      {"vendor", d.vendor},
                      {"model", d.model}});
    PrintJson({{"adapter", o.adapter}, {"drives", list}});
    return kExitOk;
  }
  Table t({"DEVICE", "SIZE_MIB", "STATE", "VENDOR", "MODEL"});
  for (const Drive &d : drives)
    t.Add({AddressText(d.channel, d.target), std::to_string(d.size),
           PdrvStateName(d.state), d.vendor, d.model});
  t.Print();
  return kExitOk;
}

int CmdLdList(const Options &o) {
  std::vector<Logical> lds;
  int status = ReadLogicalDrives(o.adapter, &lds);
  if (status != kExitOk) return status;
  if (o.json) {
    json list = json::array();
    for (const Logical &ld : lds) {
      const Ldrv_Struct &p = ld.prop;
      list.push_back({{"number", p.uchLogDrvNo},
                      {"raid_level", p.uchRaidLevel},
                      {"size_mib", p.ulLDrvSize},
                      {"state", LdrvStateName(p.uchStatus)},
                      {"operation", LdrvOperationName(p.uchStatus)},
                      {"state_code", p.uchStatus},
                      {"stripe", p.uchStripeSize},
                      {"read_policy", p.stLogDrv_Policy.uchReadPolicy},
                      {"write_policy", p.stLogDrv_Policy.uchWritePolicy},
                      {"cache_policy", p.stLogDrv_Policy.uchCachePolicy},
                      {"spans", ld.spans}});
    }
    PrintJson({{"adapter", o.adapter}, {"logical_drives", list}});
    return kExitOk;
  }
  Table t({"LD", "RAID", "SIZE_MIB", "STATE", "OPERATION", "SPANS"});
  for (const Logical &ld : lds) {
    std::vector<std::string> spans;
    for (const auto &span : ld.spans) spans.push_back(Join(span, ","));
    t.Add({std::to_string(ld.prop.uchLogDrvNo),
           std::to_string(ld.prop.uchRaidLevel),
           std::to_string(ld.prop.ulLDrvSize), LdrvStateName(ld.prop.uchStatus),
           LdrvOperationName(ld.prop.uchStatus), Join(spans, " | ")});
  }
  t.Print();
  return kExitOk;
}

int CmdStatus(const Options &o) {
  int total = GetTotalAdapters();
  std::vector<AdapterStatus_Struct> all(HVAPI_MAX_ADAPTERS);
  std::memset(all.data(), 0, all.size() * sizeof all[0]);
  Int rc = CheckSystemStatus(0, all.data());
  if (rc < 0) return ReportFailure("CheckSystemStatus", rc);
  json list = json::array();
  for (int a = 0; a < total && a < HVAPI_MAX_ADAPTERS; ++a) {
    const AdapterStatus_Struct &s = all[a];
    json lds = json::array(), pds = json::array();
    for (int i = 0; i < s.uchLDrvCount && i < 40; ++i)
      lds.push_back({{"number", s.astLogDrvStatus[i].uchLDrvNo},
                     {"state", LdrvStateName(s.astLogDrvStatus[i].uchStatus)},
                     {"state_code", s.astLogDrvStatus[i].uchStatus}});
    for (int i = 0; i < s.uchPDrvCount; ++i)
      pds.push_back({{"device", AddressText(s.astPhyDrvStatus[i].uchChannel,
                                            s.astPhyDrvStatus[i].uchTarget)},
                     {"state", PdrvStateName(s.astPhyDrvStatus[i].uchStatus)},
                     {"state_code", s.astPhyDrvStatus[i].uchStatus}});
    // Degraded: a logical drive is not optimal; warning: only a device or
    // the stored configurations need attention.
    const char *health = !lds.empty()                          ? "degraded"
                         : !pds.empty() || s.uchNVRAM_Mismatch ? "warning"
                                                               : "ok";
    list.push_back({{"adapter", a},
                    {"health", health},
                    {"config_mismatch", s.uchNVRAM_Mismatch != 0},
                    {"reconstructing", s.uchRecon_Prog != 0},
                    {"logical_drives_not_optimal", lds},
                    {"devices_not_usable", pds}});
  }
  if (o.json) {
    PrintJson({{"adapters", list}});
    return kExitOk;
  }
  Table t({"ADAPTER", "HEALTH", "NOT_OPTIMAL", "DEVICES"});
  for (auto &j : list) {
    std::vector<std::string> lds, pds;
    for (auto &l : j["logical_drives_not_optimal"])
      lds.push_back("LD" + std::to_string(l["number"].get<int>()) + ":" +
                    l["state"].get<std::string>());
    for (auto &p : j["devices_not_usable"])
      pds.push_back(p["device"].get<std::string>() + ":" +
                    p["state"].get<std::string>());
    t.Add({std::to_string(j["adapter"].get<int>()), j["health"],
           lds.empty() ? "-" : Join(lds, ","),
           pds.empty() ? "-" : Join(pds, ",")});
  }
  t.Print();
  return kExitOk;
}

// ---- long operations ------------------------------------------------------

// Polls progress until it reaches 100 (or fails): a bar on a terminal,
// one percentage per change otherwise.
int WaitFor(const std::function<Int()> &progress, const char *call,
            const char *what) {
  bool tty = isatty(STDOUT_FILENO);
  int last = -1;
  while (!gStop) {
    Int p = progress();
    if (p < 0) {
      if (tty) std::printf("\n");
      return ReportFailure(call, p);
    }
    int shown = p > 100 ? 100 : p;
    if (shown != last) {
      if (tty) {
        int filled = shown * 40 / 100;
        std::printf("\r%s [%s%s] %3d%%", what, std::string(filled, '#').c_str(),
                    std::string(40 - filled, ' ').c_str(), shown);
      } else {
        std::printf("%s %d%%\n", what, shown);
      }
      std::fflush(stdout);
      last = shown;
    }
    if (p >= 100) {
      if (tty) std::printf("\n");
      return kExitOk;
    }
    usleep(200 * 1000);
  }
  if (tty) std::printf("\n");
  return kExitInterrupted;
}

struct LongOp {
  const char *name;
  const char *startCall, *progressCall, *abortCall;
  std::function<Int(int, int, int)> start, progress, abort;
  bool onDevice;  // device C:T, else logical drive number
};

std::vector<LongOp> LongOps() {
  return {
      {"rebuild", "StartRbld", "GetRbldPrg", "AbortRbldPrg",
       [](int a, int c, int t) { return StartRbld(a, c, t); },
       [](int a, int c, int t) { return GetRbldPrg(a, c, t); },
       [](int a, int c, int t) { return AbortRbldPrg(a, c, t); }, true},
      {"check", "StartConsistency", "GetConsistencyPrg", "AbortConsistency",
       [](int a, int l, int) { return StartConsistency(a, l); },
       [](int a, int l, int) { return GetConsistencyPrg(a, l); },
       [](int a, int l, int) { return AbortConsistency(a, l); }, false},
      {"init", "StartInit", "GetInitPrg", "AbortInit",
       [](int a, int l, int) { return StartInit(a, l); },
       [](int a, int l, int) { return GetInitPrg(a, l); },
       [](int a, int l, int) { return AbortInit(a, l); }, false},
  };
}

// ---- configuration --------------------------------------------------------

int FillRaidSet(int level, int stripe, const std::vector<std::string> &disks,
                RaidSet_Struct *set) {
  std::memset(set, 0, sizeof *set);
  set->uchRaidLevel = static_cast<UChar>(level);
  set->uchNoOfSpan = 1;
  set->uchStripeSize = static_cast<UChar>(stripe);
  set->uchNoOfLD = 1;
  if (disks.size() > 256) return kExitUsage;
  set->stArrayInfo[0].uchPhyDrvPerArray = static_cast<UChar>(disks.size());
  for (size_t i = 0; i < disks.size(); ++i) {
    Address address;
    if (!ParseAddress(disks[i], &address)) {
      std::fprintf(stderr, "hvctl: not a device address C:T: %s\n",
                   disks[i].c_str());
      return kExitUsage;
    }
    set->stArrayInfo[0].astDrives[i].uchChanNo =
        static_cast<UChar>(address.channel);
    set->stArrayInfo[0].astDrives[i].uchTargID =
        static_cast<UChar>(address.target);
  }
  LogDrvInfo_Struct &ld = set->astLogDrvInfo[0];
  ld.uchRaidLevel = static_cast<UChar>(level);
  ld.uchStripeSize = static_cast<UChar>(stripe);
  ld.ulLogDrvSize = 0;
  return kExitOk;
}

// The usable MiB of one span of the named disks at a RAID level: every
// member counts as large as the smallest. 0 when a disk is not listed,
// which leaves the sizing to the library.
unsigned WholeCapacity(int adapter, int level,
                       const std::vector<std::string> &disks) {
  std::vector<Drive> drives;
  if (ReadDrives(adapter, &drives) != kExitOk) return 0;
  unsigned smallest = 0;
  for (const std::string &name : disks) {
    bool found = false;
    for (const Drive &d : drives)
      if (AddressText(d.channel, d.target) == name) {
        found = true;
        if (smallest == 0 || d.size < smallest) smallest = d.size;
      }
    if (!found) return 0;
  }
  unsigned long long n = disks.size(), size = smallest;
  switch (level) {
    case HVAPI_RAID0:
      size *= n;
      break;
    case HVAPI_RAID1:
      break;
    default:
      size *= n > 1 ? n - 1 : 1;
      break;
  }
  return size > 0xFFFFFFFFull ? 0 : static_cast<unsigned>(size);
}

int CmdConfigShow(const Options &o, int source, const std::string &disk) {
  Config_Struct which{static_cast<UChar>(source), 0, 0};
  if (source == 1) {
    Address address;
    if (!ParseAddress(disk, &address)) {
      std::fprintf(stderr, "hvctl: --disk C:T is needed for --stored\n");
      return kExitUsage;
    }
    which.uchChan = static_cast<UChar>(address.channel);
    which.uchTarg = static_cast<UChar>(address.target);
  }
  auto config = std::make_unique<RaidConfig_Struct>();
  std::memset(config.get(), 0, sizeof *config);
  Int rc = ReadConfig(static_cast<UChar>(o.adapter), &which, config.get());
  if (rc < 0) return ReportFailure("ReadConfig", rc);
  json list = json::array();
  int count = config->uchNoOfLD > 40 ? 40 : config->uchNoOfLD;
  for (int i = 0; i < count; ++i) {
    const FullLogDrvInfo_struct &full = config->astFullLogDrvInfo[i];
    json spans = json::array();
    for (int s = 0; s < full.stLdrv.uchSpanDepth && s < HVAPI_MAX_SPANS; ++s) {
      std::vector<std::string> members;
      for (int m = 0; m < full.astArrayInfo[s].uchPhyDrvPerArray; ++m)
        members.push_back(
            AddressText(full.astArrayInfo[s].astDrives[m].uchChanNo,
                        full.astArrayInfo[s].astDrives[m].uchTargID));
      spans.push_back(members);
    }
    list.push_back({{"number", i},
                    {"raid_level", full.stLdrv.uchRaidLevel},
                    {"size_mib", full.stLdrv.ulLDrvSize},
                    {"stripe", full.stLdrv.uchStripeSize},
                    {"spans", spans}});
  }
  if (o.json) {
    PrintJson({{"adapter", o.adapter}, {"logical_drives", list}});
    return kExitOk;
  }
  Table t({"LD", "RAID", "SIZE_MIB", "STRIPE", "SPANS"});
  for (auto &j : list) {
    std::vector<std::string> spans;
    for (auto &span : j["spans"])
      spans.push_back(Join(span.get<std::vector<std::string>>(), ","));
    t.Add({std::to_string(j["number"].get<int>()),
           std::to_string(j["raid_level"].get<int>()),
           std::to_string(j["size_mib"].get<unsigned>()),
           std::to_string(j["stripe"].get<int>()), Join(spans, " | ")});
  }
  t.Print();
  return kExitOk;
}

// ---- metrics --------------------------------------------------------------

struct Metric {
  std::string name, help;
  std::vector<std::string> samples;
};

int CollectMetrics(std::string *text) {
  Metric up{"hvapi_adapter_up", "1 when the adapter answers", {}};
  Metric battery{
      "hvapi_adapter_battery_status", "battery status byte of the adapter", {}};
  Metric pdState{"hvapi_pdrv_state",
                 "device state (0 ready, 3 online, 4 failed, 5 rebuilding, "
                 "6 hot spare)",
                 {}};
  Metric pdFailed{"hvapi_pdrv_failed", "1 when the device has failed", {}};
  Metric pdMedium{"hvapi_pdrv_medium_errors", "medium error counter", {}};
  Metric pdOther{"hvapi_pdrv_other_errors", "other error counter", {}};
  Metric pdRebuild{"hvapi_pdrv_rebuild_percent",
                   "rebuild progress of a rebuilding device",
                   {}};
  Metric ldState{"hvapi_ldrv_state",
                 "logical drive state (0 offline, 1 degraded, 2 optimal)",
                 {}};
  Metric ldDegraded{
      "hvapi_ldrv_degraded", "1 when the logical drive is not optimal", {}};
  Metric ldCheck{"hvapi_ldrv_check_percent",
                 "consistency check progress of the logical drive",
                 {}};
  Metric ldInit{"hvapi_ldrv_init_percent",
                "initialisation progress of the logical drive",
                {}};
  int status = kExitOk;
  for (int a = 0; a < GetTotalAdapters(); ++a) {
    std::string al = "adapter=\"" + std::to_string(a) + "\"";
    Adp_Struct info;
    std::memset(&info, 0, sizeof info);
    Int rc = GetAdapterInfo(static_cast<UChar>(a), &info);
    up.samples.push_back("{" + al + "} " + (rc < 0 ? "0" : "1"));
    if (rc < 0) {
      ReportFailure("GetAdapterInfo", rc);
      status = kExitCallFailed;
      continue;
    }
    battery.samples.push_back("{" + al + "} " +
                              std::to_string(info.uchBatteryStatus));
    std::vector<Drive> drives;
    if (ReadDrives(a, &drives) != kExitOk) status = kExitCallFailed;
    for (const Drive &d : drives) {
      std::string l =
          "{" + al + ",device=\"" + AddressText(d.channel, d.target) + "\"} ";
      pdState.samples.push_back(l + std::to_string(d.state));
      pdFailed.samples.push_back(l +
                                 (d.state == HVAPI_PDRV_FAILED ? "1" : "0"));
      Err_Struct errors{0, 0};
      if (GetErrCntr(a, d.channel, d.target, &errors) == HVAPI_SUCCESS) {
        pdMedium.samples.push_back(l + std::to_string(errors.uchMediumErrors));
        pdOther.samples.push_back(l + std::to_string(errors.uchOtherErrors));
      }
      if (d.state == 5) {
        Int p = GetRbldPrg(a, d.channel, d.target);
        if (p >= 0) pdRebuild.samples.push_back(l + std::to_string(p));
      }
    }
    std::vector<Logical> lds;
    if (ReadLogicalDrives(a, &lds) != kExitOk) status = kExitCallFailed;
    for (const Logical &ld : lds) {
      std::string l = "{" + al + ",ld=\"" +
                      std::to_string(ld.prop.uchLogDrvNo) + "\",raid=\"" +
                      std::to_string(ld.prop.uchRaidLevel) + "\"} ";
      int state = ld.prop.uchStatus & HVAPI_LDRV_STATE_MASK;
      int op = ld.prop.uchStatus & HVAPI_LDRV_OP_MASK;
      ldState.samples.push_back(l + std::to_string(state));
      ldDegraded.samples.push_back(l +
                                   (state == HVAPI_LDRV_OPTIMAL ? "0" : "1"));
      if (op == HVAPI_LDRV_OP_CONSCHECK) {
        Int p = GetConsistencyPrg(a, ld.prop.uchLogDrvNo);
        if (p >= 0) ldCheck.samples.push_back(l + std::to_string(p));
      }
      if (op == HVAPI_LDRV_OP_INIT) {
        Int p = GetInitPrg(a, ld.prop.uchLogDrvNo);
        if (p >= 0) ldInit.samples.push_back(l + std::to_string(p));
      }
    }
  }
  for (const Metric *m :
       {&up, &battery, &pdState, &pdFailed, &pdMedium, &pdOther, &pdRebuild,
        &ldState, &ldDegraded, &ldCheck, &ldInit}) {
    *text += "# HELP " + m->name + " " + m->help + "\n";
    *text += "# TYPE " + m->name + " gauge\n";
    for (const std::string &s : m->samples) *text += m->name + s + "\n";
  }
  return status;
}

// The file appears whole or not at all: a temporary file beside it, synced,
// then renamed over it, so a collector never reads half a scrape.
bool WriteAtomically(const std::string &path, const std::string &text) {
  std::string temporary = path + ".tmp." + std::to_string(getpid());
  int fd =
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

// ---- monitor --------------------------------------------------------------

struct Snapshot {
  std::vector<std::pair<std::string, int>> devices;  // "a:C:T", state
  std::vector<std::pair<std::string, int>> drives;   // "a:LD", status
};

Snapshot TakeSnapshot() {
  Snapshot s;
  for (int a = 0; a < GetTotalAdapters(); ++a) {
    auto all = std::make_unique<AllDrvInfo_Struct>();
    std::memset(all.get(), 0, sizeof *all);
    if (GetAllPDrvInfo(a, all.get()) == HVAPI_SUCCESS)
      for (int i = 0; i < all->uchTotalDrv; ++i)
        s.devices.push_back({std::to_string(a) + " device " +
                                 AddressText(all->astDrive[i].uchChanNo,
                                             all->astDrive[i].uchTargID),
                             all->astDrive[i].uchState});
    Int count = GetNumOfLogDrvs(a);
    for (int i = 0; i < count; ++i) {
      Ldrv_Struct p;
      std::memset(&p, 0, sizeof p);
      if (GetLogDrvProp(a, i, &p) == HVAPI_SUCCESS)
        s.drives.push_back(
            {std::to_string(a) + " ld " + std::to_string(i), p.uchStatus});
    }
  }
  return s;
}

std::vector<std::string> Events(const Snapshot &before, const Snapshot &now) {
  std::vector<std::string> events;
  auto find = [](const std::vector<std::pair<std::string, int>> &v,
                 const std::string &key) {
    for (const auto &entry : v)
      if (entry.first == key) return entry.second;
    return -1;
  };
  for (const auto &d : now.devices) {
    int old = find(before.devices, d.first);
    if (old == d.second) continue;
    std::string event;
    if (d.second == HVAPI_PDRV_FAILED)
      event = "device-failed";
    else if (d.second == 5)
      event = "rebuild-started";
    else if (old == 5 && d.second == HVAPI_PDRV_ONLINE)
      event = "rebuild-finished";
    else if (old == -1)
      event = "device-added";
    else
      event = "device-state";
    events.push_back(event +
                     " adapter=" + d.first.substr(0, d.first.find(' ')) +
                     " device=" + d.first.substr(d.first.rfind(' ') + 1) +
                     " state=" + PdrvStateName(d.second));
  }
  for (const auto &l : now.drives) {
    int old = find(before.drives, l.first);
    int state = l.second & HVAPI_LDRV_STATE_MASK;
    if (old >= 0 && (old & HVAPI_LDRV_STATE_MASK) == state) continue;
    if (old < 0 && state == HVAPI_LDRV_OPTIMAL) continue;
    std::string event = state == HVAPI_LDRV_OPTIMAL ? "ld-recovered"
                        : state == 1                ? "ld-degraded"
                                                    : "ld-state";
    events.push_back(event +
                     " adapter=" + l.first.substr(0, l.first.find(' ')) +
                     " ld=" + l.first.substr(l.first.rfind(' ') + 1) +
                     " state=" + LdrvStateName(l.second));
  }
  return events;
}

int CmdMonitor(double interval, const std::string &command) {
  Snapshot before = TakeSnapshot();
  std::printf("monitoring %d adapter(s)\n", GetTotalAdapters());
  std::fflush(stdout);
  while (!gStop) {
    for (int i = 0; i < 10 && !gStop; ++i)
      usleep(static_cast<useconds_t>(interval * 100000));
    if (gStop) break;
    Snapshot now = TakeSnapshot();
    for (const std::string &event : Events(before, now)) {
      std::printf("%s\n", event.c_str());
      std::fflush(stdout);
      if (!command.empty()) {
        setenv("HVCTL_EVENT", event.c_str(), 1);
        int rc = std::system(command.c_str());
        if (rc != 0)
          std::fprintf(stderr, "hvctl: event command exited with %d\n", rc);
      }
    }
    before = now;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"hvctl: manage Halvoran RAID adapters through libhvapi"};
  app.require_subcommand(1);
  Options o;
  app.add_option("-a,--adapter", o.adapter, "adapter number (default 0)")
      ->check(CLI::Range(0, HVAPI_MAX_ADAPTERS - 1));
  app.add_flag("--json", o.json, "JSON output (read commands)");
  app.add_flag("-y,--yes", o.yes, "do destructive commands without asking");
  int result = kExitOk;
  std::function<int()> run;

  // Global options are accepted after the subcommand as well.
  auto common = [&o](CLI::App *c, bool reads) {
    c->add_option("-a,--adapter", o.adapter, "adapter number")
        ->check(CLI::Range(0, HVAPI_MAX_ADAPTERS - 1));
    if (reads) c->add_flag("--json", o.json, "JSON output");
  };

  auto *adapters = app.add_subcommand("adapters", "list the adapters");
  adapters->add_flag("--json", o.json, "JSON output");
  adapters->callback([&] { run = [&] { return CmdAdapters(o, false); }; });
  auto *info = app.add_subcommand("info", "information of one adapter");
  common(info, true);
  info->callback([&] { run = [&] { return CmdAdapters(o, true); }; });

  auto *settings = app.add_subcommand("settings", "show or change settings");
  common(settings, true);
  settings->callback([&] {
    if (!run) run = [&] { return CmdSettings(o); };
  });
  std::vector<std::unique_ptr<int>> values;
  auto addSetter = [&](const char *name, const char *help, int lo, int hi,
                       std::function<Int(UChar, int)> set, const char *call) {
    auto *s = settings->add_subcommand(name, help);
    values.push_back(std::make_unique<int>(0));
    int *value = values.back().get();
    common(s, false);
    s->add_option("value", *value, "new value")
        ->required()
        ->check(CLI::Range(lo, hi));
    s->callback([&, value, set, call] {
      run = [&, value, set, call] {
        Int rc = set(static_cast<UChar>(o.adapter), *value);
        return rc < 0 ? ReportFailure(call, rc) : kExitOk;
      };
    });
  };
  addSetter(
      "rebuild-rate", "rebuild rate in percent", 0, 100,
      [](UChar a, int v) { return SetRebuildRate(a, UChar(v)); },
      "SetRebuildRate");
  addSetter(
      "auto-rebuild", "automatic rebuild off (0) or on (1)", 0, 1,
      [](UChar a, int v) { return SetAutoRbld(a, v); }, "SetAutoRbld");
  addSetter(
      "alarm", "alarm control 0, 1 or 2", 0, 2,
      [](UChar a, int v) { return ControlAlarm(a, UChar(v)); }, "ControlAlarm");
  addSetter(
      "bios", "BIOS off (0) or on (1)", 0, 1,
      [](UChar a, int v) { return SetBiosMode(a, v); }, "SetBiosMode");
  addSetter(
      "cluster", "cluster mode off (0) or on (1)", 0, 1,
      [](UChar a, int v) { return SetClusterState(a, v); }, "SetClusterState");
  addSetter(
      "initiator-id", "SCSI initiator ID (cluster mode only)", 0, 15,
      [](UChar a, int v) { return SetAdapterID(a, UChar(v)); }, "SetAdapterID");
  {
    auto *s = settings->add_subcommand("channel-rate", "rate of a channel");
    static int channel = 0, rate = 0;
    common(s, false);
    s->add_option("channel", channel)->required()->check(CLI::Range(0, 15));
    s->add_option("rate", rate)->required()->check(CLI::Range(0, 3));
    s->callback([&] {
      run = [&] {
        Int rc = SetChannelRate(UChar(o.adapter), UChar(channel), UChar(rate));
        return rc < 0 ? ReportFailure("SetChannelRate", rc) : kExitOk;
      };
    });
    auto *f =
        settings->add_subcommand("flush", "write the adapter's cache out");
    common(f, false);
    f->callback([&] {
      run = [&] {
        Int rc = FlushAdapter(UChar(o.adapter));
        return rc < 0 ? ReportFailure("FlushAdapter", rc) : kExitOk;
      };
    });
  }

  // Physical drives.
  auto *pd = app.add_subcommand("pd", "physical drives");
  pd->require_subcommand(1);
  auto *pdList = pd->add_subcommand("list", "list the disks");
  common(pdList, true);
  pdList->callback([&] { run = [&] { return CmdPdList(o); }; });
  std::string device;
  auto deviceCommand = [&](const char *name, const char *help, bool destructive,
                           std::function<int(const Address &)> body) {
    auto *c = pd->add_subcommand(name, help);
    common(c, false);
    c->add_flag("-y,--yes", o.yes, "do not ask");
    c->add_option("device", device, "device C:T")->required();
    c->callback([&, name, destructive, body] {
      run = [&, name, destructive, body] {
        Address address;
        if (!ParseAddress(device, &address)) {
          std::fprintf(stderr, "hvctl: not a device address C:T: %s\n",
                       device.c_str());
          return int(kExitUsage);
        }
        if (destructive &&
            !Confirmed(o, std::string("pd ") + name + " " + device))
          return int(kExitRefused);
        return body(address);
      };
    });
    return c;
  };
  auto simple = [&](const char *call, Int rc) {
    return rc < 0 ? ReportFailure(call, rc) : int(kExitOk);
  };
  deviceCommand("fail", "fail a member device", true, [&](const Address &d) {
    return simple("FailDrv", FailDrv(o.adapter, d.channel, d.target));
  });
  deviceCommand(
      "online", "set a member device online", true, [&](const Address &d) {
        return simple("SetPDrvState", SetPDrvState(o.adapter, HVAPI_PDRV_ONLINE,
                                                   d.channel, d.target));
      });
  deviceCommand("hotspare-set", "make a ready disk a hot spare", false,
                [&](const Address &d) {
                  return simple("SetHotSpare",
                                SetHotSpare(o.adapter, d.channel, d.target));
                });
  deviceCommand("hotspare-unset", "make a hot spare ready again", false,
                [&](const Address &d) {
                  return simple("ReSetHotSpare",
                                ReSetHotSpare(o.adapter, d.channel, d.target));
                });
  auto *errors = deviceCommand(
      "errors", "error counters of a device", false, [&](const Address &d) {
        Err_Struct e{0, 0};
        Int rc = GetErrCntr(o.adapter, d.channel, d.target, &e);
        if (rc < 0) return ReportFailure("GetErrCntr", rc);
        json j = {{"device", AddressText(d.channel, d.target)},
                  {"medium_errors", e.uchMediumErrors},
                  {"other_errors", e.uchOtherErrors}};
        if (o.json)
          PrintJson(j);
        else
          std::printf("medium_errors %d\nother_errors %d\n", e.uchMediumErrors,
                      e.uchOtherErrors);
        return int(kExitOk);
      });
  errors->add_flag("--json", o.json, "JSON output");
  deviceCommand("errors-reset", "clear the error counters of a device", true,
                [&](const Address &d) {
                  return simple("ResetErrCntr",
                                ResetErrCntr(o.adapter, d.channel, d.target));
                });
  auto *history = pd->add_subcommand("history", "the adapter's drive history");
  common(history, true);
  history->callback([&] {
    run = [&] {
      DrvHist_Struct h;
      std::memset(&h, 0, sizeof h);
      Int rc = GetDrvHist(o.adapter, &h);
      if (rc < 0) return ReportFailure("GetDrvHist", rc);
      json fails = json::array();
      for (int i = 0; i < 10; ++i)
        if (h.astFailHistory[i].uchValid)
          fails.push_back({{"device", AddressText(h.astFailHistory[i].uchChan,
                                                  h.astFailHistory[i].uchTarg)},
                           {"reason", h.astFailHistory[i].uchReason}});
      json errs = json::array();
      for (int c = 0; c < 3; ++c)
        for (int t = 0; t < 16; ++t) {
          const Err_History &e = h.astErr_history[c][t];
          if (e.uchTimeOut || e.uchParity || e.uchThrottle)
            errs.push_back({{"device", AddressText(c, t)},
                            {"timeouts", e.uchTimeOut},
                            {"parity", e.uchParity},
                            {"throttle", e.uchThrottle}});
        }
      if (o.json) {
        PrintJson(
            {{"adapter", o.adapter}, {"failures", fails}, {"errors", errs}});
        return int(kExitOk);
      }
      Table t({"DEVICE", "EVENT", "DETAIL"});
      for (auto &f : fails)
        t.Add({f["device"], "failed",
               "reason " + std::to_string(f["reason"].get<int>())});
      for (auto &e : errs)
        t.Add({e["device"], "errors",
               "timeouts " + std::to_string(e["timeouts"].get<int>()) +
                   " parity " + std::to_string(e["parity"].get<int>()) +
                   " throttle " + std::to_string(e["throttle"].get<int>())});
      t.Print();
      return int(kExitOk);
    };
  });
  auto *sense = pd->add_subcommand("sense", "the adapter's last sense entries");
  common(sense, true);
  sense->callback([&] {
    run = [&] {
      SSDa_Struct s;
      std::memset(&s, 0, sizeof s);
      Int rc = GetSCSIDump(UChar(o.adapter), &s);
      if (rc < 0) return ReportFailure("GetSCSIDump", rc);
      json list = json::array();
      for (const SenseData_Struct &e : s.astSenData)
        list.push_back({{"device", AddressText(e.uchChanNo, e.uchTargNo)},
                        {"sense_key", e.uwSenseKeyPlusMisc},
                        {"asc_ascq", e.uwASCPlusASCQ}});
      if (o.json) {
        PrintJson({{"adapter", o.adapter},
                   {"end_pointer", s.uchEndPtr},
                   {"entries", list}});
        return int(kExitOk);
      }
      Table t({"DEVICE", "SENSE_KEY", "ASC_ASCQ"});
      for (auto &e : list)
        t.Add({e["device"], std::to_string(e["sense_key"].get<int>()),
               std::to_string(e["asc_ascq"].get<int>())});
      t.Print();
      return int(kExitOk);
    };
  });

  auto *dump = pd->add_subcommand("dump", "the adapter's dump text");
  common(dump, false);
  dump->callback([&] {
    run = [&] {
      auto area = std::make_unique<Da_Struct>();
      std::memset(area.get(), 0, sizeof *area);
      Int rc = GetDump(UChar(o.adapter), area.get());
      if (rc < 0) return ReportFailure("GetDump", rc);
      std::printf(
          "%s\n",
          FieldText(area->achDumpArea, sizeof area->achDumpArea).c_str());
      return int(kExitOk);
    };
  });
  auto *historyClear =
      pd->add_subcommand("history-clear", "clear the adapter's drive history");
  common(historyClear, false);
  historyClear->add_flag("-y,--yes", o.yes, "do not ask");
  historyClear->callback([&] {
    run = [&] {
      if (!Confirmed(o, "pd history-clear")) return int(kExitRefused);
      return simple("ClearDrvHist", ClearDrvHist(o.adapter));
    };
  });

  // Raw SCSI pass-through for experts: the block in hex, data in or out.
  std::string rawDevice, rawCdb, rawOutFile;
  unsigned rawIn = 0;
  bool rawLogical = false;
  auto *raw = app.add_subcommand("raw", "raw SCSI command to a device");
  common(raw, false);
  raw->add_option("device", rawDevice, "device C:T (or LD number with --ld)")
      ->required();
  raw->add_option("cdb", rawCdb, "command block in hex, e.g. 120000008000")
      ->required();
  raw->add_option("--in", rawIn, "bytes to read back (hex dump on stdout)")
      ->check(CLI::Range(0, 4096));
  raw->add_option("--out", rawOutFile, "file whose bytes are sent");
  raw->add_flag("--ld", rawLogical, "send to a logical drive");
  raw->add_flag("-y,--yes", o.yes, "do not ask");
  raw->callback([&] {
    run = [&] {
      PassThru_Struct pt;
      std::memset(&pt, 0, sizeof pt);
      if (rawCdb.size() % 2 || rawCdb.empty() || rawCdb.size() > 20) {
        std::fprintf(stderr, "hvctl: the command block is 1 to 10 hex bytes\n");
        return int(kExitUsage);
      }
      for (size_t i = 0; i < rawCdb.size(); i += 2) {
        char *end = nullptr;
        std::string byte = rawCdb.substr(i, 2);
        unsigned long v = std::strtoul(byte.c_str(), &end, 16);
        if (*end) {
          std::fprintf(stderr, "hvctl: not hex: %s\n", rawCdb.c_str());
          return int(kExitUsage);
        }
        pt.Cdb[i / 2] = UChar(v);
      }
      pt.CdbLength = UChar(rawCdb.size() / 2);
      if (rawLogical) {
        char *end = nullptr;
        long n = std::strtol(rawDevice.c_str(), &end, 10);
        if (*end || n < 0 || n > 39) return int(kExitUsage);
        pt.IsLogical = 1;
        pt.LogicalDriveNumber = UChar(n);
      } else {
        Address address;
        if (!ParseAddress(rawDevice, &address)) return int(kExitUsage);
        pt.Channel = UChar(address.channel);
        pt.ScsiId = UChar(address.target);
      }
      std::string outData;
      if (!rawOutFile.empty()) {
        FILE *f = std::fopen(rawOutFile.c_str(), "rb");
        if (!f) {
          std::fprintf(stderr, "hvctl: cannot open %s: %s\n",
                       rawOutFile.c_str(), std::strerror(errno));
          return int(kExitUsage);
        }
        char chunk[4097];
        size_t n = std::fread(chunk, 1, sizeof chunk, f);
        std::fclose(f);
        if (n > 4096) {
          std::fprintf(stderr, "hvctl: at most 4096 bytes go out\n");
          return int(kExitUsage);
        }
        outData.assign(chunk, n);
        if (!Confirmed(o, "raw write to " + rawDevice))
          return int(kExitRefused);
      }
      if (rawIn && !outData.empty()) {
        std::fprintf(stderr, "hvctl: --in and --out exclude each other\n");
        return int(kExitUsage);
      }
      // The driver takes the data address as 32 bits: the buffer must lie
      // below 4 GiB.
      void *buffer = mmap(nullptr, 4096, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
      if (buffer == MAP_FAILED) {
        std::fprintf(stderr, "hvctl: no memory below 4 GiB\n");
        return int(kExitCallFailed);
      }
      std::memcpy(buffer, outData.data(), outData.size());
      ULong32 length = rawIn ? rawIn : ULong32(outData.size());
      UChar dir = rawIn             ? HVAPI_DIR_READ
                  : outData.empty() ? HVAPI_DIR_NONE
                                    : HVAPI_DIR_WRITE;
      pt.DataTransferAddress =
          static_cast<Int>(reinterpret_cast<uintptr_t>(buffer));
      pt.DataTransferLength = static_cast<Int>(length);
      pt.RequestSenseLength = sizeof pt.RequestSenseArea;
      Int rc =
          ExecuteSCSICmd(UChar(o.adapter), &pt, static_cast<char *>(buffer),
                         rawLogical ? 1 : 0, dir, length);
      int status = kExitOk;
      if (rc < 0) {
        status = ReportFailure("ExecuteSCSICmd", rc);
      } else {
        std::printf("scsi_status 0x%02x\n", pt.ScsiStatus);
        const UChar *bytes = static_cast<const UChar *>(buffer);
        for (unsigned i = 0; i < rawIn; ++i)
          std::printf("%02x%s", bytes[i],
                      (i % 16 == 15 || i + 1 == rawIn) ? "\n" : " ");
      }
      munmap(buffer, 4096);
      return status;
    };
  });

  // Logical drives.
  auto *ld = app.add_subcommand("ld", "logical drives");
  ld->require_subcommand(1);
  auto *ldList = ld->add_subcommand("list", "list the logical drives");
  common(ldList, true);
  ldList->callback([&] { run = [&] { return CmdLdList(o); }; });
  int ldNumber = 0, readPolicy = 0, writePolicy = 0, cachePolicy = 0;
  auto *policy = ld->add_subcommand("policy", "set a drive's policies");
  common(policy, false);
  policy->add_option("ld", ldNumber, "logical drive")->required();
  policy->add_option("--read", readPolicy, "read policy 0-2")
      ->required()
      ->check(CLI::Range(0, 2));
  policy->add_option("--write", writePolicy, "write policy 0-1")
      ->required()
      ->check(CLI::Range(0, 1));
  policy->add_option("--cache", cachePolicy, "cache policy 0-1")
      ->required()
      ->check(CLI::Range(0, 1));
  policy->callback([&] {
    run = [&] {
      LdrvPolicy_Struct p{UChar(readPolicy), UChar(writePolicy),
                          UChar(cachePolicy)};
      return simple("SetPolicy", SetPolicy(o.adapter, ldNumber, p));
    };
  });

  // Long operations: rebuild DEVICE, check LD, init LD.
  std::string target;
  for (const LongOp &op : LongOps()) {
    auto *c = app.add_subcommand(
        op.name, std::string(op.name) + ": start, progress, abort");
    c->require_subcommand(1);
    for (const char *action : {"start", "progress", "abort"}) {
      auto *a = c->add_subcommand(action, std::string(action) + " " + op.name);
      common(a, std::string(action) == "progress");
      a->add_option(op.onDevice ? "device" : "ld", target,
                    op.onDevice ? "device C:T" : "logical drive number")
          ->required();
      if (std::string(action) != "abort")
        a->add_flag("--wait", o.wait, "wait until the operation ends");
      else
        a->add_flag("-y,--yes", o.yes, "do not ask");
      a->callback([&, op, action] {
        run = [&, op, action] {
          int x = 0, y = 0;
          Address address;
          if (op.onDevice) {
            if (!ParseAddress(target, &address)) {
              std::fprintf(stderr, "hvctl: not a device address C:T: %s\n",
                           target.c_str());
              return int(kExitUsage);
            }
            x = address.channel;
            y = address.target;
          } else {
            char *end = nullptr;
            long n = std::strtol(target.c_str(), &end, 10);
            if (*end || n < 0 || n > 255) {
              std::fprintf(stderr, "hvctl: not a logical drive number: %s\n",
                           target.c_str());
              return int(kExitUsage);
            }
            x = static_cast<int>(n);
          }
          auto progress = [&, op, x, y] {
            return op.progress(o.adapter, x, y);
          };
          std::string act = action;
          if (act == "start") {
            Int rc = op.start(o.adapter, x, y);
            if (rc < 0) return ReportFailure(op.startCall, rc);
            return o.wait ? WaitFor(progress, op.progressCall, op.name)
                          : int(kExitOk);
          }
          if (act == "abort") {
            if (!Confirmed(o, std::string(op.name) + " abort " + target))
              return int(kExitRefused);
            Int rc = op.abort(o.adapter, x, y);
            return rc < 0 ? ReportFailure(op.abortCall, rc) : int(kExitOk);
          }
          if (o.wait) return WaitFor(progress, op.progressCall, op.name);
          Int p = progress();
          if (p < 0) return ReportFailure(op.progressCall, p);
          if (o.json)
            PrintJson(
                {{"operation", op.name}, {"target", target}, {"percent", p}});
          else
            std::printf("%d%%\n", p);
          return int(kExitOk);
        };
      });
    }
  }

  // Reconstruction: a new level with added devices.
  auto *recon = app.add_subcommand("recon", "reconstruction");
  recon->require_subcommand(1);
  int reconLevel = 5;
  std::vector<std::string> reconDevices;
  auto *reconStart = recon->add_subcommand("start", "start a reconstruction");
  common(reconStart, false);
  reconStart->add_option("ld", ldNumber, "logical drive")->required();
  reconStart->add_option("--raid", reconLevel, "new RAID level")->required();
  reconStart->add_option("devices", reconDevices, "devices to add C:T");
  reconStart->add_flag("--wait", o.wait, "wait until it ends");
  reconStart->add_flag("-y,--yes", o.yes, "do not ask");
  reconStart->callback([&] {
    run = [&] {
      auto drives = std::make_unique<NewPhyDrvInfo_Struct>();
      std::memset(drives.get(), 0, sizeof *drives);
      if (reconDevices.size() > 255) return int(kExitUsage);
      drives->uchNo_Newdev = UChar(reconDevices.size());
      for (size_t i = 0; i < reconDevices.size(); ++i) {
        Address address;
        if (!ParseAddress(reconDevices[i], &address)) {
          std::fprintf(stderr, "hvctl: not a device address C:T: %s\n",
                       reconDevices[i].c_str());
          return int(kExitUsage);
        }
        drives->astDrives[i].uchChanNo = UChar(address.channel);
        drives->astDrives[i].uchTargID = UChar(address.target);
      }
      if (!Confirmed(o, "recon start " + std::to_string(ldNumber)))
        return int(kExitRefused);
      Int rc = StartRecon(o.adapter, ldNumber, reconLevel, drives.get());
      if (rc < 0) return ReportFailure("StartRecon", rc);
      if (!o.wait) return int(kExitOk);
      return WaitFor([&] { return GetReconPrg(o.adapter); }, "GetReconPrg",
                     "recon");
    };
  });
  auto *reconProgress = recon->add_subcommand("progress", "progress");
  common(reconProgress, true);
  reconProgress->add_flag("--wait", o.wait, "wait until it ends");
  reconProgress->callback([&] {
    run = [&] {
      auto progress = [&] { return GetReconPrg(o.adapter); };
      if (o.wait) return WaitFor(progress, "GetReconPrg", "recon");
      Int p = progress();
      if (p < 0) return ReportFailure("GetReconPrg", p);
      if (o.json)
        PrintJson({{"operation", "recon"}, {"percent", p}});
      else
        std::printf("%d%%\n", p);
      return int(kExitOk);
    };
  });

  // Configuration.
  auto *config = app.add_subcommand("config", "configuration");
  config->require_subcommand(1);
  bool stored = false;
  std::string storedDisk;
  auto *show = config->add_subcommand("show", "show a configuration");
  common(show, true);
  show->add_flag("--stored", stored, "the one recorded on --disk");
  show->add_option("--disk", storedDisk, "disk C:T");
  show->callback([&] {
    run = [&] { return CmdConfigShow(o, stored ? 1 : 0, storedDisk); };
  });
  int raidLevel = 5, stripe = 64;
  unsigned sizeMib = 0;
  std::vector<std::string> disks;
  for (bool replace : {true, false}) {
    auto *c = config->add_subcommand(
        replace ? "create" : "add",
        replace ? "replace the configuration with one logical drive"
                : "add a logical drive on free disks");
    common(c, false);
    c->add_option("--raid", raidLevel, "RAID level 0, 1, 3, 5")->required();
    c->add_option("--stripe", stripe, "stripe size (API form, default 64)");
    c->add_option("--size", sizeMib, "size in MiB (default: all of it)");
    c->add_option("disks", disks, "member disks C:T")->required();
    if (replace) c->add_flag("-y,--yes", o.yes, "do not ask");
    c->callback([&, replace] {
      run = [&, replace] {
        auto set = std::make_unique<RaidSet_Struct>();
        int status = FillRaidSet(raidLevel, stripe, disks, set.get());
        if (status != kExitOk) return status;
        if (replace && !Confirmed(o, "config create")) return int(kExitRefused);
        set->astLogDrvInfo[0].ulLogDrvSize =
            sizeMib ? sizeMib : WholeCapacity(o.adapter, raidLevel, disks);
        Int rc = replace ? WriteNewConfig(UChar(o.adapter), set.get())
                         : AddLogDrvToConfig(UChar(o.adapter), set.get());
        return rc < 0
                   ? ReportFailure(
                         replace ? "WriteNewConfig" : "AddLogDrvToConfig", rc)
                   : int(kExitOk);
      };
    });
  }
  bool force = false;
  auto *del = config->add_subcommand("delete-last", "remove the last drive");
  common(del, false);
  del->add_flag("--force", force, "also a drive announced to the system");
  del->add_flag("-y,--yes", o.yes, "do not ask");
  del->callback([&] {
    run = [&] {
      if (!Confirmed(o, "config delete-last")) return int(kExitRefused);
      return simple("DeleteNewLogDrv",
                    DeleteNewLogDrv(UChar(o.adapter), force ? 1 : 0));
    };
  });
  auto *clear = config->add_subcommand("clear", "remove every logical drive");
  common(clear, false);
  clear->add_flag("-y,--yes", o.yes, "do not ask");
  clear->callback([&] {
    run = [&] {
      if (!Confirmed(o, "config clear")) return int(kExitRefused);
      return simple("ClearConfig", ClearConfig(UChar(o.adapter)));
    };
  });
  bool onlyNew = false;
  auto *announce =
      config->add_subcommand("announce", "announce the drives to the OS");
  common(announce, false);
  announce->add_flag("--new", onlyNew, "only drives added since the last");
  announce->callback([&] {
    run = [&] {
      return onlyNew ? simple("MakeDrvUse", MakeDrvUse(UChar(o.adapter)))
                     : simple("AddSettoOS", AddSettoOS(UChar(o.adapter)));
    };
  });

  int useSource = 1;
  std::string useDisk;
  auto *use = config->add_subcommand(
      "use", "resolve a mismatch: make a configuration the adapter's");
  common(use, false);
  use->add_option("--disk", useDisk, "the disk whose recorded one is used");
  use->add_flag("-y,--yes", o.yes, "do not ask");
  use->callback([&] {
    run = [&] {
      Config_Struct which{UChar(useSource), 0, 0};
      Address address;
      if (useDisk.empty()) {
        which.uchConfig = 0;
      } else if (!ParseAddress(useDisk, &address)) {
        return int(kExitUsage);
      } else {
        which.uchChan = UChar(address.channel);
        which.uchTarg = UChar(address.target);
      }
      if (!Confirmed(o, "config use")) return int(kExitRefused);
      return simple("UseConfig", UseConfig(UChar(o.adapter), &which));
    };
  });

  auto *status = app.add_subcommand("status", "health of every adapter");
  status->add_flag("--json", o.json, "JSON output");
  status->callback([&] { run = [&] { return CmdStatus(o); }; });

  std::string image;
  auto *firmware = app.add_subcommand("firmware", "download a firmware image");
  common(firmware, false);
  firmware->add_option("image", image, "image file")->required();
  firmware->add_flag("-y,--yes", o.yes, "do not ask");
  firmware->callback([&] {
    run = [&] {
      if (!Confirmed(o, "firmware " + image)) return int(kExitRefused);
      return simple("Download_Firmware",
                    Download_Firmware(UChar(o.adapter), image.c_str()));
    };
  });

  std::string output;
  auto *metrics = app.add_subcommand("metrics", "health in Prometheus text");
  metrics->add_option("-o,--output", output, "write atomically to FILE");
  metrics->callback([&] {
    run = [&] {
      std::string text;
      int rc = CollectMetrics(&text);
      if (output.empty()) {
        std::fputs(text.c_str(), stdout);
      } else if (!WriteAtomically(output, text)) {
        std::fprintf(stderr, "hvctl: cannot write %s: %s\n", output.c_str(),
                     std::strerror(errno));
        return int(kExitCallFailed);
      }
      return rc;
    };
  });

  double interval = 2.0;
  std::string eventCommand;
  auto *monitor = app.add_subcommand("monitor", "print one line per event");
  monitor->add_option("-i,--interval", interval, "seconds between polls")
      ->check(CLI::Range(0.1, 3600.0));
  monitor->add_option("-c,--command", eventCommand,
                      "shell command per event (event in $HVCTL_EVENT)");
  monitor->callback(
      [&] { run = [&] { return CmdMonitor(interval, eventCommand); }; });

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    app.exit(e);
    return kExitUsage;
  }
  if (!run) return kExitUsage;

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  Int handle = InitLib(0, 0);
  if (handle != HVAPI_APP_HANDLE) return ReportFailure("InitLib", handle);
  result = run();
  CloseLib(HVAPI_APP_HANDLE);
  return result;
}
