// Parsing of CDDB reply lines: reply codes, query matches and database entries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Output buffer sizes, in characters.
inline constexpr std::size_t kCddbTitleChars = 127;
inline constexpr std::size_t kCddbArtistChars = 127;
inline constexpr std::size_t kCddbCategoryChars = 63;
// Longest reply line kept, in bytes as received (ISO-8859-1: one byte per character).
inline constexpr std::size_t kCddbLineBytes = 1024;

// A reply line as received (ISO-8859-1 bytes, line end taken off) as the text the client
// works with: UTF-8 without control characters (WithoutControlChars), so that nothing a
// server sends can put one into a title, a name, a file name or the status log.
std::string CddbReplyText(std::string_view received);

// The number at the start of a reply line; 0 when there is none.
int CddbReplyCode(std::string_view line);

// One query match: "<code> <category> <discid> <disc title words>".
struct CddbMatch {
  int code = 0;
  std::string category;  // cut to kCddbCategoryChars
  std::uint32_t discId = 0;
  // The disc title words joined by single spaces, split at the first '/': the part before
  // (trailing blanks dropped) is the artist, the part after (leading blanks dropped) the
  // title. Without '/', all of it is the artist and the title stays empty.
  std::string artist;
  std::string title;
};

// Empty when the category or the disc ID is missing or the ID is not hexadecimal.
std::optional<CddbMatch> ParseCddbMatch(std::string_view line);

// Collects the lines of a database entry (after the 210 line, before the "." line).
class CddbEntryParser {
 public:
  void AddLine(std::string_view line);

  // Text of the DTITLE lines, joined (a long title continues on further DTITLE lines).
  const std::string& DiscTitle() const { return discTitle_; }
  // The album title part of DiscTitle(): after the first '/', leading blanks dropped;
  // all of it without '/'.
  std::string AlbumTitle() const;
  // One name per TTITLE line, each ending with a line feed, in the order the lines came;
  // consecutive lines with the same track index continue one name.
  const std::string& TrackNames() const { return trackNames_; }

 private:
  std::string discTitle_;
  std::string trackNames_;
  int lastTrackIndex_ = -1;
};
