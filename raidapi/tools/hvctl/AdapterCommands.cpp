#include "AdapterCommands.h"

#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

json AdapterJson(int a) {
  Adp_Struct info;
  std::memset(&info, 0, sizeof info);
  Int rc = GetAdapterInfo(static_cast<UChar>(a), &info);
  if (rc < 0) {
    ReportFailure("GetAdapterInfo", rc);
    return json();
  }
  json j = {{"adapter", a}};
  j["product"] = FieldText(info.achProductName, sizeof info.achProductName);
  j["firmware_version"] = FieldText(info.achFwVer, sizeof info.achFwVer);
  j["bios_version"] = FieldText(info.achBiosVer, sizeof info.achBiosVer);
  j["firmware_type"] = FirmwareName(GetAdpType(static_cast<UChar>(a)));
  j["channels"] = int(info.uchSCSIChanPresent);
  j["max_targets_per_channel"] = int(info.uchMaxTargPerChan);
  j["dram_mib"] = int(info.uchDRamSize);
  j["rebuild_rate"] = int(info.uchRbldRate);
  j["battery_status"] = int(info.uchBatteryStatus);
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
  j["initiator_id"] = Int(cluster.iAdapterID);
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
    for (int i = 0; i < s.uchLDrvCount && i < HVAPI_MAX_LDRV_40LD; ++i) {
      int number = s.astLogDrvStatus[i].uchLDrvNo;
      int state = s.astLogDrvStatus[i].uchStatus;
      lds.push_back({{"number", number},
                     {"state", LdrvStateName(state)},
                     {"state_code", state}});
    }
    for (int i = 0; i < s.uchPDrvCount; ++i) {
      const PDrv_State_Struct &p = s.astPhyDrvStatus[i];
      int state = p.uchStatus;
      pds.push_back({{"device", AddressText(p.uchChannel, p.uchTarget)},
                     {"state", PdrvStateName(state)},
                     {"state_code", state}});
    }
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

// One setter subcommand of settings: a value in [lo, hi] handed to set.
struct Setter {
  const char *name, *help;
  int lo, hi;
  Int (*set)(UChar adapter, int value);
  const char *call;
};

const Setter kSetters[] = {
    {"rebuild-rate", "rebuild rate in percent", 0, 100,
     [](UChar a, int v) { return SetRebuildRate(a, UChar(v)); },
     "SetRebuildRate"},
    {"auto-rebuild", "automatic rebuild off (0) or on (1)", 0, 1,
     [](UChar a, int v) { return SetAutoRbld(a, v); }, "SetAutoRbld"},
    {"alarm", "alarm control 0, 1 or 2", 0, 2,
     [](UChar a, int v) { return ControlAlarm(a, UChar(v)); }, "ControlAlarm"},
    {"bios", "BIOS off (0) or on (1)", 0, 1,
     [](UChar a, int v) { return SetBiosMode(a, v); }, "SetBiosMode"},
    {"cluster", "cluster mode off (0) or on (1)", 0, 1,
     [](UChar a, int v) { return SetClusterState(a, v); }, "SetClusterState"},
    {"initiator-id", "SCSI initiator ID (cluster mode only)", 0, 15,
     [](UChar a, int v) { return SetAdapterID(a, UChar(v)); }, "SetAdapterID"},
};

void AddSettingsCommands(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto *settings = app->add_subcommand("settings", "show or change settings");
  AddCommonOptions(settings, &o, true);
  // A setter's own callback runs first and has chosen the command then.
  settings->callback([ctx] {
    if (!ctx->run) ctx->run = [ctx] { return CmdSettings(ctx->options); };
  });
  for (const Setter &setter : kSetters) {
    auto *s = settings->add_subcommand(setter.name, setter.help);
    auto value = std::make_shared<int>(0);
    AddCommonOptions(s, &o, false);
    s->add_option("value", *value, "new value")
        ->required()
        ->check(CLI::Range(setter.lo, setter.hi));
    s->callback([ctx, value, &setter] {
      ctx->run = [ctx, value, &setter] {
        return CallResult(setter.call,
                          setter.set(UChar(ctx->options.adapter), *value));
      };
    });
  }
  struct ChannelRate {
    int channel = 0, rate = 0;
  };
  auto channelRate = std::make_shared<ChannelRate>();
  auto *s = settings->add_subcommand("channel-rate", "rate of a channel");
  AddCommonOptions(s, &o, false);
  s->add_option("channel", channelRate->channel)
      ->required()
      ->check(CLI::Range(0, 15));
  s->add_option("rate", channelRate->rate)->required()->check(CLI::Range(0, 3));
  s->callback([ctx, channelRate] {
    ctx->run = [ctx, channelRate] {
      return CallResult("SetChannelRate",
                        SetChannelRate(UChar(ctx->options.adapter),
                                       UChar(channelRate->channel),
                                       UChar(channelRate->rate)));
    };
  });
  auto *f = settings->add_subcommand("flush", "write the adapter's cache out");
  AddCommonOptions(f, &o, false);
  f->callback([ctx] {
    ctx->run = [ctx] {
      return CallResult("FlushAdapter",
                        FlushAdapter(UChar(ctx->options.adapter)));
    };
  });
}

}  // namespace

void AddAdapterCommands(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto *adapters = app->add_subcommand("adapters", "list the adapters");
  adapters->add_flag("--json", o.json, "JSON output");
  adapters->callback(
      [ctx] { ctx->run = [ctx] { return CmdAdapters(ctx->options, false); }; });
  auto *info = app->add_subcommand("info", "information of one adapter");
  AddCommonOptions(info, &o, true);
  info->callback(
      [ctx] { ctx->run = [ctx] { return CmdAdapters(ctx->options, true); }; });
  AddSettingsCommands(app, ctx);
}

void AddStatusCommand(CLI::App *app, Context *ctx) {
  auto *status = app->add_subcommand("status", "health of every adapter");
  status->add_flag("--json", ctx->options.json, "JSON output");
  status->callback(
      [ctx] { ctx->run = [ctx] { return CmdStatus(ctx->options); }; });
}
