// The audio output seam: back-end choice and the writer thread that feeds the back end
// and reports each buffer once the device clock has played it.
#include "common/audio/audio_output.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/audio/audio_output_internal.h"
#include "common/audio/device_clock.h"
#include "common/audio/pcm_gain.h"

namespace {

// The back ends in probe order: the desktop's sound server, then ALSA; the capture back
// ends only when asked for by name.
constexpr SinkBackend kSinkBackends[] = {
    {"pulse", OpenPulseSink, true},
    {"alsa", OpenOut123Sink, true},
    {"null", OpenNullSink, false},
    {"wav", OpenWavSink, false},
};

// What the writer thread works on, shared by the output and its writer: the writer may
// outlive the output while it is inside a call to the device (a write or a drain that the
// sound server holds), and then closes the device itself, so that Discard and the
// destruction never wait for the device.
struct WriterState {
  struct Item {
    uint32_t tag = 0;
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    size_t written = 0;
    uint64_t end = 0;  // device byte offset of its last byte, once written whole
    int64_t start = 0;  // device byte offset of its first byte, once written in part
    bool report = true;  // false once its producer has gone (the data is then `owned`)
    std::vector<uint8_t> owned;
  };

  WriterState(std::unique_ptr<AudioSink> s, const AudioFormat& f, BufferDone done, const OutputVolume& v)
      : sink(std::move(s)), format(f), speed(sink->Speed()), onDone(std::move(done)), volume(&v),
        clock(f.BytesPerSecond(), speed) {}

  std::unique_ptr<AudioSink> sink;  // the writer's alone (it closes it)
  const AudioFormat format;
  const uint32_t speed;
  std::vector<uint8_t> scratch;  // writer thread only
  std::vector<uint32_t> done;    // writer thread only

  mutable std::mutex mutex;
  std::condition_variable wake;  // the writer waits for work
  std::condition_variable idle;  // the owner waits for a short phase of the writer or a drain
  // The owner's: cleared when it goes. The writer uses them only in the phases flagged by
  // copying and reporting, which the owner waits for (never for a device call).
  BufferDone onDone;
  const OutputVolume* volume;
  std::shared_ptr<PcmFilter> filter;  // under the mutex; the writer takes it per chunk
  std::deque<Item> items;
  DeviceClock clock;
  uint64_t playedBefore = 0;  // played bytes of clocks replaced by a discard
  uint64_t queued = 0;
  uint64_t discards = 0;      // discards so far: a device call that spans one is stale
  uint64_t ownerBase = 0;     // queued bytes of an earlier producer when this one took over
  OutputVolume ownVolume;     // the volume a lingering output keeps when its producer goes
  bool copying = false;       // the writer reads a queued buffer (and the volume)
  bool reporting = false;     // the writer calls onDone
  bool inDevice = false;      // the writer is inside a call to the device
  bool dropDevice = false;    // what the device holds is to be thrown away
  bool drainRequested = false;
  bool paused = false;        // the writer writes nothing
  bool pausePending = false;  // the device is to drop what it holds and the queue rewind
  bool stop = false;
  std::optional<Error> failure;  // why the device failed, once it has
};

class ThreadedOutput final : public AudioOutput {
 public:
  ThreadedOutput(std::unique_ptr<AudioSink> sink, std::string backend, const AudioFormat& format, BufferDone onDone,
                 const OutputVolume& volume)
      : backend_(std::move(backend)),
        state_(std::make_shared<WriterState>(std::move(sink), format, std::move(onDone), volume)) {
    size_t chunk = state_->sink->ChunkBytes();
    chunk -= chunk % format.BytesPerFrame();
    state_->scratch.resize(chunk == 0 ? format.BytesPerFrame() : chunk);
    writer_ = std::thread(&ThreadedOutput::WriterMain, state_);
  }

  ~ThreadedOutput() override {
    Discard();
    WriterState& s = *state_;
    bool inDevice = false;
    {
      std::unique_lock lock(s.mutex);
      // Whatever the device still holds is not to be heard: a close would wait for it.
      s.dropDevice = true;
      s.stop = true;
      s.wake.notify_all();
      s.idle.wait(lock, [&] { return !s.copying && !s.reporting; });
      // Nothing of this object is touched from now on.
      s.onDone = nullptr;
      s.volume = nullptr;
      inDevice = s.inDevice;
    }
    // A writer inside a device call ends by itself when the call returns (it then throws
    // away what the device holds and closes it); one that is not ends at once.
    if (inDevice) writer_.detach();
    else writer_.join();
  }

  Outcome Queue(uint32_t tag, const void* data, size_t bytes) override {
    WriterState& s = *state_;
    Error failure;
    {
      std::lock_guard lock(s.mutex);
      if (!s.failure) {
        WriterState::Item& item = s.items.emplace_back();
        item.tag = tag;
        item.data = static_cast<const uint8_t*>(data);
        item.bytes = bytes - bytes % s.format.BytesPerFrame();
        s.queued += bytes;
        s.wake.notify_all();
        return Done{};
      }
      failure = *s.failure;
    }
    if (s.onDone) s.onDone(tag);
    return Fail(std::move(failure));
  }

  void SetFilter(std::shared_ptr<PcmFilter> filter) override {
    std::lock_guard lock(state_->mutex);
    state_->filter = std::move(filter);
  }

  void Discard() override {
    WriterState& s = *state_;
    std::vector<uint32_t> dropped;
    {
      std::unique_lock lock(s.mutex);
      if (s.items.empty() && s.clock.Played() >= s.clock.Written() && !s.drainRequested) return;
      // The writer may be reading a buffer or reporting some: short, and both must be
      // over before the buffers go back. A call to the device is not waited for: the
      // device drops what it holds when the call returns.
      s.idle.wait(lock, [&] { return !s.copying && !s.reporting; });
      s.playedBefore += s.clock.Played();
      s.queued = s.playedBefore;  // the rest was dropped unplayed
      s.clock = DeviceClock(s.format.BytesPerSecond(), s.speed);
      for (const WriterState::Item& item : s.items) {
        if (item.report) dropped.push_back(item.tag);
      }
      s.items.clear();
      if (s.ownerBase > s.playedBefore) s.ownerBase = s.playedBefore;  // the old tail went unplayed
      ++s.discards;
      s.dropDevice = true;
      s.drainRequested = false;  // nothing is left to play: a drain under way ends
      s.wake.notify_all();
      s.idle.notify_all();
    }
    if (s.onDone) {
      for (uint32_t tag : dropped) s.onDone(tag);
    }
  }

  Outcome Drain() override {
    WriterState& s = *state_;
    std::unique_lock lock(s.mutex);
    s.drainRequested = true;
    s.wake.notify_all();
    s.idle.wait(lock, [&] { return !s.drainRequested; });
    if (s.failure) return Fail(*s.failure);
    return Done{};
  }

  void Pause() override {
    WriterState& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.paused) return;
    s.paused = true;
    s.pausePending = true;
    s.wake.notify_all();
  }
  void Resume() override {
    WriterState& s = *state_;
    std::lock_guard lock(s.mutex);
    if (!s.paused) return;
    s.paused = false;
    s.wake.notify_all();
  }
  bool Paused() const override {
    std::lock_guard lock(state_->mutex);
    return state_->paused;
  }

  const AudioFormat& Format() const override { return state_->format; }
  std::string BackendName() const override { return backend_; }
  uint64_t QueuedBytes() const override {
    std::lock_guard lock(state_->mutex);
    return state_->queued > state_->ownerBase ? state_->queued - state_->ownerBase : 0;
  }
  uint64_t PlayedBytes() const override {
    std::lock_guard lock(state_->mutex);
    const uint64_t played = state_->playedBefore + state_->clock.Played();
    return played > state_->ownerBase ? played - state_->ownerBase : 0;
  }
  uint64_t Underruns() const override {
    std::lock_guard lock(state_->mutex);
    return state_->clock.Starved();
  }
  std::optional<Error> Failure() const override {
    std::lock_guard lock(state_->mutex);
    return state_->failure;
  }

  // The producer goes: what it queued is copied, reported to nobody, and plays on at the
  // volume of the moment; a pause ends.
  void Linger() {
    WriterState& s = *state_;
    std::unique_lock lock(s.mutex);
    s.idle.wait(lock, [&] { return !s.copying && !s.reporting; });
    for (WriterState::Item& item : s.items) {
      if (!item.report) continue;
      item.owned.assign(item.data, item.data + item.bytes);
      item.data = item.owned.data();
      item.report = false;
    }
    if (s.volume != nullptr) s.ownVolume.Set(s.volume->Left(), s.volume->Right());
    s.volume = &s.ownVolume;
    s.onDone = nullptr;
    s.paused = false;
    s.wake.notify_all();
  }
  // A new producer takes the lingering output over: its bytes count from here.
  void Adopt(BufferDone onDone, const OutputVolume& volume) {
    WriterState& s = *state_;
    std::unique_lock lock(s.mutex);
    s.idle.wait(lock, [&] { return !s.copying && !s.reporting; });
    s.onDone = std::move(onDone);
    s.volume = &volume;
    s.ownerBase = s.queued;
  }
  // Which device and format Open made this output for (empty: made over a sink directly).
  std::string lingerKey;

 private:
  // Pops the buffers the device has played (all of them when everything is to go) and
  // reports them with the lock released.
  static void ReportFinished(WriterState& s, std::unique_lock<std::mutex>& lock, bool all) {
    const uint64_t played = s.clock.Played();
    s.done.clear();
    while (!s.items.empty()) {
      const WriterState::Item& front = s.items.front();
      if (!all && (front.written < front.bytes || front.end > played)) break;
      if (front.report) s.done.push_back(front.tag);
      s.items.pop_front();
    }
    ReportDone(s, lock);
  }

  // Reports the tags in s.done with the lock released.
  static void ReportDone(WriterState& s, std::unique_lock<std::mutex>& lock) {
    if (s.done.empty() || !s.onDone) return;
    s.reporting = true;
    lock.unlock();
    for (uint32_t tag : s.done) s.onDone(tag);
    lock.lock();
    s.reporting = false;
    s.idle.notify_all();
  }

  // Carries out a pause: the device drops what it holds, buffers heard whole are reported,
  // and every buffer is rewound to what was heard of it, so that Resume writes the rest.
  static void PauseDevice(WriterState& s, std::unique_lock<std::mutex>& lock) {
    s.pausePending = false;
    const uint64_t discards = s.discards;
    s.inDevice = true;
    lock.unlock();
    const std::optional<uint64_t> heardByDevice = s.sink->Drop();
    lock.lock();
    s.inDevice = false;
    if (s.discards != discards) return;  // the queue went meanwhile, and the clock with it
    const uint64_t frame = s.format.BytesPerFrame();
    uint64_t heard = heardByDevice.value_or(s.clock.Played());
    heard = std::min<uint64_t>(heard - heard % frame, s.clock.Written());
    s.done.clear();
    while (!s.items.empty()) {
      const WriterState::Item& front = s.items.front();
      if (front.written < front.bytes || front.start + int64_t(front.bytes) > int64_t(heard)) break;
      if (front.report) s.done.push_back(front.tag);
      s.items.pop_front();
    }
    for (WriterState::Item& item : s.items) {
      if (item.written == 0) break;  // this one and those after it have not reached the device
      const int64_t heardOfItem = std::clamp<int64_t>(int64_t(heard) - item.start, 0, int64_t(item.written));
      item.written = size_t(heardOfItem);
      item.end = 0;
    }
    s.playedBefore += heard;
    s.clock = DeviceClock(s.format.BytesPerSecond(), s.speed);
    ReportDone(s, lock);
  }

  static void WriterMain(std::shared_ptr<WriterState> state) {
    WriterState& s = *state;
    std::unique_lock lock(s.mutex);
    for (;;) {
      if (s.dropDevice) {
        s.dropDevice = false;
        s.inDevice = true;
        lock.unlock();
        s.sink->Drop();
        lock.lock();
        s.inDevice = false;
        continue;
      }
      if (s.stop) break;
      if (s.pausePending) {
        PauseDevice(s, lock);
        continue;
      }
      ReportFinished(s, lock, /*all=*/s.failure.has_value());
      if (s.dropDevice || s.stop) continue;

      WriterState::Item* next = nullptr;
      for (WriterState::Item& item : s.items) {
        if (item.written < item.bytes) {
          next = &item;
          break;
        }
      }
      if (next == nullptr || s.failure || s.paused) {
        if (s.items.empty() && s.drainRequested) {
          if (!s.failure) {
            s.inDevice = true;
            lock.unlock();
            s.sink->Drain();
            lock.lock();
            s.inDevice = false;
          }
          s.drainRequested = false;
          s.idle.notify_all();
          continue;
        }
        if (s.paused) s.wake.wait(lock);
        else if (!s.items.empty()) s.wake.wait_until(lock, s.clock.WhenPlayed(s.items.front().end));
        else s.wake.wait(lock);
        continue;
      }

      const uint64_t discards = s.discards;
      const size_t chunk = std::min(s.scratch.size(), next->bytes - next->written);
      const uint8_t* from = next->data + next->written;
      const std::shared_ptr<PcmFilter> filter = s.filter;
      s.copying = true;
      lock.unlock();
      CopyWithGain(from, s.scratch.data(), chunk, s.format, s.volume->Left(), s.volume->Right());
      if (filter) filter->Process(s.scratch.data(), chunk, s.format);
      lock.lock();
      s.copying = false;
      s.idle.notify_all();
      // The buffer went back meanwhile, or a pause came: nothing of the chunk is written.
      if (s.discards != discards || s.stop || s.pausePending) continue;
      s.inDevice = true;
      lock.unlock();
      auto written = s.sink->Write(s.scratch.data(), chunk);
      lock.lock();
      s.inDevice = false;
      // Discarded during the write: the item is gone and the clock is a new one.
      if (s.discards != discards) continue;
      if (!written) {
        s.failure = written.Error();
        continue;
      }
      next->start = int64_t(s.clock.Written()) - int64_t(next->written);
      s.clock.Wrote(chunk);
      // Only this thread and Discard remove items, and Discard changes `discards`, so
      // next still points at the item written.
      next->written += chunk;
      if (next->written == next->bytes) next->end = s.clock.Written();
    }
    // The device is closed on this thread: an owner that has gone does not wait for it.
    lock.unlock();
    s.sink.reset();
  }

  const std::string backend_;
  std::shared_ptr<WriterState> state_;
  std::thread writer_;
};

// A lingering output closes this long after its queue has played, when nobody took it over.
constexpr auto kLingerAfterEnd = std::chrono::milliseconds(1000);

// The one output left playing for the next producer, and the thread that closes it once it
// has played out.
class Lingering {
 public:
  ~Lingering() {
    std::unique_ptr<ThreadedOutput> closing;
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
      closing = std::move(output_);
      changed_.notify_all();
    }
    if (reaper_.joinable()) reaper_.join();
  }

  void Leave(std::unique_ptr<ThreadedOutput> output) {
    std::unique_ptr<ThreadedOutput> older;
    {
      std::lock_guard lock(mutex_);
      older = std::move(output_);
      key_ = output->lingerKey;
      output_ = std::move(output);
      closeWhenPlayed_ = false;
      if (!reaper_.joinable()) reaper_ = std::thread(&Lingering::ReaperMain, this);
      changed_.notify_all();
    }
  }

  // The lingering output when it was made for key; else waits for one of another key to
  // play out and close.
  std::unique_ptr<ThreadedOutput> TakeOver(const std::string& key) {
    std::unique_lock lock(mutex_);
    if (!output_) return nullptr;
    if (!key.empty() && key == key_ && !output_->Failure()) {
      changed_.notify_all();
      return std::move(output_);
    }
    closeWhenPlayed_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !output_ && !closing_; });
    return nullptr;
  }

  void Discard() {
    std::unique_ptr<ThreadedOutput> closing;
    {
      std::lock_guard lock(mutex_);
      closing = std::move(output_);
      changed_.notify_all();
    }
  }

  bool Lingers() {
    std::lock_guard lock(mutex_);
    return output_ != nullptr || closing_;
  }

 private:
  void ReaperMain() {
    std::unique_lock lock(mutex_);
    const ThreadedOutput* watched = nullptr;
    bool playedOut = false;  // the watched output has played all it holds since playedOutAt
    std::chrono::steady_clock::time_point playedOutAt{};
    while (!quit_) {
      if (output_.get() != watched) {
        watched = output_.get();
        playedOut = false;
      }
      if (!output_) {
        changed_.wait(lock);
        continue;
      }
      const auto now = std::chrono::steady_clock::now();
      if (output_->PlayedBytes() >= output_->QueuedBytes() || output_->Failure()) {
        if (!playedOut) {
          playedOut = true;
          playedOutAt = now;
        }
        if (closeWhenPlayed_ || now - playedOutAt >= kLingerAfterEnd) {
          std::unique_ptr<ThreadedOutput> closing = std::move(output_);
          closing_ = true;
          lock.unlock();
          closing.reset();
          lock.lock();
          closing_ = false;
          changed_.notify_all();
          continue;
        }
      } else {
        playedOut = false;
      }
      changed_.wait_for(lock, std::chrono::milliseconds(10));
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<ThreadedOutput> output_;
  std::string key_;
  bool closeWhenPlayed_ = false;  // an Open of another device or format waits for it
  bool closing_ = false;          // the reaper closes the output it took out
  bool quit_ = false;
  std::thread reaper_;  // last: it uses the members above
};

Lingering& TheLingering() {
  static Lingering lingering;
  return lingering;
}

// What an output may be taken over for: the same device (or capture) and format.
std::string LingerKeyOf(const SinkRequest& request, const AudioFormat& format) {
  return request.backend + "|" + request.path + "|" + std::to_string(request.speed) + "|" +
         std::to_string(format.sampleRate) + "|" + std::to_string(format.channels) + "|" +
         std::to_string(format.bitsPerSample);
}

}  // namespace

void LeaveOutputPlayingHere(std::unique_ptr<AudioOutput> output) {
  auto* threaded = dynamic_cast<ThreadedOutput*>(output.get());
  if (threaded == nullptr) return;  // destroyed here: an output of another kind cannot linger
  threaded->Linger();
  output.release();
  TheLingering().Leave(std::unique_ptr<ThreadedOutput>(threaded));
}

void DiscardLingeringOutputHere() { TheLingering().Discard(); }

bool OutputLingersHere() { return TheLingering().Lingers(); }

std::unique_ptr<AudioOutput> OutputOverSink(std::unique_ptr<AudioSink> sink, std::string backend,
                                            const AudioFormat& format, BufferDone onDone, const OutputVolume& volume) {
  return std::make_unique<ThreadedOutput>(std::move(sink), std::move(backend), format, std::move(onDone), volume);
}

namespace {

const SinkBackend* FindBackend(const std::string& name) {
  for (const SinkBackend& backend : kSinkBackends) {
    if (name == backend.name) return &backend;
  }
  return nullptr;
}

// A $ZIMBAR_AUDIO_OUT that names no output this code has.
Error SettingError(std::string text) { return Error(ErrorCategory::Usage, {}, std::move(text)); }

}  // namespace

Expected<SinkRequest> ParseAudioOutSetting(const std::string& setting, AudioDevice device) {
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
        return Fail(SettingError("ZIMBAR_AUDIO_OUT: speed must be a whole number from 1 to 64: " + setting));
      }
      request.speed = uint32_t(speed);
      rest.resize(comma);
    }
    if (rest.empty()) return Fail(SettingError("ZIMBAR_AUDIO_OUT: wav: needs a file path"));
    request.path = rest;
    return request;
  }
  if (FindBackend(setting) == nullptr) {
    return Fail(SettingError("ZIMBAR_AUDIO_OUT: unknown audio output " + setting +
                             " (null, wav:PATH[,speed=N], pulse or alsa)"));
  }
  request.backend = setting;
  return request;
}

Expected<std::unique_ptr<AudioOutput>> OpenOutputHere(AudioDevice device, const AudioFormat& format, BufferDone onDone,
                                                      const OutputVolume& volume) {
  if (!format.Valid()) {
    return Fail(Error(ErrorCategory::Unsupported, {},
                      "The audio output cannot play " + std::to_string(format.channels) + " channels of " +
                          std::to_string(format.bitsPerSample) + "-bit audio at " + std::to_string(format.sampleRate) +
                          " Hz"));
  }
  const char* setting = std::getenv("ZIMBAR_AUDIO_OUT");
  auto request = ParseAudioOutSetting(setting ? setting : "", device);
  if (!request) return Fail(request.Error());
  const bool chosenByName = setting != nullptr && *setting != '\0';
  const std::string key = LingerKeyOf(request.Value(), format);
  if (std::unique_ptr<ThreadedOutput> lingering = TheLingering().TakeOver(key)) {
    lingering->Adopt(std::move(onDone), volume);
    return std::unique_ptr<AudioOutput>(std::move(lingering));
  }

  auto make = [&](const SinkRequest& r) -> Expected<std::unique_ptr<AudioOutput>> {
    auto sink = FindBackend(r.backend)->open(r, format);
    if (!sink) return Fail(sink.Error());
    auto output = std::make_unique<ThreadedOutput>(std::move(sink).Value(), r.backend, format, onDone, volume);
    output->lingerKey = key;
    return std::unique_ptr<AudioOutput>(std::move(output));
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
