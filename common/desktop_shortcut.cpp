// Desktop entry files on the desktop folder.
#include "common/desktop_shortcut.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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
  while (std::getline(in, line)) {
    const std::string key = "XDG_DESKTOP_DIR=";
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = HomeFolder() + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
  }
  return {};
}

// A word of the Exec key: quoted, with the characters the quoting reserves escaped, then
// the backslashes escaped once more for the string value, and '%' doubled.
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

std::string DesktopFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string configFolder = config && *config == '/' ? std::string(config) : HomeFolder() + "/.config";
  std::string folder = DesktopDirOf(configFolder + "/user-dirs.dirs");
  if (folder.empty()) folder = JoinPath(HomeFolder(), "Desktop");
  return WithTrailingSlash(folder);
}

std::string DesktopEntryText(const DesktopEntry& entry, const std::string& program) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.0\n"
         "Name=" + entry.name + "\n"
         "Comment=" + entry.comment + "\n"
         "Exec=" + ExecWord(program) + " %F\n"
         "Icon=" + entry.icon + "\n"
         "Terminal=false\n"
         "Categories=" + entry.categories + "\n"
         "MimeType=" + entry.mimeTypes + "\n";
}

std::string RunningProgramPath() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<size_t>(n));
}

namespace {
Error ShortcutFailure(const std::string& path, int errnum) {
  return IoError(errnum, path, "Cannot create the desktop shortcut " + path);
}
}  // namespace

Outcome CreateDesktopShortcut(const std::string& folder, const DesktopEntry& entry, const std::string& program) {
  if (!DirectoryExists(folder)) return Done{};
  const std::string path = JoinPath(folder, entry.name + ".desktop");
  auto file = OutputFile::Create(path);
  if (!file) return Fail(ShortcutFailure(path, file.Error().errnum));
  const std::string text = DesktopEntryText(entry, program);
  if (!WriteAll(file.Value().Fd(), text.data(), text.size()) || ::fchmod(file.Value().Fd(), 0755) != 0)
    return Fail(ShortcutFailure(path, errno));
  if (auto committed = file.Value().Commit(); !committed) return Fail(ShortcutFailure(path, committed.Error().errnum));
  return Done{};
}
