// The device nodes a scenario makes appear: "/dev/halvdev0" for the adapters
// on the multi-adapter interface, and one "/dev/sd<letter>" per logical
// drive (at least one per adapter) of the adapters on the SCSI disk
// interface, after the letters of non-Halvoran disks.
#ifndef HALVSIM_DEVICE_NODES_H
#define HALVSIM_DEVICE_NODES_H

#include <string>
#include <vector>

#include "Scenario.h"

namespace halvsim {

constexpr const char *kMimdNode = "/dev/halvdev0";

struct Node {
  enum class Kind : uint8_t { kMimd, kDisk, kForeignDisk } kind = Kind::kMimd;
  int adapter = -1;  // scenario index of a disk's adapter
  char letter = 0;   // disks
  std::string Path() const;
};

// True for the paths the simulator owns: "/dev/halvdev0" and "/dev/sd" with
// one letter a to z.
bool IsSimulatedPath(const char *path);

// The node the path names in the scenario; false when it does not exist.
bool ResolveNode(const Scenario &sc, const char *path, Node *out);

// Scenario indexes of the adapters on an interface, in discovery order.
std::vector<size_t> AdaptersOn(const Scenario &sc, int interface);

}  // namespace halvsim

#endif  // HALVSIM_DEVICE_NODES_H
