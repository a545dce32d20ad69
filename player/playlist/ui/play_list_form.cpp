// TPlayListForm: the buttons, their enabling rules and the dialogs behind them.
#include "player/playlist/ui/play_list_form.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QVBoxLayout>
#include <algorithm>

#include "player/playlist/list_entries.h"
#include "player/playlist/list_order.h"
#include "player/playlist/play_list_file.h"
#include "player/playlist/ui/ask_line_form.h"
#include "player/playlist/ui/id3_form.h"

namespace {

std::vector<std::string> ToStd(const QStringList& list) {
  std::vector<std::string> out;
  for (const QString& s : list) out.push_back(s.toStdString());
  return out;
}

}  // namespace

QString AddFilesFilter() {
  return QStringLiteral(
      "MPEG Audio files (*.mp? *.aac);;WAV files (*.wav);;MP3 files (*.mp3);;AAC files (*.aac);;"
      "WAV and MPEG Audio files (*.wav *.mp? *.aac)");
}

TPlayListForm::TPlayListForm(PlayerSettings& settings, TID3Form* id3Form, TAskLineForm* askLineForm, QWidget* parent)
    : QDialog(parent), settings_(settings), id3Form_(id3Form), askLineForm_(askLineForm) {
  setWindowTitle(QStringLiteral("Play List"));
  setAcceptDrops(true);
  FileListBox = new QListWidget(this);
  FileListBox->setObjectName(QStringLiteral("FileListBox"));
  FileListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FileListBox->setTextElideMode(Qt::ElideLeft);
  FileListBox->installEventFilter(this);

  struct ButtonInfo {
    QPushButton** member;
    const char* name;
    const char* caption;
    const char* hint;
    void (TPlayListForm::*click)();
  };
  const ButtonInfo buttons[] = {
      {&AddButton, "AddButton", "&Add Files", "Add Files to Play List", &TPlayListForm::AddButtonClick},
      {&AddDirectoryButton, "AddDirectoryButton", "Add &Dir", "Add Directory Files to Play List",
       &TPlayListForm::AddDirectoryButtonClick},
      {&AddURLButton, "AddURLButton", "Add &URL", nullptr, &TPlayListForm::AddURLButtonClick},
      {&RemoveButton, "RemoveButton", "&Remove", "Delete from Play List", &TPlayListForm::RemoveButtonClick},
      {&ClearButton, "ClearButton", "Cl&ear", "Clear Play List", &TPlayListForm::ClearButtonClick},
      {&MoveUpButton, "MoveUpButton", "Move Up", "Move up in the Play List", &TPlayListForm::MoveUpButtonClick},
      {&MoveDownButton, "MoveDownButton", "Move Down", "Move down in the Play List",
       &TPlayListForm::MoveDownButtonClick},
      {&ShuffleButton, "ShuffleButton", "Shuffle", nullptr, &TPlayListForm::ShuffleButtonClick},
      {&SortButtonButton, "SortButtonButton", "Sort", nullptr, &TPlayListForm::SortButtonButtonClick},
      {&ReverseSortButton, "ReverseSortButton", "Reverse Sort", nullptr, &TPlayListForm::ReverseSortButtonClick},
      {&EditID3Button, "EditID3Button", "Edit ID&3 Tag", "Edit ID3 Tag", &TPlayListForm::EditID3ButtonClick},
      {&LoadButton, "LoadButton", "&Load", "Load Play List from file", &TPlayListForm::LoadButtonClick},
      {&SaveButton, "SaveButton", "&Save", "Save Play List to file", &TPlayListForm::SaveButtonClick},
      {&CancelButton, "CancelButton", "&Cancel", nullptr, nullptr},
      {&OKButton, "OKButton", "&OK", nullptr, nullptr},
  };
  auto* column = new QVBoxLayout;
  for (const ButtonInfo& b : buttons) {
    auto* button = new QPushButton(QString::fromLatin1(b.caption), this);
    button->setObjectName(QLatin1String(b.name));
    button->setAutoDefault(false);
    if (b.hint) button->setToolTip(QString::fromLatin1(b.hint));
    if (b.click) connect(button, &QPushButton::clicked, this, b.click);
    column->addWidget(button);
    *b.member = button;
  }
  column->addStretch();
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(OKButton, &QPushButton::clicked, this, [this] {
    chosenIndex_ = -1;
    accept();
  });
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(column);
  layout->addWidget(FileListBox, 1);

  connect(FileListBox, &QListWidget::itemSelectionChanged, this, &TPlayListForm::FileListBoxSelectionChanged);
  connect(FileListBox, &QListWidget::itemDoubleClicked, this, &TPlayListForm::FileListBoxChoose);

  dialogs_.chooseFiles = [](QWidget* p) {
    return QFileDialog::getOpenFileNames(p, QStringLiteral("Add Files"), QString(), AddFilesFilter());
  };
  dialogs_.chooseFolder = [](QWidget* p) { return QFileDialog::getExistingDirectory(p, QStringLiteral("Select Directory")); };
  dialogs_.chooseListToLoad = [](QWidget* p) { return QFileDialog::getOpenFileName(p, QStringLiteral("Load")); };
  dialogs_.chooseListToSave = [](QWidget* p) { return QFileDialog::getSaveFileName(p, QStringLiteral("Save")); };
  dialogs_.showError = [](QWidget* p, const QString& caption, const QString& text) {
    QMessageBox::critical(p, caption, text);
  };

  move(settings_.playListFormLeft, settings_.playListFormTop);
  const int minimumHeight = sizeHint().height();
  resize(settings_.playListFormWidth > 0 ? settings_.playListFormWidth : 450,
         std::max(settings_.playListFormHeight, minimumHeight));
  UpdateButtons();
}

TPlayListForm::~TPlayListForm() { StoreSettings(); }

void TPlayListForm::StoreSettings() {
  settings_.playListFormTop = y();
  settings_.playListFormLeft = x();
  settings_.playListFormHeight = height();
  settings_.playListFormWidth = width();
}

void TPlayListForm::SetList(const std::vector<std::string>& entries) {
  list_ = PlayList(entries);
  chosenIndex_ = -1;
  ShowList();
}

void TPlayListForm::showEvent(QShowEvent* event) {
  UpdateButtons();
  QDialog::showEvent(event);
  // The keys work on the list from the start: arrows select, Enter plays.
  FileListBox->setFocus();
  if (FileListBox->count() > 0 && !FileListBox->currentItem())
    FileListBox->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void TPlayListForm::ShowList() {
  showing_ = true;
  FileListBox->clear();
  for (const PlayListEntry& e : list_.Entries()) {
    auto* item = new QListWidgetItem(QString::fromStdString(e.text), FileListBox);
    item->setSelected(e.selected);
  }
  showing_ = false;
  UpdateButtons();
}

void TPlayListForm::UpdateButtons() {
  const bool any = list_.SelectedCount() > 0;
  const bool notEmpty = !list_.Empty();
  RemoveButton->setEnabled(any);
  MoveUpButton->setEnabled(any);
  MoveDownButton->setEnabled(any);
  ClearButton->setEnabled(notEmpty);
  SaveButton->setEnabled(notEmpty);
  EditID3Button->setEnabled(notEmpty && any);
}

void TPlayListForm::FileListBoxSelectionChanged() {
  if (showing_) return;
  for (int i = 0; i < FileListBox->count(); ++i) list_.Select(size_t(i), FileListBox->item(i)->isSelected());
  UpdateButtons();
}

void TPlayListForm::FileListBoxChoose() {
  const int at = FileListBox->currentRow();
  if (at < 0) return;
  chosenIndex_ = at;
  accept();
}

bool TPlayListForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FileListBox && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      FileListBoxChoose();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TPlayListForm::AddButtonClick() {
  const QStringList files = dialogs_.chooseFiles(this);
  TakeFocusBack();
  if (files.isEmpty()) return;
  list_.Append(SortedWithoutCase(ToStd(files)));
  ShowList();
}

void TPlayListForm::AddDirectoryButtonClick() {
  const QString folder = dialogs_.chooseFolder(this);
  TakeFocusBack();
  if (folder.isEmpty()) return;
  list_.Append(CollectFolder(folder.toStdString()));
  ShowList();
}

void TPlayListForm::AddURLButtonClick() {
  const std::optional<QString> line =
      askLineForm_->Ask(QStringLiteral("Add URL"), QStringLiteral("Enter complete URL:"));
  TakeFocusBack();
  if (!line) return;
  const TypedUrl url = CheckTypedUrl(line->toStdString());
  switch (url.kind) {
    case TypedUrl::Kind::Empty:
      return;
    case TypedUrl::Kind::Refused:
      dialogs_.showError(this, QStringLiteral("Error"), QString::fromLatin1(kUrlRefusedMessage));
      return;
    case TypedUrl::Kind::Accepted:
      list_.Append(url.url);
      ShowList();
      return;
  }
}

void TPlayListForm::RemoveButtonClick() {
  list_.RemoveSelected();
  ShowList();
}

void TPlayListForm::ClearButtonClick() {
  list_.Clear();
  ShowList();
}

void TPlayListForm::MoveUpButtonClick() {
  list_.MoveUp();
  ShowList();
}

void TPlayListForm::MoveDownButtonClick() {
  list_.MoveDown();
  ShowList();
}

void TPlayListForm::ShuffleButtonClick() {
  list_.Shuffle(RuntimeRandom());
  ShowList();
}

void TPlayListForm::SortButtonButtonClick() {
  list_.Sort();
  ShowList();
}

void TPlayListForm::ReverseSortButtonClick() {
  list_.ReverseSort();
  ShowList();
}

void TPlayListForm::EditID3ButtonClick() {
  const std::vector<std::string> selected = list_.SelectedTexts();
  if (selected.empty()) return;
  // The tag editor opens a little right of and below this window's corner.
  id3Form_->move(pos() + QPoint(20, 20));
  id3Form_->Edit(selected);
  TakeFocusBack();
}

void TPlayListForm::TakeFocusBack() {
  // Without a window manager nobody gives the keyboard back when a dialog above this one
  // closes.
  activateWindow();
  FileListBox->setFocus();
}

void TPlayListForm::LoadButtonClick() {
  const QString file = dialogs_.chooseListToLoad(this);
  TakeFocusBack();
  if (file.isEmpty()) return;
  // A list that cannot be read adds nothing.
  if (auto entries = ReadPlayListFile(file.toStdString())) list_.Append(entries.Value());
  ShowList();
}

void TPlayListForm::SaveButtonClick() {
  const QString file = dialogs_.chooseListToSave(this);
  TakeFocusBack();
  if (file.isEmpty()) return;
  if (auto written = WritePlayListFile(file.toStdString(), list_.Texts()); !written)
    dialogs_.showError(this, QStringLiteral("Error"), QString::fromStdString(written.Error().Message()));
  UpdateButtons();
}

void TPlayListForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TPlayListForm::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  const std::vector<std::string> entries = DroppedEntries(paths);
  if (entries.empty()) return;
  list_.Append(entries);
  ShowList();
  event->acceptProposedAction();
}
