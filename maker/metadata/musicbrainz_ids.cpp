// The MusicBrainz ids of a disc's CD information.
#include "maker/metadata/musicbrainz_ids.h"

#include <algorithm>

MusicBrainzIds MusicBrainzIdsOf(const CdInfo& info) {
  MusicBrainzIds ids;
  ids.releaseId = info.musicBrainzReleaseId;
  ids.discId = info.musicBrainzDiscId;
  ids.artistId = info.musicBrainzArtistId;
  ids.recordingIds = info.musicBrainzRecordingIds;
  ids.trackIds = info.musicBrainzTrackIds;
  ids.discNumber = info.discNumber;
  ids.discCount = info.discCount;
  return ids;
}

void SetMusicBrainzIds(const MusicBrainzIds& ids, CdInfo& info) {
  info.musicBrainzReleaseId = ids.releaseId;
  info.musicBrainzDiscId = ids.discId;
  info.musicBrainzArtistId = ids.artistId;
  info.musicBrainzRecordingIds = ids.recordingIds;
  info.musicBrainzTrackIds = ids.trackIds;
  info.discNumber = ids.discNumber;
  info.discCount = ids.discCount;
}

MusicBrainzNaming KeepMusicBrainzNaming(const CdInfo& info) {
  return MusicBrainzNaming{MusicBrainzIdsOf(info), info.title, info.artist, info.trackNames};
}

void AttachMusicBrainzIds(const MusicBrainzNaming& naming, CdInfo& info) {
  bool same = naming.title == info.title && naming.artist == info.artist;
  CdInfo named;
  named.trackNames = naming.trackNames;
  const size_t tracks = std::max(named.trackNames.size(), info.trackNames.size());
  for (size_t track = 1; same && track <= tracks; ++track)
    same = named.TrackName(static_cast<int>(track)) == info.TrackName(static_cast<int>(track));
  SetMusicBrainzIds(same ? naming.ids : MusicBrainzIds{}, info);
}
