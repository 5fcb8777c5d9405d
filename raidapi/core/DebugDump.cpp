#include "core/DebugDump.h"

#include <cstdio>
#include <cstring>

extern "C" Int Printuioctl_t(uioctl_t *pstIoctl) {
  if (pstIoctl == nullptr) return -1;
  const uioctl_t &u = *pstIoctl;
  std::printf("\tPrintuioctl_t()\n");
  std::printf("OutGoingDataLen => 0x%x\n", u.inlen);
  std::printf("InComingDataLen ==>0x%x\n", u.outlen);
  std::printf("opcode==>0x%x\n", u.ui.fcs.opcode);
  std::printf("subopcode ==>0x%x\n", u.ui.fcs.subopcode);
  std::printf("adpno ==>%d\n", u.ui.fcs.adapno);
  std::printf("buffer ==>0x%x\n", u.ui.fcs.u.buffer);
  std::printf("length ==>%d\n", static_cast<int>(u.ui.fcs.length));
  std::printf("mbox Info==>");
  for (int i = 0; i < 10; ++i) std::printf("Ox%x  ", u.mbox[i]);
  std::printf("\n");
  std::printf("data=>0x%x\n", u.data.addr);
  PassThru_Struct rec;
  static_assert(sizeof rec == sizeof u.pthru, "pass-through records differ");
  std::memcpy(&rec, &u.pthru, sizeof rec);
  return PrintPassThru_Struct(&rec);
}

extern "C" Int PrintPassThru_Struct(PassThru_Struct *pstPassThru) {
  if (pstPassThru == nullptr) return -1;
  const PassThru_Struct &p = *pstPassThru;
  std::printf("Timeout %d, Ars %d, IsLogical %d\n", static_cast<int>(p.Timeout),
              static_cast<int>(p.Ars), static_cast<int>(p.IsLogical));
  if (p.IsLogical)
    std::printf("Logical Drive number %d\n", p.LogicalDriveNumber);
  std::printf(" Channel %d' ScsiId %d\n", p.Channel, p.ScsiId);
  std::printf("QueueTag %d, QueueAction %d\n", p.QueueTag, p.QueueAction);
  std::printf("Content of Cdb\n");
  for (int i = 0; i < 10; ++i) std::printf("%x  ", p.Cdb[i]);
  std::printf("\nCdb Length %d\n", p.CdbLength);
  std::printf("RequestSenseLength %d ", p.RequestSenseLength);
  std::printf("NoSGElements %d\n", p.NoSGElements);
  std::printf("ScsiStatus %d\n", p.ScsiStatus);
  std::printf("DataTransferAddress %d\n",
              static_cast<int>(p.DataTransferAddress));
  std::printf("DataTransferLength %u\n",
              static_cast<unsigned>(p.DataTransferLength));
  return PressC();
}

extern "C" Int PressC(void) {
  std::printf("Press ENTER to continue.........\n");
  std::fflush(stdout);
  char c = 0;
  if (std::scanf("%c", &c) != 1) c = 0;
  return 0;
}
