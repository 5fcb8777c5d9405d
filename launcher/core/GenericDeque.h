#ifndef LAUNCHER_CORE_GENERICDEQUE_H
#define LAUNCHER_CORE_GENERICDEQUE_H

#include "core/DequeEntry.h"

// The owning, index-addressed sequence behind every launcher collection.
// Erasing, shrinking, clearing or destroying it destroys the entries; the
// slot array grows in steps of 30.
class GenericDeque {
 public:
  GenericDeque();
  virtual ~GenericDeque();

  bool validIndex(int i) const { return i >= 0 && i < m_count; }
  // The entry at i, or null when i is not a valid index.
  DequeEntry* at(int i) const;
  // Stores entry before index i (0 <= i < count) or at the end (any
  // negative i). Any other index stores nothing and returns false; the
  // caller then still owns the entry.
  bool insert(int i, DequeEntry* entry);
  void erase(int i);
  void clear();
  // Above the capacity: room for n entries (rounded up to a multiple of
  // 30). Below it: destroys the entries from n on. The capacity never
  // shrinks.
  void resize(int n);

  int count() const { return m_count; }
  bool empty() const { return m_count == 0; }
  int capacity() const { return m_capacity; }

 private:
  GenericDeque(const GenericDeque&) = delete;
  GenericDeque& operator=(const GenericDeque&) = delete;

  void reallocate(int slots);

  DequeEntry** m_entries;
  int m_count;
  int m_growBy;
  int m_capacity;
};

#endif
