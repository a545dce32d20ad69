// URLs, folder collection, command-line and dropped entries.
#include "player/playlist/list_entries.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <set>
#include <utility>

#include "common/paths.h"
#include "player/playlist/list_order.h"
#include "player/playlist/play_list_file.h"

bool IsStreamUrl(std::string_view name) {
  return (name.size() >= 7 && strncasecmp(name.data(), "http://", 7) == 0) ||
         (name.size() >= 6 && strncasecmp(name.data(), "ftp://", 6) == 0);
}

bool HasExtension(std::string_view path, std::string_view ext) {
  const std::string actual = ExtractFileExt(path);
  return actual.size() == ext.size() && strncasecmp(actual.data(), ext.data(), ext.size()) == 0;
}

TypedUrl CheckTypedUrl(std::string_view line) {
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  if (line.empty()) return {};
  if (IsStreamUrl(line)) return {TypedUrl::Kind::Accepted, std::string(line)};
  return {TypedUrl::Kind::Refused, {}};
}

namespace {

using FolderId = std::pair<dev_t, ino_t>;

void Collect(const std::string& folder, std::set<FolderId>& seen, std::vector<std::string>& out) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  if (!seen.insert({st.st_dev, st.st_ino}).second) return;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string base = WithTrailingSlash(folder);
  std::vector<std::string> files, folders;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = base + name;
    struct stat item {};
    if (::stat(path.c_str(), &item) != 0) continue;
    if (S_ISREG(item.st_mode)) {
      if (HasExtension(name, ".mp3") || HasExtension(name, ".aac")) files.push_back(path);
    } else if (S_ISDIR(item.st_mode) && name.front() != '.') {
      folders.push_back(path);
    }
  }
  ::closedir(dir);
  for (std::string& f : SortedWithoutCase(files)) out.push_back(std::move(f));
  for (const std::string& f : folders) Collect(f, seen, out);
}

enum class PathKind { Missing, File, Folder };

PathKind KindOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
  if (S_ISDIR(st.st_mode)) return PathKind::Folder;
  return PathKind::File;
}

void AppendList(const std::string& path, std::vector<std::string>& out) {
  // An unreadable list adds nothing.
  if (auto entries = ReadPlayListFile(path))
    for (std::string& e : entries.Value()) out.push_back(std::move(e));
}

}  // namespace

std::vector<std::string> CollectFolder(const std::string& folder) {
  std::set<FolderId> seen;
  std::vector<std::string> out;
  Collect(folder, seen, out);
  return out;
}

std::vector<std::string> CommandLineEntries(const std::vector<std::string>& arguments) {
  std::vector<std::string> out;
  for (const std::string& a : arguments) {
    if (IsStreamUrl(a)) {
      out.push_back(a);
      continue;
    }
    switch (KindOf(a)) {
      case PathKind::Missing:
        break;
      case PathKind::Folder:
        for (std::string& e : CollectFolder(a)) out.push_back(std::move(e));
        break;
      case PathKind::File:
        if (HasExtension(a, ".mp3") || HasExtension(a, ".aac") || HasExtension(a, ".wav"))
          out.push_back(a);
        else if (HasExtension(a, ".pls"))
          AppendList(a, out);
        break;
    }
  }
  return out;
}

bool NamesExistingPath(const std::vector<std::string>& arguments) {
  for (const std::string& a : arguments)
    if (KindOf(a) != PathKind::Missing) return true;
  return false;
}

std::vector<std::string> DroppedEntries(const std::vector<std::string>& paths) {
  std::vector<std::string> out;
  for (const std::string& p : paths) {
    switch (KindOf(p)) {
      case PathKind::Missing:
        break;
      case PathKind::Folder:
        for (std::string& e : CollectFolder(p)) out.push_back(std::move(e));
        break;
      case PathKind::File:
        if (HasExtension(p, ".pls"))
          AppendList(p, out);
        else if (HasExtension(p, ".mp3") || HasExtension(p, ".mp2") || HasExtension(p, ".aac") ||
                 HasExtension(p, ".wav"))
          out.push_back(p);
        break;
    }
  }
  return out;
}
