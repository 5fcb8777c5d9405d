// The validations and small queries, and the exported generic commands,
// against the simulated driver and firmware.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

#include "SimSupport.h"
#include "core/AdapterTable.h"
#include "core/IssueCmd.h"
#include "core/Validations.h"

namespace {

class TransportSimValidations : public SimTest {
 protected:
  void SetUp() override {
    // A frozen clock: a reconstruction, once started, stays at 0 percent.
    setenv("HALVSIM_CLOCK_MS", "1700000000000", 1);
  }
  void TearDown() override {
    unsetenv("HALVSIM_CLOCK_MS");
    SimTest::TearDown();
  }
};

// Adds free disk 0:4 to RAID 5 drive 0 of the one40ld scenario.
int StartReconstruction() {
  uint8_t rec[40] = {};
  rec[0] = 1;      // operation
  rec[1] = 0;      // logical drive
  rec[2] = 1;      // devices added
  rec[3] = 0x04;   // device 0:4
  rec[35] = 0x80;  // stripe
  rec[36] = 5;     // RAID level
  return IssueCmd(0x60, 0, reinterpret_cast<unsigned long>(rec), 0, 0);
}

TEST_F(TransportSimValidations, ReconstructionRunningRefusesTheAdapter) {
  UsePreset("one40ld");
  OpenMimd({HVAPI_FW_40LD});
  EXPECT_EQ(0, IsReconProgress(0));
  EXPECT_EQ(0, PerformValidations(0));
  ASSERT_EQ(0, StartReconstruction());
  NewRequests();

  EXPECT_EQ(1, IsReconProgress(0));
  EXPECT_EQ(-42, PerformValidations(0));
  EXPECT_EQ(0u, gulDacCurAdpNo);
  uint8_t rate[4] = {};
  EXPECT_EQ(-42, ExecuteCmd(0, 0x23, 0, reinterpret_cast<char *>(rate), 0, 0));
  EXPECT_EQ(-42, IssueCmd_MT(0, 0x23, 0, reinterpret_cast<unsigned long>(rate),
                             0, 0));
  for (const TraceLine &line : NewRequests()) {
    EXPECT_EQ("610000000000", line.at("area"))
        << "only the progress query went out";
  }
}

TEST_F(TransportSimValidations, AdapterNotFoundIsRefusedAndStaysCurrent) {
  UsePreset("one40ld");
  OpenMimd({HVAPI_FW_40LD});
  EXPECT_EQ(-44, PerformValidations(1));
  EXPECT_EQ(1u, gulDacCurAdpNo);
  uint8_t id = 0;
  EXPECT_EQ(-1, IssueCmd(0x7D, 0, reinterpret_cast<unsigned long>(&id), 0, 0));
  EXPECT_EQ(0, PerformValidations(0));
  EXPECT_EQ(0, IssueCmd(0x7D, 0, reinterpret_cast<unsigned long>(&id), 0, 0));
}

TEST_F(TransportSimValidations, InitiatorIdAndItsFallbacks) {
  struct Case {
    const char *faults;
    int expected;
  } cases[] = {
      {"", 7},
      {"op=0x7d data=0:05", 5},
      {"op=0x7d data=0:0f", 15},
      {"op=0x7d data=0:10", 7},
      {"op=0x7d status=1", 7},
      {"op=0x7d fail", 7},
  };
  for (const Case &c : cases) {
    UsePreset("two8ld", c.faults);
    OpenDisks({"/dev/sda"}, {HVAPI_FW_8LD_4SPAN});
    EXPECT_EQ(c.expected, GetInitiatorID()) << c.faults;
    EXPECT_EQ(1u, NewRequests().size()) << c.faults;
    Finish();
  }
}

TEST_F(TransportSimValidations, AdapterSequenceOfTheDiskInterface) {
  UsePreset("two8ld");
  OpenDisks({"/dev/sda", "/dev/sdc"}, {HVAPI_FW_8LD_4SPAN, HVAPI_FW_8LD_8SPAN});
  Int sequence[3] = {-1, -1, -1};
  EXPECT_EQ(0, GetAdpSeq(sequence, 2));
  EXPECT_NE(255, sequence[0]);
  Finish();

  UsePreset("two8ld", "op=0x82 sub=0x61 data=0:ff000000");
  OpenDisks({"/dev/sda"}, {HVAPI_FW_8LD_4SPAN});
  EXPECT_EQ(-11, GetAdpSeq(sequence, 1));
}

TEST_F(TransportSimValidations, ExecuteScsiCmdArgumentChecksSendNothing) {
  UsePreset("two8ld");
  OpenDisks({"/dev/sda"}, {HVAPI_FW_8LD_4SPAN});
  PassThru_Struct rec{};
  rec.CdbLength = 6;
  rec.Cdb[0] = 0x12;
  rec.Cdb[4] = 128;
  rec.ScsiId = 1;
  char data[4097] = {};
  struct Case {
    Bool logical;
    UChar dir;
    ULong32 length;
  } bad[] = {{2, 1, 128}, {0, 4, 128}, {0, 1, 4097}, {-1, 0, 0}};
  for (const Case &c : bad) {
    EXPECT_EQ(-16, ExecuteSCSICmd(0, &rec, data, c.logical, c.dir, c.length));
  }
  EXPECT_TRUE(NewRequests().empty());

  ASSERT_EQ(0, ExecuteSCSICmd(0, &rec, data, 0, HVAPI_DIR_READ, 128));
  EXPECT_EQ(0, std::memcmp("HALVSIM", data + 8, 7));
  const std::vector<TraceLine> sent = NewRequests();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ("610000000000", sent[0].at("area"));
  EXPECT_EQ("03000612000000800008000001", sent[1].at("area"))
      << "the caller's block";
}

TEST_F(TransportSimValidations,
       ExecuteScsiCmdRecordTravelsWholeOnTheMultiAdapterInterface) {
  UsePreset("one40ld");
  OpenMimd({HVAPI_FW_40LD});
  void *low = mmap(nullptr, 4096, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  ASSERT_NE(MAP_FAILED, low);
  PassThru_Struct rec{};
  rec.Ars = 1;
  rec.Channel = 0;
  rec.ScsiId = 2;
  rec.CdbLength = 6;
  rec.Cdb[0] = 0x12;
  rec.Cdb[4] = 128;
  rec.DataTransferAddress = static_cast<Int>(reinterpret_cast<uintptr_t>(low));
  rec.DataTransferLength = 128;
  EXPECT_EQ(0, ExecuteSCSICmd(0, &rec, nullptr, 0, HVAPI_DIR_READ, 128));
  EXPECT_EQ(0, std::memcmp("HALVSIM", static_cast<char *>(low) + 8, 7));

  rec.ScsiId = 9;  // nobody there
  EXPECT_EQ(-11, ExecuteSCSICmd(0, &rec, nullptr, 0, HVAPI_DIR_READ, 128));
  munmap(low, 4096);
}

}  // namespace
