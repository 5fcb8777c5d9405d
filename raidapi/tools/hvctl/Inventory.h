// The adapter's devices and logical drives as several commands read them,
// copied out of the library's packed records into plain aligned values.
#ifndef RAIDAPI_TOOLS_HVCTL_INVENTORY_H_
#define RAIDAPI_TOOLS_HVCTL_INVENTORY_H_

#include <string>
#include <vector>

#include "hvapi.h"

struct Drive {
  int channel = 0, target = 0, state = 0;
  unsigned size = 0;  // MiB
  std::string vendor, model;
};

// Every device of the adapter with its vendor and model. kExitOk, or the
// status after the failure was reported.
int ReadDrives(int adapter, std::vector<Drive> *out);

using Span = std::vector<std::string>;  // member devices "C:T"

struct Logical {
  int number = 0, status = 0, raidLevel = 0, stripe = 0;
  int readPolicy = 0, writePolicy = 0, cachePolicy = 0;
  unsigned size = 0;  // MiB
  std::vector<Span> spans;
};

// A logical drive's properties out of the library's record.
Logical LogicalFrom(const Ldrv_Struct &record);
// The member devices of each span of a configuration's logical drive.
std::vector<Span> SpansOf(const FullLogDrvInfo_struct &drive);

// Every logical drive with its members; none is not a failure.
int ReadLogicalDrives(int adapter, std::vector<Logical> *out);

#endif  // RAIDAPI_TOOLS_HVCTL_INVENTORY_H_
