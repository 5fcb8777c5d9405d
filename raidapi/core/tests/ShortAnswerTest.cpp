// A driver may bring back fewer bytes than a command asked for. The caller
// then gets zeros where nothing came, never what an earlier request (of this
// caller or another, on this adapter or another) left in the request buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/tests/LibSimScenario.h"
#include "hvapi.h"
#include "hvapi_lowlevel.h"

namespace {

using libsim::LibSimTest;

class ShortAnswerTest : public LibSimTest,
                        public ::testing::WithParamInterface<const char *> {};

INSTANTIATE_TEST_SUITE_P(Interfaces, ShortAnswerTest,
                         ::testing::Values("one40ld", "two8ld"),
                         [](const ::testing::TestParamInfo<const char *> &p) {
                           return std::string(p.param);
                         });

TEST_P(ShortAnswerTest, NothingOfAnEarlierAnswerComesBack) {
  UsePreset(GetParam());
  Start();
  // A dump whose text fills the request buffer with letters.
  const std::string letters = "op=0x52 data=2:414243444546474800";
  Da_Struct dump;
  UseFaults(letters);
  ASSERT_EQ(0, GetDump(0, &dump));
  ASSERT_STREQ("ABCDEFGH", dump.achDumpArea);
  // The rebuild rate's answer comes back empty.
  UseFaults("op=0x23 short=0");
  unsigned char rate[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  ASSERT_EQ(0, ExecuteCmd(0, 0x23, 0, reinterpret_cast<char *>(rate), 0, 0));
  // Zeros, or on a SCSI disk device the request's own header, which the
  // answer lies over; nothing of the dump.
  const std::string got(rate, rate + 4);
  EXPECT_TRUE(got == std::string(4, '\0') ||
              got == std::string("\x80\0\0\0", 4))
      << int(rate[0]) << " " << int(rate[1]) << " " << int(rate[2]) << " "
      << int(rate[3]);
  // Three bytes of a dump: the text ends after its first letter.
  UseFaults(letters);
  ASSERT_EQ(0, GetDump(0, &dump));
  UseFaults("op=0x52 short=3");
  std::memset(&dump, 0x55, sizeof dump);
  ASSERT_EQ(0, GetDump(0, &dump));
  EXPECT_EQ(std::string(4096 - 1, '\0'),
            std::string(dump.achDumpArea + 1, 4096 - 1));
}

}  // namespace
