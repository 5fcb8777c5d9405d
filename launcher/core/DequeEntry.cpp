#include "core/DequeEntry.h"

DequeEntry::~DequeEntry() {}
