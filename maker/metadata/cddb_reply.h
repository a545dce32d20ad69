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
inline constexpr std::size_t kCddbYearChars = 15;
// Longest reply line kept, in bytes as received (ISO-8859-1: one byte per character).
inline constexpr std::size_t kCddbLineBytes = 1024;

// How the bytes of reply lines are read: at protocol level 6 a server sends UTF-8, below
// it ISO-8859-1.
enum class CddbCharset { Latin1, Utf8 };

// A reply line as received (line end taken off) as the text the client works with: UTF-8
// without control characters (WithoutControlChars), so that nothing a server sends can
// put one into a title, a name, a file name or the status log. With CddbCharset::Utf8 a
// line that is valid UTF-8 is kept as it is and any other line is taken as ISO-8859-1
// (servers that grant level 6 still hold old entries in it); with Latin1 every byte is a
// character.
std::string CddbReplyText(std::string_view received, CddbCharset charset = CddbCharset::Latin1);

// The number at the start of a reply line; 0 when there is none.
int CddbReplyCode(std::string_view line);

// One query match: "<code> <category> <discid> <disc title words>".
struct CddbMatch {
  int code = 0;
  // True for the matches of a "210 Found exact matches" list and of a "200" reply; false
  // for those of "211 Found inexact matches".
  bool exact = true;
  // The match as the server listed it, "<category> <discid> <artist> / <title>", for a
  // list a person chooses from.
  std::string line;
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
  // The DYEAR and DGENRE values, empty when the entry has none (protocol level 5 and up).
  const std::string& Year() const { return year_; }
  const std::string& Genre() const { return genre_; }
  // One name per TTITLE line, each ending with a line feed, in the order the lines came;
  // consecutive lines with the same track index continue one name.
  const std::string& TrackNames() const { return trackNames_; }

 private:
  std::string discTitle_;
  std::string trackNames_;
  std::string year_;
  std::string genre_;
  int lastTrackIndex_ = -1;
};
