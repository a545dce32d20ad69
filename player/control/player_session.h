// PlayerSession: the player without its window. It holds the current list and its cursor,
// the transport state (stopped, playing, paused), the entry loaded and its tag, what the
// engine last told (position, length, stream title), the volume level and the equalizer
// record; it plays each opened entry through a playback facade of its own, applies the
// end-of-track rule, and tells its host what to show. The main window and the desktop's
// media player interface both drive one session.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/id3v1_tag.h"
#include "common/main_loop.h"
#include "common/worker_thread.h"
#include "player/control/equalizer_record.h"
#include "player/control/now_playing.h"
#include "player/control/playback_facade.h"
#include "player/control/player_texts.h"
#include "player/control/session_host.h"
#include "player/playlist/current_list.h"
#include "player/playlist/list_entries.h"
#include "player/playlist/list_load_thread.h"
#include "player/playlist/player_settings.h"

enum class TransportState { Stopped, Playing, Paused };

// How long the host waits after an input's end before the next entry starts.
inline constexpr int kEndOfTrackWaitMs = 2000;

// What changed, for those who watch the session (the media player interface). Options:
// shuffle or continuous play; Position: the engine told a new whole second; List: the
// entries or their order.
enum class SessionChange { Status, NowPlaying, Volume, Options, Position, List };

// Main thread only. The engines' notifications reach it through loop; those of a facade
// it has since let go (Stop, another entry) are dropped.
class PlayerSession {
 public:
  // settings: the player's; continuous play, the output choice and the stored list index
  // are read from it, the list index and the volume level written at shut-down; the
  // volume level saved before and the gapless setting apply at once. makeFacade gives a
  // new facade for each opened entry.
  PlayerSession(PlayerSettings& settings, FacadeFactory makeFacade, MainLoop& loop, SessionHost& host);
  ~PlayerSession();
  PlayerSession(const PlayerSession&) = delete;
  PlayerSession& operator=(const PlayerSession&) = delete;

  // ---- start-up and shut-down ----
  // The entries given become the list and play from the first.
  void Start(const std::vector<std::string>& entries);
  // The program's arguments (files, folders, lists, URLs; none: the default list at the
  // stored index) are gathered on a worker thread, then the list plays as Start does.
  // What was refused on the way goes to the host's PrintNotice.
  void StartWithArguments(const std::vector<std::string>& arguments);
  bool StartupListPending() const { return startupLoad_ != nullptr; }
  // Saves the list into the default list file and its index into the settings, and
  // stops. Once. While the start-up list is still being read the list file is left as it
  // is (it would lose entries). Returns why the list could not be saved, else "".
  std::string ShutDown();
  bool IsShutDown() const { return shutDown_; }

  // ---- transport ----
  // Plays the current entry: a new facade when the entry is not the loaded one (its tag
  // read first), else the paused or stopped one goes on.
  void Play();
  // Lets the facade go: its late notifications are dropped. The loaded entry stays.
  void Stop();
  // Pauses what plays (nothing while paused or stopped, as the desktop's Pause asks).
  void Pause();
  // The Pause button: pauses what plays, resumes what is paused, nothing when stopped.
  void PauseOrResume();
  // Pause while playing, else Play.
  void PlayPause();
  void Next();
  void Previous();
  // Ten seconds back or forward; a stream (no length) cannot go forward.
  void Reverse();
  void Forward();
  // Moves by seconds from the position: past the end plays the next entry (returns -1),
  // before the start seeks to 0. Returns the position sought, -1 when nothing was sought
  // (nothing playing, a stream, or the next entry).
  int64_t SeekBy(int64_t seconds);
  // Seeks to a position inside the input; false when nothing plays, the input has no
  // length or the position is outside it.
  bool SeekTo(int64_t seconds);
  void Shuffle();
  // A random order that Next, Previous and the end of a track follow; the list keeps its
  // own order. Off by default.
  void SetShuffle(bool on);
  bool ShuffleOn() const { return list_.ShuffleOn(); }
  // Continuous play (the setting): the end of the list starts it over.
  void SetContinuousPlay(bool on);
  bool ContinuousPlay() const { return settings_.continuousPlay != 0; }
  // The end-of-track wait is over (after an input's end, or after a failed entry's reason
  // has shown for a moment): the next entry plays, unless the list has wrapped to its
  // start without continuous play, or every entry of the list failed in a row (then
  // playback stops there).
  void EndOfTrackWaitOver();

  // ---- the list ----
  // Entries dropped or handed over join the list and the first of them plays. False
  // when there were none.
  bool AddAndPlay(const std::vector<std::string>& entries);
  // Files, folders and lists: gathered on a worker thread, then as AddAndPlay; what was
  // refused goes to the host's ShowNotice. Drops join in the order they came.
  void AddAndPlayPaths(const std::vector<std::string>& paths);
  bool DropsPending() const { return dropLoad_ != nullptr || !pendingDrops_.empty(); }
  // Plays entry index of the list (nothing when it is the current one already).
  void PlayIndex(int index);

  // ---- volume, equalizer, output ----
  void SetVolumeLevel(int level);
  void VolumeUp();
  void VolumeDown();
  // The record handed to every facade (64 zero bytes when the equalizer is off).
  void SetEqualizer(const EqualizerRecord& record);
  const EqualizerRecord& Equalizer() const { return equalizer_; }
  // The output choice in the settings changed: the facade playing follows it.
  void OutputChoiceChanged();
  // The gapless setting changed: the engines follow it from the next input on.
  void GaplessSettingChanged();

  // ---- what it holds ----
  const CurrentList& List() const { return list_; }
  const std::string& LoadedFile() const { return loadedFile_; }
  const std::string& TagText() const { return tagText_; }
  TransportState State() const;
  bool HasFacade() const { return facade_ != nullptr; }
  uint32_t Position() const { return position_; }
  uint32_t Range() const { return range_; }
  int VolumeLevel() const { return volumeLevel_; }
  NowPlaying Now() const;

  // Watchers of the status, the entry playing and the volume. Returns an id for Unwatch.
  using WatchId = uint64_t;
  WatchId Watch(std::function<void(SessionChange)> onChange);
  void Unwatch(WatchId id);

  // ---- editing the list (the play list window; player_session_list.cpp) ----
  // Each edit applies at once and is told as SessionChange::List.
  // The list becomes `entries`. current: the index in it of the current entry, or, when
  // that entry was removed (currentRemoved), of the entry that took its place (-1: none).
  // The entry playing goes on wherever it moved; removed, it stops. A list that had no
  // current entry gets its first one.
  // described: what list files told of entries that joined (titles, lengths).
  void EditList(std::vector<std::string> entries, int current, bool currentRemoved,
                const std::vector<ListEntry>& described = {});
  // Plays entry index (a double click or Enter in the play list window): a paused entry
  // goes on, the entry playing already plays on, any other starts.
  void PlayEntry(int index);
  // The current entry is the loaded one and has a facade (playing or paused): the play
  // list window marks it.
  bool CurrentIsLoaded() const;

 private:
  using StartupLoad = Worker<TListLoadThread<StartupEntries>>;
  using DropLoad = Worker<TListLoadThread<GatheredEntries>>;

  // Plays the current entry (Play without counting it as the user's choice).
  void PlayCurrent();
  // The list moves on after an input's end or a failure, under the end-of-list rules.
  void GoOn();
  void CreateFacade();
  // Stops the facade and lets it go; nothing it raises afterwards counts.
  void ReleaseFacade();
  // Connects the facade's handlers anew: notifications of what it played before are
  // dropped from now on.
  void ConnectFacade();
  void OpenFacade(const std::string& entry);
  void ApplyEqualizer();
  // The title a list file gave the loaded entry, or "".
  std::string ListTitle() const;
  void Tell(SessionChange change);
  void UseStartupList(std::vector<std::string> entries, bool fromDefaultList);
  void StartupListGathered(StartupEntries startup);
  void GatherNextDrop();

  // The engines' notifications, on the main thread.
  void NotifyPlayerState(int state);
  void NotifyInputPosition(uint32_t offset, uint32_t range);
  void NotifyInputTimecode(uint8_t hours, uint8_t minutes, uint8_t seconds);
  void NotifyInputStreamInfo(uint16_t bitrate, uint16_t frequency, uint8_t mode);
  void NotifyPlayerError(const std::string& message);
  void NotifyInputName(const std::string& name);

  PlayerSettings& settings_;
  FacadeFactory makeFacade_;
  MainLoop& loop_;
  SessionHost& host_;
  CurrentList list_;
  std::string loadedFile_;
  Id3v1Tag tag_;
  int trackNumber_ = 0;
  std::string coverPath_;  // the image file showing the loaded entry's cover, or ""
  std::string tagText_;
  std::string streamTitle_;
  std::unique_ptr<PlaybackFacade> facade_;
  uint64_t generation_ = 0;  // of the facade's handlers; queued notifications carry it
  bool paused_ = false;
  // Entries that failed one after the other; a whole list of them stops playback.
  int failedInRow_ = 0;
  // The start-up arguments gave nothing: an empty list does not replace the default list.
  bool keepDefaultList_ = false;
  uint32_t position_ = 0;
  uint32_t range_ = 0;
  int volumeLevel_ = 0;
  EqualizerRecord equalizer_{};
  TwoSecondThrottle infoThrottle_;
  SecondThrottle timeThrottle_;
  bool shutDown_ = false;
  std::map<WatchId, std::function<void(SessionChange)>> watchers_;
  WatchId nextWatch_ = 1;
  // Queued notifications hold it weakly: those that arrive after the session has gone
  // are dropped.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::deque<std::vector<std::string>> pendingDrops_;
  // Last: joined (asked to end first) before the state their completions use goes.
  std::unique_ptr<StartupLoad> startupLoad_;
  std::unique_ptr<DropLoad> dropLoad_;
};
