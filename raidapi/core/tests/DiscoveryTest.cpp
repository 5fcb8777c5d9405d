// Discovery through both driver interfaces, the firmware type and the device
// details, against the simulated driver.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/AdapterTable.h"
#include "core/Discovery.h"
#include "core/tests/LibSimScenario.h"
#include "hvapi.h"

namespace {

using libsim::AdapterBlock;
using libsim::LibSimTest;
using libsim::OpenDescriptorCount;
using libsim::SameAdapters;
using libsim::StateText;
using libsim::TraceLine;

class DiscoveryTest : public LibSimTest {
 protected:
  // The disk nodes that discovery opened, and those it closed again.
  static std::set<std::string> Nodes(const std::vector<TraceLine> &lines,
                                     const std::string &kind,
                                     bool openedOnly = false) {
    std::set<std::string> nodes;
    for (const TraceLine &l : lines) {
      if (l.at("kind") != kind || l.at("node").rfind("/dev/sd", 0) != 0)
        continue;
      if (openedOnly && l.at("result") == "-1") continue;
      nodes.insert(l.at("node"));
    }
    return nodes;
  }
};

TEST_F(DiscoveryTest, MultiAdapterDeviceGivesIndexHandlesAndOpensNoDisk) {
  UseState(SameAdapters(3, HVAPI_FW_40LD, 1));
  EXPECT_EQ(3, Linux_FindAdapters());
  EXPECT_EQ(3u, guiTotalHalvoranCount);
  EXPECT_EQ(HVAPI_DRIVER_MIMD, giDriverType);
  EXPECT_GT(giMIMDFileDescriptor, 0);
  EXPECT_EQ(0, gaiFileHandles[0]);
  EXPECT_EQ(1, gaiFileHandles[1]);
  EXPECT_EQ(2, gaiFileHandles[2]);
  const std::vector<TraceLine> lines = Trace();
  EXPECT_TRUE(Nodes(lines, "open").empty());
  // The count query: a driver query with sub-code 'm', 4 bytes back.
  const std::vector<TraceLine> requests = Commands(lines, "");
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("0x6d00", requests[0].at("req"));
  EXPECT_EQ("0x82", requests[0].at("fake"));
  EXPECT_EQ("0x6d", requests[0].at("sub"));
  EXPECT_EQ("0,4,0", requests[0].at("raw"));
}

TEST_F(DiscoveryTest, AdapterWithThreeLogicalDrivesOnSdaContinuesAtSdd) {
  UseState(StateText({AdapterBlock(HVAPI_FW_40LD, 2, 3),
                      AdapterBlock(HVAPI_FW_8LD_4SPAN, 2, 1)}));
  const int before = OpenDescriptorCount();
  EXPECT_EQ(2, Linux_FindAdapters());
  EXPECT_EQ(HVAPI_DRIVER_SCSI, giDriverType);
  EXPECT_EQ(before + 2, OpenDescriptorCount());
  const std::vector<TraceLine> lines = Trace();
  const std::set<std::string> opened = Nodes(lines, "open", true);
  EXPECT_EQ((std::set<std::string>{"/dev/sda", "/dev/sdd"}), opened);
  // The 40LD disk-array read answered on sda; the 8LD adapter on sdd needed
  // the enquiry after it.
  for (const TraceLine &l : lines) {
    if (l.at("kind") == "open" && l.at("node") == "/dev/sda") {
      EXPECT_EQ(std::to_string(gaiFileHandles[0]), l.at("result"));
    }
    if (l.at("kind") == "open" && l.at("node") == "/dev/sdd") {
      EXPECT_EQ(std::to_string(gaiFileHandles[1]), l.at("result"));
    }
  }
  EXPECT_EQ(2u, Commands(lines, "a104").size());
  EXPECT_EQ(1u, Commands(lines, "050000").size());
}

TEST_F(DiscoveryTest, DiskOfAnotherHostIsSkippedAndClosed) {
  UseState(
      StateText({AdapterBlock(HVAPI_FW_40LD, 2, 1)}, "foreign-disks \"a\"\n"));
  const int before = OpenDescriptorCount();
  EXPECT_EQ(1, Linux_FindAdapters());
  EXPECT_EQ(before + 1, OpenDescriptorCount());
  const std::vector<TraceLine> lines = Trace();
  EXPECT_EQ(std::set<std::string>{"/dev/sda"}, Nodes(lines, "close"));
  // Nothing but the probe went to the foreign disk.
  for (const TraceLine &l : lines) {
    if (l.at("kind") == "ioctl" && l.at("node") == "/dev/sda") {
      EXPECT_EQ("0x5385", l.at("req"));
    }
  }
}

TEST_F(DiscoveryTest, ProbeTellsTheDriverTheBufferSize) {
  UseState(StateText({AdapterBlock(HVAPI_FW_40LD, 2, 1)}));
  EXPECT_EQ(1, Linux_FindAdapters());
  std::vector<TraceLine> probes;
  for (const TraceLine &l : Trace()) {
    if (l.at("kind") == "ioctl" && l.at("req") == "0x5385") probes.push_back(l);
  }
  ASSERT_FALSE(probes.empty());
  EXPECT_EQ("2047,0,0", probes[0].at("raw"));
}

// An 8LD adapter is accepted only when its enquiry is plausible; otherwise
// its disk is closed again.
TEST_F(DiscoveryTest, EnquiryBoundsOf8LDAdapters) {
  struct Case {
    const char *name;
    const char *settings;
    const char *faults;
    bool accepted;
  };
  const Case cases[] = {
      {"four channels", "channels 4\n", "", true},
      {"five channels", "channels 5\n", "", false},
      {"rebuild rate 100", "", "op=0x05 data=1:64", true},
      {"rebuild rate 101", "", "op=0x05 data=1:65", false},
      {"eight logical drives", "", "op=0x05 data=24:08", true},
      {"nine logical drives", "", "op=0x05 data=24:09", false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    UseState(StateText({AdapterBlock(HVAPI_FW_8LD_4SPAN, 2, 1, c.settings)}));
    UseFaults(c.faults);
    Trace();
    const int before = OpenDescriptorCount();
    EXPECT_EQ(c.accepted ? 1 : 0, Linux_FindAdapters());
    const std::vector<TraceLine> lines = Trace();
    EXPECT_EQ(1u, Commands(lines, "050000").size());
    if (c.accepted) {
      EXPECT_EQ(before + 1, OpenDescriptorCount());
      EXPECT_TRUE(Nodes(lines, "close").empty());
    } else {
      EXPECT_EQ(before, OpenDescriptorCount());
      EXPECT_EQ(std::set<std::string>{"/dev/sda"}, Nodes(lines, "close"));
    }
    ReleaseDiscoveredNodes();
  }
}

// More than six adapters read as "too many" on both interfaces; the table
// keeps the first six only.
TEST_F(DiscoveryTest, SixAndSevenAdaptersOnBothInterfaces) {
  struct Case {
    int interface;
    int adapters;
    Int expected;
  };
  const Case cases[] = {
      {1, 6, 6},
      {1, 7, kDiscoveryTooMany},
      {2, 6, 6},
      {2, 7, kDiscoveryTooMany},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE("interface " + std::to_string(c.interface) + ", " +
                 std::to_string(c.adapters) + " adapters");
    UseState(SameAdapters(c.adapters, HVAPI_FW_40LD, c.interface));
    Trace();
    const int before = OpenDescriptorCount();
    EXPECT_EQ(c.expected, Linux_FindAdapters());
    EXPECT_EQ(static_cast<ULong32>(c.expected), guiTotalHalvoranCount);
    // One descriptor for the multi-adapter device, one per kept disk.
    EXPECT_EQ(before + (c.interface == 1 ? 1 : HVAPI_MAX_ADAPTERS),
              OpenDescriptorCount());
    if (c.interface == 2) {
      const std::vector<TraceLine> lines = Trace();
      const std::set<std::string> closed = Nodes(lines, "close");
      EXPECT_EQ(c.adapters == 7 ? std::set<std::string>{"/dev/sdg"}
                                : std::set<std::string>{},
                closed);
    }
    ReleaseDiscoveredNodes();
  }
}

TEST_F(DiscoveryTest, NoAdapterAtAll) {
  UsePreset("none");
  const int before = OpenDescriptorCount();
  EXPECT_EQ(0, Linux_FindAdapters());
  EXPECT_EQ(0u, guiTotalHalvoranCount);
  EXPECT_EQ(HVAPI_DRIVER_SCSI, giDriverType);
  EXPECT_EQ(before, OpenDescriptorCount());
}

TEST_F(DiscoveryTest, FailedCountQueryFindsNothing) {
  UseState(SameAdapters(2, HVAPI_FW_40LD, 1));
  UseFaults("op=0x82 sub=0x6d fail");
  EXPECT_EQ(0, Linux_FindAdaptersMIMD());
}

TEST_F(DiscoveryTest, RunningAgainKeepsNoDescriptorOfTheRunBefore) {
  for (int interface : {1, 2}) {
    SCOPED_TRACE("interface " + std::to_string(interface));
    UseState(SameAdapters(2, HVAPI_FW_40LD, interface));
    const int before = OpenDescriptorCount();
    EXPECT_EQ(2, Linux_FindAdapters());
    const int afterFirst = OpenDescriptorCount();
    EXPECT_EQ(2, Linux_FindAdapters());
    EXPECT_EQ(afterFirst, OpenDescriptorCount());
    ReleaseDiscoveredNodes();
    EXPECT_EQ(before, OpenDescriptorCount());
  }
}

// The disk-array reads are tried from the newest firmware to the oldest; the
// first one accepted fixes the type.
TEST_F(DiscoveryTest, FirmwareTypeInItsOrder) {
  struct Case {
    int firmware;
    std::vector<std::string> opcodes;
  };
  const Case cases[] = {
      {HVAPI_FW_40LD, {"a1"}},
      {HVAPI_FW_8LD_8SPAN, {"a1", "67"}},
      {HVAPI_FW_8LD_4SPAN, {"a1", "67", "07"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE("firmware " + std::to_string(c.firmware));
    UseState(SameAdapters(1, c.firmware, 1));
    ASSERT_EQ(1, Linux_FindAdapters());
    SetCurrentAdaptNumber(0);
    gachDacFWType[0] = 0;
    Trace();
    EXPECT_EQ(0, FindFirmwareType());
    EXPECT_EQ(c.firmware, gachDacFWType[0]);
    std::vector<std::string> sent;
    for (const std::string &area : Areas(Trace()))
      sent.push_back(area.substr(0, 2));
    EXPECT_EQ(c.opcodes, sent);
  }
}

TEST_F(DiscoveryTest, FirmwareTypeUndeterminedLeavesTheTypeAlone) {
  UseState(SameAdapters(1, HVAPI_FW_40LD, 1));
  ASSERT_EQ(1, Linux_FindAdapters());
  UseFaults("op=0xa1 status=1;op=0x67 status=1;op=0x07 status=1");
  SetCurrentAdaptNumber(0);
  gachDacFWType[0] = 0;
  EXPECT_EQ(-1, FindFirmwareType());
  EXPECT_EQ(0, gachDacFWType[0]);
}

class ScsiDetailsTest : public LibSimTest {};

const char kDetailDevice[] =
    "device 1:2 state=0 sectors=4194304 vendor=\"VEND\" product=\"MODEL X\" "
    "revision=\"R1\"\n";

// The device number channel * 16 + target reaches the device as the
// firmware generation names it: channel and target on 8LD, the whole
// number as target on 40LD.
TEST_F(ScsiDetailsTest, InquiryAndSizeOfOneDevice) {
  struct Case {
    int firmware;
    int interface;
    std::string trailer;  // flags, logical drive, channel, target
  };
  const Case cases[] = {
      {HVAPI_FW_8LD_4SPAN, 2, "0b000102"},
      {HVAPI_FW_40LD, 1, "0b000012"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE("firmware " + std::to_string(c.firmware));
    UseState(
        StateText({AdapterBlock(c.firmware, c.interface, 1, kDetailDevice)}));
    Start();
    SCSI_Struct d;
    std::memset(&d, 0x5A, sizeof d);
    ASSERT_EQ(0, GetScsiDetails(0, 1, 2, &d));
    const std::vector<std::string> inquiry =
        Areas(Commands(Trace(), "03000612"));
    ASSERT_EQ(1u, inquiry.size());
    EXPECT_EQ("030006120000008000" + c.trailer, inquiry[0]);
    // The model runs on to the answer's first zero byte: product,
    // revision and the serial number behind them.
    EXPECT_EQ(0, std::strncmp(d.achDeviceModel, "MODEL X         R1  ", 20));
    EXPECT_EQ(40u, std::strlen(d.achDeviceModel));
    EXPECT_STREQ("VEND    ", d.achVendor);
    EXPECT_STREQ("R1  ", d.achRevision);
    EXPECT_EQ(0, d.uchDevType);
    // 4194304 sectors: the transport's usable count (4192256) remapped
    // once more, as every drive size of the library is, then in MiB.
    EXPECT_EQ(2046u, d.ulDevSize);
    EXPECT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  }
}

TEST_F(ScsiDetailsTest, TextsStayTerminatedWhateverTheDeviceAnswers) {
  UseState(StateText({AdapterBlock(HVAPI_FW_40LD, 1, 1, kDetailDevice)}));
  Start();
  // An inquiry answer of 128 bytes 0x44 ('D'): no zero anywhere.
  UseFaults("op=3 sub=0x12 data=0:" + std::string(256, '4'));
  SCSI_Struct d;
  std::memset(&d, 0, sizeof d);
  ASSERT_EQ(0, GetScsiDetails(0, 1, 2, &d));
  EXPECT_EQ(std::string(99, 'D'), d.achDeviceModel);
  EXPECT_EQ(std::string(8, 'D'), d.achVendor);
  EXPECT_EQ(std::string(4, 'D'), d.achRevision);
  EXPECT_EQ(0x44 & 0x1F, d.uchDevType);
  // The type is byte 0's low five bits: not byte 1, not four or six bits.
  UseFaults("op=3 sub=0x12 data=0:3580");
  ASSERT_EQ(0, GetScsiDetails(0, 1, 2, &d));
  EXPECT_EQ(0x15, d.uchDevType);
}

TEST_F(ScsiDetailsTest, RefusalsAndSilentDevices) {
  UseState(StateText({AdapterBlock(HVAPI_FW_8LD_4SPAN, 2, 1, kDetailDevice)}));
  SCSI_Struct d;
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, GetScsiDetails(0, 1, 2, &d));
  Start();
  struct Case {
    const char *name;
    UChar adapter, channel, target;
    bool record;
    Int expected;
    bool sends;  // whether an inquiry goes out
  };
  const Case cases[] = {
      {"target 16", 0, 0, 16, true, HVAPI_ERR_BAD_ARGUMENT, false},
      {"channel 16", 0, 16, 0, true, HVAPI_ERR_BAD_ARGUMENT, false},
      {"no record", 0, 1, 2, false, HVAPI_ERR_BAD_ARGUMENT, false},
      {"adapter not found", 1, 1, 2, true, HVAPI_ERR_BAD_ADAPTER, false},
      {"nothing at 3:9", 0, 3, 9, true, HVAPI_ERR_BAD_ARGUMENT, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, GetScsiDetails(c.adapter, c.channel, c.target,
                                         c.record ? &d : nullptr));
    EXPECT_EQ(c.sends ? 1u : 0u, Commands(Trace(), "03000612").size());
  }
}

}  // namespace
