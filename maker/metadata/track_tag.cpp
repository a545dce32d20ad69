// ID3v1 fields of a ripped track.
#include "maker/metadata/track_tag.h"

#include <cstdio>

#include "maker/metadata/metadata_text.h"

TrackTagFields MakeTrackTagFields(const CdInfo& info, int track, std::string_view trackName) {
  TrackTagFields fields;
  if (trackName.empty()) {
    char fallback[16];
    std::snprintf(fallback, sizeof fallback, "Track%02i", track);
    fields.title = fallback;
  } else {
    fields.title = CutUtf8Chars(trackName, kTagTextChars);
  }
  fields.artist = CutUtf8Chars(info.artist, kTagTextChars);
  fields.album = CutUtf8Chars(info.title, kTagTextChars);
  fields.year = CutUtf8Chars(info.year, kTagYearChars);
  return fields;
}
