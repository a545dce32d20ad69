// The audio output seam: back-end choice and the writer thread that feeds the back end
// and reports each buffer once the device clock has played it.
#include "common/audio/audio_output.h"

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "common/audio/audio_output_internal.h"
#include "common/audio/device_clock.h"
#include "common/audio/pcm_gain.h"

namespace {

// The back ends in probe order: the desktop's sound server, then ALSA; the capture back
// ends only when asked for by name.
constexpr SinkBackend kSinkBackends[] = {
    {"pulse", OpenOut123Sink, true},
    {"alsa", OpenOut123Sink, true},
    {"null", OpenNullSink, false},
    {"wav", OpenWavSink, false},
};

class ThreadedOutput final : public AudioOutput {
 public:
  ThreadedOutput(std::unique_ptr<AudioSink> sink, std::string backend, const AudioFormat& format, BufferDone onDone,
                 const OutputVolume& volume)
      : sink_(std::move(sink)),
        backend_(std::move(backend)),
        format_(format),
        onDone_(std::move(onDone)),
        volume_(volume),
        clock_(format.BytesPerSecond(), sink_->Speed()) {
    size_t chunk = sink_->ChunkBytes();
    chunk -= chunk % format.BytesPerFrame();
    scratch_.resize(chunk == 0 ? format.BytesPerFrame() : chunk);
    writer_ = std::thread(&ThreadedOutput::WriterMain, this);
  }

  ~ThreadedOutput() override {
    Discard();
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    writer_.join();
  }

  bool Queue(uint32_t tag, const void* data, size_t bytes) override {
    {
      std::lock_guard lock(mutex_);
      if (failure_.empty()) {
        items_.push_back(Item{tag, static_cast<const uint8_t*>(data), bytes - bytes % format_.BytesPerFrame()});
        queued_ += bytes;
        wake_.notify_all();
        return true;
      }
    }
    if (onDone_) onDone_(tag);
    return false;
  }

  void Discard() override {
    std::unique_lock lock(mutex_);
    if (items_.empty() && clock_.Played() >= clock_.Written()) return;
    discard_ = true;
    wake_.notify_all();
    idle_.wait(lock, [this] { return !discard_; });
  }

  bool Drain() override {
    std::unique_lock lock(mutex_);
    drainRequested_ = true;
    wake_.notify_all();
    idle_.wait(lock, [this] { return !drainRequested_; });
    return failure_.empty();
  }

  const AudioFormat& Format() const override { return format_; }
  std::string BackendName() const override { return backend_; }
  uint64_t QueuedBytes() const override {
    std::lock_guard lock(mutex_);
    return queued_;
  }
  uint64_t PlayedBytes() const override {
    std::lock_guard lock(mutex_);
    return playedBefore_ + clock_.Played();
  }
  uint64_t Underruns() const override {
    std::lock_guard lock(mutex_);
    return clock_.Starved();
  }
  std::string Failure() const override {
    std::lock_guard lock(mutex_);
    return failure_;
  }

 private:
  struct Item {
    uint32_t tag;
    const uint8_t* data;
    size_t bytes;
    size_t written = 0;
    uint64_t end = 0;  // device byte offset of its last byte, once written whole
  };

  // Pops the buffers the device has played (all of them when everything is to go) and
  // reports them with the lock released.
  void ReportFinished(std::unique_lock<std::mutex>& lock, bool all) {
    const uint64_t played = clock_.Played();
    done_.clear();
    while (!items_.empty()) {
      const Item& front = items_.front();
      if (!all && (front.written < front.bytes || front.end > played)) break;
      done_.push_back(front.tag);
      items_.pop_front();
    }
    if (done_.empty() || !onDone_) return;
    lock.unlock();
    for (uint32_t tag : done_) onDone_(tag);
    lock.lock();
  }

  void WriterMain() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (discard_) {
        lock.unlock();
        sink_->Drop();
        lock.lock();
        playedBefore_ += clock_.Played();
        queued_ = playedBefore_;  // the rest was dropped unplayed
        clock_ = DeviceClock(format_.BytesPerSecond(), sink_->Speed());
        ReportFinished(lock, /*all=*/true);
        discard_ = false;
        idle_.notify_all();
        continue;
      }
      if (!failure_.empty()) ReportFinished(lock, /*all=*/true);
      else ReportFinished(lock, /*all=*/false);
      if (discard_) continue;
      if (stop_) return;

      Item* next = nullptr;
      for (Item& item : items_) {
        if (item.written < item.bytes) {
          next = &item;
          break;
        }
      }
      if (next == nullptr || !failure_.empty()) {
        if (items_.empty() && drainRequested_) {
          lock.unlock();
          if (failure_.empty()) sink_->Drain();
          lock.lock();
          drainRequested_ = false;
          idle_.notify_all();
          continue;
        }
        if (!items_.empty()) wake_.wait_until(lock, clock_.WhenPlayed(items_.front().end));
        else wake_.wait(lock);
        continue;
      }

      const size_t chunk = std::min(scratch_.size(), next->bytes - next->written);
      const uint8_t* from = next->data + next->written;
      lock.unlock();
      CopyWithGain(from, scratch_.data(), chunk, format_, volume_.Left(), volume_.Right());
      const bool ok = sink_->Write(scratch_.data(), chunk);
      lock.lock();
      if (!ok) {
        failure_ = sink_->Error();
        continue;
      }
      clock_.Wrote(chunk);
      // Only this thread removes items, so next still points at the item written.
      next->written += chunk;
      if (next->written == next->bytes) next->end = clock_.Written();
    }
  }

  std::unique_ptr<AudioSink> sink_;
  const std::string backend_;
  const AudioFormat format_;
  const BufferDone onDone_;
  const OutputVolume& volume_;
  std::vector<uint8_t> scratch_;  // writer thread only
  std::vector<uint32_t> done_;    // writer thread only

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // the writer waits for work
  std::condition_variable idle_;  // the producer waits for a discard or drain to finish
  std::deque<Item> items_;
  DeviceClock clock_;
  uint64_t playedBefore_ = 0;  // played bytes of clocks replaced by a discard
  uint64_t queued_ = 0;
  bool discard_ = false;
  bool drainRequested_ = false;
  bool stop_ = false;
  std::string failure_;
  std::thread writer_;  // last: joined before the state above goes
};

const SinkBackend* FindBackend(const std::string& name) {
  for (const SinkBackend& backend : kSinkBackends) {
    if (name == backend.name) return &backend;
  }
  return nullptr;
}

}  // namespace

Result<SinkRequest, AudioError> ParseAudioOutSetting(const std::string& setting, AudioDevice device) {
  SinkRequest request;
  if (setting.empty()) {
    request.backend = device == AudioDevice::Wave ? "alsa" : "pulse";
    return request;
  }
  if (setting.rfind("wav:", 0) == 0) {
    request.backend = "wav";
    std::string rest = setting.substr(4);
    const size_t comma = rest.rfind(",speed=");
    if (comma != std::string::npos) {
      const std::string number = rest.substr(comma + 7);
      char* end = nullptr;
      const long speed = std::strtol(number.c_str(), &end, 10);
      if (number.empty() || *end != '\0' || speed < 1 || speed > 64) {
        return Fail(AudioError{"ZIMBAR_AUDIO_OUT: speed must be a whole number from 1 to 64: " + setting});
      }
      request.speed = uint32_t(speed);
      rest.resize(comma);
    }
    if (rest.empty()) return Fail(AudioError{"ZIMBAR_AUDIO_OUT: wav: needs a file path"});
    request.path = rest;
    return request;
  }
  if (FindBackend(setting) == nullptr) {
    return Fail(AudioError{"ZIMBAR_AUDIO_OUT: unknown audio output " + setting +
                           " (null, wav:PATH[,speed=N], pulse or alsa)"});
  }
  request.backend = setting;
  return request;
}

Result<std::unique_ptr<AudioOutput>, AudioError> AudioOutput::Open(AudioDevice device, const AudioFormat& format,
                                                                   BufferDone onDone, const OutputVolume& volume) {
  if (!format.Valid()) {
    return Fail(AudioError{"The audio output cannot play " + std::to_string(format.channels) + " channels of " +
                           std::to_string(format.bitsPerSample) + "-bit audio at " +
                           std::to_string(format.sampleRate) + " Hz"});
  }
  const char* setting = std::getenv("ZIMBAR_AUDIO_OUT");
  auto request = ParseAudioOutSetting(setting ? setting : "", device);
  if (!request) return Fail(request.Error());
  const bool chosenByName = setting != nullptr && *setting != '\0';

  auto make = [&](const SinkRequest& r) -> Result<std::unique_ptr<AudioOutput>, AudioError> {
    auto sink = FindBackend(r.backend)->open(r, format);
    if (!sink) return Fail(sink.Error());
    return std::unique_ptr<AudioOutput>(
        std::make_unique<ThreadedOutput>(std::move(sink).Value(), r.backend, format, onDone, volume));
  };
  auto first = make(request.Value());
  if (first || chosenByName) return first;
  // The device asked for is missing: the other device of the desktop may still play.
  for (const SinkBackend& backend : kSinkBackends) {
    if (!backend.probed || request.Value().backend == backend.name) continue;
    SinkRequest other;
    other.backend = backend.name;
    auto next = make(other);
    if (next) return next;
  }
  return first;
}
