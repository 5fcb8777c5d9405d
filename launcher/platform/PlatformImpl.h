// Everything the launcher needs from the operating system and its console:
// status lines, the dot progress bar, messages and the prompt, temporary
// files with their removal at exit, file tests, the environment and a few
// conversions. Porting the launcher means replacing this class.
#ifndef LAUNCHER_PLATFORM_PLATFORMIMPL_H_
#define LAUNCHER_PLATFORM_PLATFORMIMPL_H_

#include <cstdio>
#include <cwchar>

#include "core/SString.h"
#include "core/StringDeque.h"
#include "platform/Messages.h"
#include "platform/UIStatus.h"

class FileFindListener;

// The product title used in the status lines, in the locale's encoding.
extern SString g_title;

class PlatformImpl {
 public:
  // Console user interface.
  static void showUI();
  static void hideUI(short seconds);
  static bool isUIVisible();
  static void setSilent(bool silent);
  static bool isSilent() { return m_silent; }
  // Stores the title (backslash-u escapes resolved, in the locale's
  // encoding) and shows it as a line.
  static void setUITitle(const SString& title);
  static void setUIStatus(UIStatus status);
  // The console shows no sub-status line, so the current sub-status reads
  // as none again afterwards.
  static void setUISubStatus(UISubStatus subStatus, const SString& text);
  static UISubStatus getUISubStatus() { return m_subStatus; }
  static const SString& getUISubStatusData() { return m_subStatusData; }
  // The dot progress bar: one dot per unit, a line break after every 70.
  static void setUIProgress(long units);
  static void advanceUIProgress(long units);
  static long getUIProgress() { return ui_progress; }
  // Prints text and a line feed even while the progress display is hidden
  // (but not when silent), so failures always reach the user.
  static void showUIMessage(const SString& text);
  // One word read from standard input after the prompt; empty when silent.
  static SString promptJVMDestinationDirectory();
  static SString getMessageText(MessageIdentifier identifier);
  // Set by a cancel request or by a signal that ends the run.
  static bool isCanceled();
  // For a user interface that offers a cancel request; the console has
  // none, so only tests and the process runs set it.
  static void setCanceled(bool canceled) { m_canceled = canceled; }

  // Temporary files and clean-up.
  // Adopts dir only when it names an existing directory.
  static void setSystemTempDir(const SString& dir);
  // The temporary directory, "/var/tmp/" unless one was set.
  static SString getSystemTempDirectory();
  // Create a new private directory or empty file named "tvj..." (in
  // TMPDIR when that is a directory, else in the temporary directory),
  // registered for removal at exit. Raise LauncherException on failure.
  static SString createTempSubDirectory();
  static SString createTempFile();
  static void addFileToCleanupList(const SString& path);
  // Whether text names (or contains) a path inside one of the temporary
  // directories this run created.
  static bool isInCreatedTempDirectory(const SString& text);
  // Takes the first registration of path off the list; the file survives.
  static void removeFileFromCleanupList(const SString& path);
  // Deletes the registered files, then the registered directories.
  static void cleanup();
  // Removes a file, or a directory with everything in it (symbolic links
  // are removed, never followed).
  static void deleteFile(const SString& path);

  // Files, environment and search places.
  static bool fileExists(const SString& path);
  // "/", or the directories listed, colon-separated, in the environment
  // variable LAUNCHER_SEARCH_PARTITIONS.
  static void getJVMSearchPartitions(StringDeque& partitions);
  // Walks every search partition for files whose paths end with one of
  // names (whole trailing components) and tells listener about each; true
  // when the listener asked to stop.
  static bool findFiles(const StringDeque& names, FileFindListener& listener);
  static SString getPathSeparator();
  // This platform has no source of JVM homes for platform hints.
  static SString getPlatformHint(const SString& hint);
  static SString getEnvironmentVariable(const SString& name);
  // Child processes started afterwards inherit the setting.
  static void setEnvironmentVariable(const SString& name, const SString& value);
  // Adds execute permission for everyone to an existing file.
  static void setFileExecutable(const SString& path);
  // Whether the file system holding path (the current directory for a
  // relative path) has room for bytes. Raises LauncherException when the
  // file system cannot be queried.
  static bool checkFreeSpace(const SString& path, long bytes);
  // The current working directory, whatever its length; empty when it
  // cannot be read.
  static SString getCurrentDirectory();

  // Child processes.
  // Runs command through the shell in a child of its own process group, in
  // workingDirectory unless that is empty, and returns once the child has
  // ended, with its exit status as a shell reports it (128 + the signal
  // that ended it). With capture, its standard output is appended to
  // *output and its standard error to *errors (a null pointer drops that
  // stream); without, the child writes to the launcher's console. The
  // signals the launcher gets meanwhile are passed on to the child. A
  // foreground child (the application) also takes over the launcher's
  // terminal while it runs; for any other child, a signal that ends the
  // run makes the call raise the canceled message once the child ended,
  // and a child still running a few seconds after that signal is killed.
  // Raises LauncherException when the child cannot be started, cannot
  // redirect its output or cannot change to the directory.
  static int executeProcess(const SString& command,
                            const SString& workingDirectory, bool capture,
                            SString* output, SString* errors,
                            bool foreground = false);

  // Conversions.
  // The wide string in the current locale's multibyte encoding; empty when
  // some character cannot be represented.
  static SString wideToMultiByte(const wchar_t* wide);
  // The same, reporting whether every character could be converted.
  static bool wideToMultiByte(const wchar_t* wide, SString& result);
  // 4 or 2 bytes, most significant first, as a signed number.
  static long convertToLong(const char* bytes);
  static short convertToShort(const char* bytes);

 private:
  friend struct PlatformImplTestPeer;

  static SString tempNameTemplate();

  static bool m_silent;
  static UISubStatus m_subStatus;
  static SString m_subStatusData;
  static int ui_progress;
  static int ui_progressBlock;
  static StringDeque m_sdqCreatedDrs;
  static StringDeque m_sdqCreatedFiles;
  static SString m_tempDir;
  static bool m_canceled;
  // Progress dots were written on the current console line, not yet ended.
  static bool m_dotsPending;
};

// Reads stream to its end in chunks, appending them to *target (null:
// dropped) and moving the progress one step per chunk; returns the size of
// the last chunk, 0 when the stream was already at its end.
unsigned readFromFile(FILE* stream, SString* target);

#endif  // LAUNCHER_PLATFORM_PLATFORMIMPL_H_
