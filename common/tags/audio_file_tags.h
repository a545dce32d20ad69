// The tags the maker writes into the files it encodes, in each format's own form: Vorbis
// comments (FLAC, Ogg Vorbis, Opus), MP4 atoms (M4A), ID3v2.4 frames (MP3). TagLib reads and
// writes them; texts are UTF-8 throughout.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/tags/audio_file_format.h"
#include "common/tags/id3v2_tag.h"

// A front cover: the image bytes and their type ("image/jpeg" or "image/png").
struct CoverImage {
  std::string mimeType;
  std::vector<uint8_t> data;
  bool operator==(const CoverImage&) const = default;
};

// ReplayGain 2.0 values of one track: gains in dB towards -18 LUFS, peaks as linear sample
// peaks (1.0 = full scale).
struct ReplayGainValues {
  double trackGain = 0;
  double trackPeak = 0;
  double albumGain = 0;
  double albumPeak = 0;
  bool operator==(const ReplayGainValues&) const = default;
};

// What a file's tags say. Empty texts and zero numbers are left out of the file.
struct AudioTags {
  std::string title;
  std::string artist;
  std::string album;
  std::string albumArtist;
  std::string year;   // a known year only ("1999", "2003-05-01")
  std::string genre;
  int track = 0;       // n of "n/N"
  int trackCount = 0;  // N
  int disc = 0;
  int discCount = 0;
  // MusicBrainz ids, when the names came from MusicBrainz: the release (album id), the
  // recording (track id), the release's track, the artists and the disc id.
  std::string musicBrainzAlbumId;
  std::string musicBrainzTrackId;
  std::string musicBrainzReleaseTrackId;
  std::string musicBrainzArtistId;
  std::string musicBrainzAlbumArtistId;
  std::string musicBrainzDiscId;
  std::optional<CoverImage> cover;
  std::optional<ReplayGainValues> replayGain;
  bool operator==(const AudioTags&) const = default;
};

// Writes `tags` into the file at `path` in place (the maker calls it on the temporary file
// an encoder has just written, before it is put in place): Vorbis comments for FLAC, Ogg
// Vorbis and Opus (the picture as a FLAC PICTURE block, or METADATA_BLOCK_PICTURE in Ogg),
// MP4 atoms for M4A (covr, freeform "----:com.apple.iTunes:" atoms for MusicBrainz ids and
// ReplayGain), ID3v2.4 for MP3 (TXXX frames, APIC). Tags the file had are replaced.
Outcome WriteAudioFileTags(const std::string& path, AudioFileFormat format, const AudioTags& tags);

// Adds the ReplayGain values to the tags of a finished file, safely: the new file is written
// beside it and renamed over it only when complete (a failure leaves the file as it was).
// Vorbis comments REPLAYGAIN_TRACK_GAIN "-3.21 dB", REPLAYGAIN_TRACK_PEAK "0.912345", ...
// (FLAC, Ogg Vorbis), MP4 freeform atoms, ID3v2 TXXX frames; Opus instead gets the album
// gain as the header's output gain and R128_TRACK_GAIN relative to it (RFC 7845, -23 LUFS).
Outcome WriteReplayGainTags(const std::string& path, AudioFileFormat format, const ReplayGainValues& values);

// The ID3v2.4 update that gives an MP3 file exactly `tags`: every text frame named (an empty
// one removed), track and disc as "n/N", the MusicBrainz ids and ReplayGain values as user
// texts (TXXX "MusicBrainz Album Id", "REPLAYGAIN_TRACK_GAIN", ...), the front cover.
Id3v2Update Id3v2UpdateOf(const AudioTags& tags);

// The ReplayGain values from their texts ("-6.00 dB", "-6.00", "0.912345"), which textOf
// gives for each name (REPLAYGAIN_TRACK_GAIN, _TRACK_PEAK, _ALBUM_GAIN, _ALBUM_PEAK; an
// empty text when the name is not stored). Nothing without a gain. Taggers write the
// track's values alone (a single file) or the album's alone: the stored gain and peak then
// stand for both. A peak not stored reads as 0.
std::optional<ReplayGainValues> ReplayGainOfTexts(const std::function<std::string(const char* name)>& textOf);

// Reads back what WriteAudioFileTags writes (tests, the player's titles and ReplayGain),
// and the same tags as other taggers write them (ReplayGain as ReplayGainOfTexts reads it;
// for Opus from the header's output gain, R128_TRACK_GAIN and R128_ALBUM_GAIN). Nothing
// when the file cannot be read as `format`.
std::optional<AudioTags> ReadAudioFileTags(const std::string& path, AudioFileFormat format);
