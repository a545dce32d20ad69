// The texts a disc carries about itself: the TITLE and PERFORMER lines of a cue sheet, the
// CD_TEXT blocks of a .toc file, the CD-Text of a pressed or burnt disc.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Longest value kept, in bytes. A CD-Text field holds at most 160 characters; a sheet may
// hold anything, and the CD information cuts every value to its own size later.
inline constexpr std::size_t kDiscTextValueBytes = 1024;

struct TrackText {
  std::string title;
  std::string performer;
};

// The values as the disc holds them: usually UTF-8, sometimes ISO-8859-1 or another 8-bit
// set, possibly with control characters; whoever shows or stores them cleans them first.
// An empty value means the disc says nothing about it.
struct DiscText {
  std::string title;       // the album
  std::string performer;   // the album's artist
  // tracks[i] belongs to the i-th track of the table of contents (the first track, which
  // need not be track 1, at 0). Tracks beyond the list have no text.
  std::vector<TrackText> tracks;

  bool Empty() const;
  // Track entry i, the list grown as needed.
  TrackText& Track(std::size_t i);
};

// `value` cut to kDiscTextValueBytes without splitting a UTF-8 character.
std::string DiscTextValue(std::string_view value);
