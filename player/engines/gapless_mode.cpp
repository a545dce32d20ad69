#include "player/engines/gapless_mode.h"

#include <atomic>

#include "common/audio/audio_output.h"

namespace {
std::atomic<bool> gapless{true};
}  // namespace

void SetGaplessPlayback(bool on) { gapless.store(on); }
bool GaplessPlayback() { return gapless.load(); }

void DropLingeringOutput() { DiscardLingeringOutput(); }
