// hvctl: the administrator's command-line tool over libhvapi.so.0, built on
// its installed headers only. Each command family registers itself; main
// parses the line, starts the library and runs the command chosen.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstring>

#include "AdapterCommands.h"
#include "ConfigCommands.h"
#include "Context.h"
#include "DriveCommands.h"
#include "FirmwareCommand.h"
#include "LogicalDriveCommands.h"
#include "MetricsCommand.h"
#include "MonitorCommand.h"
#include "OpcodeCommand.h"
#include "OperationCommands.h"
#include "PassThroughCommand.h"

namespace {

void OnSignal(int) { gStop = 1; }

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"hvctl: manage Halvoran RAID adapters through libhvapi"};
  app.require_subcommand(1);
  Context context;
  Options &o = context.options;
  app.add_option("-a,--adapter", o.adapter, "adapter number (default 0)")
      ->check(CLI::Range(0, HVAPI_MAX_ADAPTERS - 1));
  app.add_flag("--json", o.json, "JSON output (read commands)");
  app.add_flag("-y,--yes", o.yes, "do destructive commands without asking");

  AddAdapterCommands(&app, &context);
  AddDriveCommands(&app, &context);
  AddPassThroughCommand(&app, &context);
  AddOpcodeCommand(&app, &context);
  AddLogicalDriveCommands(&app, &context);
  AddOperationCommands(&app, &context);
  AddConfigCommands(&app, &context);
  AddStatusCommand(&app, &context);
  AddFirmwareCommand(&app, &context);
  AddMetricsCommand(&app, &context);
  AddMonitorCommand(&app, &context);

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
  if (!context.run) return kExitUsage;

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  Int handle = InitLib(0, 0);
  if (handle != HVAPI_APP_HANDLE) return ReportFailure("InitLib", handle);
  int result = context.run();
  CloseLib(HVAPI_APP_HANDLE);
  return result;
}
