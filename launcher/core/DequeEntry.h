#ifndef LAUNCHER_CORE_DEQUEENTRY_H
#define LAUNCHER_CORE_DEQUEENTRY_H

// Base of everything a GenericDeque holds; destroying an entry destroys
// what it owns.
class DequeEntry {
 public:
  DequeEntry() {}
  virtual ~DequeEntry();

 private:
  DequeEntry(const DequeEntry&) = delete;
  DequeEntry& operator=(const DequeEntry&) = delete;
};

#endif
