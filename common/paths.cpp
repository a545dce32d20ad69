// Path splitting and joining, the per-user folder, folder creation.
#include "common/paths.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/library_loader.h"
#include "common/text_encoding.h"

SplitPath SplitFilePath(std::string_view path) {
  SplitPath parts;
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  parts.dir = std::string(path.substr(0, nameStart));
  const std::string_view file = path.substr(nameStart);
  const size_t dot = file.rfind('.');
  // A dot at the start of the name marks a hidden file, not an extension; "." and ".."
  // name folders.
  if (dot == std::string_view::npos || dot == 0 || file == "..") {
    parts.name = std::string(file);
  } else {
    parts.name = std::string(file.substr(0, dot));
    parts.ext = std::string(file.substr(dot));
  }
  return parts;
}

std::string ExtractFileDir(std::string_view path) { return SplitFilePath(path).dir; }

std::string ExtractFileName(std::string_view path) {
  SplitPath parts = SplitFilePath(path);
  return parts.name + parts.ext;
}

std::string ExtractFileExt(std::string_view path) { return SplitFilePath(path).ext; }

std::string ExtractBaseName(std::string_view path) { return SplitFilePath(path).name; }

std::string JoinPath(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  std::string joined = WithTrailingSlash(dir);
  joined += name;
  return joined;
}

std::string WithTrailingSlash(std::string_view folder) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out.push_back('/');
  return out;
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const SplitPath parts = SplitFilePath(path);
  return parts.drive + parts.dir + FitFileName(parts.name + std::string(ext));
}

std::string FitFileName(std::string_view name, size_t maxBytes) {
  if (name.size() <= maxBytes) return std::string(name);
  constexpr size_t kLongestExtension = 32;
  std::string ext = ExtractFileExt(name);
  if (ext.size() > kLongestExtension || ext.size() >= maxBytes) ext.clear();
  const std::string_view stem = name.substr(0, name.size() - ext.size());
  return CutUtf8(stem, maxBytes - ext.size()) + ext;
}

std::string FitPathComponents(std::string_view path) {
  std::string fitted;
  size_t at = 0;
  while (at <= path.size()) {
    const size_t slash = std::min(path.find('/', at), path.size());
    fitted += FitFileName(path.substr(at, slash - at));
    if (slash == path.size()) break;
    fitted += '/';
    at = slash + 1;
  }
  return fitted;
}

std::string FollowLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info{};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) break;
    target.resize(static_cast<size_t>(n));
    path = target.front() == '/' ? target : ExtractFileDir(path) + target;
  }
  return path;
}

namespace {

// $HOME, else the password database's home folder; empty when neither names one.
std::string HomeFolder() {
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') return env;
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) return found->pw_dir;
  return {};
}

}  // namespace

std::string UserFolder() {
  if (const char* home = std::getenv("ZIMBAR_HOME"); home != nullptr && *home != '\0')
    return WithTrailingSlash(home);
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/')
    return JoinPath(config, "zimbar/");
  std::string home = HomeFolder();
  if (home.empty()) home = "/tmp";
  return JoinPath(home, ".config/zimbar/");
}

std::string UserMusicFolder() {
  std::string home = HomeFolder();
  if (home.empty()) home = "/tmp";
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string dirs = (config != nullptr && *config == '/' ? std::string(config) : JoinPath(home, ".config")) +
                           "/user-dirs.dirs";
  // The lines are shell assignments, XDG_MUSIC_DIR="$HOME/Music"; the last one counts.
  std::string music;
  if (FILE* in = std::fopen(dirs.c_str(), "re")) {
    char line[4096];
    const std::string_view key = "XDG_MUSIC_DIR=";
    while (std::fgets(line, sizeof line, in) != nullptr) {
      std::string_view text(line);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
      if (!text.starts_with(key)) continue;
      text.remove_prefix(key.size());
      if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
      std::string value(text);
      if (value.starts_with("$HOME")) value = home + value.substr(5);
      music = value;
    }
    std::fclose(in);
  }
  while (music.size() > 1 && music.back() == '/') music.pop_back();
  // A folder set to the home folder itself is how the desktop switches one off.
  if (music.empty() || music.front() != '/' || music == home) music = JoinPath(home, "Music");
  return music;
}

std::string SharedDataFolder() {
  if (const char* share = std::getenv("ZIMBAR_SHARE_DIR"); share != nullptr && *share != '\0')
    return WithTrailingSlash(share);
  return ShippedDataFolderBeside(ProgramFolder());
}

std::string ShippedDataFolderBeside(std::string_view programFolder) {
  const std::string folder = WithTrailingSlash(programFolder);
  const std::string installed = folder + "../../share/zimbar/";
  if (DirectoryExists(installed)) return installed;
  const std::string built = folder + "../share/zimbar/";
  return DirectoryExists(built) ? built : installed;
}

std::string FindDataFile(std::string_view relativePath) {
  const std::string own = JoinPath(UserFolder(), relativePath);
  if (FileExists(own)) return own;
  return JoinPath(SharedDataFolder(), relativePath);
}

Outcome CreateDirectories(std::string_view path) {
  std::string target(path);
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  if (target.empty()) return Done{};
  // Each level from the top: an existing level is passed, a missing one made.
  size_t at = 0;
  while (at != std::string::npos) {
    at = target.find('/', at + 1);
    const std::string level = target.substr(0, at);
    if (level.empty()) continue;
    if (::mkdir(level.c_str(), 0777) == 0) continue;
    const int error = errno;
    struct stat info{};
    if (error == EEXIST && ::stat(level.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
    return Fail(IoError(error == EEXIST ? ENOTDIR : error, level, "Cannot create folder " + level));
  }
  return Done{};
}

bool FileExists(std::string_view path) {
  struct stat info{};
  return ::stat(std::string(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(std::string_view path) {
  struct stat info{};
  return ::stat(std::string(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
