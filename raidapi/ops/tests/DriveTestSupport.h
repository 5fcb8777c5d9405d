// Scenarios of the drive tests: one adapter of each firmware generation and
// driver interface holding the same devices and logical drives, so that one
// table of cases runs against all of them.
#ifndef HVAPI_OPS_TESTS_DRIVE_TEST_SUPPORT_H
#define HVAPI_OPS_TESTS_DRIVE_TEST_SUPPORT_H

#include <ostream>
#include <string>

#include "core/tests/LibSimScenario.h"
#include "hvapi.h"

namespace drives {

struct Generation {
  const char *name;
  int firmware;
  int interface;
  bool Is40LD() const { return firmware == HVAPI_FW_40LD; }
};

inline void PrintTo(const Generation &g, std::ostream *os) { *os << g.name; }

inline const Generation kGenerations[] = {
    {"Adapter40LDMultiAdapter", HVAPI_FW_40LD, 1},
    {"Adapter40LDDisks", HVAPI_FW_40LD, 2},
    {"Adapter8LD4SpanDisks", HVAPI_FW_8LD_4SPAN, 2},
    {"Adapter8LD8SpanMultiAdapter", HVAPI_FW_8LD_8SPAN, 1},
};

// The devices: a RAID 5 (drive 0) on 0:0, 0:1 (failed), 0:2; a RAID 0
// (drive 1) on 0:5 and 0:7; a free disk 0:3 that the adapter still
// records as failed; a hot spare 1:0; a tape at 1:2 followed by a free
// disk 1:3; empty slots everywhere else. The initiator is 6. Sizes differ
// so that each disk shows its own.
inline std::string DriveSettings() {
  return "initiator-id 6\n"
         "dump-text \"ADAPTER DUMP 42\"\n"
         "device 0:0 state=3 sectors=4194304\n"
         "device 0:1 state=4 sectors=4194304 medium-errors=7 "
         "other-errors=2\n"
         "device 0:2 state=3 sectors=8388608\n"
         "device 0:3 state=4 sectors=8388608\n"
         "device 0:5 state=3 sectors=4194304\n"
         "device 0:7 state=3 sectors=4194304\n"
         "device 1:0 state=6 sectors=6291456\n"
         "device 1:2 type=1 sectors=0 product=\"TAPE\"\n"
         "device 1:3 state=0 sectors=2097152\n"
         "logdrive raid=5 stripe=128\n"
         "  span start=0 blocks=2097152 members=0:0,0:1,0:2\n"
         "logdrive raid=0 stripe=64\n"
         "  span start=0 blocks=2097152 members=0:5,0:7\n";
}

inline std::string DriveState(const Generation &g,
                              const std::string &more = "") {
  return libsim::StateText({libsim::AdapterBlock(g.firmware, g.interface, 0,
                                                 DriveSettings() + more)});
}

// Size in MiB the library reports for a disk of this many sectors: the
// capacity the transport makes usable, remapped once more.
inline ULong32 MiB(ULong32 sectors) {
  const ULong32 usable = (sectors - 1 - 32) & ~2047u;
  return ((usable - 32) & ~2047u) >> 11;
}

}  // namespace drives

#endif  // HVAPI_OPS_TESTS_DRIVE_TEST_SUPPORT_H
