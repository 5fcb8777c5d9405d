#include "ConfigCommands.h"

#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

#include "Inventory.h"

using nlohmann::json;

namespace {

int FillRaidSet(int level, int stripe, const std::vector<std::string> &disks,
                RaidSet_Struct *set) {
  std::memset(set, 0, sizeof *set);
  set->uchRaidLevel = static_cast<UChar>(level);
  set->uchNoOfSpan = 1;
  set->uchStripeSize = static_cast<UChar>(stripe);
  set->uchNoOfLD = 1;
  if (disks.size() > HVAPI_MAX_DEVICES) return kExitUsage;
  set->stArrayInfo[0].uchPhyDrvPerArray = static_cast<UChar>(disks.size());
  for (size_t i = 0; i < disks.size(); ++i) {
    Address address;
    if (!ParseAddressOrSay(disks[i], &address)) return kExitUsage;
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

int CmdConfigShow(const Options &o, bool stored, const std::string &disk) {
  Config_Struct which{static_cast<UChar>(stored ? 1 : 0), 0, 0};
  if (stored) {
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
  int count = config->uchNoOfLD > HVAPI_MAX_LDRV_40LD ? HVAPI_MAX_LDRV_40LD
                                                      : config->uchNoOfLD;
  for (int i = 0; i < count; ++i) {
    const FullLogDrvInfo_struct &full = config->astFullLogDrvInfo[i];
    Logical ld = LogicalFrom(full.stLdrv);
    list.push_back({{"number", i},
                    {"raid_level", ld.raidLevel},
                    {"size_mib", ld.size},
                    {"stripe", ld.stripe},
                    {"spans", SpansOf(full)}});
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

struct ConfigArgs {
  bool stored = false;
  std::string storedDisk;
  int raidLevel = 5, stripe = 64;
  unsigned sizeMib = 0;
  std::vector<std::string> disks;
  bool force = false;
  bool onlyNew = false;
  bool announce = false;
  std::string useDisk;
};

// create (replacing the configuration) or add a logical drive.
int CreateOrAdd(const Options &o, const ConfigArgs &args, bool replace) {
  auto set = std::make_unique<RaidSet_Struct>();
  int status = FillRaidSet(args.raidLevel, args.stripe, args.disks, set.get());
  if (status != kExitOk) return status;
  if (replace && !Confirmed(o, "config create")) return kExitRefused;
  set->astLogDrvInfo[0].ulLogDrvSize =
      args.sizeMib ? args.sizeMib
                   : WholeCapacity(o.adapter, args.raidLevel, args.disks);
  Int rc = replace ? WriteNewConfig(UChar(o.adapter), set.get())
                   : AddLogDrvToConfig(UChar(o.adapter), set.get());
  if (rc < 0)
    return ReportFailure(replace ? "WriteNewConfig" : "AddLogDrvToConfig", rc);
  if (!args.announce) return kExitOk;
  // The library counts the drives it found at its start as announced, so
  // only this run can tell the added drive from the others: a new
  // configuration is announced whole, an added drive alone.
  return replace ? CallResult("AddSettoOS", AddSettoOS(UChar(o.adapter)))
                 : CallResult("MakeDrvUse", MakeDrvUse(UChar(o.adapter)));
}

// use: the configuration recorded on the disk, or without one the adapter's
// own, is written as the adapter's, which ends a mismatch.
int UseConfiguration(const Options &o, const std::string &disk) {
  Config_Struct which{1, 0, 0};
  Address address;
  if (disk.empty()) {
    which.uchConfig = 0;
  } else if (!ParseAddressOrSay(disk, &address)) {
    return kExitUsage;
  } else {
    which.uchChan = UChar(address.channel);
    which.uchTarg = UChar(address.target);
  }
  if (!Confirmed(o, "config use")) return kExitRefused;
  return CallResult("UseConfig", UseConfig(UChar(o.adapter), &which));
}

}  // namespace

void AddConfigCommands(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto args = std::make_shared<ConfigArgs>();
  auto *config = app->add_subcommand("config", "configuration");
  config->require_subcommand(1);

  auto *show = config->add_subcommand("show", "show a configuration");
  AddCommonOptions(show, &o, true);
  show->add_flag("--stored", args->stored, "the one recorded on --disk");
  show->add_option("--disk", args->storedDisk, "disk C:T");
  show->callback([ctx, args] {
    ctx->run = [ctx, args] {
      return CmdConfigShow(ctx->options, args->stored, args->storedDisk);
    };
  });

  for (bool replace : {true, false}) {
    auto *c = config->add_subcommand(
        replace ? "create" : "add",
        replace ? "replace the configuration with one logical drive"
                : "add a logical drive on free disks");
    AddCommonOptions(c, &o, false);
    c->add_option("--raid", args->raidLevel, "RAID level 0, 1, 3, 5")
        ->required();
    c->add_option("--stripe", args->stripe,
                  "stripe size (API form, default 64)");
    c->add_option("--size", args->sizeMib, "size in MiB (default: all of it)");
    c->add_option("disks", args->disks, "member disks C:T")->required();
    c->add_flag("--announce", args->announce,
                "announce the new drive(s) to the OS as well");
    if (replace) c->add_flag("-y,--yes", o.yes, "do not ask");
    c->callback([ctx, args, replace] {
      ctx->run = [ctx, args, replace] {
        return CreateOrAdd(ctx->options, *args, replace);
      };
    });
  }

  auto *del = config->add_subcommand("delete-last", "remove the last drive");
  AddCommonOptions(del, &o, false);
  del->add_flag("--force", args->force, "also a drive announced to the system");
  del->add_flag("-y,--yes", o.yes, "do not ask");
  del->callback([ctx, args] {
    ctx->run = [ctx, args] {
      if (!Confirmed(ctx->options, "config delete-last"))
        return int(kExitRefused);
      return CallResult(
          "DeleteNewLogDrv",
          DeleteNewLogDrv(UChar(ctx->options.adapter), args->force ? 1 : 0));
    };
  });

  auto *clear = config->add_subcommand("clear", "remove every logical drive");
  AddCommonOptions(clear, &o, false);
  clear->add_flag("-y,--yes", o.yes, "do not ask");
  clear->callback([ctx] {
    ctx->run = [ctx] {
      if (!Confirmed(ctx->options, "config clear")) return int(kExitRefused);
      return CallResult("ClearConfig",
                        ClearConfig(UChar(ctx->options.adapter)));
    };
  });

  auto *announce =
      config->add_subcommand("announce", "announce the drives to the OS");
  AddCommonOptions(announce, &o, false);
  announce->add_flag("--new", args->onlyNew,
                     "only drives added since the last");
  announce->callback([ctx, args] {
    ctx->run = [ctx, args] {
      UChar adapter = UChar(ctx->options.adapter);
      return args->onlyNew ? CallResult("MakeDrvUse", MakeDrvUse(adapter))
                           : CallResult("AddSettoOS", AddSettoOS(adapter));
    };
  });

  auto *use = config->add_subcommand(
      "use", "resolve a mismatch: make a configuration the adapter's");
  AddCommonOptions(use, &o, false);
  use->add_option("--disk", args->useDisk,
                  "the disk whose recorded one is used");
  use->add_flag("-y,--yes", o.yes, "do not ask");
  use->callback([ctx, args] {
    ctx->run = [ctx, args] {
      return UseConfiguration(ctx->options, args->useDisk);
    };
  });
}
