#include "LogicalDriveCommands.h"

#include <memory>
#include <nlohmann/json.hpp>

#include "Inventory.h"

using nlohmann::json;

namespace {

int CmdLdList(const Options &o) {
  std::vector<Logical> lds;
  int status = ReadLogicalDrives(o.adapter, &lds);
  if (status != kExitOk) return status;
  if (o.json) {
    json list = json::array();
    for (const Logical &ld : lds)
      list.push_back({{"number", ld.number},
                      {"raid_level", ld.raidLevel},
                      {"size_mib", ld.size},
                      {"state", LdrvStateName(ld.status)},
                      {"operation", LdrvOperationName(ld.status)},
                      {"state_code", ld.status},
                      {"stripe", ld.stripe},
                      {"read_policy", ld.readPolicy},
                      {"write_policy", ld.writePolicy},
                      {"cache_policy", ld.cachePolicy},
                      {"spans", ld.spans}});
    PrintJson({{"adapter", o.adapter}, {"logical_drives", list}});
    return kExitOk;
  }
  Table t({"LD", "RAID", "SIZE_MIB", "STATE", "OPERATION", "SPANS"});
  for (const Logical &ld : lds) {
    std::vector<std::string> spans;
    for (const Span &span : ld.spans) spans.push_back(Join(span, ","));
    t.Add({std::to_string(ld.number), std::to_string(ld.raidLevel),
           std::to_string(ld.size), LdrvStateName(ld.status),
           LdrvOperationName(ld.status), Join(spans, " | ")});
  }
  t.Print();
  return kExitOk;
}

struct PolicyArgs {
  int ld = 0, read = 0, write = 0, cache = 0;
};

}  // namespace

void AddLogicalDriveCommands(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto *ld = app->add_subcommand("ld", "logical drives");
  ld->require_subcommand(1);
  auto *list = ld->add_subcommand("list", "list the logical drives");
  AddCommonOptions(list, &o, true);
  list->callback(
      [ctx] { ctx->run = [ctx] { return CmdLdList(ctx->options); }; });

  auto args = std::make_shared<PolicyArgs>();
  auto *policy = ld->add_subcommand("policy", "set a drive's policies");
  AddCommonOptions(policy, &o, false);
  policy->add_option("ld", args->ld, "logical drive")->required();
  policy->add_option("--read", args->read, "read policy 0-2")
      ->required()
      ->check(CLI::Range(0, 2));
  policy->add_option("--write", args->write, "write policy 0-1")
      ->required()
      ->check(CLI::Range(0, 1));
  policy->add_option("--cache", args->cache, "cache policy 0-1")
      ->required()
      ->check(CLI::Range(0, 1));
  policy->callback([ctx, args] {
    ctx->run = [ctx, args] {
      LdrvPolicy_Struct p{UChar(args->read), UChar(args->write),
                          UChar(args->cache)};
      return CallResult("SetPolicy",
                        SetPolicy(ctx->options.adapter, args->ld, p));
    };
  });
}
