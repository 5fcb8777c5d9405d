// Choosing the language from LANG and formatting one text.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/Messages.h"
#include "MessagesTestSupport.h"

namespace {

TEST(Messages, LocaleSelection) {
  const struct {
    const char* lang;  // null: unset
    const char* code;
  } cases[] = {
      {nullptr, "en"},
      {"", "en"},
      {"C", "en"},
      {"C.UTF-8", "en"},
      {"POSIX", "en"},
      {"garbage", "en"},
      {"en_US", "en"},            // second pass
      {"fr_CA.ISO8859-1", "fr"},  // second pass
      {"fr", "fr"},
      {"no_NO", "no"},
      {"sv", "sv"},        // first pass, whole value
      {"pt_BR", "pt_BR"},  // first pass wins before pt's second pass
      {"pt_BR.ISO8859-1", "pt_BR"},
      {"pt", "pt"},
      {"pt_PT", "pt"},
      {"zh_TW.BIG5", "zh_TW"},
      {"zh_CN", "zh"},
      {"zh_CN.GB2312", "zh"},
      {"de_DE", "de"},
      {"de_AT.UTF-8@euro", "de"},
      {"ja_JP.eucJP", "ja"},
      {"ko_KR.UTF-8", "ko"},
      {"tr_TR", "tr"},
      {"FR_fr", "en"},  // codes compare case-sensitively
      {"e", "en"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang != nullptr ? c.lang : "(unset)");
    ScopedLang lang(c.lang);
    int locale = get_locale();
    ASSERT_GE(locale, 0);
    ASSERT_LT(locale, kMessageLocaleCount);
    EXPECT_STREQ(msg_locale_table[locale][0], c.code);
  }
}

TEST(Messages, IdentifierIndexes) {
  const int kIndexes[] = {19, 20, 21, 22, 23, 24, 25, 26, 27,
                          28, 29, 30, 31, 32, 33, 36, 37, 38};
  for (int id = 0; id < 18; ++id) {
    EXPECT_EQ(messageIndexOf(static_cast<MessageIdentifier>(id)), kIndexes[id])
        << "identifier " << id;
  }
  EXPECT_EQ(messageIndexOf(MSGID_CANCELED), MSG_CANCELED);
  EXPECT_EQ(messageIndexOf(static_cast<MessageIdentifier>(-1)), -1);
  EXPECT_EQ(messageIndexOf(static_cast<MessageIdentifier>(18)), -1);
}

TEST(Messages, Formatting) {
  const struct {
    const char* lang;
    int index;
    const char* argument;
    const char* expected;
  } cases[] = {
      {nullptr, MSG_INITIALIZING, "Tovarin", "Initializing Tovarin..."},
      {nullptr, MSG_LAUNCH_FAILED, "App", "App could not be launched."},
      {nullptr, MSG_INITIALIZING, nullptr, "Initializing ..."},
      {nullptr, MSG_INITIALIZING, "100% sure %s",
       "Initializing 100% sure %s..."},
      {nullptr, MSG_NO_JVM_FOUND, "ignored",
       "No Java(tm) Virtual Machine was found."},
      {nullptr, messageIndexOf(MSGID_CANCELED), nullptr,
       "Canceled by the user."},
      {nullptr, MSG_PREPARING_WIZARD, nullptr,
       "Tovarin? is preparing the Tovarin Wizard, which\\nwill guide you "
       "through the rest of the setup process.\\nPlease wait..."},
      {nullptr, MSG_LOCALE_CODE, nullptr, "en"},
      {"de_DE", MSG_LOCALE_CODE, nullptr, "de"},
      {"de_DE", MSG_RUNNING, "Setup", "Setup wird ausgef\xFChrt..."},
      {"ja_JP.eucJP", MSG_PROGRESS_DOT, nullptr, "."},
      // Indexes outside the table, in English whatever the language.
      {nullptr, 39, nullptr, "Error displaying message: id(39)"},
      {nullptr, -1, nullptr, "Error displaying message: id(-1)"},
      {"ja_JP.UTF-8", 1000, "x", "Error displaying message: id(1000)"},
      {nullptr, INT_MIN, nullptr, "Error displaying message: id(-2147483648)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << (c.lang ? c.lang : "(unset)") << " index " << c.index);
    ScopedLang lang(c.lang);
    EXPECT_EQ(message(c.index, c.argument), c.expected);
  }
}

// The text is converted when LANG names a codeset other than the table's,
// and printed as stored otherwise or when the conversion is impossible.
TEST(Messages, TerminalCodeset) {
  const std::string kJaCanceled = "ユーザーによって取り消されました。";
  const std::string kFrNoJvm =
      "Aucune machine virtuelle Java(tm) n'a été trouvée.";
  const std::string kJaTempSpace =
      " 一時ディスク領域が不足している可能性があります。-tv:tempdir "
      "を使用して、ディスク領域に余裕のあるパーティション上の一時ディレクトリ"
      "を指定してください。";
  const std::string kJaStored = unixlauncher_msg_ja[MSG_CANCELED];
  const std::string kFrStored = unixlauncher_msg_fr[MSG_NO_JVM_FOUND];
  const struct {
    const char* lang;
    int index;
    const char* argument;
    std::string expected;
  } cases[] = {
      {"ja_JP.UTF-8", MSG_CANCELED, nullptr, kJaCanceled},
      {"ja_JP.utf8", MSG_CANCELED, nullptr, kJaCanceled},
      {"ja_JP.UTF-8@cjknarrow", MSG_CANCELED, nullptr, kJaCanceled},
      {"ja_JP.UTF-8", MSG_INITIALIZING, "Tovarin",
       "Tovarin を初期化しています..."},
      {"fr_FR.UTF-8", MSG_NO_JVM_FOUND, nullptr, kFrNoJvm},
      {"zh_TW.UTF-8", MSG_NO_JVM_FOUND, nullptr, "找不到 Java(tm) 虛擬機器。"},
      {"ru_RU.UTF-8", MSG_LAUNCH_FAILED, "App", "Не удалось запустить App."},
      {"en_US.UTF-8", MSG_CANCELED, nullptr, "Canceled by the user."},
      // A text longer than the converter's first buffer.
      {"ja_JP.UTF-8", MSG_TEMP_SPACE_HINT, nullptr, kJaTempSpace},
      // Other legacy codesets of the same language; ISO-2022-JP must end
      // in ASCII again, or the terminal stays switched to kanji.
      {"ru_RU.KOI8-R", MSG_LAUNCH_FAILED, "App",
       *iconvText("Не удалось запустить App.", "UTF-8", "KOI8-R")},
      {"ja_JP.ISO-2022-JP", MSG_CANCELED, nullptr,
       *iconvText(kJaCanceled, "UTF-8", "ISO-2022-JP")},
      {"ja_JP.SJIS", MSG_CANCELED, nullptr,
       *iconvText(kJaCanceled, "UTF-8", "SJIS")},
      // The table's own codeset under other spellings: stored bytes.
      {"ja_JP.eucJP", MSG_CANCELED, nullptr, kJaStored},
      {"ja_JP.EUC-JP", MSG_CANCELED, nullptr, kJaStored},
      {"fr_FR.ISO8859-1", MSG_NO_JVM_FOUND, nullptr, kFrStored},
      {"fr_FR.iso_8859_1", MSG_NO_JVM_FOUND, nullptr, kFrStored},
      // No codeset, an unknown one, or one that lacks the characters.
      {"ja_JP", MSG_CANCELED, nullptr, kJaStored},
      {"ja_JP.", MSG_CANCELED, nullptr, kJaStored},
      {"ja_JP@x.UTF-8", MSG_CANCELED, nullptr, kJaStored},
      {"fr_FR.NO-SUCH-CODESET", MSG_NO_JVM_FOUND, nullptr, kFrStored},
      {"ja_JP.ASCII", MSG_CANCELED, nullptr, kJaStored},
      {"ja_JP.ISO-8859-1", MSG_CANCELED, nullptr, kJaStored},
      // Codesets with zero bytes inside the text cannot be printed as such.
      {"ja_JP.UTF-16", MSG_CANCELED, nullptr, kJaStored},
      {"en_US.UTF-32", MSG_CANCELED, nullptr, "Canceled by the user."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    ScopedLang lang(c.lang);
    EXPECT_EQ(message(c.index, c.argument), c.expected);
  }
}

// A long title or argument is cut at the end of the 1024-byte buffer, and
// the rest of the buffer stays zero.
TEST(Messages, LongArgumentIsTruncated) {
  const std::string kLong(5000, 'x');
  const size_t kMaxText = kMessageBufferSize - 1;
  const struct {
    const char* lang;
    int index;
    std::string expected;
  } cases[] = {
      {nullptr, MSG_INITIALIZING,
       ("Initializing " + kLong).substr(0, kMaxText)},
      {nullptr, MSG_LAUNCH_FAILED, kLong.substr(0, kMaxText)},
      {nullptr, MSG_NO_JVM_FOUND, "No Java(tm) Virtual Machine was found."},
      {"ja_JP.UTF-8", MSG_INITIALIZING, kLong.substr(0, kMaxText)},
      {"ja_JP.eucJP", MSG_INITIALIZING, kLong.substr(0, kMaxText)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << (c.lang ? c.lang : "(unset)") << " index " << c.index);
    ScopedLang lang(c.lang);
    char* buffer = get_msg(c.index, const_cast<char*>(kLong.c_str()));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::string(buffer), c.expected);
    for (size_t i = c.expected.size(); i < kMessageBufferSize; ++i) {
      ASSERT_EQ(buffer[i], '\0') << "byte " << i;
    }
    free(buffer);
  }
}

// An argument just short of the limit leaves room for the end of the text.
TEST(Messages, ArgumentThatFitsKeepsTheText) {
  ScopedLang lang(nullptr);
  const std::string kTail = " could not be launched.";
  const std::string kArgument(kMessageBufferSize - 1 - kTail.size(), 'y');
  EXPECT_EQ(message(MSG_LAUNCH_FAILED, kArgument.c_str()), kArgument + kTail);
  EXPECT_EQ(message(MSG_LAUNCH_FAILED, (kArgument + "z").c_str()),
            kArgument + "z" + kTail.substr(0, kTail.size() - 1));
}

}  // namespace
