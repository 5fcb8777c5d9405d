// Version numbers as JVMs report them ("1.8", "11", "17.0.2", "1.8.0_392"):
// compared number by number, so that 1.8 < 11 < 17.0.2.
#ifndef LAUNCHER_JVM_VERSIONCOMPARE_H_
#define LAUNCHER_JVM_VERSIONCOMPARE_H_

#include "core/SString.h"

// Compares the runs of digits of a and b in order, as whole numbers, a
// missing one counting as 0 (17 equals 17.0). order is negative, 0 or
// positive as a is below, equal to or above b. False, order unchanged,
// when either text holds no number at all.
bool compareVersions(const SString& a, const SString& b, int& order);

#endif  // LAUNCHER_JVM_VERSIONCOMPARE_H_
