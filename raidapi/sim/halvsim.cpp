// halvsim: makes, shows and edits the simulator's state files. Every edit
// runs as a transaction of the state store, under the same lock as the
// requests of the programs that use the simulated adapters.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Clock.h"
#include "DeviceNodes.h"
#include "Firmware.h"
#include "Presets.h"
#include "RequestWindow.h"
#include "StateStore.h"
#include "StateText.h"

using namespace halvsim;

namespace {

const char kUsage[] =
    "usage:\n"
    "  halvsim presets\n"
    "  halvsim init [-p PRESET] [--force] FILE\n"
    "  halvsim show FILE\n"
    "  halvsim summary FILE\n"
    "  halvsim set FILE [-a N] KEY VALUE\n"
    "  halvsim device FILE [-a N] C:T KEY=VALUE...\n"
    "  halvsim logdrive FILE [-a N] I KEY=VALUE...\n"
    "  halvsim op FILE [-a N] KIND KEY=VALUE...\n"
    "  halvsim store FILE [-a N] NAME\n"
    "  halvsim fail FILE [-a N] C:T\n"
    "  halvsim pull FILE [-a N] C:T\n"
    "  halvsim insert FILE [-a N] C:T [KEY=VALUE...]\n"
    "  halvsim fault FILE add RULE... | clear\n"
    "  halvsim flash FILE [-a N] OUT\n"
    "  halvsim overlaps FILE\n"
    "FILE '-' means $HALVSIM_STATE.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int Fail(const std::string &message) {
  std::fprintf(stderr, "halvsim: %s\n", message.c_str());
  return 1;
}

bool ParseNumber(const std::string &s, size_t *out) {
  if (s.empty()) return false;
  char *end = nullptr;
  unsigned long v = std::strtoul(s.c_str(), &end, 10);
  if (*end != '\0') return false;
  *out = v;
  return true;
}

// Arguments after the command: FILE, an optional "-a N", then the rest.
struct Args {
  std::string file;
  size_t adapter = 0;
  std::vector<std::string> rest;
};

bool ParseArgs(int argc, char **argv, Args *out) {
  if (argc < 3) return false;
  out->file = argv[2];
  if (out->file == "-") {
    const char *env = std::getenv("HALVSIM_STATE");
    if (!env || !*env) return false;
    out->file = env;
  }
  int i = 3;
  if (i + 1 < argc && std::strcmp(argv[i], "-a") == 0) {
    if (!ParseNumber(argv[i + 1], &out->adapter)) return false;
    i += 2;
  }
  for (; i < argc; ++i) out->rest.push_back(argv[i]);
  return true;
}

// Runs fn on the file's scenario under its lock; fn answers "" or an error.
int Edit(const std::string &file,
         const std::function<std::string(Scenario &)> &fn) {
  if (::setenv("HALVSIM_STATE", file.c_str(), 1) != 0) return Fail("setenv");
  struct stat st;
  if (::stat(file.c_str(), &st) != 0)
    return Fail(file + " does not exist (see halvsim init)");
  std::string failure, error;
  bool ok = StateStore::Instance().Transact(
      [&](Scenario &sc) {
        Scenario before = sc;
        failure = fn(sc);
        if (!failure.empty()) sc = before;  // an edit applies whole or not
      },
      &error);
  if (!ok) return Fail(error);
  if (!failure.empty()) return Fail(failure);
  return 0;
}

Adapter *Pick(Scenario &sc, size_t index, std::string *error) {
  if (index >= sc.adapters.size()) {
    *error = "no adapter " + std::to_string(index);
    return nullptr;
  }
  return &sc.adapters[index];
}

const char *StateName(uint8_t s) {
  switch (s) {
    case kStateReady:
      return "ready";
    case kStateOnline:
      return "online";
    case kStateFailed:
      return "failed";
    case kStateRebuild:
      return "rebuilding";
    case kStateHotSpare:
      return "hot spare";
    default:
      return "other";
  }
}

const char *DriveStateName(uint8_t s) {
  switch (s) {
    case kLdOffline:
      return "offline";
    case kLdDegraded:
      return "degraded";
    case kLdOptimal:
      return "optimal";
    default:
      return "other";
  }
}

void PrintSummary(const Scenario &sc) {
  int64_t now = NowMs(sc);
  std::printf("clock: %s\n",
              sc.clock_ms ? std::to_string(sc.clock_ms).c_str() : "real time");
  std::printf("/dev/halvdev0: %s\n", sc.node.c_str());
  for (size_t a = 0; a < sc.adapters.size(); ++a) {
    const Adapter &ad = sc.adapters[a];
    static const char *types[] = {"?", "8LD 4-span", "8LD 8-span", "40LD"};
    std::printf(
        "adapter %zu: %s, interface %u, %u channels, initiator %u, "
        "rebuild rate %u\n",
        a, types[ad.firmware <= 3 ? ad.firmware : 0], ad.interface, ad.channels,
        ad.initiator_id, ad.rebuild_rate);
    for (const Device &d : ad.devices) {
      int ld = MemberOf(ad.drives, d.at);
      std::printf(
          "  device %u:%u %s %u sectors %s%s\n", d.at.channel, d.at.target,
          d.IsDisk() ? "disk" : "non-disk", d.sectors, StateName(d.state),
          ld >= 0 ? (" (drive " + std::to_string(ld) + ")").c_str() : "");
    }
    for (size_t i = 0; i < ad.drives.size(); ++i) {
      const LogicalDrive &d = ad.drives[i];
      std::printf("  drive %zu: RAID %u, %zu span(s) of %zu, %llu MiB, %s\n", i,
                  d.raid, d.spans.size(), d.RowSize(),
                  static_cast<unsigned long long>(DriveBlocks(d) >> 11),
                  DriveStateName(DriveState(ad, i)));
    }
    static const char *kinds[] = {"rebuild", "check", "init", "recon"};
    for (const Operation &op : ad.ops) {
      std::printf("  %s %s: %u%%\n", kinds[static_cast<int>(op.kind)],
                  op.kind == OpKind::kRebuild
                      ? (std::to_string(op.dev.channel) + ":" +
                         std::to_string(op.dev.target))
                            .c_str()
                      : ("drive " + std::to_string(op.ld)).c_str(),
                  Progress(op, now));
    }
  }
}

int Init(int argc, char **argv) {
  std::string preset = kDefaultPreset, file;
  bool force = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "-p") == 0 && i + 1 < argc)
      preset = argv[++i];
    else if (std::strcmp(argv[i], "--force") == 0)
      force = true;
    else if (file.empty())
      file = argv[i];
    else
      return Usage();
  }
  if (file.empty()) return Usage();
  Scenario fresh;
  if (!MakePreset(preset, &fresh))
    return Fail("unknown preset '" + preset + "'");
  struct stat st;
  if (::stat(file.c_str(), &st) == 0) {
    if (!force) return Fail(file + " exists (use --force to replace it)");
    if (::unlink(file.c_str()) != 0) return Fail("cannot remove " + file);
  }
  // Seeded by a transaction, so that processes using the file notice it.
  if (::setenv("HALVSIM_STATE", file.c_str(), 1) != 0 ||
      ::setenv("HALVSIM_PRESET", preset.c_str(), 1) != 0)
    return Fail("setenv");
  std::string error;
  if (!StateStore::Instance().Transact([](Scenario &) {}, &error))
    return Fail(error);
  return 0;
}

int Run(int argc, char **argv) {
  if (argc < 2) return Usage();
  std::string cmd = argv[1];
  if (cmd == "presets") {
    for (const auto &[name, what] : PresetList())
      std::printf("%-8s %s\n", name.c_str(), what.c_str());
    return 0;
  }
  if (cmd == "init") return Init(argc, argv);
  Args args;
  if (!ParseArgs(argc, argv, &args)) return Usage();
  const auto &rest = args.rest;
  if (cmd == "show") {
    std::string text, error;
    if (!ReadWholeFile(args.file, &text, &error)) return Fail(error);
    std::fputs(text.c_str(), stdout);
    return 0;
  }
  if (cmd == "overlaps") {
    if (!rest.empty()) return Usage();
    std::printf("%llu\n", static_cast<unsigned long long>(
                              RequestWindow::Overlaps(args.file)));
    return 0;
  }
  if (cmd == "summary") {
    return Edit(args.file, [](Scenario &sc) {
      PrintSummary(sc);
      return std::string();
    });
  }
  if (cmd == "set") {
    if (rest.size() != 2) return Usage();
    return Edit(args.file, [&](Scenario &sc) {
      std::string error;
      if (rest[0] == "clock" || rest[0] == "node" || rest[0] == "foreign-disks")
        return SetScenarioSetting(&sc, rest[0], rest[1], &error) ? "" : error;
      Adapter *ad = Pick(sc, args.adapter, &error);
      if (!ad || !SetAdapterSetting(ad, rest[0], rest[1], &error)) return error;
      return ValidateScenario(sc, &error) ? std::string() : error;
    });
  }
  if (cmd == "device" || cmd == "logdrive") {
    if (rest.empty()) return Usage();
    std::vector<std::string> words(rest.begin() + 1, rest.end());
    return Edit(args.file, [&](Scenario &sc) {
      std::string error;
      Adapter *ad = Pick(sc, args.adapter, &error);
      if (!ad) return error;
      if (cmd == "device") {
        DevRef at;
        if (!ParseDeviceRef(rest[0], &at))
          return std::string("bad device ") + rest[0];
        Device *dev = ad->FindDevice(at);
        if (!dev) {
          ad->devices.emplace_back();
          dev = &ad->devices.back();
          dev->at = at;
        }
        if (!SetDeviceFields(dev, words, &error)) return error;
      } else {
        size_t i = 0;
        if (!ParseNumber(rest[0], &i) || i >= ad->drives.size())
          return "no logical drive " + rest[0];
        if (!SetDriveFields(&ad->drives[i], words, &error)) return error;
      }
      return ValidateScenario(sc, &error) ? std::string() : error;
    });
  }
  if (cmd == "op") {
    return Edit(args.file, [&](Scenario &sc) {
      std::string error;
      Adapter *ad = Pick(sc, args.adapter, &error);
      if (!ad) return error;
      Operation op;
      op.start_ms = NowMs(sc);
      if (!ParseOperation(rest, &op, &error)) return error;
      bool duration_given = false;
      for (const std::string &w : rest)
        duration_given = duration_given || w.rfind("duration=", 0) == 0;
      if (!duration_given) {
        switch (op.kind) {
          case OpKind::kRebuild:
            op.duration_ms = ad->rebuild_ms;
            break;
          case OpKind::kCheck:
            op.duration_ms = ad->check_ms;
            break;
          case OpKind::kInit:
            op.duration_ms = ad->init_ms;
            break;
          case OpKind::kRecon:
            op.duration_ms = ad->recon_ms;
            break;
        }
      }
      if (op.kind == OpKind::kRebuild) {
        Device *dev = ad->FindDevice(op.dev);
        if (!dev) return std::string("no device to rebuild");
        dev->state = kStateRebuild;
      }
      ad->ops.push_back(op);
      return std::string();
    });
  }
  // A disk that fails, is pulled from its slot, or is put into one.
  if (cmd == "fail" || cmd == "pull" || cmd == "insert") {
    if (rest.empty() || (cmd != "insert" && rest.size() != 1)) return Usage();
    std::vector<std::string> words(rest.begin() + 1, rest.end());
    return Edit(args.file, [&](Scenario &sc) {
      std::string error;
      Adapter *ad = Pick(sc, args.adapter, &error);
      if (!ad) return error;
      DevRef at;
      if (!ParseDeviceRef(rest[0], &at))
        return std::string("bad device ") + rest[0];
      Device *dev = ad->FindDevice(at);
      if (cmd == "insert") {
        if (dev) return "slot " + rest[0] + " is not empty";
        Device fresh;
        fresh.at = at;
        fresh.sectors = 4194304;
        fresh.vendor = "HALVSIM";
        fresh.product = "DISK " + rest[0];
        fresh.config = "none";
        ad->devices.push_back(fresh);
        if (!SetDeviceFields(&ad->devices.back(), words, &error)) return error;
        return ValidateScenario(sc, &error) ? std::string() : error;
      }
      if (!dev) return "no device at " + rest[0];
      if (cmd == "fail") {
        // The firmware sees the disk die: its rebuild ends and, with
        // automatic rebuild on, a hot spare steps in.
        if (!FailDisk(*ad, at, NowMs(sc))) return "no disk at " + rest[0];
        return std::string();
      }
      // Whatever ran on the disk ends with it.
      for (size_t i = 0; i < ad->ops.size(); ++i) {
        if (ad->ops[i].kind == OpKind::kRebuild && ad->ops[i].dev == at) {
          ad->ops.erase(ad->ops.begin() + static_cast<long>(i));
          break;
        }
      }
      ad->devices.erase(ad->devices.begin() + (dev - ad->devices.data()));
      return std::string();
    });
  }
  if (cmd == "store") {
    if (rest.size() != 1 || rest[0] == "same" || rest[0] == "none")
      return Usage();
    return Edit(args.file, [&](Scenario &sc) {
      std::string error;
      Adapter *ad = Pick(sc, args.adapter, &error);
      if (!ad) return error;
      ad->stored[rest[0]] = ad->drives;
      return std::string();
    });
  }
  if (cmd == "fault") {
    if (rest.empty()) return Usage();
    if (rest[0] == "clear") {
      return Edit(args.file, [](Scenario &sc) {
        sc.faults.clear();
        return std::string();
      });
    }
    if (rest[0] != "add" || rest.size() < 2) return Usage();
    std::string rule;
    for (size_t i = 1; i < rest.size(); ++i)
      rule += (i > 1 ? " " : "") + rest[i];
    return Edit(args.file, [&](Scenario &sc) {
      FaultRule r;
      std::string error;
      if (!ParseFaultRule(rule, &r, &error)) return error;
      sc.faults.push_back(r);
      return std::string();
    });
  }
  if (cmd == "flash") {
    if (rest.size() != 1) return Usage();
    if (::setenv("HALVSIM_STATE", args.file.c_str(), 1) != 0)
      return Fail("setenv");
    Bytes image;
    std::string error;
    if (!ReadFlashImage(args.adapter, &image, &error)) return Fail(error);
    std::string text(image.begin(), image.end());
    if (!WriteFileAtomically(rest[0], text, &error)) return Fail(error);
    return 0;
  }
  return Usage();
}

}  // namespace

int main(int argc, char **argv) { return Run(argc, argv); }
