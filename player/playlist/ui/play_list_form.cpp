// TPlayListForm: the buttons, their enabling rules and the dialogs behind them.
#include "player/playlist/ui/play_list_form.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QVBoxLayout>
#include <algorithm>

#include "player/playlist/bounded_text.h"
#include "player/playlist/list_entries.h"
#include "player/playlist/list_order.h"
#include "player/playlist/play_list_file.h"
#include "player/playlist/ui/ask_line_form.h"
#include "player/playlist/ui/id3_form.h"
#include "common/ui/screen_fit.h"

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
  model_ = new TPlayListModel(list_, this);
  FileListBox = new TPlayListBox(this);
  FileListBox->setObjectName(QStringLiteral("FileListBox"));
  FileListBox->setModel(model_);
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

  connect(FileListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TPlayListForm::FileListBoxSelectionChanged);
  connect(FileListBox, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { FileListBoxChoose(index.row()); });

  dialogs_.chooseFiles = [](QWidget* p) {
    return QFileDialog::getOpenFileNames(p, QStringLiteral("Add Files"), QString(), AddFilesFilter());
  };
  dialogs_.chooseFolder = [](QWidget* p) { return QFileDialog::getExistingDirectory(p, QStringLiteral("Select Directory")); };
  dialogs_.chooseListToLoad = [](QWidget* p) { return QFileDialog::getOpenFileName(p, QStringLiteral("Load")); };
  dialogs_.chooseListToSave = [](QWidget* p) { return QFileDialog::getSaveFileName(p, QStringLiteral("Save")); };
  dialogs_.showError = [](QWidget* p, const QString& caption, const QString& text) {
    QMessageBox::critical(p, caption, text);
  };

  const int minimumHeight = sizeHint().height();
  const WindowRect stored{settings_.playListFormLeft, settings_.playListFormTop,
                          settings_.playListFormWidth > 0 ? settings_.playListFormWidth : 450,
                          std::max(settings_.playListFormHeight, minimumHeight)};
  // A stored size larger than the screen (PlayListFormWidth=100000 once cost 384 MB of
  // window memory) or a place off it is fitted to the screen the place is on.
  const WindowRect fitted = FitToItsScreen(stored, 1, minimumHeight);
  move(fitted.left, fitted.top);
  resize(fitted.width, fitted.height);
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
  gather_.reset();
  list_ = PlayList(entries);
  chosenIndex_ = -1;
  ShowList();
}

void TPlayListForm::showEvent(QShowEvent* event) {
  UpdateButtons();
  QDialog::showEvent(event);
  // The keys work on the list from the start: arrows select, Enter plays.
  FileListBox->setFocus();
  if (FileListBox->Count() > 0 && FileListBox->CurrentRow() < 0) FileListBox->SetCurrentRow(0);
}

void TPlayListForm::ShowList() {
  showing_ = true;
  model_->Reset();
  // The model's selection marks, as runs of rows: one range per block, not per row.
  QItemSelection selection;
  const std::vector<PlayListEntry>& entries = list_.Entries();
  for (size_t i = 0; i < entries.size();) {
    if (!entries[i].selected) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end + 1 < entries.size() && entries[end + 1].selected) ++end;
    selection.select(model_->index(int(i)), model_->index(int(end)));
    i = end + 1;
  }
  FileListBox->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  showing_ = false;
  UpdateButtons();
}

void TPlayListForm::UpdateButtons() {
  const bool gathering = Gathering();
  const bool any = list_.SelectedCount() > 0;
  const bool notEmpty = !list_.Empty();
  // While a list is read only Cancel stays: what is read joins the list when it is whole.
  for (QPushButton* b : {AddButton, AddDirectoryButton, AddURLButton, ShuffleButton, SortButtonButton,
                         ReverseSortButton, LoadButton, OKButton})
    b->setEnabled(!gathering);
  RemoveButton->setEnabled(any && !gathering);
  MoveUpButton->setEnabled(any && !gathering);
  MoveDownButton->setEnabled(any && !gathering);
  ClearButton->setEnabled(notEmpty && !gathering);
  SaveButton->setEnabled(notEmpty && !gathering);
  EditID3Button->setEnabled(notEmpty && any && !gathering);
}

void TPlayListForm::FileListBoxSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  if (showing_) return;
  // Only the rows that changed: a click among 100,000 rows costs one row.
  for (const QItemSelectionRange& range : deselected)
    for (int row = range.top(); row <= range.bottom(); ++row) list_.Select(size_t(row), false);
  for (const QItemSelectionRange& range : selected)
    for (int row = range.top(); row <= range.bottom(); ++row) list_.Select(size_t(row), true);
  UpdateButtons();
}

void TPlayListForm::FileListBoxChoose(int row) {
  if (row < 0 || Gathering()) return;
  chosenIndex_ = row;
  accept();
}

bool TPlayListForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FileListBox && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      FileListBoxChoose(FileListBox->CurrentRow());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TPlayListForm::done(int result) {
  if (result == QDialog::Accepted && Gathering()) return;
  gather_.reset();
  QDialog::done(result);
}

void TPlayListForm::Gather(std::function<GatheredEntries(const Cancelled&)> gather) {
  gather_ = std::make_unique<GatherLoad>(loop_, [gather = std::move(gather)](const std::function<bool()>& cancelled) {
    return gather(cancelled);
  });
  gather_->SetOnFinished([this] {
    GatheredEntries gathered = std::move(gather_->Result());
    gather_.reset();
    // Appended in one go: the rows others had selected meanwhile stay selected.
    list_.Append(gathered.entries);
    ShowList();
    if (!gathered.notices.empty())
      dialogs_.showError(this, QStringLiteral("Error"), QString::fromStdString(BoundedLines(gathered.notices)));
  });
  gather_->Start();
  UpdateButtons();
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
  // A deep tree takes a while: collected on a worker.
  Gather([folder = folder.toStdString()](const Cancelled& cancelled) {
    return GatheredEntries{CollectFolder(folder, cancelled), {}};
  });
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
    case TypedUrl::Kind::TooLong:
      dialogs_.showError(this, QStringLiteral("Error"), QString::fromLatin1(kUrlTooLongMessage));
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
  // Read on a worker (100,000 lines, a FIFO are no reason to freeze); lines too long to
  // be an entry, or a file that cannot be read, are told in a message box.
  Gather([file = file.toStdString()](const Cancelled&) { return ListFileEntries(file); });
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
  if (paths.empty() || Gathering()) return;
  Gather([paths](const Cancelled& cancelled) { return DroppedEntries(paths, cancelled); });
  event->acceptProposedAction();
}
