// Helpers of the engine tests: a facade on a queue main loop whose notifications are
// recorded with the thread they came on, and test media for the three engines.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/main_loop.h"
#include "player/engines/gapless_mode.h"
#include "player/engines/sound_player.h"
#include "tests/common/temp_dir.h"
#include "tests/outside/zbdecode/player_media.h"

namespace engine_test {

// The built-in engines, for tests that run each of them.
enum class EngineKind { Mp3, Wav, Aac };

// The name of the built-in row that plays name ("MP3", "WAV", "AAC"), or the refusal.
inline Expected<std::string> ChosenEngine(const std::string& name) {
  auto entry = ChooseEngineEntry(name, BuiltInEngines());
  if (!entry) return Fail(entry.Error());
  return std::string(entry.Value()->name);
}

// Sets the process's gapless flag for a test and puts it back afterwards.
class ScopedGapless {
 public:
  explicit ScopedGapless(bool on) : was_(GaplessPlayback()) { SetGaplessPlayback(on); }
  ~ScopedGapless() {
    DropLingeringOutput();
    SetGaplessPlayback(was_);
  }
  ScopedGapless(const ScopedGapless&) = delete;
  ScopedGapless& operator=(const ScopedGapless&) = delete;

 private:
  bool was_;
};

struct Event {
  enum Kind { State, Position, Timecode, StreamInfo, OutputData, Error } kind;
  bool onMain;
  int value1 = 0, value2 = 0, value3 = 0;
  std::string text;
};

// Records what the facade reports. Any thread may add; the test thread reads.
class Recorder {
 public:
  explicit Recorder(TSoundPlayer& player) : main_(std::this_thread::get_id()) {
    player.SetOnNotifyPlayerState([this](void*, int state) { Add({Event::State, OnMain(), state, 0, 0, {}}); });
    player.SetOnNotifyInputPosition([this](void*, uint32_t offset, uint32_t range) {
      Add({Event::Position, OnMain(), int(offset), int(range), 0, {}});
    });
    player.SetOnNotifyInputTimecode([this](void*, uint8_t h, uint8_t m, uint8_t s, uint8_t f) {
      Add({Event::Timecode, OnMain(), (h * 60 + m) * 60 + s, f, 0, {}});
    });
    player.SetOnNotifyInputStreamInfo([this](void*, uint8_t, uint8_t, uint16_t bitrate, uint16_t frequency, uint8_t mode) {
      Add({Event::StreamInfo, OnMain(), bitrate, frequency, mode, {}});
    });
    player.SetOnNotifyOutputData([this](void*, const void* data, uint32_t size) {
      std::lock_guard lock(mutex_);
      if (size > 256) oversized_ = true;
      const auto* b = static_cast<const uint8_t*>(data);
      outputData_.insert(outputData_.end(), b, b + size);
    });
    player.SetOnNotifyPlayerError([this](void*, const std::string& m) { Add({Event::Error, OnMain(), 0, 0, 0, m}); });
  }

  std::vector<Event> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<Event> Of(Event::Kind kind) {
    std::vector<Event> found;
    for (const Event& e : Events()) {
      if (e.kind == kind) found.push_back(e);
    }
    return found;
  }
  bool HasState(int state) {
    for (const Event& e : Of(Event::State)) {
      if (e.value1 == state) return true;
    }
    return false;
  }
  std::vector<uint8_t> OutputData() {
    std::lock_guard lock(mutex_);
    return outputData_;
  }
  bool Oversized() {
    std::lock_guard lock(mutex_);
    return oversized_;
  }
  int LastTimecode() {
    const auto t = Of(Event::Timecode);
    return t.empty() ? -1 : t.back().value1;
  }

 private:
  bool OnMain() const { return std::this_thread::get_id() == main_; }
  void Add(Event e) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(e));
  }
  std::thread::id main_;
  std::mutex mutex_;
  std::vector<Event> events_;
  std::vector<uint8_t> outputData_;
  bool oversized_ = false;
};

// An AAC (ADTS) file of the tones made by ffmpeg; false when it failed.
inline bool MakeAac(const std::string& path, uint32_t rate, int channels, double seconds) {
  const std::string wav = path + ".src.wav";
  test_media::WriteFile(wav, player_test::ToneWav(rate, channels, seconds, {440.0, 1000.0}));
  int code = -1;
  test_media::Run("ffmpeg -v error -y -i '" + wav + "' -c:a aac -b:a 128k -f adts '" + path + "'", &code);
  std::remove(wav.c_str());
  return code == 0;
}

// What zbaacdec decodes from path: the samples, the channel count and the rate.
inline std::vector<uint8_t> ReferenceAac(const std::string& path, uint16_t* channels, uint32_t* rate) {
  const std::string wav = path + ".ref.wav";
  test_media::Run(std::string("'") + ZIMBAR_BIN_DIR + "/zbaacdec' '" + path + "' '" + wav + "'");
  const std::vector<uint8_t> data = player_test::WavData(ReadBytes(wav), channels, rate);
  std::remove(wav.c_str());
  return data;
}

}  // namespace engine_test
