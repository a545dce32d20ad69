#include "player/engines/gapless_mode.h"

#include <atomic>

namespace {
std::atomic<bool> gapless{true};
}  // namespace

void SetGaplessPlayback(bool on) { gapless.store(on); }
bool GaplessPlayback() { return gapless.load(); }
