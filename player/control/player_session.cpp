// PlayerSession: transport, the end-of-track rule, the engines' notifications, the list's
// start-up, drops and saving.
#include "player/control/player_session.h"

#include <algorithm>
#include <ctime>

#include "common/audio/output_stream_title.h"
#include "common/audio/output_volume.h"
#include "common/paths.h"
#include "player/control/transport_math.h"
#include "player/engines/gapless_mode.h"
#include "player/playlist/bounded_text.h"
#include "player/playlist/list_order.h"
#include "player/playlist/play_list_file.h"
#include "player/playlist/tag_edit.h"

namespace {

int64_t NowSecond() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

PlayerSession::PlayerSession(PlayerSettings& settings, FacadeFactory makeFacade, MainLoop& loop, SessionHost& host)
    : settings_(settings), makeFacade_(std::move(makeFacade)), loop_(loop), host_(host),
      // The level of the last run; never saved is full.
      volumeLevel_(settings.volume < 0 ? kVolumeLevels : std::min(settings.volume, kVolumeLevels)) {
  const uint32_t volume = VolumeOfLevel(volumeLevel_);
  PlayerVolume().Set(volume, volume);
  GaplessSettingChanged();
}

PlayerSession::~PlayerSession() {
  startupLoad_.reset();
  dropLoad_.reset();
  ReleaseFacade();
}

// ---- start-up and shut-down ----

void PlayerSession::Start(const std::vector<std::string>& entries) { UseStartupList(entries, /*fromDefaultList=*/false); }

void PlayerSession::StartWithArguments(const std::vector<std::string>& arguments) {
  startupLoad_ = std::make_unique<StartupLoad>(
      loop_, [arguments, defaultList = DefaultPlayListPath()](const std::function<bool()>& cancelled) {
        return GatherStartupEntries(arguments, defaultList, cancelled);
      });
  startupLoad_->SetOnFinished([this] {
    StartupEntries startup = std::move(startupLoad_->Result());
    startupLoad_.reset();
    StartupListGathered(std::move(startup));
  });
  startupLoad_->Start();
}

void PlayerSession::StartupListGathered(StartupEntries startup) {
  for (const std::string& notice : startup.gathered.notices) host_.PrintNotice(notice);
  if (shutDown_) return;
  list_.Describe(startup.gathered.described);
  if (!list_.Empty()) {
    // Something was dropped or chosen meanwhile: it stays current, the list joins behind.
    list_.Append(startup.gathered.entries);
    Tell(SessionChange::List);
    return;
  }
  // Arguments that gave nothing leave the list empty; the default list file keeps the
  // user's list for the next start unless this run makes one.
  keepDefaultList_ = startup.argumentsGiven && startup.gathered.entries.empty();
  UseStartupList(std::move(startup.gathered.entries), startup.fromDefaultList);
}

void PlayerSession::UseStartupList(std::vector<std::string> entries, bool fromDefaultList) {
  list_.Assign(std::move(entries));
  list_.Select(fromDefaultList ? settings_.playListIndex : 0);
  if (!list_.Current()) list_.Select(0);
  if (!list_.Empty()) Play();
}

std::string PlayerSession::ShutDown() {
  if (shutDown_) return "";
  shutDown_ = true;
  // A list still being read is not wanted any more; the default list file stays as it is
  // then, since this run's list is not whole.
  const bool listWhole = !startupLoad_;
  startupLoad_.reset();
  dropLoad_.reset();
  settings_.volume = volumeLevel_;
  std::string error;
  if (listWhole && !(keepDefaultList_ && list_.Empty())) {
    settings_.playListIndex = list_.Empty() ? 0 : std::max(list_.Index(), 0);
    const std::string listPath = DefaultPlayListPath();
    // A failed save keeps the previous list file whole; the caller says why.
    if (auto made = CreateDirectories(ExtractFileDir(listPath)); !made)
      error = PlayListFileFailure(PlayListAccess::Write, listPath, made.Error().errnum).Message();
    else if (auto written = WritePlayListRecords(listPath, list_.Records()); !written)
      error = written.Error().Message();
  }
  Stop();
  return error;
}

// ---- facade ----

void PlayerSession::CreateFacade() {
  // Connected by OpenFacade, which always follows.
  facade_ = makeFacade_();
  facade_->UseDirectSound(settings_.useDirectSound != 0);
}

void PlayerSession::ConnectFacade() {
  const uint64_t generation = ++generation_;
  // Handlers may run on engine threads: each hands its arguments to the main thread, where
  // they count only while the facade's generation is still the current one.
  auto queue = [this, generation, alive = std::weak_ptr<int>(alive_)](std::function<void()> fn) {
    loop_.Post([this, generation, alive, fn = std::move(fn)] {
      if (!alive.expired() && generation == generation_) fn();
    });
  };
  FacadeHandlers h;
  h.state = [queue, this](void*, int state) { queue([this, state] { NotifyPlayerState(state); }); };
  h.position = [queue, this](void*, uint32_t offset, uint32_t range) {
    queue([this, offset, range] { NotifyInputPosition(offset, range); });
  };
  h.timecode = [queue, this](void*, uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t) {
    queue([this, hours, minutes, seconds] { NotifyInputTimecode(hours, minutes, seconds); });
  };
  h.streamInfo = [queue, this](void*, uint8_t, uint8_t, uint16_t bitrate, uint16_t frequency, uint8_t mode) {
    queue([this, bitrate, frequency, mode] { NotifyInputStreamInfo(bitrate, frequency, mode); });
  };
  h.outputData = [host = &host_](void*, const void* data, uint32_t size) { host->OutputData(data, size); };
  h.error = [queue, this](void*, const std::string& message) { queue([this, message] { NotifyPlayerError(message); }); };
  h.inputName = [queue, this](void*, const std::string& name) { queue([this, name] { NotifyInputName(name); }); };
  facade_->Connect(h);
}

void PlayerSession::OpenFacade(const std::string& entry) {
  ConnectFacade();
  position_ = 0;
  range_ = 0;
  facade_->Open(entry);
  ApplyEqualizer();
}

void PlayerSession::ApplyEqualizer() {
  if (facade_) facade_->SetCodecEqualizer(equalizer_.data());
}

// ---- transport ----

TransportState PlayerSession::State() const {
  if (!facade_) return TransportState::Stopped;
  return paused_ ? TransportState::Paused : TransportState::Playing;
}

void PlayerSession::Play() {
  // Chosen by the user: the entries may all be tried again. After a failure nothing
  // plays, and the wait before the next entry is over now.
  failedInRow_ = 0;
  if (!facade_) host_.StopEndOfTrackWait();
  PlayCurrent();
}

void PlayerSession::PlayCurrent() {
  const std::string* current = list_.Current();
  if (list_.Empty() || !current) return;
  const std::string entry = *current;
  const bool changed = entry != loadedFile_;
  if (changed) {
    loadedFile_ = entry;
    // Never blocks: a FIFO or device named as the entry is not opened.
    EntryTags tags = ReadEntryTags(entry);
    tag_ = std::move(tags.text);
    trackNumber_ = tags.trackNumber;
    // The embedded cover is written out once here, not each time the desktop asks.
    coverPath_ = CoverArtPath(entry, tags.cover);
    tagText_ = ::TagText(tag_);
    streamTitle_.clear();
    host_.ShowTitle(FileLabelText(entry, tagText_.empty() ? ListTitle() : tagText_));
    infoThrottle_.Reset();
  }
  if (changed || !facade_) {
    if (!facade_) CreateFacade();
    OpenFacade(loadedFile_);
  }
  facade_->Play();
  paused_ = false;
  ApplyEqualizer();
  Tell(SessionChange::NowPlaying);
  Tell(SessionChange::Status);
}

void PlayerSession::ReleaseFacade() {
  if (!facade_) return;
  // Forgotten first: the engine's Stop turns the event loop while it waits, and nothing
  // that runs meanwhile may reach the facade being stopped.
  std::unique_ptr<PlaybackFacade> stopping = std::move(facade_);
  ++generation_;
  stopping->Stop();
}

void PlayerSession::Stop() {
  host_.StopEndOfTrackWait();
  ReleaseFacade();
  // The last entry's output may still play what it held for the next one: silent too.
  DropLingeringOutput();
  paused_ = false;
  Tell(SessionChange::Status);
}

void PlayerSession::Pause() {
  if (!facade_ || paused_) return;
  facade_->Pause();
  paused_ = true;
  Tell(SessionChange::Status);
}

void PlayerSession::PauseOrResume() {
  if (!facade_) return;
  if (paused_)
    Play();
  else
    Pause();
}

void PlayerSession::PlayPause() {
  if (State() == TransportState::Playing)
    Pause();
  else
    Play();
}

void PlayerSession::Next() {
  if (list_.Empty()) return;
  list_.Next();
  Stop();
  Play();
}

void PlayerSession::Previous() {
  if (list_.Empty()) return;
  list_.Previous();
  Stop();
  Play();
}

void PlayerSession::Reverse() {
  if (facade_) facade_->Seek(int(ReverseTarget(position_)), int(range_));
}

void PlayerSession::Forward() {
  // A stream has no length to seek in.
  if (facade_ && range_ > 0) facade_->Seek(int(ForwardTarget(position_, range_)), int(range_));
}

int64_t PlayerSession::SeekBy(int64_t seconds) {
  if (!facade_ || range_ == 0) return -1;
  const int64_t target = int64_t(position_) + seconds;
  if (target >= int64_t(range_)) {
    Next();
    return -1;
  }
  const int64_t at = std::max<int64_t>(target, 0);
  facade_->Seek(int(at), int(range_));
  return at;
}

bool PlayerSession::SeekTo(int64_t seconds) {
  if (!facade_ || range_ == 0 || seconds < 0 || seconds >= int64_t(range_)) return false;
  facade_->Seek(int(seconds), int(range_));
  return true;
}

void PlayerSession::Shuffle() {
  list_.Shuffle(loadedFile_, RuntimeRandom());
  Tell(SessionChange::List);
}

void PlayerSession::SetShuffle(bool on) {
  if (on == list_.ShuffleOn()) return;
  list_.SetShuffle(on, RuntimeRandom());
  Tell(SessionChange::Options);
}

void PlayerSession::SetContinuousPlay(bool on) {
  if (on == ContinuousPlay()) return;
  settings_.continuousPlay = on ? 1 : 0;
  Tell(SessionChange::Options);
}

void PlayerSession::EndOfTrackWaitOver() { GoOn(); }

void PlayerSession::GoOn() {
  list_.Next();
  host_.StopEndOfTrackWait();
  ReleaseFacade();
  paused_ = false;
  // Watchers hear of the next entry playing, or of the stop, not of both.
  const bool goesOn =
      failedInRow_ < list_.Count() && (settings_.continuousPlay != 0 || !list_.AtStartOfWalk());
  if (goesOn)
    PlayCurrent();
  else
    Tell(SessionChange::Status);
}

// ---- the list ----

bool PlayerSession::AddAndPlay(const std::vector<std::string>& entries) {
  if (entries.empty()) return false;
  const int first = list_.Count();
  list_.Append(entries);
  list_.Select(first);
  Stop();
  Play();
  return true;
}

void PlayerSession::AddAndPlayPaths(const std::vector<std::string>& paths) {
  if (shutDown_ || paths.empty()) return;
  // A drop while another is gathered waits for it, so that both join in their order.
  pendingDrops_.push_back(paths);
  if (!dropLoad_) GatherNextDrop();
}

void PlayerSession::GatherNextDrop() {
  if (pendingDrops_.empty()) return;
  std::vector<std::string> paths = std::move(pendingDrops_.front());
  pendingDrops_.pop_front();
  dropLoad_ = std::make_unique<DropLoad>(loop_, [paths = std::move(paths)](const std::function<bool()>& cancelled) {
    return DroppedEntries(paths, cancelled);
  });
  dropLoad_->SetOnFinished([this] {
    GatheredEntries gathered = std::move(dropLoad_->Result());
    dropLoad_.reset();
    if (!gathered.notices.empty()) host_.ShowNotice(BoundedLines(gathered.notices));
    list_.Describe(gathered.described);
    AddAndPlay(gathered.entries);
    GatherNextDrop();
  });
  dropLoad_->Start();
}

void PlayerSession::PlayIndex(int index) {
  if (index == list_.Index()) return;
  list_.Select(index);
  Stop();
  Play();
}

// ---- volume, equalizer, output ----

void PlayerSession::SetVolumeLevel(int level) {
  volumeLevel_ = std::clamp(level, 0, kVolumeLevels);
  const uint32_t volume = VolumeOfLevel(volumeLevel_);
  PlayerVolume().Set(volume, volume);
  if (facade_) facade_->ApplyVolume();
  host_.ShowVolumeLevel(volumeLevel_);
  Tell(SessionChange::Volume);
}

void PlayerSession::VolumeUp() { SetVolumeLevel(SteppedVolumeLevel(volumeLevel_, +1)); }

void PlayerSession::VolumeDown() { SetVolumeLevel(SteppedVolumeLevel(volumeLevel_, -1)); }

void PlayerSession::SetEqualizer(const EqualizerRecord& record) {
  equalizer_ = record;
  ApplyEqualizer();
}

void PlayerSession::OutputChoiceChanged() {
  if (facade_) facade_->UseDirectSound(settings_.useDirectSound != 0);
}

void PlayerSession::GaplessSettingChanged() { SetGaplessPlayback(settings_.gaplessPlayback != 0); }

// ---- what it holds ----

NowPlaying PlayerSession::Now() const {
  NowPlaying now = DescribeNowPlaying(loadedFile_, tag_, streamTitle_, range_);
  if (!loadedFile_.empty()) {
    now.trackNumber = trackNumber_;
    now.coverPath = coverPath_;
  }
  // A file without a tag is named as its list file named it; the length the list gave
  // serves until the engine knows it.
  if (const ListEntry* listed = list_.Described(loadedFile_); listed && !loadedFile_.empty()) {
    if (tag_.title.empty() && streamTitle_.empty() && !listed->title.empty()) now.title = listed->title;
    if (now.lengthMicroseconds == 0 && listed->durationSeconds > 0)
      now.lengthMicroseconds = int64_t(listed->durationSeconds) * 1000000;
  }
  return now;
}

std::string PlayerSession::ListTitle() const {
  const ListEntry* listed = list_.Described(loadedFile_);
  return listed ? listed->title : std::string();
}

PlayerSession::WatchId PlayerSession::Watch(std::function<void(SessionChange)> onChange) {
  const WatchId id = nextWatch_++;
  watchers_.emplace(id, std::move(onChange));
  return id;
}

void PlayerSession::Unwatch(WatchId id) { watchers_.erase(id); }

void PlayerSession::Tell(SessionChange change) {
  // The desktop's mixer names the player's sound stream after what plays.
  if (change == SessionChange::NowPlaying) SetOutputStreamTitle(ArtistAndTitle(Now()));
  // A watcher may unwatch while told.
  const auto watchers = watchers_;
  for (const auto& [id, onChange] : watchers) onChange(change);
}

// ---- the engines' notifications ----

void PlayerSession::NotifyPlayerState(int state) {
  if (state != kPlayerStateEndOfStream) return;
  failedInRow_ = 0;
  // Gapless: the engine has queued all of its input and its output plays on into the
  // next entry's, which must open now; else the described pause between entries.
  if (GaplessPlayback())
    GoOn();
  else
    host_.StartEndOfTrackWait();
}

void PlayerSession::NotifyInputPosition(uint32_t offset, uint32_t range) {
  const bool lengthChanged = range != range_;
  const bool moved = offset != position_;
  position_ = offset;
  range_ = range;
  if (lengthChanged) Tell(SessionChange::NowPlaying);
  if (moved) Tell(SessionChange::Position);
}

void PlayerSession::NotifyInputTimecode(uint8_t hours, uint8_t minutes, uint8_t seconds) {
  // Audio came out: the entry did not fail (a later failure counts from here).
  if (hours != 0 || minutes != 0 || seconds != 0) failedInRow_ = 0;
  // The volume may have been changed under the player (another program, the desktop).
  const int deviceLevel = VolumeLevelOf(PlayerVolume().Left());
  if (deviceLevel != volumeLevel_) {
    volumeLevel_ = deviceLevel;
    host_.ShowVolumeLevel(volumeLevel_);
    Tell(SessionChange::Volume);
  }
  if (!timeThrottle_.Pass(NowSecond())) return;
  host_.ShowTime(TimeText(hours, minutes, seconds));
}

void PlayerSession::NotifyInputStreamInfo(uint16_t bitrate, uint16_t frequency, uint8_t mode) {
  if (!infoThrottle_.Pass(NowSecond())) return;
  host_.ShowInfo(StreamInfoText(bitrate, frequency, mode));
}

void PlayerSession::NotifyPlayerError(const std::string& message) {
  // The entry failed (it cannot be opened, or its input broke off): nothing plays, so
  // the player says so, shows why in the info field for the host's wait and then goes
  // on as at an input's end. Every entry failing in a row stops there.
  ReleaseFacade();
  paused_ = false;
  ++failedInRow_;
  host_.ClearFields();
  host_.ShowTitle(streamTitle_.empty() ? FileLabelText(loadedFile_, tagText_.empty() ? ListTitle() : tagText_)
                                       : streamTitle_);
  host_.ShowError(InfoFieldError(message, loadedFile_), message);
  Tell(SessionChange::Status);
  if (failedInRow_ >= list_.Count())
    host_.StopEndOfTrackWait();
  else
    host_.StartEndOfTrackWait();
}

void PlayerSession::NotifyInputName(const std::string& name) {
  // The first name is the input itself; a stream then names each title it plays.
  if (name.empty() || name == loadedFile_ || name == streamTitle_) return;
  streamTitle_ = name;
  host_.ShowTitle(name);
  Tell(SessionChange::NowPlaying);
}
