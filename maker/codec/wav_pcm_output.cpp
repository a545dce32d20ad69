// WavPcmOutput: the decoders' WAV file, with a header that follows what was written.
#include "maker/codec/wav_pcm_output.h"

#include <bit>
#include <cerrno>

#include "common/wav_header.h"

static_assert(std::endian::native == std::endian::little, "WAV samples are written in place as little-endian");

CodecOutcome WavPcmOutput::Create(const std::string& path) {
  file_ = CodecFile::CreateForWriting(path);
  if (!file_.Valid()) return {CodecEvent::CannotCreateOutput, errno};
  // The header has room for the 64-bit sizes of an output past 4 GiB (an audio book).
  if (WriteWavHeader64(file_.Fd(), /*mono=*/false, 44100, 0) != kWavWriteOk) return {CodecEvent::CannotWriteOutput};
  return {CodecEvent::Finished};
}

bool WavPcmOutput::Write(const int16_t* samples, size_t count) {
  if (!file_.WriteAll(samples, count * sizeof(int16_t))) return false;
  bytes_ += count * sizeof(int16_t);
  return true;
}

bool WavPcmOutput::SecondPassed(uint64_t bytesPerSecond) {
  if (bytes_ - reportedBytes_ < bytesPerSecond) return false;
  reportedBytes_ = bytes_;
  return true;
}

bool WavPcmOutput::Finish(bool mono, uint32_t sampleRate) {
  const bool headerWritten = WriteWavHeader64(file_.Fd(), mono, sampleRate, bytes_) == kWavWriteOk;
  const bool closed = file_.Close();
  return headerWritten && closed;
}

std::string SkippedGapsWarning(int gaps) {
  return "The input file has damaged data: " + std::to_string(gaps) + (gaps == 1 ? " gap was" : " gaps were") +
         " skipped.";
}
