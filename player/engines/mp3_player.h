// TMP3Player: MP3 files and HTTP/FTP streams through the decoder library's player.
#pragma once

#include <memory>

#include "common/main_loop.h"
#include "player/engines/player_engine.h"
#include "player/engines/xaudio_player.h"

class TMP3Player final : public TPlayerEngine {
 public:
  explicit TMP3Player(MainLoop& loop);
  ~TMP3Player() override;

  // Creates the library's player and connects its notifications to the slots on the first
  // call, hands it the file's ReplayGain, opens the input and adds the visualization
  // filter; playback starts with Play.
  void Open(const std::string& name) override;
  void Play() override;
  void Pause() override;
  void Stop() override;
  void Seek(int offset, int range) override;
  void Close() override;
  void SetCodecEqualizer(const int8_t* record) override;
  // "/dev/dsound/0" (the desktop's sound server) when on, "/dev/wave/0" (ALSA) when off.
  void UseDirectSound(bool on) override;
  void VolumeChanged(uint32_t left, uint32_t right) override;

  // The wrapper, once Open has made it.
  TXaudioPlayer* Xaudio() const { return xaudio_.get(); }

 private:
  void ConnectNotifications();

  MainLoop& loop_;
  std::string inputName_;  // as given to the last Open; main thread
  std::unique_ptr<TXaudioPlayer> xaudio_;
};

// The library's volume levels (master, pcm, balance; see zbdecode_player.h) for a player
// volume of 0..65535 per channel.
struct LibraryVolume {
  int master, pcm, balance;
};
LibraryVolume LibraryVolumeOf(uint32_t left, uint32_t right);

// A playback gain factor (playback_gain.h) as the library's codec gain: hundredths of a dB,
// 0 for exactly 1.0 (the decoding untouched), within +-100 dB.
int CodecGainOf(double factor);

// The engine table's row (engine_table.h): every name plays here (files of any kind, the
// ones that cannot be opened, URLs); the library says why when it cannot. The last row.
bool ProbeMp3(const EngineFile& file);
std::unique_ptr<TPlayerEngine> MakeMp3Player(MainLoop& loop);
