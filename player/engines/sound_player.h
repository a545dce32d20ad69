// TSoundPlayer: the one playback object the main window talks to. It picks the engine for
// a file, forwards the transport operations to it and passes its notifications through.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/main_loop.h"
#include "common/result.h"
#include "player/engines/aac_player.h"
#include "player/engines/mp3_player.h"
#include "player/engines/wav_player.h"

enum class EngineKind { Mp3, Wav, Aac };

// The engine for a file name: a URL, a name that cannot be opened (missing, locked by
// another process) or anything else goes to MP3; a file the WAV header reader accepts to
// WAV; otherwise a name ending in ".aac" (any case) to AAC. A name that is neither a URL
// nor a regular file (a FIFO, a device, a folder) is refused with a message for the user;
// nothing here waits for such a thing (a FIFO is never opened for reading).
Result<EngineKind, std::string> ChooseEngine(const std::string& name);

// Main thread only (see player_engine.h for the threads of the notifications).
class TSoundPlayer {
 public:
  explicit TSoundPlayer(MainLoop& loop);
  ~TSoundPlayer();
  TSoundPlayer(const TSoundPlayer&) = delete;
  TSoundPlayer& operator=(const TSoundPlayer&) = delete;

  // Releases the engine held (stopping it), creates the chosen one with the slots and the
  // remembered device choice, and opens it. A name the choice refuses leaves no engine and
  // raises the error notification (on this thread) with the reason.
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

  // The engine held: the first of MP3, WAV, AAC that is set; nullptr before Open.
  TPlayerEngine* Engine() const;
  TMP3Player* Mp3() const { return mp3_.get(); }
  TWavPlayer* Wav() const { return wav_.get(); }
  TAACPlayer* Aac() const { return aac_.get(); }

 private:
  void Release();

  MainLoop& loop_;
  std::unique_ptr<TMP3Player> mp3_;
  std::unique_ptr<TWavPlayer> wav_;
  std::unique_ptr<TAACPlayer> aac_;
  NotificationSlots slots_;
  std::optional<bool> directSound_;
};
