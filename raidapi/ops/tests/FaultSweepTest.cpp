// Every exported operation under a failing adapter. Each operation runs once
// to learn the requests it sends; then, for each of those commands, the
// simulated driver spoils that one occurrence in each way a driver or its
// firmware can: the request refused, a non-zero completion status, a short
// answer, a hostile answer (all ones, or noise), a transfer count far beyond
// what was asked. Whatever happens, the operation answers one of its own
// codes, releases the lock (the next call goes through), keeps no memory or
// descriptor, and leaves the caller's record as its rules say.
#include <gtest/gtest.h>
#include <sys/sem.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/tests/LibSimScenario.h"
#include "hvapi.h"
#include "hvapi_lowlevel.h"
#include "ops/tests/DriveTestSupport.h"
#include "testsupport/FileHelpers.h"

namespace {

using drives::Generation;
using libsim::LibSimTest;

// Placeholders in the table: the answer of the unspoilt run, and any
// non-negative answer.
constexpr Int kAsUnspoilt = 1000;
constexpr Int kAnyAnswer = 1001;
// Either an answer or the operation's failure code: a command sent at more
// than one stage (the prefix cannot tell which).
constexpr Int kAnswerOrFailed = 1002;
// Any code but 0: the raw transport passes a status up unchanged.
constexpr Int kNonZero = 1003;

// What a failed operation may leave in the caller's record.
enum class Leaves {
  kNoRecord,    // the operation takes none
  kUntouched,   // every byte as the caller left it
  kCountsZero,  // the leading count byte(s) 0, entries written so far kept
  kAnything,    // partly filled, or the record is the operation's input
};

// One command of an operation whose failure has its own answer. Several
// for one prefix list every answer that command's failure may give (a
// command sent at several steps).
struct Exception {
  const char *area;  // command area prefix, hex ("-": the probe)
  Int code;
  int interface = 0;  // only on this driver interface; 0 on both
};

struct Operation {
  const char *name;
  Int (*call)(unsigned char *record);
  Leaves leaves;
  size_t countBytes;  // for kCountsZero
  // The answer when one of its commands is refused or fails with a status.
  Int failed;
  // Codes it may answer when an answer is short or hostile (besides
  // non-negative answers and failed).
  std::vector<Int> codes;
  std::vector<Exception> exceptions;
  bool takesLock = true;
  bool checksDevice = false;  // runs the device checks (INQUIRY: -31)
  bool validates = true;      // runs PerformValidations (0x61 first)
};

void PrintTo(const Operation &op, std::ostream *os) { *os << op.name; }

std::string g_image;  // firmware image of the download

Int WithLock(Int (*body)(unsigned char *), unsigned char *record) {
  Sem_Wait();
  const Int result = body(record);
  Sem_Post();
  return result;
}

void FillRaidSet(RaidSet_Struct *s) {
  std::memset(s, 0, sizeof *s);
  s->uchRaidLevel = 1;
  s->uchNoOfSpan = 1;
  s->stArrayInfo[0].uchPhyDrvPerArray = 2;
  s->stArrayInfo[0].astDrives[0].uchChanNo = 1;
  s->stArrayInfo[0].astDrives[0].uchTargID = 1;
  s->stArrayInfo[0].astDrives[1].uchChanNo = 1;
  s->stArrayInfo[0].astDrives[1].uchTargID = 4;
  s->uchStripeSize = 64;
  s->uchNoOfLD = 1;
  s->astLogDrvInfo[0].uchRaidLevel = 1;
  s->astLogDrvInfo[0].uchStripeSize = 64;
  s->astLogDrvInfo[0].ulLogDrvSize = 100;
}

template <typename T>
T *As(unsigned char *r) {
  return reinterpret_cast<T *>(r);
}

// The disk array read by several steps of the drive operations: the step's
// own code, the membership test's (-9) or the RAID level test's (-1).
const std::vector<Exception> kRebuildArrayReads = {{"a104", -11}, {"a104", -9},
                                                   {"a104", -1},  {"07", -11},
                                                   {"07", -9},    {"07", -1}};
// ... of the logical drive operations: the drive number test (-19), the
// RAID level test (-25).
const std::vector<Exception> kLdrvArrayReads = {{"a104", -11}, {"a104", -19},
                                                {"a104", -25}, {"07", -11},
                                                {"07", -19},   {"07", -25}};
// ... of the reconstruction: also the membership test of a new device.
const std::vector<Exception> kReconArrayReads = {{"a104", -11}, {"a104", -19},
                                                 {"a104", -54}, {"07", -11},
                                                 {"07", -19},   {"07", -54}};

// Codes shared by the operations that name a device.
const std::vector<Int> kDeviceCodes = {-1,  -8,  -9,  -14, -18,
                                       -27, -31, -42, -55};
const std::vector<Int> kLdrvCodes = {-7,  -10, -13, -19, -22, -23,
                                     -25, -42, -45, -46, -55};
const std::vector<Int> kConfigCodes = {-14, -16, -17, -18, -22, -31,
                                       -42, -48, -49, -50, -51, -52,
                                       -53, -54, -58, -63, -64, -66};

// The operations, each called with arguments that succeed on the sweep's
// adapter (see SweepSettings).
const Operation kOperations[] = {
    {"InitLib",
     [](unsigned char *) { return InitLib(0, 0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-2, -60},
     // The count query failing finds no adapter; a disk that fails to
     // answer is passed over for the adapter's next disk.
     {{"000000", HVAPI_ERR_NO_ADAPTER, 1},
      {"-", kAnyAnswer, 2},
      {"0500", kAnswerOrFailed, 2},
      {"a104", kAnswerOrFailed, 2},
      {"67", kAnyAnswer, 2}},
     true,
     false,
     false},
    {"GetNumberOfAdapters",
     [](unsigned char *) { return GetNumberOfAdapters(0); },
     Leaves::kNoRecord,
     0,
     kAnyAnswer,
     {-11},
     {},
     true,
     false,
     false},
    {"FlushAdapter",
     [](unsigned char *) { return FlushAdapter(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"GetFirmwareType",
     [](unsigned char *) { return GetFirmwareType(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"GetAdapterInfo",
     [](unsigned char *r) { return GetAdapterInfo(0, As<Adp_Struct>(r)); },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {{"0c", kAsUnspoilt}}},
    {"GetAutoRbld",
     [](unsigned char *) { return GetAutoRbld(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"SetAutoRbld",
     [](unsigned char *) { return SetAutoRbld(0, 1); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"GetRebuildRate",
     [](unsigned char *) { return GetRebuildRate(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"SetRebuildRate",
     [](unsigned char *) { return SetRebuildRate(0, 50); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"ControlAlarm",
     [](unsigned char *) { return ControlAlarm(0, 1); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"GetAlarmState",
     [](unsigned char *r) { return GetAlarmState(0, As<Int>(r)); },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"SetBiosMode",
     [](unsigned char *) { return SetBiosMode(0, 1); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"GetClusterState",
     [](unsigned char *r) { return GetClusterState(0, As<Cluster_Struct>(r)); },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"SetClusterState",
     [](unsigned char *) { return SetClusterState(0, 1); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"SetAdapterID",
     [](unsigned char *) { return SetAdapterID(0, 5); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42, -65},
     {}},
    {"GetChannelRate",
     [](unsigned char *r) { return GetChannelRate(0, 1, As<UChar>(r)); },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-16, -42},
     {}},
    {"SetChannelRate",
     [](unsigned char *) { return SetChannelRate(0, 1, 2); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-16, -42},
     {}},
    {"GetScsiDetails",
     [](unsigned char *r) {
       return GetScsiDetails(0, 0, 1, As<SCSI_Struct>(r));
     },
     Leaves::kAnything,
     0,
     HVAPI_ERR_BAD_ARGUMENT,
     {-42},
     {}},
    {"Download_Firmware",
     [](unsigned char *) { return Download_Firmware(0, g_image.c_str()); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42, -56, -57},
     {}},
    {"ExecuteCmd",
     [](unsigned char *r) {
       return ExecuteCmd(0, 0x23, 0, reinterpret_cast<char *>(r), 0, 0);
     },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"IssueCmd_MT",
     [](unsigned char *r) {
       return IssueCmd_MT(0, 0x23, 0, reinterpret_cast<unsigned long>(r), 0, 0);
     },
     Leaves::kUntouched,
     0,
     kNonZero,
     {-1, -42},
     {}},
    {"ExecuteSCSICmd",
     [](unsigned char *r) {
       PassThru_Struct pt;
       std::memset(&pt, 0, sizeof pt);
       pt.Channel = 0;
       pt.ScsiId = 1;
       pt.Cdb[0] = 0x12;
       pt.Cdb[4] = 128;
       pt.CdbLength = 6;
       pt.DataTransferLength = 128;
       return ExecuteSCSICmd(0, &pt, reinterpret_cast<char *>(r), 0,
                             HVAPI_DIR_READ, 128);
     },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    // Physical drives.
    {"GetNumOfPDrv",
     [](unsigned char *) { return GetNumOfPDrv(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {{"0300", kAnyAnswer}}},
    {"GetAllPDrvInfo",
     [](unsigned char *r) {
       return GetAllPDrvInfo(0, As<AllDrvInfo_Struct>(r));
     },
     Leaves::kCountsZero,
     1,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {{"03000612", kAnyAnswer}}},
    {"ScanforNewDevices",
     [](unsigned char *r) {
       return ScanforNewDevices(0, As<NewDrv_Struct>(r));
     },
     Leaves::kCountsZero,
     2,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {{"03000612", kAnyAnswer}}},
    {"TScanforNewDevices",
     [](unsigned char *r) {
       return TScanforNewDevices(0, As<NewDrv_Struct>(r));
     },
     Leaves::kCountsZero,
     2,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {{"03000612", kAnyAnswer}},
     false},
    {"GetPDrvState",
     [](unsigned char *r) { return GetPDrvState(0, As<UChar>(r), 0, 0); },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     kDeviceCodes,
     {},
     true,
     true},
    {"SetPDrvState",
     [](unsigned char *) { return SetPDrvState(0, 3, 2, 1); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kDeviceCodes,
     {},
     true,
     true},
    {"FailDrv",
     [](unsigned char *) { return FailDrv(0, 0, 0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kDeviceCodes,
     {},
     true,
     true},
    {"SetHotSpare",
     [](unsigned char *) { return SetHotSpare(0, 1, 1); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kDeviceCodes,
     {},
     true,
     true},
    {"ReSetHotSpare",
     [](unsigned char *) { return ReSetHotSpare(0, 1, 0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kDeviceCodes,
     {},
     true,
     true},
    {"GetErrCntr",
     [](unsigned char *r) { return GetErrCntr(0, 0, 0, As<Err_Struct>(r)); },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     kDeviceCodes,
     {},
     true,
     true},
    {"ResetErrCntr",
     [](unsigned char *) { return ResetErrCntr(0, 0, 0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kDeviceCodes,
     {},
     true,
     true},
    {"GetSCSIDump",
     [](unsigned char *r) { return GetSCSIDump(0, As<SSDa_Struct>(r)); },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"GetDump",
     [](unsigned char *r) { return GetDump(0, As<Da_Struct>(r)); },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"GetDrvHist",
     [](unsigned char *r) { return GetDrvHist(0, As<DrvHist_Struct>(r)); },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"ClearDrvHist",
     [](unsigned char *) { return ClearDrvHist(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-42},
     {}},
    {"StartRbld", [](unsigned char *) { return StartRbld(0, 2, 1); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kDeviceCodes,
     kRebuildArrayReads, true, true},
    {"GetRbldPrg", [](unsigned char *) { return GetRbldPrg(0, 0, 4); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kDeviceCodes,
     kRebuildArrayReads, true, true},
    {"AbortRbldPrg", [](unsigned char *) { return AbortRbldPrg(0, 0, 4); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kDeviceCodes,
     kRebuildArrayReads, true, true},
    {"IsConfigured",
     [](unsigned char *) {
       return IsConfigured(0, 4, static_cast<UChar>(GetAdpType(0)), 1);
     },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-1, -2},
     {},
     false,
     false,
     false},
    {"ValidateLDrv",
     [](unsigned char *) {
       return ValidateLDrv(1, static_cast<UChar>(GetAdpType(0)));
     },
     Leaves::kNoRecord,
     0,
     -1,
     {-1},
     {},
     false,
     false,
     false},
    {"ValidateRaidLevel",
     [](unsigned char *) {
       return ValidateRaidLevel(1, static_cast<UChar>(GetAdpType(0)));
     },
     Leaves::kNoRecord,
     0,
     -1,
     {-1},
     {},
     false,
     false,
     false},
    // Logical drives.
    {"GetNumOfLogDrvs",
     [](unsigned char *) { return GetNumOfLogDrvs(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kLdrvCodes,
     {}},
    {"GetLogDrvProp",
     [](unsigned char *r) { return GetLogDrvProp(0, 0, As<Ldrv_Struct>(r)); },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     kLdrvCodes,
     {}},
    {"TGetLogDrvProp",
     [](unsigned char *r) { return TGetLogDrvProp(0, 0, As<Ldrv_Struct>(r)); },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     kLdrvCodes,
     {},
     false},
    {"SetPolicy",
     [](unsigned char *) {
       return SetPolicy(0, 0, LdrvPolicy_Struct{1, 1, 1});
     },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kLdrvCodes, kLdrvArrayReads},
    {"StartRecon",
     [](unsigned char *r) {
       NewPhyDrvInfo_Struct *d = As<NewPhyDrvInfo_Struct>(r);
       std::memset(d, 0, sizeof *d);
       d->uchNo_Newdev = 1;
       d->astDrives[0].uchChanNo = 1;
       d->astDrives[0].uchTargID = 4;
       return StartRecon(0, 0, 5, d);
     },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-10, -14, -17, -18, -19, -26, -37, -42, -52, -54, -61, -62},
     kReconArrayReads},
    {"GetReconPrg",
     [](unsigned char *) { return GetReconPrg(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     {},
     {},
     true,
     false,
     false},
    {"StartConsistency", [](unsigned char *) { return StartConsistency(0, 0); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kLdrvCodes,
     [] {
       std::vector<Exception> e = kLdrvArrayReads;
       e.push_back({"19", kAsUnspoilt});
       return e;
     }()},
    {"GetConsistencyPrg",
     [](unsigned char *) { return GetConsistencyPrg(0, 2); }, Leaves::kNoRecord,
     0, HVAPI_ERR_CMD_FAILED, kLdrvCodes, kLdrvArrayReads},
    {"TGetConsistencyPrg",
     [](unsigned char *) { return TGetConsistencyPrg(0, 2); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kLdrvCodes, kLdrvArrayReads,
     false},
    {"AbortConsistency", [](unsigned char *) { return AbortConsistency(0, 2); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kLdrvCodes, kLdrvArrayReads},
    {"StartInit", [](unsigned char *) { return StartInit(0, 0); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kLdrvCodes, kLdrvArrayReads},
    {"GetInitPrg", [](unsigned char *) { return GetInitPrg(0, 3); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kLdrvCodes,
     [] {
       // A status the progress query does not know: -23.
       std::vector<Exception> e = kLdrvArrayReads;
       e.push_back({"1b", -11});
       e.push_back({"1b", -23});
       return e;
     }()},
    {"AbortInit", [](unsigned char *) { return AbortInit(0, 3); },
     Leaves::kNoRecord, 0, HVAPI_ERR_CMD_FAILED, kLdrvCodes, kLdrvArrayReads},
    // Configuration.
    {"ReadConfig",
     [](unsigned char *r) {
       Config_Struct source = {0, 0, 0};
       return ReadConfig(0, &source, As<RaidConfig_Struct>(r));
     },
     Leaves::kUntouched,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {}},
    {"UseConfig",
     [](unsigned char *) {
       Config_Struct source = {0, 0, 0};
       return UseConfig(0, &source);
     },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {}},
    {"CheckSystemStatus",
     [](unsigned char *r) {
       return CheckSystemStatus(0, As<AdapterStatus_Struct>(r));
     },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     {},
     {{"61", kAsUnspoilt}},
     true,
     false,
     false},
    {"WriteConfig",
     [](unsigned char *r) {
       ConfigInfo_Struct *c = As<ConfigInfo_Struct>(r);
       std::memset(c, 0, sizeof *c);
       RaidSet_Struct set;
       FillRaidSet(&set);
       c->uchNoOfRaidset = 1;
       NewRaidSet_Struct &n = c->astRaidSetStruct[0];
       n.uchNoOfSpan = 1;
       n.stArrayInfo[0] = set.stArrayInfo[0];
       n.uchNoOfLD = 1;
       n.astLogDrvInfo[0] = set.astLogDrvInfo[0];
       return WriteConfig(0, c);
     },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {},
     true,
     true},
    {"WriteNewConfig",
     [](unsigned char *r) {
       FillRaidSet(As<RaidSet_Struct>(r));
       return WriteNewConfig(0, As<RaidSet_Struct>(r));
     },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {},
     true,
     true},
    {"AddLogDrvToConfig",
     [](unsigned char *r) {
       FillRaidSet(As<RaidSet_Struct>(r));
       return AddLogDrvToConfig(0, As<RaidSet_Struct>(r));
     },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {},
     true,
     true},
    {"ClearConfig",
     [](unsigned char *) { return ClearConfig(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {}},
    {"DeleteNewLogDrv",
     [](unsigned char *) { return DeleteNewLogDrv(0, 1); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {}},
    {"AddSettoOS",
     [](unsigned char *) { return AddSettoOS(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {}},
    {"MakeDrvUse",
     [](unsigned char *) { return MakeDrvUse(0); },
     Leaves::kNoRecord,
     0,
     HVAPI_ERR_CMD_FAILED,
     kConfigCodes,
     {{"8261", kAsUnspoilt}}},
    // The internal calls that the low-level header exports, under the lock
    // that their callers hold.
    {"PerformValidations",
     [](unsigned char *r) {
       return WithLock([](unsigned char *) { return PerformValidations(0); },
                       r);
     },
     Leaves::kNoRecord,
     0,
     kAsUnspoilt,
     {-42},
     {},
     false,
     false,
     false},
    {"GetInitiatorID",
     [](unsigned char *r) {
       return WithLock([](unsigned char *) { return GetInitiatorID(); }, r);
     },
     Leaves::kNoRecord,
     0,
     kAnyAnswer,
     {},
     {},
     false,
     false,
     false},
    {"GetAdpSeq",
     [](unsigned char *r) {
       return WithLock(
           [](unsigned char *rec) { return GetAdpSeq(As<Int>(rec), 1); }, r);
     },
     Leaves::kAnything,
     0,
     HVAPI_ERR_CMD_FAILED,
     {-11},
     {},
     false,
     false,
     false},
    {"IssueCmd",
     [](unsigned char *r) {
       return WithLock(
           [](unsigned char *rec) {
             return IssueCmd(0x23, 0, reinterpret_cast<unsigned long>(rec), 0,
                             0);
           },
           r);
     },
     Leaves::kUntouched,
     0,
     kNonZero,
     {-1},
     {},
     false,
     false,
     false},
};

// The sweep's adapter: a RAID 5 drive 0 on 0:0-0:2 (optimal), a RAID 1
// drive 1 on 0:3 and 0:4 (0:4 rebuilding), a RAID 1 drive 2 on 0:5, 0:6
// (consistency check running), a RAID 0 drive 3 on 1:2 (initialisation
// running), a RAID 1 drive 4 on 2:0 and 2:1 (2:1 failed); hot spare 1:0,
// free disks 1:1 and 1:4, a tape 1:3. The clock stands half-way through the
// running operations.
std::string SweepSettings() {
  return "channels 3\n"
         "cluster 1\n"
         "dump-text \"ADAPTER DUMP 42\"\n"
         "device 0:0 state=3 sectors=4194304 medium-errors=3 other-errors=1\n"
         "device 0:1 state=3 sectors=4194304\n"
         "device 0:2 state=3 sectors=4194304\n"
         "device 0:3 state=3 sectors=4194304\n"
         "device 0:4 state=5 sectors=4194304\n"
         "device 0:5 state=3 sectors=4194304\n"
         "device 0:6 state=3 sectors=4194304\n"
         "device 1:0 state=6 sectors=4194304\n"
         "device 1:1 state=0 sectors=4194304\n"
         "device 1:2 state=3 sectors=4194304\n"
         "device 1:3 type=1 sectors=0 product=\"TAPE\"\n"
         "device 1:4 state=0 sectors=4194304\n"
         "device 2:0 state=3 sectors=4194304\n"
         "device 2:1 state=4 sectors=4194304\n"
         "logdrive raid=5 stripe=128\n"
         "  span start=0 blocks=2097152 members=0:0,0:1,0:2\n"
         "logdrive raid=1 stripe=128\n"
         "  span start=0 blocks=2097152 members=0:3,0:4\n"
         "logdrive raid=1 stripe=128\n"
         "  span start=0 blocks=2097152 members=0:5,0:6\n"
         "logdrive raid=0 stripe=128\n"
         "  span start=0 blocks=2097152 members=1:2\n"
         "logdrive raid=1 stripe=128\n"
         "  span start=0 blocks=2097152 members=2:0,2:1\n"
         "op rebuild dev=0:4 ld=1 start=1700000000000 duration=60000\n"
         "op check ld=2 start=1700000000000 duration=60000\n"
         "op init ld=3 start=1700000000000 duration=60000\n";
}

std::string SweepState(const Generation &g) {
  return libsim::StateText(
      {libsim::AdapterBlock(g.firmware, g.interface, 0, SweepSettings())},
      "clock 1700000030000\n");
}

// The ways one request is spoilt. A hard fault leaves the command failed;
// after a soft one the library cannot tell that the answer is wrong.
struct Spoil {
  const char *name;
  std::string rule;
  bool hard;
};

std::string HexOf(const std::vector<unsigned char> &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (unsigned char b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

std::vector<Spoil> Spoils() {
  std::vector<unsigned char> ones(256, 0xFF);
  std::vector<unsigned char> noise(256);
  std::mt19937 random(20261210);
  for (unsigned char &b : noise) b = static_cast<unsigned char>(random());
  return {
      {"refused", "fail", true},
      {"status", "status=85", true},
      {"nothing back", "short=0", false},
      {"one byte back", "short=1", false},
      {"all ones", "data=0:" + HexOf(ones), false},
      {"noise", "data=0:" + HexOf(noise), false},
      {"huge count", "count=4294967295", false},
  };
}

// Requests worth spoiling: of several requests of one kind (the same
// opcode and first parameter, or the same SCSI command) the first and the
// last, so that scans of every slot stay short.
std::vector<size_t> Positions(const std::vector<TraceLine> &lines,
                              std::vector<std::string> *areas) {
  std::map<std::string, std::vector<size_t>> byKind;
  std::vector<std::string> all;
  for (const TraceLine &l : lines) {
    if (l.at("kind") != "ioctl") continue;
    const std::string &area = l.at("area");
    const std::string kind =
        area.rfind("03", 0) == 0 ? area.substr(0, 8) : area.substr(0, 4);
    byKind[kind].push_back(all.size());
    all.push_back(area);
  }
  std::vector<size_t> chosen;
  for (const auto &entry : byKind) {
    chosen.push_back(entry.second.front());
    if (entry.second.size() > 1) chosen.push_back(entry.second.back());
  }
  std::sort(chosen.begin(), chosen.end());
  *areas = all;
  return chosen;
}

bool StartsWith(const std::string &s, const char *prefix) {
  return s.rfind(prefix, 0) == 0;
}

constexpr size_t kRecordBytes = sizeof(ConfigInfo_Struct);
constexpr unsigned char kUnwritten = 0xA5;

class FaultSweepTest
    : public LibSimTest,
      public ::testing::WithParamInterface<std::tuple<Operation, Generation>> {
 protected:
  void SetUp() override {
    LibSimTest::SetUp();
    setenv("HALVSIM_PROC_SCSI", (Dir() + "/proc-scsi").c_str(), 1);
    g_image = Dir() + "/image.bin";
    std::string image(1048576, '\0');
    image.replace(0, 4, "V362");
    const uint32_t size = 1048576;
    image.replace(24, 4, reinterpret_cast<const char *>(&size), 4);
    writeFile(g_image, image);
    record_.assign(kRecordBytes, kUnwritten);
  }
  void TearDown() override {
    LibSimTest::TearDown();
    unsetenv("HALVSIM_PROC_SCSI");
  }

  const Operation &Op() const { return std::get<0>(GetParam()); }

  // A fresh adapter and the library stopped.
  void Fresh() {
    if (IsApiInitialized() == 1) {
      ASSERT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
    }
    UseFaults("");
    UseState(SweepState(std::get<1>(GetParam())));
  }

  // Starts the library for the operation, unless the operation is the start.
  void StartForCall() {
    if (std::string(Op().name) != "InitLib") Start();
    Trace();
  }

  Int Call() {
    std::fill(record_.begin(), record_.end(), kUnwritten);
    return Op().call(record_.data());
  }

  // The answers a refused or failing command may give.
  std::vector<Int> Expected(const std::string &area, Int unspoilt) const {
    Int code = Op().failed;
    if (Op().validates && StartsWith(area, "61")) code = kAsUnspoilt;
    if (StartsWith(area, "7d")) code = kAsUnspoilt;
    if (Op().checksDevice && StartsWith(area, "03000612"))
      code = HVAPI_ERR_NO_DEVICE;
    std::vector<Int> codes = {code};
    bool listed = false;
    for (const Exception &e : Op().exceptions) {
      if (!StartsWith(area, e.area) ||
          (e.interface != 0 &&
           e.interface != std::get<1>(GetParam()).interface))
        continue;
      if (!listed) codes.clear();
      listed = true;
      codes.push_back(e.code);
    }
    for (Int &c : codes)
      if (c == kAsUnspoilt) c = unspoilt;
    return codes;
  }

  void CheckAnswer(Int result, const std::vector<Int> &expected) {
    for (Int c : expected) {
      if (c == result || (c == kAnyAnswer && result >= 0) ||
          (c == kAnswerOrFailed && (result >= 0 || result == Op().failed)) ||
          (c == kNonZero && result != 0))
        return;
    }
    std::string list;
    for (Int c : expected) list += " " + std::to_string(c);
    ADD_FAILURE() << "answered " << result << ", expected one of" << list;
  }

  void CheckSoftAnswer(Int result) {
    if (result >= 0) return;
    const std::vector<Int> &codes = Op().codes;
    EXPECT_TRUE(result == Op().failed ||
                std::find(codes.begin(), codes.end(), result) != codes.end())
        << "answered " << result;
  }

  void CheckRecord(Int result) {
    if (result >= 0) return;
    switch (Op().leaves) {
      case Leaves::kUntouched:
        EXPECT_EQ(std::string(record_.size(), char(kUnwritten)),
                  std::string(record_.begin(), record_.end()))
            << "the record was written";
        break;
      case Leaves::kCountsZero:
        // A refusal of the validations comes before the record is touched.
        if (result == HVAPI_ERR_RECONSTRUCTING) break;
        for (size_t i = 0; i < Op().countBytes; ++i)
          EXPECT_EQ(0, record_[i]) << "count byte " << i;
        break;
      default:
        break;
    }
  }

  // The lock is free, the library answers again, and once it is stopped
  // it holds nothing more than before it started.
  void CheckAfterwards(int descriptors, uint64_t low) {
    UseFaults("");
    // The semaphore is shared machine-wide; only a hold of this process
    // counts (the last to operate on it, with the value still up).
    if (giSemId > 0) {
      const bool held = semctl(giSemId, 0, GETVAL) > 0 &&
                        semctl(giSemId, 0, GETPID) == getpid();
      EXPECT_FALSE(held) << "the lock is still held";
      if (held) Sem_Post();
    }
    if (IsApiInitialized() == 1) {
      EXPECT_GE(GetReconPrg(0), 0) << "the next call fails";
      EXPECT_EQ(0, CloseLib(HVAPI_APP_HANDLE));
    }
    EXPECT_EQ(descriptors, libsim::OpenDescriptorCount()) << "descriptors";
    EXPECT_EQ(low, libsim::LowMappedBytes()) << "memory below 4 GiB";
    EXPECT_EQ(HVAPI_APP_HANDLE, InitLib(0, 0)) << "the next start fails";
  }

  std::vector<unsigned char> record_;
};

TEST_P(FaultSweepTest, EverySpoiltCommand) {
  Fresh();
  StartForCall();
  const Int unspoilt = Call();
  std::vector<std::string> areas;
  const std::vector<size_t> positions = Positions(Trace(), &areas);
  const std::vector<Spoil> spoils = Spoils();
  // The cases go untraced: the trace has told what each one is.
  unsetenv("HALVSIM_TRACE");
  for (size_t position : positions) {
    for (const Spoil &spoil : spoils) {
      SCOPED_TRACE("request " + std::to_string(position + 1) + " (area " +
                   areas[position] + ") " + spoil.name);
      Fresh();
      const int descriptors = libsim::OpenDescriptorCount();
      const uint64_t low = libsim::LowMappedBytes();
      StartForCall();
      UseFaults("from=" + std::to_string(position + 1) + " times=1 " +
                spoil.rule);
      const Int result = Call();
      if (spoil.hard)
        CheckAnswer(result, Expected(areas[position], unspoilt));
      else
        CheckSoftAnswer(result);
      CheckRecord(result);
      CheckAfterwards(descriptors, low);
      if (HasFailure()) return;  // one case at a time is enough to read
    }
  }
}

// An initialisation progress word the adapter filled with ones is no
// percentage: it answers as finished, not as the negative code -1.
TEST_F(LibSimTest, InitialisationProgressOfAllOnesAnswersFinished) {
  UseState(SweepState(drives::kGenerations[0]));
  Start();
  UseFaults("op=0x1b data=0:ffffffff");
  EXPECT_EQ(100, GetInitPrg(0, 3));
  UseFaults("op=0x1b data=0:65000000");
  EXPECT_EQ(100, GetInitPrg(0, 3));
  UseFaults("");
  EXPECT_EQ(50, GetInitPrg(0, 3));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FaultSweepTest,
    ::testing::Combine(::testing::ValuesIn(kOperations),
                       ::testing::Values(drives::kGenerations[0],
                                         drives::kGenerations[2])),
    [](const ::testing::TestParamInfo<std::tuple<Operation, Generation>> &p) {
      return std::string(std::get<0>(p.param).name) + "_" +
             std::get<1>(p.param).name;
    });

}  // namespace
