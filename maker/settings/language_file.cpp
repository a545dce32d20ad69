// Reading language files, finding the active one, and installing a chosen one over it.
#include "maker/settings/language_file.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/fd_io.h"
#include "common/library_loader.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "common/unique_fd.h"

namespace {

constexpr const char* kWindowSections[] = {kMainFormSection, kOptionsFormSection, kCdInfoFormSection};

// The first maxChars characters of utf8 (an invalid byte counts as one character).
std::string CutToCharacters(std::string_view utf8, size_t maxChars) {
  size_t chars = 0;
  size_t at = 0;
  while (at < utf8.size()) {
    if (chars == maxChars) return std::string(utf8.substr(0, at));
    const auto lead = static_cast<unsigned char>(utf8[at]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    // A sequence cut short by the end or by a byte that does not continue it counts as
    // its lead byte alone, as Utf8Length counts it.
    for (size_t i = 1; i < length; ++i) {
      if (at + i >= utf8.size() || (static_cast<unsigned char>(utf8[at + i]) & 0xC0) != 0x80) {
        length = 1;
        break;
      }
    }
    at += length;
    ++chars;
  }
  return std::string(utf8);
}

// The text of a language file, read with the INI reader's limits.
Expected<std::string> ReadLanguageText(const std::string& path) {
  auto text = ReadIniText(path);
  if (text) return std::move(text).Value();
  const Error& error = text.Error();
  if (error.Is(IniFault::Refused)) return Fail(LanguageFileRefused(path, error.reason));
  return Fail(LanguageFileReadFailure(path, error.errnum));
}

}  // namespace

Error LanguageFileReadFailure(const std::string& path, int errnum) {
  return IoError(errnum, path, "Cannot read the language file " + path).WithCase(LanguageFileFault::Read);
}

Error NotALanguageFile(const std::string& path) {
  const std::string reason = std::string("it has none of the sections [") + kMainFormSection + "], [" +
                             kOptionsFormSection + "] and [" + kCdInfoFormSection + "].";
  return Error(ErrorCategory::Format, {}, path + " is not a language file: " + reason, reason, path)
      .WithCase(LanguageFileFault::NotALanguageFile);
}

Error LanguageFileCopyFailure(const std::string& path, const std::string& target, int errnum) {
  return IoError(errnum, path, "Cannot copy the language file " + path + " to " + target)
      .WithCase(LanguageFileFault::Copy);
}

Error LanguageFileRefused(const std::string& path, const std::string& detail) {
  return Error(ErrorCategory::Format, {}, path + " is not a language file: " + detail + ".", detail, path)
      .WithCase(LanguageFileFault::Refused);
}

LanguageFile LanguageFile::FromText(std::string_view text) {
  LanguageFile file;
  file.ini_ = IniFile::FromText(text);
  return file;
}

Expected<LanguageFile> LanguageFile::Load(const std::string& path) {
  auto text = ReadLanguageText(path);
  if (!text) {
    if (text.Error().Is(LanguageFileFault::Read) && text.Error().errnum == ENOENT) return LanguageFile();
    return Fail(text.Error());
  }
  return FromText(text.Value());
}

std::string LanguageFile::Value(std::string_view section, std::string_view prefix, std::string_view component) const {
  std::string key(prefix);
  key += '_';
  key += component;
  return Entry(section, key);
}

std::string LanguageFile::Entry(std::string_view section, std::string_view key) const {
  // The INI reader drops the blanks around a value (and one pair of enclosing quotes).
  return CutToCharacters(ini_.ReadString(section, key, ""), kLanguageValueChars);
}

std::string LanguageFile::Text(std::string_view section, std::string_view component) const {
  return Value(section, "TextOf", component);
}

std::string LanguageFile::Hint(std::string_view section, std::string_view component) const {
  return Value(section, "HintOf", component);
}

bool LanguageFile::HasWindowSection() const {
  for (const char* section : kWindowSections) {
    if (ini_.HasSection(section)) return true;
  }
  return false;
}

std::string UserLanguageFilePath() { return UserFolder() + kLanguageFileName; }

std::string ShippedLanguageFolder() {
  const std::string installed = SharedDataFolder() + "lang/";
  if (FileExists(installed + kLanguageFileName) || std::getenv("ZIMBAR_SHARE_DIR") != nullptr) return installed;
  // A program run from the build tree (bin/) finds the files the build copied beside it.
  const std::string built = ProgramFolder() + "../share/zimbar/lang/";
  return FileExists(built + kLanguageFileName) ? built : installed;
}

std::string MessagesLocale() {
  // The order in which the C library looks for the messages category.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::string ShippedLanguageFileName(std::string_view locale) {
  // One row per shipped translation: the language part of a locale name (ISO 639).
  struct Translation {
    std::string_view language;
    const char* file;
  };
  static constexpr Translation kTranslations[] = {{"de", "language_deutsch.txt"}};
  // "de_DE.UTF-8@euro": the language ends at the territory, the code set or the modifier.
  const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
  for (const Translation& translation : kTranslations) {
    if (language.size() == translation.language.size() &&
        strncasecmp(language.data(), translation.language.data(), language.size()) == 0)
      return translation.file;
  }
  return {};
}

std::string ActiveLanguageFilePath() {
  const std::string own = UserLanguageFilePath();
  if (FileExists(own)) return own;
  const std::string folder = ShippedLanguageFolder();
  // A first start follows the desktop's language; the user's choice is not made for them
  // (nothing is copied), so another LANG at the next start is followed as well.
  if (const std::string translation = ShippedLanguageFileName(MessagesLocale());
      !translation.empty() && FileExists(folder + translation))
    return folder + translation;
  return folder + kLanguageFileName;
}

Outcome InstallLanguageFile(const std::string& chosen, const std::string& target) {
  auto text = ReadLanguageText(chosen);
  if (!text) return Fail(text.Error());
  if (!LanguageFile::FromText(text.Value()).HasWindowSection())
    return Fail(NotALanguageFile(chosen));

  auto copyFailed = [&](int errnum) { return Fail(LanguageFileCopyFailure(chosen, target, errnum)); };
  if (auto made = CreateDirectories(ExtractFileDir(target)); !made) return copyFailed(made.Error().errnum);
  // Written beside the target and renamed over it only when complete.
  auto out = OutputFile::Create(target);
  if (!out) return copyFailed(out.Error().errnum);
  if (!WriteAll(out.Value().Fd(), text.Value().data(), text.Value().size())) return copyFailed(errno != 0 ? errno : EIO);
  if (auto committed = out.Value().Commit(); !committed) return copyFailed(committed.Error().errnum);
  return Done{};
}
