// WavPcmInput: the checked WAV input of the block encoders.
#include "maker/codec/wav_pcm_input.h"

#include <algorithm>
#include <bit>

#include "maker/codec/encoder_input.h"

static_assert(std::endian::native == std::endian::little, "WAV samples are read in place as little-endian");

CodecOutcome WavPcmInput::Open(const std::string& path) {
  file_ = CodecFile::OpenForReading(path);
  if (!file_.Valid()) return {CodecEvent::CannotOpenInput};
  if (ReadWavHeader(file_.Fd(), wav_) != kWavReadOk) return {CodecEvent::InvalidWavHeader};
  if (const CodecOutcome input = CheckEncoderInput(wav_); input.kind != CodecEvent::Finished) return input;
  if (wav_.channels > 2) return {CodecEvent::CodecFailed, 0, "The input file has more than two channels."};
  bytesRead_ = 0;
  return {CodecEvent::Finished};
}

int64_t WavPcmInput::Read(std::vector<int16_t>& samples, size_t frames) {
  const uint64_t frameBytes = uint64_t{wav_.channels} * sizeof(int16_t);
  const uint64_t wholeFrames = std::min<uint64_t>((wav_.dataBytes - bytesRead_) / frameBytes, frames);
  samples.resize(static_cast<size_t>(wholeFrames * wav_.channels));
  if (wholeFrames == 0) return 0;
  const ssize_t got = file_.ReadUpTo(samples.data(), static_cast<size_t>(wholeFrames * frameBytes));
  if (got < 0) return -1;
  // A file shorter than its data chunk claims ends the audio at its last whole frame.
  const uint64_t gotFrames = static_cast<uint64_t>(got) / frameBytes;
  bytesRead_ = gotFrames < wholeFrames ? wav_.dataBytes : bytesRead_ + gotFrames * frameBytes;
  samples.resize(static_cast<size_t>(gotFrames * wav_.channels));
  return static_cast<int64_t>(gotFrames);
}

int32_t WavPcmInput::Progress() const {
  if (wav_.dataBytes == 0) return 10000;
  return static_cast<int32_t>(std::min<uint64_t>(bytesRead_ * 10000 / wav_.dataBytes, 10000));
}
