// The process-wide gapless flag and the silencing of a lingering output.
#include "player/engines/gapless_mode.h"

#include <atomic>

#include "common/audio/audio_output.h"
#include "outside/zbdecode/zbdecode_player.h"

namespace {
std::atomic<bool> gapless{true};
}  // namespace

void SetGaplessPlayback(bool on) { gapless.store(on); }
bool GaplessPlayback() { return gapless.load(); }

// The decoder library keeps the MP3 engine's outputs, and the one it left playing, apart.
void DropLingeringOutput() {
  DiscardLingeringOutput();
  player_discard_lingering_output();
}
