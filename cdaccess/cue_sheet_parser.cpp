// The .cue sheet reader: FILE, TRACK, INDEX, PREGAP and POSTGAP into layout steps.
#include "cdaccess/cue_sheet_parser.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "cdaccess/msf_time.h"
#include "cdaccess/track_table.h"

namespace {

struct Word {
  std::string text;
  bool quoted = false;
};

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string TwoDigits(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", number);
  return text;
}

// A track or index number of one to three digits; nullopt for anything else.
std::optional<int> ParseNumber(const Word& word) {
  if (word.quoted || word.text.empty() || word.text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : word.text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The value of a TITLE or PERFORMER line, `rest` being the text after the keyword: the text
// between the first and the last double quote when it has quotes (a quote inside the value
// or one left open does not lose it), else the whole rest without surrounding blanks.
std::string TextValue(std::string_view rest) {
  const size_t open = rest.find('"');
  if (open != std::string_view::npos) {
    const size_t close = rest.rfind('"');
    return std::string(close > open ? rest.substr(open + 1, close - open - 1) : rest.substr(open + 1));
  }
  const size_t first = rest.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = rest.find_last_not_of(" \t");
  return std::string(rest.substr(first, last - first + 1));
}

// Splits a line into blank-separated words; a word in double quotes may hold blanks.
Result<std::vector<Word>, std::string> SplitLine(std::string_view line) {
  std::vector<Word> words;
  size_t at = 0;
  while (at < line.size()) {
    if (line[at] == ' ' || line[at] == '\t') {
      ++at;
      continue;
    }
    Word word;
    if (line[at] == '"') {
      const size_t close = line.find('"', at + 1);
      if (close == std::string_view::npos) return Fail(std::string("a quote is not closed"));
      word.text = line.substr(at + 1, close - at - 1);
      word.quoted = true;
      at = close + 1;
    } else {
      const size_t end = std::min(line.find_first_of(" \t", at), line.size());
      word.text = line.substr(at, end - at);
      at = end;
    }
    words.push_back(std::move(word));
  }
  return words;
}

struct TrackMode {
  const char* name;
  bool rawSectors;   // 2 352 bytes a sector, read like audio
  bool data;         // a data track (the table of contents marks it so)
};
constexpr TrackMode kTrackModes[] = {
    {"AUDIO", true, false},      {"MODE1/2352", true, true},  {"MODE2/2352", true, true},
    {"CDI/2352", true, true},    {"MODE1/2048", false, true}, {"MODE2/2048", false, true},
    {"MODE2/2324", false, true}, {"MODE2/2336", false, true}, {"CDI/2336", false, true},
    {"CDG", false, false},
};

class CueReader {
 public:
  Expected<ImageSheet> Read(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = text.size();
      ++line_;
      const std::string_view line = text.substr(start, end - start);
      if (TextLine(line)) {
        start = end + 1;
        continue;
      }
      auto words = SplitLine(line);
      if (!words) return Fail(SheetError(AtLine(words.Error()), line_));
      if (!words.Value().empty())
        if (auto error = Command(words.Value())) return Fail(SheetError(AtLine(*error), line_));
      start = end + 1;
    }
    if (tracks_ == 0) return Fail(SheetError("holds no TRACK"));
    if (auto error = EndTrack()) return Fail(SheetError(*error));
    EndFile();
    FlushPostgap();
    return std::move(sheet_);
  }

 private:
  std::string AtLine(const std::string& what) const { return "line " + std::to_string(line_) + ": " + what; }
  std::string TrackName() const { return "track " + std::to_string(track_); }

  // TITLE and PERFORMER name the album before the first TRACK and a track after its TRACK
  // line; the first non-empty one of each place counts. They place no audio, so no value
  // can make a sheet fail. False for any other line.
  bool TextLine(std::string_view line) {
    const size_t begin = line.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return false;
    const size_t end = std::min(line.find_first_of(" \t\"", begin), line.size());
    const std::string keyword = Upper(std::string(line.substr(begin, end - begin)));
    if (keyword != "TITLE" && keyword != "PERFORMER") return false;
    const std::string value = DiscTextValue(TextValue(line.substr(end)));
    if (value.empty()) return true;
    std::string* field;
    if (tracks_ == 0) {
      field = keyword == "TITLE" ? &sheet_.text.title : &sheet_.text.performer;
    } else {
      TrackText& track = sheet_.text.Track(static_cast<size_t>(tracks_ - 1));
      field = keyword == "TITLE" ? &track.title : &track.performer;
    }
    if (field->empty()) *field = value;
    return true;
  }

  std::optional<std::string> Command(const std::vector<Word>& words) {
    const std::string keyword = words[0].quoted ? std::string() : Upper(words[0].text);
    if (keyword == "FILE") return File(words);
    if (keyword == "TRACK") return Track(words);
    if (keyword == "INDEX") return Index(words);
    if (keyword == "PREGAP" || keyword == "POSTGAP") return Gap(keyword, words);
    return std::nullopt;   // a command that places no audio
  }

  std::optional<std::string> File(const std::vector<Word>& words) {
    if (words.size() != 3 || words[1].text.empty())
      return "FILE takes a name and a type (a name with blanks goes in double quotes)";
    const std::string type = Upper(words[2].text);
    ImageFileRef ref{words[1].text, ImageFileFormat::RawLittleEndian};
    if (type == "MOTOROLA") {
      ref.format = ImageFileFormat::RawBigEndian;
    } else if (type == "WAVE") {
      ref.format = ImageFileFormat::Wave;
    } else if (type != "BINARY") {
      return "FILE type " + words[2].text + " is not supported (BINARY, MOTOROLA or WAVE)";
    }
    EndFile();
    const auto same = [&](const ImageFileRef& f) { return f.name == ref.name && f.format == ref.format; };
    const auto known = std::find_if(sheet_.files.begin(), sheet_.files.end(), same);
    file_ = static_cast<size_t>(known - sheet_.files.begin());
    if (known == sheet_.files.end()) sheet_.files.push_back(std::move(ref));
    cursor_ = 0;
    previousIndex_.clear();
    return std::nullopt;
  }

  std::optional<std::string> Track(const std::vector<Word>& words) {
    if (!file_) return "TRACK comes before the first FILE";
    if (words.size() != 3) return "TRACK takes a number and a mode";
    const auto number = ParseNumber(words[1]);
    if (!number || *number < 1) return "TRACK " + words[1].text + " is not a track number (1 ... 99)";
    if (*number > kImageMaxTracks)
      return "TRACK " + words[1].text + ": a disc holds at most " + std::to_string(kImageMaxTracks) + " tracks";
    if (tracks_ > 0 && *number != track_ + 1)
      return "TRACK " + TwoDigits(*number) + " follows TRACK " + TwoDigits(track_) +
             " (tracks are numbered one after the other)";
    if (tracks_ > 0)
      if (auto error = EndTrack()) return error;
    const std::string mode = Upper(words[2].text);
    const TrackMode* known = std::find_if(std::begin(kTrackModes), std::end(kTrackModes),
                                          [&](const TrackMode& m) { return mode == m.name; });
    track_ = *number;
    if (known == std::end(kTrackModes)) return TrackName() + ": unknown track mode " + words[2].text;
    if (!known->rawSectors)
      return TrackName() + ": " + mode + " sectors are not supported (only AUDIO and raw 2352-byte sectors)";
    ++tracks_;
    dataTrack_ = known->data;
    lastIndex_ = -1;
    hasIndex1_ = false;
    pregap_.reset();
    sawPostgap_ = false;
    return std::nullopt;
  }

  std::optional<std::string> Index(const std::vector<Word>& words) {
    if (tracks_ == 0) return "INDEX comes before the first TRACK";
    if (words.size() != 3) return "INDEX takes a number and a time";
    const auto number = ParseNumber(words[1]);
    if (!number || *number > 99) return "INDEX " + words[1].text + " is not an index number (00 ... 99)";
    const auto sectors = words[2].quoted ? std::nullopt : ParseMsf(words[2].text);
    if (!sectors) return "INDEX " + words[1].text + ": " + words[2].text + " is not a time (mm:ss:ff)";
    const std::string origin = "INDEX " + TwoDigits(*number) + " " + MsfText(*sectors);
    if (lastIndex_ < 0 && *number > 1)
      return TrackName() + " begins with " + origin + " (INDEX 00 or 01 expected)";
    if (lastIndex_ >= 0 && *number != lastIndex_ + 1)
      return TrackName() + ": " + origin + " follows INDEX " + TwoDigits(lastIndex_);
    const int64_t position = *sectors * kCdSectorBytes;
    if (position < cursor_)
      return TrackName() + ": " + origin + " comes before the previous " + previousIndex_ + " of the same FILE";
    if (position > cursor_) Push(DataStep(track_, *file_, cursor_, position - cursor_, origin));
    cursor_ = position;
    previousIndex_ = origin;
    if (lastIndex_ < 0) {
      FlushPostgap();
      Push(TrackStartStep(track_, "TRACK " + TwoDigits(track_), dataTrack_));
      if (pregap_)
        Push(SilenceStep(track_, *pregap_ * kCdSectorBytes, "PREGAP " + MsfText(*pregap_)));
    }
    Push(IndexStep(track_, *number, std::nullopt, origin));
    lastIndex_ = *number;
    if (*number == 1) hasIndex1_ = true;
    return std::nullopt;
  }

  std::optional<std::string> Gap(const std::string& keyword, const std::vector<Word>& words) {
    if (tracks_ == 0) return keyword + " comes before the first TRACK";
    if (words.size() != 2) return keyword + " takes a time";
    const auto sectors = words[1].quoted ? std::nullopt : ParseMsf(words[1].text);
    if (!sectors) return keyword + ": " + words[1].text + " is not a time (mm:ss:ff)";
    if (keyword == "PREGAP") {
      if (pregap_) return TrackName() + " has a second PREGAP";
      if (lastIndex_ >= 0) return TrackName() + ": PREGAP comes after its INDEX lines";
      pregap_ = *sectors;
    } else {
      if (sawPostgap_) return TrackName() + " has a second POSTGAP";
      if (!hasIndex1_) return TrackName() + ": POSTGAP comes before its INDEX 01";
      sawPostgap_ = true;
      postgap_ = *sectors;
    }
    return std::nullopt;
  }

  std::optional<std::string> EndTrack() const {
    if (!hasIndex1_) return TrackName() + " has no INDEX 01";
    return std::nullopt;
  }

  // The rest of the current file, then silence up to the next whole sector.
  void EndFile() {
    if (!file_) return;
    Push(DataStep(track_, *file_, cursor_, std::nullopt, "FILE \"" + sheet_.files[*file_].name + "\""));
    Push(PadToSectorStep(track_));
  }

  void FlushPostgap() {
    if (!postgap_) return;
    Push(SilenceStep(track_, *postgap_ * kCdSectorBytes, "POSTGAP " + MsfText(*postgap_)));
    postgap_.reset();
  }

  void Push(ImageStep step) { sheet_.steps.push_back(std::move(step)); }

  ImageSheet sheet_;
  int line_ = 0;
  std::optional<size_t> file_;          // the FILE being read
  int64_t cursor_ = 0;                  // bytes of that file already laid out
  std::string previousIndex_;           // the last INDEX in that file, for messages
  int track_ = 0;                       // the current track's number
  int tracks_ = 0;
  bool dataTrack_ = false;              // the current track holds data sectors
  int lastIndex_ = -1;                  // the current track's last index number, -1 before its first
  bool hasIndex1_ = false;
  std::optional<int64_t> pregap_;       // sectors of the current track's PREGAP
  bool sawPostgap_ = false;
  std::optional<int64_t> postgap_;      // sectors of a POSTGAP not laid out yet
};

}  // namespace

Expected<ImageSheet> ParseCueSheet(std::string_view text) { return CueReader().Read(text); }
