// Parsing of CDDB reply lines.
#include "maker/metadata/cddb_reply.h"

#include <algorithm>
#include <vector>

#include "common/outside_text.h"
#include "common/text_encoding.h"
#include "maker/metadata/metadata_text.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsBlank(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

// Text after the first '=', leading blanks dropped; empty without '='.
std::string_view ValueAfterEquals(std::string_view line) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  return TrimLeft(line.substr(equals + 1));
}

}  // namespace

std::string CddbReplyText(std::string_view received, CddbCharset charset) {
  if (charset == CddbCharset::Utf8 && IsValidUtf8(received)) return WithoutControlChars(received);
  // Bytes 0x80..0x9F are the C1 controls in ISO-8859-1; after the conversion they are
  // U+0080..U+009F and go with the others.
  return WithoutControlChars(Latin1ToUtf8(received));
}

int CddbReplyCode(std::string_view line) {
  line = TrimLeft(line);
  int code = 0;
  for (char c : line) {
    if (c < '0' || c > '9' || code > 99999) break;
    code = code * 10 + (c - '0');
  }
  return code;
}

std::optional<CddbMatch> ParseCddbMatch(std::string_view line) {
  const auto words = Words(line);
  if (words.size() < 3) return std::nullopt;
  CddbMatch match;
  match.code = CddbReplyCode(words[0]);
  match.exact = match.code != 211;
  {
    std::string_view rest = TrimLeft(line);
    rest.remove_prefix(std::min(rest.size(), words[0].size()));
    match.line = CutUtf8Chars(TrimRight(TrimLeft(rest)), kCddbLineBytes);
  }
  match.category = CutUtf8Chars(words[1], kCddbCategoryChars);
  const auto idText = words[2];
  if (idText.size() > 8) return std::nullopt;
  for (char c : idText) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return std::nullopt;
    match.discId = (match.discId << 4) | digit;
  }
  std::string joined;
  for (std::size_t i = 3; i < words.size(); ++i) {
    if (!joined.empty()) joined.push_back(' ');
    joined.append(words[i]);
  }
  const auto slash = joined.find('/');
  if (slash == std::string::npos) {
    match.artist = CutUtf8Chars(joined, kCddbArtistChars);
    return match;
  }
  const std::string_view all(joined);
  match.artist = CutUtf8Chars(TrimRight(all.substr(0, slash)), kCddbArtistChars);
  match.title = CutUtf8Chars(TrimLeft(all.substr(slash + 1)), kCddbTitleChars);
  return match;
}

void CddbEntryParser::AddLine(std::string_view line) {
  if (StartsWithNoCase(line, "DTITLE")) {
    const auto equals = line.find('=');
    if (equals != std::string_view::npos) {
      // A continuation line goes on exactly where the previous one stopped.
      const auto value = line.substr(equals + 1);
      discTitle_.append(discTitle_.empty() ? TrimLeft(value) : value);
    }
    lastTrackIndex_ = -1;
    return;
  }
  if (StartsWithNoCase(line, "DYEAR=") || StartsWithNoCase(line, "DGENRE=")) {
    std::string& field = StartsWithNoCase(line, "DYEAR=") ? year_ : genre_;
    field = CutUtf8Chars(TrimRight(ValueAfterEquals(line)), StartsWithNoCase(line, "DYEAR=") ? kCddbYearChars : kCddbCategoryChars);
    lastTrackIndex_ = -1;
    return;
  }
  if (!StartsWithNoCase(line, "TTITLE")) return;
  // "TTITLE<n>=<name>": the index tells a continuation line from the next track.
  int index = 0;
  std::size_t i = 6;
  bool hasIndex = false;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9' && index < 10000) {
    index = index * 10 + (line[i] - '0');
    hasIndex = true;
    ++i;
  }
  const auto equals = line.find('=');
  const auto name = ValueAfterEquals(line);
  if (hasIndex && index == lastTrackIndex_ && equals != std::string_view::npos &&
      !trackNames_.empty()) {
    trackNames_.pop_back();  // the line feed of the name this line continues
    trackNames_.append(line.substr(equals + 1));
  } else {
    trackNames_.append(name);
  }
  trackNames_.push_back('\n');
  lastTrackIndex_ = hasIndex ? index : -1;
}

std::string CddbEntryParser::AlbumTitle() const {
  const auto slash = discTitle_.find('/');
  if (slash == std::string::npos) return discTitle_;
  return std::string(TrimLeft(std::string_view(discTitle_).substr(slash + 1)));
}
