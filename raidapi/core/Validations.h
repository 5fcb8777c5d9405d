// The checks every adapter operation runs before its commands, and the small
// queries that send a command of their own. None takes the lock: the
// exported operation that calls them holds it.
#ifndef HVAPI_CORE_VALIDATIONS_H
#define HVAPI_CORE_VALIDATIONS_H

#include "hvapi.h"

extern "C" {

// Refuses an adapter that is reconstructing (-42) or that was not found
// (-44); otherwise makes it current and returns 0. The reconstruction query
// makes the adapter current in either case.
HVAPI_EXPORT Int PerformValidations(UChar uchAdaptNo);

// Makes the adapter current and answers 1 while it reports a reconstruction
// under way, 0 otherwise (a failed query included).
HVAPI_EXPORT Int IsReconProgress(UChar uchAdaptNo);

// The current adapter's SCSI initiator ID, or 7 when the query fails or the
// answer is not a valid ID.
HVAPI_EXPORT Int GetInitiatorID(void);

// Reads the driver's adapter sequence (iNoOfAdps * 4 + 4 bytes) into
// iAdpSeq. Returns 0; -11 when the query fails or the driver marks the
// sequence unknown (first entry 255).
HVAPI_EXPORT Int GetAdpSeq(Int *iAdpSeq, Int iNoOfAdps);

}  // extern "C"

#endif  // HVAPI_CORE_VALIDATIONS_H
