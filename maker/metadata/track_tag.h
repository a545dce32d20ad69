// Which CD information goes into which ID3v1 field of a track ripped and encoded to MP3.
#pragma once

#include <string>
#include <string_view>

#include "common/tags/audio_file_tags.h"
#include "common/tags/id3v2_tag.h"
#include "maker/metadata/cd_info.h"

// UTF-8 texts, each already cut to what the maker writes: title, artist and album at most
// 29 characters, year at most 4 (cut on character boundaries). The tag writer converts
// them to ISO-8859-1.
struct TrackTagFields {
  std::string title;   // the track name ("Track%02i" when empty), not cleaned of '/' etc.
  std::string artist;  // CdInfo::artist
  std::string album;   // CdInfo::title
  std::string year;    // CdInfo::year
};

inline constexpr std::size_t kTagTextChars = 29;
inline constexpr std::size_t kTagYearChars = 4;

// Fields of 1-based track `track` whose name in the main track list is `trackName`.
TrackTagFields MakeTrackTagFields(const CdInfo& info, int track, std::string_view trackName);

// The ID3v2 tag of 1-based track `track` of a disc of `trackCount` tracks, texts whole:
// what MakeTrackAudioTags gives, as Id3v2UpdateOf renders it (the track name, "Track%02i"
// when empty, artist, album artist, album (the disc title), the year only when it is known,
// "n/N", the disc "n/N", the genre text and the MusicBrainz ids as user texts). Empty
// values leave their frames out.
Id3v2Update MakeTrackId3v2Update(const CdInfo& info, int track, int trackCount, std::string_view trackName);

// The tags of 1-based track `track` of a disc of `trackCount` tracks in the formats with
// container tags (FLAC, Ogg, M4A): the texts of MakeTrackId3v2Update, the disc number and
// the MusicBrainz ids the CD information holds. No cover and no ReplayGain.
AudioTags MakeTrackAudioTags(const CdInfo& info, int track, int trackCount, std::string_view trackName);
