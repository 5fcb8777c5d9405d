// The checks every adapter operation runs before its commands, and the small
// queries that send a command of their own. None takes the lock: the
// exported operation that calls them holds it.
#ifndef HVAPI_CORE_VALIDATIONS_H
#define HVAPI_CORE_VALIDATIONS_H

#include "hvapi.h"
#include "hvapi_lowlevel.h"

#endif  // HVAPI_CORE_VALIDATIONS_H
