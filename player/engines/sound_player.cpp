// TSoundPlayer: engine choice and forwarding.
#include "player/engines/sound_player.h"

#include <strings.h>
#include <sys/file.h>

#include "common/audio/output_volume.h"
#include "common/regular_file.h"
#include "common/unique_fd.h"
#include "common/wav_header.h"

Result<EngineKind, std::string> ChooseEngine(const std::string& name) {
  if (strncasecmp(name.c_str(), "http://", 7) == 0 || strncasecmp(name.c_str(), "ftp://", 6) == 0) {
    return EngineKind::Mp3;
  }
  // The main thread runs this: a FIFO or a device must not hold it (an open of a FIFO
  // waits for a writer, a read of a device may never end).
  auto opened = OpenRegularFile(name);
  if (!opened) {
    if (opened.Error().errorNumber == 0) return Fail("Cannot play " + name + ": " + opened.Error().reason);
    return EngineKind::Mp3;  // missing or unreadable: the MP3 engine's library says why
  }
  const UniqueFd fd = std::move(opened).Value();
  // A file another process holds locked counts as one that cannot be opened.
  if (flock(fd.Get(), LOCK_SH | LOCK_NB) != 0) return EngineKind::Mp3;
  WavFormatInfo info;
  const bool wav = ReadWavHeader(fd.Get(), info) == kWavReadOk;
  flock(fd.Get(), LOCK_UN);
  if (wav) return EngineKind::Wav;
  if (name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".aac") == 0) return EngineKind::Aac;
  return EngineKind::Mp3;
}

TSoundPlayer::TSoundPlayer(MainLoop& loop) : loop_(loop) {}

TSoundPlayer::~TSoundPlayer() { Release(); }

TPlayerEngine* TSoundPlayer::Engine() const {
  if (mp3_) return mp3_.get();
  if (wav_) return wav_.get();
  if (aac_) return aac_.get();
  return nullptr;
}

void TSoundPlayer::Release() {
  if (TPlayerEngine* engine = Engine()) engine->Stop();
  mp3_.reset();
  wav_.reset();
  aac_.reset();
}

void TSoundPlayer::Open(const std::string& name) {
  Release();
  const auto choice = ChooseEngine(name);
  if (!choice) {
    slots_.OnNotifyPlayerError(this, choice.Error());
    return;
  }
  TPlayerEngine* engine = nullptr;
  switch (choice.Value()) {
    case EngineKind::Mp3:
      mp3_ = std::make_unique<TMP3Player>(loop_);
      engine = mp3_.get();
      break;
    case EngineKind::Wav:
      wav_ = std::make_unique<Worker<TWavPlayer>>(loop_);
      engine = wav_.get();
      break;
    case EngineKind::Aac:
      aac_ = std::make_unique<Worker<TAACPlayer>>(loop_);
      engine = aac_.get();
      break;
  }
  engine->Slots().CopyFrom(slots_);
  engine->Open(name);
  // Given before Open (as the window does), the choice still reaches the engine.
  if (directSound_) engine->UseDirectSound(*directSound_);
}

void TSoundPlayer::Play() {
  if (TPlayerEngine* engine = Engine()) engine->Play();
}

void TSoundPlayer::Pause() {
  if (TPlayerEngine* engine = Engine()) engine->Pause();
}

void TSoundPlayer::Stop() {
  if (TPlayerEngine* engine = Engine()) engine->Stop();
}

void TSoundPlayer::Seek(int offset, int range) {
  if (TPlayerEngine* engine = Engine()) engine->Seek(offset, range);
}

void TSoundPlayer::Close() {
  if (TPlayerEngine* engine = Engine()) engine->Close();
}

void TSoundPlayer::SetCodecEqualizer(const int8_t* record) {
  if (TPlayerEngine* engine = Engine()) engine->SetCodecEqualizer(record);
}

void TSoundPlayer::UseDirectSound(bool on) {
  directSound_ = on;
  if (TPlayerEngine* engine = Engine()) engine->UseDirectSound(on);
}

void TSoundPlayer::SetVolume(uint32_t left, uint32_t right) { PlayerVolume().Set(left, right); }
uint32_t TSoundPlayer::VolumeLeft() { return PlayerVolume().Left(); }
uint32_t TSoundPlayer::VolumeRight() { return PlayerVolume().Right(); }

void TSoundPlayer::ApplyVolume() {
  if (TPlayerEngine* engine = Engine()) engine->VolumeChanged(PlayerVolume().Left(), PlayerVolume().Right());
}

// Each setter stores the slot and copies it at once into the engine held.
#define ZB_SLOT_SETTER(Name, Type)                                         \
  void TSoundPlayer::Set##Name(Type fn) {                                  \
    slots_.Name.Set(fn);                                                   \
    if (TPlayerEngine* engine = Engine()) engine->Slots().Name.Set(fn);    \
  }
ZB_SLOT_SETTER(OnNotifyPlayerState, NotifyPlayerState)
ZB_SLOT_SETTER(OnNotifyInputPosition, NotifyInputPosition)
ZB_SLOT_SETTER(OnNotifyInputTimecode, NotifyInputTimecode)
ZB_SLOT_SETTER(OnNotifyInputStreamInfo, NotifyInputStreamInfo)
ZB_SLOT_SETTER(OnNotifyOutputData, NotifyOutputData)
ZB_SLOT_SETTER(OnNotifyPlayerError, NotifyPlayerError)
ZB_SLOT_SETTER(OnNotifyInputName, NotifyInputName)
#undef ZB_SLOT_SETTER
