// A jvm file: the description of one kind of JVM (its executable below the
// home, the system properties it must report, where it is usually
// installed, how its command line is formed). It verifies candidate homes
// by running the JVM on the verification program, and resolves "@TAG@"
// macros with the values of its tags.
#ifndef LAUNCHER_JVM_JVMFILE_H_
#define LAUNCHER_JVM_JVMFILE_H_

#include "core/SString.h"
#include "core/TypedDeques.h"
#include "jvm/MacroHandler.h"

class JVMMatch;
class TagFile;
class VerificationRuns;
class VerifiedJVMCache;

// The name of the tag listing the required properties.
extern const char* const jvmPropertiesTag;

class JVMFile : public MacroHandler {
 public:
  // tagFile is not owned and must outlive this object.
  explicit JVMFile(TagFile& tagFile);
  ~JVMFile() override;

  // Each form returns a new match owned by the caller, or null. Failures
  // of the launch script or of the child process raise LauncherException.
  // The home given by the file's own "JVM_HOME".
  JVMMatch* verify(const SString& classpath, const SString& verifyClass);
  // One given home; without required properties only the magic line is
  // checked.
  JVMMatch* verify(const SString& jvmHome, const SString& classpath,
                   const SString& verifyClass);
  // Each "PATH_HINT" below each search partition, until one matches.
  JVMMatch* verifyWithPathHints(const SString& classpath,
                                const SString& verifyClass);
  // Each "PLATFORM_HINT" that the platform turns into a home.
  JVMMatch* verifyWithPlatformHints(const SString& classpath,
                                    const SString& verifyClass);

  // Runs the JVM of jvmHome on the verification program and compares what
  // it reports. Leaves "JVM_HOME" set to jvmHome.
  bool performVerify(const SString& jvmHome, const SString& classpath,
                     const SString& verifyClass);
  // The verification program's output: the magic line, then one line per
  // expected (name, value) pair; a value ending in "..." asks only for the
  // text before it as a prefix. A name ending in ">" or "<" (the setting
  // was written name>=value or name<=value) asks for a version number at
  // least or at most value, compared number by number (1.8 < 11 < 17.0.2).
  // Output that ends early checks no more.
  static bool verifyJVMOutput(const SString& output,
                              const StringPairPtrDeque& expected);

  using MacroHandler::resolve;
  // text with its "@TAG@" macros replaced by value 0 of each tag.
  SString resolve(const SString& text) const;
  void processMacro(SString& text, char delimiter, unsigned start,
                    unsigned& end) const override;

  TagFile& getTagFile() const { return *m_tagFile; }

  // Where verification runs are recorded and looked up (not owned; null:
  // every verification runs the JVM).
  void setVerificationRuns(VerificationRuns* runs) {
    m_verificationRuns = runs;
  }
  // What earlier runs of the launcher learned (not owned; null: nothing
  // is remembered across runs).
  void setVerifiedJVMCache(VerifiedJVMCache* cache) { m_verifiedCache = cache; }

 protected:
  // Only a possible tag name (letters, digits, underscores) makes a
  // macro: "a@b.org or c@d.org" is text.
  bool isMacro(const SString& text, char delimiter, unsigned start,
               unsigned end) const override;
  // The home and the jvm file's own path are paths that the launcher found
  // or wrote: taken as they are, never scanned for tags.
  bool insertCommandMacro(SString& text, char delimiter, unsigned start,
                          unsigned& end,
                          const ShellPosition& where) const override;

 private:
  JVMFile(const JVMFile&) = delete;
  JVMFile& operator=(const JVMFile&) = delete;

  // Logs the warning and returns false when no property is required.
  bool hasRequiredProperties() const;

  TagFile* m_tagFile;
  VerificationRuns* m_verificationRuns;
  VerifiedJVMCache* m_verifiedCache;
};

#endif  // LAUNCHER_JVM_JVMFILE_H_
