// TAACPlayer: plays an AAC file through libzbaaclib.so, loaded for each play, at the
// stream's own sample rate and channel count; seeks and reports the length through the
// library's AACDecoder_Seek and AACDecoder_Length, and leaves out the encoder delay and
// padding where the stream states them (AACDecoder_EncoderGap).
#pragma once

#include <atomic>
#include <memory>

#include "common/file_uri_path.h"
#include "player/engines/ring_player.h"

class TAACPlayer : public TRingPlayer {
 public:
  explicit TAACPlayer(MainLoop& loop) : TRingPlayer(loop) {}

  // Stores the name; playback starts with Play.
  // A file:// URI is taken for the file it names.
  void Open(const std::string& name) override { fileName_ = LocalName(name); }
  // Moves to offset seconds (range is ignored) before the next buffer, to the nearest
  // block of 1024 sample periods; past the end the playback ends with the end-of-stream
  // state. A library without AACDecoder_Seek cannot move.
  void Seek(int offset, int range) override;

 protected:
  void Run() override;

 private:
  std::atomic<int> seekRequest_{-1};  // seconds; -1 = none
};

// The sample rate of a stream record whose 16-bit field holds only the low bits of rates
// above 65535 (88200 and 96000 arrive as 22664 and 30464).
uint32_t AacRecordRate(uint16_t recorded);

// The engine table's row (engine_table.h): a file that can be opened and whose name ends
// in ".aac" (any case) plays here.
bool ProbeAac(const EngineFile& file);
std::unique_ptr<TPlayerEngine> MakeAacPlayer(MainLoop& loop);
