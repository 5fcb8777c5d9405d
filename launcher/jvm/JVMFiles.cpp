#include "jvm/JVMFiles.h"

#include "core/LauncherException.h"
#include "core/LogHandler.h"
#include "core/StringDeque.h"
#include "jvm/JVMFile.h"
#include "jvm/JVMMatch.h"
#include "jvm/LaunchEnvironment.h"
#include "jvm/UnverifiedJVMMatch.h"
#include "platform/PlatformImpl.h"
#include "platform/SubStatusWrapper.h"
#include "tagfile/TagFile.h"

namespace {

void log(const SString& text) { logThroughHandler(text, LOG_INFORMATION); }

}  // namespace

JVMFiles::JVMFiles() : m_currentMatch(nullptr), m_stopAtFirst(false) {}

JVMFiles::~JVMFiles() { delete m_currentMatch; }

void JVMFiles::addJVMFile(JVMFile* jvmFile) {
  jvmFile->setVerificationRuns(&m_verificationRuns);
  jvmFile->setVerifiedJVMCache(&m_verifiedCache);
  m_jvmFiles.push_back(jvmFile, true);
}

const JVMFile* JVMFiles::getJVMFile(long index) const {
  if (index < 0 || index >= m_jvmFiles.count())
    throw LauncherException(
        PlatformImpl::getMessageText(MSGID_INVALID_JVM_FILE_ID));
  return m_jvmFiles.at(static_cast<int>(index));
}

void JVMFiles::setVerifyClass(const SString& classpath,
                              const SString& verifyClass) {
  m_verifyClasspath = classpath;
  m_verifyClass = verifyClass;
  m_verifiedCache.setVerifier(SString());
}

void JVMFiles::writeVerifyJar() {
  writeVerifyJarOnce();
  // The cache knows the program by its content, read once.
  if (m_verifiedCache.isEnabled() && m_verifiedCache.getVerifier().empty())
    m_verifiedCache.setVerifier(
        VerifiedJVMCache::verifierIdentity(m_verifyClasspath, m_verifyClass));
}

void JVMFiles::writeVerifyJarOnce() {
  if (!m_verifyClasspath.empty() || !m_verifyClass.empty()) return;
  LaunchEnvironment& environment = LaunchEnvironment::current();
  if (!environment.hasEmbeddedFiles(kVerificationArchive)) return;
  StringDeque paths;
  environment.extractEmbeddedFiles(
      kVerificationArchive, PlatformImpl::createTempSubDirectory(), paths);
  if (paths.count() == 0) return;
  m_verifyClasspath = "\"" + paths.back() + "\"";
  m_verifyClass = "\"Verify\"";
}

void JVMFiles::writeVerifyJar(SString& classpath, SString& verifyClass) {
  writeVerifyJar();
  classpath = m_verifyClasspath;
  verifyClass = m_verifyClass;
}

void JVMFiles::clearCurrentMatch() {
  delete m_currentMatch;
  m_currentMatch = nullptr;
}

void JVMFiles::search(JVMMatchPtrDeque& matches) {
  clearCurrentMatch();
  m_verificationRuns.clear();
  writeVerifyJar();
  searchUserJavaHome();
  if (!m_currentMatch) searchJavaHomeVariable();
  bool lastAskedForAll = false;
  if (!m_currentMatch) searchHints(lastAskedForAll);
  if (!m_currentMatch && lastAskedForAll) {
    m_stopAtFirst = true;
    exhaustiveSearch(matches);
  }
  if (m_currentMatch) {
    matches.push_back(m_currentMatch);
    m_currentMatch = nullptr;
  }
}

void JVMFiles::searchUserJavaHome() {
  if (m_userJavaHome.empty()) return;
  log("Checking user specified Java home directory => " + m_userJavaHome);
  for (int i = 0; i < m_jvmFiles.count() && !m_currentMatch; ++i)
    m_currentMatch = m_jvmFiles.at(i)->verify(m_userJavaHome, m_verifyClasspath,
                                              m_verifyClass);
}

// The home most Java tools take; tried like the user's own home.
void JVMFiles::searchJavaHomeVariable() {
  SString home = PlatformImpl::getEnvironmentVariable("JAVA_HOME");
  if (home.empty() || home == m_userJavaHome) return;
  log("Checking the JAVA_HOME directory => " + home);
  for (int i = 0; i < m_jvmFiles.count() && !m_currentMatch; ++i)
    m_currentMatch =
        m_jvmFiles.at(i)->verify(home, m_verifyClasspath, m_verifyClass);
}

void JVMFiles::searchHints(bool& lastAskedForAll) {
  log("Initiating JVM search based on hints...");
  for (int i = 0; i < m_jvmFiles.count() && !m_currentMatch; ++i) {
    JVMFile* file = m_jvmFiles.at(i);
    lastAskedForAll = file->getTagFile().getBoolTagValue("SEARCH_ALL", false);
    SubStatusWrapper savedSubStatus;
    PlatformImpl::setUISubStatus(UI_SUBSTATUS_SEARCHING_FOR,
                                 file->getTagFile().getTagValue("DESC", 0));
    m_currentMatch =
        file->verifyWithPlatformHints(m_verifyClasspath, m_verifyClass);
    if (!m_currentMatch)
      m_currentMatch =
          file->verifyWithPathHints(m_verifyClasspath, m_verifyClass);
    if (lastAskedForAll) break;
  }
}

void JVMFiles::searchAll(JVMMatchPtrDeque& matches, bool stopAtFirst) {
  clearCurrentMatch();
  m_verificationRuns.clear();
  writeVerifyJar();
  m_stopAtFirst = stopAtFirst;
  exhaustiveSearch(matches);
  // A match verified during the walk is the caller's too.
  if (m_currentMatch) {
    matches.push_back(m_currentMatch);
    m_currentMatch = nullptr;
  }
}

void JVMFiles::exhaustiveSearch(JVMMatchPtrDeque& matches) {
  m_unverifiedMatches.clear();
  StringDeque names;
  for (int i = 0; i < m_jvmFiles.count(); ++i) {
    SString exe = m_jvmFiles.at(i)->getTagFile().getTagValue("JVM_EXE", 0);
    bool known = false;
    for (int j = 0; j < names.count() && !known; ++j)
      known = names.at(j) == exe;
    if (!known) names.push_back(exe);
  }
  SubStatusWrapper savedSubStatus;
  PlatformImpl::setUISubStatus(UI_SUBSTATUS_SCANNING, SString());
  // Without a single executable to look for the walk could find nothing.
  if (names.count() == 0) return;
  log("Beginning exhaustive search");
  PlatformImpl::findFiles(names, *this);
  if (!m_currentMatch) verifyUnverifiedMatches(matches);
}

void JVMFiles::verifyUnverifiedMatches(JVMMatchPtrDeque& matches) {
  log("Processing unverified matches.\n");
  bool stopped = false;
  for (int i = 0; i < m_unverifiedMatches.count() && !stopped; ++i) {
    UnverifiedJVMMatch* candidate = m_unverifiedMatches.at(i);
    const StringDeque& homes = candidate->getJVMHomes();
    for (int j = 0; j < homes.count() && !stopped; ++j) {
      if (PlatformImpl::isCanceled()) {
        stopped = true;
        break;
      }
      JVMMatch* match = candidate->getJVMFile().verify(
          homes.at(j), m_verifyClasspath, m_verifyClass);
      if (!match) continue;
      matches.push_back(match);
      if (m_stopAtFirst) stopped = true;
    }
  }
}

bool JVMFiles::foundFile(const SString& path) {
  bool result = false;
  for (int i = 0; i < m_jvmFiles.count() && !m_currentMatch; ++i) {
    JVMFile* file = m_jvmFiles.at(i);
    SString exe = file->getTagFile().getTagValue("JVM_EXE", 0);
    if (exe.empty() || exe.length() >= path.length() ||
        path.compare(path.length() - exe.length(), exe.length(), exe) != 0)
      continue;
    SString home(path, 0, path.length() - exe.length() - 1);
    // An executable right under the root has the root as its home.
    if (home.empty()) home = SString(path, 0, 1);
    if (i == 0 && m_stopAtFirst) {
      m_currentMatch = file->verify(home, m_verifyClasspath, m_verifyClass);
      result = m_currentMatch != nullptr;
    } else if (!m_currentMatch) {
      addUnverifiedMatch(file, home);
    }
  }
  return result;
}

void JVMFiles::addUnverifiedMatch(JVMFile* jvmFile, const SString& home) {
  for (int i = 0; i < m_unverifiedMatches.count(); ++i) {
    if (m_unverifiedMatches.at(i)->equals(*jvmFile)) {
      m_unverifiedMatches.at(i)->addJVMHome(home);
      return;
    }
  }
  UnverifiedJVMMatch* match = new UnverifiedJVMMatch(*jvmFile);
  match->addJVMHome(home);
  m_unverifiedMatches.push_back(match);
}
