// EqualizerFilter: the equalizer record applied to PCM on its way to the device (a filter
// of the audio output), for the engines whose decoder has no equalizer of its own (WAV,
// AAC). It gives the response
// the MP3 decoder gives the same record: 32 bands, each a 64th of the sample rate wide
// (band 0 at the bottom), each scaled by its band value's factor, with the neighbouring
// bands' gains blended across each band edge as a sub-band filter bank blends them.
//
// How: one minimum-phase FIR filter per record half (designed from the band gains through
// the real cepstrum, so a flat record is the identity and the filter adds almost no delay),
// run by FFT convolution (overlap-save). A record of zeros (the equalizer off, or every
// slider at the middle) leaves the samples untouched, bit for bit. Samples that the boost
// takes past full scale are saturated, never wrapped. A new record is taken at the next
// chunk; while audio flows, that chunk's first block fades from the old response to the
// new one (the first chunk of a stream starts with the new one).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "common/audio/audio_format.h"
#include "common/audio/audio_output.h"

inline constexpr int kEqualizerFilterBands = 32;
// 32 signed band values for the left channel, then 32 for the right.
inline constexpr size_t kEqualizerRecordBytes = 2 * kEqualizerFilterBands;

// The linear factor of a band value (clamped to -51..50): +50 lifts by 12 dB, -51 cuts by
// 24 dB, 0 is 1. The same factor as the MP3 decoder's (zbdecode_player.h).
double EqualizerBandFactor(int value);

// The filter's magnitude at frequency f (a fraction of the sample rate, 0..0.5) for one
// record half: the band gains with their edges blended. What the FIR is designed from.
double EqualizerTargetMagnitude(const std::array<int8_t, kEqualizerFilterBands>& bands, double f);

class EqualizerFilter final : public PcmFilter {
 public:
  EqualizerFilter();
  ~EqualizerFilter() override;
  EqualizerFilter(const EqualizerFilter&) = delete;
  EqualizerFilter& operator=(const EqualizerFilter&) = delete;

  // Any thread: takes a copy of the 64-byte record (nullptr: off). Process applies it from
  // its next call on.
  void SetRecord(const int8_t* record);

  // One thread at a time (the output's writer): filters bytes (whole frames) of
  // interleaved samples of format in place. Channel 0 (and every even channel) follows the
  // record's left half, channel 1 (and every odd one) its right half. A change of format
  // starts afresh.
  void Process(void* data, size_t bytes, const AudioFormat& format) override;

  // Whether the last Process call changed the samples (false while the record is flat).
  bool Active() const { return active_; }

  // The FIR length and the FFT size of the convolution.
  static constexpr size_t kTaps = 512;
  static constexpr size_t kFftSize = 2048;
  static constexpr size_t kBlockFrames = kFftSize - kTaps + 1;

 private:
  struct Response;  // one designed filter: its spectrum, or the identity
  struct Channel;   // one channel's input history and scratch

  // The minimum-phase FIR whose magnitude is the band response: the log magnitude's real
  // cepstrum folded onto its causal half, exponentiated back.
  static std::shared_ptr<const Response> Design(const std::array<int8_t, kEqualizerFilterBands>& bands);
  void Restart(const AudioFormat& format);
  void TakeRecord();
  void RunBlock(size_t offset, size_t frames, uint8_t* data, bool fade);
  const Response& ResponseOf(int channel, bool previous) const;

  std::mutex recordMutex_;
  std::array<int8_t, kEqualizerRecordBytes> pending_{};
  std::atomic<bool> changed_{false};

  // The worker's own state.
  AudioFormat format_{};
  bool started_ = false;
  bool active_ = false;
  std::array<int8_t, kEqualizerRecordBytes> record_{};
  // [0] left half, [1] right half; the previous pair while a fade is due.
  std::array<std::shared_ptr<const Response>, 2> current_, previous_;
  bool fadeDue_ = false;
  bool flowing_ = false;  // audio went through since the last start
  std::vector<std::unique_ptr<Channel>> channels_;
};
