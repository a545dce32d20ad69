// The description of the entry playing, and the image file of its cover.
#include "player/control/now_playing.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "player/control/player_texts.h"
#include "player/playlist/list_entries.h"

NowPlaying DescribeNowPlaying(const std::string& entry, const Id3v1Tag& tag, const std::string& streamTitle,
                              uint32_t rangeSeconds) {
  NowPlaying now;
  now.entry = entry;
  if (entry.empty()) return now;
  now.artist = tag.artist;
  now.album = tag.album;
  if (!tag.title.empty())
    now.title = tag.title;
  else if (!streamTitle.empty())
    now.title = streamTitle;
  else
    now.title = ExtractFileName(entry).empty() ? entry : ExtractFileName(entry);
  now.lengthMicroseconds = int64_t(rangeSeconds) * 1000000;
  return now;
}

std::string ArtistAndTitle(const NowPlaying& now) {
  return now.artist.empty() ? now.title : now.artist + kTitleDash + now.title;
}

namespace {

// FNV-1a, 64 bits: stable across runs and builds, so one image keeps one name.
uint64_t ImageHash(const std::vector<uint8_t>& data) {
  uint64_t hash = 14695981039346656037ull;
  for (const uint8_t byte : data) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  return hash;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder and its missing parents, the last one private to the user.
bool MakePrivateFolder(const std::string& folder) {
  if (IsFolder(folder)) return true;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), error);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsFolder(folder);
}

// Removes the oldest "cover-*" files of the folder beyond the newest `kept`, `current` never.
void RemoveOldCovers(const std::string& folder, const std::string& current, size_t kept) {
  struct Found {
    std::filesystem::file_time_type time;
    std::filesystem::path path;
  };
  std::vector<Found> covers;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = item.path().filename().string();
    if (!name.starts_with("cover-") || item.path().string() == current) continue;
    std::error_code timeError;
    const auto time = item.last_write_time(timeError);
    if (!timeError) covers.push_back({time, item.path()});
  }
  // The current one counts among the kept.
  const size_t others = kept > 0 ? kept - 1 : 0;
  if (covers.size() <= others) return;
  std::sort(covers.begin(), covers.end(), [](const Found& a, const Found& b) { return a.time > b.time; });
  for (size_t i = others; i < covers.size(); ++i) std::filesystem::remove(covers[i].path, error);
}

}  // namespace

std::string CoverArtFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/' && IsFolder(runtime))
    return JoinPath(runtime, "zbplayer-covers/");
  std::string cache;
  if (const char* xdgCache = std::getenv("XDG_CACHE_HOME"); xdgCache != nullptr && xdgCache[0] == '/') {
    cache = xdgCache;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    cache = JoinPath(home, ".cache");
  } else {
    return {};
  }
  return JoinPath(cache, "zbplayer/covers/");
}

std::string WriteCoverArtFile(const std::string& folder, const CoverImage& cover) {
  if (folder.empty() || cover.data.empty()) return {};
  const std::string base = WithTrailingSlash(folder);
  if (!MakePrivateFolder(base.substr(0, base.size() - 1))) return {};
  char name[48];
  std::snprintf(name, sizeof name, "cover-%016llx%s", static_cast<unsigned long long>(ImageHash(cover.data)),
                cover.mimeType == "image/png" ? ".png" : ".jpg");
  const std::string path = base + name;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<uint64_t>(info.st_size) == cover.data.size()) {
    // Written before: its time renewed, so that cleaning up keeps it.
    ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
    RemoveOldCovers(base, path, kKeptCoverFiles);
    return path;
  }
  // Written beside its name and renamed into place; private to the user from the first
  // byte (its folder is too).
  auto output = OutputFile::Create(path);
  if (!output) return {};
  OutputFile& file = output.Value();
  if (::fchmod(file.Fd(), 0600) != 0 || !WriteAll(file.Fd(), cover.data.data(), cover.data.size()) || !file.Commit())
    return {};
  RemoveOldCovers(base, path, kKeptCoverFiles);
  return path;
}

std::string CoverImageBeside(const std::string& entry) {
  if (entry.empty() || IsStreamUrl(entry)) return {};
  static constexpr std::array<const char*, 4> kNames = {"cover.jpg", "cover.png", "folder.jpg", "front.jpg"};
  const std::string folder = ExtractFileDir(entry);
  std::error_code error;
  size_t bestRank = kNames.size();
  std::string best;
  for (const auto& item : std::filesystem::directory_iterator(folder.empty() ? std::string(".") : folder, error)) {
    const std::string name = item.path().filename().string();
    for (size_t rank = 0; rank < bestRank; ++rank) {
      if (strcasecmp(name.c_str(), kNames[rank]) != 0) continue;
      std::error_code typeError;
      if (!item.is_regular_file(typeError)) break;
      bestRank = rank;
      best = folder + name;
      break;
    }
  }
  return best;
}

std::string CoverArtPath(const std::string& entry, const std::optional<CoverImage>& embedded) {
  if (entry.empty() || IsStreamUrl(entry)) return {};
  if (embedded && !embedded->data.empty()) {
    if (std::string written = WriteCoverArtFile(CoverArtFolder(), *embedded); !written.empty()) return written;
  }
  return CoverImageBeside(entry);
}
