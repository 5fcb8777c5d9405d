// The simulator's state file on any text: it is read or refused with a
// message naming the bad line. A scenario that reads is written in the
// canonical form, which reads again to the same text; the state store takes
// it from a file as the interposed calls do; and the firmware answers the
// library's read commands on each of its adapters.
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "Firmware.h"
#include "Scenario.h"
#include "StateStore.h"
#include "StateText.h"

namespace {

// Commands that only read: enquiries and disk arrays of both generations,
// a device state, product information, the drive history.
const halvsim::Bytes kReadCommands[] = {
    {0x05},       {0x04},       {0x0C},       {0x07},          {0x67},
    {0xA1, 0x04}, {0xA1, 0x05}, {0xA1, 0x0E}, {0xA1, 0x0F, 2}, {0x31, 0, 1},
    {0x92},       {0x53},       {0x52},       {0x62, 1},       {0x61},
    {0x19, 0},    {0x18, 0, 1},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  halvsim::Scenario scenario;
  std::string error;
  if (!halvsim::ReadScenario(text, &scenario, &error)) {
    if (error.empty()) fuzz::Fail("a refused state file has no message");
    return 0;
  }
  const std::string canonical = halvsim::WriteScenario(scenario);
  halvsim::Scenario again;
  if (!halvsim::ReadScenario(canonical, &again, &error))
    fuzz::Fail(("the canonical form does not read: " + error).c_str());
  if (halvsim::WriteScenario(again) != canonical)
    fuzz::Fail("the canonical form reads to another scenario");

  const std::string path = fuzz::ScratchPath("state");
  fuzz::WriteFile(path, text);
  setenv("HALVSIM_STATE", path.c_str(), 1);
  bool ok = halvsim::StateStore::Instance().Transact(
      [&](halvsim::Scenario& sc) {
        const int64_t now = sc.clock_ms ? sc.clock_ms : 1700000000000;
        for (size_t i = 0; i < sc.adapters.size(); ++i) {
          halvsim::Settle(sc.adapters[i], now);
          for (const halvsim::Bytes& area : kReadCommands) {
            halvsim::Command command;
            command.area = area;
            command.area.resize(halvsim::kMailboxAreaSize, 0);
            (void)halvsim::Execute(sc, i, command, now);
          }
        }
      },
      &error);
  if (!ok)
    fuzz::Fail(("the state store refuses a state file: " + error).c_str());
  return 0;
}
