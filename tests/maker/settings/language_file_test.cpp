// Tests of reading language files, finding the active one, installing a chosen one, and
// of the shipped files themselves.
#include "maker/settings/language_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/ini_file.h"
#include "tests/common/temp_dir.h"
#include "tests/maker/settings/translatable_names.h"

namespace {

const std::string kShippedFolder = std::string(ZIMBAR_SOURCE_DIR) + "/lang/";

std::string Repeat(const std::string& piece, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

}  // namespace

// Catches leading blanks shown in a caption, a key looked up under the wrong prefix or
// section, or a missing key that gives something other than "leave it unchanged".
TEST(LanguageFile, ValuesDropLeadingBlanksAndAreFoundByPrefixAndSection) {
  const LanguageFile file = LanguageFile::FromText(
      "[MP3 Maker Main]\nTextOf_StartButton=   Start\nHintOf_StartButton=\tGo\nTextOf_ClearButton=\n"
      "[MP3 Maker Options]\nTextOf_StartButton=Other\n");
  EXPECT_EQ(file.Text("MP3 Maker Main", "StartButton"), "Start");
  EXPECT_EQ(file.Hint("MP3 Maker Main", "StartButton"), "Go");
  EXPECT_EQ(file.Text("MP3 Maker Main", "ClearButton"), "");
  EXPECT_EQ(file.Text("MP3 Maker Main", "RemoveButton"), "");
  EXPECT_EQ(file.Hint("MP3 Maker Main", "ClearButton"), "");
  EXPECT_EQ(file.Text("MP3 Maker Options", "StartButton"), "Other");
  EXPECT_EQ(file.Text("MP3 Maker CD Info", "StartButton"), "");
}

// Catches a long value passed on whole, or cut by bytes so that a character is split or
// a text of non-ASCII letters is cut shorter than 253 characters.
TEST(LanguageFile, ValuesAreCutTo253Characters) {
  const std::string ascii = Repeat("a", 300);
  const std::string umlauts = Repeat("\xC3\xA4", 300);  // ä, two bytes each
  const LanguageFile file =
      LanguageFile::FromText("[MP3 Maker Main]\nTextOf_A=" + ascii + "\nTextOf_B=" + umlauts + "\nTextOf_C=" +
                             Repeat("b", 253) + "\n");
  EXPECT_EQ(file.Text("MP3 Maker Main", "A"), Repeat("a", 253));
  EXPECT_EQ(file.Text("MP3 Maker Main", "B"), Repeat("\xC3\xA4", 253));
  EXPECT_EQ(file.Text("MP3 Maker Main", "C"), Repeat("b", 253));
}

// Catches a missing file reported as an error (the windows then keep their texts), or an
// unreadable one taken silently as empty.
TEST(LanguageFile, MissingFileIsEmptyAndUnreadableFileIsAnError) {
  TempDir dir;
  auto missing = LanguageFile::Load(dir.File("none.DAT"));
  ASSERT_TRUE(missing.Ok());
  EXPECT_EQ(missing.Value().Text("MP3 Maker Main", "StartButton"), "");
  EXPECT_FALSE(missing.Value().HasWindowSection());
  ::mkdir(dir.File("folder.DAT").c_str(), 0755);
  auto unreadable = LanguageFile::Load(dir.File("folder.DAT"));
  ASSERT_FALSE(unreadable.Ok());
  EXPECT_TRUE(unreadable.Error().Is(LanguageFileFault::Read));
  EXPECT_NE(unreadable.Error().Message().find(dir.File("folder.DAT")), std::string::npos);
}

// Catches the shipped file used although the user loaded a language, or the per-user
// file looked for under another name or folder.
TEST(LanguageFile, ActiveFileIsThePerUserCopyElseTheShippedOne) {
  TempDir dir;
  ScopedEnv home("ZIMBAR_HOME", dir.File("home").c_str());
  ScopedEnv share("ZIMBAR_SHARE_DIR", dir.File("share").c_str());
  EXPECT_EQ(UserLanguageFilePath(), dir.File("home/Language.DAT"));
  EXPECT_EQ(ShippedLanguageFolder(), dir.File("share/lang/"));
  EXPECT_EQ(ActiveLanguageFilePath(), dir.File("share/lang/Language.DAT"));
  ::mkdir(dir.File("home").c_str(), 0755);
  WriteText(dir.File("home/Language.DAT"), "[MP3 Maker Main]\n");
  EXPECT_EQ(ActiveLanguageFilePath(), dir.File("home/Language.DAT"));
}

// Catches a first start that ignores the desktop's language, the variables read in
// another order than the C library reads them (LC_ALL, then LC_MESSAGES, then LANG, an
// empty one skipped), a locale name matched as a whole or by case, or a language without
// a translation that finds nothing to show.
TEST(LanguageFile, FirstStartTakesTheTranslationOfTheMessagesLocale) {
  EXPECT_EQ(ShippedLanguageFileName("de_DE.UTF-8"), "language_deutsch.txt");
  EXPECT_EQ(ShippedLanguageFileName("de"), "language_deutsch.txt");
  EXPECT_EQ(ShippedLanguageFileName("de_AT@euro"), "language_deutsch.txt");
  EXPECT_EQ(ShippedLanguageFileName("DE_ch.utf8"), "language_deutsch.txt");
  for (const char* other : {"", "C", "C.UTF-8", "POSIX", "en_US.UTF-8", "fr_FR.UTF-8", "dew_XX", "d"})
    EXPECT_EQ(ShippedLanguageFileName(other), "") << other;

  TempDir dir;
  ScopedEnv home("ZIMBAR_HOME", dir.File("home").c_str());
  ScopedEnv share("ZIMBAR_SHARE_DIR", dir.File("share").c_str());
  std::filesystem::create_directories(dir.File("share/lang"));
  WriteText(dir.File("share/lang/Language.DAT"), "[MP3 Maker Main]\n");
  WriteText(dir.File("share/lang/language_deutsch.txt"), "[MP3 Maker Main]\n");
  const std::string english = dir.File("share/lang/Language.DAT");
  const std::string german = dir.File("share/lang/language_deutsch.txt");
  {
    ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(MessagesLocale(), "de_DE.UTF-8");
    EXPECT_EQ(ActiveLanguageFilePath(), german);
  }
  {
    ScopedEnv all("LC_ALL", ""), messages("LC_MESSAGES", "de_CH.UTF-8"), lang("LANG", "en_GB.UTF-8");
    EXPECT_EQ(MessagesLocale(), "de_CH.UTF-8");
    EXPECT_EQ(ActiveLanguageFilePath(), german);
  }
  {
    ScopedEnv all("LC_ALL", "C.UTF-8"), messages("LC_MESSAGES", "de_DE.UTF-8"), lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(MessagesLocale(), "C.UTF-8");
    EXPECT_EQ(ActiveLanguageFilePath(), english);
  }
  {
    ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", nullptr);
    EXPECT_EQ(MessagesLocale(), "");
    EXPECT_EQ(ActiveLanguageFilePath(), english);
  }
  {
    ScopedEnv all("LC_ALL", "de_DE.UTF-8");
    // A translation missing from the install falls back to English.
    ::unlink(german.c_str());
    EXPECT_EQ(ActiveLanguageFilePath(), english);
    WriteText(german, "[MP3 Maker Main]\n");
    // The language the user loaded wins over the desktop's.
    ::mkdir(dir.File("home").c_str(), 0755);
    WriteText(dir.File("home/Language.DAT"), "[MP3 Maker Main]\n");
    EXPECT_EQ(ActiveLanguageFilePath(), dir.File("home/Language.DAT"));
  }
}

// Catches Load Language without a way back to English: the English texts ship under a
// name its file dialog lists (language_*.txt), byte for byte the built-in file.
TEST(ShippedLanguageFiles, EnglishIsOfferedBesideTheTranslations) {
  const std::string built = std::string(ZIMBAR_BIN_DIR) + "/../share/zimbar/lang/";
  EXPECT_EQ(ReadText(built + kEnglishLanguageFileName), ReadText(kShippedFolder + "Language.DAT"));
  EXPECT_EQ(ReadText(built + "language_deutsch.txt"), ReadText(kShippedFolder + "language_deutsch.txt"));
}

// Catches a copy that changes the bytes, a missing per-user folder that fails the copy, or
// a temporary file left beside the result.
TEST(LanguageFile, InstallCopiesTheChosenFileExactlyAndCreatesTheFolder) {
  TempDir dir;
  const std::string chosen = dir.File("language_test.txt");
  const std::string text = "; UTF-8\r\n[MP3 Maker Main]\r\nTextOf_StartButton=St\xC3\xA4rt\r\n";
  WriteText(chosen, text);
  const std::string target = dir.File("home/sub/Language.DAT");
  auto installed = InstallLanguageFile(chosen, target);
  ASSERT_TRUE(installed.Ok()) << installed.Error().Message();
  EXPECT_EQ(ReadText(target), text);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.File("home/sub"))) ++files;
  EXPECT_EQ(files, 1u);
  // Installing the active file over itself keeps it.
  ASSERT_TRUE(InstallLanguageFile(target, target).Ok());
  EXPECT_EQ(ReadText(target), text);
}

// Catches a language file read whole whatever its size (a Language.DAT of newlines costs
// hundreds of megabytes at every start): beyond the INI reader's limits it is refused,
// on load and when chosen, and the old file stays.
TEST(LanguageFile, FileBeyondTheLimitsIsRefused) {
  TempDir dir;
  const std::string huge = dir.File("Language.DAT");
  WriteText(huge, "[MP3 Maker Main]\nTextOf_StartButton=Go\n" + std::string(kMaxIniFileBytes, '\n'));
  auto loaded = LanguageFile::Load(huge);
  ASSERT_FALSE(loaded.Ok());
  EXPECT_EQ(loaded.Error().Message(),
            huge + " is not a language file: it is larger than " + std::to_string(kMaxIniFileBytes) + " bytes.");
  const std::string target = dir.File("home/Language.DAT");
  auto installed = InstallLanguageFile(huge, target);
  ASSERT_FALSE(installed.Ok());
  EXPECT_TRUE(installed.Error().Is(LanguageFileFault::Refused));
  EXPECT_FALSE(std::filesystem::exists(target));
}

// Catches a failed copy that leaves a broken or emptied Language.DAT, or that is not
// reported: an unreadable choice, a file that is no language file, a target that cannot
// be written, and a disk that fills up in the middle of the copy.
TEST(LanguageFile, FailedInstallKeepsTheOldFileAndSaysWhy) {
  TempDir dir;
  const std::string target = dir.File("Language.DAT");
  const std::string old = "[MP3 Maker Main]\nTextOf_StartButton=Old\n";
  WriteText(target, old);

  ::mkdir(dir.File("language_folder.txt").c_str(), 0755);
  auto unreadable = InstallLanguageFile(dir.File("language_folder.txt"), target);
  ASSERT_FALSE(unreadable.Ok());
  EXPECT_TRUE(unreadable.Error().Is(LanguageFileFault::Read));

  WriteText(dir.File("language_notes.txt"), "[Something else]\nTextOf_StartButton=New\n");
  auto foreign = InstallLanguageFile(dir.File("language_notes.txt"), target);
  ASSERT_FALSE(foreign.Ok());
  EXPECT_TRUE(foreign.Error().Is(LanguageFileFault::NotALanguageFile));
  EXPECT_NE(foreign.Error().Message().find("is not a language file"), std::string::npos);

  const std::string big = dir.File("language_big.txt");
  WriteText(big, "[MP3 Maker Main]\n" + Repeat("HintOf_StartButton=" + Repeat("x", 200) + "\n", 1000));
  WriteText(dir.File("blocker"), "a file where a folder should be");
  auto blocked = InstallLanguageFile(big, dir.File("blocker/Language.DAT"));
  ASSERT_FALSE(blocked.Ok());
  EXPECT_TRUE(blocked.Error().Is(LanguageFileFault::Copy));
  EXPECT_NE(blocked.Error().Message().find("Cannot copy the language file " + big + " to "), std::string::npos);

  EXPECT_TRUE(PassesWithFileSizeLimit(65536, [&] {
    auto full = InstallLanguageFile(big, target);
    return !full.Ok() && full.Error().Is(LanguageFileFault::Copy) && full.Error().errnum == EFBIG;
  }));
  EXPECT_EQ(ReadText(target), old);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    files += entry.path().filename().string().rfind("Language.DAT", 0) == 0 ? 1 : 0;
  EXPECT_EQ(files, 1u) << "a temporary copy was left behind";
}

// Catches a shipped translation that lacks a text of the English file (the window would
// show a mix of languages), a key with a typing error in a control's name, a caption key
// for a control that takes only a hint, or an empty value.
TEST(ShippedLanguageFiles, HaveTheSameKeysAndEachNamesATranslatableControl) {
  auto english = IniFile::Load(kShippedFolder + "Language.DAT");
  auto german = IniFile::Load(kShippedFolder + "language_deutsch.txt");
  ASSERT_TRUE(english.Ok() && german.Ok());
  ASSERT_FALSE(english.Value().Sections().empty());
  EXPECT_EQ(english.Value().Sections(), german.Value().Sections());
  for (const auto& [section, names] : TranslatableNames()) {
    SCOPED_TRACE(section);
    const std::vector<std::string> keys = english.Value().Keys(section);
    EXPECT_FALSE(keys.empty());
    EXPECT_EQ(keys, german.Value().Keys(section));
    for (const std::string& key : keys) {
      const bool text = key.rfind("TextOf_", 0) == 0;
      ASSERT_TRUE(text || key.rfind("HintOf_", 0) == 0) << key;
      const std::string name = key.substr(7);
      EXPECT_TRUE(names.count(name) == 1) << key << " names no control of the window";
      // Lists, edits, memos and panels take a hint only.
      for (const char* hintOnly : {"ComboBox", "Edit", "Memo", "ListBox", "List", "Panel"}) {
        const std::string suffix = hintOnly;
        const bool isHintOnly = name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
        EXPECT_FALSE(text && isHintOnly) << key << " would have no effect";
      }
      EXPECT_FALSE(english.Value().ReadString(section, key, "").empty()) << key;
      EXPECT_FALSE(german.Value().ReadString(section, key, "").empty()) << key;
    }
  }
  // The language lines name each file's language.
  EXPECT_EQ(english.Value().ReadString("MP3 Maker Options", "TextOf_LanguageLabel", ""), "English");
  EXPECT_EQ(german.Value().ReadString("MP3 Maker Options", "TextOf_LanguageLabel", ""), "Deutsch");
}
