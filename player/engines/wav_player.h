// TWavPlayer: plays the data chunk of an uncompressed WAV file on the wave output: integer
// PCM as stored, IEEE float converted to 24-bit PCM.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "player/engines/ring_player.h"

class TWavPlayer : public TRingPlayer {
 public:
  explicit TWavPlayer(MainLoop& loop) : TRingPlayer(loop) {}

  // Stores the name and starts playing at once.
  void Open(const std::string& name) override;
  // Moves to offset seconds (range is ignored) before the next buffer; past the end the
  // playback ends with the end-of-stream state.
  void Seek(int offset, int range) override;

 protected:
  void Run() override;

 private:
  // Plays the open file; false when the thread was asked to end.
  bool PlayFile(int fd);

  std::atomic<int> seekRequest_{-1};  // seconds; -1 = none
};

// Where the audio of a WAV file lies: from dataOffset, dataBytes long. A declared data size
// of 0 or 0xFFFFFFFF (left so by writers that stream) means to the end of the file; a
// larger one is cut at the end of the file.
uint64_t WavDataBytes(uint32_t declared, uint64_t dataOffset, uint64_t fileBytes);

// The engine table's row (engine_table.h): a file the WAV header reader accepts plays
// here, whatever its name.
bool ProbeWav(const EngineFile& file);
std::unique_ptr<TPlayerEngine> MakeWavPlayer(MainLoop& loop);
