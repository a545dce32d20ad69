// What the MP3 and AAC encoders accept as their WAV input, checked before any output exists.
#pragma once

#include <cstdint>

#include "common/wav_header.h"
#include "maker/codec/codec_event.h"

// True for the sample rates the encoders accept.
bool AcceptedSampleRate(uint32_t sampleRate);

// The checks both encoders make of a header that was read: NotPcm16 unless 16-bit PCM,
// BadSampleRate unless an accepted rate, CodecFailed with a detail when the file holds no
// whole sample frame (an encoder would write a file no decoder reads); Finished when the
// input is accepted. Channel counts are each encoder's own affair.
CodecOutcome CheckEncoderInput(const WavFormatInfo& wav);
