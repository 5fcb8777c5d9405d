#include "DriveCommands.h"

#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

#include "Inventory.h"

using nlohmann::json;

namespace {

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

int CmdErrors(const Options &o, const Address &d) {
  Err_Struct e{0, 0};
  Int rc = GetErrCntr(o.adapter, d.channel, d.target, &e);
  if (rc < 0) return ReportFailure("GetErrCntr", rc);
  int medium = e.uchMediumErrors, other = e.uchOtherErrors;
  if (o.json)
    PrintJson({{"device", AddressText(d.channel, d.target)},
               {"medium_errors", medium},
               {"other_errors", other}});
  else
    std::printf("medium_errors %d\nother_errors %d\n", medium, other);
  return kExitOk;
}

int CmdHistory(const Options &o) {
  DrvHist_Struct h;
  std::memset(&h, 0, sizeof h);
  Int rc = GetDrvHist(o.adapter, &h);
  if (rc < 0) return ReportFailure("GetDrvHist", rc);
  json fails = json::array();
  for (const FailHistory_Struct &f : h.astFailHistory) {
    if (!f.uchValid) continue;
    int channel = f.uchChan, target = f.uchTarg, reason = f.uchReason;
    fails.push_back(
        {{"device", AddressText(channel, target)}, {"reason", reason}});
  }
  json errs = json::array();
  for (int c = 0; c < 3; ++c)
    for (int t = 0; t < 16; ++t) {
      const Err_History &e = h.astErr_history[c][t];
      int timeouts = e.uchTimeOut, parity = e.uchParity,
          throttle = e.uchThrottle;
      if (timeouts || parity || throttle)
        errs.push_back({{"device", AddressText(c, t)},
                        {"timeouts", timeouts},
                        {"parity", parity},
                        {"throttle", throttle}});
    }
  if (o.json) {
    PrintJson({{"adapter", o.adapter}, {"failures", fails}, {"errors", errs}});
    return kExitOk;
  }
  Table t({"DEVICE", "EVENT", "DETAIL"});
  for (auto &f : fails)
    t.Add({f["device"], "failed",
           "reason " + std::to_string(f["reason"].get<int>())});
  for (auto &e : errs)
    t.Add({e["device"], "errors",
           "timeouts " + std::to_string(e["timeouts"].get<int>()) + " parity " +
               std::to_string(e["parity"].get<int>()) + " throttle " +
               std::to_string(e["throttle"].get<int>())});
  t.Print();
  return kExitOk;
}

int CmdSense(const Options &o) {
  SSDa_Struct s;
  std::memset(&s, 0, sizeof s);
  Int rc = GetSCSIDump(UChar(o.adapter), &s);
  if (rc < 0) return ReportFailure("GetSCSIDump", rc);
  json list = json::array();
  for (const SenseData_Struct &e : s.astSenData) {
    unsigned senseKey = e.uwSenseKeyPlusMisc, ascAscq = e.uwASCPlusASCQ;
    list.push_back({{"device", AddressText(e.uchChanNo, e.uchTargNo)},
                    {"sense_key", senseKey},
                    {"asc_ascq", ascAscq}});
  }
  if (o.json) {
    PrintJson({{"adapter", o.adapter},
               {"end_pointer", int(s.uchEndPtr)},
               {"entries", list}});
    return kExitOk;
  }
  Table t({"DEVICE", "SENSE_KEY", "ASC_ASCQ"});
  for (auto &e : list)
    t.Add({e["device"], std::to_string(e["sense_key"].get<int>()),
           std::to_string(e["asc_ascq"].get<int>())});
  t.Print();
  return kExitOk;
}

int CmdDump(const Options &o) {
  auto area = std::make_unique<Da_Struct>();
  std::memset(area.get(), 0, sizeof *area);
  Int rc = GetDump(UChar(o.adapter), area.get());
  if (rc < 0) return ReportFailure("GetDump", rc);
  std::printf("%s\n",
              FieldText(area->achDumpArea, sizeof area->achDumpArea).c_str());
  return kExitOk;
}

// A subcommand on one device C:T; destructive ones need confirmation.
struct DeviceCommand {
  const char *name, *help;
  bool destructive, reads;
  int (*body)(const Options &o, const Address &d);
};

const DeviceCommand kDeviceCommands[] = {
    {"fail", "fail a member device", true, false,
     [](const Options &o, const Address &d) {
       return CallResult("FailDrv", FailDrv(o.adapter, d.channel, d.target));
     }},
    {"online", "set a member device online", true, false,
     [](const Options &o, const Address &d) {
       return CallResult(
           "SetPDrvState",
           SetPDrvState(o.adapter, HVAPI_PDRV_ONLINE, d.channel, d.target));
     }},
    {"hotspare-set", "make a ready disk a hot spare", false, false,
     [](const Options &o, const Address &d) {
       return CallResult("SetHotSpare",
                         SetHotSpare(o.adapter, d.channel, d.target));
     }},
    {"hotspare-unset", "make a hot spare ready again", false, false,
     [](const Options &o, const Address &d) {
       return CallResult("ReSetHotSpare",
                         ReSetHotSpare(o.adapter, d.channel, d.target));
     }},
    {"errors", "error counters of a device", false, true, CmdErrors},
    {"errors-reset", "clear the error counters of a device", true, false,
     [](const Options &o, const Address &d) {
       return CallResult("ResetErrCntr",
                         ResetErrCntr(o.adapter, d.channel, d.target));
     }},
};

}  // namespace

void AddDriveCommands(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto *pd = app->add_subcommand("pd", "physical drives");
  pd->require_subcommand(1);
  auto *list = pd->add_subcommand("list", "list the disks");
  AddCommonOptions(list, &o, true);
  list->callback(
      [ctx] { ctx->run = [ctx] { return CmdPdList(ctx->options); }; });

  auto device = std::make_shared<std::string>();
  for (const DeviceCommand &command : kDeviceCommands) {
    auto *c = pd->add_subcommand(command.name, command.help);
    AddCommonOptions(c, &o, false);
    c->add_flag("-y,--yes", o.yes, "do not ask");
    c->add_option("device", *device, "device C:T")->required();
    if (command.reads) c->add_flag("--json", o.json, "JSON output");
    c->callback([ctx, device, &command] {
      ctx->run = [ctx, device, &command] {
        Address address;
        if (!ParseAddressOrSay(*device, &address)) return int(kExitUsage);
        if (command.destructive &&
            !Confirmed(ctx->options,
                       std::string("pd ") + command.name + " " + *device))
          return int(kExitRefused);
        return command.body(ctx->options, address);
      };
    });
  }

  auto *history = pd->add_subcommand("history", "the adapter's drive history");
  AddCommonOptions(history, &o, true);
  history->callback(
      [ctx] { ctx->run = [ctx] { return CmdHistory(ctx->options); }; });
  auto *sense = pd->add_subcommand("sense", "the adapter's last sense entries");
  AddCommonOptions(sense, &o, true);
  sense->callback(
      [ctx] { ctx->run = [ctx] { return CmdSense(ctx->options); }; });
  auto *dump = pd->add_subcommand("dump", "the adapter's dump text");
  AddCommonOptions(dump, &o, false);
  dump->callback([ctx] { ctx->run = [ctx] { return CmdDump(ctx->options); }; });
  auto *clear =
      pd->add_subcommand("history-clear", "clear the adapter's drive history");
  AddCommonOptions(clear, &o, false);
  clear->add_flag("-y,--yes", o.yes, "do not ask");
  clear->callback([ctx] {
    ctx->run = [ctx] {
      if (!Confirmed(ctx->options, "pd history-clear"))
        return int(kExitRefused);
      return CallResult("ClearDrvHist", ClearDrvHist(ctx->options.adapter));
    };
  });
}
