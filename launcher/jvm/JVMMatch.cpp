#include "jvm/JVMMatch.h"

#include "platform/PlatformImpl.h"
#include "tagfile/TagFile.h"

JVMMatch::JVMMatch(const SString& home, TagFile& tagFile)
    : m_home(home), m_tagFile(&tagFile) {}

JVMMatch::~JVMMatch() {}

SString JVMMatch::writeNewJVMFile() {
  SString path = PlatformImpl::createTempFile();
  m_tagFile->setDynamicJVMTags(m_home, path, false);
  m_tagFile->write(path);
  return path;
}
