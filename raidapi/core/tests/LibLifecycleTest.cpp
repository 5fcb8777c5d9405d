// InitLib, CloseLib and GetLibVer against the simulated driver: the adapter
// table and caches a start leaves, the codes of failed starts and what they
// keep (nothing), and stopping and starting again.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/sem.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/AdapterTable.h"
#include "core/SemaphoreLock.h"
#include "core/tests/LibSimScenario.h"
#include "firmware/FirmwareLayouts.h"
#include "hvapi.h"

namespace {

using libsim::AdapterBlock;
using libsim::LibSimTest;
using libsim::LowMappedBytes;
using libsim::OpenDescriptorCount;
using libsim::SameAdapters;
using libsim::StateText;
using libsim::TraceLine;

class LibLifecycleTest : public LibSimTest {
 protected:
  // The command opcodes (area byte 0, and byte 1 and 2 of the 40LD group)
  // sent from the first initiator-ID query on.
  std::vector<std::string> CacheCommands() {
    std::vector<std::string> out;
    bool started = false;
    for (const std::string &area : Areas(Trace())) {
      if (area.rfind("7d", 0) == 0) started = true;
      if (started)
        out.push_back(area.rfind("a1", 0) == 0 ? area.substr(0, 6)
                                               : area.substr(0, 2));
    }
    return out;
  }

  // The library's own buffers are mapped at their first request; a start
  // and stop of the scenario beforehand keeps them out of what a test
  // measures.
  void WarmUp() {
    ASSERT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
    ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
    Trace();
  }
};

TEST_F(LibLifecycleTest, Start40LDFillsTheRowAndTheCacheInOrder) {
  UseState(StateText({AdapterBlock(HVAPI_FW_40LD, 1, 2,
                                   "initiator-id 5\nrebuild-rate 42\nproduct "
                                   "\"QRN Halvoran 438 40LD\"\n")}));
  ASSERT_EQ(HVAPI_APP_HANDLE, InitLib(10, 20));
  EXPECT_EQ(1, IsApiInitialized());
  EXPECT_EQ(1, gstAdpTab.chTotalNoOFAdp);
  const ADAPTER_INFO &row = gstAdpTab.astTotAdpInfo[0];
  EXPECT_EQ(1, row.uchAdapterNo);
  EXPECT_EQ(HVAPI_FW_40LD, row.chAdpType);
  EXPECT_EQ(0, row.iAdpHandle);
  EXPECT_EQ(5, row.chAdpID);
  EXPECT_EQ(
      (std::vector<std::string>{"7d", "a10e00", "a10f01", "a10f02", "a10400"}),
      CacheCommands());

  const auto *cache = static_cast<const ADAP_DATA_8SPAN_40LD *>(GetAdpCache(0));
  ASSERT_NE(nullptr, cache);
  EXPECT_STREQ(
      "QRN Halvoran 438 40LD",
      reinterpret_cast<const char *>(cache->stRdProInfo40LD.uchProductName));
  EXPECT_EQ(42, cache->stRdEnq3_40LD.uchRbldRate);
  EXPECT_EQ(2, cache->stAppDiscArr40LD.uchNumOfLogDrives);
}

TEST_F(LibLifecycleTest, Start8LDFillsEachGenerationsCache) {
  UsePreset("two8ld");
  ASSERT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
  EXPECT_EQ(2, gstAdpTab.chTotalNoOFAdp);
  EXPECT_EQ(HVAPI_FW_8LD_4SPAN, gstAdpTab.astTotAdpInfo[0].chAdpType);
  EXPECT_EQ(HVAPI_FW_8LD_8SPAN, gstAdpTab.astTotAdpInfo[1].chAdpType);
  EXPECT_EQ(gaiFileHandles[1], gstAdpTab.astTotAdpInfo[1].iAdpHandle);
  EXPECT_GT(gstAdpTab.astTotAdpInfo[1].iAdpHandle, 0);
  EXPECT_EQ((std::vector<std::string>{"7d", "05", "04", "07", "7d", "05", "04",
                                      "0c", "67"}),
            CacheCommands());

  const auto *four = static_cast<const ADAP_DATA_4SPAN_8LD *>(GetAdpCache(0));
  const auto *eight = static_cast<const ADAP_DATA_8SPAN_8LD *>(GetAdpCache(1));
  ASSERT_NE(nullptr, four);
  ASSERT_NE(nullptr, eight);
  EXPECT_EQ(4, four->stRdEnq8LD.stAdpInfo8LD.uchChansPresent);
  EXPECT_EQ(2, four->stRdExEnq8LD.stHalvoranEnq8LD.stLogDrvInfo8LD.uchNumLDrv);
  EXPECT_EQ(2, four->stDArr8LD4Span.uchNoOfLogDrives);
  EXPECT_EQ(1080, eight->stRdExEnq2_8LD.shSubSystemID);
  EXPECT_EQ(1, eight->stDArr8LD8Span.uchNoOfLogDrives);
}

TEST_F(LibLifecycleTest, SecondStartSendsNothing) {
  UsePreset("one40ld");
  Start();
  EXPECT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
  EXPECT_TRUE(Trace().empty());
}

// A start that fails keeps nothing: no table, no cache, no descriptor.
TEST_F(LibLifecycleTest, FailedStartsAnswerTheirCodeAndKeepNothing) {
  UsePreset("one40ld");
  WarmUp();
  struct Case {
    const char *name;
    std::string state;
    const char *faults;
    Int expected;
  };
  const Case cases[] = {
      {"no adapter", StateText({}, "node absent\n"), "", HVAPI_ERR_NO_ADAPTER},
      {"seven on /dev/halvdev0", SameAdapters(7, HVAPI_FW_40LD, 1), "",
       HVAPI_ERR_TOO_MANY_ADAPTERS},
      {"seven SCSI disks", SameAdapters(7, HVAPI_FW_40LD, 2), "",
       HVAPI_ERR_TOO_MANY_ADAPTERS},
      {"firmware type undetermined", SameAdapters(2, HVAPI_FW_40LD, 1),
       "adapter=1 op=0xa1 sub=0x04 status=1", HVAPI_ERR_CMD_FAILED},
      {"cache read fails on the second adapter",
       SameAdapters(2, HVAPI_FW_40LD, 1), "adapter=1 op=0xa1 sub=0x0f status=1",
       HVAPI_ERR_CMD_FAILED},
      {"8LD cache read fails on the second adapter",
       SameAdapters(2, HVAPI_FW_8LD_8SPAN, 2),
       "adapter=1 op=0x67 from=2 status=1", HVAPI_ERR_CMD_FAILED},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    UseState(c.state);
    UseFaults(c.faults);
    const int descriptors = OpenDescriptorCount();
    const uint64_t mapped = LowMappedBytes();
    EXPECT_EQ(c.expected, InitLib(0, 0));
    EXPECT_EQ(0, IsApiInitialized());
    EXPECT_EQ(0, GetTotalAdapters());
    EXPECT_EQ(nullptr, GetAdpCache(0));
    EXPECT_EQ(descriptors, OpenDescriptorCount());
    EXPECT_EQ(mapped, LowMappedBytes());
  }
}

// A lock that cannot be had must not end the host process: the start says
// why on the error stream, answers -11, and reaches no adapter.
TEST_F(LibLifecycleTest, StartWithoutItsSemaphoreAnswersMinus11) {
  UsePreset("one40ld");
  // A private set of one semaphore, asked for as a set of two: semget
  // refuses, as it would for any set the process cannot have.
  const key_t key = static_cast<key_t>(0x48570000 + (getpid() & 0xFFFF));
  const int own = semget(key, 1, IPC_CREAT | 0600);
  ASSERT_GE(own, 0);
  const int shared = giSemId;
  SemUseKeyForTesting(key);
  giNoOfSems = 2;
  ::testing::internal::CaptureStderr();
  const Int answer = InitLib(0, 0);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  giNoOfSems = 1;
  SemUseKeyForTesting(kSemKey);
  giSemId = shared;
  semctl(own, 0, IPC_RMID);

  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, answer);
  EXPECT_EQ(0u, printed.find("semget() failed: ")) << printed;
  EXPECT_EQ(0, IsApiInitialized());
  EXPECT_TRUE(Trace().empty());
  // The library starts once the lock can be had.
  EXPECT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
}

TEST_F(LibLifecycleTest,
       CacheFailureOnTheSecondAdapterComesAfterTheFirstsCache) {
  UseState(SameAdapters(2, HVAPI_FW_40LD, 1));
  UseFaults("adapter=1 op=0xa1 sub=0x0f status=1");
  EXPECT_EQ(HVAPI_ERR_CMD_FAILED, InitLib(0, 0));
  // The first adapter's cache was filled in full, the second's stopped at
  // its notify read.
  EXPECT_EQ((std::vector<std::string>{"7d", "a10e00", "a10f01", "a10f02",
                                      "a10400", "7d", "a10e00", "a10f01"}),
            CacheCommands());
}

// A start that waited for the lock while another finished starts nothing
// more: no second discovery, no second set of caches.
TEST_F(LibLifecycleTest, StartWaitingForTheLockFindsTheLibraryStarted) {
  UsePreset("one40ld");
  ASSERT_EQ(0, Sem_Init());
  ASSERT_EQ(0, Sem_Wait());
  Int answer = 0;
  std::thread starter([&answer] { answer = InitLib(0, 0); });
  // Wait until the starter blocks on the lock.
  while (semctl(giSemId, 0, GETZCNT) == 0) sched_yield();
  gstAdpTab.iNoOfLiveAplns = HVAPI_APP_HANDLE;
  ASSERT_EQ(0, Sem_Post());
  starter.join();
  EXPECT_EQ(HVAPI_APP_HANDLE, answer);
  EXPECT_TRUE(Trace().empty());
  gstAdpTab.iNoOfLiveAplns = 0;
}

TEST_F(LibLifecycleTest, SixAdaptersStart) {
  UseState(SameAdapters(6, HVAPI_FW_40LD, 2));
  ASSERT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
  EXPECT_EQ(6, GetTotalAdapters());
  for (UChar i = 0; i < 6; ++i) {
    EXPECT_EQ(i + 1, gstAdpTab.astTotAdpInfo[i].uchAdapterNo);
    EXPECT_NE(nullptr, GetAdpCache(i));
  }
}

TEST_F(LibLifecycleTest, CloseLibCodesAndTheStateItLeaves) {
  UsePreset("one40ld");
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, CloseLib(HVAPI_APP_HANDLE));
  Start();
  EXPECT_EQ(HVAPI_ERR_BAD_HANDLE, CloseLib(254));
  EXPECT_EQ(1, IsApiInitialized());
  EXPECT_NE(nullptr, GetAdpCache(0));

  EXPECT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  EXPECT_EQ(0, IsApiInitialized());
  EXPECT_EQ(nullptr, GetAdpCache(0));
  // Later calls answer "not initialised" instead of reaching freed data.
  Lib_Struct lib;
  Adp_Struct info;
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, GetLibVer(&lib));
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, GetAdapterInfo(0, &info));
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, CloseLib(HVAPI_APP_HANDLE));
  EXPECT_TRUE(Commands(Trace(), "").empty());
}

TEST_F(LibLifecycleTest, StartAgainAfterCloseWithTheSameSemaphore) {
  UsePreset("two8ld");
  WarmUp();
  const int descriptors = OpenDescriptorCount();
  const uint64_t mapped = LowMappedBytes();
  Start();
  const int semaphore = giSemId;
  EXPECT_GE(semaphore, 0);
  ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
  EXPECT_EQ(descriptors, OpenDescriptorCount());
  EXPECT_EQ(mapped, LowMappedBytes());

  ASSERT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0));
  EXPECT_EQ(semaphore, giSemId);
  EXPECT_EQ(2, GetTotalAdapters());
  EXPECT_NE(nullptr, GetAdpCache(1));
}

TEST_F(LibLifecycleTest, LibraryVersion) {
  UsePreset("one40ld");
  Lib_Struct lib;
  std::memset(&lib, 'x', sizeof lib);
  EXPECT_EQ(HVAPI_ERR_NOT_INITIALISED, GetLibVer(&lib));
  EXPECT_EQ(std::string(10, 'x'),
            std::string(lib.achLibVersion, sizeof lib.achLibVersion));

  Start();
  EXPECT_EQ(0, GetLibVer(&lib));
  EXPECT_EQ(std::string("01.65\0\0\0\0\0", 10),
            std::string(lib.achLibVersion, sizeof lib.achLibVersion));
  EXPECT_EQ(HVAPI_ERR_BAD_ARGUMENT, GetLibVer(nullptr));
}

}  // namespace
