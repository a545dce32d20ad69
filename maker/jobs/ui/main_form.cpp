// TMainForm: the maker's main window.
#include "maker/jobs/ui/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
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
#include <chrono>

#include "common/paths.h"
#include "common/ui/qt_main_loop.h"
#include "maker/cd/cd_device.h"
#include "maker/cd/cd_drive_menu.h"
#include "cdaccess/cd_drive_list.h"
#include "maker/jobs/directory_files.h"
#include "maker/jobs/job_rows.h"
#include "maker/jobs/main_window_layout.h"
#include "maker/jobs/maker_data_files.h"
#include "maker/jobs/maker_shortcut.h"
#include "maker/jobs/ui/about_form.h"
#include "maker/jobs/ui/directory_select_form.h"
#include "maker/jobs/ui/main_form_host.h"
#include "maker/jobs/ui/tabbed_list_delegate.h"
#include "maker/metadata/cd_info_settings.h"
#include "maker/metadata/ui/cd_info_form.h"
#include "maker/settings/ui/options_form.h"
#include "maker/settings/ui/translate_form.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool CdOperation(Operation operation) { return operation == Operation::CD2MP3 || operation == Operation::CD2WAV; }

constexpr const char* kCaption = "zbmaker - Zimbar MP3 Maker (v%1)";
constexpr const char* kProgramVersion = "1.3A";
constexpr const char* kWavFilter = "PCM WAV files (*.wav)";
constexpr const char* kMpegFilter = "MPEG Audio files (*.mp?,*.aac) (*.mp? *.aac)";

QFrame* MarginPanel(const char* name, QWidget* parent, int height) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setFixedHeight(height);
  return panel;
}

// The flat buttons of steps 2 and 3.
QPushButton* StepButton(const char* name, const char* caption, const char* hint, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(QString::fromUtf8(hint));
  button->setMinimumHeight(26);
  return button;
}

QRadioButton* OperationButton(const char* name, const char* caption, const char* hint, QWidget* parent) {
  auto* button = new QRadioButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(QString::fromUtf8(hint));
  return button;
}

QListWidget* JobListBox(const char* name, const char* hint, QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setToolTip(QString::fromUtf8(hint));
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setItemDelegate(new TabbedListDelegate(40, list));
  list->setUniformItemSizes(true);
  return list;
}

QPlainTextEdit* LogMemo(const char* name, const char* hint, QWidget* parent) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(QString::fromLatin1(name));
  memo->setToolTip(QString::fromUtf8(hint));
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return memo;
}

}  // namespace

TStatusPanel::TStatusPanel(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  label_ = new QLabel(this);
  label_->setTextFormat(Qt::PlainText);
  label_->setMinimumWidth(1);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 10000);
  bar_->setTextVisible(false);
  bar_->setFixedWidth(90);
  bar_->setMaximumHeight(12);
  bar_->hide();
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 1, 4, 1);
  layout->addWidget(label_, 1);
  layout->addWidget(bar_);
}

void TStatusPanel::SetText(const QString& text) {
  label_->setText(text);
  // The texts carry their progress as "12.34%".
  static const QRegularExpression percent(QStringLiteral("(\\d+)\\.(\\d\\d)%"));
  const QRegularExpressionMatch match = percent.match(text);
  if (match.hasMatch()) {
    const int hundredths = std::clamp(match.captured(1).toInt() * 100 + match.captured(2).toInt(), 0, 10000);
    percent_ = hundredths / 100;
    bar_->setValue(hundredths);
    bar_->show();
  } else {
    percent_ = -1;
    bar_->hide();
  }
}

TMainForm::TMainForm(SettingsTable& settings, QtMainLoop& loop, QWidget* parent)
    : QMainWindow(parent), settings_(settings), loop_(loop) {
  setObjectName(QStringLiteral("MainForm"));
  BuildControls();
  BuildMenus();
  host_ = std::make_unique<MainFormHost>(*this);
  answers_ = std::make_unique<OverwriteAnswers>(*host_);
  factory_ = std::make_unique<RealJobWorkerFactory>(loop_, *answers_, &answers_->ForReader());
  factory_->UseCdLayer(cd_);
  pipeline_ = std::make_unique<JobPipeline>(loop_, *host_, *factory_, settings_, ProbeOutsideLibrary, answers_.get());
  // The other windows, created hidden in this order and shown modally when asked for.
  directorySelectForm_ = std::make_unique<TDirectorySelectForm>(this);
  aboutForm_ = std::make_unique<TAboutForm>(this);
  optionsForm_ = std::make_unique<TOptionsForm>(settings_, this);
  cdInfoForm_ = std::make_unique<TCDInfoForm>(settings_, loop_, this);
  connect(optionsForm_.get(), &TOptionsForm::languageLoaded, this, [this] {
    Translate();
    cdInfoForm_->Translate();
  });

  chooseFiles = [this](const QString& filter) {
    FileOpenDialog->setNameFilter(filter);
    return FileOpenDialog->exec() == QDialog::Accepted ? FileOpenDialog->selectedFiles() : QStringList();
  };
  chooseFolder = [this] {
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Select Directory"), QString(),
                                             QFileDialog::ShowDirsOnly);
  };
  showError = [this](const QString& text, const QString& caption) {
    QMessageBox::critical(this, caption, text);
  };
  askYesNo = [this](const QString& text, const QString& caption) {
    return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
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

void TMainForm::BuildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);

  ButtonsPanel = new QFrame(central);
  ButtonsPanel->setObjectName(QStringLiteral("ButtonsPanel"));
  ButtonsPanel->setFixedWidth(kButtonsPanelWidth);
  OperationsTopMarginPanel = MarginPanel("OperationsTopMarginPanel", ButtonsPanel, 4);
  OperationsGroupBox = new QGroupBox(QStringLiteral("Step 1: Operation"), ButtonsPanel);
  OperationsGroupBox->setObjectName(QStringLiteral("OperationsGroupBox"));
  OperationsGroupBox->setToolTip(QStringLiteral("Select the operation that you want to perform"));
  CD2MP3RadioButton = OperationButton("CD2MP3RadioButton", "Convert &CD to MP3",
                                      "Extract Audio Data from CD and Convert to MP3", OperationsGroupBox);
  CD2WAVRadioButton = OperationButton("CD2WAVRadioButton", "Convert C&D to WAV",
                                      "Extract Audio Data from CD and Convert to WAV", OperationsGroupBox);
  WAV2MP3RadioButton = OperationButton("WAV2MP3RadioButton", "Encode &WAV to MP3", "Encode WAV to MP3", OperationsGroupBox);
  MP32WAVRadioButton = OperationButton("MP32WAVRadioButton", "Decode &MP3 to WAV ", "Decode MP3 to WAV", OperationsGroupBox);
  CD2MP3RadioButton->setChecked(true);
  auto* operations = new QVBoxLayout(OperationsGroupBox);
  operations->setContentsMargins(6, 4, 4, 6);
  operations->setSpacing(4);
  for (QRadioButton* b : {CD2MP3RadioButton, CD2WAVRadioButton, WAV2MP3RadioButton, MP32WAVRadioButton})
    operations->addWidget(b);

  TargetTopMarginPanel = MarginPanel("TargetTopMarginPanel", ButtonsPanel, 4);
  TargetPanel = new QFrame(ButtonsPanel);
  TargetPanel->setObjectName(QStringLiteral("TargetPanel"));
  const char* targetHint = "Specify the target for the operation";
  CDTargetGroupBox = new QGroupBox(QStringLiteral("Step 2: CD Target"), TargetPanel);
  CDTargetGroupBox->setObjectName(QStringLiteral("CDTargetGroupBox"));
  CDTargetGroupBox->setToolTip(QString::fromUtf8(targetHint));
  InputCDComboBox = new QComboBox(CDTargetGroupBox);
  InputCDComboBox->setObjectName(QStringLiteral("InputCDComboBox"));
  InputCDComboBox->setToolTip(QStringLiteral("Select CD-ROM Drive to extract audio data"));
  InputCDComboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  InputCDComboBox->setMinimumContentsLength(8);
  CDInfoButton = StepButton("CDInfoButton", "CD/Tracks &Info", "Specify information for the CD and individual tracks",
                            CDTargetGroupBox);
  OutputPathButton = StepButton("OutputPathButton", "Output &Path", "Select the output directory", CDTargetGroupBox);
  auto* cd = new QVBoxLayout(CDTargetGroupBox);
  cd->setContentsMargins(6, 4, 6, 6);
  cd->setSpacing(4);
  cd->addWidget(InputCDComboBox);
  cd->addWidget(CDInfoButton);
  cd->addWidget(OutputPathButton);
  FileTargetGroupBox = new QGroupBox(QStringLiteral("Step 2: File Target"), TargetPanel);
  FileTargetGroupBox->setObjectName(QStringLiteral("FileTargetGroupBox"));
  FileTargetGroupBox->setToolTip(QString::fromUtf8(targetHint));
  AddButton = StepButton("AddButton", "&Add Files", "Add to the list of files to be encoded/decoded", FileTargetGroupBox);
  AddDirButton = StepButton("AddDirButton", "Add D&irectory", "Add files in directory to the list of files to be encoded/decoded",
                            FileTargetGroupBox);
  RemoveButton = StepButton("RemoveButton", "&Remove", "Remove files from list", FileTargetGroupBox);
  ClearButton = StepButton("ClearButton", "&Clear", "Clear the file list", FileTargetGroupBox);
  auto* files = new QVBoxLayout(FileTargetGroupBox);
  files->setContentsMargins(6, 4, 6, 6);
  files->setSpacing(4);
  for (QPushButton* b : {AddButton, AddDirButton, RemoveButton, ClearButton}) files->addWidget(b);
  // Both group boxes share the target panel's place; one of them is shown.
  auto* target = new QGridLayout(TargetPanel);
  target->setContentsMargins(0, 0, 0, 0);
  target->addWidget(CDTargetGroupBox, 0, 0, Qt::AlignTop);
  target->addWidget(FileTargetGroupBox, 0, 0, Qt::AlignTop);

  ExecuteTopMarginPanel = MarginPanel("ExecuteTopMarginPanel", ButtonsPanel, 4);
  ExecuteGroupBox = new QGroupBox(QStringLiteral("Step 3: Execute"), ButtonsPanel);
  ExecuteGroupBox->setObjectName(QStringLiteral("ExecuteGroupBox"));
  ExecuteGroupBox->setToolTip(QStringLiteral("Execute the selected operation"));
  StartButton = StepButton("StartButton", "&Start", "Start Reading CD", ExecuteGroupBox);
  CancelButton = StepButton("CancelButton", "&Cancel", "Cancel Reading and Encoding", ExecuteGroupBox);
  StartButton->setMinimumHeight(34);
  CancelButton->setMinimumHeight(34);
  CancelButton->hide();
  // Start and Cancel sit at the same place.
  auto* execute = new QGridLayout(ExecuteGroupBox);
  execute->setContentsMargins(6, 4, 6, 6);
  execute->addWidget(StartButton, 0, 0, Qt::AlignTop);
  execute->addWidget(CancelButton, 0, 0, Qt::AlignTop);

  // 145 pixels wide, or wider when the font's captions would be cut.
  ButtonsPanel->setFixedWidth(std::max(kButtonsPanelWidth, OperationsGroupBox->sizeHint().width() + 6));
  auto* buttons = new QVBoxLayout(ButtonsPanel);
  buttons->setContentsMargins(4, 0, 0, 4);
  buttons->setSpacing(0);
  buttons->addWidget(OperationsTopMarginPanel);
  buttons->addWidget(OperationsGroupBox);
  buttons->addWidget(TargetTopMarginPanel);
  buttons->addWidget(TargetPanel);
  buttons->addWidget(ExecuteTopMarginPanel);
  buttons->addWidget(ExecuteGroupBox, 1);

  TopMarginPanel = MarginPanel("TopMarginPanel", central, 4);
  ListsPanel = new QFrame(central);
  ListsPanel->setObjectName(QStringLiteral("ListsPanel"));

  ReaderPanel = new QFrame(ListsPanel);
  ReaderPanel->setObjectName(QStringLiteral("ReaderPanel"));
  SelectedOutputDirectoryPanel = new QFrame(ReaderPanel);
  SelectedOutputDirectoryPanel->setObjectName(QStringLiteral("SelectedOutputDirectoryPanel"));
  SelectedOutputDirectoryPanel->setToolTip(QStringLiteral("Output Path"));
  SelectedOutputDirectoryPanel->setFrameShape(QFrame::StyledPanel);
  SelectedOutputDirectoryLabel = new QLabel(SelectedOutputDirectoryPanel);
  SelectedOutputDirectoryLabel->setTextFormat(Qt::PlainText);
  SelectedOutputDirectoryLabel->setMinimumWidth(1);
  auto* outputLayout = new QHBoxLayout(SelectedOutputDirectoryPanel);
  outputLayout->setContentsMargins(4, 2, 4, 2);
  outputLayout->addWidget(SelectedOutputDirectoryLabel);
  TracksList = JobListBox("TracksList", "Select the tracks to be read", ReaderPanel);
  ReaderLogMemo = LogMemo("ReaderLogMemo", "CD Reader Log", ReaderPanel);
  ReaderStatusPanel = new TStatusPanel(ReaderPanel);
  ReaderStatusPanel->setObjectName(QStringLiteral("ReaderStatusPanel"));
  ReaderStatusPanel->setToolTip(QStringLiteral("CD Reader Status"));
  ReaderStatusPanel->SetText(QStringLiteral(" CD Reader: Idle"));
  auto* reader = new QVBoxLayout(ReaderPanel);
  reader->setContentsMargins(0, 0, 0, 0);
  reader->setSpacing(2);
  reader->addWidget(SelectedOutputDirectoryPanel);
  reader->addWidget(TracksList);
  reader->addWidget(ReaderLogMemo, 1);
  reader->addWidget(ReaderStatusPanel);

  EncoderPanel = new QFrame(ListsPanel);
  EncoderPanel->setObjectName(QStringLiteral("EncoderPanel"));
  FileListBox = JobListBox("FileListBox", "File list", EncoderPanel);
  EncoderLogMemo = LogMemo("EncoderLogMemo", "Encoder/Decoder Log", EncoderPanel);
  EncoderStatusPanel = new TStatusPanel(EncoderPanel);
  EncoderStatusPanel->setObjectName(QStringLiteral("EncoderStatusPanel"));
  EncoderStatusPanel->setToolTip(QStringLiteral("Encoder/Decoder Status"));
  EncoderStatusPanel->SetText(QStringLiteral(" MP3 Encoder: Idle"));
  auto* encoder = new QVBoxLayout(EncoderPanel);
  encoder->setContentsMargins(0, 2, 0, 0);
  encoder->setSpacing(2);
  encoder->addWidget(FileListBox);
  encoder->addWidget(EncoderLogMemo, 1);
  encoder->addWidget(EncoderStatusPanel);

  auto* lists = new QVBoxLayout(ListsPanel);
  lists->setContentsMargins(0, 0, 4, 4);
  lists->setSpacing(0);
  lists->addWidget(ReaderPanel);
  lists->addWidget(EncoderPanel, 1);

  auto* right = new QVBoxLayout;
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(0);
  right->addWidget(TopMarginPanel);
  right->addWidget(ListsPanel, 1);
  auto* main = new QHBoxLayout(central);
  main->setContentsMargins(0, 0, 0, 0);
  main->setSpacing(4);
  main->addWidget(ButtonsPanel);
  main->addLayout(right, 1);

  FileOpenDialog = new QFileDialog(this);
  FileOpenDialog->setObjectName(QStringLiteral("FileOpenDialog"));
  FileOpenDialog->setFileMode(QFileDialog::ExistingFiles);
  FileOpenDialog->setOption(QFileDialog::ReadOnly, false);
  FileOpenDialog->setWindowTitle(QStringLiteral("Add Files"));

  // Keys move the selection as clicks do; the handlers follow both.
  TracksList->installEventFilter(this);
  FileListBox->installEventFilter(this);
}

void TMainForm::BuildMenus() {
  MainMenu = menuBar();
  MainMenu->setObjectName(QStringLiteral("MainMenu"));
  auto menu = [this](QWidget* parent, const char* name, const char* caption) {
    auto* m = new QMenu(QString::fromUtf8(caption), parent);
    m->setObjectName(QString::fromLatin1(name));
    return m;
  };
  auto item = [this](QMenu* parent, const char* name, const char* caption) {
    auto* a = new QAction(QString::fromUtf8(caption), this);
    a->setObjectName(QString::fromLatin1(name));
    parent->addAction(a);
    return a;
  };
  MenuFile = menu(MainMenu, "MenuFile", "&File");
  MainMenu->addMenu(MenuFile);
  MenuFileExit = item(MenuFile, "MenuFileExit", "E&xit");
  MenuOptions = menu(MainMenu, "MenuOptions", "&Options");
  MainMenu->addMenu(MenuOptions);
  MenuOptionsSettings = item(MenuOptions, "MenuOptionsSettings", "&Settings");
  MenuOptionsPriority = menu(MenuOptions, "MenuOptionsPriority", "Priority");
  MenuOptions->addMenu(MenuOptionsPriority);
  MenuOptionsPriorityIdle = item(MenuOptionsPriority, "MenuOptionsPriorityIdle", "Idle");
  MenuOptionsPriorityLowest = item(MenuOptionsPriority, "MenuOptionsPriorityLowest", "Lowest");
  MenuOptionsPriorityLower = item(MenuOptionsPriority, "MenuOptionsPriorityLower", "Lower");
  MenuOptionsPriorityNormal = item(MenuOptionsPriority, "MenuOptionsPriorityNormal", "Normal");
  MenuOptionsPriorityHigher = item(MenuOptionsPriority, "MenuOptionsPriorityHigher", "Higher");
  MenuOptionsPriorityHighest = item(MenuOptionsPriority, "MenuOptionsPriorityHighest", "Highest");
  for (QAction* a : MenuOptionsPriority->actions()) a->setCheckable(true);
  MenuHelp = menu(MainMenu, "MenuHelp", "&Help");
  MainMenu->addMenu(MenuHelp);
  MenuHelpContents = item(MenuHelp, "MenuHelpContents", "&Contents");
  MenuHelpContents->setShortcut(QKeySequence(Qt::Key_F1));
  MenuHelpContents->setShortcutContext(Qt::ApplicationShortcut);
  MenuHelpAbout = item(MenuHelp, "MenuHelpAbout", "&About");
}

void TMainForm::ConnectHandlers() {
  connect(CD2MP3RadioButton, &QRadioButton::clicked, this, [this] { CD2MP3RadioButtonClick(); });
  connect(CD2WAVRadioButton, &QRadioButton::clicked, this, [this] { CD2WAVRadioButtonClick(); });
  connect(WAV2MP3RadioButton, &QRadioButton::clicked, this, [this] { WAV2MP3RadioButtonClick(); });
  connect(MP32WAVRadioButton, &QRadioButton::clicked, this, [this] { MP32WAVRadioButtonClick(); });
  connect(InputCDComboBox, &QComboBox::activated, this, [this] { InputCDComboBoxChange(); });
  connect(CDInfoButton, &QPushButton::clicked, this, [this] { CDInfoButtonClick(); });
  connect(OutputPathButton, &QPushButton::clicked, this, [this] { OutputPathButtonClick(); });
  connect(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
  connect(AddDirButton, &QPushButton::clicked, this, [this] { AddDirButtonClick(); });
  connect(RemoveButton, &QPushButton::clicked, this, [this] { RemoveButtonClick(); });
  connect(ClearButton, &QPushButton::clicked, this, [this] { ClearButtonClick(); });
  connect(TracksList, &QListWidget::itemSelectionChanged, this, [this] { TracksListClick(); });
  connect(FileListBox, &QListWidget::itemSelectionChanged, this, [this] { FileListBoxClick(); });
  connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  connect(MenuFileExit, &QAction::triggered, this, [this] { MenuFileExitClick(); });
  connect(MenuOptionsSettings, &QAction::triggered, this, [this] { MenuOptionsSettingsClick(); });
  const std::pair<QAction*, ThreadPriority> levels[] = {
      {MenuOptionsPriorityIdle, ThreadPriority::Idle},       {MenuOptionsPriorityLowest, ThreadPriority::Lowest},
      {MenuOptionsPriorityLower, ThreadPriority::Lower},     {MenuOptionsPriorityNormal, ThreadPriority::Normal},
      {MenuOptionsPriorityHigher, ThreadPriority::Higher},   {MenuOptionsPriorityHighest, ThreadPriority::Highest},
  };
  for (const auto& [action, level] : levels)
    connect(action, &QAction::triggered, this, [this, level = level] { MenuOptionsPrioritySelectionClick(level); });
  connect(MenuHelpContents, &QAction::triggered, this, [this] { MenuHelpContentsClick(); });
  connect(MenuHelpAbout, &QAction::triggered, this, [this] { AboutButtonClick(); });
}

QObject* TMainForm::Control(MakerControl control) const {
  switch (control) {
    case MakerControl::CD2MP3RadioButton: return CD2MP3RadioButton;
    case MakerControl::CD2WAVRadioButton: return CD2WAVRadioButton;
    case MakerControl::WAV2MP3RadioButton: return WAV2MP3RadioButton;
    case MakerControl::MP32WAVRadioButton: return MP32WAVRadioButton;
    case MakerControl::InputCDComboBox: return InputCDComboBox;
    case MakerControl::CDInfoButton: return CDInfoButton;
    case MakerControl::OutputPathButton: return OutputPathButton;
    case MakerControl::TracksList: return TracksList;
    case MakerControl::AddButton: return AddButton;
    case MakerControl::AddDirButton: return AddDirButton;
    case MakerControl::RemoveButton: return RemoveButton;
    case MakerControl::ClearButton: return ClearButton;
    case MakerControl::FileListBox: return FileListBox;
    case MakerControl::StartButton: return StartButton;
    case MakerControl::CancelButton: return CancelButton;
    case MakerControl::MenuOptionsSettings: return MenuOptionsSettings;
    case MakerControl::MenuOptionsPriorityIdle: return MenuOptionsPriorityIdle;
    case MakerControl::MenuOptionsPriorityLowest: return MenuOptionsPriorityLowest;
    case MakerControl::MenuOptionsPriorityLower: return MenuOptionsPriorityLower;
    case MakerControl::MenuOptionsPriorityNormal: return MenuOptionsPriorityNormal;
    case MakerControl::MenuOptionsPriorityHigher: return MenuOptionsPriorityHigher;
    case MakerControl::MenuOptionsPriorityHighest: return MenuOptionsPriorityHighest;
  }
  return nullptr;
}

std::vector<std::pair<QObject*, std::string>> TMainForm::TranslatableComponents() const {
  const std::vector<QObject*> objects = {
      InputCDComboBox, AddButton, AddDirButton, CDInfoButton, CancelButton, ClearButton, OutputPathButton,
      RemoveButton, StartButton, CDTargetGroupBox, ExecuteGroupBox, FileTargetGroupBox, OperationsGroupBox,
      FileListBox, TracksList, MainMenu, EncoderLogMemo, ReaderLogMemo, MenuFile->menuAction(), MenuFileExit,
      MenuHelp->menuAction(), MenuHelpAbout, MenuHelpContents, MenuOptions->menuAction(),
      MenuOptionsPriority->menuAction(), MenuOptionsPriorityHigher, MenuOptionsPriorityHighest,
      MenuOptionsPriorityIdle, MenuOptionsPriorityLowest, MenuOptionsPriorityLower, MenuOptionsPriorityNormal,
      MenuOptionsSettings, FileOpenDialog, ButtonsPanel, EncoderPanel, EncoderStatusPanel, ExecuteTopMarginPanel,
      ListsPanel, OperationsTopMarginPanel, ReaderPanel, ReaderStatusPanel, SelectedOutputDirectoryPanel,
      TargetPanel, TargetTopMarginPanel, TopMarginPanel, CD2MP3RadioButton, CD2WAVRadioButton, MP32WAVRadioButton,
      WAV2MP3RadioButton};
  const std::vector<std::string> names = {
      "InputCDComboBox", "AddButton", "AddDirButton", "CDInfoButton", "CancelButton", "ClearButton",
      "OutputPathButton", "RemoveButton", "StartButton", "CDTargetGroupBox", "ExecuteGroupBox",
      "FileTargetGroupBox", "OperationsGroupBox", "FileListBox", "TracksList", "MainMenu", "EncoderLogMemo",
      "ReaderLogMemo", "MenuFile", "MenuFileExit", "MenuHelp", "MenuHelpAbout", "MenuHelpContents", "MenuOptions",
      "MenuOptionsPriority", "MenuOptionsPriorityHigher", "MenuOptionsPriorityHighest", "MenuOptionsPriorityIdle",
      "MenuOptionsPriorityLowest", "MenuOptionsPriorityLower", "MenuOptionsPriorityNormal", "MenuOptionsSettings",
      "FileOpenDialog", "ButtonsPanel", "EncoderPanel", "EncoderStatusPanel", "ExecuteTopMarginPanel",
      "ListsPanel", "OperationsTopMarginPanel", "ReaderPanel", "ReaderStatusPanel",
      "SelectedOutputDirectoryPanel", "TargetPanel", "TargetTopMarginPanel", "TopMarginPanel",
      "CD2MP3RadioButton", "CD2WAVRadioButton", "MP32WAVRadioButton", "WAV2MP3RadioButton"};
  std::vector<std::pair<QObject*, std::string>> components;
  for (size_t i = 0; i < objects.size(); ++i) components.emplace_back(objects[i], names[i]);
  return components;
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

  const CommandLineFiles files = pipeline_->ApplyCommandLine(args);
  for (const auto& missing : files.missing) EncoderLogMemo->appendPlainText(QStringLiteral("Warning: no such file: ") + Q(missing));
  ApplyLayout();
  MenuOptionsPriorityNormal->setChecked(true);

  cd_.UseDiscImages({}, settings_.discImages);
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
    EncoderLogMemo->appendPlainText(QStringLiteral("Warning: ") + Q(made.Error().Message()));
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
  if (!pipeline_->Busy()) StartButton->setToolTip(QString::fromUtf8(l.startHint));
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
  UpdateFileListButtons();
}

void TMainForm::MP32WAVRadioButtonClick() {
  ApplyLayout();
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

void TMainForm::RefreshDriveList() {
  const CdDriveMenu menu = BuildCdDriveMenu(cd_, settings_.useWinNtRawRead != 0);
  {
    const QSignalBlocker block(InputCDComboBox);
    InputCDComboBox->clear();
    for (const auto& name : menu.items) InputCDComboBox->addItem(Q(name));
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
  InputCDComboBox->setCurrentIndex(0);
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
    cdInfoForm_->SetTracks(trackTable_);
    cdInfoForm_->FillFromDiscText({}, 0);
    cdInfoForm_->SetLoadFromCddbEnabled(false);
    if (const std::string problem = cd_.DriveProblem(drive); !problem.empty())
      ReaderLogMemo->appendPlainText(QStringLiteral("    Error: ") + Q(problem));
    return;
  }
  // The disc's own titles name the rows the user has not named in the CD window.
  const DiscTextFill filled = cdInfoForm_->FillFromDiscText(discText, trackTable_.trackCount);
  for (int track = 1; track <= trackTable_.trackCount; ++track) {
    TracksList->addItem(
        Q(TrackRowText(status::kPending, track, trackTable_.length[size_t(track)], filled.TrackName(track))));
    TracksList->item(track - 1)->setSelected(true);
  }
  cdInfoForm_->SetTracks(trackTable_);
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
        Q(TrackRowText(status::kPending, track, trackTable_.length[size_t(track)], name)));
    TracksList->item(track - 1)->setSelected(true);
  }
  if (!pipeline_->Busy()) StartButton->setEnabled(TracksList->count() > 0);
}

std::string TMainForm::CheckedOutputDirectory() const {
  const std::string& stored = settings_.outputPath.str();
  if (!stored.empty() && DirectoryExists(stored)) return stored;
  std::string folder = startFolder_.empty() ? FullPath(".") : startFolder_;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string TMainForm::OutputDirectory() const { return settings_.outputPath; }

void TMainForm::ShowOutputDirectory() {
  const std::string folder = CheckedOutputDirectory();
  settings_.outputPath = folder;
  SelectedOutputDirectoryLabel->setText(QStringLiteral("Output Path: ") + Q(folder));
}

void TMainForm::OutputPathButtonClick() {
  ShowOutputDirectory();
  directorySelectForm_->RefreshPlaces();
  directorySelectForm_->SetDirectory(settings_.outputPath);
  if (!Exec(directorySelectForm_.get())) return;
  settings_.outputPath = directorySelectForm_->Directory();
  SelectedOutputDirectoryLabel->setText(QStringLiteral("Output Path: ") + Q(settings_.outputPath));
}

void TMainForm::AppendFileRows(const std::vector<std::string>& paths) {
  for (const auto& path : paths) FileListBox->addItem(Q(FileRowText(status::kPending, path)));
}

void TMainForm::AddButtonClick() {
  const QString filter = QString::fromUtf8(SelectedOperation() == Operation::WAV2MP3 ? kWavFilter : kMpegFilter);
  const QStringList chosen = chooseFiles(filter);
  std::vector<std::string> paths;
  for (const QString& file : chosen) paths.push_back(file.toStdString());
  SortPathsIgnoringCase(paths);
  AppendFileRows(paths);
  UpdateFileListButtons();
}

void TMainForm::AddDirButtonClick() {
  const QString folder = chooseFolder();
  if (folder.isEmpty()) return;
  AppendFileRows(CollectOperationFiles(folder.toStdString(), SelectedOperation()));
  UpdateFileListButtons();
}

int TMainForm::AddPaths(const std::vector<std::string>& paths) {
  const int before = FileListBox->count();
  std::vector<std::string> files;
  for (const auto& path : paths) {
    if (DirectoryExists(path)) {
      AppendFileRows(CollectOperationFiles(path, SelectedOperation()));
    } else if (FileExists(path)) {
      AppendFileRows({path});
    }
  }
  UpdateFileListButtons();
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

void TMainForm::MenuFileExitClick() { close(); }

void TMainForm::MenuOptionsSettingsClick() {
  const bool adjustSpeed = settings_.adjustCdSpeed != 0;
  const bool osInterface = settings_.useWinNtRawRead != 0;
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

void TMainForm::UpdateTitle() {
  int percent = -1;
  if (pipeline_->Busy()) {
    // The panel of the last step of the run shows how far it is: the encoder or decoder,
    // else the reader (CD to WAV).
    const Operation operation = SelectedOperation();
    percent = operation == Operation::CD2WAV ? ReaderStatusPanel->Percent() : EncoderStatusPanel->Percent();
    if (percent < 0 && operation == Operation::CD2MP3) percent = ReaderStatusPanel->Percent();
  }
  if (percent == titlePercent_) return;
  titlePercent_ = percent;
  setWindowTitle(percent < 0 ? Q(caption_) : QStringLiteral("%1% - zbmaker").arg(percent));
}

CdInfo TMainForm::CdInformation() const {
  // The disc fields are the CD information window's; its choices (naming pattern, ID3)
  // are what its OK stored, which holds also before the window was ever shown.
  CdInfo info = cdInfoForm_->Info();
  LoadCdInfoChoices(settings_, info);
  return info;
}

void TMainForm::Translate() { TranslateForm("MP3 Maker Main", TranslatableComponents()); }

void TMainForm::WaitForWorkers() {
  loop_.RunUntil([this] { return !pipeline_->Busy() && !pipeline_->HasLiveWorkers(); }, std::chrono::hours(24));
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
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
  // Dropped files are for the file operations; from a CD operation the list switches to
  // the encoder, or to the decoder when only MPEG files came.
  const Operation operation = SelectedOperation();
  if (operation == Operation::CD2MP3 || operation == Operation::CD2WAV) {
    bool anyWav = false;
    for (const auto& path : paths) anyWav = anyWav || DirectoryExists(path) || strcasecmp(ExtractFileExt(path).c_str(), ".wav") == 0;
    host_->SelectOperation(anyWav ? Operation::WAV2MP3 : Operation::MP32WAV);
  }
  AddPaths(paths);
  event->acceptProposedAction();
}
