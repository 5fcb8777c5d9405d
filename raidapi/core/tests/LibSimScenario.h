// Test support for starting the library against the preloaded simulated
// driver: a scenario of the test's own (a preset or a state file written by
// the test), fault rules, the simulator's trace, and reading back what the
// simulated adapters hold. Each test stops the library and removes its
// scenario at the end.
#ifndef HVAPI_CORE_TESTS_LIB_SIM_SCENARIO_H
#define HVAPI_CORE_TESTS_LIB_SIM_SCENARIO_H

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/AdapterTable.h"
#include "core/Discovery.h"
#include "hvapi.h"
#include "testsupport/SimScenario.h"

namespace libsim {

using ::TraceLine;

// Text of one adapter of a state file: `drives` RAID 0 logical drives, one
// per online disk 0:0, 0:1, ..., and any further setting lines.
inline std::string AdapterBlock(int firmware, int interface, int drives,
                                const std::string &settings = "") {
  std::ostringstream s;
  s << "adapter 0\nfirmware " << firmware << "\ninterface " << interface << "\n"
    << settings;
  for (int i = 0; i < drives; ++i) {
    s << "device 0:" << i << " state=3 sectors=4194304\n";
  }
  for (int i = 0; i < drives; ++i) {
    s << "logdrive raid=0\n  span start=0 blocks=2097152 members=0:" << i
      << "\n";
  }
  return s.str();
}

// A whole state file: header lines (clock, node, foreign-disks) and the
// adapters' blocks.
inline std::string StateText(const std::vector<std::string> &adapters,
                             const std::string &header = "") {
  std::string text = "halvsim-state 1\n" + header;
  for (const std::string &a : adapters) text += a;
  return text + "end\n";
}

// `count` adapters of one firmware type on one interface, one logical drive
// each.
inline std::string SameAdapters(int count, int firmware, int interface) {
  std::vector<std::string> blocks;
  for (int i = 0; i < count; ++i)
    blocks.push_back(AdapterBlock(firmware, interface, 1));
  return StateText(blocks);
}

inline int OpenDescriptorCount() {
  int n = 0;
  if (DIR *d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++n;
    closedir(d);
  }
  return n;
}

// Bytes of anonymous memory mapped below 4 GiB, where the library keeps
// everything it hands to the driver by address (the adapters' caches too).
inline uint64_t LowMappedBytes() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  uint64_t total = 0;
  while (std::getline(maps, line)) {
    unsigned long long from = 0, to = 0;
    char path[512] = {};
    const int n = std::sscanf(line.c_str(), "%llx-%llx %*s %*s %*s %*s %511s",
                              &from, &to, path);
    if (n >= 2 && to <= (1ULL << 32) && path[0] == '\0') total += to - from;
  }
  return total;
}

class LibSimTest : public ::testing::Test {
 protected:
  void SetUp() override { scenario_.reset(new SimScenario); }

  void TearDown() override {
    if (IsApiInitialized() == 1) {
      EXPECT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
    }
    ReleaseDiscoveredNodes();
    scenario_.reset();
  }

  std::string StatePath() const { return scenario_->StatePath(); }
  std::string Dir() const { return scenario_->Dir(); }

  void UsePreset(const std::string &preset) { scenario_->UsePreset(preset); }

  // Replaces the scenario; the simulator re-reads a replaced file.
  void UseState(const std::string &text) {
    const std::string tmp = StatePath() + ".new";
    {
      std::ofstream out(tmp);
      out << text;
    }
    ASSERT_EQ(0, std::rename(tmp.c_str(), StatePath().c_str()));
  }

  void UseFaults(const std::string &rules) { scenario_->UseFaults(rules); }

  // Starts the library and forgets what the start sent.
  void Start() {
    ASSERT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
    Trace();
  }

  // The trace lines written since the last call.
  std::vector<TraceLine> Trace() { return scenario_->Trace(); }

  // The command areas of the ioctl lines among lines, in order.
  static std::vector<std::string> Areas(const std::vector<TraceLine> &lines) {
    std::vector<std::string> areas;
    for (const TraceLine &l : lines) {
      if (l.at("kind") == "ioctl") areas.push_back(l.at("area"));
    }
    return areas;
  }

  // The ioctl lines whose command area starts with prefix.
  static std::vector<TraceLine> Commands(const std::vector<TraceLine> &lines,
                                         const std::string &prefix) {
    std::vector<TraceLine> found;
    for (const TraceLine &l : lines) {
      if (l.at("kind") == "ioctl" && l.at("area").rfind(prefix, 0) == 0)
        found.push_back(l);
    }
    return found;
  }

  // The value of an adapter setting in the state file ("" when absent).
  std::string Setting(int adapter, const std::string &key) {
    std::ifstream in(StatePath());
    std::string line;
    int current = -1;
    while (std::getline(in, line)) {
      if (line.rfind("adapter ", 0) == 0) ++current;
      if (current == adapter && line.rfind(key + " ", 0) == 0)
        return line.substr(key.size() + 1);
    }
    return "";
  }

 private:
  std::unique_ptr<SimScenario> scenario_;
};

}  // namespace libsim

#endif  // HVAPI_CORE_TESTS_LIB_SIM_SCENARIO_H
