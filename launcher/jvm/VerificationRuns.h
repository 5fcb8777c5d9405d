// The verification runs of one search: what each JVM printed, so that a
// home tried for one jvm file is matched again for the next without
// running it again, and which JVM was tried last, so that a search that
// found nothing can say why.
#ifndef LAUNCHER_JVM_VERIFICATIONRUNS_H_
#define LAUNCHER_JVM_VERIFICATIONRUNS_H_

#include "core/SString.h"
#include "core/TypedDeques.h"

class VerificationRuns {
 public:
  // What the earlier run of that command printed; false when there was
  // none.
  bool find(const SString& command, SString& output, SString& errors) const;
  void add(const SString& command, const SString& output,
           const SString& errors);

  // What the verification program reported on the JVM of home for the
  // property name in this search; empty when it was not asked or the
  // program did not answer.
  void addReported(const SString& home, const SString& name,
                   const SString& value);
  SString getReported(const SString& home, const SString& name) const;

  // Forgets every run, for a new search.
  void clear();

  // The JVM tried last and what it printed; reported is what the
  // verification program said ("name=value, ..."), empty when it did not
  // answer.
  void setLast(const SString& executable, const SString& output,
               const SString& errors, const SString& reported);
  bool hasLast() const { return !m_lastExecutable.empty(); }
  // "executable, which reported name=value, ..." when the verification
  // program answered; else "executable, which printed: first line", the
  // line from its standard output or, when that was empty, from its error
  // output.
  SString describeLast() const;

 private:
  StringPairPtrDeque m_outputs;   // (command, standard output)
  StringPairPtrDeque m_errors;    // (command, error output), same order
  StringPairPtrDeque m_reported;  // (home + line feed + name, value)
  SString m_lastExecutable;
  SString m_lastOutput;
  SString m_lastErrors;
  SString m_lastReported;
};

#endif  // LAUNCHER_JVM_VERIFICATIONRUNS_H_
