// Language files: the translations of the maker's window texts, an INI file with one
// section per window and TextOf_<control> / HintOf_<control> keys; the active file and
// installing another one over it.
#pragma once

#include <string>
#include <string_view>

#include "common/error.h"
#include "common/ini_file.h"

// The sections of the three windows that translate themselves.
inline constexpr const char* kMainFormSection = "MP3 Maker Main";
inline constexpr const char* kOptionsFormSection = "MP3 Maker Options";
inline constexpr const char* kCdInfoFormSection = "MP3 Maker CD Info";

// The active language file's name, in the per-user folder and among the shipped files.
inline constexpr const char* kLanguageFileName = "Language.DAT";
// The longest value a key gives, in characters; longer values are cut.
inline constexpr size_t kLanguageValueChars = 253;

// What went wrong with a language file.
enum class LanguageFileFault {
  Read,              // it cannot be read (Io)
  NotALanguageFile,  // it has none of the three windows' sections (Format)
  Copy,              // it cannot be copied over the active one (Io)
  Refused,           // the INI reader refused it: beyond its limits (Format)
};

// "Cannot read the language file /x: reason".
Error LanguageFileReadFailure(const std::string& path, int errnum);
// "/x is not a language file: it has none of the sections [...], [...] and [...]."
Error NotALanguageFile(const std::string& path);
// "Cannot copy the language file /x to /y: reason".
Error LanguageFileCopyFailure(const std::string& path, const std::string& target, int errnum);
// "/x is not a language file: it is larger than 1048576 bytes." (detail: why the INI
// reader refused it).
Error LanguageFileRefused(const std::string& path, const std::string& detail);

class LanguageFile {
 public:
  // An empty file: every lookup gives an empty text.
  LanguageFile() = default;
  static LanguageFile FromText(std::string_view text);
  // Reads the file; a missing file gives an empty one, any other read failure an error,
  // and so does a file beyond the INI reader's limits (kMaxIniFileBytes, ...).
  static Expected<LanguageFile> Load(const std::string& path);

  // The caption (TextOf_<component>) or hint (HintOf_<component>) the file gives for a
  // component of the window's section: leading blanks dropped, cut to 253 characters.
  // Empty when the file has none, which means "leave the component as it is".
  std::string Text(std::string_view section, std::string_view component) const;
  std::string Hint(std::string_view section, std::string_view component) const;
  // The value of any key of a section, leading blanks dropped, cut to 253 characters;
  // empty when the file has none.
  std::string Entry(std::string_view section, std::string_view key) const;
  // Whether the file has a section of at least one of the three windows.
  bool HasWindowSection() const;

 private:
  std::string Value(std::string_view section, std::string_view prefix, std::string_view component) const;
  IniFile ini_;
};

// The per-user Language.DAT, which Load Language writes.
std::string UserLanguageFilePath();
// The folder of the shipped language files, ending with '/': share/zimbar/lang/ of the
// install, or for a program run from the build tree without $ZIMBAR_SHARE_DIR, the copy
// the build made beside it.
std::string ShippedLanguageFolder();
// The English texts under the name Load Language offers beside the translations (the
// same text as the shipped Language.DAT).
inline constexpr const char* kEnglishLanguageFileName = "language_english.txt";

// The locale the C library takes for messages from the environment: the first of
// LC_ALL, LC_MESSAGES and LANG that is set and not empty; empty when none is.
std::string MessagesLocale();
// The shipped translation for a locale name such as "de_DE.UTF-8", "de" or "de_AT@euro"
// (matched by its language part, without regard to case): its file name, or empty for
// English, "C", "POSIX", an empty name and every language without a shipped translation.
std::string ShippedLanguageFileName(std::string_view locale);
// The file the windows are translated from: the per-user Language.DAT when it exists
// (the user loaded a language); else, on a first start, the shipped translation of
// MessagesLocale() when there is one, else the shipped English Language.DAT.
std::string ActiveLanguageFilePath();

// Makes the chosen file the active language: copies it to target (the per-user
// Language.DAT; its folder is created when missing) through a temporary file renamed over
// it, so a failed copy (unreadable file, full disk) leaves the old file whole. A file that
// cannot be read as a language file, or has none of the three windows' sections, is
// refused and nothing changes.
Outcome InstallLanguageFile(const std::string& chosen, const std::string& target);
