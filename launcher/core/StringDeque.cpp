#include "core/StringDeque.h"

SString StringDeque::emptyString;

StringDeque::StringDeque(const StringDeque& other) : GenericDeque() {
  for (int i = 0; i < other.count(); ++i) push_back(other.at(i));
}

StringDeque& StringDeque::operator=(const StringDeque& other) {
  if (this != &other) {
    clear();
    for (int i = 0; i < other.count(); ++i) push_back(other.at(i));
  }
  return *this;
}

SString& StringDeque::at(int i) {
  SStringPtrDE* entry = static_cast<SStringPtrDE*>(GenericDeque::at(i));
  if (entry) return *entry->element();
  emptyString.assign("", 0);
  return emptyString;
}

const SString& StringDeque::at(int i) const {
  const SStringPtrDE* entry =
      static_cast<const SStringPtrDE*>(GenericDeque::at(i));
  if (entry) return *entry->element();
  emptyString.assign("", 0);
  return emptyString;
}

void StringDeque::push_back(const SString& s) {
  GenericDeque::insert(-1, new SStringPtrDE(new SString(s)));
}

bool StringDeque::insert(int i, const SString& s) {
  if (i >= count()) return false;
  return GenericDeque::insert(i, new SStringPtrDE(new SString(s)));
}
