// TSoundPlayer: the one playback object the main window talks to. It holds the engine the
// engine table picks for a file, forwards the transport operations to it and lends it its
// notification slots.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/main_loop.h"
#include "player/engines/aac_player.h"
#include "player/engines/engine_table.h"
#include "player/engines/media_player.h"
#include "player/engines/mp3_player.h"
#include "player/engines/wav_player.h"

// Main thread only (see player_engine.h for the threads of the notifications).
class TSoundPlayer {
 public:
  // engines: the table Open chooses from (tests give their own); it must outlive this.
  explicit TSoundPlayer(MainLoop& loop, EngineTable engines = BuiltInEngines());
  ~TSoundPlayer();
  TSoundPlayer(const TSoundPlayer&) = delete;
  TSoundPlayer& operator=(const TSoundPlayer&) = delete;

  // Releases the engine held (stopping it), creates the one the table chooses, raising its
  // notifications through this object's slots and with the remembered device choice, and
  // opens it. A name the choice refuses leaves no engine and raises the error notification
  // (on this thread) with the reason.
  void Open(const std::string& name);
  void Play();
  void Pause();
  void Stop();
  void Seek(int offset, int range);
  void Close();
  void SetCodecEqualizer(const int8_t* record);
  // Remembered and applied to every engine opened later, as well as to the one held.
  void UseDirectSound(bool on);

  // The player volume (the device volume the window reads back), 0..65535 per channel.
  static void SetVolume(uint32_t left, uint32_t right);
  static uint32_t VolumeLeft();
  static uint32_t VolumeRight();
  // Passes a new player volume to the engine held (the MP3 engine's library keeps its own).
  void ApplyVolume();

  void SetOnNotifyPlayerState(NotifyPlayerState fn);
  void SetOnNotifyInputPosition(NotifyInputPosition fn);
  void SetOnNotifyInputTimecode(NotifyInputTimecode fn);
  void SetOnNotifyInputStreamInfo(NotifyInputStreamInfo fn);
  void SetOnNotifyOutputData(NotifyOutputData fn);
  void SetOnNotifyPlayerError(NotifyPlayerError fn);
  void SetOnNotifyInputName(NotifyInputName fn);

  // The engine held; nullptr before Open and after an Open that was refused.
  TPlayerEngine* Engine() const { return engine_.get(); }
  // The engine held when it is of that kind; nullptr otherwise.
  TMP3Player* Mp3() const { return dynamic_cast<TMP3Player*>(engine_.get()); }
  TWavPlayer* Wav() const { return dynamic_cast<TWavPlayer*>(engine_.get()); }
  TAACPlayer* Aac() const { return dynamic_cast<TAACPlayer*>(engine_.get()); }
  TMediaPlayer* Media() const { return dynamic_cast<TMediaPlayer*>(engine_.get()); }

 private:
  void Release();

  MainLoop& loop_;
  const EngineTable engines_;
  // The handlers: every engine raises its notifications through these very slots.
  const std::shared_ptr<NotificationSlots> slots_ = std::make_shared<NotificationSlots>();
  std::unique_ptr<TPlayerEngine> engine_;
  std::optional<bool> directSound_;
};
