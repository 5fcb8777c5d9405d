#ifndef LAUNCHER_CORE_PTRDEQUE_H
#define LAUNCHER_CORE_PTRDEQUE_H

#include "core/GenericDeque.h"

// An entry holding one element pointer, deleting the element with itself
// when it owns it. The deleter is taken where the entry is made, so the
// element type may be incomplete wherever a sequence is only declared or
// destroyed.
template <class T>
class PtrDE : public DequeEntry {
 public:
  explicit PtrDE(T* element, bool owned = true)
      : m_element(element), m_owned(owned), m_delete(&destroy) {}
  ~PtrDE() override {
    if (m_owned && m_element) m_delete(m_element);
  }

  T* element() const { return m_element; }
  bool owned() const { return m_owned; }
  // Gives the element back to the caller; the entry no longer deletes it.
  T* release() {
    m_owned = false;
    return m_element;
  }

 private:
  static void destroy(T* element) { delete element; }

  T* m_element;
  bool m_owned;
  void (*m_delete)(T*);
};

// A GenericDeque of PtrDE<T>: owns its elements, hands out element
// pointers (null for an invalid index or an empty sequence).
template <class T>
class PtrDeque : public GenericDeque {
 public:
  T* at(int i) { return element(i); }
  const T* at(int i) const { return element(i); }
  T* back() { return element(count() - 1); }
  const T* back() const { return element(count() - 1); }

  void push_back(T* x) { store(-1, x, true); }
  // See GenericDeque::insert; when nothing is stored the caller keeps x.
  bool insert(int i, T* x) { return store(i, x, true); }

 protected:
  bool store(int i, T* x, bool owned) {
    PtrDE<T>* entry = new PtrDE<T>(x, owned);
    if (GenericDeque::insert(i, entry)) return true;
    entry->release();
    delete entry;
    return false;
  }

 private:
  T* element(int i) const {
    PtrDE<T>* entry = static_cast<PtrDE<T>*>(GenericDeque::at(i));
    return entry ? entry->element() : nullptr;
  }
};

// A PtrDeque whose entries own their element only when asked to.
template <class T>
class FlaggedPtrDeque : public PtrDeque<T> {
 public:
  void push_back(T* x, bool owned) { this->store(-1, x, owned); }
  bool insert(int i, T* x, bool owned) { return this->store(i, x, owned); }
};

#endif
