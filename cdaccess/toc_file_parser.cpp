// The .toc file reader: the statements of audio tracks into layout steps.
#include "cdaccess/toc_file_parser.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "cdaccess/msf_time.h"
#include "cdaccess/track_table.h"

namespace {

struct Token {
  enum class Kind { Word, String, Open, Close };
  Kind kind = Kind::Word;
  std::string text;
  int line = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// Words, strings (with the escapes \" \\ and \ooo), braces; "//" starts a comment.
Expected<std::vector<Token>> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  int line = 1;
  size_t at = 0;
  const auto atLine = [&](const std::string& what) { return "line " + std::to_string(line) + ": " + what; };
  while (at < text.size()) {
    const char c = text[at];
    if (c == '\n') ++line;
    if (IsBlank(c) || c == ',') {
      ++at;
    } else if (text.substr(at).starts_with("//")) {
      at = std::min(text.find('\n', at), text.size());
    } else if (c == '{' || c == '}') {
      tokens.push_back({c == '{' ? Token::Kind::Open : Token::Kind::Close, std::string(1, c), line});
      ++at;
    } else if (c == '"') {
      Token token{Token::Kind::String, {}, line};
      ++at;
      for (;;) {
        if (at >= text.size() || text[at] == '\n') return Fail(SheetError(atLine("a quote is not closed"), line));
        char ch = text[at++];
        if (ch == '"') break;
        if (ch == '\\' && at < text.size() && text[at] != '\n') {
          ch = text[at++];
          if (ch >= '0' && ch <= '7') {
            int value = ch - '0';
            for (int digits = 1; digits < 3 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++digits)
              value = value * 8 + (text[at++] - '0');
            ch = static_cast<char>(value & 0xFF);
          }
        }
        token.text += ch;
      }
      tokens.push_back(std::move(token));
    } else {
      size_t end = at;
      while (end < text.size() && !IsBlank(text[end]) && text[end] != ',' && text[end] != '"' && text[end] != '{' &&
             text[end] != '}' && !text.substr(end).starts_with("//"))
        ++end;
      tokens.push_back({Token::Kind::Word, std::string(text.substr(at, end - at)), line});
      at = end;
    }
  }
  return tokens;
}

bool EndsWithWav(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return tail == ".wav";
}

// Bytes of a time: mm:ss:ff, or a number of samples (at most 12 digits).
std::optional<int64_t> TimeBytes(const std::string& word) {
  if (word.find(':') != std::string::npos) {
    const auto sectors = ParseMsf(word);
    if (!sectors) return std::nullopt;
    return *sectors * kCdSectorBytes;
  }
  if (word.empty() || word.size() > 12) return std::nullopt;
  int64_t samples = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    samples = samples * 10 + (c - '0');
  }
  return samples * 4;
}

bool LooksLikeTime(const Token& token) { return token.kind == Token::Kind::Word && TimeBytes(token.text).has_value(); }

// Data tracks whose sectors are stored whole (2 352 bytes, read like audio), and those
// stored without their headers, which this reader does not take.
constexpr const char* kRawDataModes[] = {"MODE1_RAW", "MODE2_RAW"};
constexpr const char* kCookedDataModes[] = {"MODE0", "MODE1", "MODE2", "MODE2_FORM1", "MODE2_FORM2", "MODE2_FORM_MIX"};

template <size_t N>
bool IsOneOf(const std::string& word, const char* const (&list)[N]) {
  return std::find(std::begin(list), std::end(list), word) != std::end(list);
}

class TocReader {
 public:
  explicit TocReader(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  Expected<ImageSheet> Read() {
    while (!AtEnd() && !IsWord("TRACK"))
      if (auto error = HeaderStatement()) return Fail(SheetError(*error, errorLine_));
    while (!AtEnd())
      if (auto error = TrackStatements()) return Fail(SheetError(*error, errorLine_));
    if (track_ == 0) return Fail(SheetError("holds no TRACK"));
    EndTrack();
    return std::move(sheet_);
  }

 private:
  bool AtEnd() const { return at_ >= tokens_.size(); }
  const Token& Peek() const { return tokens_[at_]; }
  bool IsWord(const char* word) const {
    return !AtEnd() && Peek().kind == Token::Kind::Word && Peek().text == word;
  }
  int Line() const { return AtEnd() ? (tokens_.empty() ? 1 : tokens_.back().line) : Peek().line; }
  // The text of an error at the current line, whose number the error carries as well.
  std::string AtLine(const std::string& what) const {
    errorLine_ = Line();
    return "line " + std::to_string(errorLine_) + ": " + what;
  }
  std::string TrackName() const { return "track " + std::to_string(track_); }

  std::optional<std::string> HeaderStatement() {
    const Token& token = Peek();
    if (token.kind == Token::Kind::Word &&
        (token.text == "CD_DA" || token.text == "CD_ROM" || token.text == "CD_ROM_XA" || token.text == "CD_I")) {
      ++at_;
      return std::nullopt;
    }
    if (IsWord("CATALOG")) {
      ++at_;
      return TakeString("CATALOG").has_value() ? std::nullopt : Error();
    }
    if (IsWord("CD_TEXT")) return TextBlock(sheet_.text.title, sheet_.text.performer);
    return AtLine("unknown statement " + Shown(token));
  }

  std::optional<std::string> TrackStatements() {
    if (!IsWord("TRACK")) return AtLine("unknown statement " + Shown(Peek()));
    if (track_ == kImageMaxTracks)
      return AtLine("TRACK " + std::to_string(track_ + 1) + ": a disc holds at most " +
                    std::to_string(kImageMaxTracks) + " tracks");
    if (track_ > 0) EndTrack();
    ++track_;
    ++at_;
    if (AtEnd() || Peek().kind != Token::Kind::Word) return AtLine("TRACK takes a mode");
    const std::string mode = Peek().text;
    if (IsOneOf(mode, kCookedDataModes))
      return AtLine(TrackName() + ": " + mode + " tracks are not supported (AUDIO, MODE1_RAW and MODE2_RAW only)");
    dataTrack_ = IsOneOf(mode, kRawDataModes);
    trackMode_ = mode;
    if (mode != "AUDIO" && !dataTrack_) return AtLine(TrackName() + ": unknown track mode " + mode);
    ++at_;
    if (IsWord("RW") || IsWord("RW_RAW"))
      return AtLine(TrackName() + ": sub-channel data (" + Peek().text + ") is not supported");
    Push(TrackStartStep(track_, "TRACK " + mode, dataTrack_));
    hasData_ = false;
    hasStart_ = false;
    while (!AtEnd() && !IsWord("TRACK"))
      if (auto error = TrackStatement()) return error;
    return std::nullopt;
  }

  std::optional<std::string> TrackStatement() {
    const Token token = Peek();
    if (token.kind != Token::Kind::Word) return AtLine("unknown statement " + Shown(token));
    const std::string& word = token.text;
    if (word == "NO") {
      ++at_;
      if (IsWord("COPY") || IsWord("PRE_EMPHASIS")) {
        ++at_;
        return std::nullopt;
      }
      return AtLine("NO takes COPY or PRE_EMPHASIS");
    }
    if (word == "COPY" || word == "PRE_EMPHASIS" || word == "TWO_CHANNEL_AUDIO") {
      ++at_;
      return std::nullopt;
    }
    if (word == "FOUR_CHANNEL_AUDIO") return AtLine(TrackName() + ": four-channel audio is not supported");
    if (word == "ISRC") {
      ++at_;
      return TakeString("ISRC").has_value() ? std::nullopt : Error();
    }
    if (word == "CD_TEXT") {
      TrackText& text = sheet_.text.Track(static_cast<size_t>(track_ - 1));
      return TextBlock(text.title, text.performer);
    }
    if (word == "DATAFILE" && dataTrack_) return FileStatement(word);
    if (word == "DATAFILE" || word == "FIFO")
      return AtLine(TrackName() + ": " + word + " is not supported (audio from FILE or AUDIOFILE only)");
    if (word == "FILE" || word == "AUDIOFILE") return FileStatement(word);
    if (word == "SILENCE" || word == "ZERO" || word == "PREGAP") {
      ++at_;
      const auto bytes = TakeTime(word);
      if (!bytes) return Error();
      if (word == "PREGAP" && (hasData_ || hasStart_))
        return AtLine(TrackName() + ": PREGAP comes after the track's audio or START");
      Push(SilenceStep(track_, *bytes, word + " " + shownTime_));
      hasData_ = true;
      if (word == "PREGAP") {
        hasStart_ = true;
        Push(IndexStep(track_, 1, std::nullopt, "PREGAP " + shownTime_));
      }
      return std::nullopt;
    }
    if (word == "START") {
      ++at_;
      if (hasStart_) return AtLine(TrackName() + " has a second START or a PREGAP and a START");
      hasStart_ = true;
      if (!AtEnd() && LooksLikeTime(Peek())) {
        const auto bytes = TakeTime("START");
        Push(IndexStep(track_, 1, *bytes, "START " + shownTime_));
      } else {
        Push(IndexStep(track_, 1, std::nullopt, "START"));
      }
      return std::nullopt;
    }
    if (word == "INDEX") {
      // Indexes above 1 do not change the table of contents; they are only checked.
      ++at_;
      return TakeTime("INDEX").has_value() ? std::nullopt : Error();
    }
    return AtLine("unknown statement " + Shown(token));
  }

  std::optional<std::string> FileStatement(const std::string& word) {
    ++at_;
    const auto name = TakeString(word);
    if (!name) return Error();
    if (name->empty()) return AtLine(word + " names no file");
    int64_t offset = 0;
    if (!AtEnd() && Peek().kind == Token::Kind::Word && Peek().text.starts_with("#")) {
      const std::string digits = Peek().text.substr(1);
      if (digits.empty() || digits.size() > 12 || digits.find_first_not_of("0123456789") != std::string::npos)
        return AtLine(word + ": " + Peek().text + " is not a byte offset");
      offset = std::stoll(digits);
      ++at_;
    }
    // A DATAFILE has no start time: its sectors follow one another from the byte offset on.
    std::optional<int64_t> start = 0;
    std::string origin = word + " \"" + *name + "\"";
    if (word != "DATAFILE") {
      start = TakeTime(word);
      if (!start) return Error();
      origin += " " + shownTime_;
    }
    std::optional<int64_t> length;
    if (!AtEnd() && LooksLikeTime(Peek())) {
      length = TakeTime(word);
      origin += " " + shownTime_;
    }
    // The sectors of a DATAFILE are stored as they are, whatever its name.
    const bool wave = word != "DATAFILE" && EndsWithWav(*name);
    const ImageFileRef ref{*name, wave ? ImageFileFormat::Wave : ImageFileFormat::RawLittleEndian};
    const auto known = std::find_if(sheet_.files.begin(), sheet_.files.end(),
                                    [&](const ImageFileRef& f) { return f.name == ref.name; });
    const size_t file = static_cast<size_t>(known - sheet_.files.begin());
    if (known == sheet_.files.end()) sheet_.files.push_back(ref);
    Push(DataStep(track_, file, offset + *start, length, origin));
    hasData_ = true;
    return std::nullopt;
  }

  // A track without START has its index 1 at its beginning; every track ends on a sector.
  void EndTrack() {
    if (!hasStart_) Push(IndexStep(track_, 1, 0, "TRACK " + trackMode_));
    Push(PadToSectorStep(track_));
  }

  // The string that `statement` takes; on failure error_ says why.
  std::optional<std::string> TakeString(const std::string& statement) {
    if (AtEnd() || Peek().kind != Token::Kind::String) {
      error_ = AtLine(statement + " takes a string in double quotes");
      return std::nullopt;
    }
    return tokens_[at_++].text;
  }

  // The time that `statement` takes, as bytes; its text stays in shownTime_ for messages.
  std::optional<int64_t> TakeTime(const std::string& statement) {
    const std::optional<int64_t> bytes =
        AtEnd() || Peek().kind != Token::Kind::Word ? std::nullopt : TimeBytes(Peek().text);
    if (!bytes) {
      error_ = AtLine(statement + " takes a time (mm:ss:ff or a number of samples)" +
                      (AtEnd() ? std::string() : ", not " + Shown(Peek())));
      return std::nullopt;
    }
    shownTime_ = tokens_[at_++].text;
    return bytes;
  }

  // Reads CD_TEXT { ... LANGUAGE n { TITLE "..." PERFORMER "..." ... } ... }: the TITLE and
  // PERFORMER of the first LANGUAGE block, cut to kDiscTextValueBytes, into the fields
  // given. Everything else in it (the language map, other items, binary items in braces,
  // other languages) is skipped, and so is an item whose value is not a string.
  std::optional<std::string> TextBlock(std::string& title, std::string& performer) {
    const int line = Line();
    ++at_;
    if (AtEnd() || Peek().kind != Token::Kind::Open) return AtLine("CD_TEXT takes a block in braces");
    int depth = 0;
    std::optional<std::string> firstLanguage;
    bool inFirstLanguage = false;
    do {
      if (AtEnd()) {
        errorLine_ = line;
        return "line " + std::to_string(line) + ": the CD_TEXT block is not closed";
      }
      const Token& token = Peek();
      const Token* next = at_ + 1 < tokens_.size() ? &tokens_[at_ + 1] : nullptr;
      if (token.kind == Token::Kind::Open) ++depth;
      if (token.kind == Token::Kind::Close && --depth == 1) inFirstLanguage = false;
      if (depth == 1 && token.kind == Token::Kind::Word && token.text == "LANGUAGE" && next != nullptr &&
          next->kind == Token::Kind::Word && at_ + 2 < tokens_.size() && tokens_[at_ + 2].kind == Token::Kind::Open) {
        if (!firstLanguage) firstLanguage = next->text;
        inFirstLanguage = *firstLanguage == next->text;
      }
      if (depth == 2 && inFirstLanguage && token.kind == Token::Kind::Word && next != nullptr &&
          next->kind == Token::Kind::String && (token.text == "TITLE" || token.text == "PERFORMER")) {
        std::string& field = token.text == "TITLE" ? title : performer;
        if (field.empty()) field = DiscTextValue(next->text);
      }
      ++at_;
    } while (depth > 0);
    return std::nullopt;
  }

  static std::string Shown(const Token& token) {
    std::string text = token.kind == Token::Kind::String ? "\"" + token.text + "\"" : token.text;
    if (text.size() > 40) text = text.substr(0, 40) + "...";
    return text;
  }

  std::optional<std::string> Error() const { return error_; }
  void Push(ImageStep step) { sheet_.steps.push_back(std::move(step)); }

  std::vector<Token> tokens_;
  size_t at_ = 0;
  ImageSheet sheet_;
  int track_ = 0;
  bool hasData_ = false;    // the current track has audio or silence
  bool hasStart_ = false;   // ... and its index 1 is placed (START or PREGAP)
  bool dataTrack_ = false;  // the current track holds raw data sectors
  std::string trackMode_;   // ... of this mode (AUDIO, MODE1_RAW, ...)
  std::string shownTime_;
  std::string error_;
  mutable int errorLine_ = 0;  // the line of the last error made by AtLine
};

}  // namespace

Expected<ImageSheet> ParseTocFile(std::string_view text) {
  auto tokens = Tokenize(text);
  if (!tokens) return Fail(tokens.Error());
  return TocReader(std::move(tokens).Value()).Read();
}
