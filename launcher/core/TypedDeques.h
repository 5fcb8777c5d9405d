#ifndef LAUNCHER_CORE_TYPEDDEQUES_H
#define LAUNCHER_CORE_TYPEDDEQUES_H

#include "core/PtrDeque.h"
#include "core/SString.h"

// The launcher's typed sequences. Each owns its elements; a JVMFilePtrDeque
// owns only the elements added with the ownership flag set. The element
// types are declared where they belong; only code that adds elements needs
// them complete.
class FileIndexEntry;
class TagFileEntry;
class TagFile;
struct StringPair;
class JVMFile;
class UnverifiedJVMMatch;
class JVMMatch;

typedef PtrDE<FileIndexEntry> FileIndexEntryPtrDE;
typedef PtrDE<TagFileEntry> TagFileEntryPtrDE;
typedef PtrDE<TagFile> TagFilePtrDE;
typedef PtrDE<StringPair> StringPairPtrDE;
typedef PtrDE<JVMFile> JVMFilePtrDE;
typedef PtrDE<UnverifiedJVMMatch> UnverifiedJVMMatchPtrDE;
typedef PtrDE<JVMMatch> JVMMatchPtrDE;

class FileIndexEntryPtrDeque : public PtrDeque<FileIndexEntry> {};
class TagFileEntryPtrDeque : public PtrDeque<TagFileEntry> {};
class TagFilePtrDeque : public PtrDeque<TagFile> {};
class StringPairPtrDeque : public PtrDeque<StringPair> {};
class JVMFilePtrDeque : public FlaggedPtrDeque<JVMFile> {};
class JVMMatchPtrDeque : public PtrDeque<JVMMatch> {};

class UnverifiedJVMMatchPtrDeque : public PtrDeque<UnverifiedJVMMatch> {
 public:
  // Adds home to the first match for jvmFile; nothing when there is none.
  // Defined with UnverifiedJVMMatch, by the JVM search.
  void addMatch(const JVMFile& jvmFile, const SString& home);
};

#endif
