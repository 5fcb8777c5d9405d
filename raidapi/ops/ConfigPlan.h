// The checks and the sizing that the configuration writes share: the
// firmware's limits, each member's address and disk, the span sizes, the
// capacity the logical drives need, and how a set is laid out on its spans.
#ifndef HVAPI_OPS_CONFIG_PLAN_H
#define HVAPI_OPS_CONFIG_PLAN_H

#include <cstdint>

#include "hvapi.h"
#include "ops/ArrayImage.h"

struct ConfigLimits {
  int drives;      // logical drives in the configuration
  int spans;       // spans per set
  UChar channels;  // channels accepted: below this
  int devices;     // member devices in the configuration
  int perSpan;     // member devices a span record holds
};

ConfigLimits LimitsOf(UChar fwType);

// One set as the caller describes it. A RaidSet_Struct has one level and
// stripe for all its drives; a NewRaidSet_Struct one per drive.
struct SetRequest {
  UChar spanCount = 0;
  const ArrayInfo_Struct *spans = nullptr;
  UChar *driveCount = nullptr;
  LogDrvInfo_Struct *drives = nullptr;
  bool oneLevel = false;
  UChar level = 0;
  UChar stripe = 0;

  UChar Level(int i) const { return oneLevel ? level : drives[i].uchRaidLevel; }
  UChar Stripe(int i) const {
    return oneLevel ? stripe : drives[i].uchStripeSize;
  }
  UChar PerSpan() const { return spans[0].uchPhyDrvPerArray; }
};

SetRequest RequestOf(NewRaidSet_Struct *set);
SetRequest RequestOf(RaidSet_Struct *set);

bool IsWritableLevel(UChar level);
// Stripe sizes whose doubled firmware byte fits: 0 and 2 to 64.
bool IsWritableStripe(UChar stripe);

// Channel (-14) and target (-18) of one member: 0 or the code.
Int CheckMemberAddress(UChar uchAdaptNo, const ConfigLimits &limits,
                       const RaidSetDrive_Struct &device);

// True when the device at span, index of set also appears at any later
// position of the sets (later in this span, in later spans, in later sets).
bool NamedLater(const SetRequest *sets, int count, int set, int span,
                int index);

// Spans of unequal device counts give -51; then every member must answer
// INQUIRY as a disk (-31) and its capacity (-11). *smallestMiB is the
// smallest member's size in MiB.
Int MeasureSet(const SetRequest &set, ULong32 *smallestMiB);

// The level against n devices per span: -17 or 0.
Int CheckLevelFits(UChar level, int n);

// Blocks that one span gives a drive of sizeMiB.
uint64_t SpanBlocks(ULong32 sizeMiB, UChar level, int spans, int n);

// -53 unless the drives of the set fit on members of smallestMiB each.
Int CheckSetFits(const SetRequest &set, ULong32 smallestMiB);

// Lays the drives of set out as records first, first + 1, ...: their spans
// from *start on (it grows by each span's blocks), and marks the members
// online with their capacity, asked again (-11). -53 when a start block no
// longer fits 32 bits.
Int BuildSet(const SetRequest &set, int first, uint64_t *start,
             ArrayImage *image);

#endif  // HVAPI_OPS_CONFIG_PLAN_H
