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

// Any thread; the player sets it from its settings before the first entry plays and when
// they change (it applies from the next entry opened). preampDb is added to the tag's gain.
void SetReplayGain(ReplayGainMode mode, double preampDb);
ReplayGainMode CurrentReplayGainMode();
double ReplayGainPreampDb();

// The linear factor the samples of the file at path are multiplied by under the current
// mode: 10^((gain + preamp) / 20) from the file's tags (the track's or the album's gain; the
// other where only that one is stored), lowered so that the stored peak times it stays at
// or below full scale. Exactly 1.0 when the mode is Off, the file has no gain tags, or it
// cannot be read (a URL): the output then stays bit for bit the decoder's. format: the file's
// content as sniffed. For Opus the decoder has already applied the header's output gain (the
// album gain): only what the tags add to it counts.
double PlaybackGainFor(const std::string& path, AudioFileFormat format);

// Multiplies count interleaved 16-bit samples by scale in place, rounded to the nearest and
// held within the 16-bit range. A scale of exactly 1.0 leaves them untouched.
void ApplyPlaybackGain(int16_t* samples, size_t count, double scale);
