// TRingPlayer: what the WAV and AAC engines share: a worker thread that fills a ring of 32
// fixed buffers, queues them on the audio output and waits on a semaphore that the
// output's buffer-played reports release; the pause gate; the Stop that keeps the main
// loop turning while it waits.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>

#include "common/audio/audio_output.h"
#include "common/main_loop.h"
#include "common/worker_thread.h"
#include "player/engines/equalizer_filter.h"
#include "player/engines/player_engine.h"

class TRingPlayer : public WorkerThread, public TPlayerEngine {
 public:
  static constexpr int kBuffers = 32;
  static constexpr size_t kBufferBytes = 8192;

  void Play() override;
  void Pause() override;
  // Only the first call acts: the worker is asked to end (let go if paused, its queued
  // audio discarded, a wait for the device to play it out cut short) and the main loop
  // runs until it has.
  void Stop() override;
  void Close() override { Stop(); }
  // The output runs the decoded audio through the equalizer filter on its way to the device.
  void SetCodecEqualizer(const int8_t* record) override { equalizer_->SetRecord(record); }
  void UseDirectSound(bool) override {}
  // The output follows the process's player volume by itself.
  void VolumeChanged(uint32_t, uint32_t) override {}

  bool IsRunning() const { return running_; }

 protected:
  explicit TRingPlayer(MainLoop& loop);

  // Worker thread helpers, in the order a thread body uses them.
  // Opens the output for format; on failure raises the error notification and returns false.
  bool OpenOutput(const AudioFormat& format);
  // Waits for a free buffer (false when asked to end meanwhile) and returns its index in
  // *index; the audio it last played goes to the output-data notification first.
  bool NextFreeBuffer(int* index);
  // Queues bytes (whole frames) of buffer index, scaled first by the playback gain when it
  // is not 1.0 and the output takes 16-bit samples.
  void QueueBuffer(int index, size_t bytes);
  // The ReplayGain factor of the input (playback_gain.h), for every buffer queued from now
  // on; 1.0 (the default) leaves the samples as decoded.
  void SetPlaybackGain(double scale) { playbackGain_ = scale; }
  // Drops what is queued; every buffer is free again.
  void DiscardQueued();
  // Waits until everything queued has played, giving up when asked to end, and calls
  // whileWaiting every few milliseconds meanwhile (to report the position as the tail
  // plays). In gapless mode it waits for nothing: the output is left playing what is
  // queued, for the next engine that opens the same format to take over.
  void DrainQueued(const std::function<void()>& whileWaiting = {});
  // Bytes the device has played of what this engine queued since the output opened or the
  // last DiscardQueued: where the sound is, not where the reading is (up to the whole ring
  // ahead). An output taken over from the last input counts nothing while that input's
  // tail still plays.
  uint64_t HeardBytes() const;
  void CloseOutput();
  // The buffer's bytes, rounded down to whole frames of the output's format.
  size_t UsableBytes() const { return usableBytes_; }
  uint8_t* Buffer(int index) { return buffers_[index]; }
  void ReportError(const std::string& message) { slots_->OnNotifyPlayerError(this, message); }

  std::atomic<bool> running_{false};
  std::string fileName_;

 private:
  std::counting_semaphore<kBuffers> freeBuffers_{kBuffers};
  size_t usableBytes_ = kBufferBytes;
  double playbackGain_ = 1.0;  // worker
  uint16_t bitsPerSample_ = 16;  // worker: the output's
  size_t lastQueued_[kBuffers] = {};  // bytes buffer i held when last queued
  int nextIndex_ = 0;
  uint64_t heardBase_ = 0;  // worker: the output's played bytes at the last discard
  bool stopRequested_ = false;  // main thread
  bool paused_ = false;         // under outputMutex_: the output is to stay silent
  std::atomic<bool> openingOutput_{false};  // the worker is inside AudioOutput::Open
  alignas(8) uint8_t buffers_[kBuffers][kBufferBytes] = {};
  // Set and reset by the worker under the lock; Stop (main thread) discards through it.
  std::mutex outputMutex_;
  // Handed to the output this engine plays on (and to be handed to one it takes over), which
  // shares it and may outlive this engine.
  std::shared_ptr<EqualizerFilter> equalizer_ = std::make_shared<EqualizerFilter>();
  // Last: its writer thread reports into the semaphore and reads the buffers above.
  std::unique_ptr<AudioOutput> output_;
};
