// GetAdapterInfo on both firmware generations and both driver interfaces,
// GetFirmwareType and GetNumberOfAdapters, against the simulated driver.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/sem.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/AdapterTable.h"
#include "core/SemaphoreLock.h"
#include "core/tests/LibSimScenario.h"
#include "hvapi.h"

namespace {

using libsim::AdapterBlock;
using libsim::LibSimTest;
using libsim::OpenDescriptorCount;
using libsim::SameAdapters;
using libsim::StateText;

constexpr ULong32 kUntouched = 0xDEADBEEF;

// Settings whose values the information must carry; none of them is a
// simulator default.
const char k40LDSettings[] =
    "channels 5\nrebuild-rate 42\nflush-interval 9\nbattery 17\ninserted-count "
    "6\n"
    "dram-mb 128\nmax-commands 99\nsubsystem-id 4660\nsubsystem-vendor 4096\n"
    "signature 3405691582\nfirmware-text \"7.21.3\"\nbios-text \"4.5\"\n"
    "product \"QRN Halvoran Test 40LD\"\n";

class AdapterInfoTest : public LibSimTest {
 protected:
  static Adp_Struct Blank() {
    Adp_Struct info;
    std::memset(&info, 0x5A, sizeof info);
    info.pchReserved = kUntouched;
    return info;
  }
};

// The product information and enquiry 3 are answers of up to 4096 bytes of
// the 40LD group; they must reach the caller whole on either interface.
TEST_F(AdapterInfoTest, Adapter40LDOnEachInterface) {
  for (int interface : {1, 2}) {
    SCOPED_TRACE("interface " + std::to_string(interface));
    UseState(
        StateText({AdapterBlock(HVAPI_FW_40LD, interface, 1, k40LDSettings)}));
    Start();
    Adp_Struct info = Blank();
    ASSERT_EQ(0, GetAdapterInfo(0, &info));
    EXPECT_EQ(136u, info.ulDataSize);
    EXPECT_EQ(2629640u, info.ulConfigSignature);
    EXPECT_STREQ("7.21.3", info.achFwVer);
    EXPECT_STREQ("4.5", info.achBiosVer);
    EXPECT_STREQ("QRN Halvoran Test 40LD", info.achProductName);
    EXPECT_EQ(99, info.uchMaxConcCmds);
    EXPECT_EQ(5, info.uchSCSIChanPresent);
    EXPECT_EQ(15, info.uchMaxTargPerChan);
    EXPECT_EQ(128, info.uchDRamSize);
    EXPECT_EQ(4660, info.shSubSystemID);
    EXPECT_EQ(4096, info.shSubSystemvendorID);
    EXPECT_EQ(3405691582u, info.ulSignature);
    EXPECT_EQ(42, info.uchRbldRate);
    EXPECT_EQ(9, info.uchCacheFlushInterval);
    EXPECT_EQ(6, info.uchDriveInsertedCount);
    EXPECT_EQ(17, info.uchBatteryStatus);
    EXPECT_EQ(kUntouched, info.pchReserved);
    const std::vector<std::string> areas = Areas(Trace());
    ASSERT_EQ(4u, areas.size());  // reconstruction query, then the three reads
    EXPECT_EQ("a10e00000000", areas[1]);
    EXPECT_EQ("a10f02000000", areas[2]);
    EXPECT_EQ("230000000000", areas[3]);
    ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  }
}

// Other reads of the 40LD group up to 4096 bytes (the loop ID map) come
// back whole too, whatever answer the request buffer held before.
TEST_F(AdapterInfoTest, ShortReadsOf40LDGroupOnEachInterface) {
  for (int interface : {1, 2}) {
    SCOPED_TRACE("interface " + std::to_string(interface));
    UseState(StateText({AdapterBlock(HVAPI_FW_40LD, interface, 2)}));
    Start();
    Adp_Struct info = Blank();
    ASSERT_EQ(0, GetAdapterInfo(0, &info));
    std::vector<char> map(512, 0x11);
    ASSERT_EQ(0, ExecuteCmd(0, 0xA1, 0x0A, map.data(), 0, 0));
    EXPECT_EQ(0, map[0]);  // device 0:0
    EXPECT_EQ(1, map[1]);  // device 0:1
    EXPECT_EQ(std::vector<char>(510, static_cast<char>(0xFF)),
              std::vector<char>(map.begin() + 2, map.end()));
    ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  }
}

// Boards of the subsystem vendor 0x103C show their versions in the short
// form on both generations.
TEST_F(AdapterInfoTest, VersionTextsOfBothForms) {
  struct Case {
    const char *name;
    int firmware;
    const char *settings;
    const char *fw;
    const char *bios;
  };
  const Case cases[] = {
      {"40LD, short form", HVAPI_FW_40LD,
       "subsystem-vendor 0x103C\nfirmware-text \"!CA\"\nbios-text \"012\"\n",
       "A.43.21", "2.31.30"},
      {"8LD, short form", HVAPI_FW_8LD_4SPAN,
       "subsystem-vendor 0x103C\nfirmware-bytes 21434100\nbios-bytes "
       "10323100\n",
       "A.43.21", "1.32.10"},
      {"8LD, four bytes", HVAPI_FW_8LD_8SPAN,
       "subsystem-vendor 0x1000\nfirmware-bytes 41423344\nbios-bytes "
       "31323334\n",
       "AB3D", "1234"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    UseState(StateText({AdapterBlock(c.firmware, 1, 1, c.settings)}));
    Start();
    Adp_Struct info = Blank();
    ASSERT_EQ(0, GetAdapterInfo(0, &info));
    EXPECT_STREQ(c.fw, info.achFwVer);
    EXPECT_STREQ(c.bios, info.achBiosVer);
    ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  }
}

TEST_F(AdapterInfoTest, Adapters8LDReadExtendedEnquiry2) {
  UsePreset("two8ld");
  Start();
  struct Case {
    UChar adapter;
    ULong32 signature;
  };
  for (const Case &c : {Case{0, 526340u}, Case{1, 526344u}}) {
    SCOPED_TRACE("adapter " + std::to_string(c.adapter));
    Adp_Struct info = Blank();
    ASSERT_EQ(0, GetAdapterInfo(c.adapter, &info));
    EXPECT_EQ(136u, info.ulDataSize);
    EXPECT_EQ(c.signature, info.ulConfigSignature);
    EXPECT_STREQ("QRN Halvoran 8LD", info.achProductName);
    EXPECT_EQ(126, info.uchMaxConcCmds);
    EXPECT_EQ(4, info.uchSCSIChanPresent);
    EXPECT_EQ(15, info.uchMaxTargPerChan);
    EXPECT_EQ(64, info.uchDRamSize);
    EXPECT_EQ(1080, info.shSubSystemID);
    EXPECT_EQ(4126, info.shSubSystemvendorID);
    EXPECT_EQ(1212238934u, info.ulSignature);
    EXPECT_EQ(30, info.uchRbldRate);
    EXPECT_EQ(4, info.uchCacheFlushInterval);
    EXPECT_EQ(kUntouched, info.pchReserved);
    const std::vector<std::string> areas = Areas(Trace());
    EXPECT_EQ((std::vector<std::string>{"610000000000", "0c0000000000"}),
              areas);
  }
}

// Firmware without extended enquiry 2: the extended enquiry and the rebuild
// rate command stand in, and the subsystem fields are 0.
TEST_F(AdapterInfoTest, Adapter8LDWithoutExtendedEnquiry2) {
  UseState(
      StateText({AdapterBlock(HVAPI_FW_8LD_4SPAN, 2, 1, "rebuild-rate 30\n")}));
  Start();
  UseFaults("op=0x0c status=1;op=0x23 data=0:2c");
  Adp_Struct info = Blank();
  ASSERT_EQ(0, GetAdapterInfo(0, &info));
  EXPECT_EQ(0, info.shSubSystemID);
  EXPECT_EQ(0, info.shSubSystemvendorID);
  EXPECT_EQ(0u, info.ulSignature);
  EXPECT_EQ(44, info.uchRbldRate);  // from 0x23, not from the enquiry's 30
  EXPECT_STREQ("QRN Halvoran 8LD", info.achProductName);
  std::vector<std::string> sent;
  for (const std::string &area : Areas(Trace()))
    sent.push_back(area.substr(0, 2));
  EXPECT_EQ((std::vector<std::string>{"61", "0c", "04", "23"}), sent);
}

// Texts the adapter fills to the last byte still end inside their fields.
TEST_F(AdapterInfoTest, UnterminatedProductInformation) {
  UsePreset("one40ld");
  Start();
  UseFaults("op=0xa1 sub=0x0e data=8:" + std::string(224, '4'));
  Adp_Struct info = Blank();
  ASSERT_EQ(0, GetAdapterInfo(0, &info));
  EXPECT_EQ(std::string(15, 'D'), info.achFwVer);
  EXPECT_EQ(std::string(15, 'D'), info.achBiosVer);
  EXPECT_EQ(std::string(79, 'D'), info.achProductName);
}

TEST_F(AdapterInfoTest, FailuresKeepWhatWasFilled) {
  struct Case {
    const char *name;
    const char *preset;
    const char *faults;
    bool productName;  // filled before the failing command
  };
  const Case cases[] = {
      {"40LD product information", "one40ld", "op=0xa1 sub=0x0e status=1",
       false},
      {"40LD enquiry 3", "one40ld", "op=0xa1 sub=0x0f status=1", true},
      {"40LD rebuild rate", "one40ld", "op=0x23 status=1", true},
      {"8LD extended enquiry", "two8ld", "op=0x0c status=1;op=0x04 status=1",
       false},
      {"8LD rebuild rate", "two8ld", "op=0x0c status=1;op=0x23 status=1",
       false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    UsePreset(c.preset);
    Start();
    UseFaults(c.faults);
    Adp_Struct info = Blank();
    EXPECT_EQ(HVAPI_ERR_CMD_FAILED, GetAdapterInfo(0, &info));
    EXPECT_EQ(136u, info.ulDataSize);
    EXPECT_EQ(c.productName, info.achProductName[0] == 'Q');
    EXPECT_EQ(0x5A, info.uchRbldRate);
    UseFaults("");
    ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
    std::remove(StatePath().c_str());
  }
}

TEST_F(AdapterInfoTest, FirmwareTypeOfEachAdapter) {
  UseState(StateText({AdapterBlock(HVAPI_FW_40LD, 1, 1),
                      AdapterBlock(HVAPI_FW_8LD_8SPAN, 1, 1),
                      AdapterBlock(HVAPI_FW_8LD_4SPAN, 1, 1)}));
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, GetFirmwareType(0));
  Start();
  EXPECT_EQ(HVAPI_FW_40LD, GetFirmwareType(0));
  EXPECT_EQ(HVAPI_FW_8LD_8SPAN, GetFirmwareType(1));
  EXPECT_EQ(HVAPI_FW_8LD_4SPAN, GetFirmwareType(2));
  EXPECT_EQ(HVAPI_ERR_BAD_ADAPTER, GetFirmwareType(3));
}

TEST_F(AdapterInfoTest, NumberOfAdaptersRunsDiscoveryAgain) {
  UsePreset("two8ld");
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, GetNumberOfAdapters(0));
  Start();
  const int descriptors = OpenDescriptorCount();
  for (int run = 0; run < 3; ++run) {
    EXPECT_EQ(2, GetNumberOfAdapters(0));
    EXPECT_EQ(descriptors, OpenDescriptorCount());
  }
  // The rows' handles follow the new descriptors, and the adapters still
  // answer through them.
  EXPECT_EQ(gaiFileHandles[1], gstAdpTab.astTotAdpInfo[1].iAdpHandle);
  Adp_Struct info = Blank();
  EXPECT_EQ(0, GetAdapterInfo(1, &info));
}

// A call that waited for the lock while the library was stopped finds it
// stopped: no discovery opens descriptors or fills the table behind it.
TEST_F(AdapterInfoTest, NumberOfAdaptersAfterAStopWhileWaiting) {
  UsePreset("two8ld");
  Start();
  ASSERT_EQ(0, Sem_Wait());
  Int answer = 0;
  std::thread caller([&answer] { answer = GetNumberOfAdapters(0); });
  // Wait until the caller blocks on the lock, then stop the library as
  // CloseLib would have before the caller gets the lock.
  while (semctl(giSemId, 0, GETZCNT) == 0) sched_yield();
  gstAdpTab.iNoOfLiveAplns = 0;
  ASSERT_EQ(0, Sem_Post());
  caller.join();
  gstAdpTab.iNoOfLiveAplns = HVAPI_APP_HANDLE;
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, answer);
  EXPECT_TRUE(Trace().empty());
}

TEST_F(AdapterInfoTest, NumberOfAdaptersAboveSix) {
  UseState(SameAdapters(6, HVAPI_FW_40LD, 1));
  Start();
  EXPECT_EQ(6, GetNumberOfAdapters(0));
  UseState(SameAdapters(7, HVAPI_FW_40LD, 1));
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, GetNumberOfAdapters(0));
  // The first six stay usable, and the table and the count agree on them.
  EXPECT_EQ(6, gstAdpTab.chTotalNoOFAdp);
  EXPECT_EQ(6, GetTotalAdapters());
  Adp_Struct info = Blank();
  EXPECT_EQ(0, GetAdapterInfo(5, &info));
  EXPECT_EQ(HVAPI_ERR_BAD_ADAPTER, GetAdapterInfo(6, &info));
}

// A discovery that finds fewer or more adapters changes the count, the
// table's number and the handles alike.
TEST_F(AdapterInfoTest, NumberOfAdaptersFollowsTheMachine) {
  UseState(SameAdapters(3, HVAPI_FW_40LD, 2));
  Start();
  UseState(SameAdapters(2, HVAPI_FW_40LD, 2));
  EXPECT_EQ(2, GetNumberOfAdapters(0));
  EXPECT_EQ(2, GetTotalAdapters());
  EXPECT_EQ(2, gstAdpTab.chTotalNoOFAdp);
  EXPECT_EQ(0, gaiFileHandles[2]);
  Adp_Struct info = Blank();
  EXPECT_EQ(HVAPI_ERR_BAD_ADAPTER, GetAdapterInfo(2, &info));
  UseState(SameAdapters(3, HVAPI_FW_40LD, 2));
  EXPECT_EQ(3, GetNumberOfAdapters(0));
  EXPECT_EQ(3, GetTotalAdapters());
  EXPECT_GT(gaiFileHandles[2], 0);
  EXPECT_EQ(gaiFileHandles[2], gstAdpTab.astTotAdpInfo[2].iAdpHandle);
  EXPECT_EQ(0, GetAdapterInfo(2, &info));
}

}  // namespace
