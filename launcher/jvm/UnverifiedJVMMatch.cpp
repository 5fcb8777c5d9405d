#include "jvm/UnverifiedJVMMatch.h"

#include "core/TypedDeques.h"

void UnverifiedJVMMatch::addJVMHome(const SString& home) {
  for (int i = 0; i < m_homes.count(); ++i)
    if (m_homes.at(i) == home) return;
  m_homes.push_back(home);
}

void UnverifiedJVMMatchPtrDeque::addMatch(const JVMFile& jvmFile,
                                          const SString& home) {
  for (int i = 0; i < count(); ++i) {
    if (at(i)->equals(jvmFile)) {
      at(i)->addJVMHome(home);
      return;
    }
  }
}
