#include "MetricsCommand.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "Inventory.h"

namespace {

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
      if (d.state == kPdrvRebuilding) {
        Int p = GetRbldPrg(a, d.channel, d.target);
        if (p >= 0) pdRebuild.samples.push_back(l + std::to_string(p));
      }
    }
    std::vector<Logical> lds;
    if (ReadLogicalDrives(a, &lds) != kExitOk) status = kExitCallFailed;
    for (const Logical &ld : lds) {
      std::string l = "{" + al + ",ld=\"" + std::to_string(ld.number) +
                      "\",raid=\"" + std::to_string(ld.raidLevel) + "\"} ";
      int state = ld.status & HVAPI_LDRV_STATE_MASK;
      int op = ld.status & HVAPI_LDRV_OP_MASK;
      ldState.samples.push_back(l + std::to_string(state));
      ldDegraded.samples.push_back(l +
                                   (state == HVAPI_LDRV_OPTIMAL ? "0" : "1"));
      if (op == HVAPI_LDRV_OP_CONSCHECK) {
        Int p = GetConsistencyPrg(a, ld.number);
        if (p >= 0) ldCheck.samples.push_back(l + std::to_string(p));
      }
      if (op == HVAPI_LDRV_OP_INIT) {
        Int p = GetInitPrg(a, ld.number);
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
  if (!ok) {
    int reason = errno;  // the caller reports it, not unlink's
    unlink(temporary.c_str());
    errno = reason;
  }
  return ok;
}

}  // namespace

void AddMetricsCommand(CLI::App *app, Context *ctx) {
  auto output = std::make_shared<std::string>();
  auto *metrics = app->add_subcommand("metrics", "health in Prometheus text");
  metrics->add_option("-o,--output", *output, "write atomically to FILE");
  metrics->callback([ctx, output] {
    ctx->run = [output] {
      std::string text;
      int rc = CollectMetrics(&text);
      if (output->empty()) {
        std::fputs(text.c_str(), stdout);
      } else if (!WriteAtomically(*output, text)) {
        std::fprintf(stderr, "hvctl: cannot write %s: %s\n", output->c_str(),
                     std::strerror(errno));
        return int(kExitCallFailed);
      }
      return rc;
    };
  });
}
