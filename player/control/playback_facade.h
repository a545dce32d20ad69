// The main window's view of playback: one facade per opened file, created through a
// factory so that window tests can hand the window a fake one. SoundPlayerFacade is the
// real one, over TSoundPlayer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/main_loop.h"
#include "player/engines/player_notifications.h"
#include "player/engines/sound_player.h"

// The handlers a window connects; any of them may be empty. They are called on the
// threads the engines call them on (see player_engine.h).
struct FacadeHandlers {
  NotifyPlayerState state;
  NotifyInputPosition position;
  NotifyInputTimecode timecode;
  NotifyInputStreamInfo streamInfo;
  NotifyOutputData outputData;
  NotifyPlayerError error;
  NotifyInputName inputName;
};

// Main thread only, as TSoundPlayer.
class PlaybackFacade {
 public:
  virtual ~PlaybackFacade() = default;
  virtual void Connect(const FacadeHandlers& handlers) = 0;
  virtual void UseDirectSound(bool on) = 0;
  virtual void Open(const std::string& name) = 0;
  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;
  virtual void Seek(int offset, int range) = 0;
  // record: the 64-byte equalizer record.
  virtual void SetCodecEqualizer(const int8_t* record) = 0;
  // The player volume changed (PlayerVolume()); the engine held follows it.
  virtual void ApplyVolume() = 0;
};

using FacadeFactory = std::function<std::unique_ptr<PlaybackFacade>()>;

class SoundPlayerFacade final : public PlaybackFacade {
 public:
  explicit SoundPlayerFacade(MainLoop& loop) : player_(loop) {}
  void Connect(const FacadeHandlers& h) override {
    // In the order the window connects them: state, position, timecode, stream info,
    // output data; then the two additions.
    player_.SetOnNotifyPlayerState(h.state);
    player_.SetOnNotifyInputPosition(h.position);
    player_.SetOnNotifyInputTimecode(h.timecode);
    player_.SetOnNotifyInputStreamInfo(h.streamInfo);
    player_.SetOnNotifyOutputData(h.outputData);
    player_.SetOnNotifyPlayerError(h.error);
    player_.SetOnNotifyInputName(h.inputName);
  }
  void UseDirectSound(bool on) override { player_.UseDirectSound(on); }
  void Open(const std::string& name) override { player_.Open(name); }
  void Play() override { player_.Play(); }
  void Pause() override { player_.Pause(); }
  void Stop() override { player_.Stop(); }
  void Seek(int offset, int range) override { player_.Seek(offset, range); }
  void SetCodecEqualizer(const int8_t* record) override { player_.SetCodecEqualizer(record); }
  void ApplyVolume() override { player_.ApplyVolume(); }

 private:
  TSoundPlayer player_;
};
