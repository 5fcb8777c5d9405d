#include "core/Validations.h"

#include "core/IssueCmd.h"

namespace {
constexpr uint8_t kReconDone = 100;  // percent: no reconstruction running
constexpr Int kDefaultInitiatorID = 7;
constexpr Int kMaxInitiatorID = 15;
constexpr Int kUnknownSequence = 255;
}  // namespace

extern "C" Int PerformValidations(UChar uchAdaptNo) {
  if (IsReconProgress(uchAdaptNo) == 1) return HVAPI_ERR_RECONSTRUCTING;
  if (ValidateAdapterNo(static_cast<signed char>(uchAdaptNo)) != 1) {
    return HVAPI_ERR_BAD_ADAPTER;
  }
  SetCurrentAdaptNumber(uchAdaptNo);
  return 0;
}

extern "C" Int IsReconProgress(UChar uchAdaptNo) {
  SetCurrentAdaptNumber(uchAdaptNo);
  uint8_t progress[4] = {};
  if (IssueCmd(0x61, 0, reinterpret_cast<unsigned long>(progress), 0, 0) != 0)
    return 0;
  return progress[0] != kReconDone ? 1 : 0;
}

extern "C" Int GetInitiatorID(void) {
  uint8_t id = 0;
  if (IssueCmd(0x7D, 0, reinterpret_cast<unsigned long>(&id), 0, 0) != 0) {
    return kDefaultInitiatorID;
  }
  return id <= kMaxInitiatorID ? id : kDefaultInitiatorID;
}

extern "C" Int GetAdpSeq(Int *iAdpSeq, Int iNoOfAdps) {
  if (iAdpSeq == nullptr || iNoOfAdps < 0) return HVAPI_ERR_CMD_FAILED;
  if (IssueCmd(0x104, 0, reinterpret_cast<unsigned long>(iAdpSeq),
               static_cast<ULong32>(iNoOfAdps), 0) != 0) {
    return HVAPI_ERR_CMD_FAILED;
  }
  return iAdpSeq[0] == kUnknownSequence ? HVAPI_ERR_CMD_FAILED : 0;
}
