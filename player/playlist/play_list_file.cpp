// Reading and writing list files.
#include "player/playlist/play_list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "common/regular_file.h"
#include "common/text_encoding.h"
#include "common/unique_fd.h"
#include "player/playlist/entry_location.h"
#include "player/playlist/list_entries.h"

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

// "File12=..." with key "file" gives 12 and "..."; anything else nothing.
bool KeyValue(std::string_view line, std::string_view key, std::string& number, std::string_view& value) {
  line = Trimmed(line);
  if (line.size() <= key.size() || strncasecmp(line.data(), key.data(), key.size()) != 0) return false;
  size_t i = key.size();
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i == key.size()) return false;
  number = std::string(line.substr(key.size(), i - key.size()));
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i >= line.size() || line[i] != '=') return false;
  value = Trimmed(line.substr(i + 1));
  return true;
}

// A title as the windows show it: UTF-8. An old ".m3u" is in its writer's 8-bit code
// page, which ISO-8859-1 reads the most of. (Locations stay the bytes they are: they name
// files as the file system has them.)
std::string TitleText(std::string_view title) {
  return IsValidUtf8(title) ? std::string(title) : Latin1ToUtf8(title);
}

// "007" and "7" name the same entry of a PLS file.
std::string WithoutLeadingZeros(const std::string& number) {
  const size_t first = number.find_first_not_of('0');
  return first == std::string::npos ? "0" : number.substr(first);
}

bool StartsWithNoCase(std::string_view line, std::string_view prefix) {
  return line.size() >= prefix.size() && strncasecmp(line.data(), prefix.data(), prefix.size()) == 0;
}

// A whole number of seconds; -1 for anything else (a stream's "-1" included).
int Seconds(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.size() > 9) return -1;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The entry as a list file inside listFolder names it.
std::string_view WrittenLocation(const std::string& location, std::string_view listFolder) {
  const std::string_view whole = location;
  if (listFolder.empty() || whole.size() <= listFolder.size()) return whole;
  if (whole.substr(0, listFolder.size()) != listFolder) return whole;
  return whole.substr(listFolder.size());
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

PlayListFormat PlayListFormatOfName(std::string_view path) {
  if (HasExtension(path, ".m3u") || HasExtension(path, ".m3u8")) return PlayListFormat::M3u;
  if (HasExtension(path, ".pls")) return PlayListFormat::Pls;
  return PlayListFormat::Bare;
}

std::vector<ListEntry> ParsePlayListEntries(std::string_view text, bool m3uComments,
                                            std::vector<RefusedLine>* refused) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const std::vector<std::string_view> lines = Lines(text);
  std::vector<ListEntry> entries;
  auto take = [&](size_t index, std::string_view location, std::string title, int seconds) {
    if (!EntryTooLong(location)) {
      entries.push_back({std::string(location), std::move(title), seconds});
    } else if (refused) {
      refused->push_back({index + 1, location.size()});
    }
  };
  size_t first = 0;
  while (first < lines.size() && Trimmed(lines[first]).empty()) ++first;
  if (first < lines.size() && IsPlaylistHeader(lines[first])) {
    // TitleN and LengthN may come before or after their FileN.
    std::vector<std::pair<size_t, std::string>> files;  // line, N
    std::vector<std::string_view> locations;
    std::map<std::string, std::string> titles;
    std::map<std::string, int> lengths;
    std::string number;
    std::string_view value;
    for (size_t i = first + 1; i < lines.size(); ++i) {
      if (KeyValue(lines[i], "file", number, value)) {
        if (value.empty()) continue;
        files.emplace_back(i, WithoutLeadingZeros(number));
        locations.push_back(value);
      } else if (KeyValue(lines[i], "title", number, value)) {
        titles[WithoutLeadingZeros(number)] = TitleText(value);
      } else if (KeyValue(lines[i], "length", number, value)) {
        lengths[WithoutLeadingZeros(number)] = Seconds(value);
      }
    }
    for (size_t k = 0; k < files.size(); ++k) {
      const std::string& n = files[k].second;
      const auto title = titles.find(n);
      const auto length = lengths.find(n);
      take(files[k].first, locations[k], title == titles.end() ? std::string() : title->second,
           length == lengths.end() ? -1 : length->second);
    }
    return entries;
  }
  const bool m3u = m3uComments || (first < lines.size() && StartsWithNoCase(Trimmed(lines[first]), "#EXTM3U"));
  std::string title;
  int seconds = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    if (m3u) {
      const std::string_view line = Trimmed(lines[i]);
      if (line.empty()) continue;
      if (line.front() == '#') {
        // "#EXTINF:123,Artist - Title" (attributes between the length and the comma are
        // other players' own and are passed over).
        if (StartsWithNoCase(line, "#EXTINF:")) {
          const std::string_view info = line.substr(8);
          const size_t comma = info.find(',');
          std::string_view length = info.substr(0, comma);
          length = length.substr(0, length.find(' '));
          seconds = Seconds(length);
          title = comma == std::string_view::npos ? std::string() : TitleText(Trimmed(info.substr(comma + 1)));
        }
        continue;
      }
      take(i, line, std::move(title), seconds);
      title.clear();
      seconds = -1;
      continue;
    }
    take(i, lines[i], {}, -1);
  }
  return entries;
}

std::vector<std::string> ParsePlayListText(std::string_view text, std::vector<RefusedLine>* refused) {
  std::vector<std::string> locations;
  for (ListEntry& e : ParsePlayListEntries(text, /*m3uComments=*/false, refused)) locations.push_back(std::move(e.location));
  return locations;
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

std::string PlayListFileText(const std::vector<ListEntry>& entries, PlayListFormat format, std::string_view listFolder) {
  // Built with appends into one reserved string: a list of 100,000 entries is written
  // while the player closes.
  size_t bytes = 64;
  for (const ListEntry& e : entries) bytes += e.location.size() + e.title.size() + 48;
  std::string text;
  text.reserve(bytes);
  auto location = [&](const ListEntry& e) {
    const std::string_view written = WrittenLocation(e.location, listFolder);
    text.append(written.data(), written.size());
  };
  switch (format) {
    case PlayListFormat::Bare:
      for (const ListEntry& e : entries) {
        location(e);
        text += "\r\n";
      }
      return text;
    case PlayListFormat::M3u:
      text += "#EXTM3U\n";
      for (const ListEntry& e : entries) {
        if (!e.title.empty() || e.durationSeconds >= 0) {
          text += "#EXTINF:";
          text += std::to_string(e.durationSeconds < 0 ? -1 : e.durationSeconds);
          text += ',';
          text += e.title;
          text += '\n';
        }
        location(e);
        text += '\n';
      }
      return text;
    case PlayListFormat::Pls:
      text += "[playlist]\n";
      for (size_t i = 0; i < entries.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        text += "File";
        text += n;
        text += '=';
        location(entries[i]);
        text += '\n';
        if (!entries[i].title.empty()) {
          text += "Title";
          text += n;
          text += '=';
          text += entries[i].title;
          text += '\n';
        }
        if (entries[i].durationSeconds >= 0 || !entries[i].title.empty()) {
          text += "Length";
          text += n;
          text += '=';
          text += std::to_string(entries[i].durationSeconds < 0 ? -1 : entries[i].durationSeconds);
          text += '\n';
        }
      }
      text += "NumberOfEntries=";
      text += std::to_string(entries.size());
      text += "\nVersion=2\n";
      return text;
  }
  return text;
}

Expected<std::vector<std::string>> ReadPlayListFile(const std::string& path, std::vector<RefusedLine>* refused) {
  auto read = ReadPlayListEntries(path, refused);
  if (!read) return Fail(read.Error());
  std::vector<std::string> locations;
  for (ListEntry& e : read.Value()) locations.push_back(std::move(e.location));
  return locations;
}

Expected<std::vector<ListEntry>> ReadPlayListEntries(const std::string& path, std::vector<RefusedLine>* refused) {
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
  std::vector<ListEntry> entries =
      ParsePlayListEntries(text, /*m3uComments=*/PlayListFormatOfName(path) == PlayListFormat::M3u, refused);
  const std::string folder = ExtractFileDir(AbsolutePath(path));
  for (ListEntry& e : entries) e.location = ResolveEntry(e.location, folder);
  return entries;
}

Outcome WritePlayListFile(const std::string& path, const std::vector<std::string>& entries) {
  std::vector<ListEntry> records;
  records.reserve(entries.size());
  for (const std::string& e : entries) records.push_back({e, {}, -1});
  return WritePlayListRecords(path, records);
}

Outcome WritePlayListRecords(const std::string& path, const std::vector<ListEntry>& entries) {
  constexpr PlayListAccess kWrite = PlayListAccess::Write;
  // Looked at first: the output would be written in place, and a FIFO's open waits.
  if (struct stat st {}; ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return Fail(PlayListFileFailure(kWrite, path, 0));
  auto file = OutputFile::Create(path);
  if (!file) return Fail(PlayListFileFailure(kWrite, path, file.Error().errnum));
  const std::string text =
      PlayListFileText(entries, PlayListFormatOfName(path), ExtractFileDir(AbsolutePath(path)));
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
