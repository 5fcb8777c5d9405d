// The texts of the library's return codes, for tools that show them to
// people next to the number.
#include "hvapi.h"

namespace {

struct CodeText {
  Int code;
  const Char *text;
};

constexpr CodeText kTexts[] = {
    {HVAPI_APP_HANDLE, "library started"},
    {HVAPI_SUCCESS, "success"},
    {HVAPI_ERR_TRANSPORT, "transport failure"},
    {HVAPI_ERR_NO_ADAPTER, "no adapter found"},
    {HVAPI_ERR_CHECK_REFUSED, "the adapter refused the consistency check"},
    {HVAPI_ERR_IS_MEMBER, "the device is a member of a logical drive"},
    {HVAPI_ERR_NOT_MEMBER, "the device is in no logical drive"},
    {HVAPI_ERR_NOT_OPTIMAL, "the logical drive is not optimal or is busy"},
    {HVAPI_ERR_CMD_FAILED, "a command to the adapter failed"},
    {HVAPI_ERR_INIT_RUNNING, "an initialisation is running"},
    {HVAPI_ERR_BAD_CHANNEL, "channel out of range"},
    {HVAPI_ERR_BAD_ARGUMENT, "an argument is out of range"},
    {HVAPI_ERR_BAD_RAID_LEVEL, "RAID level not possible"},
    {HVAPI_ERR_BAD_TARGET, "target out of range or the adapter's own ID"},
    {HVAPI_ERR_BAD_LDRV, "logical drive out of range"},
    {HVAPI_ERR_NO_LDRV, "no logical drive configured"},
    {HVAPI_ERR_NO_INIT, "no initialisation is running"},
    {HVAPI_ERR_NOT_INITIALISED, "library not initialised"},
    {HVAPI_ERR_RAID0, "RAID 0 has no redundancy"},
    {HVAPI_ERR_TOO_FEW_DEVICES, "too few devices for the RAID level"},
    {HVAPI_ERR_NOT_HOTSPARE, "the device is no hot spare"},
    {HVAPI_ERR_NO_DEVICE, "no disk answers at that address"},
    {HVAPI_ERR_TOO_MANY_DEVICES, "too many devices"},
    {HVAPI_ERR_RECONSTRUCTING, "the adapter is busy with a reconstruction"},
    {HVAPI_ERR_BAD_ADAPTER, "adapter number out of range"},
    {HVAPI_ERR_CHECK_RUNNING, "a consistency check is running"},
    {HVAPI_ERR_ABORT_REFUSED, "the adapter refused to abort the check"},
    {HVAPI_ERR_BAD_HANDLE, "not the library's application handle"},
    {HVAPI_ERR_LDRV_COUNT, "no or too many logical drives"},
    {HVAPI_ERR_SPAN_COUNT, "no or too many spans"},
    {HVAPI_ERR_BAD_STRIPE, "stripe size not accepted"},
    {HVAPI_ERR_SPAN_DEVICES, "device count of a span not accepted"},
    {HVAPI_ERR_DEVICE_TWICE, "a device is listed twice"},
    {HVAPI_ERR_NO_CAPACITY, "the spans cannot hold the logical drives"},
    {HVAPI_ERR_DEVICE_IN_USE, "the device is a member or a hot spare"},
    {HVAPI_ERR_NO_REBUILD, "no rebuild is running on the device"},
    {HVAPI_ERR_BAD_FW_FILE, "the firmware image failed its check"},
    {HVAPI_ERR_NEEDS_40LD, "firmware download needs a 40LD adapter"},
    {HVAPI_ERR_NONE_NEW, "no logical drive left to announce"},
    {HVAPI_ERR_TOO_MANY_ADAPTERS, "more than six adapters found"},
    {HVAPI_ERR_SPANNED, "the logical drive has several spans"},
    {HVAPI_ERR_DEVICE_SMALL, "the device is smaller than the members"},
    {HVAPI_ERR_CONFIGS_AGREE, "the configurations agree already"},
    {HVAPI_ERR_CONFIG_COUNT, "the configuration's drive count is not valid"},
    {HVAPI_ERR_NOT_CLUSTERED, "changing the ID needs cluster mode"},
    {HVAPI_ERR_SET_COUNT, "no or too many sets"},
};

}  // namespace

extern "C" HVAPI_EXPORT const Char *GetReturnCodeText(Int iCode) {
  for (const CodeText &entry : kTexts)
    if (entry.code == iCode) return entry.text;
  return "unknown return code";
}
