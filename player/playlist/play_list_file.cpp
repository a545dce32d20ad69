// Reading and writing list files.
#include "player/playlist/play_list_file.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "common/unique_fd.h"

namespace {

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
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
bool FileValue(std::string_view line, std::string& value) {
  line = Trimmed(line);
  if (line.size() < 5 || strncasecmp(line.data(), "file", 4) != 0) return false;
  size_t i = 4;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i == 4) return false;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i >= line.size() || line[i] != '=') return false;
  value = std::string(Trimmed(line.substr(i + 1)));
  return !value.empty();
}

}  // namespace

std::string PlayListFileError::Message() const {
  return std::string(kind == Kind::Read ? "Cannot read play list " : "Cannot write play list ") + path + ": " +
         std::strerror(errnum);
}

std::vector<std::string> ParsePlayListText(std::string_view text) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string> lines = Lines(text);
  std::vector<std::string> entries;
  size_t first = 0;
  while (first < lines.size() && Trimmed(lines[first]).empty()) ++first;
  if (first < lines.size() && strcasecmp(std::string(Trimmed(lines[first])).c_str(), "[playlist]") == 0) {
    std::string value;
    for (size_t i = first + 1; i < lines.size(); ++i)
      if (FileValue(lines[i], value)) entries.push_back(value);
    return entries;
  }
  for (std::string& line : lines)
    if (!line.empty()) entries.push_back(std::move(line));
  return entries;
}

std::string PlayListText(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& e : entries) {
    text += e;
    text += "\r\n";
  }
  return text;
}

Result<std::vector<std::string>, PlayListFileError> ReadPlayListFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return Fail(PlayListFileError{PlayListFileError::Kind::Read, path, errno});
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ReadUpTo(fd.Get(), buffer, sizeof buffer);
    if (got < 0) return Fail(PlayListFileError{PlayListFileError::Kind::Read, path, errno});
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (static_cast<size_t>(got) < sizeof buffer) break;
  }
  return ParsePlayListText(text);
}

Status<PlayListFileError> WritePlayListFile(const std::string& path, const std::vector<std::string>& entries) {
  auto file = OutputFile::Create(path);
  if (!file) return Fail(PlayListFileError{PlayListFileError::Kind::Write, path, file.Error().errnum});
  const std::string text = PlayListText(entries);
  if (!WriteAll(file.Value().Fd(), text.data(), text.size()))
    return Fail(PlayListFileError{PlayListFileError::Kind::Write, path, errno});
  if (auto committed = file.Value().Commit(); !committed)
    return Fail(PlayListFileError{PlayListFileError::Kind::Write, path, committed.Error().errnum});
  return Done{};
}

std::string DefaultPlayListPath() { return UserFolder() + kDefaultPlayListName; }
