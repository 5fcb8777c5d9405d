// The one scenario that every process sees. With HALVSIM_STATE naming a file,
// each transaction takes an exclusive lock on "<file>.lock", re-reads the
// file when another process changed it (seeding it from HALVSIM_PRESET when
// it does not exist), and writes it back atomically when the scenario
// changed. Without HALVSIM_STATE the scenario lives in this process only.
#ifndef HALVSIM_STATE_STORE_H
#define HALVSIM_STATE_STORE_H

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "Scenario.h"

namespace halvsim {

// Preset used when HALVSIM_PRESET is not set.
constexpr const char *kDefaultPreset = "one40ld";

class StateStore {
 public:
  // Runs fn on the scenario under the lock and keeps what it changed. False
  // (with *error) when the state cannot be had or kept.
  bool Transact(const std::function<void(Scenario &)> &fn, std::string *error);

  // The process-wide store the interposed calls use.
  static StateStore &Instance();

  // The state file's path from the environment, "" for none.
  static std::string StatePath();

 private:
  struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    int64_t mtime_ns = 0;
    int64_t ctime_ns = 0;
    bool operator==(const Identity &o) const {
      return dev == o.dev && ino == o.ino && size == o.size &&
             mtime_ns == o.mtime_ns && ctime_ns == o.ctime_ns;
    }
  };

  bool Load(const std::string &path, const std::string &preset,
            uint64_t generation, std::string *error);
  bool Save(const std::string &path, const std::string &text,
            std::string *error);

  std::mutex mu_;
  Scenario scenario_;
  bool valid_ = false;
  std::string path_;    // file the cached scenario came from, "" in memory
  std::string preset_;  // preset of an in-memory scenario
  Identity identity_;
  std::string text_;         // the file's content as last read or written
  uint64_t generation_ = 0;  // writes counted in the lock file
};

// Writes text to path through a temporary file and a rename, so readers see
// the old or the new content, never a mix.
bool WriteFileAtomically(const std::string &path, const std::string &text,
                         std::string *error);
bool ReadWholeFile(const std::string &path, std::string *text,
                   std::string *error);

}  // namespace halvsim

#endif  // HALVSIM_STATE_STORE_H
