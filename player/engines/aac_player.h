// TAACPlayer: plays an AAC file through libzbaaclib.so, loaded for each play, at the
// stream's own sample rate and channel count.
#pragma once

#include <memory>

#include "player/engines/ring_player.h"

class TAACPlayer : public TRingPlayer {
 public:
  explicit TAACPlayer(MainLoop& loop) : TRingPlayer(loop) {}

  // Stores the name; playback starts with Play.
  void Open(const std::string& name) override { fileName_ = name.substr(0, 255); }
  void Seek(int, int) override {}

 protected:
  void Run() override;
};

// The sample rate of a stream record whose 16-bit field holds only the low bits of rates
// above 65535 (88200 and 96000 arrive as 22664 and 30464).
uint32_t AacRecordRate(uint16_t recorded);

// The engine table's row (engine_table.h): a file that can be opened and whose name ends
// in ".aac" (any case) plays here.
bool ProbeAac(const EngineFile& file);
std::unique_ptr<TPlayerEngine> MakeAacPlayer(MainLoop& loop);
