// The launcher's message catalogue: one table of user-facing texts per
// language, the choice of table from LANG, and the formatting of one text.
#ifndef LAUNCHER_PLATFORM_MESSAGES_H_
#define LAUNCHER_PLATFORM_MESSAGES_H_

// Every language table has this many entries: its locale code at index 0,
// the texts at 1 to 38 and a null pointer at 39.
constexpr int kMessageTableSize = 40;
// Number of language tables in msg_locale_table (a null pointer follows them).
constexpr int kMessageLocaleCount = 22;
// Size of the buffer that get_msg returns, terminating zero included.
constexpr int kMessageBufferSize = 1024;

// Table indexes of the texts; the console interface asks by index.
enum MessageIndex {
  MSG_LOCALE_CODE = 0,
  MSG_INITIALIZING = 1,  // "%s": the title
  MSG_SEARCHING = 2,     // "%s"
  MSG_VERIFYING = 3,     // "%s"
  MSG_NO_JVM_FOUND = 4,
  MSG_LAUNCH_FAILED = 5,  // "%s": the title
  MSG_JVM_DOWNLOAD = 6,   // "%s"
  MSG_RUNNING = 7,        // "%s": the title
  MSG_PREPARING_JVM = 8,
  MSG_SEARCHING_JVM = 9,
  MSG_SEARCHING_FOR = 10,          // "%s"
  MSG_TEMP_DIR_ERROR = 11,         // "%s"
  MSG_TEMP_FILE_ERROR = 12,        // "%s"
  MSG_LAUNCHER_MAIN = 13,          // not a display text
  MSG_INVALID_PLATFORM_HINT = 14,  // "%s"
  MSG_CHILD_PROCESS_FAILED = 15,
  MSG_SCANNING_DISKS = 16,
  MSG_JVM_DESTINATION_PROMPT = 17,
  MSG_PROGRESS_DOT = 18,
  MSG_INPUT_FILE_LOAD_ERROR = 19,
  MSG_INSTRUCTIONS_LOAD_ERROR = 20,
  MSG_LAUNCH_SCRIPT_LOAD_ERROR = 21,
  MSG_JVM_FILE_LOAD_ERROR = 22,
  MSG_INVALID_JVM_FILE_ID = 23,
  MSG_INVALID_ACTION = 24,  // ends in a blank: the action follows
  MSG_LOG_NAME_MISSING = 25,
  MSG_EXTRACT_ERROR = 26,     // ends in a blank
  MSG_FILE_INDEX_ERROR = 27,  // ends in a blank
  MSG_NO_JVM_INSTALLER = 28,
  MSG_JVM_NOT_VALID = 29,
  MSG_INPUT_NAME_MISSING = 30,
  MSG_NO_MATCHING_JVM = 31,
  MSG_SEARCH_ALL_ERROR = 32,
  MSG_INPUT_FILE_OPEN_ERROR = 33,
  MSG_JVM_DESTINATION_TITLE = 34,
  MSG_PREPARING_WIZARD = 35,
  MSG_WRITE_ERROR = 36,      // ends in a blank: an error number follows
  MSG_TEMP_SPACE_HINT = 37,  // begins with a blank
  MSG_CANCELED = 38,
};

// The texts that the launcher's failures ask for, independent of the table
// layout. Identifiers 0 to 14 name indexes 19 to 33, 15 to 17 name 36 to 38.
// Any int is a value of the type (it has a fixed underlying type), so that
// an identifier outside the list is an unknown one, not undefined behaviour.
enum MessageIdentifier : int {
  MSGID_INPUT_FILE_LOAD_ERROR = 0,
  MSGID_INSTRUCTIONS_LOAD_ERROR = 1,
  MSGID_LAUNCH_SCRIPT_LOAD_ERROR = 2,
  MSGID_JVM_FILE_LOAD_ERROR = 3,
  MSGID_INVALID_JVM_FILE_ID = 4,
  MSGID_INVALID_ACTION = 5,
  MSGID_LOG_NAME_MISSING = 6,
  MSGID_EXTRACT_ERROR = 7,
  MSGID_FILE_INDEX_ERROR = 8,
  MSGID_NO_JVM_INSTALLER = 9,
  MSGID_JVM_NOT_VALID = 10,
  MSGID_INPUT_NAME_MISSING = 11,
  MSGID_NO_MATCHING_JVM = 12,
  MSGID_SEARCH_ALL_ERROR = 13,
  MSGID_INPUT_FILE_OPEN_ERROR = 14,
  MSGID_WRITE_ERROR = 15,
  MSGID_TEMP_SPACE_HINT = 16,
  MSGID_CANCELED = 17,
};

// The table index that an identifier names, or -1 for a value outside 0 to 17
// (get_msg turns -1 into its "Error displaying message" text).
int messageIndexOf(MessageIdentifier identifier);

// Position in msg_locale_table of the language that LANG selects; 0 (English)
// when LANG is unset, "C" or unknown. Read anew on every call.
int get_locale();

// A newly malloc'd, zero-filled buffer of kMessageBufferSize bytes holding the
// text at `index` of the user's language, with `argument` (a char*, null
// taken as empty) in place of its "%s". When LANG names a codeset other than
// the table's own, the text is converted to it. A result that would not fit is
// truncated. An index outside 0 to 38 yields "Error displaying message: id(N)".
// Release the buffer with free(). Returns null only when memory runs out.
char* get_msg(int index, void* argument);

// The language tables, stored in the legacy encoding of their language.
extern const char* const unixlauncher_msg_en[kMessageTableSize];
extern const char* const unixlauncher_msg_cs[kMessageTableSize];
extern const char* const unixlauncher_msg_da[kMessageTableSize];
extern const char* const unixlauncher_msg_de[kMessageTableSize];
extern const char* const unixlauncher_msg_el[kMessageTableSize];
extern const char* const unixlauncher_msg_es[kMessageTableSize];
extern const char* const unixlauncher_msg_fi[kMessageTableSize];
extern const char* const unixlauncher_msg_fr[kMessageTableSize];
extern const char* const unixlauncher_msg_hu[kMessageTableSize];
extern const char* const unixlauncher_msg_it[kMessageTableSize];
extern const char* const unixlauncher_msg_ja[kMessageTableSize];
extern const char* const unixlauncher_msg_ko[kMessageTableSize];
extern const char* const unixlauncher_msg_nl[kMessageTableSize];
extern const char* const unixlauncher_msg_no[kMessageTableSize];
extern const char* const unixlauncher_msg_pl[kMessageTableSize];
extern const char* const unixlauncher_msg_pt[kMessageTableSize];
extern const char* const unixlauncher_msg_pt_BR[kMessageTableSize];
extern const char* const unixlauncher_msg_ru[kMessageTableSize];
extern const char* const unixlauncher_msg_sv[kMessageTableSize];
extern const char* const unixlauncher_msg_tr[kMessageTableSize];
extern const char* const unixlauncher_msg_zh[kMessageTableSize];
extern const char* const unixlauncher_msg_zh_TW[kMessageTableSize];

// The language tables in matching order, then a null pointer. Position 0
// (English) is the fallback.
extern const char* const* const msg_locale_table[kMessageLocaleCount + 1];

// The encoding in which the table at `locale` (a position in
// msg_locale_table) is stored, as an iconv name; null outside 0 to 21.
const char* msg_locale_encoding(int locale);

#endif  // LAUNCHER_PLATFORM_MESSAGES_H_
