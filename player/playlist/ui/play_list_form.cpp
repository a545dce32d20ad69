// TPlayListForm: the buttons, their enabling rules and the dialogs behind them, and the
// window following the session.
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
  // The first entry is what the dialog shows at first: every kind the engines play.
  return QStringLiteral(
      "All playable files (*.mp? *.aac *.wav *.flac *.ogg *.oga *.opus *.m4a);;"
      "MPEG Audio files (*.mp? *.aac);;WAV files (*.wav);;MP3 files (*.mp3);;AAC files (*.aac);;"
      "FLAC files (*.flac);;Ogg Vorbis files (*.ogg *.oga);;Opus files (*.opus);;MP4 audio files (*.m4a *.mp4);;"
      "WAV and MPEG Audio files (*.wav *.mp? *.aac)");
}

namespace {

// Tags and playing times are read this many entries at a time: the rows fill in as they
// come, and a long list is never read at once.
constexpr size_t kInfoBatch = 256;

}  // namespace

TPlayListForm::TPlayListForm(PlayerSettings& settings, PlayerSession& session, TID3Form* id3Form,
                             TAskLineForm* askLineForm, QWidget* parent)
    : QDialog(parent), settings_(settings), session_(session), id3Form_(id3Form), askLineForm_(askLineForm) {
  setWindowTitle(QStringLiteral("Play List"));
  // A window of its own beside the main window: the main window keeps working.
  setModal(false);
  setAcceptDrops(true);
  model_ = new TPlayListModel(list_, info_, this);
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
      // Every edit is applied as it is made: both close the window and nothing is undone.
      // Close does only that (as Escape and the title bar's button do); OK also starts the
      // current entry when nothing plays.
      {&CancelButton, "CancelButton", "&Close", "Close the Play List window", nullptr},
      {&OKButton, "OKButton", "&OK", "Close the Play List window and play", nullptr},
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
    accept();
    // Nothing plays and the list has a new current entry (a list made while stopped, the
    // entry loaded removed): OK starts it.
    const std::string* current = session_.List().Current();
    if (session_.State() == TransportState::Stopped && current && *current != session_.LoadedFile()) session_.Play();
  });
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(column);
  layout->addWidget(FileListBox, 1);

  connect(FileListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TPlayListForm::FileListBoxSelectionChanged);
  connect(FileListBox, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { FileListBoxChoose(index.row()); });
  connect(model_, &TPlayListModel::RowsDropped, this, &TPlayListForm::FileListBoxRowsDropped, Qt::QueuedConnection);
  connect(
      model_, &TPlayListModel::PathsDropped, this,
      [this](const QStringList& dropped) {
        if (Gathering()) return;
        Gather([paths = ToStd(dropped)](const Cancelled& cancelled) { return DroppedEntries(paths, cancelled); });
      },
      Qt::QueuedConnection);

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
  // Hidden too: its buttons and the tag editor act on the list the session has.
  watch_ = session_.Watch([this](SessionChange change) {
    // The playing position moves every second and changes nothing the rows show.
    if (change != SessionChange::Position) FollowSession();
  });
  FollowSession();
  UpdateButtons();
}

TPlayListForm::~TPlayListForm() {
  session_.Unwatch(watch_);
  StoreSettings();
}

void TPlayListForm::StoreSettings() {
  settings_.playListFormTop = y();
  settings_.playListFormLeft = x();
  settings_.playListFormHeight = height();
  settings_.playListFormWidth = width();
}

void TPlayListForm::ShowAndRaise() {
  FollowSession();
  show();
  raise();
  activateWindow();
}

void TPlayListForm::showEvent(QShowEvent* event) {
  FollowSession();
  UpdateButtons();
  QDialog::showEvent(event);
  // The keys work on the list from the start: arrows select, Enter plays.
  FileListBox->setFocus();
  if (FileListBox->Count() > 0 && FileListBox->CurrentRow() < 0) FileListBox->SetCurrentRow(0);
}

void TPlayListForm::FollowSession() {
  const CurrentList& current = session_.List();
  if (current.Entries().size() != list_.Count() ||
      !std::equal(current.Entries().begin(), current.Entries().end(), list_.Entries().begin(),
                  [](const std::string& a, const PlayListEntry& b) { return a == b.text; })) {
    // Changed elsewhere (a drop on the main window, the desktop's player interface, the
    // start-up list): rows that kept their entry keep their selection.
    PlayList taken(current.Entries());
    const std::vector<PlayListEntry>& old = list_.Entries();
    for (size_t i = 0; i < old.size() && i < taken.Count(); ++i)
      if (old[i].selected && old[i].text == taken.Entries()[i].text) taken.Select(i, true);
    list_ = std::move(taken);
    list_.SetCurrent(current.Index());
    infoScan_ = 0;
    ShowList();
  } else {
    list_.SetCurrent(current.Index());
  }
  model_->SetPlayingRow(session_.CurrentIsLoaded() ? current.Index() : -1);
  ReadMissingInfo();
}

void TPlayListForm::Commit(bool currentRemoved, const std::vector<ListEntry>& described) {
  ShowList();
  // Entries not read yet may have moved before the place the reading had reached.
  infoScan_ = 0;
  // The session tells its watchers, this window among them: it follows at once.
  session_.EditList(list_.Texts(), list_.CurrentIndex(), currentRemoved, described);
}

std::string TPlayListForm::ShownText(const std::string& entry) const {
  const auto found = info_.find(entry);
  return EntryRowText(entry, found == info_.end() ? nullptr : &found->second);
}

void TPlayListForm::ReadMissingInfo() {
  if (infoLoad_ || !isVisible()) return;
  // Entries before infoScan_ have been read (or are being read): a long list is walked
  // once, not once per batch.
  std::vector<std::string> missing;
  const std::vector<PlayListEntry>& entries = list_.Entries();
  for (; infoScan_ < entries.size() && missing.size() < kInfoBatch; ++infoScan_) {
    const std::string& text = entries[infoScan_].text;
    if (info_.count(text) != 0) continue;
    if (std::find(missing.begin(), missing.end(), text) == missing.end()) missing.push_back(text);
  }
  if (missing.empty()) return;
  infoLoad_ = std::make_unique<InfoLoad>(loop_, [missing = std::move(missing)](const std::function<bool()>& cancelled) {
    return ReadEntryInfos(missing, cancelled);
  });
  infoLoad_->SetOnFinished([this] {
    auto read = std::move(infoLoad_->Result());
    infoLoad_.reset();
    for (auto& [entry, info] : read) {
      // What a list file told of the entry stands in for what the file itself does not
      // say (a stream, an AAC file, a file without tags).
      if (const ListEntry* listed = session_.List().Described(entry)) {
        if (info.title.empty() && !listed->title.empty()) info.title = listed->title;
        if (info.durationMs < 0 && listed->durationSeconds >= 0) info.durationMs = int64_t(listed->durationSeconds) * 1000;
      }
      info_[entry] = std::move(info);
    }
    model_->InfoChanged();
    ReadMissingInfo();
  });
  infoLoad_->Start();
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
  // While a list is read the list stays as it is: what is read joins it when it is whole.
  for (QPushButton* b : {AddButton, AddDirectoryButton, AddURLButton, ShuffleButton, SortButtonButton,
                         ReverseSortButton, LoadButton})
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
  if (row < 0 || row >= FileListBox->Count()) return;
  session_.PlayEntry(row);
}

void TPlayListForm::FileListBoxRowsDropped(const QList<int>& rows, int row) {
  if (Gathering()) return;
  for (size_t i = 0; i < list_.Count(); ++i) list_.Select(i, false);
  for (int r : rows) list_.Select(size_t(r), true);
  list_.MoveSelectedTo(size_t(std::max(row, 0)));
  Commit();
}

bool TPlayListForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FileListBox && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      FileListBoxChoose(FileListBox->CurrentRow());
      return true;
    }
    if (key == Qt::Key_Delete) {
      if (RemoveButton->isEnabled()) RemoveButtonClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
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
    Commit(/*currentRemoved=*/false, gathered.described);
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
  Commit();
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
      Commit();
      return;
  }
}

void TPlayListForm::RemoveButtonClick() {
  const int current = list_.CurrentIndex();
  const bool currentRemoved = current >= 0 && list_.Entries()[size_t(current)].selected;
  // The entry after the removed current one takes its place (else the new last one).
  int replacement = current;
  for (int i = 0; i < current; ++i)
    if (list_.Entries()[size_t(i)].selected) --replacement;
  list_.RemoveSelected();
  if (currentRemoved) list_.SetCurrent(std::min(replacement, int(list_.Count()) - 1));
  Commit(currentRemoved);
}

void TPlayListForm::ClearButtonClick() {
  const bool currentRemoved = list_.CurrentIndex() >= 0;
  list_.Clear();
  Commit(currentRemoved);
}

void TPlayListForm::MoveUpButtonClick() {
  list_.MoveUp();
  Commit();
}

void TPlayListForm::MoveDownButtonClick() {
  list_.MoveDown();
  Commit();
}

void TPlayListForm::ShuffleButtonClick() {
  list_.Shuffle(RuntimeRandom());
  Commit();
}

void TPlayListForm::SortButtonButtonClick() {
  list_.Sort([this](const std::string& entry) { return ShownText(entry); });
  Commit();
}

void TPlayListForm::ReverseSortButtonClick() {
  list_.ReverseSort([this](const std::string& entry) { return ShownText(entry); });
  Commit();
}

void TPlayListForm::EditID3ButtonClick() {
  const std::vector<std::string> selected = list_.SelectedTexts();
  if (selected.empty()) return;
  // The tag editor opens a little right of and below this window's corner.
  id3Form_->move(pos() + QPoint(20, 20));
  id3Form_->Edit(selected);
  // The rows show the tags as they are now.
  for (const std::string& entry : selected) info_.erase(entry);
  infoScan_ = 0;
  ReadMissingInfo();
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
  if (auto written = WritePlayListRecords(file.toStdString(), session_.List().Records()); !written)
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
