// Tests of the audio output seam through its capture back ends: what is recorded, the pace
// at which it is taken, the buffer-played reports, discard, drain and the volume.
#include "common/audio/audio_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <memory>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "common/audio/audio_output_internal.h"
#include "common/audio/paced_device.h"
#include "common/audio/pcm_gain.h"
#include "tests/common/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::vector<uint8_t> Ramp(size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = uint8_t(i * 7 + i / 251);
  return data;
}

// Records each report's tag.
struct Reports {
  std::mutex mutex;
  std::vector<uint32_t> tags;
  BufferDone Callback() {
    return [this](uint32_t tag) {
      std::lock_guard lock(mutex);
      tags.push_back(tag);
    };
  }
  size_t Count() {
    std::lock_guard lock(mutex);
    return tags.size();
  }
};

std::vector<uint8_t> RecordedData(const std::string& path) {
  const std::vector<uint8_t> file = ReadBytes(path);
  if (file.size() < 44) return {};
  return std::vector<uint8_t>(file.begin() + 44, file.end());
}

const AudioFormat kCd{44100, 2, 16};

}  // namespace

// Catches a capture that loses, reorders or duplicates bytes, reports buffers out of order
// or twice, or takes the audio faster than its clock allows ("everything at once").
TEST(AudioOutput, WavCaptureRecordsEveryByteAtTheDevicePace) {
  TempDir dir;
  const std::string path = dir.File("out.wav");
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + path + ",speed=8").c_str());
  const std::vector<uint8_t> audio = Ramp(kCd.BytesPerSecond());  // one second
  Reports reports;
  const auto start = Clock::now();
  {
    auto output = AudioOutput::Open(AudioDevice::Wave, kCd, reports.Callback());
    ASSERT_TRUE(output) << output.Error().text;
    EXPECT_EQ(output.Value()->BackendName(), "wav");
    for (uint32_t i = 0; i < 22; ++i) {
      const size_t at = i * 8192, bytes = std::min<size_t>(8192, audio.size() - at);
      ASSERT_TRUE(output.Value()->Queue(i, audio.data() + at, bytes));
    }
    EXPECT_TRUE(output.Value()->Drain());
    EXPECT_EQ(output.Value()->PlayedBytes(), audio.size());
  }
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, 110ms) << "one second at eight times the speed took less than an eighth";
  EXPECT_LT(elapsed, 1s);
  EXPECT_EQ(RecordedData(path), audio);
  std::vector<uint32_t> expected;
  for (uint32_t i = 0; i < 22; ++i) expected.push_back(i);
  EXPECT_EQ(reports.tags, expected);
  // The header describes the format and the recorded size.
  const std::vector<uint8_t> file = ReadBytes(path);
  ASSERT_GE(file.size(), 44u);
  EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
  EXPECT_EQ(file[22], 2);
  EXPECT_EQ(file[24] | file[25] << 8 | file[26] << 16, 44100);
  EXPECT_EQ(uint32_t(file[40] | file[41] << 8 | file[42] << 16 | file[43] << 24), audio.size());
}

// Catches buffers reported as played as soon as they are written (the ring would race
// ahead of the device) rather than when the device clock reaches their end.
TEST(AudioOutput, BuffersAreReportedWhenTheClockHasPlayedThem) {
  TempDir dir;
  ScopedEnv env("ZIMBAR_AUDIO_OUT", "null");
  const AudioFormat format{8000, 1, 16};  // 16000 bytes a second
  const std::vector<uint8_t> audio = Ramp(8000);  // half a second
  std::atomic<int64_t> reportedAtMs{-1};
  const auto start = Clock::now();
  auto output = AudioOutput::Open(AudioDevice::Wave, format, [&](uint32_t) {
    reportedAtMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  });
  ASSERT_TRUE(output);
  (void)output.Value()->Queue(1, audio.data(), audio.size());
  EXPECT_TRUE(output.Value()->Drain());
  EXPECT_GE(reportedAtMs.load(), 450);
  EXPECT_LT(reportedAtMs.load(), 900);
}

// Catches a discard that keeps buffers (an engine waiting for them would hang), records
// audio the device dropped unheard, or leaves a gap or garbage in what was heard.
TEST(AudioOutput, DiscardReturnsEveryBufferAndRecordsOnlyWhatWasHeard) {
  TempDir dir;
  const std::string path = dir.File("out.wav");
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + path + ",speed=4").c_str());
  const std::vector<uint8_t> audio = Ramp(2 * kCd.BytesPerSecond());
  Reports reports;
  {
    auto output = AudioOutput::Open(AudioDevice::DirectSound, kCd, reports.Callback());
    ASSERT_TRUE(output);
    const size_t buffers = (audio.size() + 8191) / 8192;
    for (size_t i = 0; i < buffers; ++i) {
      (void)output.Value()->Queue(uint32_t(i), audio.data() + i * 8192, std::min<size_t>(8192, audio.size() - i * 8192));
    }
    std::this_thread::sleep_for(150ms);
    output.Value()->Discard();
    EXPECT_EQ(reports.Count(), buffers);
    EXPECT_EQ(output.Value()->QueuedBytes(), output.Value()->PlayedBytes());
    // The output goes on after a discard.
    (void)output.Value()->Queue(99, audio.data(), 8192);
    EXPECT_TRUE(output.Value()->Drain());
  }
  const std::vector<uint8_t> recorded = RecordedData(path);
  ASSERT_GT(recorded.size(), 8192u);
  ASSERT_LT(recorded.size(), audio.size() / 2);
  const size_t heard = recorded.size() - 8192;
  EXPECT_TRUE(std::equal(recorded.begin(), recorded.begin() + std::ptrdiff_t(heard), audio.begin()));
  EXPECT_TRUE(std::equal(recorded.begin() + std::ptrdiff_t(heard), recorded.end(), audio.begin()));
}

// Catches a volume that is not applied, applied to the wrong channel, or that alters the
// caller's buffer (the engines hand it to the visualization afterwards).
TEST(AudioOutput, VolumeScalesEachChannelOfTheRecordingNotTheBuffer) {
  TempDir dir;
  const std::string path = dir.File("out.wav");
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + path + ",speed=64").c_str());
  std::vector<int16_t> frames;
  for (int i = 0; i < 4410; ++i) frames.insert(frames.end(), {int16_t(20000), int16_t(-20000)});
  const std::vector<int16_t> original = frames;
  OutputVolume volume;
  volume.Set(kVolumeFull / 2, 0);
  {
    auto output = AudioOutput::Open(AudioDevice::Wave, kCd, nullptr, volume);
    ASSERT_TRUE(output);
    (void)output.Value()->Queue(0, frames.data(), frames.size() * 2);
    (void)output.Value()->Drain();
  }
  EXPECT_EQ(frames, original);
  const std::vector<uint8_t> recorded = RecordedData(path);
  ASSERT_EQ(recorded.size(), frames.size() * 2);
  const int16_t left = int16_t(recorded[0] | recorded[1] << 8), right = int16_t(recorded[2] | recorded[3] << 8);
  EXPECT_NEAR(left, 10000, 2);
  EXPECT_EQ(right, 0);
}

// Catches full volume altering samples, and 8-bit silence landing at 0 instead of 128.
TEST(PcmGain, FullVolumeIsExactAndSilenceIsTheMidpointForEveryDepth) {
  for (uint16_t bits : {8, 16, 24, 32}) {
    const AudioFormat format{44100, 2, bits};
    const std::vector<uint8_t> in = Ramp(format.BytesPerFrame() * 64);
    std::vector<uint8_t> out(in.size());
    CopyWithGain(in.data(), out.data(), in.size(), format, kVolumeFull, kVolumeFull);
    EXPECT_EQ(out, in) << bits;
    CopyWithGain(in.data(), out.data(), in.size(), format, 0, 0);
    const uint8_t silent = bits == 8 ? 128 : 0;
    EXPECT_EQ(std::count(out.begin(), out.end(), silent), std::ptrdiff_t(out.size())) << bits;
  }
}

// Catches a setting that is misread (a speed taken for part of the path, a speed of zero
// or "everything at once" accepted, an unknown back end silently replaced).
TEST(AudioOutSetting, ParsesTheCaptureAndDeviceChoices) {
  struct Case {
    const char* setting;
    AudioDevice device;
    bool ok;
    const char* backend;
    const char* path;
    uint32_t speed;
  };
  const Case cases[] = {
      {"", AudioDevice::Wave, true, "alsa", "", 1},
      {"", AudioDevice::DirectSound, true, "pulse", "", 1},
      {"null", AudioDevice::Wave, true, "null", "", 1},
      {"pulse", AudioDevice::Wave, true, "pulse", "", 1},
      {"wav:/tmp/a,b.wav", AudioDevice::Wave, true, "wav", "/tmp/a,b.wav", 1},
      {"wav:/tmp/a.wav,speed=8", AudioDevice::Wave, true, "wav", "/tmp/a.wav", 8},
      {"wav:/tmp/a.wav,speed=0", AudioDevice::Wave, false, "", "", 0},
      {"wav:/tmp/a.wav,speed=1000", AudioDevice::Wave, false, "", "", 0},
      {"wav:/tmp/a.wav,speed=", AudioDevice::Wave, false, "", "", 0},
      {"wav:", AudioDevice::Wave, false, "", "", 0},
      {"dummy", AudioDevice::Wave, false, "", "", 0},
  };
  for (const Case& c : cases) {
    auto parsed = ParseAudioOutSetting(c.setting, c.device);
    ASSERT_EQ(parsed.Ok(), c.ok) << c.setting;
    if (!c.ok) continue;
    EXPECT_EQ(parsed.Value().backend, c.backend) << c.setting;
    EXPECT_EQ(parsed.Value().path, c.path) << c.setting;
    EXPECT_EQ(parsed.Value().speed, c.speed) << c.setting;
  }
}

// Catches an unusable capture path or format reported as success.
TEST(AudioOutput, OpenFailuresSayWhy) {
  ScopedEnv env("ZIMBAR_AUDIO_OUT", "wav:/nonexistent-folder/x.wav");
  auto missing = AudioOutput::Open(AudioDevice::Wave, kCd, nullptr);
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.Error().text.find("/nonexistent-folder/x.wav"), std::string::npos);
  auto badFormat = AudioOutput::Open(AudioDevice::Wave, AudioFormat{44100, 2, 12}, nullptr);
  ASSERT_FALSE(badFormat);
  EXPECT_NE(badFormat.Error().text.find("12-bit"), std::string::npos);
}

namespace {

// A device whose writes and drains the test holds, as a sound server may hold them (an
// idle PulseAudio sink takes a second and more to take the first write).
class HeldSink final : public AudioSink {
 public:
  struct Control {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    bool inCall = false;  // a write or drain is held
    bool dropped = false;
    bool closed = false;

    void Release() {
      std::lock_guard lock(mutex);
      released = true;
      changed.notify_all();
    }
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
      std::unique_lock lock(mutex);
      return changed.wait_for(lock, timeout, done);
    }
  };

  explicit HeldSink(std::shared_ptr<Control> control) : control_(std::move(control)) {}
  ~HeldSink() override {
    std::lock_guard lock(control_->mutex);
    control_->closed = true;
    control_->changed.notify_all();
  }
  Outcome Write(const uint8_t*, size_t) override {
    Hold();
    return Done{};
  }
  std::optional<uint64_t> Drop() override {
    std::lock_guard lock(control_->mutex);
    control_->dropped = true;
    control_->changed.notify_all();
    return std::nullopt;
  }
  void Drain() override { Hold(); }
  size_t ChunkBytes() const override { return 4096; }

 private:
  void Hold() {
    std::unique_lock lock(control_->mutex);
    control_->inCall = true;
    control_->changed.notify_all();
    control_->changed.wait(lock, [&] { return control_->released; });
    control_->inCall = false;
  }
  std::shared_ptr<Control> control_;
};

template <typename Fn>
std::chrono::milliseconds TimeOf(Fn fn) {
  const auto start = Clock::now();
  fn();
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

}  // namespace

// Catches a Discard, a Drain cut short by it, or the output's destruction that waits for
// a call the device holds (a Stop that froze the player's window while the sound server
// took its time): each returns at once, every buffer back; the device drops what it holds
// and is closed once it lets the call go.
TEST(AudioOutput, DiscardAndCloseNeverWaitForTheDevice) {
  const std::vector<uint8_t> audio = Ramp(4 * 8192);
  for (const bool whileDraining : {false, true}) {
    SCOPED_TRACE(whileDraining ? "while draining" : "while writing");
    auto control = std::make_shared<HeldSink::Control>();
    Reports reports;
    OutputVolume volume;
    std::unique_ptr<AudioOutput> output =
        OutputOverSink(std::make_unique<HeldSink>(control), "held", kCd, reports.Callback(), volume);
    // Without the fault this never fires; with it, the device lets go and the test fails.
    std::thread watchdog([control] {
      if (!control->WaitFor([&] { return control->released; }, 3s)) control->Release();
    });
    std::thread drainer;
    std::atomic<bool> drained{false};
    if (whileDraining) {
      drainer = std::thread([&] {
        (void)output->Drain();
        drained = true;
      });
    } else {
      for (uint32_t i = 0; i < 4; ++i) (void)output->Queue(i, audio.data() + i * 8192, 8192);
    }
    ASSERT_TRUE(control->WaitFor([&] { return control->inCall; }));
    EXPECT_LT(TimeOf([&] { output->Discard(); }), 500ms);
    EXPECT_EQ(reports.Count(), whileDraining ? 0u : 4u);
    if (drainer.joinable()) {
      EXPECT_LT(TimeOf([&] { drainer.join(); }), 500ms);
      EXPECT_TRUE(drained);
    }
    (void)output->Queue(9, audio.data(), 8192);
    EXPECT_LT(TimeOf([&] { output.reset(); }), 500ms);
    EXPECT_EQ(reports.Count(), whileDraining ? 1u : 5u);
    control->Release();
    watchdog.join();
    EXPECT_TRUE(control->WaitFor([&] { return control->closed; }));
    EXPECT_TRUE(control->dropped);
  }
}

namespace {

// A device whose every write fails as a full disk does.
class FullSink final : public AudioSink {
 public:
  Outcome Write(const uint8_t*, size_t) override {
    return Fail(IoError(ENOSPC, "full", "The audio output full failed"));
  }
  std::optional<uint64_t> Drop() override { return std::nullopt; }
  void Drain() override {}
  size_t ChunkBytes() const override { return 4096; }
};

}  // namespace

// Catches a failed device that keeps taking buffers, a drain that reports success after
// the device failed, or a failure that loses why.
TEST(AudioOutput, AFailedDeviceSaysWhyOnQueueAndDrain) {
  const std::vector<uint8_t> audio = Ramp(8192);
  Reports reports;
  OutputVolume volume;
  std::unique_ptr<AudioOutput> output =
      OutputOverSink(std::make_unique<FullSink>(), "full", kCd, reports.Callback(), volume);
  (void)output->Queue(1, audio.data(), audio.size());
  const auto drained = output->Drain();
  ASSERT_FALSE(drained);
  EXPECT_EQ(drained.Error().category, ErrorCategory::Io);
  EXPECT_EQ(drained.Error().errnum, ENOSPC);
  EXPECT_EQ(drained.Error().text, "The audio output full failed: No space left on device");
  const auto queued = output->Queue(2, audio.data(), audio.size());
  ASSERT_FALSE(queued);
  EXPECT_EQ(queued.Error().text, drained.Error().text);
  ASSERT_TRUE(output->Failure());
  EXPECT_EQ(output->Failure()->text, drained.Error().text);
  std::lock_guard lock(reports.mutex);
  EXPECT_EQ(reports.tags, (std::vector<uint32_t>{1, 2}));
}

namespace {

// A device of the test's own that records what its clock has played, and when it was told
// to drop what it held: the heard position at that moment, by its clock.
class ClockedCapture final : public AudioSink {
 public:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint8_t> heard;      // what the clock played, in order
    std::vector<uint8_t> held;       // written, not yet played
    uint64_t committed = 0;          // device bytes heard or dropped
    uint64_t writes = 0;
    uint64_t drops = 0;
    uint64_t heardAtLastDrop = 0;    // heard.size() once the last drop was done
  };
  ClockedCapture(std::shared_ptr<State> state, const AudioFormat& format, uint32_t speed)
      : state_(std::move(state)), device_(format, speed), speed_(speed) {}

  Outcome Write(const uint8_t* data, size_t bytes) override {
    const uint64_t played = device_.Take(bytes);
    std::lock_guard lock(state_->mutex);
    state_->held.insert(state_->held.end(), data, data + bytes);
    Commit(played);
    ++state_->writes;
    state_->changed.notify_all();
    return Done{};
  }
  std::optional<uint64_t> Drop() override {
    uint64_t sinceDrop = 0;
    const uint64_t played = device_.Drop(&sinceDrop);
    std::lock_guard lock(state_->mutex);
    Commit(played);
    state_->held.clear();
    state_->committed = device_.Written();
    ++state_->drops;
    state_->heardAtLastDrop = state_->heard.size();
    state_->changed.notify_all();
    return sinceDrop;
  }
  void Drain() override {
    device_.Drain();
    std::lock_guard lock(state_->mutex);
    Commit(device_.Written());
  }
  size_t ChunkBytes() const override { return 4096; }
  uint32_t Speed() const override { return speed_; }

 private:
  void Commit(uint64_t played) {
    if (played <= state_->committed) return;
    const size_t bytes = size_t(std::min<uint64_t>(played - state_->committed, state_->held.size()));
    state_->heard.insert(state_->heard.end(), state_->held.begin(), state_->held.begin() + std::ptrdiff_t(bytes));
    state_->held.erase(state_->held.begin(), state_->held.begin() + std::ptrdiff_t(bytes));
    state_->committed = played;
  }
  std::shared_ptr<State> state_;
  PacedDevice device_;
  uint32_t speed_;
};

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (!pred()) {
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

}  // namespace

// Catches a pause or a discard after which the device plays on what it holds or what is
// queued (a second and more of sound after the user's Pause or Stop), a pause that writes on
// while paused, and a resume that loses or repeats samples (what the device held unheard is
// to be written again, what it had played is not).
TEST(AudioOutput, PauseAndDiscardSilenceWithinATenthAndResumeIsExact) {
  // The capture takes what was heard at each write of a chunk (23 ms of this format): the
  // heard position at a call is known to within that.
  const AudioFormat format = kCd;
  const uint64_t tenth = format.BytesPerSecond() / 10;
  const std::vector<uint8_t> audio = Ramp(2 * format.BytesPerSecond());
  auto state = std::make_shared<ClockedCapture::State>();
  auto sink = std::make_unique<ClockedCapture>(state, format, 2);
  Reports reports;
  OutputVolume volume;
  auto output = OutputOverSink(std::move(sink), "test", format, reports.Callback(), volume);
  const size_t buffers = (audio.size() + 4999) / 5000;  // buffers that straddle the chunks
  for (size_t i = 0; i < buffers; ++i) {
    ASSERT_TRUE(output->Queue(uint32_t(i), audio.data() + i * 5000, std::min<size_t>(5000, audio.size() - i * 5000)));
  }
  for (const uint64_t at : {tenth * 3, tenth * 8}) {
    SCOPED_TRACE("paused after " + std::to_string(at) + " bytes");
    ASSERT_TRUE(WaitUntil([&] { return output->PlayedBytes() >= at; }, 5s));
    uint64_t drops = 0, heardAtPause = 0;
    {
      std::lock_guard lock(state->mutex);
      drops = state->drops;
      heardAtPause = state->heard.size();
    }
    output->Pause();
    output->Pause();  // a second pause changes nothing
    EXPECT_TRUE(output->Paused());
    std::unique_lock lock(state->mutex);
    ASSERT_TRUE(state->changed.wait_for(lock, 2s, [&] { return state->drops > drops; }));
    EXPECT_LE(state->heardAtLastDrop - heardAtPause, tenth) << "the sound went on after Pause";
    const uint64_t writes = state->writes;
    EXPECT_FALSE(state->changed.wait_for(lock, 150ms, [&] { return state->writes > writes; }))
        << "written while paused";
    lock.unlock();
    const uint64_t played = output->PlayedBytes();
    EXPECT_LE(played, state->heard.size() + 4096);
    output->Resume();
    EXPECT_FALSE(output->Paused());
  }
  EXPECT_TRUE(output->Drain());
  {
    std::lock_guard lock(state->mutex);
    ASSERT_EQ(state->heard.size(), audio.size());
    EXPECT_TRUE(state->heard == audio) << "a pause lost or repeated samples";
  }
  std::vector<uint32_t> expected;
  for (size_t i = 0; i < buffers; ++i) expected.push_back(uint32_t(i));
  EXPECT_EQ(reports.tags, expected);

  // Discard (the user's Stop) silences as fast.
  for (size_t i = 0; i < buffers; ++i) {
    ASSERT_TRUE(output->Queue(uint32_t(i), audio.data() + i * 5000, std::min<size_t>(5000, audio.size() - i * 5000)));
  }
  const uint64_t before = audio.size();
  ASSERT_TRUE(WaitUntil([&] { return output->PlayedBytes() >= tenth * 3; }, 5s));
  uint64_t drops = 0, heardAtDiscard = 0;
  {
    std::lock_guard lock(state->mutex);
    drops = state->drops;
    heardAtDiscard = state->heard.size();
  }
  output->Discard();
  std::unique_lock lock(state->mutex);
  ASSERT_TRUE(state->changed.wait_for(lock, 2s, [&] { return state->drops > drops; }));
  EXPECT_LE(state->heardAtLastDrop - heardAtDiscard, tenth) << "the sound went on after Discard";
  EXPECT_LT(state->heard.size() - before, audio.size() / 2);
}

namespace {

// Writes the first `bytes` of audio as buffers of 8192 bytes from a copy that is made
// garbage once the output has been left (the producer's buffers go away with it).
void QueueAndLeave(std::unique_ptr<AudioOutput> output, const std::vector<uint8_t>& audio, size_t bytes) {
  std::vector<uint8_t> own(audio.begin(), audio.begin() + std::ptrdiff_t(bytes));
  for (size_t at = 0, tag = 0; at < bytes; at += 8192, ++tag) {
    ASSERT_TRUE(output->Queue(uint32_t(tag), own.data() + at, std::min<size_t>(8192, bytes - at)));
  }
  LeaveOutputPlaying(std::move(output));
  std::fill(own.begin(), own.end(), uint8_t(0x55));
}

}  // namespace

// Catches a gap, a click or lost audio between two producers of consecutive tracks (the
// second opened the device anew, truncating the capture, or its audio waited for the first
// to drain), a lingering output that plays its producer's freed buffers or reports them to
// the next one, a takeover whose counts include the old tail, and a lingering output that
// is never closed or that plays on after DiscardLingeringOutput.
TEST(AudioOutput, TheNextOpenOfTheSameFormatTakesOverALingeringOutput) {
  TempDir dir;
  const std::string path = dir.File("out.wav");
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + path + ",speed=8").c_str());
  const std::vector<uint8_t> audio = Ramp(kCd.BytesPerSecond() + 4 * 1000);  // tracks need not end on a buffer
  const size_t half = audio.size() / 2 - (audio.size() / 2) % 4;
  {
    auto first = AudioOutput::Open(AudioDevice::Wave, kCd, [](uint32_t) { ADD_FAILURE() << "reported after leaving"; });
    ASSERT_TRUE(first);
    QueueAndLeave(std::move(first).Value(), audio, half);
    EXPECT_TRUE(OutputLingers());
    Reports reports;
    auto second = AudioOutput::Open(AudioDevice::Wave, kCd, reports.Callback());
    ASSERT_TRUE(second);
    EXPECT_FALSE(OutputLingers());
    const std::vector<uint8_t> rest(audio.begin() + std::ptrdiff_t(half), audio.end());
    for (size_t at = 0, tag = 0; at < rest.size(); at += 8192, ++tag) {
      ASSERT_TRUE(second.Value()->Queue(uint32_t(tag), rest.data() + at, std::min<size_t>(8192, rest.size() - at)));
    }
    EXPECT_TRUE(second.Value()->Drain());
    EXPECT_EQ(second.Value()->QueuedBytes(), rest.size());
    EXPECT_EQ(second.Value()->PlayedBytes(), rest.size());
    EXPECT_EQ(reports.Count(), (rest.size() + 8191) / 8192);
  }
  const std::vector<uint8_t> recorded = RecordedData(path);
  ASSERT_EQ(recorded.size(), audio.size());
  EXPECT_TRUE(recorded == audio) << "the two halves did not follow each other sample for sample";

  // Nobody takes it over: it plays out and closes by itself, the capture whole.
  {
    auto alone = AudioOutput::Open(AudioDevice::Wave, kCd, nullptr);
    ASSERT_TRUE(alone);
    QueueAndLeave(std::move(alone).Value(), audio, half);
  }
  ASSERT_TRUE(WaitUntil([] { return !OutputLingers(); }, 5s)) << "never closed";
  const std::vector<uint8_t> played = RecordedData(path);
  ASSERT_EQ(played.size(), half);
  EXPECT_TRUE(played == std::vector<uint8_t>(audio.begin(), audio.begin() + std::ptrdiff_t(half)));

  // Another format (or device) waits for it to play out, then opens its own; a discard
  // silences it at once.
  for (const bool discard : {false, true}) {
    SCOPED_TRACE(discard ? "discarded" : "another format");
    {
      ScopedEnv old("ZIMBAR_AUDIO_OUT", ("wav:" + path + ",speed=8").c_str());
      auto first = AudioOutput::Open(AudioDevice::Wave, kCd, nullptr);
      ASSERT_TRUE(first);
      QueueAndLeave(std::move(first).Value(), audio, audio.size());
    }
    if (discard) DiscardLingeringOutput();
    ScopedEnv other("ZIMBAR_AUDIO_OUT", ("wav:" + dir.File("other.wav") + ",speed=8").c_str());
    auto next = AudioOutput::Open(AudioDevice::Wave, AudioFormat{48000, 2, 16}, nullptr);
    ASSERT_TRUE(next);
    EXPECT_FALSE(OutputLingers());
    const size_t heard = RecordedData(path).size();
    if (discard) EXPECT_LT(heard, audio.size() / 2) << "played on after the discard";
    else EXPECT_EQ(heard, audio.size()) << "the new output opened before the old one had played out";
  }
}
