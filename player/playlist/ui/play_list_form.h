// TPlayListForm: the "Play List" window beside the main window, showing and editing the
// player's own list: add files, a folder tree or a URL, remove, clear, reorder (buttons or
// dragging), shuffle, sort, load and save list files, edit tags, and play an entry. Every
// edit applies to the session at once; the window follows what the session does (the
// entry playing is marked, drops on the main window appear). Closing only hides it.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/ui/qt_main_loop.h"
#include "common/worker_thread.h"
#include "player/control/player_session.h"
#include "player/playlist/list_entries.h"
#include "player/playlist/list_load_thread.h"
#include "player/playlist/list_rows.h"
#include "player/playlist/play_list.h"
#include "player/playlist/player_settings.h"
#include "player/playlist/ui/play_list_view.h"

class TID3Form;
class TAskLineForm;

class TPlayListForm : public QDialog {
  Q_OBJECT
 public:
  // The platform's dialogs, replaced by tests. Each returns an empty result when cancelled.
  struct Dialogs {
    std::function<QStringList(QWidget*)> chooseFiles;       // Add Files (several, existing)
    std::function<QString(QWidget*)> chooseFolder;          // Add Dir ("Select Directory")
    std::function<QString(QWidget*)> chooseListToLoad;      // Load
    std::function<QString(QWidget*)> chooseListToSave;      // Save
    std::function<void(QWidget*, const QString& caption, const QString& text)> showError;
  };

  // Takes its place and size from the stored geometry, fitted to the screen; stores them
  // back when destroyed. Watches session, which must outlive it.
  TPlayListForm(PlayerSettings& settings, PlayerSession& session, TID3Form* id3Form, TAskLineForm* askLineForm,
                QWidget* parent = nullptr);
  ~TPlayListForm() override;
  // Stores place and size into the settings (also done on destruction).
  void StoreSettings();

  void SetDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }

  // Shows the window over the others, with the session's list.
  void ShowAndRaise();
  std::vector<std::string> List() const { return list_.Texts(); }
  const PlayList& Model() const { return list_; }
  // A list file (Load), a folder (Add Dir) or a drop is being read on a worker thread;
  // meanwhile the buttons that change the list are disabled. Its entries join the end of
  // the list when read, whether the window is open or not.
  bool Gathering() const { return gather_ != nullptr; }
  // Tags and playing times of the entries are being read on a worker thread.
  bool ReadingInfo() const { return infoLoad_ != nullptr; }

  TPlayListBox* FileListBox;
  QPushButton* AddButton;
  QPushButton* AddDirectoryButton;
  QPushButton* AddURLButton;
  QPushButton* RemoveButton;
  QPushButton* ClearButton;
  QPushButton* MoveUpButton;
  QPushButton* MoveDownButton;
  QPushButton* ShuffleButton;
  QPushButton* SortButtonButton;
  QPushButton* ReverseSortButton;
  QPushButton* EditID3Button;
  QPushButton* LoadButton;
  QPushButton* SaveButton;
  QPushButton* CancelButton;
  QPushButton* OKButton;

 protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // Enter in the list plays the focused entry, Delete removes the selection.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AddButtonClick();
  void AddDirectoryButtonClick();
  void AddURLButtonClick();
  void RemoveButtonClick();
  void ClearButtonClick();
  void MoveUpButtonClick();
  void MoveDownButtonClick();
  void ShuffleButtonClick();
  void SortButtonButtonClick();
  void ReverseSortButtonClick();
  void EditID3ButtonClick();
  void LoadButtonClick();
  void SaveButtonClick();
  void FileListBoxSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
  void FileListBoxChoose(int row);
  void FileListBoxRowsDropped(const QList<int>& rows, int row);
  void TakeFocusBack();
  // Recomputes the buttons' enabled state from the list.
  void UpdateButtons();
  // Shows the model in the list box, selection included.
  void ShowList();
  // Hands the edited list to the session. currentRemoved: the edit removed the current
  // entry (the list's current mark is then on the entry that took its place).
  void Commit(bool currentRemoved = false, const std::vector<ListEntry>& described = {});
  // Takes the session's list (when it differs) and its entry playing.
  void FollowSession();
  // Reads the tags and playing times of entries not read yet, a batch at a time.
  void ReadMissingInfo();
  // The text a row shows, for Sort.
  std::string ShownText(const std::string& entry) const;
  // Runs gather on a worker thread; its entries are appended and its notices shown when
  // it ends.
  void Gather(std::function<GatheredEntries(const Cancelled&)> gather);

  using GatherLoad = Worker<TListLoadThread<GatheredEntries>>;
  using InfoLoad = Worker<TListLoadThread<std::vector<std::pair<std::string, EntryInfo>>>>;

  PlayerSettings& settings_;
  PlayerSession& session_;
  PlayerSession::WatchId watch_ = 0;
  TID3Form* id3Form_;
  TAskLineForm* askLineForm_;
  Dialogs dialogs_;
  PlayList list_;
  std::unordered_map<std::string, EntryInfo> info_;  // by entry text; read once per text
  size_t infoScan_ = 0;  // the entries before it are read or being read
  TPlayListModel* model_;
  bool showing_ = false;  // ShowList is filling the box: selection changes are its own
  QtMainLoop loop_;       // for the workers' completions
  // Last: ended before the list and the info they fill.
  std::unique_ptr<GatherLoad> gather_;
  std::unique_ptr<InfoLoad> infoLoad_;
};

// The Add Files dialog's filter, as the platform's file dialog takes it.
QString AddFilesFilter();
