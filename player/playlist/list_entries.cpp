// URLs, folder collection, command-line and dropped entries.
#include "player/playlist/list_entries.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <set>
#include <utility>

#include "common/paths.h"
#include "player/playlist/entry_location.h"
#include "player/playlist/list_order.h"
#include "player/playlist/play_list_file.h"

bool IsStreamUrl(std::string_view name) {
  return (name.size() >= 7 && strncasecmp(name.data(), "http://", 7) == 0) ||
         (name.size() >= 8 && strncasecmp(name.data(), "https://", 8) == 0) ||
         (name.size() >= 6 && strncasecmp(name.data(), "ftp://", 6) == 0);
}

bool HasExtension(std::string_view path, std::string_view ext) {
  const std::string actual = ExtractFileExt(path);
  return actual.size() == ext.size() && strncasecmp(actual.data(), ext.data(), ext.size()) == 0;
}

TypedUrl CheckTypedUrl(std::string_view line) {
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  if (line.empty()) return {};
  if (!IsStreamUrl(line)) return {TypedUrl::Kind::Refused, {}};
  if (EntryTooLong(line)) return {TypedUrl::Kind::TooLong, {}};
  return {TypedUrl::Kind::Accepted, std::string(line)};
}

namespace {

static_assert(kMaxEntryBytes == 4095, "kUrlTooLongMessage names the limit");

using FolderId = std::pair<dev_t, ino_t>;

// The extensions of the files the engines play. The engines themselves choose by content;
// this list only decides which names the list takes from folders, the command line and drops.
constexpr std::array<std::string_view, 10> kPlayedExtensions{".mp3", ".mp2", ".aac",  ".wav", ".flac",
                                                              ".ogg", ".oga", ".opus", ".m4a", ".mp4"};

bool IsPlayedFile(std::string_view name) {
  return std::any_of(kPlayedExtensions.begin(), kPlayedExtensions.end(),
                     [name](std::string_view ext) { return HasExtension(name, ext); });
}

bool IsListFile(std::string_view path) {
  return HasExtension(path, ".pls") || HasExtension(path, ".m3u") || HasExtension(path, ".m3u8");
}

bool IsCancelled(const Cancelled& cancelled) { return cancelled && cancelled(); }

void Collect(const std::string& folder, std::set<FolderId>& seen, std::vector<std::string>& out,
             const Cancelled& cancelled) {
  if (IsCancelled(cancelled)) return;
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
    // Only looked at, never opened: a FIFO among the files is just left out.
    struct stat item {};
    if (::stat(path.c_str(), &item) != 0) continue;
    if (S_ISREG(item.st_mode)) {
      if (IsPlayedFile(name) && !EntryTooLong(path)) files.push_back(path);
    } else if (S_ISDIR(item.st_mode) && name.front() != '.') {
      folders.push_back(path);
    }
  }
  ::closedir(dir);
  for (std::string& f : SortedWithoutCase(files)) out.push_back(std::move(f));
  // The subfolders in a stable order too (the file system's own order is its hash's or
  // creation's), each kept even when another differs from it in case only.
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    const int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
  });
  for (const std::string& f : folders) Collect(f, seen, out, cancelled);
}

enum class PathKind { Missing, File, Folder };

PathKind KindOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
  if (S_ISDIR(st.st_mode)) return PathKind::Folder;
  return PathKind::File;
}

void Append(GatheredEntries& to, GatheredEntries&& from) {
  for (std::string& e : from.entries) to.entries.push_back(std::move(e));
  for (std::string& n : from.notices) to.notices.push_back(std::move(n));
  for (ListEntry& d : from.described) to.described.push_back(std::move(d));
}

void AppendFolder(GatheredEntries& to, const std::string& folder, const Cancelled& cancelled) {
  for (std::string& e : CollectFolder(folder, cancelled)) to.entries.push_back(std::move(e));
}

// "Argument 3: an address of 5000 bytes is longer than ...".
std::string TooLongNotice(const std::string& what, std::string_view name) {
  return what + " of " + std::to_string(name.size()) + " bytes is longer than a path can be (at most " +
         std::to_string(kMaxEntryBytes) + " bytes); it was left out";
}

constexpr const char* kNotPlayedNotice =
    ": the player plays MP3, AAC, WAV, FLAC, Ogg Vorbis, Opus and M4A files and lists of them (.pls, .m3u, "
    ".m3u8), not this kind of file; it was left out";

bool IsDroppableFile(const std::string& path) { return IsListFile(path) || IsPlayedFile(path); }

}  // namespace

std::vector<std::string> CollectFolder(const std::string& folder, const Cancelled& cancelled) {
  std::set<FolderId> seen;
  std::vector<std::string> out;
  Collect(folder, seen, out, cancelled);
  return out;
}

GatheredEntries ListFileEntries(const std::string& path, bool missingIsQuiet) {
  GatheredEntries gathered;
  std::vector<RefusedLine> refused;
  auto read = ReadPlayListEntries(path, &refused);
  if (!read) {
    if (!(missingIsQuiet && read.Error().errnum == ENOENT)) gathered.notices.push_back(read.Error().Message());
    return gathered;
  }
  for (ListEntry& e : read.Value()) {
    gathered.entries.push_back(e.location);
    if (!e.title.empty() || e.durationSeconds >= 0) gathered.described.push_back(std::move(e));
  }
  for (const RefusedLine& r : refused) gathered.notices.push_back(RefusedLineMessage(path, r));
  return gathered;
}

GatheredEntries CommandLineEntries(const std::vector<std::string>& arguments, const Cancelled& cancelled) {
  GatheredEntries out;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (IsCancelled(cancelled)) break;
    const std::string argument = "Argument " + std::to_string(i + 1);
    if (IsStreamUrl(arguments[i])) {
      if (EntryTooLong(arguments[i]))
        out.notices.push_back(TooLongNotice(argument + ": an address", arguments[i]));
      else
        out.entries.push_back(arguments[i]);
      continue;
    }
    // Stored absolute: the list outlives the folder the player was started from.
    const std::string a = ResolveEntry(arguments[i]);
    if (EntryTooLong(a)) {
      out.notices.push_back(TooLongNotice(argument + ": a path", a));
      continue;
    }
    switch (KindOf(a)) {
      case PathKind::Missing:
        out.notices.push_back(argument + ": " + a + ": no such file or folder; it was left out");
        break;
      case PathKind::Folder:
        AppendFolder(out, a, cancelled);
        break;
      case PathKind::File:
        if (IsPlayedFile(a))
          out.entries.push_back(a);
        else if (IsListFile(a))
          Append(out, ListFileEntries(a));
        else
          out.notices.push_back(argument + ": " + a + kNotPlayedNotice);
        break;
    }
  }
  return out;
}

bool NamesExistingPath(const std::vector<std::string>& arguments) {
  for (const std::string& a : arguments)
    if (KindOf(ResolveEntry(a)) != PathKind::Missing) return true;
  return false;
}

GatheredEntries DroppedEntries(const std::vector<std::string>& paths, const Cancelled& cancelled) {
  GatheredEntries out;
  for (const std::string& given : paths) {
    if (IsCancelled(cancelled)) break;
    const std::string p = ResolveEntry(given);
    if (EntryTooLong(p)) {
      out.notices.push_back(TooLongNotice("A dropped name", p));
      continue;
    }
    switch (KindOf(p)) {
      case PathKind::Missing:
        break;
      case PathKind::Folder:
        AppendFolder(out, p, cancelled);
        break;
      case PathKind::File:
        if (IsListFile(p))
          Append(out, ListFileEntries(p));
        else if (IsDroppableFile(p))
          out.entries.push_back(p);
        else
          out.notices.push_back(p + kNotPlayedNotice);
        break;
    }
  }
  return out;
}

bool IsDroppable(const std::string& given) {
  const std::string path = ResolveEntry(given);
  if (EntryTooLong(path)) return false;
  switch (KindOf(path)) {
    case PathKind::Missing: return false;
    case PathKind::Folder: return true;
    case PathKind::File: return IsDroppableFile(path);
  }
  return false;
}

StartupEntries GatherStartupEntries(const std::vector<std::string>& arguments, const std::string& defaultListPath,
                                    const Cancelled& cancelled) {
  StartupEntries startup;
  startup.gathered = CommandLineEntries(arguments, cancelled);
  // Arguments that give nothing playable are told, and the default list is not put in
  // their place: the user asked for something else.
  startup.argumentsGiven = !arguments.empty();
  if (startup.argumentsGiven || IsCancelled(cancelled)) return startup;
  // A missing default list is a first run: the list stays empty without a word.
  Append(startup.gathered, ListFileEntries(defaultListPath, /*missingIsQuiet=*/true));
  startup.fromDefaultList = !startup.gathered.entries.empty();
  return startup;
}
