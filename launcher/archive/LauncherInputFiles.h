// Everything a run reads from the payload appended to the launcher file or
// from the files an input file names instead: the index of embedded files,
// the instruction script, the launch script and the JVM description files.
// Files named by an input file win over the embedded ones.
#ifndef LAUNCHER_ARCHIVE_LAUNCHERINPUTFILES_H
#define LAUNCHER_ARCHIVE_LAUNCHERINPUTFILES_H

#include <cstdio>

#include "core/SString.h"
#include "core/TypedDeques.h"
#include "jvm/JVMFiles.h"

class FileIndexEntry;
class Instructions;
class LaunchScript;
class TagFile;

class LauncherInputFiles {
 public:
  LauncherInputFiles();
  ~LauncherInputFiles();

  // The launcher file that load reads and its entries are extracted from.
  void setLauncherFileName(const SString& name) { m_launcherFileName = name; }
  const SString& getLauncherFileName() const { return m_launcherFileName; }

  // Reads the index at the end of the launcher file, and with loadTagFiles
  // also the embedded tag files; nothing after the first complete load. A
  // file whose trailer lacks the identification value has no embedded
  // files. Raises LauncherException for a damaged payload.
  void load(bool loadTagFiles);
  // Whether the launcher file read by load carries a payload.
  bool hasPayload() const { return m_hasPayload; }
  // Takes an input file's references to files on disk ("INSTRUCTIONS",
  // "LAUNCHSCRIPT", "VERIFY_CLASSPATH"/"VERIFY_CLASS_NAME", "UI_TITLE",
  // "JVM"); called before load(true) so that they take precedence.
  void load(const TagFile& inputFile);
  void loadFileIndex(FILE* stream, long indexOffset);
  void loadTagFiles(FILE* stream);
  // Loads a whole tag file from disk and keeps it for the rest of the run.
  TagFile& loadTagFile(const SString& fileName);

  long getFileCount() const { return m_files.count(); }
  // By position in the index; null outside 0 to count - 1.
  const FileIndexEntry* getFileAt(long index) const;
  // The first entry with that id, or null.
  const FileIndexEntry* getFile(long id) const;

  // Extracts every embedded file into the current directory and writes an
  // "input.tag" there that makes a run use them instead of the embedded
  // ones. Loads the index first when that has not happened.
  void extractAll();

  // The instruction script and the launch script of the run, and the tag
  // files they were made from; null when there is none.
  Instructions* getInstructions() const { return m_instructions; }
  LaunchScript* getLaunchScript() const { return m_launchScript; }
  const TagFile* getInstructionsFile() const { return m_instructionsFile; }
  const TagFile* getLaunchScriptFile() const { return m_launchScriptFile; }
  JVMFiles& getJVMFiles() { return m_jvmFiles; }
  const JVMFiles& getJVMFiles() const { return m_jvmFiles; }
  // Once an input file listed JVM files or the embedded ones were loaded,
  // later embedded JVM files are not used.
  bool areJVMFilesSupplied() const { return m_jvmFilesSupplied; }
  bool isLoaded() const { return m_loaded; }

 private:
  LauncherInputFiles(const LauncherInputFiles&) = delete;
  LauncherInputFiles& operator=(const LauncherInputFiles&) = delete;

  void logEntries() const;
  void setInstructions(TagFile* script);
  void setLaunchScript(TagFile* script);
  void addJVMFile(TagFile* jvmFile);

  FileIndexEntryPtrDeque m_files;
  TagFilePtrDeque m_tagFiles;
  Instructions* m_instructions;
  LaunchScript* m_launchScript;
  JVMFiles m_jvmFiles;
  TagFile* m_instructionsFile;
  TagFile* m_launchScriptFile;
  bool m_jvmFilesSupplied;
  bool m_loaded;
  bool m_hasPayload;
  SString m_launcherFileName;
};

#endif
