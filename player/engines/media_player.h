// TMediaPlayer: plays FLAC, Ogg Vorbis, Opus and MP4/M4A audio (AAC and ALAC) files, and
// HTTP(S) streams of Ogg Vorbis and Opus, through libavformat and libavcodec, on the buffer
// ring of the WAV and AAC engines (so the equalizer filter, the pause, the stop and the
// gapless hand-over are theirs). The encoder delay and padding the container states are
// left out; seeks land on the asked sample period; the output is 16-bit PCM at the
// stream's own rate, bit for bit what the decoder gives for 16-bit lossless input.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "player/engines/ring_player.h"

class TMediaPlayer : public TRingPlayer {
 public:
  explicit TMediaPlayer(MainLoop& loop) : TRingPlayer(loop) {}

  // Stores the name (a file:// URI is taken for the file it names); playback starts with
  // Play.
  void Open(const std::string& name) override;
  // Moves to offset seconds (range is ignored) before the next buffer; past the end the
  // playback ends with the end-of-stream state. A stream that cannot seek stays where it is.
  void Seek(int offset, int range) override;

 protected:
  void Run() override;

 private:
  // Plays the input to its end or until asked to end; false when it could not start or
  // broke off (an error has been reported then).
  bool PlayInput();

  std::atomic<int> seekRequest_{-1};  // seconds; -1 = none
};

// The engine table's row (engine_table.h): a file whose content is FLAC (behind an ID3v2
// tag too), an Ogg stream of Vorbis or Opus, or an MP4 ("ftyp") file, whatever its name;
// an http:// or https:// URL whose path ends in ".ogg", ".oga", ".opus" or ".flac" (any
// case, before any query).
bool ProbeMedia(const EngineFile& file);
std::unique_ptr<TPlayerEngine> MakeMediaPlayer(MainLoop& loop);
