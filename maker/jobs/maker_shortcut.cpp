// The maker's desktop shortcut.
#include "maker/jobs/maker_shortcut.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/paths.h"

namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

// The value of XDG_DESKTOP_DIR="..." in a user-dirs.dirs file, $HOME expanded.
std::string DesktopDirOf(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    if (!line.starts_with(key)) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.starts_with("$HOME")) value = HomeFolder() + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
  }
  return {};
}

// A word of the Exec key: quoted, the characters the quoting reserves escaped, then the
// backslashes escaped once more for the string value, and '%' doubled.
std::string ExecWord(const std::string& word) {
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (char c : quoted) {
    if (c == '\\') value += "\\\\";
    else if (c == '%') value += "%%";
    else value += c;
  }
  return value;
}

}  // namespace

std::string MakerDesktopFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string configFolder = config && *config == '/' ? std::string(config) : HomeFolder() + "/.config";
  std::string folder = DesktopDirOf(configFolder + "/user-dirs.dirs");
  if (folder.empty()) folder = JoinPath(HomeFolder(), "Desktop");
  return WithTrailingSlash(folder);
}

std::string MakerDesktopEntryText(const std::string& program) {
  return std::string("[Desktop Entry]\n"
                     "Type=Application\n"
                     "Version=1.0\n"
                     "Name=") + kMakerShortcutName + "\n"
         "Comment=Rip audio CDs and convert between WAV, MP3 and AAC\n"
         "Exec=" + ExecWord(program) + " %F\n"
         "Icon=media-optical-audio\n"
         "Terminal=false\n"
         "Categories=AudioVideo;Audio;\n"
         "MimeType=audio/x-wav;audio/mpeg;audio/aac;\n";
}

std::string MakerShortcutError::Message() const {
  return "Cannot create the desktop shortcut " + path + ": " + std::strerror(errnum);
}

Result<bool, MakerShortcutError> CreateMakerShortcutOnce(SettingsTable& settings, const std::string& folder,
                                                         const std::string& program) {
  if (settings.Int("Version") >= kMakerSettingsVersion) return false;
  if (!DirectoryExists(folder)) {
    settings.SetInt("Version", kMakerSettingsVersion);
    return false;
  }
  const std::string path = JoinPath(folder, std::string(kMakerShortcutName) + ".desktop");
  auto file = OutputFile::Create(path);
  if (!file) return Fail(MakerShortcutError{path, file.Error().errnum});
  const std::string text = MakerDesktopEntryText(program);
  if (!WriteAll(file.Value().Fd(), text.data(), text.size()) || ::fchmod(file.Value().Fd(), 0755) != 0)
    return Fail(MakerShortcutError{path, errno});
  if (auto committed = file.Value().Commit(); !committed)
    return Fail(MakerShortcutError{path, committed.Error().errnum});
  settings.SetInt("Version", kMakerSettingsVersion);
  return true;
}
