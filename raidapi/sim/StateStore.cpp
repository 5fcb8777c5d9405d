#include "StateStore.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Presets.h"
#include "StateText.h"
#include "SystemCalls.h"

namespace halvsim {

namespace {

std::string Errno(const std::string &what, const std::string &path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string PresetName() {
  const char *p = std::getenv("HALVSIM_PRESET");
  return p && *p ? p : kDefaultPreset;
}

// Holds an exclusive lock on a lock file for its lifetime. The file is opened
// for each transaction: flock locks belong to an open file, which a forked
// child would otherwise share with its parent.
class FileLock {
 public:
  explicit FileLock(const std::string &path) {
    fd_ = sys::Open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (sys::Flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        sys::Close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) sys::Close(fd_);  // closing releases the lock
  }
  bool ok() const { return fd_ >= 0; }

  // The lock file also counts the writes of the state file: file times are
  // too coarse, and inode numbers too readily reused, to tell two quick
  // writes apart by themselves.
  uint64_t Generation() const {
    uint64_t g = 0;
    if (sys::Pread(fd_, &g, sizeof g, 0) != static_cast<ssize_t>(sizeof g))
      g = 0;
    return g;
  }
  void SetGeneration(uint64_t g) const {
    if (sys::Pwrite(fd_, &g, sizeof g, 0) != static_cast<ssize_t>(sizeof g)) {
      // Without the count, identity alone decides; nothing else to do.
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace

StateStore &StateStore::Instance() {
  // Never destroyed: requests may come while the process exits.
  static StateStore *store = [] {
    auto *s = new StateStore;
    // A fork while another thread is inside a transaction must not leave
    // the child with a lock nobody will release.
    pthread_atfork([] { Instance().mu_.lock(); },
                   [] { Instance().mu_.unlock(); },
                   [] { Instance().mu_.unlock(); });
    return s;
  }();
  return *store;
}

std::string StateStore::StatePath() {
  const char *p = std::getenv("HALVSIM_STATE");
  return p ? p : "";
}

bool ReadWholeFile(const std::string &path, std::string *text,
                   std::string *error) {
  int fd = sys::Open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Errno("cannot open", path);
    return false;
  }
  text->clear();
  char buf[8192];
  for (;;) {
    ssize_t n = sys::Read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = Errno("cannot read", path);
      sys::Close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(buf, static_cast<size_t>(n));
  }
  sys::Close(fd);
  return true;
}

bool WriteFileAtomically(const std::string &path, const std::string &text,
                         std::string *error) {
  std::string tmp = path + ".tmp." + std::to_string(::getpid());
  int fd =
      sys::Open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Errno("cannot create", tmp);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = sys::Write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = Errno("cannot write", tmp);
      sys::Close(fd);
      sys::Unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (sys::Close(fd) != 0 || sys::Rename(tmp.c_str(), path.c_str()) != 0) {
    *error = Errno("cannot replace", path);
    sys::Unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool StateStore::Load(const std::string &path, const std::string &preset,
                      uint64_t generation, std::string *error) {
  struct stat st;
  if (sys::Stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      *error = Errno("cannot stat", path);
      return false;
    }
    Scenario fresh;
    if (!MakePreset(preset, &fresh)) {
      *error = "unknown preset '" + preset + "'";
      return false;
    }
    // Written by the transaction, as any change is.
    scenario_ = fresh;
    path_ = path;
    valid_ = true;
    generation_ = generation;
    text_.clear();
    return true;
  }
  Identity id;
  id.dev = st.st_dev;
  id.ino = st.st_ino;
  id.size = st.st_size;
  id.mtime_ns = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  id.ctime_ns = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
  if (valid_ && path_ == path && id == identity_ && generation == generation_)
    return true;
  std::string text, why;
  if (!ReadWholeFile(path, &text, error)) return false;
  Scenario parsed;
  if (!ReadScenario(text, &parsed, &why)) {
    valid_ = false;
    *error = path + ": " + why;
    return false;
  }
  scenario_ = parsed;
  path_ = path;
  identity_ = id;
  text_ = WriteScenario(parsed);  // a hand-written file stays until a change
  generation_ = generation;
  valid_ = true;
  return true;
}

bool StateStore::Save(const std::string &path, const std::string &text,
                      std::string *error) {
  if (!WriteFileAtomically(path, text, error)) {
    valid_ = false;
    return false;
  }
  text_ = text;
  struct stat st;
  if (sys::Stat(path.c_str(), &st) != 0) {
    valid_ = false;
    return true;  // written; the next transaction re-reads it
  }
  identity_.dev = st.st_dev;
  identity_.ino = st.st_ino;
  identity_.size = st.st_size;
  identity_.mtime_ns =
      int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  identity_.ctime_ns =
      int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
  return true;
}

bool StateStore::Transact(const std::function<void(Scenario &)> &fn,
                          std::string *error) {
  std::lock_guard<std::mutex> guard(mu_);
  std::string path = StatePath();
  std::string preset = PresetName();
  if (path.empty()) {
    if (!valid_ || !path_.empty() || preset_ != preset) {
      Scenario fresh;
      if (!MakePreset(preset, &fresh)) {
        *error = "unknown preset '" + preset + "'";
        return false;
      }
      scenario_ = fresh;
      path_.clear();
      preset_ = preset;
      valid_ = true;
    }
    fn(scenario_);
    return true;
  }
  FileLock lock(path + ".lock");
  if (!lock.ok()) {
    *error = Errno("cannot lock", path + ".lock");
    return false;
  }
  uint64_t generation = lock.Generation();
  if (!Load(path, preset, generation, error)) return false;
  fn(scenario_);
  // Comparing the text catches every change, however small, and keeps a
  // request that changed nothing from rewriting the file.
  std::string text = WriteScenario(scenario_);
  if (text != text_ || text_.empty()) {
    bool saved = Save(path, text, error);
    generation_ = generation + 1;
    lock.SetGeneration(generation_);
    return saved;
  }
  return true;
}

}  // namespace halvsim
