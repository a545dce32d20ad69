// TMainForm: the maker's main window. It leads through three steps (operation, target,
// execute), holds the CD track list and the file list, the two logs with their status
// panels, the output folder and the menus, and hands Start and Cancel to the job pipeline.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cdaccess/track_table.h"
#include "maker/cd/cd_device.h"
#include "maker/jobs/job_pipeline.h"
#include "maker/jobs/pipeline_host.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "maker/jobs/run_progress.h"
#include "maker/jobs/ui/find_read_offset_form.h"
#include "maker/jobs/ui/eliding_label.h"
#include "maker/metadata/cd_info.h"
#include "maker/settings/maker_texts.h"
#include "maker/settings/settings_table.h"

class QtMainLoop;
class MainFormHost;
class TDirectorySelectForm;
class TCDInfoForm;
struct ReadOffsetFinderJob;
// The maker and the player each have a main, an options and an about window of these
// names; each program's live in its own namespace.
namespace maker {
class TAboutForm;
class TOptionsForm;
}  // namespace maker

// A status panel: its text, and the percentage the text carries as a bar beside it.
class TStatusPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TStatusPanel(QWidget* parent = nullptr);
  void SetText(const QString& text);
  QString Text() const { return label_->FullText(); }
  // -1 while the text carries no percentage (the bar is hidden then).
  int Percent() const { return percent_; }
  // The share of its job the text gives (0 ... 1), -1 while it carries no percentage.
  double Share() const { return percent_ < 0 ? -1.0 : bar_->value() / 10000.0; }

 private:
  ElidingLabel* label_;
  QProgressBar* bar_;
  int percent_ = -1;
};

namespace maker {

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // `settings` are loaded already and outlive the window; the program saves them after the
  // window has closed. `loop` is the Qt main loop the workers hand their texts over to.
  TMainForm(SettingsTable& settings, QtMainLoop& loop, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The start-up of the window before it is first shown: caption, size and place, the
  // command line (paths relative to `startFolder`), the layout, the CD drives, the output
  // folder, the desktop shortcut.
  void FormCreate(const std::vector<std::string>& args, const std::string& startFolder);

  // Handlers of the controls and menus.
  void CD2MP3RadioButtonClick();
  void CD2WAVRadioButtonClick();
  void WAV2MP3RadioButtonClick();
  void MP32WAVRadioButtonClick();
  void InputCDComboBoxChange();
  void CDInfoButtonClick();
  void OutputPathButtonClick();
  void AddButtonClick();
  void AddDirButtonClick();
  void RemoveButtonClick();
  void ClearButtonClick();
  void TracksListClick();
  void FileListBoxClick();
  void StartButtonClick();
  void CancelButtonClick();
  void MenuFileOpenDiscImageClick();
  void MenuFileEjectClick();
  // Find Read Offset for the chosen drive (also Find on the options window's accuracy
  // page): the search runs on a worker thread behind a progress window that cancels it;
  // a found offset is saved for the drive model when the person agrees, a search that
  // finds none says why in a box.
  void MenuFileFindReadOffsetClick();
  void MenuFileExitClick();
  void MenuOptionsSettingsClick();
  void MenuOptionsPrioritySelectionClick(ThreadPriority priority);
  void MenuHelpContentsClick();
  void AboutButtonClick();

  // Paths that join the file list, as Add Files and Add Directory add them: folders give
  // the files Add Directory would collect; a file the operation does not take is refused
  // with a box that names it, and a file listed already is not listed again. Returns the
  // number of rows added.
  int AddPaths(const std::vector<std::string>& paths);
  // The layout rule for the selected operation and the window's size.
  void ApplyLayout();
  // The drive list anew; drive `select` (the first when it is not listed) is chosen and
  // its table of contents read.
  void RefreshDriveList(int select = 0);
  // The track list anew from the selected drive's table of contents.
  void RefreshTrackList();

  Operation SelectedOperation() const;
  JobPipeline& Pipeline() { return *pipeline_; }
  // The window as the pipeline's host.
  MainFormHost& Host() { return *host_; }
  const TrackTable& Tracks() const { return trackTable_; }
  // The folder CD runs write to (SettingsTable::OutputFolder).
  std::string OutputDirectory() const;
  // The CD information the runs use (the CD information window's state).
  CdInfo CdInformation() const;
  // How far the run is, as the title and RunProgressBar show it (not Running() when idle).
  const RunProgress& Progress() const { return runProgress_; }

  // Dialogs, replaceable by tests: the files Add Files offers for `filter`, the folder Add
  // Directory offers, how a modal window is run (true for OK), and the message boxes.
  std::function<QStringList(const QString& filter)> chooseFiles;
  std::function<QString()> chooseFolder;
  // The disc image Open Disc Image offers ("" for none).
  std::function<QString()> chooseDiscImage;
  std::function<bool(QDialog*)> execDialog;
  std::function<void(const QString& text, const QString& caption)> showError;
  std::function<bool(const QString& text, const QString& caption)> askYesNo;
  // The search of Find Read Offset, run on a worker thread (tests replace it).
  FindReadOffsetFn findReadOffset;
  // The one question before a run about the outputs of its jobs that exist (`paths`).
  std::function<ReplaceAnswer(const QStringList& paths)> askReplaceExisting;
  // True when a close is to stop a run without asking first (a termination signal asked
  // for it); unset: every close during a run asks.
  std::function<bool()> closeWithoutAsking;

  // The controls, by their names.
  QFrame* ButtonsPanel;
  QFrame* OperationsTopMarginPanel;
  QGroupBox* OperationsGroupBox;
  QRadioButton* CD2MP3RadioButton;
  QRadioButton* CD2WAVRadioButton;
  QRadioButton* WAV2MP3RadioButton;
  QRadioButton* MP32WAVRadioButton;
  QFrame* TargetTopMarginPanel;
  QFrame* TargetPanel;
  QGroupBox* CDTargetGroupBox;
  QComboBox* InputCDComboBox;
  QPushButton* CDInfoButton;
  QPushButton* OutputPathButton;
  QGroupBox* FileTargetGroupBox;
  QPushButton* AddButton;
  QPushButton* AddDirButton;
  QPushButton* RemoveButton;
  QPushButton* ClearButton;
  QFrame* ExecuteTopMarginPanel;
  QGroupBox* ExecuteGroupBox;
  QPushButton* StartButton;
  QPushButton* CancelButton;
  QProgressBar* RunProgressBar;  // the run's progress, shown while a run is going
  QFrame* TopMarginPanel;
  QFrame* ListsPanel;
  QFrame* ReaderPanel;
  QFrame* SelectedOutputDirectoryPanel;
  ElidingLabel* SelectedOutputDirectoryLabel;
  QListWidget* TracksList;
  QPlainTextEdit* ReaderLogMemo;
  TStatusPanel* ReaderStatusPanel;
  QFrame* EncoderPanel;
  QListWidget* FileListBox;
  QPlainTextEdit* EncoderLogMemo;
  TStatusPanel* EncoderStatusPanel;
  QFileDialog* FileOpenDialog;
  QMenuBar* MainMenu;
  QMenu* MenuFile;
  QAction* MenuFileOpenDiscImage;
  QAction* MenuFileEject;
  QAction* MenuFileFindReadOffset;
  QAction* MenuFileExit;
  QMenu* MenuOptions;
  QAction* MenuOptionsSettings;
  QMenu* MenuOptionsPriority;
  QAction* MenuOptionsPriorityIdle;
  QAction* MenuOptionsPriorityLowest;
  QAction* MenuOptionsPriorityLower;
  QAction* MenuOptionsPriorityNormal;
  QAction* MenuOptionsPriorityHigher;
  QAction* MenuOptionsPriorityHighest;
  QMenu* MenuHelp;
  QAction* MenuHelpContents;
  QAction* MenuHelpAbout;

  TDirectorySelectForm* DirectorySelectForm() const { return directorySelectForm_.get(); }
  TAboutForm* AboutForm() const { return aboutForm_.get(); }
  TCDInfoForm* CDInfoForm() const { return cdInfoForm_.get(); }
  TOptionsForm* OptionsForm() const { return optionsForm_.get(); }
  // The progress window of the search going on (nullptr when none is).
  TFindReadOffsetForm* FindReadOffsetForm() const { return findReadOffsetForm_; }

  // Applies the active language file to the window (section "MP3 Maker Main").
  void Translate();

  // The widget of a control the job pipeline addresses.
  QObject* Control(MakerControl control) const;
  // The components offered to the language file (section "MP3 Maker Main"), by name.
  std::vector<std::pair<QObject*, std::string>> TranslatableComponents() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class ::MainFormHost;
  void BuildControls();
  void BuildMenus();
  // The buttons panel as wide as the captions of its groups need (again after a translation).
  void FitButtonsPanel();
  void ConnectHandlers();
  void UpdateFileListButtons();
  void UpdateStartForTracks();
  // Shows the folder CD runs write to: OutputPath when it names an existing folder, else
  // the user's music folder (OutputPath then stays empty).
  void ShowOutputDirectory();
  // "Output Path: folder" in the window's language.
  void ShowOutputPath(const std::string& folder);
  void AppendFileRows(const std::vector<std::string>& paths);
  // Lists the disc images whose files exist as drives (after the real drives); the reader
  // log names those that are missing. Takes effect at the next cd_.Initialize().
  void UseDiscImages(const std::vector<std::string>& images);
  // Runs Find Read Offset over `owner` (the main window or the options window) and
  // returns the offset saved, if any.
  std::optional<int> FindReadOffset(QWidget* owner);
  // The search itself, on the search's thread: the disc's AccurateRip record, then the
  // finder reading the tracks of `finderJob` widened and trying offsets.
  ReadOffsetOutcome SearchReadOffset(const ReadOffsetFinderJob& finderJob, const ReadOffsetQuest& quest,
                                     const std::function<void(ReadOffsetStage)>& stage,
                                     const std::function<bool()>& cancelled);
  // Open Disc Image, Eject and Find Read Offset are offered when no run is going; Eject
  // for a real drive, Find Read Offset for a drive with a disc.
  void UpdateFileMenu();
  // The run's progress in the title and RunProgressBar ("Track 3 of 12 – 41 % – 2 min
  // left"), from the rows' states and the status panels' shares (main_form_progress.cpp).
  void UpdateTitle();
  // A run began (its busy state) or ended: the jobs of the run are the selected tracks or
  // every file row, in row order.
  void RunBusyChanged(bool busy);
  // A row's job changed its state.
  void RunRowStatusChanged(JobList list, int row, JobStatus status);
  // A status panel's text changed: its share is the share of the job in its stage.
  void RunPanelChanged(MakerPanel panel);
  // Waits, with the loop turning, until the pipeline's workers have ended.
  void WaitForWorkers();
  bool Exec(QDialog* dialog);
  // The drive the options window's accuracy page keeps the read offset of.
  void ShowDriveInOptions();

  SettingsTable& settings_;
  QtMainLoop& loop_;
  CdLayer cd_;   // this window's drives and disc images; outlives the workers that read them
  std::unique_ptr<MainFormHost> host_;
  std::unique_ptr<RealJobWorkerFactory> factory_;
  std::unique_ptr<JobPipeline> pipeline_;
  std::unique_ptr<TDirectorySelectForm> directorySelectForm_;
  std::unique_ptr<TAboutForm> aboutForm_;
  std::unique_ptr<TOptionsForm> optionsForm_;
  std::unique_ptr<TCDInfoForm> cdInfoForm_;
  TrackTable trackTable_{};
  MakerTexts texts_;            // the run-time texts in the window's language
  std::string shownOutputPath_;  // the folder SelectedOutputDirectoryLabel names
  std::string startFolder_;
  std::string caption_;
  RunProgress runProgress_;
  TFindReadOffsetForm* findReadOffsetForm_ = nullptr;
  std::vector<int> runRows_;  // the rows of the run's jobs, in run order
  QString title_;             // the title last set
  bool cdOpen_ = false;
  bool anyDrive_ = false;  // the drive list names a drive
  bool shown_ = false;
  bool closing_ = false;
  bool resizing_ = false;
};

}  // namespace maker
