// TSoundPlayer: the engine held and forwarding to it.
#include "player/engines/sound_player.h"

#include "common/audio/output_volume.h"

TSoundPlayer::TSoundPlayer(MainLoop& loop, EngineTable engines) : loop_(loop), engines_(engines) {}

TSoundPlayer::~TSoundPlayer() { Release(); }

void TSoundPlayer::Release() {
  if (engine_) engine_->Stop();
  engine_.reset();
}

void TSoundPlayer::Open(const std::string& name) {
  Release();
  const auto choice = ChooseEngineEntry(name, engines_);
  if (!choice) {
    slots_->OnNotifyPlayerError(this, choice.Error().Message());
    return;
  }
  engine_ = choice.Value()->make(loop_);
  engine_->ShareSlots(slots_);
  engine_->Open(name);
  // Given before Open (as the window does), the choice still reaches the engine.
  if (directSound_) engine_->UseDirectSound(*directSound_);
}

void TSoundPlayer::Play() {
  if (engine_) engine_->Play();
}

void TSoundPlayer::Pause() {
  if (engine_) engine_->Pause();
}

void TSoundPlayer::Stop() {
  if (engine_) engine_->Stop();
}

void TSoundPlayer::Seek(int offset, int range) {
  if (engine_) engine_->Seek(offset, range);
}

void TSoundPlayer::Close() {
  if (engine_) engine_->Close();
}

void TSoundPlayer::SetCodecEqualizer(const int8_t* record) {
  if (engine_) engine_->SetCodecEqualizer(record);
}

void TSoundPlayer::UseDirectSound(bool on) {
  directSound_ = on;
  if (engine_) engine_->UseDirectSound(on);
}

void TSoundPlayer::SetVolume(uint32_t left, uint32_t right) { PlayerVolume().Set(left, right); }
uint32_t TSoundPlayer::VolumeLeft() { return PlayerVolume().Left(); }
uint32_t TSoundPlayer::VolumeRight() { return PlayerVolume().Right(); }

void TSoundPlayer::ApplyVolume() {
  if (engine_) engine_->VolumeChanged(PlayerVolume().Left(), PlayerVolume().Right());
}

// The engine held raises its notifications through these slots: a handler set here
// reaches it at once.
void TSoundPlayer::SetOnNotifyPlayerState(NotifyPlayerState fn) { slots_->OnNotifyPlayerState.Set(std::move(fn)); }
void TSoundPlayer::SetOnNotifyInputPosition(NotifyInputPosition fn) {
  slots_->OnNotifyInputPosition.Set(std::move(fn));
}
void TSoundPlayer::SetOnNotifyInputTimecode(NotifyInputTimecode fn) {
  slots_->OnNotifyInputTimecode.Set(std::move(fn));
}
void TSoundPlayer::SetOnNotifyInputStreamInfo(NotifyInputStreamInfo fn) {
  slots_->OnNotifyInputStreamInfo.Set(std::move(fn));
}
void TSoundPlayer::SetOnNotifyOutputData(NotifyOutputData fn) { slots_->OnNotifyOutputData.Set(std::move(fn)); }
void TSoundPlayer::SetOnNotifyPlayerError(NotifyPlayerError fn) { slots_->OnNotifyPlayerError.Set(std::move(fn)); }
void TSoundPlayer::SetOnNotifyInputName(NotifyInputName fn) { slots_->OnNotifyInputName.Set(std::move(fn)); }
