// TPlayListForm: the modal "Play List" window in which the user edits a copy of the main
// window's list — add files, a folder tree or a URL, remove, clear, reorder, shuffle,
// sort, load and save list files, edit ID3 tags — and picks the entry to play.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/ui/qt_main_loop.h"
#include "common/worker_thread.h"
#include "player/playlist/list_entries.h"
#include "player/playlist/list_load_thread.h"
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
  // back when destroyed.
  TPlayListForm(PlayerSettings& settings, TID3Form* id3Form, TAskLineForm* askLineForm, QWidget* parent = nullptr);
  ~TPlayListForm() override;
  // Stores place and size into the settings (also done on destruction).
  void StoreSettings();

  void SetDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }

  // Fills the list with the main window's list; no entry is chosen yet.
  void SetList(const std::vector<std::string>& entries);
  std::vector<std::string> List() const { return list_.Texts(); }
  // The entry picked by a double click or Enter, -1 when the window closed otherwise.
  int ChosenIndex() const { return chosenIndex_; }
  const PlayList& Model() const { return list_; }
  // A list file (Load), a folder (Add Dir) or a drop is being read on a worker thread;
  // meanwhile only Cancel is enabled. Its entries join the end of the list when read.
  bool Gathering() const { return gather_ != nullptr; }

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
  // Enter in the list chooses the focused entry.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A close drops a list still being read; OK waits for it (its button is disabled).
  void done(int result) override;

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
  void TakeFocusBack();
  // Recomputes the buttons' enabled state from the list.
  void UpdateButtons();
  // Shows the model in the list box, selection included.
  void ShowList();
  // Runs gather on a worker thread; its entries are appended and its notices shown when
  // it ends.
  void Gather(std::function<GatheredEntries(const Cancelled&)> gather);

  using GatherLoad = Worker<TListLoadThread<GatheredEntries>>;

  PlayerSettings& settings_;
  TID3Form* id3Form_;
  TAskLineForm* askLineForm_;
  Dialogs dialogs_;
  PlayList list_;
  TPlayListModel* model_;
  int chosenIndex_ = -1;
  bool showing_ = false;  // ShowList is filling the box: selection changes are its own
  QtMainLoop loop_;       // for the gathering worker's completion
  std::unique_ptr<GatherLoad> gather_;  // last: ended before the list it fills
};

// The Add Files dialog's filter, as the platform's file dialog takes it.
QString AddFilesFilter();
