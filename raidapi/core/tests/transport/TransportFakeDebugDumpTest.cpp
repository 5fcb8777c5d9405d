// The debug dumps print every field of the records and then wait for ENTER.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/DebugDump.h"

namespace {

// Gives standard input one line for the duration of a test.
class StdinLine {
 public:
  StdinLine() {
    saved_ = dup(0);
    int fds[2];
    EXPECT_EQ(0, pipe(fds));
    EXPECT_EQ(1, write(fds[1], "\n", 1));
    close(fds[1]);
    dup2(fds[0], 0);
    close(fds[0]);
    clearerr(stdin);
  }
  ~StdinLine() {
    dup2(saved_, 0);
    close(saved_);
    clearerr(stdin);
  }

 private:
  int saved_;
};

TEST(TransportDebugDump, PassThruRecordThenPrompt) {
  PassThru_Struct rec{};
  rec.Timeout = 3;
  rec.Ars = 1;
  rec.IsLogical = 1;
  rec.LogicalDriveNumber = 4;
  rec.Channel = 2;
  rec.ScsiId = 5;
  rec.Cdb[0] = 0x12;
  rec.Cdb[4] = 0x80;
  rec.CdbLength = 6;
  rec.DataTransferLength = 128;
  StdinLine line;
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, PrintPassThru_Struct(&rec));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(
      "Timeout 3, Ars 1, IsLogical 1\n"
      "Logical Drive number 4\n"
      " Channel 2' ScsiId 5\n"
      "QueueTag 0, QueueAction 0\n"
      "Content of Cdb\n"
      "12  0  0  0  80  0  0  0  0  0  \n"
      "Cdb Length 6\n"
      "RequestSenseLength 0 NoSGElements 0\n"
      "ScsiStatus 0\n"
      "DataTransferAddress 0\n"
      "DataTransferLength 128\n"
      "Press ENTER to continue.........\n",
      out);
}

TEST(TransportDebugDump, MultiAdapterRecordIncludesItsPassThru) {
  uioctl_t u{};
  u.inlen = 0x10;
  u.outlen = 0x98;
  u.ui.fcs.opcode = 0x80;
  u.ui.fcs.adapno = 0x6D01;
  u.mbox[0] = 5;
  u.pthru.channel = 1;
  StdinLine line;
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, Printuioctl_t(&u));
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string head =
      "\tPrintuioctl_t()\n"
      "OutGoingDataLen => 0x10\n"
      "InComingDataLen ==>0x98\n"
      "opcode==>0x80\n"
      "subopcode ==>0x0\n"
      "adpno ==>27905\n"
      "buffer ==>0x0\n"
      "length ==>0\n"
      "mbox Info==>Ox5  Ox0  Ox0  Ox0  Ox0  Ox0  Ox0  Ox0  Ox0  Ox0  \n"
      "data=>0x0\n"
      "Timeout 0, Ars 0, IsLogical 0\n"
      " Channel 1' ScsiId 0\n";
  EXPECT_EQ(head, out.substr(0, head.size()));
  EXPECT_NE(std::string::npos, out.find("Press ENTER to continue"));
}

}  // namespace
