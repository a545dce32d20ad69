// The texts a disc carries about itself.
#include "cdaccess/disc_text.h"

#include <algorithm>

#include "common/text_encoding.h"

bool DiscText::Empty() const {
  return title.empty() && performer.empty() &&
         std::all_of(tracks.begin(), tracks.end(),
                     [](const TrackText& t) { return t.title.empty() && t.performer.empty(); });
}

TrackText& DiscText::Track(std::size_t i) {
  if (tracks.size() <= i) tracks.resize(i + 1);
  return tracks[i];
}

std::string DiscTextValue(std::string_view value) { return CutUtf8(value, kDiscTextValueBytes); }
