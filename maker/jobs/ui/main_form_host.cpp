// The main window as the job pipeline's host.
#include "maker/jobs/ui/main_form_host.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QScrollBar>

#include "maker/jobs/job_rows.h"
#include "maker/jobs/run_notice.h"
#include "maker/jobs/ui/desktop_notification.h"
#include "maker/jobs/ui/main_form.h"
#include "maker/jobs/ui/tabbed_list_delegate.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The English words of a row's verification, kept to show them again in another language.
constexpr int kVerificationEnglishRole = Qt::UserRole + 3;

}  // namespace

QListWidget* MainFormHost::List(JobList list) const {
  return list == JobList::Tracks ? form_.TracksList : form_.FileListBox;
}

// The window shows every line as it is, whatever its severity.
void MainFormHost::AppendLog(MakerLog log, const LogEvent& event) {
  QPlainTextEdit* memo = log == MakerLog::Reader ? form_.ReaderLogMemo : form_.EncoderLogMemo;
  memo->appendPlainText(Q(form_.texts_.Shown(event.text)));
  memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
  // The start of the lines says what each is about: a long path must not scroll it away.
  memo->horizontalScrollBar()->setValue(memo->horizontalScrollBar()->minimum());
}

void MainFormHost::SetStatusText(MakerPanel panel, const std::string& text) {
  panelTexts_[panel == MakerPanel::Reader ? 0 : 1] = text;
  (panel == MakerPanel::Reader ? form_.ReaderStatusPanel : form_.EncoderStatusPanel)->SetText(Q(form_.texts_.Shown(text)));
  form_.RunPanelChanged(panel);
}

void MainFormHost::ShowTextsAgain(const MakerTexts& previous) {
  // Before the first run the panels show the idle texts they were built with.
  for (const MakerPanel panel : {MakerPanel::Reader, MakerPanel::Encoder}) {
    std::string& text = panelTexts_[panel == MakerPanel::Reader ? 0 : 1];
    if (text.empty()) text = (panel == MakerPanel::Reader ? form_.ReaderStatusPanel : form_.EncoderStatusPanel)->Text().toStdString();
    SetStatusText(panel, text);
  }
  // The hints of Start and Cancel come from the run and from the operation.
  for (QWidget* button : {static_cast<QWidget*>(form_.StartButton), static_cast<QWidget*>(form_.CancelButton)})
    if (const auto hint = previous.EnglishOf(button->toolTip().toStdString())) button->setToolTip(Q(form_.texts_.Shown(*hint)));
  for (const JobList list : {JobList::Tracks, JobList::Files}) {
    // The first column is as wide as the longest status word of the language.
    if (auto* delegate = dynamic_cast<TabbedListDelegate*>(List(list)->itemDelegate())) {
      QStringList words;
      for (const JobStatus status : {JobStatus::Pending, JobStatus::Read, JobStatus::ReadWarned, JobStatus::Finished,
                                     JobStatus::FinishedWarned, JobStatus::Failed, JobStatus::Cancelled, JobStatus::Kept})
        words << Q(form_.texts_.Shown(StatusWord(list, status)));
      delegate->SetFirstColumn(words);
      List(list)->viewport()->update();
    }
    for (int row = 0; row < RowCount(list); ++row) {
      std::string text = RowText(list, row);
      if (const auto status = previous.EnglishOf(RowStatus(text))) text = WithStatus(text, form_.texts_.Shown(*status));
      // A track row's second column is its number: "Track 03".
      if (list == JobList::Tracks) text = WithTrackColumn(text, row + 1);
      List(list)->item(row)->setText(Q(text));
      if (list == JobList::Tracks)
        SetRowVerification(row, List(list)->item(row)->data(kVerificationEnglishRole).toString().toStdString());
    }
  }
}

std::string MainFormHost::WithTrackColumn(const std::string& row, int track) const {
  const size_t first = row.find('\t');
  if (first == std::string::npos) return row;
  const size_t second = row.find('\t', first + 1);
  char number[16];
  std::snprintf(number, sizeof number, "%02i", track);
  return row.substr(0, first + 1) + form_.texts_.Format("TrackNumber", {number}) +
         (second == std::string::npos ? std::string() : row.substr(second));
}

bool MainFormHost::AskYesNo(const std::string& text, const std::string& caption) {
  return form_.askYesNo(Q(text), Q(caption));
}

ReplaceAnswer MainFormHost::AskReplaceExisting(const std::vector<std::string>& paths) {
  QStringList shown;
  for (const std::string& path : paths) shown << Q(path);
  return form_.askReplaceExisting(shown);
}

Operation MainFormHost::SelectedOperation() const { return form_.SelectedOperation(); }

void MainFormHost::SelectOperation(Operation operation) {
  switch (operation) {
    case Operation::CD2MP3: form_.CD2MP3RadioButton->setChecked(true); break;
    case Operation::CD2WAV: form_.CD2WAVRadioButton->setChecked(true); break;
    case Operation::WAV2MP3: form_.WAV2MP3RadioButton->setChecked(true); break;
    case Operation::MP32WAV: form_.MP32WAVRadioButton->setChecked(true); break;
  }
  form_.ApplyLayout();
}

int MainFormHost::RowCount(JobList list) const { return List(list)->count(); }

// The rows are the list items' texts: "status\tTrack NN\tmm:ss\tname" and "status\tpath".
std::string MainFormHost::RowText(JobList list, int row) const {
  const QListWidgetItem* item = List(list)->item(row);
  return item ? item->text().toStdString() : std::string();
}

std::string MainFormHost::TrackName(int row) const { return TrackRowName(RowText(JobList::Tracks, row)); }

std::string MainFormHost::FilePath(int row) const { return FileRowPath(RowText(JobList::Files, row)); }

void MainFormHost::SetRowStatus(JobList list, int row, JobStatus status) {
  // The run's progress first, so that the title is up to date when the row shows the state.
  form_.RunRowStatusChanged(list, row, status);
  if (QListWidgetItem* item = List(list)->item(row))
    item->setText(Q(WithStatus(item->text().toStdString(), form_.texts_.Shown(StatusWord(list, status)))));
}

bool MainFormHost::RowSelected(JobList list, int row) const {
  const QListWidgetItem* item = List(list)->item(row);
  return item && item->isSelected();
}

void MainFormHost::SetRowSelected(JobList list, int row, bool selected) {
  if (QListWidgetItem* item = List(list)->item(row)) {
    item->setSelected(selected);
    // The row a file job starts on is brought into view.
    if (selected && list == JobList::Files) List(list)->scrollToItem(item);
  }
}

void MainFormHost::AppendRow(JobList list, const std::string& text) { List(list)->addItem(Q(form_.texts_.Row(text))); }

void MainFormHost::ClearLog(MakerLog log) {
  (log == MakerLog::Reader ? form_.ReaderLogMemo : form_.EncoderLogMemo)->clear();
}

void MainFormHost::SetControlEnabled(MakerControl control, bool enabled) {
  // Without a drive the drive list stays disabled, whatever state the run leaves.
  if (control == MakerControl::InputCDComboBox && !form_.anyDrive_) enabled = false;
  QObject* object = form_.Control(control);
  if (auto* widget = qobject_cast<QWidget*>(object)) widget->setEnabled(enabled);
  else if (auto* action = qobject_cast<QAction*>(object)) action->setEnabled(enabled);
}

void MainFormHost::SetControlVisible(MakerControl control, bool visible) {
  QObject* object = form_.Control(control);
  if (auto* widget = qobject_cast<QWidget*>(object)) widget->setVisible(visible);
  else if (auto* action = qobject_cast<QAction*>(object)) action->setVisible(visible);
  // Cancel is shown for the run's busy state and hidden when it ends.
  if (control == MakerControl::CancelButton) form_.RunBusyChanged(visible);
}

void MainFormHost::SetControlHint(MakerControl control, const std::string& hint) {
  QObject* object = form_.Control(control);
  const QString shown = Q(form_.texts_.Shown(hint));
  if (auto* widget = qobject_cast<QWidget*>(object)) widget->setToolTip(shown);
  else if (auto* action = qobject_cast<QAction*>(object)) action->setToolTip(shown);
}

void MainFormHost::SetMenuChecked(MakerControl item, bool checked) {
  if (auto* action = qobject_cast<QAction*>(form_.Control(item))) action->setChecked(checked);
}

void MainFormHost::ShowError(const std::string& text, const std::string& caption) {
  form_.showError(Q(text), Q(caption));
}

void MainFormHost::Beep() { QApplication::beep(); }

void MainFormHost::BringToFront() {
  if (form_.isMinimized()) form_.showNormal();
  form_.raise();
  form_.activateWindow();
}

void MainFormHost::RunDone(const RunSummary& run) {
  // In front, the window itself shows that the run has ended.
  if (form_.isActiveWindow()) return;
  const RunNotice notice = MakeRunNotice(run, form_.texts_);
  SendDesktopNotification(Q(notice.summary), Q(notice.body));
}

int MainFormHost::SelectedDrive() const { return std::max(0, form_.InputCDComboBox->currentIndex()); }

CdInfo MainFormHost::CdInformation() const { return form_.CdInformation(); }

const TrackTable* MainFormHost::DiscTable() const {
  return form_.trackTable_.trackCount > 0 ? &form_.trackTable_ : nullptr;
}

CdDriveIdentity MainFormHost::SelectedDriveIdentity() const {
  if (!form_.cdOpen_ || !form_.anyDrive_ || form_.InputCDComboBox->currentIndex() < 0) return {};
  return form_.cd_.DriveIdentity(form_.InputCDComboBox->currentIndex());
}

VerificationRating MainFormHost::RatingOf(const std::string& verification) {
  if (verification.starts_with("Accurate")) return VerificationRating::Proven;
  if (verification.starts_with("Not accurate") || verification.starts_with("Suspicious"))
    return VerificationRating::Doubtful;
  return VerificationRating::Neutral;
}

void MainFormHost::SetRowVerification(int row, const std::string& text) {
  QListWidgetItem* item = form_.TracksList->item(row);
  if (item == nullptr) return;
  item->setData(kVerificationEnglishRole, Q(text));
  item->setData(kVerificationTextRole, text.empty() ? QString() : Q(form_.texts_.Shown(text)));
  item->setData(kVerificationRatingRole, int(RatingOf(text)));
}
