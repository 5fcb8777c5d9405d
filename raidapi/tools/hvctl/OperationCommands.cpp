#include "OperationCommands.h"

#include <unistd.h>

#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

// Polls progress until it reaches 100 (or fails): a bar on a terminal,
// one percentage per change otherwise. running, when given, tells whether
// the operation still runs: one that stopped short of 100 (aborted, or its
// disk failed) would otherwise be waited for forever; stopped then says so.
int WaitFor(const std::function<Int()> &progress, const char *call,
            const char *what, const std::function<bool()> &running = nullptr,
            const std::string &stopped = "") {
  bool tty = isatty(STDOUT_FILENO);
  int last = -1;
  while (!gStop) {
    // Asked before the progress: an operation that ends between the two
    // answers 100 and is not taken for one that stopped.
    bool runs = !running || running();
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
    if (!runs) {
      if (tty) std::printf("\n");
      std::fprintf(stderr, "hvctl: %s\n", stopped.c_str());
      return kExitCallFailed;
    }
    usleep(200 * 1000);
  }
  if (tty) std::printf("\n");
  return kExitInterrupted;
}

// One operation on a device C:T (rebuild) or a logical drive (the others);
// the arguments are the adapter, then channel and target or the drive.
struct LongOp {
  const char *name;
  const char *startCall, *progressCall, *abortCall;
  Int (*start)(int, int, int);
  Int (*progress)(int, int, int);
  Int (*abort)(int, int, int);
  bool onDevice;
};

const LongOp kLongOps[] = {
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

enum class Action { kStart, kProgress, kAbort };

int RunLongOp(const Options &o, const LongOp &op, Action action,
              const std::string &target) {
  int x = 0, y = 0;
  if (op.onDevice) {
    Address address;
    if (!ParseAddressOrSay(target, &address)) return kExitUsage;
    x = address.channel;
    y = address.target;
  } else if (!ParseLogicalDrive(target, &x)) {
    std::fprintf(stderr, "hvctl: not a logical drive number: %s\n",
                 target.c_str());
    return kExitUsage;
  }
  auto progress = [&] { return op.progress(o.adapter, x, y); };
  // A device that is no longer rebuilding answers a progress of 0 for ever.
  std::function<bool()> running;
  if (op.onDevice)
    running = [&] {
      UChar state = 0;
      return GetPDrvState(o.adapter, &state, x, y) != HVAPI_SUCCESS ||
             state == kPdrvRebuilding;
    };
  const std::string stopped =
      "no " + std::string(op.name) + " runs on " + target;
  switch (action) {
    case Action::kStart: {
      Int rc = op.start(o.adapter, x, y);
      if (rc < 0) return ReportFailure(op.startCall, rc);
      return o.wait
                 ? WaitFor(progress, op.progressCall, op.name, running, stopped)
                 : kExitOk;
    }
    case Action::kAbort:
      if (!Confirmed(o, std::string(op.name) + " abort " + target))
        return kExitRefused;
      return CallResult(op.abortCall, op.abort(o.adapter, x, y));
    case Action::kProgress:
      break;
  }
  if (o.wait)
    return WaitFor(progress, op.progressCall, op.name, running, stopped);
  Int p = progress();
  if (p < 0) return ReportFailure(op.progressCall, p);
  if (o.json)
    PrintJson({{"operation", op.name}, {"target", target}, {"percent", p}});
  else
    std::printf("%d%%\n", p);
  return kExitOk;
}

struct ReconArgs {
  int ld = 0, level = 5;
  std::vector<std::string> devices;
};

int StartReconstruction(const Options &o, const ReconArgs &args) {
  auto drives = std::make_unique<NewPhyDrvInfo_Struct>();
  std::memset(drives.get(), 0, sizeof *drives);
  if (args.devices.size() > 255) return kExitUsage;
  drives->uchNo_Newdev = UChar(args.devices.size());
  for (size_t i = 0; i < args.devices.size(); ++i) {
    Address address;
    if (!ParseAddressOrSay(args.devices[i], &address)) return kExitUsage;
    drives->astDrives[i].uchChanNo = UChar(address.channel);
    drives->astDrives[i].uchTargID = UChar(address.target);
  }
  if (!Confirmed(o, "recon start " + std::to_string(args.ld)))
    return kExitRefused;
  Int rc = StartRecon(o.adapter, args.ld, args.level, drives.get());
  if (rc < 0) return ReportFailure("StartRecon", rc);
  if (!o.wait) return kExitOk;
  return WaitFor([&] { return GetReconPrg(o.adapter); }, "GetReconPrg",
                 "recon");
}

int ReconProgress(const Options &o) {
  auto progress = [&] { return GetReconPrg(o.adapter); };
  if (o.wait) return WaitFor(progress, "GetReconPrg", "recon");
  Int p = progress();
  if (p < 0) return ReportFailure("GetReconPrg", p);
  if (o.json)
    PrintJson({{"operation", "recon"}, {"percent", p}});
  else
    std::printf("%d%%\n", p);
  return kExitOk;
}

void AddReconCommands(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto *recon = app->add_subcommand("recon", "reconstruction");
  recon->require_subcommand(1);
  auto args = std::make_shared<ReconArgs>();
  auto *start = recon->add_subcommand("start", "start a reconstruction");
  AddCommonOptions(start, &o, false);
  start->add_option("ld", args->ld, "logical drive")->required();
  start->add_option("--raid", args->level, "new RAID level")->required();
  start->add_option("devices", args->devices, "devices to add C:T");
  start->add_flag("--wait", o.wait, "wait until it ends");
  start->add_flag("-y,--yes", o.yes, "do not ask");
  start->callback([ctx, args] {
    ctx->run = [ctx, args] { return StartReconstruction(ctx->options, *args); };
  });
  auto *progress = recon->add_subcommand("progress", "progress");
  AddCommonOptions(progress, &o, true);
  progress->add_flag("--wait", o.wait, "wait until it ends");
  progress->callback(
      [ctx] { ctx->run = [ctx] { return ReconProgress(ctx->options); }; });
}

}  // namespace

void AddOperationCommands(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto target = std::make_shared<std::string>();
  const struct {
    const char *name;
    Action action;
  } actions[] = {{"start", Action::kStart},
                 {"progress", Action::kProgress},
                 {"abort", Action::kAbort}};
  for (const LongOp &op : kLongOps) {
    auto *c = app->add_subcommand(
        op.name, std::string(op.name) + ": start, progress, abort");
    c->require_subcommand(1);
    for (const auto &entry : actions) {
      Action action = entry.action;
      auto *a = c->add_subcommand(entry.name,
                                  std::string(entry.name) + " " + op.name);
      AddCommonOptions(a, &o, action == Action::kProgress);
      a->add_option(op.onDevice ? "device" : "ld", *target,
                    op.onDevice ? "device C:T" : "logical drive number")
          ->required();
      if (action != Action::kAbort)
        a->add_flag("--wait", o.wait, "wait until the operation ends");
      else
        a->add_flag("-y,--yes", o.yes, "do not ask");
      a->callback([ctx, target, &op, action] {
        ctx->run = [ctx, target, &op, action] {
          return RunLongOp(ctx->options, op, action, *target);
        };
      });
    }
  }
  AddReconCommands(app, ctx);
}
