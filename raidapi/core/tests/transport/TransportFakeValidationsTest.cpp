// The prologue of adapter operations and the small queries, answered by the
// fake driver on the SCSI disk interface.
#include <gtest/gtest.h>

#include <map>

#include "TransportFixture.h"
#include "core/IssueCmd.h"
#include "core/Validations.h"

namespace {

// Answers each opcode (area byte 0) with a byte or a failure, per adapter.
struct Answer {
  int result;
  uint8_t firstByte;
};

class TransportValidations : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    SetUpAdapters(HVAPI_DRIVER_SCSI, {1, 3});
    driver.SetHandler([this](int fd, unsigned long, void *arg) {
      auto *bytes = static_cast<uint8_t *>(arg);
      const auto key = std::make_pair(fd - FakeDriver::kFirstDiskFd, bytes[20]);
      const auto it = answers.find(key);
      if (it == answers.end()) return -1;
      bytes[8] = it->second.firstByte;
      return it->second.result;
    });
  }
  void Answer(int adapter, uint8_t opcode, int result, uint8_t firstByte) {
    answers[{adapter, opcode}] = {result, firstByte};
  }
  std::map<std::pair<int, uint8_t>, struct Answer> answers;
};

TEST_F(TransportValidations, ReconstructionProgressDecides) {
  struct Case {
    const char *name;
    int result;
    uint8_t percent;
    int expected;
  } cases[] = {
      {"running", 0, 50, 1},        {"just started", 0, 0, 1},
      {"done", 0, 100, 0},          {"query failed", -1, 50, 0},
      {"adapter status", 3, 50, 0},
  };
  for (const Case &c : cases) {
    Answer(1, 0x61, c.result, c.percent);
    gulDacCurAdpNo = 0;
    EXPECT_EQ(c.expected, IsReconProgress(1)) << c.name;
    EXPECT_EQ(1u, gulDacCurAdpNo) << c.name;
  }
}

TEST_F(TransportValidations, PerformValidationsRefusesReconstructingAdapter) {
  Answer(0, 0x61, 0, 100);
  Answer(1, 0x61, 0, 40);
  gulDacCurAdpNo = 0;
  EXPECT_EQ(-42, PerformValidations(1));
  EXPECT_EQ(1u, gulDacCurAdpNo) << "the query made the adapter current";
  EXPECT_EQ(0, PerformValidations(0));
  EXPECT_EQ(0u, gulDacCurAdpNo);
}

TEST_F(TransportValidations, PerformValidationsRefusesAdapterNotFound) {
  Answer(0, 0x61, 0, 100);
  for (UChar adapter : {2, 6, 128, 255}) {
    gulDacCurAdpNo = 0;
    EXPECT_EQ(-44, PerformValidations(adapter)) << int{adapter};
    EXPECT_EQ(adapter, gulDacCurAdpNo);
    uint8_t enquiry[152];
    EXPECT_EQ(-1,
              IssueCmd(0x05, 0, reinterpret_cast<unsigned long>(enquiry), 0, 0))
        << "the transport refuses until a found adapter is current";
  }
  EXPECT_EQ(0, PerformValidations(0));
}

TEST_F(TransportValidations, InitiatorIdFallsBackToSeven) {
  struct Case {
    const char *name;
    int result;
    uint8_t id;
    int expected;
  } cases[] = {
      {"answered 0", 0, 0, 0},   {"answered 15", 0, 15, 15},
      {"answered 16", 0, 16, 7}, {"answered 255", 0, 255, 7},
      {"failed", -1, 3, 7},      {"adapter status", 2, 3, 7},
  };
  for (const Case &c : cases) {
    Answer(0, 0x7D, c.result, c.id);
    EXPECT_EQ(c.expected, GetInitiatorID()) << c.name;
  }
}

TEST_F(TransportValidations, AdapterSequence) {
  struct Case {
    const char *name;
    int result;
    uint8_t first;
    int expected;
  } cases[] = {
      {"known", 0, 2, 0},
      {"unknown", 0, 255, -11},
      {"query failed", -1, 2, -11},
  };
  for (const Case &c : cases) {
    Answer(0, 0x82, c.result, c.first);
    Int sequence[4] = {};
    EXPECT_EQ(c.expected, GetAdpSeq(sequence, 3)) << c.name;
  }
  const auto sd = driver.Requests().back().As<RequestHeader>();
  EXPECT_EQ(16u, sd.InComingDataLen);
  EXPECT_EQ(0x82, sd.fakecmd.opcode);
  EXPECT_EQ(-11, GetAdpSeq(nullptr, 3));
}

}  // namespace
