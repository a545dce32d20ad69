// TRingPlayer: the buffer ring on the audio output.
#include "player/engines/ring_player.h"

#include <chrono>
#include <thread>

#include "player/engines/gapless_mode.h"
#include "player/engines/playback_gain.h"

TRingPlayer::TRingPlayer(MainLoop& loop) : WorkerThread(loop) {}

void TRingPlayer::Play() {
  if (stopRequested_) return;  // a stopped engine never plays again
  if (!Running() && !Finished()) {
    Start();
    return;
  }
  if (Suspended()) {
    {
      std::lock_guard lock(outputMutex_);
      paused_ = false;
      if (output_) output_->Resume();
    }
    Resume();
  }
}

void TRingPlayer::Pause() {
  if (!Running() || Suspended()) return;
  Suspend();
  // The sound stops now, not once the queued buffers have played; Play writes what the
  // device had not played yet.
  std::lock_guard lock(outputMutex_);
  paused_ = true;
  if (output_) output_->Pause();
}

void TRingPlayer::Stop() {
  if (stopRequested_) return;
  stopRequested_ = true;
  Terminate();  // also lets a paused worker go
  // A worker whose Open waits for the last input's output of another format to play out
  // goes at once: that tail is silenced, as a Stop silences it anyway.
  if (openingOutput_) DiscardLingeringOutput();
  {
    // A worker waiting for the device to play out its last buffers goes at once.
    std::lock_guard lock(outputMutex_);
    if (output_) output_->Discard();
  }
  // The worker may be waiting for the main thread (a position hand-over): keep it turning.
  Loop().RunUntil([this] { return !Running(); }, std::chrono::hours(24));
}

bool TRingPlayer::OpenOutput(const AudioFormat& format) {
  openingOutput_ = true;
  auto opened = AudioOutput::Open(AudioDevice::Wave, format, [this](uint32_t) { freeBuffers_.release(); });
  openingOutput_ = false;
  if (!opened) {
    ReportError(opened.Error().text);
    return false;
  }
  opened.Value()->SetFilter(equalizer_);
  {
    std::lock_guard lock(outputMutex_);
    output_ = std::move(opened).Value();
    if (paused_) output_->Pause();  // paused while the output was being opened
  }
  heardBase_ = 0;
  bitsPerSample_ = format.bitsPerSample;
  usableBytes_ = kBufferBytes - kBufferBytes % format.BytesPerFrame();
  return true;
}

bool TRingPlayer::NextFreeBuffer(int* index) {
  // Buffers come back as they play, so this wait ends within the ring's length.
  freeBuffers_.acquire();
  if (Terminated()) {
    freeBuffers_.release();
    return false;
  }
  *index = nextIndex_;
  // The audio that has just finished playing from this buffer, for the visualization.
  SendOutputData(slots_->OnNotifyOutputData, this, buffers_[*index], lastQueued_[*index]);
  return true;
}

void TRingPlayer::QueueBuffer(int index, size_t bytes) {
  lastQueued_[index] = bytes;
  if (playbackGain_ != 1.0 && bitsPerSample_ == 16)
    ApplyPlaybackGain(reinterpret_cast<int16_t*>(buffers_[index]), bytes / 2, playbackGain_);
  (void)output_->Queue(uint32_t(index), buffers_[index], bytes);  // a failed device frees the buffer at once
  nextIndex_ = (index + 1) % kBuffers;
}

void TRingPlayer::DiscardQueued() {
  if (output_) {
    output_->Discard();
    heardBase_ = output_->PlayedBytes();
  }
  for (size_t& bytes : lastQueued_) bytes = 0;
}

uint64_t TRingPlayer::HeardBytes() const {
  if (!output_) return 0;
  const uint64_t played = output_->PlayedBytes();
  return played > heardBase_ ? played - heardBase_ : 0;
}

void TRingPlayer::DrainQueued(const std::function<void()>& whileWaiting) {
  if (!output_) return;
  if (GaplessPlayback()) {
    // The output plays on (its buffers copied) for the next engine to take over.
    std::unique_ptr<AudioOutput> leaving;
    {
      std::lock_guard lock(outputMutex_);
      leaving = std::move(output_);
    }
    if (!Terminated()) LeaveOutputPlaying(std::move(leaving));
    return;
  }
  while (!Terminated() && output_->PlayedBytes() < output_->QueuedBytes() && !output_->Failure()) {
    if (whileWaiting) whileWaiting();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!Terminated()) (void)output_->Drain();
  if (whileWaiting && !Terminated()) whileWaiting();
}

void TRingPlayer::CloseOutput() {
  std::unique_ptr<AudioOutput> closing;
  {
    std::lock_guard lock(outputMutex_);
    closing = std::move(output_);
  }
}
