// TMP3Player: the call sequence that sets up the library's player, and the output filter
// that taps the decoded PCM for the visualization.
#include "player/engines/mp3_player.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

#include "common/audio/output_volume.h"
#include "common/outside_text.h"
#include "player/engines/gapless_mode.h"
#include "player/engines/playback_gain.h"

namespace {

// The engine that opened last: the visualization filter's new instances belong to it.
std::atomic<TMP3Player*> g_currentEngine{nullptr};

const char* FilterName() { return "visualization-output-filter"; }

int32_t FilterNewInstance(void** instance, uint32_t) {
  *instance = g_currentEngine.load();
  return 0;
}

int32_t FilterDeleteInstance(void*) { return 0; }

// Library output thread: hands the PCM to the engine's output-data slot in 256-byte
// slices, then passes it on unchanged.
int32_t FilterWrite(ZbdOutputFilterStage* stage, const void* pcm, uint32_t bytes, uint32_t bytesPerSample,
                    uint32_t channels, uint32_t sampleRate) {
  if (auto* engine = static_cast<TMP3Player*>(stage->instance)) {
    SendOutputData(engine->Slots().OnNotifyOutputData, engine, static_cast<const uint8_t*>(pcm), bytes);
  }
  return stage->next->write(stage->next, pcm, bytes, bytesPerSample, channels, sampleRate);
}

int32_t DescribeFilter(ZbdFilterEntry* table) {
  table[0] = reinterpret_cast<ZbdFilterEntry>(&FilterName);
  table[1] = reinterpret_cast<ZbdFilterEntry>(&FilterNewInstance);
  table[2] = reinterpret_cast<ZbdFilterEntry>(&FilterDeleteInstance);
  table[5] = reinterpret_cast<ZbdFilterEntry>(&FilterWrite);
  return 0;
}

}  // namespace

LibraryVolume LibraryVolumeOf(uint32_t left, uint32_t right) {
  left = std::min(left, kVolumeFull);
  right = std::min(right, kVolumeFull);
  const uint32_t louder = std::max(left, right);
  LibraryVolume v{int((louder * 100 + kVolumeFull / 2) / kVolumeFull), 100, 50};
  if (louder == 0 || left == right) return v;
  // The quieter side's share of the louder one, on the balance scale's half towards it.
  if (left > right) v.balance = int((right * 50 + left / 2) / left);
  else v.balance = 100 - int((left * 50 + right / 2) / right);
  return v;
}

int CodecGainOf(double factor) {
  if (!(factor > 0) || factor == 1.0) return 0;
  return int(std::lround(std::clamp(2000.0 * std::log10(factor), -10000.0, 10000.0)));
}

bool ProbeMp3(const EngineFile&) { return true; }

std::unique_ptr<TPlayerEngine> MakeMp3Player(MainLoop& loop) { return std::make_unique<TMP3Player>(loop); }

TMP3Player::TMP3Player(MainLoop& loop) : loop_(loop) {}

TMP3Player::~TMP3Player() {
  if (xaudio_) xaudio_->Stop();
  TMP3Player* self = this;
  g_currentEngine.compare_exchange_strong(self, nullptr);
  // Deleting the library's player ends its output thread before this engine goes.
  xaudio_.reset();
}

void TMP3Player::Open(const std::string& name) {
  if (!xaudio_) {
    xaudio_ = std::make_unique<TXaudioPlayer>(loop_);
    if (xaudio_->StartResult() != ZBD_OK) {
      slots_->OnNotifyPlayerError(this, std::string("Cannot Start MP3 Decoder DLL"));
    }
    ConnectNotifications();
  }
  inputName_ = name;
  // The file's ReplayGain, for the decoder to scale by from this input on (a URL gets
  // none). Sent before the open, which is where the library takes it up.
  xaudio_->SetPlayerEnvironmentInteger(ZBD_ENV_CODEC_GAIN, CodecGainOf(PlaybackGainFor(name, AudioFileFormat::Mp3)));
  xaudio_->InputOpen(name);
  xaudio_->SetInputTimecodeGranularity(500);
  xaudio_->SetPlayerMode(ZBD_PLAYER_MODE_OUTPUT_AUTO_CLOSE | (GaplessPlayback() ? ZBD_PLAYER_MODE_GAPLESS : 0));
  xaudio_->OutputModuleRegister("dsound_output_module_register@zbdsound.dll");
  // The module's window parameter has no meaning on this desktop; it is kept for it.
  xaudio_->SetPlayerEnvironmentInteger(ZBD_ENV_OUTPUT_WINDOW, 0);
  const LibraryVolume volume = LibraryVolumeOf(PlayerVolume().Left(), PlayerVolume().Right());
  xaudio_->SetOutputVolume(volume.master, volume.pcm, volume.balance);
  g_currentEngine = this;
  char filter[64];
  std::snprintf(filter, sizeof filter, "function@%p", reinterpret_cast<void*>(&DescribeFilter));
  xaudio_->OutputAddFilter(filter, 0);
}

void TMP3Player::ConnectNotifications() {
  // Each goes to the slot as it is when the notification arrives, the wrapper as sender,
  // on the main thread.
  xaudio_->OnNotifyPlayerState = [this](TXaudioPlayer* s, int v) { slots_->OnNotifyPlayerState(s, v); };
  xaudio_->OnNotifyInputPosition = [this](TXaudioPlayer* s, uint32_t o, uint32_t r) {
    slots_->OnNotifyInputPosition(s, o, r);
  };
  xaudio_->OnNotifyInputTimecode = [this](TXaudioPlayer* s, uint8_t h, uint8_t m, uint8_t sec, uint8_t f) {
    slots_->OnNotifyInputTimecode(s, h, m, sec, f);
  };
  xaudio_->OnNotifyInputStreamInfo = [this](TXaudioPlayer* s, uint8_t l, uint8_t y, uint16_t b, uint16_t f, uint8_t m) {
    slots_->OnNotifyInputStreamInfo(s, l, y, b, f, m);
  };
  xaudio_->OnNotifyError = [this](TXaudioPlayer* s, uint8_t, int16_t, const std::string& m) {
    slots_->OnNotifyPlayerError(s, m);
  };
  // After the input's own name, a stream names its titles: text from the station, made
  // valid UTF-8 without control characters before it reaches a window.
  xaudio_->OnNotifyInputName = [this](TXaudioPlayer* s, const std::string& n) {
    slots_->OnNotifyInputName(s, n == inputName_ ? n : ShowableText(n));
  };
}

void TMP3Player::Play() {
  if (xaudio_) xaudio_->Play();
}

void TMP3Player::Pause() {
  if (xaudio_) xaudio_->Pause();
}

void TMP3Player::Stop() {
  if (xaudio_) xaudio_->Stop();
}

void TMP3Player::Seek(int offset, int range) {
  if (xaudio_) xaudio_->InputSeek(uint32_t(offset), uint32_t(range));
}

void TMP3Player::Close() {
  if (xaudio_) xaudio_->InputClose();
}

void TMP3Player::SetCodecEqualizer(const int8_t* record) {
  if (xaudio_) xaudio_->SetCodecEqualizer(record);
}

void TMP3Player::UseDirectSound(bool on) {
  if (xaudio_) xaudio_->SetOutputName(on ? "/dev/dsound/0" : "/dev/wave/0");
}

void TMP3Player::VolumeChanged(uint32_t left, uint32_t right) {
  if (!xaudio_) return;
  const LibraryVolume volume = LibraryVolumeOf(left, right);
  xaudio_->SetOutputVolume(volume.master, volume.pcm, volume.balance);
}
