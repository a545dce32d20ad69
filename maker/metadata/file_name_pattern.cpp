// Output file names of ripped tracks.
#include "maker/metadata/file_name_pattern.h"

#include <array>
#include <cstdio>
#include <utility>

#include "common/paths.h"

namespace {

std::string TrackNumberText(int track) {
  char text[16];
  std::snprintf(text, sizeof text, "%02i", track);
  return text;
}

void ReplaceFirst(std::string& text, std::string_view placeholder, const std::string& value) {
  const auto at = text.find(placeholder);
  if (at == std::string::npos) return;
  text.replace(at, placeholder.size(), value);
}

}  // namespace

std::string CleanTrackName(std::string_view name, int track) {
  std::string cleaned = name.empty() ? "Track" + TrackNumberText(track) : std::string(name);
  for (char& c : cleaned) {
    switch (c) {
      case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      case '\0':
        c = '-';
        break;
      default:
        break;
    }
  }
  return cleaned;
}

std::string CleanPatternValue(std::string_view value) {
  std::string cleaned(value);
  for (char& c : cleaned) {
    if (c == '/' || c == '\0') c = '-';
  }
  return cleaned;
}

std::string ExpandFileNamePattern(std::string_view pattern, const PatternValues& values) {
  std::string text(pattern);
  ReplaceFirst(text, "$track#$", values.trackNumber);
  ReplaceFirst(text, "$trackname$", values.trackName);
  ReplaceFirst(text, "$title$", values.title);
  ReplaceFirst(text, "$artist$", values.artist);
  ReplaceFirst(text, "$genre$", values.genre);
  ReplaceFirst(text, "$year$", values.year);
  return text;
}

std::string NeutralizeDotComponents(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  std::size_t start = 0;
  while (start <= name.size()) {
    auto end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    const auto component = name.substr(start, end - start);
    out += (component == "." || component == "..") ? std::string_view("-") : component;
    if (end == name.size()) break;
    out.push_back('/');
    start = end + 1;
  }
  return out;
}

std::string TrackFileName(const CdInfo& info, int track, std::string_view trackName) {
  std::string cleanedName = CleanTrackName(trackName, track);
  if (!info.useFileNameFormat) return NeutralizeDotComponents(cleanedName);
  PatternValues values;
  values.trackNumber = TrackNumberText(track);
  values.trackName = std::move(cleanedName);
  values.title = CleanPatternValue(info.title);
  values.artist = CleanPatternValue(info.artist);
  values.genre = CleanPatternValue(info.genre);
  values.year = CleanPatternValue(info.KnownYear());
  return NeutralizeDotComponents(ExpandFileNamePattern(info.fileNamePattern, values));
}

std::string TrimOutputDirectory(std::string_view outputDirectory) {
  std::string dir(outputDirectory);
  while (!dir.empty() && (dir.back() == '\r' || dir.back() == '\n' || dir.back() == '/')) {
    dir.pop_back();
  }
  return dir;
}

std::string TrackFilePath(std::string_view outputDirectory, const CdInfo& info, int track,
                          std::string_view trackName, std::string_view extension) {
  // A long track name (CDDB titles can be) would make a name the file system refuses.
  return TrimOutputDirectory(outputDirectory) + "/" +
         FitPathComponents(TrackFileName(info, track, trackName) + std::string(extension));
}
