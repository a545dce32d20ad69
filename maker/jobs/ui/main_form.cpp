// TMainForm: the maker's main window.
#include "maker/jobs/ui/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "common/paths.h"
#include "common/ui/qt_main_loop.h"
#include "maker/cd/cd_device.h"
#include "maker/cd/cd_drive_menu.h"
#include "cdaccess/cd_drive_list.h"
#include "maker/jobs/directory_files.h"
#include "maker/jobs/input_files.h"
#include "maker/jobs/job_rows.h"
#include "maker/jobs/main_window_layout.h"
#include "maker/jobs/maker_data_files.h"
#include "maker/jobs/maker_shortcut.h"
#include "maker/jobs/ui/about_form.h"
#include "maker/jobs/ui/directory_select_form.h"
#include "maker/jobs/ui/main_form_host.h"
#include "maker/jobs/ui/maker_application.h"
#include "maker/jobs/ui/replace_question.h"
#include "maker/metadata/cd_info_settings.h"
#include "maker/metadata/ui/cd_info_form.h"
#include "maker/settings/ui/options_form.h"
#include "maker/settings/ui/translate_form.h"

using maker::TAboutForm;
using maker::TMainForm;
using maker::TOptionsForm;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool CdOperation(Operation operation) { return operation == Operation::CD2MP3 || operation == Operation::CD2WAV; }

// The desktop adds the program's display name ("— Zimbar MP3 Maker") to every title.
constexpr const char* kCaption = "zbmaker (v%1)";
constexpr const char* kProgramVersion = "1.3A";
constexpr const char* kWavFilter = "PCM WAV files (*.wav)";
// Every file decoding takes (KindOfInput); "*.mp?" holds ".mp3", ".mp2", ".mp1" and ".mp4".
constexpr const char* kMpegFilter =
    "Audio files (*.mp?,*.aac,*.flac,*.ogg,*.oga,*.opus,*.m4a) (*.mp? *.aac *.flac *.ogg *.oga *.opus *.m4a)";
constexpr const char* kStopRunQuestion = "A run is in progress. Stop it and close?";

std::vector<std::string> ListedPaths(const QListWidget* list) {
  std::vector<std::string> paths;
  for (int row = 0; row < list->count(); ++row) paths.push_back(FileRowPath(list->item(row)->text().toStdString()));
  return paths;
}

// Takes the rows whose files the operation does not take off the list; the log says how many.
void RemoveRowsNotFitting(QListWidget* list, QPlainTextEdit* log, Operation operation, const MakerTexts& texts) {
  int removed = 0;
  for (int row = list->count() - 1; row >= 0; --row) {
    if (FitsOperation(FileRowPath(list->item(row)->text().toStdString()), operation)) continue;
    delete list->takeItem(row);
    ++removed;
  }
  if (removed > 0) log->appendPlainText(Q(texts.Shown(RemovedFilesText(removed, operation))));
}

}  // namespace

TMainForm::TMainForm(SettingsTable& settings, QtMainLoop& loop, QWidget* parent)
    : QMainWindow(parent), settings_(settings), loop_(loop) {
  setObjectName(QStringLiteral("MainForm"));
  BuildControls();
  BuildMenus();
  host_ = std::make_unique<MainFormHost>(*this);
  factory_ = std::make_unique<RealJobWorkerFactory>(loop_, *host_);
  factory_->UseCdLayer(cd_);
  pipeline_ = std::make_unique<JobPipeline>(loop_, *host_, *factory_, settings_, ProbeOutsideLibrary);
  // The other windows, created hidden in this order and shown modally when asked for.
  directorySelectForm_ = std::make_unique<TDirectorySelectForm>(this);
  aboutForm_ = std::make_unique<TAboutForm>(this);
  optionsForm_ = std::make_unique<TOptionsForm>(settings_, this);
  cdInfoForm_ = std::make_unique<TCDInfoForm>(settings_, loop_, this);
  connect(optionsForm_.get(), &TOptionsForm::languageLoaded, this, [this] {
    Translate();
    cdInfoForm_->Translate();
  });
  connect(optionsForm_.get(), &TOptionsForm::findReadOffsetRequested, this, GuardedHandler([this] {
    if (const auto saved = FindReadOffset(optionsForm_.get())) optionsForm_->ShowReadOffset(*saved);
  }));

  chooseFiles = [this](const QString& filter) {
    FileOpenDialog->setNameFilter(filter);
    return FileOpenDialog->exec() == QDialog::Accepted ? FileOpenDialog->selectedFiles() : QStringList();
  };
  chooseDiscImage = [this] {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Open Disc Image"), QString(),
                                        QStringLiteral("Disc images (*.cue *.toc)"));
  };
  chooseFolder = [this] {
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Select Directory"), QString(),
                                             QFileDialog::ShowDirsOnly);
  };
  showError = [this](const QString& text, const QString& caption) {
    // Every box of the window speaks its language, whoever wrote the text.
    QMessageBox::critical(this, Q(texts_.Shown(caption.toStdString())), Q(texts_.Shown(text.toStdString())));
  };
  // No is the default: Enter or a stray key press never stops a run or replaces a file.
  askYesNo = [this](const QString& text, const QString& caption) {
    return QMessageBox::question(this, Q(texts_.Shown(caption.toStdString())), Q(texts_.Shown(text.toStdString())),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
  };
  askReplaceExisting = [this](const QStringList& paths) { return AskReplaceExistingBox(this, paths, texts_); };
  directorySelectForm_->showError = [this](const QString& text, const QString& caption) {
    showError(text, caption);
  };
  ConnectHandlers();
  setAcceptDrops(true);
}

TMainForm::~TMainForm() {
  // The pipeline's workers hand texts over to this window; they go before its controls
  // and the CD information window the runs read.
  pipeline_.reset();
  factory_.reset();
  cdInfoForm_.reset();
  optionsForm_.reset();
  if (cdOpen_) cd_.Shutdown();
}

void TMainForm::FormCreate(const std::vector<std::string>& args, const std::string& startFolder) {
  startFolder_ = startFolder;
  Translate();
  optionsForm_->Translate();
  cdInfoForm_->Translate();
  caption_ = QString::fromUtf8(kCaption).arg(QString::fromUtf8(kProgramVersion)).toStdString();
  setWindowTitle(Q(caption_));
  setMinimumSize(kMainWindowMinWidth, kMainWindowMinHeight);

  // Size and place on the screen's free area.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    const WindowRect r = InitialMainWindowRect({area.left(), area.top(), area.width(), area.height()});
    resize(r.width, r.height);
    move(r.left, r.top);
  }
  TargetPanel->setFixedHeight(std::max(CDTargetGroupBox->sizeHint().height(), FileTargetGroupBox->sizeHint().height()));

  const CommandLineFiles files = pipeline_->ApplyCommandLine(args, JobPipeline::CommandLineInputs::ByKind);
  for (const auto& missing : files.missing) EncoderLogMemo->appendPlainText(Q(texts_.Shown("Warning: no such file: " + missing)));
  for (const auto& refused : files.refused)
    EncoderLogMemo->appendPlainText(Q(texts_.Shown("Warning: not added: " + refused.path + " (" + refused.reason + ")")));
  ApplyLayout();
  MenuOptionsPriorityNormal->setChecked(true);

  UseDiscImages(MergeDiscImages({}, settings_.discImages));
  if (cd_.Initialize() != 0) {
    // Shown once the window is up, so the box has a window to belong to.
    QTimer::singleShot(0, this, [this] {
      showError(QStringLiteral("ERROR: Cannot initialize CD Devices"), QString::fromUtf8(kMakerErrorCaption));
    });
  } else {
    cdOpen_ = true;
    RefreshDriveList();
  }
  ShowOutputDirectory();

  const std::string program = MakerProgramPath();
  if (auto made = CreateMakerShortcutOnce(settings_, DesktopFolder(), program); !made)
    EncoderLogMemo->appendPlainText(Q(texts_.Shown("Warning: " + made.Error().Message())));
}

Operation TMainForm::SelectedOperation() const {
  if (CD2WAVRadioButton->isChecked()) return Operation::CD2WAV;
  if (WAV2MP3RadioButton->isChecked()) return Operation::WAV2MP3;
  if (MP32WAVRadioButton->isChecked()) return Operation::MP32WAV;
  return Operation::CD2MP3;
}

void TMainForm::ApplyLayout() {
  if (!pipeline_) return;
  const Operation operation = SelectedOperation();
  const int listsHeight = std::max(0, centralWidget()->height() - TopMarginPanel->height() - 4);
  const MainWindowLayout l = LayOutMainWindow(operation, centralWidget()->height(), listsHeight);
  CDTargetGroupBox->setVisible(l.cdTarget);
  FileTargetGroupBox->setVisible(!l.cdTarget);
  FileListBox->setVisible(l.fileList);
  ReaderPanel->setVisible(l.readerPanel);
  EncoderPanel->setVisible(l.encoderPanel);
  auto* lists = static_cast<QVBoxLayout*>(ListsPanel->layout());
  if (l.readerFillsLists) {
    ReaderPanel->setMinimumHeight(0);
    ReaderPanel->setMaximumHeight(QWIDGETSIZE_MAX);
    lists->setStretchFactor(ReaderPanel, 1);
  } else {
    ReaderPanel->setFixedHeight(std::max(0, l.readerPanelHeight));
    lists->setStretchFactor(ReaderPanel, 0);
  }
  TracksList->setFixedHeight(std::max(40, l.tracksListHeight));
  FileListBox->setFixedHeight(std::max(40, l.fileListHeight));
  MenuOptionsPriority->setEnabled(l.priorityMenu);
  if (!pipeline_->Busy()) StartButton->setToolTip(Q(texts_.Shown(l.startHint)));
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!resizing_ && pipeline_) {
    const WindowRect snapped = SnapMainWindowSize({x(), y(), width(), height()});
    if (snapped.width != width() || snapped.height != height()) {
      resizing_ = true;
      resize(snapped.width, snapped.height);
      resizing_ = false;
    }
  }
  ApplyLayout();
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  ApplyLayout();
  // The first show: idle state, then Start when files came on the command line. Queued,
  // so the window is drawn before the first job starts.
  QTimer::singleShot(0, this, [this] { pipeline_->FormShow(); });
}

void TMainForm::CD2MP3RadioButtonClick() {
  ApplyLayout();
  UpdateStartForTracks();
}

void TMainForm::CD2WAVRadioButtonClick() {
  ApplyLayout();
  UpdateStartForTracks();
}

void TMainForm::WAV2MP3RadioButtonClick() {
  ApplyLayout();
  RemoveRowsNotFitting(FileListBox, EncoderLogMemo, Operation::WAV2MP3, texts_);
  UpdateFileListButtons();
}

void TMainForm::MP32WAVRadioButtonClick() {
  ApplyLayout();
  RemoveRowsNotFitting(FileListBox, EncoderLogMemo, Operation::MP32WAV, texts_);
  UpdateFileListButtons();
}

void TMainForm::UpdateStartForTracks() {
  if (pipeline_->Busy()) return;
  StartButton->setEnabled(!TracksList->selectedItems().isEmpty());
}

void TMainForm::UpdateFileListButtons() {
  if (pipeline_->Busy()) return;
  const bool rows = FileListBox->count() > 0;
  RemoveButton->setEnabled(rows && !FileListBox->selectedItems().isEmpty());
  ClearButton->setEnabled(rows);
  const Operation operation = SelectedOperation();
  if (operation == Operation::WAV2MP3 || operation == Operation::MP32WAV) StartButton->setEnabled(rows);
}

void TMainForm::RefreshDriveList(int select) {
  const CdDriveMenu menu = BuildCdDriveMenu(cd_, settings_.useWinNtRawRead != 0);
  {
    const QSignalBlocker block(InputCDComboBox);
    InputCDComboBox->clear();
    // Drive names stay as the drives give them; "No CD-ROM Drive Found" is the window's.
    for (const auto& name : menu.items) InputCDComboBox->addItem(Q(menu.anyDrive ? name : texts_.Shown(name)));
  }
  anyDrive_ = menu.anyDrive;
  InputCDComboBox->setEnabled(menu.anyDrive);
  if (!menu.anyDrive) {
    // A computer without a CD drive is normal: the disabled list says "No CD-ROM Drive
    // Found" and the CD operations cannot start, with no box to dismiss first.
    TracksList->clear();
    trackTable_ = TrackTable{};
    cdInfoForm_->SetTracks(trackTable_);
    cdInfoForm_->SetLoadFromCddbEnabled(false);
    if (CdOperation(SelectedOperation())) StartButton->setEnabled(false);
    return;
  }
  InputCDComboBox->setCurrentIndex(select >= 0 && select < InputCDComboBox->count() ? select : 0);
  RefreshTrackList();
}

void TMainForm::RefreshTrackList() {
  // Start follows the track list in the CD operations only: a refresh after the options
  // window leaves a file operation's Start as its file list has it.
  const bool cdOperation = CdOperation(SelectedOperation());
  if (cdOperation) StartButton->setEnabled(false);
  if (InputCDComboBox->currentIndex() < 0 || !InputCDComboBox->isEnabled()) return;
  const QSignalBlocker block(TracksList);
  TracksList->clear();
  const int drive = InputCDComboBox->currentIndex();
  DiscText discText;
  if (!RefreshTrackTable(cd_, drive, trackTable_, discText)) {
    trackTable_ = TrackTable{};
    cdInfoForm_->SetTracks(trackTable_, cd_.DrivePath(drive));
    cdInfoForm_->FillFromDiscText({}, 0);
    cdInfoForm_->SetLoadFromCddbEnabled(false);
    if (const std::string problem = cd_.DriveProblem(drive); !problem.empty())
      ReaderLogMemo->appendPlainText(Q(texts_.Shown("    Error: " + problem)));
    return;
  }
  // The CD window shows this disc's information (none for a disc not seen before); the
  // disc's own titles name the rows the user has not named there.
  cdInfoForm_->SetTracks(trackTable_, cd_.DrivePath(drive));
  cdInfoForm_->FillFromDiscText(discText, trackTable_.trackCount);
  for (int track = 1; track <= trackTable_.trackCount; ++track) {
    const std::string name = CdTrackRowName(cdInfoForm_->TrackRowText(track - 1));
    TracksList->addItem(Q(texts_.Row(TrackRowText(status::kPending, track, trackTable_.length[size_t(track)], name))));
    TracksList->item(track - 1)->setSelected(true);
  }
  cdInfoForm_->SetLoadFromCddbEnabled(TracksList->count() > 0);
  if (cdOperation && !pipeline_->Busy()) StartButton->setEnabled(!TracksList->selectedItems().isEmpty());
  if (settings_.adjustCdSpeed != 0) cd_.SetSpeed(drive, CdSpeedKBps(settings_.cdSpeed));
}

void TMainForm::InputCDComboBoxChange() { RefreshTrackList(); }

void TMainForm::TracksListClick() {
  const Operation operation = SelectedOperation();
  if (operation == Operation::CD2MP3 || operation == Operation::CD2WAV) UpdateStartForTracks();
}

void TMainForm::FileListBoxClick() { UpdateFileListButtons(); }

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  // Keys that change the selection reach the handlers through itemSelectionChanged; the
  // Delete key on the file list removes the selected rows as Remove does.
  if (watched == FileListBox && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && RemoveButton->isEnabled()) {
    RemoveButtonClick();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::CDInfoButtonClick() {
  cdInfoForm_->SetLoadFromCddbEnabled(TracksList->count() > 0);
  if (!Exec(cdInfoForm_.get())) return;
  // The rows anew with the names of the window's rows, every track selected.
  const QSignalBlocker block(TracksList);
  for (int track = 1; track <= trackTable_.trackCount && track <= TracksList->count(); ++track) {
    const std::string name = CdTrackRowName(cdInfoForm_->TrackRowText(track - 1));
    TracksList->item(track - 1)->setText(
        Q(texts_.Row(TrackRowText(status::kPending, track, trackTable_.length[size_t(track)], name))));
    TracksList->item(track - 1)->setSelected(true);
    host_->SetRowVerification(track - 1, "");
  }
  if (!pipeline_->Busy()) StartButton->setEnabled(TracksList->count() > 0);
}

std::string TMainForm::OutputDirectory() const { return settings_.OutputFolder(); }

void TMainForm::ShowOutputDirectory() {
  // A chosen folder that is gone no longer counts as chosen; the music folder stands in
  // for none (the first run that writes there creates it), and is never saved.
  if (!settings_.outputPath.empty() && !DirectoryExists(settings_.outputPath.str())) settings_.outputPath = "";
  settings_.SetDefaultOutputFolder(UserMusicFolder());
  ShowOutputPath(settings_.OutputFolder());
}

void TMainForm::ShowOutputPath(const std::string& folder) {
  shownOutputPath_ = folder;
  SelectedOutputDirectoryLabel->SetFullText(Q(texts_.Format("OutputPath", {folder})));
}

void TMainForm::OutputPathButtonClick() {
  ShowOutputDirectory();
  directorySelectForm_->RefreshPlaces();
  directorySelectForm_->SetDirectory(settings_.OutputFolder());
  if (!Exec(directorySelectForm_.get())) return;
  settings_.outputPath = directorySelectForm_->Directory();
  ShowOutputPath(settings_.outputPath);
}

void TMainForm::AppendFileRows(const std::vector<std::string>& paths) {
  // A file already listed is not listed twice (it would be converted twice, the second
  // time over its own output).
  for (const auto& path : NotYetListed(ListedPaths(FileListBox), paths))
    FileListBox->addItem(Q(FileRowText(status::kPending, path)));
}

void TMainForm::AddButtonClick() {
  const QString filter = QString::fromUtf8(SelectedOperation() == Operation::WAV2MP3 ? kWavFilter : kMpegFilter);
  const QStringList chosen = chooseFiles(filter);
  std::vector<std::string> paths;
  for (const QString& file : chosen) paths.push_back(file.toStdString());
  SortPathsIgnoringCase(paths);
  AddPaths(paths);
}

void TMainForm::AddDirButtonClick() {
  const QString folder = chooseFolder();
  if (folder.isEmpty()) return;
  AppendFileRows(CollectOperationFiles(folder.toStdString(), SelectedOperation()));
  UpdateFileListButtons();
}

int TMainForm::AddPaths(const std::vector<std::string>& paths) {
  const int before = FileListBox->count();
  const Operation operation = SelectedOperation();
  const InputChoice choice = FitInputs(paths, operation);
  AppendFileRows(choice.files);
  UpdateFileListButtons();
  if (!choice.refused.empty())
    showError(Q(RefusedInputsText(choice.refused, operation)), QString::fromUtf8(kMakerErrorCaption));
  return FileListBox->count() - before;
}

void TMainForm::RemoveButtonClick() {
  for (int row = FileListBox->count() - 1; row >= 0; --row)
    if (FileListBox->item(row)->isSelected()) delete FileListBox->takeItem(row);
  UpdateFileListButtons();
}

void TMainForm::ClearButtonClick() {
  FileListBox->clear();
  UpdateFileListButtons();
}

void TMainForm::StartButtonClick() { pipeline_->StartButtonClick(); }

void TMainForm::CancelButtonClick() { pipeline_->CancelButtonClick(); }

void TMainForm::UseDiscImages(const std::vector<std::string>& images) {
  const DiscImageList list = ExistingDiscImages(images);
  for (const auto& missing : list.missing)
    ReaderLogMemo->appendPlainText(Q(texts_.Shown("Warning: disc image not found, not listed as a drive: " + missing)));
  cd_.SetDiscImages(list.listed);
}

void TMainForm::UpdateFileMenu() {
  const bool idle = !pipeline_->Busy() && !pipeline_->HasLiveWorkers();
  MenuFileOpenDiscImage->setEnabled(idle && cdOpen_);
  MenuFileEject->setEnabled(idle && cdOpen_ && anyDrive_ &&
                            IsRealDrive(cd_, settings_.useWinNtRawRead != 0, InputCDComboBox->currentIndex()));
  MenuFileFindReadOffset->setEnabled(idle && cdOpen_ && anyDrive_ && findReadOffsetForm_ == nullptr);
}

void TMainForm::MenuFileOpenDiscImageClick() {
  UpdateFileMenu();
  if (!MenuFileOpenDiscImage->isEnabled()) return;
  const QString chosen = chooseDiscImage();
  if (chosen.isEmpty()) return;
  const std::string path = FullPath(chosen.toStdString());
  if (!FileExists(path)) {
    showError(Q("ERROR: No such disc image: " + path), QString::fromUtf8(kMakerErrorCaption));
    return;
  }
  // Listed for this session after the drives and the images of the settings; an image
  // listed already is chosen again.
  std::vector<std::string> images = cd_.DiscImages();
  if (std::find(images.begin(), images.end(), path) == images.end()) images.push_back(path);
  UseDiscImages(images);
  cd_.Initialize();
  RefreshDriveList(DriveIndexOfImage(cd_, settings_.useWinNtRawRead != 0, path));
}

void TMainForm::MenuFileEjectClick() {
  UpdateFileMenu();
  if (!MenuFileEject->isEnabled()) return;
  const int drive = InputCDComboBox->currentIndex();
  if (auto ejected = EjectDrive(cd_, settings_.useWinNtRawRead != 0, drive); !ejected)
    showError(Q("ERROR: " + ejected.Error().Message()), QString::fromUtf8(kMakerErrorCaption));
  // The tray is open: the track list follows the drive, which has no disc now.
  RefreshDriveList(drive);
}

void TMainForm::MenuFileExitClick() { close(); }

void TMainForm::MenuOptionsSettingsClick() {
  const bool adjustSpeed = settings_.adjustCdSpeed != 0;
  const bool osInterface = settings_.useWinNtRawRead != 0;
  ShowDriveInOptions();
  Exec(optionsForm_.get());
  if (settings_.adjustCdSpeed != 0 && !adjustSpeed && InputCDComboBox->isEnabled())
    cd_.SetSpeed(InputCDComboBox->currentIndex(), CdSpeedKBps(settings_.cdSpeed));
  if ((settings_.useWinNtRawRead != 0) != osInterface && cdOpen_) RefreshDriveList();
}

void TMainForm::MenuOptionsPrioritySelectionClick(ThreadPriority priority) {
  pipeline_->MenuOptionsPrioritySelectionClick(priority);
}

void TMainForm::MenuHelpContentsClick() {
  const std::string manual = ShippedMakerFile("help/index.html");
  if (!FileExists(manual)) {
    showError(QStringLiteral("ERROR: The manual is not installed: ") + Q(manual), QString::fromUtf8(kMakerErrorCaption));
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(Q(manual)));
}

void TMainForm::AboutButtonClick() { Exec(aboutForm_.get()); }

bool TMainForm::Exec(QDialog* dialog) {
  if (execDialog) return execDialog(dialog);
  return dialog->exec() == QDialog::Accepted;
}

CdInfo TMainForm::CdInformation() const {
  // The disc fields are the CD information window's; its choices (naming pattern, ID3)
  // are what its OK stored, which holds also before the window was ever shown.
  CdInfo info = cdInfoForm_->Info();
  LoadCdInfoChoices(settings_, info);
  return info;
}

void TMainForm::Translate() {
  TranslateForm("MP3 Maker Main", TranslatableComponents());
  // The texts the window writes while it works, and those it shows now, in the language.
  const MakerTexts previous = std::exchange(texts_, ActiveMakerTexts());
  host_->ShowTextsAgain(previous);
  if (!shownOutputPath_.empty()) ShowOutputPath(shownOutputPath_);
  if (!anyDrive_ && InputCDComboBox->count() == 1) InputCDComboBox->setItemText(0, Q(texts_.Shown(kNoDriveFoundItem)));
  FitButtonsPanel();
}

void TMainForm::WaitForWorkers() {
  loop_.RunUntil([this] { return !pipeline_->Busy() && !pipeline_->HasLiveWorkers(); }, std::chrono::hours(24));
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  // A close by mistake would throw away a run of many minutes: the person is asked first.
  // No leaves the run going and the window open. A termination signal stops it unasked.
  if (pipeline_->Busy() && !(closeWithoutAsking && closeWithoutAsking()) &&
      !askYesNo(QString::fromUtf8(kStopRunQuestion), QString::fromUtf8(kMakerConfirmCaption))) {
    event->ignore();
    return;
  }
  closing_ = true;
  // A run ends as Cancel ends it: the workers stop, the rows and the delete rules get the
  // cancelled outcomes, and nothing is written after the program ends.
  if (pipeline_->Busy() || pipeline_->HasLiveWorkers()) {
    setEnabled(false);
    pipeline_->CancelButtonClick();
    WaitForWorkers();
  }
  event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !pipeline_->Busy()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  if (pipeline_->Busy()) return;
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  // Dropped files are for the file operations; from a CD operation their kind chooses
  // one (the first file's), and a file operation refuses what it does not take.
  if (const Operation operation = SelectedOperation(); CdOperation(operation)) {
    const InputChoice choice = ChooseInputs(paths);
    if (!choice.operation) {
      showError(Q(RefusedInputsText(choice.refused, operation)), QString::fromUtf8(kMakerErrorCaption));
      event->acceptProposedAction();
      return;
    }
    host_->SelectOperation(*choice.operation);
    RemoveRowsNotFitting(FileListBox, EncoderLogMemo, *choice.operation, texts_);
  }
  AddPaths(paths);
  event->acceptProposedAction();
}
