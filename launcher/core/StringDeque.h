#ifndef LAUNCHER_CORE_STRINGDEQUE_H
#define LAUNCHER_CORE_STRINGDEQUE_H

#include "core/PtrDeque.h"
#include "core/SString.h"

typedef PtrDE<SString> SStringPtrDE;

// A sequence of strings that stores its own copies. Lookups never fail:
// an invalid index or an empty sequence yields StringDeque::emptyString.
class StringDeque : public GenericDeque {
 public:
  // Shared answer for lookups that find nothing; it is emptied again on
  // every such lookup, so a write through it does not last.
  static SString emptyString;

  StringDeque() {}
  StringDeque(const StringDeque& other);
  StringDeque& operator=(const StringDeque& other);

  SString& at(int i);
  const SString& at(int i) const;
  SString& back() { return at(count() - 1); }
  const SString& back() const { return at(count() - 1); }

  void push_back(const SString& s);
  // See GenericDeque::insert; false when the index stores nothing.
  bool insert(int i, const SString& s);
};

#endif
