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
  return Id3v2UpdateOf(MakeTrackAudioTags(info, track, trackCount, trackName));
}

AudioTags MakeTrackAudioTags(const CdInfo& info, int track, int trackCount, std::string_view trackName) {
  AudioTags tags;
  tags.title = TrackTitle(track, trackName);
  tags.artist = info.artist;
  tags.album = info.title;
  tags.albumArtist = info.artist;
  const std::string year = info.KnownYear();
  if (IsKnownYear(year)) tags.year = year;
  tags.genre = info.genre;
  tags.track = track;
  tags.trackCount = trackCount;
  tags.disc = info.discNumber;
  tags.discCount = info.discCount;
  tags.musicBrainzAlbumId = info.musicBrainzReleaseId;
  tags.musicBrainzDiscId = info.musicBrainzDiscId;
  tags.musicBrainzArtistId = info.musicBrainzArtistId;
  tags.musicBrainzAlbumArtistId = info.musicBrainzArtistId;
  const auto index = static_cast<size_t>(track - 1);
  if (track >= 1 && index < info.musicBrainzRecordingIds.size()) tags.musicBrainzTrackId = info.musicBrainzRecordingIds[index];
  if (track >= 1 && index < info.musicBrainzTrackIds.size()) tags.musicBrainzReleaseTrackId = info.musicBrainzTrackIds[index];
  return tags;
}
