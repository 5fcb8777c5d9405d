// Reading a stored configuration (the adapter's or a disk's copy) into the
// application's records, and making the adapter adopt one of them.
#include <cstring>
#include <memory>
#include <new>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/AdapterOpcodes.h"
#include "ops/AdapterOps.h"
#include "ops/ArrayImage.h"
#include "ops/DeviceChecks.h"
#include "ops/DiskArray.h"
#include "ops/LogicalDriveSize.h"

namespace {

constexpr UChar kDiskConfig = 1;
constexpr UChar kMaxSourceAddress = 16;
constexpr ULong32 kBiosWordRead = 1;
constexpr UChar kConfigsAgree = 1;

// The largest answer a stored configuration may take: the 40LD array.
constexpr size_t kConfigBytes = sizeof(APP_DISC_ARRAY_40LD);

Int CheckSourceDisk(const Config_Struct &source) {
  if (source.uchConfig != kDiskConfig) return 0;
  // Target 16 passes the range test but names target 0 of the next channel.
  if (source.uchTarg >= HVAPI_TARGETS_PER_CHANNEL) return HVAPI_ERR_NO_DEVICE;
  RESPONSE_DATA answer;
  if (Inquire(source.uchChan, source.uchTarg, &answer) != 0 || !IsDisk(answer))
    return HVAPI_ERR_NO_DEVICE;
  return 0;
}

// Reads the chosen configuration into raw and checks its logical drive
// count, then the rest of it, into *array.
Int ReadChosen(UChar fwType, const Config_Struct &source, uint8_t *raw,
               DiskArray *array) {
  Int op = 0;
  Int objid = 0;
  size_t size = 0;
  if (!DiskArrayCommand(fwType, &op, &objid, &size))
    return HVAPI_ERR_CMD_FAILED;
  std::memset(raw, 0, kConfigBytes);
  if (source.uchConfig == kDiskConfig) {
    const Int number = DeviceNumber(source.uchChan, source.uchTarg);
    const Int sent = fwType == HVAPI_FW_40LD
                         ? SendAdapterCommand(kOp40LD, kSub40LDReadDeviceConfig,
                                              raw, static_cast<ULong32>(number))
                         : SendAdapterCommand(kOpDeviceConfig8LD, number, raw,
                                              static_cast<ULong32>(number));
    if (sent != 0) return HVAPI_ERR_CMD_FAILED;
  } else if (SendAdapterCommand(op, objid, raw) != 0) {
    return HVAPI_ERR_CMD_FAILED;
  }
  const int limit =
      fwType == HVAPI_FW_40LD ? HVAPI_MAX_LDRV_40LD : HVAPI_MAX_LDRV_8LD;
  if (raw[0] < 1 || raw[0] > limit) return HVAPI_ERR_CONFIG_COUNT;
  return array->Parse(fwType, raw);
}

// True when the adapter's configuration and the disks' copies agree; false
// with *failed set when the word cannot be read.
bool ConfigsAgree(bool *failed) {
  UChar word[2] = {0, 0};
  *failed = SendAdapterCommand(kOpBiosWord, 0, word, kBiosWordRead) != 0;
  return word[1] == kConfigsAgree;
}

void FillConfig(const DiskArray &array, RaidConfig_Struct *out) {
  out->uchNoOfLD = static_cast<UChar>(array.Count());
  for (int i = 0; i < array.Count(); ++i) {
    const ArrayLogicalDrive &d = array.Drive(i);
    FullLogDrvInfo_struct &full = out->astFullLogDrvInfo[i];
    FillLdrv(d, static_cast<UChar>(i), &full.stLdrv);
    for (int s = 0; s < d.spanDepth; ++s) {
      ArrayInfo_Struct &span = full.astArrayInfo[s];
      span.uchPhyDrvPerArray = d.rowSize;
      for (int k = 0; k < d.rowSize; ++k) {
        const ArrayMember &m = d.members[s][k];
        if (array.Is8LD()) {
          span.astDrives[k].uchChanNo = m.channel;
          span.astDrives[k].uchTargID = m.target;
        } else {
          span.astDrives[k].uchChanNo =
              static_cast<UChar>(m.target >> kDeviceChannelShift);
          span.astDrives[k].uchTargID =
              static_cast<UChar>(m.target & kDeviceTargetMask);
        }
      }
    }
  }
}

std::unique_ptr<uint8_t[]> ConfigBuffer() {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[kConfigBytes]());
}

}  // namespace

extern "C" Int ReadConfig(UChar uchAdaptNo, Config_Struct *pstConfig,
                          RaidConfig_Struct *pstRaidConfig) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstConfig == nullptr || pstRaidConfig == nullptr)
    return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  auto raw = ConfigBuffer();
  if (!raw) return HVAPI_ERR_CMD_FAILED;
  const Config_Struct source = *pstConfig;
  if (source.uchConfig > kDiskConfig || source.uchChan > kMaxSourceAddress ||
      source.uchTarg > kMaxSourceAddress)
    return HVAPI_ERR_BAD_ARGUMENT;
  const Int disk = CheckSourceDisk(source);
  if (disk != 0) return disk;
  // The parsed drives are large; they stay off the stack.
  std::unique_ptr<DiskArray> array(new (std::nothrow) DiskArray);
  if (!array) return HVAPI_ERR_CMD_FAILED;
  const Int read =
      ReadChosen(AdapterFwType(uchAdaptNo), source, raw.get(), array.get());
  if (read != 0) return read;
  FillConfig(*array, pstRaidConfig);
  return 0;
}

extern "C" Int UseConfig(UChar uchAdaptNo, Config_Struct *pstConfig) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  if (pstConfig == nullptr) return HVAPI_ERR_BAD_ARGUMENT;
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  auto raw = ConfigBuffer();
  if (!raw) return HVAPI_ERR_CMD_FAILED;
  const Config_Struct source = *pstConfig;
  if (source.uchConfig > kDiskConfig) return HVAPI_ERR_BAD_ARGUMENT;
  bool failed = false;
  const bool agree = ConfigsAgree(&failed);
  if (failed) return HVAPI_ERR_CMD_FAILED;
  if (agree) return HVAPI_ERR_CONFIGS_AGREE;
  if (source.uchChan > kMaxSourceAddress || source.uchTarg > kMaxSourceAddress)
    return HVAPI_ERR_BAD_ARGUMENT;
  const Int disk = CheckSourceDisk(source);
  if (disk != 0) return disk;
  const UChar fwType = AdapterFwType(uchAdaptNo);
  std::unique_ptr<DiskArray> array(new (std::nothrow) DiskArray);
  if (!array) return HVAPI_ERR_CMD_FAILED;
  const Int read = ReadChosen(fwType, source, raw.get(), array.get());
  if (read != 0) return read;
  // The bytes go back as they came: the adapter reads its own layout.
  ArrayImage image;
  if (image.Reset(fwType) != 0) return HVAPI_ERR_CMD_FAILED;
  image.CopyFrom(raw.get());
  return image.Write();
}
