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

// Stands in for an unknown genre or year while the pattern is expanded, so that the
// brackets and separators around it can be found afterwards. Values never hold it
// (CleanPatternValue turns it into '-').
constexpr char kEmptyMark = '\x01';

bool IsSeparator(char c) { return c == ' ' || c == '-' || c == '_' || c == ',' || c == ';' || c == '~'; }

bool IsOpening(char c) { return c == '(' || c == '[' || c == '{'; }
char ClosingOf(char c) { return c == '(' ? ')' : c == '[' ? ']' : '}'; }

// Brackets that hold nothing but empty marks and separators become one mark: the "()" of
// an unknown year goes with the year.
std::string DropEmptyBrackets(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsOpening(text[i])) {
      const auto close = text.find(ClosingOf(text[i]), i + 1);
      if (close != std::string_view::npos) {
        const auto inner = text.substr(i + 1, close - i - 1);
        const bool marked = inner.find(kEmptyMark) != std::string_view::npos;
        if (marked && inner.find_first_not_of(std::string_view(" -_,;~\x01")) == std::string_view::npos) {
          out.push_back(kEmptyMark);
          i = close;
          continue;
        }
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

// One path component without its empty marks: of the separators on the two sides of a
// mark one run stays ("Artist -  - Song" -> "Artist - Song"), none at the component's
// start or end, and spaces left at either end go.
std::string DropEmptyMarks(std::string_view component) {
  const std::string text = DropEmptyBrackets(component);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != kEmptyMark) {
      out.push_back(text[i++]);
      continue;
    }
    // The marks and the separators between them, as one gap.
    std::size_t end = i;
    while (end < text.size() && (text[end] == kEmptyMark || IsSeparator(text[end]))) ++end;
    std::size_t before = out.size();
    while (before > 0 && IsSeparator(out[before - 1])) --before;
    const std::string leftRun = out.substr(before);
    std::size_t lastMark = text.find_last_of(kEmptyMark, end - 1);
    const std::string rightRun = text.substr(lastMark + 1, end - lastMark - 1);
    out.erase(before);
    // An opening or closing bracket bounds the gap as the component's ends do.
    const bool atStart = out.empty() || IsOpening(out.back());
    const bool atEnd = end == text.size() || text[end] == ')' || text[end] == ']' || text[end] == '}';
    if (!atStart && !atEnd) out += !leftRun.empty() ? leftRun : rightRun;
    i = end;
  }
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// The expanded name without empty marks; components left empty are left out.
std::string TidyEmptyValues(std::string_view name) {
  std::string out;
  std::size_t start = 0;
  while (start <= name.size()) {
    auto end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    const std::string component = DropEmptyMarks(name.substr(start, end - start));
    if (!component.empty()) {
      if (!out.empty()) out.push_back('/');
      out += component;
    }
    if (end == name.size()) break;
    start = end + 1;
  }
  return out;
}

std::string ValueOrMark(std::string value) { return value.empty() ? std::string(1, kEmptyMark) : value; }

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
    if (c == '/' || c == '\0' || c == kEmptyMark) c = '-';
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
  values.trackName = cleanedName;
  values.title = info.title.empty() ? std::string(kUnknownAlbum) : CleanPatternValue(info.title);
  values.artist = info.artist.empty() ? std::string(kUnknownArtist) : CleanPatternValue(info.artist);
  values.genre = ValueOrMark(CleanPatternValue(info.genre));
  values.year = ValueOrMark(CleanPatternValue(info.KnownYear()));
  std::string name = TidyEmptyValues(ExpandFileNamePattern(info.fileNamePattern, values));
  // A pattern of unknown values alone still names the file.
  if (name.empty()) name = std::move(cleanedName);
  return NeutralizeDotComponents(name);
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
