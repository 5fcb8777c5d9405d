// hvctl metrics: the health of every adapter, device and logical drive in
// the Prometheus text format, on standard output or written atomically to a
// file for node_exporter's textfile collector.
#ifndef RAIDAPI_TOOLS_HVCTL_METRICSCOMMAND_H_
#define RAIDAPI_TOOLS_HVCTL_METRICSCOMMAND_H_

#include "Context.h"

void AddMetricsCommand(CLI::App *app, Context *context);

#endif  // RAIDAPI_TOOLS_HVCTL_METRICSCOMMAND_H_
