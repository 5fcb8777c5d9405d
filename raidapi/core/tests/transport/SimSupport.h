// Test support for runs against the preloaded simulated driver: a scenario
// of its own per test (state file from a preset, trace file, faults), the
// adapter table set up as discovery would leave it, and the trace lines of
// the requests that reached the driver.
#ifndef HVAPI_CORE_TESTS_TRANSPORT_SIM_SUPPORT_H
#define HVAPI_CORE_TESTS_TRANSPORT_SIM_SUPPORT_H

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testsupport/SimScenario.h"

class SimTest : public ::testing::Test {
 protected:
  void TearDown() override { Finish(); }
  // Closes the nodes, clears the table and removes the scenario.
  void Finish();

  // A fresh scenario from preset, with faults (HALVSIM_FAULTS) if given.
  void UsePreset(const std::string &preset, const std::string &faults = "");
  // Opens the adapters' nodes and fills the adapter table: on interface 1
  // "/dev/halvdev0" with `count` adapters, on interface 2 the given disk
  // nodes, one per adapter. Firmware types as listed.
  void OpenMimd(const std::vector<unsigned char> &types);
  void OpenDisks(const std::vector<std::string> &nodes,
                 const std::vector<unsigned char> &types);

  // The ioctl lines traced since the last call.
  std::vector<TraceLine> NewRequests();

 private:
  std::unique_ptr<SimScenario> scenario_;
  std::vector<int> fds_;
};

#endif  // HVAPI_CORE_TESTS_TRANSPORT_SIM_SUPPORT_H
