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

// The decoder library leaves its outputs with the program's audio seam when the program has
// one; its own export silences the one it keeps when it has its own copy of the seam.
void DropLingeringOutput() {
  DiscardLingeringOutput();
  player_discard_lingering_output();
}
