// The library's decoding of what the adapter answers. The input plays the
// driver and the firmware: which device nodes exist, then, request by
// request, whether the request fails, the completion status and the bytes
// of the answer. This program defines open, close and ioctl itself, so the
// library's calls for the driver's nodes reach it, and every other path
// and descriptor goes to the system unchanged; semget and semop are its
// own too, so that no semaphore of the machine is ever taken, and sleep
// returns at once. Each input starts the library, runs a sequence of
// operations the input chooses (reads, settings, configuration writes
// described by input bytes) and stops the library; afterwards no node may
// be left open, and a second session on the same input must send the same
// requests and get the same results.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/sem.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/DriverRecords.h"
#include "hvapi.h"

namespace {

FuzzedDataProvider* g_input = nullptr;
// What the library asked and answered in one session, to tell whether a
// second session on the same input runs the same way.
uint64_t g_trace = 0;

void Mix(uint64_t value) { g_trace = (g_trace ^ value) * 1099511628211ull; }

void MixBytes(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) Mix(p[i]);
}

void Note(Int result) {
  Mix(static_cast<uint64_t>(static_cast<uint32_t>(result)));
}
bool g_mimdPresent = false;
int g_disks = 0;  // "/dev/sda" onwards

constexpr int kMaxNodes = 64;
int g_nodes[kMaxNodes];     // open simulated descriptors, -1 for none
int g_nodeKind[kMaxNodes];  // -1 the multi-adapter node, else the letter

constexpr uint32_t kMaxTransfer = HALV_CMD_SIZE;
constexpr size_t kProbeTextMax = 4096;

int NodeIndex(int fd) {
  for (int i = 0; i < kMaxNodes; ++i)
    if (g_nodes[i] == fd && fd >= 0) return i;
  return -1;
}

int OpenNodes() {
  int count = 0;
  for (int fd : g_nodes) count += fd >= 0;
  return count;
}

// -2 not a simulated path, -1 the multi-adapter node, else a disk letter.
int NodeOf(const char* path) {
  if (std::strcmp(path, "/dev/halvdev0") == 0) return -1;
  if (std::strncmp(path, "/dev/sd", 7) == 0 && path[7] >= 'a' &&
      path[7] <= 'z' && path[8] == '\0')
    return path[7] - 'a';
  return -2;
}

uint8_t Byte() { return g_input ? g_input->ConsumeIntegral<uint8_t>() : 0; }

// The answer's bytes, len of them, as the input chooses: zeros, all ones,
// bytes of the input (zeros once it runs out), a few bytes of the input
// and zeros behind them, or zeros with a few bytes set at chosen places
// (the counts and numbers inside a large record).
void Answer(void* dest, size_t len) {
  if (len == 0) return;
  uint8_t* to = static_cast<uint8_t*>(dest);
  std::memset(to, 0, len);
  switch (Byte() % 5) {
    case 0:
      break;
    case 1:
      std::memset(to, 0xFF, len);
      break;
    case 2:
    case 3: {
      size_t n = len;
      if (Byte() % 2 && g_input)
        n = g_input->ConsumeIntegralInRange<size_t>(0, len < 64 ? len : 64);
      std::vector<uint8_t> bytes =
          g_input ? g_input->ConsumeBytes<uint8_t>(n) : std::vector<uint8_t>();
      if (!bytes.empty()) std::memcpy(to, bytes.data(), bytes.size());
      break;
    }
    default: {
      int patches = Byte() % 9;
      for (int i = 0; i < patches && g_input; ++i) {
        size_t at = g_input->ConsumeIntegralInRange<size_t>(0, len - 1);
        to[at] = Byte();
      }
      break;
    }
  }
}

// What becomes of one request: -1 the request fails (EIO), else the
// completion status.
int Outcome() {
  uint8_t choice = Byte();
  if (choice % 8 == 7) return -1;
  if (choice % 8 == 6) return Byte();
  return 0;
}

uint32_t LE32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

void* Address(uint32_t address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

int Failed(int error) {
  errno = error;
  return -1;
}

// Request 0x6D00 on the multi-adapter node: the record uioctl_t.
int MimdRequest(uioctl_t* u) {
  const uint8_t fake = u->ui.fcs.opcode;
  Mix(0x6D00);
  Mix(fake);
  Mix(u->ui.fcs.subopcode);
  Mix(u->inlen);
  Mix(u->outlen);
  // Mailbox bytes 8 to 11 may carry an address, which differs from run to
  // run.
  MixBytes(u->mbox, HALV_MBOX_PTHRU_ADDR);
  MixBytes(u->mbox + HALV_MBOX_PTHRU_ADDR + 4,
           HALV_MBOX_STATUS - HALV_MBOX_PTHRU_ADDR - 4);
  int outcome = Outcome();
  if (outcome < 0) return Failed(EIO);
  const uint8_t status = static_cast<uint8_t>(outcome);
  if (fake == HALV_FAKE_DRIVER_QUERY) {
    uint32_t at = u->data.addr ? u->data.addr : u->ui.fcs.u.buffer;
    if (u->outlen > kMaxTransfer) return Failed(EINVAL);
    if (u->outlen && !at) return Failed(EFAULT);
    Answer(Address(at), u->outlen);
    return status;
  }
  if (fake != HALV_FAKE_MBOX && fake != HALV_FAKE_MBOX_BY_ADDR)
    return Failed(EINVAL);
  if ((u->ui.fcs.adapno & 0xFF00) != HALV_MIMD_ADAPNO_BASE)
    return Failed(ENODEV);
  if (fake == HALV_FAKE_MBOX && u->mbox[0] == HALV_AREA_PASSTHRU) {
    halv_passthru* p = static_cast<halv_passthru*>(
        Address(LE32(&u->mbox[HALV_MBOX_PTHRU_ADDR])));
    if (!p) return Failed(EFAULT);
    if (u->outlen) {
      if (p->dataxferlen > kMaxTransfer) return Failed(EINVAL);
      if (p->dataxferlen && !p->dataxferaddr) return Failed(EFAULT);
      Answer(Address(p->dataxferaddr), p->dataxferlen);
    }
    p->scsistatus = status;
    u->mbox[HALV_MBOX_STATUS] = status;
    return 0;
  }
  if (fake == HALV_FAKE_MBOX) {
    if (u->outlen > kMaxTransfer) return Failed(EINVAL);
    if (u->outlen && !u->data.addr) return Failed(EFAULT);
    Answer(Address(u->data.addr), u->outlen);
  } else if (u->outlen && !u->inlen) {
    uint32_t length = u->ui.fcs.length;
    if (length > kMaxTransfer) return Failed(EINVAL);
    if (length && !u->ui.fcs.u.buffer) return Failed(EFAULT);
    Answer(Address(u->ui.fcs.u.buffer), length);
    // The driver says how much came back; the input may say more.
    u->pthru.dataxferlen = Byte() % 2 ? length : length + Byte();
  }
  u->mbox[HALV_MBOX_STATUS] = status;
  return 0;
}

// Request 1 on a disk node: the request buffer.
int DiskRequest(uint8_t* sd) {
  const uint32_t incoming = LE32(sd + 4);
  const uint8_t fake = sd[8];
  const uint32_t buffer = LE32(sd + 12);
  const uint32_t length = LE32(sd + 16);
  Mix(1);
  MixBytes(sd, 9);
  MixBytes(sd + 20, 16);
  int outcome = Outcome();
  if (outcome < 0) return Failed(EIO);
  if (fake == HALV_FAKE_MBOX || fake == HALV_FAKE_DRIVER_QUERY) {
    if (incoming > kMaxTransfer) return Failed(EINVAL);
    Answer(sd + HALV_INCOMING_OFFSET, incoming);
  } else if (fake == HALV_FAKE_MBOX_BY_ADDR) {
    uintptr_t own = reinterpret_cast<uintptr_t>(sd + HALV_INCOMING_OFFSET);
    if (own == buffer) {
      if (length > kMaxTransfer) return Failed(EINVAL);
      Answer(sd + HALV_INCOMING_OFFSET, length);
    }
  } else {
    return Failed(EINVAL);
  }
  return outcome;
}

// Request 0x5385: the host's identification text over the buffer's start.
int ProbeHost(uint8_t* buffer) {
  const uint32_t room = LE32(buffer);
  Mix(0x5385);
  Mix(room);
  int outcome = Outcome();
  if (outcome < 0) return Failed(EIO);
  std::string text;
  if (Byte() % 4 != 0) {
    text = "QRN Halvoran adapter";
  } else if (g_input) {
    text = g_input->ConsumeRandomLengthString(64);
  }
  text.push_back('\0');
  size_t n = text.size();
  if (room < n) n = room;
  if (n > kProbeTextMax) n = kProbeTextMax;
  std::memcpy(buffer, text.data(), n);
  return 1;
}

template <typename T>
struct FreeRecord {
  void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Record = std::unique_ptr<T, FreeRecord<T>>;

// A record of exactly its size, so that a write past it is caught; with
// fill, its bytes come from the input (a caller's description).
template <typename T>
Record<T> MakeRecord(bool fill) {
  T* p = static_cast<T*>(std::calloc(1, sizeof(T)));
  if (!p) std::abort();
  if (fill && g_input) {
    std::vector<uint8_t> bytes = g_input->ConsumeBytes<uint8_t>(sizeof(T));
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  }
  return Record<T>(p);
}

// A caller's description of a set of disks, mostly within the limits the
// operations check, so that the checks after the first ones are reached.
void FillArrays(FuzzedDataProvider& in, UChar* spans, ArrayInfo_Struct* arrays,
                UChar* drives, LogDrvInfo_Struct* logical) {
  *spans = in.ConsumeIntegralInRange<UChar>(0, 9);
  const UChar perSpan = in.ConsumeIntegralInRange<UChar>(0, 9);
  for (int s = 0; s < 4; ++s) {
    arrays[s].uchPhyDrvPerArray =
        in.ConsumeBool() ? perSpan : in.ConsumeIntegral<UChar>();
    for (int d = 0; d < 9; ++d) {
      RaidSetDrive_Struct& drive = arrays[s].astDrives[d];
      drive.uchChanNo = in.ConsumeIntegralInRange<UChar>(0, 5);
      drive.uchTargID = in.ConsumeIntegralInRange<UChar>(0, 17);
    }
  }
  *drives = in.ConsumeIntegralInRange<UChar>(0, 41);
  for (int l = 0; l < 8; ++l) {
    logical[l].uchRaidLevel = in.PickValueInArray<UChar>({0, 1, 3, 5, 2});
    logical[l].uchStripeSize = in.PickValueInArray<UChar>({0, 2, 8, 64, 128});
    logical[l].ulLogDrvSize =
        in.ConsumeBool() ? 0 : in.ConsumeIntegral<ULong32>();
  }
}

Record<RaidSet_Struct> MakeRaidSet(FuzzedDataProvider& in) {
  Record<RaidSet_Struct> set = MakeRecord<RaidSet_Struct>(false);
  set->uchRaidLevel = in.PickValueInArray<UChar>({0, 1, 3, 5, 4});
  set->uchStripeSize = in.PickValueInArray<UChar>({0, 2, 16, 64, 128, 7});
  FillArrays(in, &set->uchNoOfSpan, set->stArrayInfo, &set->uchNoOfLD,
             set->astLogDrvInfo);
  return set;
}

Record<ConfigInfo_Struct> MakeConfigInfo(FuzzedDataProvider& in) {
  Record<ConfigInfo_Struct> config = MakeRecord<ConfigInfo_Struct>(false);
  config->uchNoOfRaidset = in.ConsumeIntegralInRange<UChar>(0, 3);
  for (int i = 0; i < 3; ++i) {
    NewRaidSet_Struct& set = config->astRaidSetStruct[i];
    FillArrays(in, &set.uchNoOfSpan, set.stArrayInfo, &set.uchNoOfLD,
               set.astLogDrvInfo);
  }
  return config;
}

Record<NewPhyDrvInfo_Struct> MakeNewDevices(FuzzedDataProvider& in) {
  Record<NewPhyDrvInfo_Struct> devices =
      MakeRecord<NewPhyDrvInfo_Struct>(false);
  devices->uchNo_Newdev = in.ConsumeIntegralInRange<UChar>(0, 34);
  for (int d = 0; d < 34; ++d) {
    devices->astDrives[d].uchChanNo = in.ConsumeIntegralInRange<UChar>(0, 5);
    devices->astDrives[d].uchTargID = in.ConsumeIntegralInRange<UChar>(0, 17);
  }
  return devices;
}

// One operation of the library on adapter a, chosen by the input.
void RunOperation(FuzzedDataProvider& in, UChar a) {
  const Int ch = in.ConsumeIntegralInRange<Int>(0, 17);
  const Int tg = in.ConsumeIntegralInRange<Int>(0, 17);
  const Int ld = in.ConsumeIntegralInRange<Int>(0, 41);
  switch (in.ConsumeIntegralInRange<int>(0, 41)) {
    case 0:
      Note(GetNumberOfAdapters(a));
      break;
    case 1:
      Note(GetFirmwareType(a));
      break;
    case 2:
      Note(GetAdapterInfo(a, MakeRecord<Adp_Struct>(false).get()));
      break;
    case 3:
      Note(GetAutoRbld(a));
      break;
    case 4:
      Note(GetRebuildRate(a));
      break;
    case 5: {
      Int state = 0;
      Note(GetAlarmState(a, &state));
      break;
    }
    case 6:
      Note(GetClusterState(a, MakeRecord<Cluster_Struct>(false).get()));
      break;
    case 7: {
      UChar rate = 0;
      Note(GetChannelRate(a, static_cast<UChar>(ch), &rate));
      break;
    }
    case 8:
      Note(GetNumOfPDrv(a));
      break;
    case 9:
      Note(GetAllPDrvInfo(a, MakeRecord<AllDrvInfo_Struct>(false).get()));
      break;
    case 10:
      Note(ScanforNewDevices(a, MakeRecord<NewDrv_Struct>(false).get()));
      break;
    case 11: {
      UChar state = 0;
      Note(GetPDrvState(a, &state, ch, tg));
      break;
    }
    case 12:
      Note(GetErrCntr(a, ch, tg, MakeRecord<Err_Struct>(false).get()));
      break;
    case 13:
      Note(GetSCSIDump(a, MakeRecord<SSDa_Struct>(false).get()));
      break;
    case 14:
      Note(GetDump(a, MakeRecord<Da_Struct>(false).get()));
      break;
    case 15:
      Note(GetDrvHist(a, MakeRecord<DrvHist_Struct>(false).get()));
      break;
    case 16:
      Note(GetRbldPrg(a, ch, tg));
      break;
    case 17:
      Note(GetNumOfLogDrvs(a));
      break;
    case 18:
      Note(GetLogDrvProp(a, ld, MakeRecord<Ldrv_Struct>(false).get()));
      break;
    case 19:
      Note(GetReconPrg(a));
      break;
    case 20:
      Note(GetConsistencyPrg(a, ld));
      break;
    case 21:
      Note(GetInitPrg(a, ld));
      break;
    case 22: {
      Record<Config_Struct> config = MakeRecord<Config_Struct>(true);
      Note(ReadConfig(a, config.get(),
                      MakeRecord<RaidConfig_Struct>(false).get()));
      break;
    }
    case 23: {
      std::unique_ptr<AdapterStatus_Struct[]> status(
          new AdapterStatus_Struct[HVAPI_MAX_ADAPTERS]());
      Note(CheckSystemStatus(a, status.get()));
      break;
    }
    case 24:
      Note(GetScsiDetails(a, static_cast<UChar>(ch), static_cast<UChar>(tg),
                          MakeRecord<SCSI_Struct>(false).get()));
      break;
    case 25:
      Note(UseConfig(a, MakeRecord<Config_Struct>(true).get()));
      break;
    case 26:
      Note(WriteConfig(a, MakeConfigInfo(in).get()));
      break;
    case 27:
      Note(WriteNewConfig(a, MakeRaidSet(in).get()));
      break;
    case 28:
      Note(AddLogDrvToConfig(a, MakeRaidSet(in).get()));
      break;
    case 29:
      Note(ClearConfig(a));
      break;
    case 30:
      Note(DeleteNewLogDrv(a, in.ConsumeBool()));
      break;
    case 31:
      Note(StartRecon(a, ld, in.ConsumeIntegralInRange<Int>(0, 6),
                      MakeNewDevices(in).get()));
      break;
    case 32:
      Note(SetPDrvState(a, in.ConsumeBool() ? 3 : 4, ch, tg));
      break;
    case 33:
      Note(SetHotSpare(a, ch, tg));
      break;
    case 34:
      Note(ReSetHotSpare(a, ch, tg));
      break;
    case 35:
      Note(StartRbld(a, ch, tg));
      break;
    case 36:
      Note(AbortRbldPrg(a, ch, tg));
      break;
    case 37:
      Note(StartConsistency(a, ld));
      break;
    case 38:
      Note(AbortConsistency(a, ld));
      break;
    case 39:
      Note(StartInit(a, ld));
      break;
    case 40:
      Note(AbortInit(a, ld));
      break;
    default: {
      LdrvPolicy_Struct policy;
      std::memset(&policy, 0, sizeof policy);
      policy.uchReadPolicy = in.ConsumeIntegralInRange<UChar>(0, 2);
      Note(SetPolicy(a, ld, policy));
      Note(SetRebuildRate(a, in.ConsumeIntegral<UChar>()));
      Note(SetClusterState(a, in.ConsumeBool()));
      Note(SetChannelRate(a, static_cast<UChar>(ch),
                          in.ConsumeIntegralInRange<UChar>(0, 3)));
      break;
    }
  }
}

}  // namespace

// The driver's nodes and the system's own files and descriptors.
extern "C" int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  int node = NodeOf(path);
  if (node == -2)
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags, mode));
  if (node == -1 ? !g_mimdPresent : node >= g_disks) return Failed(ENOENT);
  int slot = NodeIndex(-1);
  for (int i = 0; i < kMaxNodes && slot < 0; ++i)
    if (g_nodes[i] < 0) slot = i;
  if (slot < 0) return Failed(EMFILE);
  int fd = static_cast<int>(
      syscall(SYS_openat, AT_FDCWD, "/dev/null", O_RDONLY | O_CLOEXEC, 0));
  if (fd < 0) return -1;
  g_nodes[slot] = fd;
  g_nodeKind[slot] = node;
  return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  return open(path, flags, mode);
}

extern "C" int close(int fd) {
  int slot = NodeIndex(fd);
  if (slot >= 0) g_nodes[slot] = -1;
  return static_cast<int>(syscall(SYS_close, fd));
}

extern "C" int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  int slot = NodeIndex(fd);
  if (slot < 0) return static_cast<int>(syscall(SYS_ioctl, fd, request, arg));
  if (!arg) return Failed(EFAULT);
  if (g_nodeKind[slot] == -1) {
    if (request != HALV_REQ_MIMD) return Failed(ENOTTY);
    return MimdRequest(static_cast<uioctl_t*>(arg));
  }
  if (request == HALV_REQ_PROBE_HOST)
    return ProbeHost(static_cast<uint8_t*>(arg));
  if (request != HALV_REQ_SEND_COMMAND) return Failed(ENOTTY);
  return DiskRequest(static_cast<uint8_t*>(arg));
}

extern "C" int semget(key_t, int, int) { return 1; }
extern "C" int semop(int, struct sembuf*, size_t) { return 0; }
extern "C" unsigned int sleep(unsigned int) { return 0; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (int& fd : g_nodes) fd = -1;
  return 0;
}

// One session of the library on the input: start, operations, stop.
uint64_t RunSession(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  g_input = &in;
  g_trace = 14695981039346656037ull;
  uint8_t nodes = in.ConsumeIntegral<uint8_t>();
  g_mimdPresent = (nodes & 1) != 0;
  g_disks = (nodes >> 1) % 9;

  Int started = InitLib(0, 0);
  Note(started);
  if (started == 255) {
    int steps = in.ConsumeIntegralInRange<int>(0, 16);
    for (int i = 0; i < steps; ++i) {
      Int total = GetTotalAdapters();
      UChar adapter = in.ConsumeIntegralInRange<UChar>(0, 7);
      if (total > 0 && in.ConsumeBool())
        adapter = static_cast<UChar>(adapter % total);
      RunOperation(in, adapter);
    }
    if (CloseLib(255) != 0) fuzz::Fail("CloseLib fails after InitLib");
  }
  g_input = nullptr;
  if (OpenNodes() != 0) fuzz::Fail("a device node is left open");
  if (IsApiInitialized()) fuzz::Fail("the library stays started");
  return g_trace;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Nothing of a session may outlive CloseLib: the same answers give the
  // same requests and results again.
  if (RunSession(data, size) != RunSession(data, size))
    fuzz::Fail("a second session on the same answers runs differently");
  return 0;
}
