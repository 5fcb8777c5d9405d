// Announcing an adapter's logical drives to the Linux SCSI layer, so that
// the operating system sees them as disks, and remembering how many were.
#include <cstdio>
#include <cstring>

#include "core/ApiLock.h"
#include "core/Validations.h"
#include "firmware/FirmwareLayouts.h"
#include "ops/AdapterOps.h"
#include "ops/ArrayImage.h"
#include "ops/DiskArray.h"

namespace {

constexpr const char *kScsiControlFile = "/proc/scsi/scsi";
constexpr size_t kLineBlock = 80;
constexpr int kLunsPerId = 8;
constexpr Int kUnknownHost = 255;
// One entry more than adapters, as the driver answers the sequence.
constexpr int kSequenceEntries = HVAPI_MAX_ADAPTERS + 1;

// The adapter's channel count as its cache holds it; the SCSI layer sees
// the logical drives on the channel after the physical ones.
int AnnouncedChannel(UChar uchAdaptNo) {
  const void *cache = GetAdpCache(uchAdaptNo);
  if (cache == nullptr) return 0;
  if (AdapterFwType(uchAdaptNo) == HVAPI_FW_40LD) {
    return static_cast<const ADAP_DATA_8SPAN_40LD *>(cache)
        ->stRdProInfo40LD.uchSCSIChanPresent;
  }
  return static_cast<const HALVORAN_ENQ_8LD *>(cache)
      ->stAdpInfo8LD.uchChansPresent;
}

// Writes one line as its own 80-byte block: 0 or -11.
Int WriteLine(int host, int channel, int drive) {
  char block[kLineBlock] = {};
  std::snprintf(block, sizeof block, "scsi add-single-device %d %d %d %d", host,
                channel, drive / kLunsPerId, drive % kLunsPerId);
  FILE *file = std::fopen(kScsiControlFile, "wr");
  if (file == nullptr) return HVAPI_ERR_CMD_FAILED;
  const bool written =
      std::fwrite(block, 1, sizeof block, file) == sizeof block &&
      std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  return written && closed ? 0 : HVAPI_ERR_CMD_FAILED;
}

// Announces drives from (all) or from the announced count up to the
// adapter's count, then records the count.
Int Announce(UChar uchAdaptNo, bool all) {
  const Int valid = PerformValidations(uchAdaptNo);
  if (valid != 0) return valid;
  Int sequence[kSequenceEntries] = {};
  const Int total = GetTotalAdapters();
  const bool known = total >= 1 && total <= HVAPI_MAX_ADAPTERS &&
                     GetAdpSeq(sequence, total) == 0 &&
                     sequence[uchAdaptNo] != kUnknownHost;
  DiskArray array;
  if (array.Read(AdapterFwType(uchAdaptNo)) != 0) return HVAPI_ERR_CMD_FAILED;
  UChar *announced = AnnouncedCount(uchAdaptNo);
  if (announced == nullptr) return HVAPI_ERR_CMD_FAILED;
  const int count = array.Count();
  const int from = all ? 0 : *announced;
  if (!all && from >= count) return HVAPI_ERR_NONE_NEW;
  // Without the host number no line can name the adapter: announcing
  // nothing is a failure, not a success.
  if (from < count && !known) return HVAPI_ERR_CMD_FAILED;
  const int channel = AnnouncedChannel(uchAdaptNo);
  for (int i = from; i < count; ++i) {
    const Int line = WriteLine(sequence[uchAdaptNo], channel, i);
    if (line != 0) return line;
  }
  *announced = static_cast<UChar>(count);
  return 0;
}

}  // namespace

extern "C" Int AddSettoOS(UChar uchAdaptNo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  return Announce(uchAdaptNo, true);
}

extern "C" Int MakeDrvUse(UChar uchAdaptNo) {
  if (IsApiInitialized() != 1) return HVAPI_ERR_NOT_INITIALISED;
  ApiLock lock;
  if (!lock.LibraryStarted()) return HVAPI_ERR_NOT_INITIALISED;
  return Announce(uchAdaptNo, false);
}
