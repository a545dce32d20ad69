// ID3v1 fields of a ripped track.
#include "maker/metadata/track_tag.h"

#include <cstdio>

#include "maker/metadata/metadata_text.h"

namespace {

std::string TrackTitle(int track, std::string_view trackName) {
  if (!trackName.empty()) return std::string(trackName);
  char fallback[16];
  std::snprintf(fallback, sizeof fallback, "Track%02i", track);
  return fallback;
}

}  // namespace

TrackTagFields MakeTrackTagFields(const CdInfo& info, int track, std::string_view trackName) {
  TrackTagFields fields;
  fields.title = CutUtf8Chars(TrackTitle(track, trackName), kTagTextChars);
  fields.artist = CutUtf8Chars(info.artist, kTagTextChars);
  fields.album = CutUtf8Chars(info.title, kTagTextChars);
  fields.year = CutUtf8Chars(info.KnownYear(), kTagYearChars);
  return fields;
}

Id3v2Update MakeTrackId3v2Update(const CdInfo& info, int track, int trackCount, std::string_view trackName) {
  Id3v2Update update;
  update.title = TrackTitle(track, trackName);
  update.artist = info.artist;
  update.album = info.title;
  const std::string year = info.KnownYear();
  update.year = IsKnownYear(year) ? year : std::string();
  update.trackNumber = Id3v2TrackNumber(track, trackCount);
  update.genre = info.genre;
  return update;
}
