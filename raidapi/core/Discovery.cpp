#include "core/Discovery.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/AdapterTable.h"
#include "core/DriverRecords.h"
#include "core/IoctlPass.h"
#include "core/IssueCmd.h"
#include "core/LowMemory.h"
#include "firmware/FirmwareLayouts.h"

namespace {

constexpr char kMimdNode[] = "/dev/halvdev0";
constexpr char kHostText[] = "QRN Halvoran";
constexpr size_t kHostTextLen = sizeof kHostText - 1;  // 12 characters
constexpr size_t kProbeBufferSize = 2048;
constexpr size_t kAnswerBufferSize = 40960;
constexpr int kDiskLetters = 26;

// 8LD enquiry bytes that tell a real adapter from a disk that merely accepts
// the command, and their bounds.
constexpr size_t kEnqRebuildRate = 1;
constexpr size_t kEnqChannels = 3;
constexpr size_t kEnqLogicalDrives = 24;
constexpr uint8_t kMaxRebuildRate = 100;
constexpr uint8_t kMaxChannels8LD = 4;
constexpr uint8_t kMaxLogicalDrives8LD = HVAPI_MAX_LDRV_8LD;

// Descriptors the last discovery kept open: the multi-adapter device, or one
// disk per adapter. Kept apart from the globals, which callers may read and
// tests may set, so that only what discovery opened is ever closed.
int gKeptMimd = -1;
int gKeptDisks[HVAPI_MAX_ADAPTERS] = {-1, -1, -1, -1, -1, -1};

// The answers of the disk-array and enquiry reads; discovery runs under the
// library's lock, so one buffer serves every run.
uint8_t gAnswer[kAnswerBufferSize];

int OpenNode(const char *path) {
  const int fd = open(path, O_RDONLY);
  // A descriptor of 0 counts as no node, but it was opened all the same.
  if (fd == 0) close(fd);
  return fd > 0 ? fd : -1;
}

// The driver's adapter count, through a record below 4 GiB: the count's
// address travels in a 32-bit field.
Int QueryMimdCount(int fd) {
  struct CountQuery {
    uioctl_t record;
    uint32_t count;
  };
  CountQuery *q = static_cast<CountQuery *>(LowAlloc(sizeof(CountQuery)));
  if (q == nullptr) return 0;
  uint32_t countAddr = 0;
  Int count = 0;
  if (ToDriverAddress(&q->count, &countAddr)) {
    q->record.outlen = sizeof q->count;
    q->record.ui.fcs.opcode = HALV_FAKE_DRIVER_QUERY;
    q->record.ui.fcs.subopcode = HALV_QUERY_ADAPTER_COUNT;
    q->record.data.addr = countAddr;
    if (ioctl(fd, HALV_REQ_MIMD, &q->record) == 0) {
      count = q->count > HVAPI_MAX_ADAPTERS ? kDiscoveryTooMany
                                            : static_cast<Int>(q->count);
    }
  }
  LowFree(q, sizeof(CountQuery));
  return count;
}

// True when the disk's SCSI host names itself a Halvoran adapter. The
// request is told the buffer's true size, less one byte that always stays
// zero.
bool IsHalvoranHost(int fd) {
  char probe[kProbeBufferSize] = {};
  const uint32_t room = kProbeBufferSize - 1;
  std::memcpy(probe, &room, sizeof room);
  CommonIoctl(fd, static_cast<int>(HALV_REQ_PROBE_HOST), probe, HALV_DIR_READ,
              0);
  return std::memcmp(probe, kHostText, kHostTextLen) == 0;
}

// The number of logical drives of the adapter behind fd, or -1 when the disk
// is no adapter that discovery accepts.
int AdapterLogicalDrives(int fd) {
  uint8_t area[HALV_MBOX_AREA_LEN] = {kOp40LD, kSub40LDReadDiskArray};
  std::memset(gAnswer, 0, sizeof gAnswer);
  if (CallIoctlPass(fd, reinterpret_cast<unsigned long>(gAnswer),
                    sizeof(APP_DISC_ARRAY_40LD), HALV_DIR_READ, sizeof area,
                    area, kOp40LD) == 0) {
    return gAnswer[0];
  }

  uint8_t enquiry[HALV_MBOX_AREA_LEN] = {kOpEnquiry8LD};
  std::memset(gAnswer, 0, sizeof gAnswer);
  if (CallIoctlPass(fd, reinterpret_cast<unsigned long>(gAnswer),
                    sizeof(HALVORAN_ENQ_8LD), HALV_DIR_READ, sizeof enquiry,
                    enquiry, 1) != 0) {
    return -1;
  }
  if (gAnswer[kEnqChannels] > kMaxChannels8LD ||
      gAnswer[kEnqRebuildRate] > kMaxRebuildRate ||
      gAnswer[kEnqLogicalDrives] > kMaxLogicalDrives8LD) {
    return -1;
  }
  return gAnswer[kEnqLogicalDrives];
}

void ClearHandles() {
  for (Int &handle : gaiFileHandles) handle = 0;
}

}  // namespace

void ReleaseDiscoveredNodes() {
  if (gKeptMimd > 0) {
    close(gKeptMimd);
    if (giMIMDFileDescriptor == gKeptMimd) giMIMDFileDescriptor = 0;
  }
  gKeptMimd = -1;
  for (int &fd : gKeptDisks) {
    if (fd > 0) close(fd);
    fd = -1;
  }
  ClearHandles();
}

extern "C" Int Linux_FindAdapters(void) {
  Int count = 0;
  const int fd = OpenNode(kMimdNode);
  if (fd > 0) {
    close(fd);
    count = Linux_FindAdaptersMIMD();
  } else {
    count = Linux_FindAdaptersSCSID();
  }
  guiTotalHalvoranCount = static_cast<ULong32>(count);
  return count;
}

extern "C" Int Linux_FindAdaptersMIMD(void) {
  ReleaseDiscoveredNodes();
  giDriverType = HVAPI_DRIVER_MIMD;
  const int fd = OpenNode(kMimdNode);
  if (fd <= 0) return 0;
  gKeptMimd = fd;
  giMIMDFileDescriptor = fd;

  const Int count = QueryMimdCount(fd);
  for (Int i = 0; i < count && i < HVAPI_MAX_ADAPTERS; ++i)
    gaiFileHandles[i] = i;
  return count;
}

extern "C" Int Linux_FindAdaptersSCSID(void) {
  ReleaseDiscoveredNodes();
  giDriverType = HVAPI_DRIVER_SCSI;
  Int count = 0;
  for (int letter = 0; letter < kDiskLetters && count < kDiscoveryTooMany;
       ++letter) {
    char path[16];
    std::snprintf(path, sizeof path, "/dev/sd%c", 'a' + letter);
    const int fd = OpenNode(path);
    if (fd <= 0) continue;
    const int drives = IsHalvoranHost(fd) ? AdapterLogicalDrives(fd) : -1;
    if (drives < 0 || count == HVAPI_MAX_ADAPTERS) {
      // Not an adapter; or a seventh one, which only needs counting.
      close(fd);
      if (drives >= 0) count = kDiscoveryTooMany;
      continue;
    }
    gKeptDisks[count] = fd;
    gaiFileHandles[count] = fd;
    ++count;
    // The adapter's other logical drives are the disks that follow.
    if (drives > 1) letter += drives - 1;
  }
  return count;
}

extern "C" Int FindFirmwareType(void) {
  void *buffer = std::malloc(sizeof(APP_DISC_ARRAY_40LD));
  if (buffer == nullptr) return -1;
  const unsigned long at = reinterpret_cast<unsigned long>(buffer);
  UChar type = 0;
  if (IssueCmd(kOp40LD, kSub40LDReadDiskArray, at, 0, 0) == 0) {
    type = HVAPI_FW_40LD;
  } else if (IssueCmd(kOpDiskArray8Span, 0, at, 0, 0) == 0) {
    type = HVAPI_FW_8LD_8SPAN;
  } else if (IssueCmd(kOpDiskArray4Span, 0, at, 0, 0) == 0) {
    type = HVAPI_FW_8LD_4SPAN;
  }
  std::free(buffer);
  if (type == 0 || gulDacCurAdpNo >= HVAPI_MAX_ADAPTERS) return -1;
  gachDacFWType[gulDacCurAdpNo] = type;
  return 0;
}
