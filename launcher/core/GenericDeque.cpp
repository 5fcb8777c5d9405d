#include "core/GenericDeque.h"

#include <cstring>

GenericDeque::GenericDeque()
    : m_entries(nullptr), m_count(0), m_growBy(30), m_capacity(0) {}

GenericDeque::~GenericDeque() {
  clear();
  delete[] m_entries;
}

DequeEntry* GenericDeque::at(int i) const {
  return validIndex(i) ? m_entries[i] : nullptr;
}

bool GenericDeque::insert(int i, DequeEntry* entry) {
  if (!entry || i >= m_count) return false;
  if (m_count + 1 > m_capacity) reallocate(m_capacity + m_growBy);
  int pos = i < 0 ? m_count : i;
  std::memmove(m_entries + pos + 1, m_entries + pos,
               static_cast<size_t>(m_count - pos) * sizeof(DequeEntry*));
  m_entries[pos] = entry;
  ++m_count;
  return true;
}

void GenericDeque::erase(int i) {
  if (!validIndex(i)) return;
  DequeEntry* entry = m_entries[i];
  std::memmove(m_entries + i, m_entries + i + 1,
               static_cast<size_t>(m_count - i - 1) * sizeof(DequeEntry*));
  m_entries[--m_count] = nullptr;
  // Destroyed last, so that the sequence is consistent if the element's
  // destructor looks at it.
  delete entry;
}

void GenericDeque::clear() {
  while (m_count > 0) erase(m_count - 1);
}

void GenericDeque::resize(int n) {
  if (n < 0) n = 0;
  if (n > m_capacity) {
    long long steps = (static_cast<long long>(n) + m_growBy - 1) / m_growBy;
    long long slots = steps * m_growBy;
    reallocate(slots > 0x7fffffff ? n : static_cast<int>(slots));
  } else if (n < m_capacity) {
    while (m_count > n) erase(m_count - 1);
  }
}

void GenericDeque::reallocate(int slots) {
  DequeEntry** entries = new DequeEntry*[static_cast<size_t>(slots)]();
  if (m_count > 0)
    std::memcpy(entries, m_entries,
                static_cast<size_t>(m_count) * sizeof(DequeEntry*));
  delete[] m_entries;
  m_entries = entries;
  m_capacity = slots;
}
