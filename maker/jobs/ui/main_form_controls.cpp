// TMainForm: building the main window's controls and menus, and naming them for the
// pipeline (MakerControl) and for translation.
#include <QApplication>
#include <QGridLayout>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "maker/jobs/main_window_layout.h"
#include "maker/jobs/ui/main_form.h"
#include "maker/jobs/ui/maker_application.h"
#include "maker/jobs/ui/tabbed_list_delegate.h"

using maker::TMainForm;

namespace {

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

QListWidget* JobListBox(const char* name, const char* hint, JobList rows, QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setToolTip(QString::fromUtf8(hint));
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  QStringList words;
  for (const JobStatus status : {JobStatus::Pending, JobStatus::Read, JobStatus::ReadWarned, JobStatus::Finished,
                                 JobStatus::FinishedWarned, JobStatus::Failed, JobStatus::Cancelled, JobStatus::Kept})
    words << QString::fromUtf8(StatusWord(rows, status));
  list->setItemDelegate(new TabbedListDelegate(40, words, list));
  list->setUniformItemSizes(true);
  // Rows fit the list's width: a long path loses its middle (see the delegate), so the
  // list never scrolls sideways.
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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

TStatusPanel* StatusPanel(const char* name, const char* hint, const char* idleText, QWidget* parent) {
  auto* panel = new TStatusPanel(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setToolTip(QString::fromUtf8(hint));
  panel->SetText(QString::fromUtf8(idleText));
  return panel;
}

}  // namespace

TStatusPanel::TStatusPanel(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  label_ = new ElidingLabel(this);
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
  label_->SetFullText(text);
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
  AddDirButton = StepButton("AddDirButton", "Add Dir&ectory", "Add files in directory to the list of files to be encoded/decoded",
                            FileTargetGroupBox);
  RemoveButton = StepButton("RemoveButton", "&Remove", "Remove files from list", FileTargetGroupBox);
  ClearButton = StepButton("ClearButton", "C&lear", "Clear the file list", FileTargetGroupBox);
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
  CancelButton = StepButton("CancelButton", "Ca&ncel", "Cancel Reading and Encoding", ExecuteGroupBox);
  StartButton->setMinimumHeight(34);
  CancelButton->setMinimumHeight(34);
  CancelButton->hide();
  RunProgressBar = new QProgressBar(ExecuteGroupBox);
  RunProgressBar->setObjectName(QStringLiteral("RunProgressBar"));
  RunProgressBar->setRange(0, 100);
  RunProgressBar->setFormat(QStringLiteral("%p %"));
  RunProgressBar->hide();
  // Start and Cancel sit at the same place, the run's bar below them.
  auto* execute = new QGridLayout(ExecuteGroupBox);
  execute->setContentsMargins(6, 4, 6, 6);
  execute->addWidget(StartButton, 0, 0, Qt::AlignTop);
  execute->addWidget(CancelButton, 0, 0, Qt::AlignTop);
  execute->addWidget(RunProgressBar, 1, 0, Qt::AlignTop);
  execute->setRowStretch(1, 1);

  FitButtonsPanel();
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
  SelectedOutputDirectoryLabel = new ElidingLabel(SelectedOutputDirectoryPanel);
  auto* outputLayout = new QHBoxLayout(SelectedOutputDirectoryPanel);
  outputLayout->setContentsMargins(4, 2, 4, 2);
  outputLayout->addWidget(SelectedOutputDirectoryLabel);
  TracksList = JobListBox("TracksList", "Select the tracks to be read", JobList::Tracks, ReaderPanel);
  ReaderLogMemo = LogMemo("ReaderLogMemo", "CD Reader Log", ReaderPanel);
  ReaderStatusPanel = StatusPanel("ReaderStatusPanel", "CD Reader Status", " CD Reader: Idle", ReaderPanel);
  auto* reader = new QVBoxLayout(ReaderPanel);
  reader->setContentsMargins(0, 0, 0, 0);
  reader->setSpacing(2);
  reader->addWidget(SelectedOutputDirectoryPanel);
  reader->addWidget(TracksList);
  reader->addWidget(ReaderLogMemo, 1);
  reader->addWidget(ReaderStatusPanel);

  EncoderPanel = new QFrame(ListsPanel);
  EncoderPanel->setObjectName(QStringLiteral("EncoderPanel"));
  FileListBox = JobListBox("FileListBox", "File list", JobList::Files, EncoderPanel);
  EncoderLogMemo = LogMemo("EncoderLogMemo", "Encoder/Decoder Log", EncoderPanel);
  EncoderStatusPanel = StatusPanel("EncoderStatusPanel", "Encoder/Decoder Status", " MP3 Encoder: Idle", EncoderPanel);
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

void TMainForm::FitButtonsPanel() {
  // 145 pixels wide, or wider when the captions of the font or the language would be cut.
  int width = kButtonsPanelWidth;
  for (QGroupBox* group : {OperationsGroupBox, CDTargetGroupBox, FileTargetGroupBox, ExecuteGroupBox})
    width = std::max(width, group->sizeHint().width() + 6);
  ButtonsPanel->setFixedWidth(width);
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
  MenuFileOpenDiscImage = item(MenuFile, "MenuFileOpenDiscImage", "Open Disc &Image...");
  MenuFileEject = item(MenuFile, "MenuFileEject", "&Eject");
  MenuFileFindReadOffset = item(MenuFile, "MenuFileFindReadOffset", "Find Read &Offset...");
  MenuFile->addSeparator();
  MenuFileExit = item(MenuFile, "MenuFileExit", "E&xit");
  MenuOptions = menu(MainMenu, "MenuOptions", "&Options");
  MainMenu->addMenu(MenuOptions);
  MenuOptionsSettings = item(MenuOptions, "MenuOptionsSettings", "&Settings");
  MenuOptionsPriority = menu(MenuOptions, "MenuOptionsPriority", "&Priority");
  MenuOptions->addMenu(MenuOptionsPriority);
  MenuOptionsPriorityIdle = item(MenuOptionsPriority, "MenuOptionsPriorityIdle", "&Idle");
  MenuOptionsPriorityLowest = item(MenuOptionsPriority, "MenuOptionsPriorityLowest", "Lo&west");
  MenuOptionsPriorityLower = item(MenuOptionsPriority, "MenuOptionsPriorityLower", "&Lower");
  MenuOptionsPriorityNormal = item(MenuOptionsPriority, "MenuOptionsPriorityNormal", "&Normal");
  MenuOptionsPriorityHigher = item(MenuOptionsPriority, "MenuOptionsPriorityHigher", "&Higher");
  MenuOptionsPriorityHighest = item(MenuOptionsPriority, "MenuOptionsPriorityHighest", "Hi&ghest");
  for (QAction* a : MenuOptionsPriority->actions()) a->setCheckable(true);
  MenuHelp = menu(MainMenu, "MenuHelp", "&Help");
  MainMenu->addMenu(MenuHelp);
  MenuHelpContents = item(MenuHelp, "MenuHelpContents", "&Contents");
  MenuHelpContents->setShortcut(QKeySequence(Qt::Key_F1));
  MenuHelpContents->setShortcutContext(Qt::ApplicationShortcut);
  MenuHelpAbout = item(MenuHelp, "MenuHelpAbout", "&About");
}

void TMainForm::ConnectHandlers() {
  // Each handler is guarded: an exception it throws is shown in the error box, and the
  // window goes on.
  connect(CD2MP3RadioButton, &QRadioButton::clicked, this, GuardedHandler([this] { CD2MP3RadioButtonClick(); }));
  connect(CD2WAVRadioButton, &QRadioButton::clicked, this, GuardedHandler([this] { CD2WAVRadioButtonClick(); }));
  connect(WAV2MP3RadioButton, &QRadioButton::clicked, this, GuardedHandler([this] { WAV2MP3RadioButtonClick(); }));
  connect(MP32WAVRadioButton, &QRadioButton::clicked, this, GuardedHandler([this] { MP32WAVRadioButtonClick(); }));
  connect(InputCDComboBox, &QComboBox::activated, this, GuardedHandler([this] { InputCDComboBoxChange(); }));
  connect(CDInfoButton, &QPushButton::clicked, this, GuardedHandler([this] { CDInfoButtonClick(); }));
  connect(OutputPathButton, &QPushButton::clicked, this, GuardedHandler([this] { OutputPathButtonClick(); }));
  connect(AddButton, &QPushButton::clicked, this, GuardedHandler([this] { AddButtonClick(); }));
  connect(AddDirButton, &QPushButton::clicked, this, GuardedHandler([this] { AddDirButtonClick(); }));
  connect(RemoveButton, &QPushButton::clicked, this, GuardedHandler([this] { RemoveButtonClick(); }));
  connect(ClearButton, &QPushButton::clicked, this, GuardedHandler([this] { ClearButtonClick(); }));
  connect(TracksList, &QListWidget::itemSelectionChanged, this, GuardedHandler([this] { TracksListClick(); }));
  connect(FileListBox, &QListWidget::itemSelectionChanged, this, GuardedHandler([this] { FileListBoxClick(); }));
  connect(StartButton, &QPushButton::clicked, this, GuardedHandler([this] { StartButtonClick(); }));
  connect(CancelButton, &QPushButton::clicked, this, GuardedHandler([this] { CancelButtonClick(); }));
  connect(MenuFile, &QMenu::aboutToShow, this, GuardedHandler([this] { UpdateFileMenu(); }));
  connect(MenuFileOpenDiscImage, &QAction::triggered, this, GuardedHandler([this] { MenuFileOpenDiscImageClick(); }));
  connect(MenuFileEject, &QAction::triggered, this, GuardedHandler([this] { MenuFileEjectClick(); }));
  connect(MenuFileFindReadOffset, &QAction::triggered, this, GuardedHandler([this] { MenuFileFindReadOffsetClick(); }));
  connect(MenuFileExit, &QAction::triggered, this, GuardedHandler([this] { MenuFileExitClick(); }));
  connect(MenuOptionsSettings, &QAction::triggered, this, GuardedHandler([this] { MenuOptionsSettingsClick(); }));
  const std::pair<QAction*, ThreadPriority> levels[] = {
      {MenuOptionsPriorityIdle, ThreadPriority::Idle},       {MenuOptionsPriorityLowest, ThreadPriority::Lowest},
      {MenuOptionsPriorityLower, ThreadPriority::Lower},     {MenuOptionsPriorityNormal, ThreadPriority::Normal},
      {MenuOptionsPriorityHigher, ThreadPriority::Higher},   {MenuOptionsPriorityHighest, ThreadPriority::Highest},
  };
  for (const auto& [action, level] : levels)
    connect(action, &QAction::triggered, this,
            GuardedHandler([this, level = level] { MenuOptionsPrioritySelectionClick(level); }));
  connect(MenuHelpContents, &QAction::triggered, this, GuardedHandler([this] { MenuHelpContentsClick(); }));
  connect(MenuHelpAbout, &QAction::triggered, this, GuardedHandler([this] { AboutButtonClick(); }));
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
      WAV2MP3RadioButton, MenuFileOpenDiscImage, MenuFileEject, MenuFileFindReadOffset};
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
      "CD2MP3RadioButton", "CD2WAVRadioButton", "MP32WAVRadioButton", "WAV2MP3RadioButton",
      "MenuFileOpenDiscImage", "MenuFileEject", "MenuFileFindReadOffset"};
  std::vector<std::pair<QObject*, std::string>> components;
  for (size_t i = 0; i < objects.size(); ++i) components.emplace_back(objects[i], names[i]);
  return components;
}
