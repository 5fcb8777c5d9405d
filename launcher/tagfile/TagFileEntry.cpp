#include "tagfile/TagFileEntry.h"

TagFileEntry::TagFileEntry(const SString& name)
    : m_name(name), m_values(new StringDeque) {}

TagFileEntry::~TagFileEntry() { delete m_values; }
