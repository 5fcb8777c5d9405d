#include "MonitorCommand.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

struct Snapshot {
  std::vector<std::pair<std::string, int>> devices;  // "a device C:T", state
  std::vector<std::pair<std::string, int>> drives;   // "a ld N", status
};

Snapshot TakeSnapshot() {
  Snapshot s;
  for (int a = 0; a < GetTotalAdapters(); ++a) {
    auto all = std::make_unique<AllDrvInfo_Struct>();
    std::memset(all.get(), 0, sizeof *all);
    if (GetAllPDrvInfo(a, all.get()) == HVAPI_SUCCESS)
      for (int i = 0; i < all->uchTotalDrv; ++i) {
        const Drive_Struct &d = all->astDrive[i];
        s.devices.push_back({std::to_string(a) + " device " +
                                 AddressText(d.uchChanNo, d.uchTargID),
                             d.uchState});
      }
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
    else if (d.second == kPdrvRebuilding)
      event = "rebuild-started";
    else if (old == kPdrvRebuilding && d.second == HVAPI_PDRV_ONLINE)
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

struct MonitorArgs {
  double interval = 2.0;
  std::string command;
};

}  // namespace

void AddMonitorCommand(CLI::App *app, Context *ctx) {
  auto args = std::make_shared<MonitorArgs>();
  auto *monitor = app->add_subcommand("monitor", "print one line per event");
  monitor->add_option("-i,--interval", args->interval, "seconds between polls")
      ->check(CLI::Range(0.1, 3600.0));
  monitor->add_option("-c,--command", args->command,
                      "shell command per event (event in $HVCTL_EVENT)");
  monitor->callback([ctx, args] {
    ctx->run = [args] { return CmdMonitor(args->interval, args->command); };
  });
}
