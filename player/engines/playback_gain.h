// ReplayGain while playing: the process-wide mode and pre-amplification the player sets
// from its settings, the gain one file gets from its tags, and the scaling of 16-bit PCM
// by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/tags/audio_file_format.h"

// Stored in the settings as these numbers.
enum class ReplayGainMode { Off = 0, Track = 1, Album = 2 };

// The pre-amplification's range in dB; SetReplayGain holds it within.
inline constexpr double kReplayGainPreampMinDb = -15.0;
inline constexpr double kReplayGainPreampMaxDb = 15.0;

// Any thread; the player sets it from its settings before the first entry plays and when
// they change (it applies from the next entry opened). preampDb is added to the tag's gain.
// A mode outside Off..Album (a hand-edited settings file) reads as Track, the default; the
// pre-amp is clamped to -15..15 dB.
void SetReplayGain(ReplayGainMode mode, double preampDb);
ReplayGainMode CurrentReplayGainMode();
double ReplayGainPreampDb();

// The linear factor the samples of the file at path are multiplied by under the current
// mode: 10^((gain + preamp) / 20) from the file's tags (the track's or the album's gain; the
// other where only that one is stored), lowered so that the stored peak times it stays at
// or below full scale (no limit when no peak is stored). format: the file's content as
// sniffed.
//
// The tags are read with ReadAudioFileTags: ID3v2 TXXX frames (MP3), Vorbis comments (FLAC,
// Ogg Vorbis, any case of the names), MP4 freeform atoms (M4A). Where those hold none, the
// container's metadata as libavformat reads it is asked: QuickTime "mdta" keys (M4A made by
// ffmpeg), an "id3 " chunk of a WAV file, an ID3v2 or APE tag around MP3 or ADTS audio.
//
// Opus is different: the decoder applies the header's output gain by itself, and the gains
// Opus files carry aim at EBU R128's -23 LUFS, 5 dB below ReplayGain's reference. So the
// factor is only what comes on top of the header's gain, moved to ReplayGain's loudness:
// Track: R128_TRACK_GAIN + 5 dB; Album: R128_ALBUM_GAIN (usually absent: 0) + 5 dB; plus
// the pre-amp. A file with neither a header gain nor R128 tags counts as untagged.
//
// Exactly 1.0 when the mode is Off, the file has no gain tags, it cannot be read, or path is
// a URL other than file://: the output then stays bit for bit the decoder's. Reads the
// file each time (nothing is cached across files); a path that is not a regular file (a
// FIFO) is never opened.
double PlaybackGainFor(const std::string& path, AudioFileFormat format);

// Multiplies count interleaved 16-bit samples by scale in place, rounded to the nearest and
// held within the 16-bit range. A scale of exactly 1.0 leaves them untouched.
void ApplyPlaybackGain(int16_t* samples, size_t count, double scale);
