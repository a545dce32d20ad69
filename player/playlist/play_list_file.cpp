// Reading and writing list files.
#include "player/playlist/play_list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "common/regular_file.h"
#include "common/unique_fd.h"

namespace {

// The lines of a text, each with the ending it had taken off.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return lines;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// "File12=..." gives "..."; anything else nothing.
bool FileValue(std::string_view line, std::string_view& value) {
  line = Trimmed(line);
  if (line.size() < 5 || strncasecmp(line.data(), "file", 4) != 0) return false;
  size_t i = 4;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i == 4) return false;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i >= line.size() || line[i] != '=') return false;
  value = Trimmed(line.substr(i + 1));
  return !value.empty();
}

bool IsPlaylistHeader(std::string_view line) {
  line = Trimmed(line);
  return line.size() == 10 && strncasecmp(line.data(), "[playlist]", 10) == 0;
}

}  // namespace

Error PlayListFileFailure(PlayListAccess access, const std::string& path, int errnum) {
  const std::string what =
      std::string(access == PlayListAccess::Write ? "Cannot write play list " : "Cannot read play list ") + path;
  if (errnum != 0) return IoError(errnum, path, what);
  constexpr const char* kNotAFile = "it is not a regular file";
  return Error(ErrorCategory::Unsupported, {}, what + ": " + kNotAFile, kNotAFile, path)
      .WithCase(PlayListFileFault::NotAFile);
}

std::string RefusedLineMessage(const std::string& path, const RefusedLine& refused) {
  return path + ", line " + std::to_string(refused.line) + ": an entry of " + std::to_string(refused.bytes) +
         " bytes is longer than a path can be (at most " + std::to_string(kMaxEntryBytes) +
         " bytes); it was left out";
}

std::vector<std::string> ParsePlayListText(std::string_view text, std::vector<RefusedLine>* refused) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const std::vector<std::string_view> lines = Lines(text);
  std::vector<std::string> entries;
  auto take = [&](size_t index, std::string_view entry) {
    if (!EntryTooLong(entry)) {
      entries.emplace_back(entry);
    } else if (refused) {
      refused->push_back({index + 1, entry.size()});
    }
  };
  size_t first = 0;
  while (first < lines.size() && Trimmed(lines[first]).empty()) ++first;
  if (first < lines.size() && IsPlaylistHeader(lines[first])) {
    std::string_view value;
    for (size_t i = first + 1; i < lines.size(); ++i)
      if (FileValue(lines[i], value)) take(i, value);
    return entries;
  }
  for (size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].empty()) take(i, lines[i]);
  return entries;
}

std::string PlayListText(const std::vector<std::string>& entries) {
  size_t bytes = 0;
  for (const std::string& e : entries) bytes += e.size() + 2;
  std::string text;
  text.reserve(bytes);
  for (const std::string& e : entries) {
    text += e;
    text += "\r\n";
  }
  return text;
}

Expected<std::vector<std::string>> ReadPlayListFile(const std::string& path, std::vector<RefusedLine>* refused) {
  constexpr PlayListAccess kRead = PlayListAccess::Read;
  // A FIFO (whose open would wait for a writer, for ever if none comes) or a device (whose
  // open may do something of its own) is refused before it is opened.
  auto opened = OpenRegularFile(path);
  if (!opened) {
    // errnum 0: not a regular file.
    return Fail(PlayListFileFailure(kRead, path, opened.Error().errnum));
  }
  const UniqueFd fd = std::move(opened).Value();
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return Fail(PlayListFileFailure(kRead, path, errno));
  std::string text;
  if (st.st_size > 0) text.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ReadUpTo(fd.Get(), buffer, sizeof buffer);
    if (got < 0) return Fail(PlayListFileFailure(kRead, path, errno));
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (static_cast<size_t>(got) < sizeof buffer) break;
  }
  return ParsePlayListText(text, refused);
}

Outcome WritePlayListFile(const std::string& path, const std::vector<std::string>& entries) {
  constexpr PlayListAccess kWrite = PlayListAccess::Write;
  // Looked at first: the output would be written in place, and a FIFO's open waits.
  if (struct stat st {}; ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return Fail(PlayListFileFailure(kWrite, path, 0));
  auto file = OutputFile::Create(path);
  if (!file) return Fail(PlayListFileFailure(kWrite, path, file.Error().errnum));
  const std::string text = PlayListText(entries);
  if (!WriteAll(file.Value().Fd(), text.data(), text.size())) return Fail(PlayListFileFailure(kWrite, path, errno));
  // On the disk before it takes the old list's place, also when there was no old list: a
  // file system that runs out of room while writing back says so here, not after the
  // rename has put a cut list in place.
  if (::fsync(file.Value().Fd()) != 0 && errno != EINVAL) return Fail(PlayListFileFailure(kWrite, path, errno));
  if (auto committed = file.Value().Commit(); !committed)
    return Fail(PlayListFileFailure(kWrite, path, committed.Error().errnum));
  return Done{};
}

std::string DefaultPlayListPath() { return UserFolder() + kDefaultPlayListName; }
