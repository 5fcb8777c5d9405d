// The language tables: layout shared with English and the stored encodings.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "platform/Messages.h"
#include "MessagesTestSupport.h"

namespace {

struct LocaleCase {
  const char* code;
  const char* encoding;  // the legacy encoding the table must be stored in
};

// The matching order; it decides which table a LANG value selects.
const LocaleCase kLocales[] = {
    {"en", "ISO-8859-1"}, {"cs", "ISO-8859-2"},    {"da", "ISO-8859-1"},
    {"de", "ISO-8859-1"}, {"el", "ISO-8859-7"},    {"es", "ISO-8859-1"},
    {"fi", "ISO-8859-1"}, {"fr", "ISO-8859-1"},    {"hu", "ISO-8859-2"},
    {"it", "ISO-8859-1"}, {"ja", "EUC-JP"},        {"ko", "EUC-KR"},
    {"nl", "ISO-8859-1"}, {"no", "ISO-8859-1"},    {"pl", "ISO-8859-2"},
    {"pt", "ISO-8859-1"}, {"pt_BR", "ISO-8859-1"}, {"ru", "ISO-8859-5"},
    {"sv", "ISO-8859-1"}, {"tr", "ISO-8859-9"},    {"zh", "GB2312"},
    {"zh_TW", "BIG5"},
};
static_assert(sizeof(kLocales) / sizeof(kLocales[0]) == kMessageLocaleCount,
              "one case per language table");

int countOf(const char* text, const char* part) {
  int count = 0;
  for (const char* p = strstr(text, part); p != nullptr;
       p = strstr(p + strlen(part), part)) {
    ++count;
  }
  return count;
}

TEST(MessagesTables, OrderCodesAndEncodings) {
  for (int i = 0; i < kMessageLocaleCount; ++i) {
    SCOPED_TRACE(kLocales[i].code);
    ASSERT_NE(msg_locale_table[i], nullptr);
    EXPECT_STREQ(msg_locale_table[i][0], kLocales[i].code);
    EXPECT_STREQ(msg_locale_encoding(i), kLocales[i].encoding);
  }
  EXPECT_EQ(msg_locale_table[kMessageLocaleCount], nullptr);
  EXPECT_EQ(msg_locale_encoding(-1), nullptr);
  EXPECT_EQ(msg_locale_encoding(kMessageLocaleCount), nullptr);
}

// Callers rely on the layout being the same in every language: the "%s"
// where they pass an argument, the fixed texts, and the blanks at which
// they join texts.
TEST(MessagesTables, SameLayoutAsEnglish) {
  const char* const* english = unixlauncher_msg_en;
  const int kWithArgument[] = {1, 2, 3, 5, 6, 7, 10, 11, 12, 14};
  for (int locale = 0; locale < kMessageLocaleCount; ++locale) {
    const char* const* table = msg_locale_table[locale];
    SCOPED_TRACE(table[0]);
    EXPECT_EQ(table[kMessageTableSize - 1], nullptr);
    for (int index = 1; index < kMessageTableSize - 1; ++index) {
      SCOPED_TRACE(index);
      const char* text = table[index];
      ASSERT_NE(text, nullptr);
      EXPECT_GT(strlen(text), 0u);
      bool wantsArgument = false;
      for (int with : kWithArgument) wantsArgument |= with == index;
      EXPECT_EQ(countOf(text, "%s"), wantsArgument ? 1 : 0);
      EXPECT_EQ(countOf(english[index], "%s"), wantsArgument ? 1 : 0);
      // No other conversion that a printf-style reader could act on.
      EXPECT_EQ(countOf(text, "%"), countOf(text, "%s"));
      EXPECT_EQ(strchr(text, '\n'), nullptr);
    }
    EXPECT_STREQ(table[MSG_LAUNCHER_MAIN], "LauncherMain");
    EXPECT_STREQ(table[MSG_PROGRESS_DOT], ".");
    for (int index : {MSG_INVALID_ACTION, MSG_EXTRACT_ERROR,
                      MSG_FILE_INDEX_ERROR, MSG_WRITE_ERROR}) {
      const char* text = table[index];
      EXPECT_EQ(text[strlen(text) - 1], ' ') << "index " << index;
    }
    EXPECT_EQ(table[MSG_TEMP_SPACE_HINT][0], ' ');
    EXPECT_EQ(countOf(table[MSG_TEMP_SPACE_HINT], "-tv:tempdir"), 1);
    EXPECT_EQ(countOf(table[MSG_PREPARING_WIZARD], "Tovarin?"), 1);
    EXPECT_EQ(countOf(table[MSG_PREPARING_WIZARD], "\\n"), 2);
  }
}

// A byte that is not valid in the table's encoding would print as garbage
// on a terminal in that encoding and defeat the conversion for others.
TEST(MessagesTables, EveryTextIsValidInItsEncoding) {
  for (int locale = 0; locale < kMessageLocaleCount; ++locale) {
    const char* const* table = msg_locale_table[locale];
    SCOPED_TRACE(table[0]);
    for (int index = 0; index < kMessageTableSize - 1; ++index) {
      EXPECT_TRUE(iconvText(table[index], kLocales[locale].encoding, "UTF-8"))
          << "index " << index;
    }
  }
}

struct StoredTextCase {
  const char* code;
  int index;
  const char* utf8;  // what the stored bytes must decode to
};

// One text per language, chosen to contain the language's own letters.
const StoredTextCase kStoredTexts[] = {
    {"en", MSG_CANCELED, "Canceled by the user."},
    {"cs", MSG_TEMP_FILE_ERROR, "Chyba při vytváření dočasného souboru %s"},
    {"da", MSG_SEARCHING_FOR, "Søger efter %s"},
    {"de", MSG_JVM_NOT_VALID, "Die JVM ist ungültig."},
    {"el", MSG_CANCELED, "Ακυρώθηκε από το χρήστη."},
    {"es", MSG_INVALID_ACTION, "Acción no válida en el archivo de entrada: "},
    {"fi", MSG_NO_MATCHING_JVM, "Sopivaa JVM:ää ei löytynyt."},
    {"fr", MSG_NO_JVM_FOUND,
     "Aucune machine virtuelle Java(tm) n'a été trouvée."},
    {"hu", MSG_VERIFYING, "%s ellenőrzése"},
    {"it", MSG_JVM_DOWNLOAD, "È possibile scaricare una JVM compatibile da %s"},
    {"ja", MSG_CANCELED, "ユーザーによって取り消されました。"},
    {"ko", MSG_NO_JVM_FOUND, "Java(tm) 가상 머신을 찾을 수 없습니다."},
    {"nl", MSG_INITIALIZING, "%s wordt geïnitialiseerd..."},
    {"no", MSG_RUNNING, "Kjører %s..."},
    {"pl", MSG_TEMP_DIR_ERROR,
     "Błąd podczas tworzenia katalogu tymczasowego %s"},
    {"pt", MSG_JVM_NOT_VALID, "A JVM não é válida."},
    {"pt_BR", MSG_CANCELED, "Cancelado pelo usuário."},
    {"ru", MSG_LAUNCH_FAILED, "Не удалось запустить %s."},
    {"sv", MSG_INVALID_ACTION, "Ogiltig åtgärd i indatafilen: "},
    {"tr", MSG_SEARCHING, "%s aranıyor..."},
    {"zh", MSG_NO_JVM_FOUND, "未找到 Java(tm) 虚拟机。"},
    {"zh_TW", MSG_NO_JVM_FOUND, "找不到 Java(tm) 虛擬機器。"},
};

TEST(MessagesTables, StoredInLegacyEncoding) {
  ASSERT_EQ(sizeof(kStoredTexts) / sizeof(kStoredTexts[0]),
            static_cast<size_t>(kMessageLocaleCount));
  for (int locale = 0; locale < kMessageLocaleCount; ++locale) {
    const StoredTextCase& c = kStoredTexts[locale];
    SCOPED_TRACE(c.code);
    ASSERT_STREQ(msg_locale_table[locale][0], c.code);
    std::string stored = msg_locale_table[locale][c.index];
    EXPECT_EQ(iconvText(stored, kLocales[locale].encoding, "UTF-8"),
              std::string(c.utf8));
    if (locale != 0) {
      EXPECT_NE(stored, c.utf8) << "stored as UTF-8";
    }
  }
}

// A few texts spelled out byte by byte, independent of iconv's tables.
TEST(MessagesTables, KnownBytes) {
  const struct {
    const char* const* table;
    int index;
    const char* bytes;
  } cases[] = {
      {unixlauncher_msg_fr, MSG_CANCELED, "Annul\xE9 par l'utilisateur."},
      {unixlauncher_msg_de, MSG_JVM_NOT_VALID, "Die JVM ist ung\xFCltig."},
      {unixlauncher_msg_ja, MSG_JVM_NOT_VALID,
       "JVM \xA4\xAC\xCC\xB5\xB8\xFA\xA4\xC7\xA4\xB9\xA1\xA3"},
      {unixlauncher_msg_ru, MSG_SEARCHING_FOR, "\xBF\xDE\xD8\xE1\xDA %s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table[0]);
    EXPECT_STREQ(c.table[c.index], c.bytes);
  }
}

}  // namespace
