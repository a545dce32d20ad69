// The encoders' input checks.
#include "maker/codec/encoder_input.h"

bool AcceptedSampleRate(uint32_t sampleRate) {
  switch (sampleRate) {
    case 16000:
    case 22050:
    case 24000:
    case 32000:
    case 44100:
    case 48000:
      return true;
    default:
      return false;
  }
}

CodecOutcome CheckEncoderInput(const WavFormatInfo& wav) {
  if (wav.formatTag != 1 || wav.bitsPerSample != 16) return {CodecEvent::NotPcm16};
  if (!AcceptedSampleRate(wav.sampleRate)) return {CodecEvent::BadSampleRate};
  const uint64_t frameBytes = uint64_t{wav.channels} * 2;
  if (frameBytes == 0 || wav.dataBytes < frameBytes) {
    return {CodecEvent::CodecFailed, 0, "The input file holds no audio."};
  }
  return {CodecEvent::Finished};
}
