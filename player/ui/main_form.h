// TMainForm: the player's main window. A skinned, shaped window that owns the current
// list, plays its entries through one playback facade per opened file, shows what the
// engines report, and opens the player's other windows.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/id3v1_tag.h"
#include "common/ui/qt_main_loop.h"
#include "common/worker_thread.h"
#include "player/control/now_playing.h"
#include "player/control/playback_facade.h"
#include "player/control/player_texts.h"
#include "player/playlist/current_list.h"
#include "player/playlist/list_entries.h"
#include "player/playlist/list_load_thread.h"
#include "player/playlist/play_list_file.h"
#include "player/playlist/player_settings.h"
#include "player/ui/main_skin_face.h"

class TEqualizerForm;
class TPlayListForm;
class TID3Form;
class TAskLineForm;
class TAboutForm;
class TOptionsForm;
struct LoadedSkin;

// The commands of the context menu (the window's system menu), by their identifiers.
enum SystemCommand : int {
  kCommandPrevious = 512,
  kCommandNext = 513,
  kCommandPause = 514,
  kCommandStop = 515,
  kCommandPlay = 516,
  kCommandReverse = 517,
  kCommandForward = 518,
  kCommandEqualizer = 519,
  kCommandPlayList = 520,
  kCommandShuffle = 521,  // a key only, no menu item
  kCommandAbout = 522,
  kCommandVolumeUp = 523,
  kCommandVolumeDown = 524,
};

class TMainForm : public TMainSkinFace {
  Q_OBJECT
 public:
  enum class Status { Stopped, Playing, Paused };

  // settings: loaded already; the program writes them after ShutDown. makeFacade gives a
  // new facade for each opened file.
  TMainForm(PlayerSettings& settings, FacadeFactory makeFacade, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Reads a skin folder and, when it can be shown, applies it to this window and the
  // equalizer window, text updates held back meanwhile. Returns why it cannot be shown (the
  // windows keep their skin), else the rectangles that were cut to their window.
  QString ApplySkinFolder(const QString& folder);
  // At start: applies the active skin, or the shipped default when the per-user skin cannot
  // be shown, with a message box saying why. Returns what to print on stderr.
  QString ApplyStartSkin();
  // The rest of the start-up: the entries given (else the default list, at the stored
  // index), placing the equalizer window, playing, the context menu. The default list is
  // read on a worker thread; it plays once it is there (StartupListPending until then).
  void Start(const std::vector<std::string>& commandLineEntries);
  // Start with the program's arguments: files, folders, lists and URLs are looked at and
  // read on a worker thread (a list of 100,000 lines, a folder tree, a list that is a
  // FIFO never hold up the window), then the list plays as Start does. What was refused
  // on the way is told through printNotice.
  void StartWithArguments(const std::vector<std::string>& arguments);
  bool StartupListPending() const { return startupLoad_ != nullptr; }
  // Saves the list and the windows' places into the settings and the default list file,
  // and stops playback. Called once, when the window closes. While the start-up list is
  // still being read, the default list file is left as it is (it would lose entries).
  void ShutDown();
  // Why the default list could not be saved at shut-down; empty when it was saved.
  const std::string& ListSaveError() const { return listSaveError_; }

  // The actions of the buttons, keys and menu items.
  void Play();
  void Stop();
  void Pause();
  void Next();
  void Previous();
  void Reverse();
  void Forward();
  void Shuffle();
  void VolumeUp();
  void VolumeDown();
  void ShowPlayList();
  void ShowSetup();
  void ShowEqualizer();
  void ShowAbout();
  void RunSystemCommand(int id);
  // Entries dropped or handed over: they join the list and the first of them plays.
  // False when there were none.
  bool AddAndPlay(const std::vector<std::string>& entries);
  // Files, folders and lists dropped or handed over: gathered on a worker thread, then
  // they join the list and the first of them plays; what was refused is shown in a
  // message box. DropsPending() while they are gathered.
  void AddAndPlayPaths(const std::vector<std::string>& paths);
  bool DropsPending() const { return dropLoad_ != nullptr || !pendingDrops_.empty(); }
  // Restores the window and brings it to the front (a second start asked for it).
  void ShowFront();
  // The keys of the window, shared with the equalizer window.
  void HandleKey(QKeyEvent* event);

  const CurrentList& List() const { return list_; }
  const std::string& LoadedFile() const { return loadedFile_; }
  Status PlaybackStatus() const;
  bool HasFacade() const { return facade_ != nullptr; }
  PlaybackFacade* Facade() const { return facade_.get(); }
  int VolumeLevel() const { return volumeLevel_; }
  void SetVolumeLevel(int level);
  uint32_t Position() const { return position_; }
  uint32_t Range() const { return range_; }
  NowPlaying Now() const;
  const std::string& TagText() const { return tagText_; }

  TEqualizerForm* EqualizerForm() const { return eqForm_.get(); }
  TPlayListForm* PlayListForm() const { return playListForm_.get(); }
  TID3Form* ID3Form() const { return id3Form_.get(); }
  TAskLineForm* AskLineForm() const { return askLineForm_.get(); }
  TAboutForm* AboutForm() const { return aboutForm_.get(); }
  QTimer* EndOfTrackTimer() const { return endOfTrackTimer_; }
  QMenu* SystemMenu() const { return systemMenu_; }
  // Rebuilt each time it opens (on the title field); exposed for tests.
  QMenu* BuildFileListPopupMenu();

  // Tests run the modal windows their own way: each gets the window and returns whether
  // it closed with OK.
  std::function<bool(QDialog*)> execDialog;
  // What was refused while the start-up list was gathered (a line too long in the default
  // list, a list that is a FIFO): on the terminal, where a start from it looks.
  std::function<void(const std::string&)> printNotice;
  // What was refused of a drop: in a message box over the window.
  std::function<void(const QString& text)> showNotice;

 Q_SIGNALS:
  // Stopped, playing or paused changed.
  void PlaybackStatusChanged();
  // The entry playing or what is known about it (tag, stream title, length) changed.
  void NowPlayingChanged();
  void VolumeLevelChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  // Fits the place to the screen (a stored place off screen, a skin grown at the edge)
  // once the skin has given the window its size.
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ButtonClick(SkinButton button);
  // Facade handlers, on the GUI thread.
  void NotifyPlayerState(int state);
  void NotifyInputPosition(uint32_t offset, uint32_t range);
  void NotifyInputTimecode(uint8_t hours, uint8_t minutes, uint8_t seconds);
  void NotifyInputStreamInfo(uint16_t bitrate, uint16_t frequency, uint8_t mode);
  void NotifyPlayerError(const std::string& message);
  void NotifyInputName(const std::string& name);
  void EndOfTrackTimerTimer();

  void CreateFacade();
  // Connects the facade's handlers anew: notifications of what it played before are
  // dropped from now on.
  void ConnectFacade();
  void OpenFacade(const std::string& entry);
  void ApplyEqualizer();
  void SetLabel(SkinTextField field, const std::string& text);
  void ShowFileLabel(const std::string& text);
  void ClearLabels();
  // The start-up list has been gathered: it becomes the list (when nothing else has
  // meanwhile) and plays.
  void StartupListGathered(StartupEntries startup);
  // The part of the start-up that needs no list: the equalizer window placed (and shown
  // when it was open), the context menu built. Once.
  void PlaceAndBuildMenus();
  void GatherNextDrop();
  void UseStartupList(std::vector<std::string> entries, bool fromDefaultList);
  void ShowVolumeLevel();
  void BuildSystemMenu();
  bool Exec(QDialog* dialog);
  QString LoadDisplay(const QString& folder);
  void ShowSkin(const LoadedSkin& skin);

  using StartupLoad = Worker<TListLoadThread<StartupEntries>>;
  using DropLoad = Worker<TListLoadThread<GatheredEntries>>;

  PlayerSettings& settings_;
  FacadeFactory makeFacade_;
  QtMainLoop loop_;  // for the list workers' completions
  CurrentList list_;
  std::string loadedFile_;
  Id3v1Tag tag_;
  std::string tagText_;
  std::string streamTitle_;
  std::unique_ptr<PlaybackFacade> facade_;
  uint64_t generation_ = 0;  // of the facade's handlers; queued notifications carry it
  bool paused_ = false;
  uint32_t position_ = 0;
  uint32_t range_ = 0;
  int volumeLevel_ = 0;
  TwoSecondThrottle infoThrottle_;
  SecondThrottle timeThrottle_;
  bool labelsFrozen_ = false;
  bool shutDown_ = false;
  bool followMoves_ = false;  // the equalizer window moves with this one
  QPoint lastPos_;
  QTimer* endOfTrackTimer_;
  QMenu* systemMenu_;
  QMenu* fileListPopupMenu_;
  std::unique_ptr<TEqualizerForm> eqForm_;
  std::unique_ptr<TID3Form> id3Form_;
  std::unique_ptr<TAskLineForm> askLineForm_;
  std::unique_ptr<TPlayListForm> playListForm_;
  std::unique_ptr<TAboutForm> aboutForm_;
  std::string listSaveError_;
  bool started_ = false;
  std::deque<std::vector<std::string>> pendingDrops_;
  // Last: joined (asked to end first) before the state their completions use goes.
  std::unique_ptr<StartupLoad> startupLoad_;
  std::unique_ptr<DropLoad> dropLoad_;
};
