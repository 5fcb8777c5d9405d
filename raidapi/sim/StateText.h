// The state file's text form: a versioned, line-oriented description of a
// Scenario that people can read and edit, and its parser.
#ifndef HALVSIM_STATE_TEXT_H
#define HALVSIM_STATE_TEXT_H

#include <string>
#include <vector>

#include "Scenario.h"

namespace halvsim {

constexpr int kStateFormatVersion = 1;

std::string WriteScenario(const Scenario &scenario);

// Parses text into *out; on failure answers false and describes the first
// bad line in *error, leaving *out unspecified.
bool ReadScenario(const std::string &text, Scenario *out, std::string *error);

// One fault rule in the "key=value ..." form of a state-file fault line (and
// of HALVSIM_FAULTS), without the leading word.
bool ParseFaultRule(const std::string &text, FaultRule *out,
                    std::string *error);
std::string FormatFaultRule(const FaultRule &rule);

// Edits in the state file's terms, for tools: one adapter setting or one of
// the scenario's own (clock, node, foreign-disks); "key=value" words for a
// device, a logical drive or a new operation (whose first word is its kind).
bool SetScenarioSetting(Scenario *sc, const std::string &key,
                        const std::string &value, std::string *error);
bool SetAdapterSetting(Adapter *ad, const std::string &key,
                       const std::string &value, std::string *error);
bool SetDeviceFields(Device *dev, const std::vector<std::string> &words,
                     std::string *error);
bool SetDriveFields(LogicalDrive *drive, const std::vector<std::string> &words,
                    std::string *error);
bool ParseOperation(const std::vector<std::string> &words, Operation *op,
                    std::string *error);
bool ParseDeviceRef(const std::string &text, DevRef *out);

}  // namespace halvsim

#endif  // HALVSIM_STATE_TEXT_H
