// Scaling of integer PCM by a per-channel volume.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/audio/audio_format.h"
#include "common/audio/output_volume.h"

// Copies bytes (whole frames) from in to out, each channel scaled by volume / 65535:
// channel 0 by left, every other channel by right (mono follows left). 65535 copies the
// samples unchanged; 0 gives silence (128 for 8-bit samples).
void CopyWithGain(const uint8_t* in, uint8_t* out, size_t bytes, const AudioFormat& format, uint32_t left,
                  uint32_t right);
