// A playback facade for window tests: records what the window asks of it, in one log
// shared by every facade the factory made, and keeps the handlers so that a test can
// raise the engines' notifications.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "player/control/playback_facade.h"

struct FacadeLog {
  std::vector<std::string> calls;  // "new 1", "open 1 a.mp3", "play 1", "stop 1", "seek 1 15 100", ...
  int made = 0;
  int alive = 0;
  FacadeHandlers handlers;  // of the facade connected last
  std::vector<int8_t> lastEqualizer;

  bool Has(const std::string& call) const {
    for (const std::string& c : calls)
      if (c == call) return true;
    return false;
  }
  void Clear() { calls.clear(); }
};

class FakeFacade final : public PlaybackFacade {
 public:
  explicit FakeFacade(FacadeLog& log) : log_(log), id_(++log.made) {
    ++log_.alive;
    Log("new");
  }
  ~FakeFacade() override {
    --log_.alive;
    Log("delete");
  }
  void Connect(const FacadeHandlers& handlers) override { log_.handlers = handlers; }
  void UseDirectSound(bool on) override { Log("dsound", on ? "1" : "0"); }
  void Open(const std::string& name) override { Log("open", name); }
  void Play() override { Log("play"); }
  void Pause() override { Log("pause"); }
  void Stop() override { Log("stop"); }
  void Seek(int offset, int range) override { Log("seek", std::to_string(offset) + " " + std::to_string(range)); }
  void SetCodecEqualizer(const int8_t* record) override { log_.lastEqualizer.assign(record, record + 64); }
  void ApplyVolume() override { Log("volume"); }

 private:
  void Log(const std::string& what, const std::string& more = "") {
    log_.calls.push_back(what + " " + std::to_string(id_) + (more.empty() ? "" : " " + more));
  }
  FacadeLog& log_;
  int id_;
};

inline FacadeFactory FakeFactory(FacadeLog& log) {
  return [&log] { return std::make_unique<FakeFacade>(log); };
}
