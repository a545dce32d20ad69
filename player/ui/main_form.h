// TMainForm: the player's main window. A skinned, shaped window that drives the player
// session, shows what it reports, and opens the player's other windows.
#pragma once

#include <QMenu>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <optional>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/ui/qt_main_loop.h"
#include "player/control/player_session.h"
#include "player/control/system_menu.h"
#include "player/playlist/player_settings.h"
#include "player/ui/main_skin_face.h"
#include "player/ui/player_window.h"

class TEqualizerForm;
class TPlayListForm;
class TID3Form;
class TAskLineForm;
// The maker and the player each have a main, an options and an about window of these
// names; each program's live in its own namespace.
namespace player {
class TAboutForm;
class TOptionsForm;
}  // namespace player
struct LoadedSkin;

namespace player {

// The window holds the controls and the player's other windows; the session behind it
// holds the list, the transport and the rules. Each button, key and menu item hands its
// action to the session.
class TMainForm : public TMainSkinFace, public PlayerWindow, private SessionHost {
  Q_OBJECT
 public:
  using Status = TransportState;

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
  bool StartupListPending() const { return session_.StartupListPending(); }
  // Saves the list and the windows' places into the settings and the default list file,
  // and stops playback. Called once, when the window closes. While the start-up list is
  // still being read, the default list file is left as it is (it would lose entries).
  void ShutDown();
  // Why the default list could not be saved at shut-down; empty when it was saved.
  const std::string& ListSaveError() const { return listSaveError_; }

  // The actions of the buttons, keys and menu items.
  void Play() { session_.Play(); }
  void Stop() { session_.Stop(); }
  void Pause() { session_.PauseOrResume(); }
  void Next() { session_.Next(); }
  void Previous() { session_.Previous(); }
  void Reverse() { session_.Reverse(); }
  void Forward() { session_.Forward(); }
  void Shuffle() { session_.Shuffle(); }
  void VolumeUp() { session_.VolumeUp(); }
  void VolumeDown() { session_.VolumeDown(); }
  void ShowPlayList();
  void ShowSetup();
  void ShowEqualizer();
  void ShowAbout();
  void RunSystemCommand(int id);
  // Files, folders and lists dropped or handed over: gathered on a worker thread, then
  // they join the list and the first of them plays; what was refused is shown in a
  // message box. DropsPending() while they are gathered.
  void AddAndPlayPaths(const std::vector<std::string>& paths) { session_.AddAndPlayPaths(paths); }
  bool DropsPending() const { return session_.DropsPending(); }
  // Restores the window and brings it to the front (a second start asked for it).
  void ShowFront() override;
  void QuitLater() override;
  // The keys of the window, shared with the equalizer window.
  void HandleKey(QKeyEvent* event);

  PlayerSession& Session() override { return session_; }
  const CurrentList& List() const { return session_.List(); }
  const std::string& LoadedFile() const { return session_.LoadedFile(); }
  Status PlaybackStatus() const { return session_.State(); }
  bool HasFacade() const { return session_.HasFacade(); }
  int VolumeLevel() const { return session_.VolumeLevel(); }
  uint32_t Range() const { return session_.Range(); }
  NowPlaying Now() const { return session_.Now(); }

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

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The wheel turns the volume: one step per notch, up away from the user.
  void wheelEvent(QWheelEvent* event) override;
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

  // SessionHost: what the session shows through this window.
  void ShowTitle(const std::string& text) override;
  void ShowInfo(const std::string& text) override;
  void ShowError(const std::string& fieldText, const std::string& message) override;
  void ShowTime(const std::string& time) override;
  void ShowVolumeLevel(int level) override;
  void ClearFields() override;
  void StartEndOfTrackWait() override { endOfTrackTimer_->start(); }
  void StopEndOfTrackWait() override { endOfTrackTimer_->stop(); }
  void OutputData(const void* data, uint32_t size) override;
  void PrintNotice(const std::string& text) override;
  void ShowNotice(const std::string& text) override;

  void SetLabel(SkinTextField field, const std::string& text);
  // What the session holds that the face shows without being told: the position slider,
  // the length beside the time, the window's title. On every change of the session and,
  // while not stopped, a few times a second.
  void SessionChanged(SessionChange change);
  void ShowPosition();
  void ShowProgress();
  void PositionChosen(uint32_t position);
  // The part of the start-up that needs no list: the equalizer window placed (and shown
  // when it was open), the context menu built. Once.
  void PlaceAndBuildMenus();
  void BuildSystemMenu();
  bool Exec(QDialog* dialog);
  QString LoadDisplay(const QString& folder);
  void ShowSkin(const LoadedSkin& skin);

  PlayerSettings& settings_;
  QtMainLoop loop_;  // for the engines' notifications and the list workers' completions
  bool labelsFrozen_ = false;
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
  int wheelEighths_ = 0;  // of a degree, turned and not yet a whole notch
  std::string timeText_ = "00:00";  // the time played, as the session last told it
  QTimer* positionTimer_;
  // A seek asked for and not yet reported by the engine: the knob stays there meanwhile
  // (at most kSeekSettleMs), rather than jumping back to the old position.
  std::optional<uint32_t> soughtTo_;
  QElapsedTimer soughtAt_;
  uint32_t shownRange_ = 0;  // the length the progress field shows (0: none)
  // Last: it lets its facade and workers go before the windows they report to.
  PlayerSession session_;
};

}  // namespace player
