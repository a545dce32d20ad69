// TMainForm: Find Read Offset, from the File menu and from the options window.
#include <QApplication>
#include <QPointer>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <memory>
#include <thread>

#include "common/ui/qt_main_loop.h"
#include "maker/accuracy/accuraterip.h"
#include "maker/accuracy/accuraterip_lookup.h"
#include "maker/cd/cd_drive_menu.h"
#include "maker/cd/read_offset_finder.h"
#include "maker/jobs/rip_accuracy.h"
#include "maker/jobs/ui/main_form.h"
#include "maker/jobs/ui/main_form_host.h"
#include "maker/settings/ui/options_form.h"

using maker::TMainForm;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// "VENDOR MODEL" as a person reads it.
std::string DriveName(const CdDriveIdentity& identity) {
  if (identity.vendor.empty()) return identity.model;
  if (identity.model.empty()) return identity.vendor;
  return identity.vendor + " " + identity.model;
}

bool AnyAudioTrack(const TrackTable& table) {
  for (int track = 1; track <= table.trackCount; ++track)
    if (table.data[size_t(track)] == 0) return true;
  return false;
}

// Offsets are written with their sign: "+667", "-48", "0".
std::string SignedOffset(int offset) {
  char text[16];
  std::snprintf(text, sizeof text, offset > 0 ? "%+d" : "%d", offset);
  return text;
}

// What the progress window and the search share. The search's stage reports reach the
// window through the main loop, possibly after the window has gone: `form` is then null.
struct Search {
  std::atomic<bool> cancelled{false};
  std::atomic<bool> done{false};
  QPointer<TFindReadOffsetForm> form;
  ReadOffsetOutcome finding;
};

}  // namespace

void TMainForm::ShowDriveInOptions() {
  const CdDriveIdentity identity = host_->SelectedDriveIdentity();
  if (identity.vendor.empty() && identity.model.empty())
    optionsForm_->SetDrive({}, anyDrive_ ? std::string() : texts_.Shown(kNoDriveFoundItem));
  else
    optionsForm_->SetDrive(identity.Key(), DriveName(identity));
}

ReadOffsetOutcome TMainForm::SearchReadOffset(const ReadOffsetFinderJob& finderJob, const ReadOffsetQuest& quest,
                                             const std::function<void(ReadOffsetStage)>& stage,
                                             const std::function<bool()>& cancelled) {
  ReadOffsetOutcome outcome;
  stage(ReadOffsetStage::FetchingRecord);
  const AccurateRipLookupResult looked = LookUpAccurateRip(quest.lookup, cancelled);
  switch (looked.kind) {
    case AccurateRipLookupResult::Kind::Found:
      break;
    case AccurateRipLookupResult::Kind::NotInDatabase:
      outcome.kind = ReadOffsetOutcome::Kind::NotInDatabase;
      return outcome;
    case AccurateRipLookupResult::Kind::Failed:
      outcome.kind = ReadOffsetOutcome::Kind::Failed;
      outcome.problem = looked.problem;
      return outcome;
    case AccurateRipLookupResult::Kind::Cancelled:
      outcome.kind = ReadOffsetOutcome::Kind::Cancelled;
      return outcome;
  }

  // The finder is a worker of the main thread: made, cancelled and ended there, while this
  // thread waits and watches for Cancel. It writes what it reads and finds into the reader
  // log and status panel.
  stage(ReadOffsetStage::ReadingTracks);
  ReadOffsetFinderJob job = finderJob;
  job.record = std::make_shared<const AccurateRipRecord>(looked.record);
  job.discIds = quest.lookup.ids;
  std::unique_ptr<Worker<ReadOffsetFinder>> finder;
  loop_.InvokeBlocking([&] {
    finder = std::make_unique<Worker<ReadOffsetFinder>>(loop_, *host_, job);
    finder->Start();
  });
  bool cancelSent = false;
  while (!finder->Finished()) {
    if (!cancelSent && cancelled()) {
      cancelSent = true;
      loop_.InvokeBlocking([&] { finder->Cancel(); });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ReadOffsetFinding finding;
  loop_.InvokeBlocking([&] {
    finding = finder->Finding();
    finder.reset();
  });
  switch (finding.kind) {
    case ReadOffsetFinding::Kind::Found:
      outcome.kind = ReadOffsetOutcome::Kind::Found;
      outcome.offset = finding.best.offset;
      outcome.tracks = finding.best.tracks;
      outcome.confidence = finding.best.confidence;
      break;
    case ReadOffsetFinding::Kind::NoMatch: outcome.kind = ReadOffsetOutcome::Kind::NoMatch; break;
    case ReadOffsetFinding::Kind::NotInDatabase: outcome.kind = ReadOffsetOutcome::Kind::NotInDatabase; break;
    case ReadOffsetFinding::Kind::Failed:
      outcome.kind = ReadOffsetOutcome::Kind::Failed;
      outcome.problem = finding.error;
      break;
    case ReadOffsetFinding::Kind::Cancelled: outcome.kind = ReadOffsetOutcome::Kind::Cancelled; break;
  }
  return outcome;
}

void TMainForm::MenuFileFindReadOffsetClick() {
  UpdateFileMenu();
  if (!MenuFileFindReadOffset->isEnabled()) return;
  FindReadOffset(this);
}

std::optional<int> TMainForm::FindReadOffset(QWidget* owner) {
  if (findReadOffsetForm_ != nullptr || pipeline_->Busy() || !cdOpen_ || !anyDrive_) return std::nullopt;
  const QString caption = Q(texts_.Shown(kMakerErrorCaption));
  if (!AnyAudioTrack(trackTable_)) {
    showError(Q(texts_.Format("FindOffsetNoDisc")), caption);
    return std::nullopt;
  }
  ReadOffsetQuest quest;
  quest.drive = InputCDComboBox->currentIndex();
  quest.identity = host_->SelectedDriveIdentity();
  // The offset is kept for the drive model: a drive that names none cannot keep one.
  if (quest.identity.vendor.empty() && quest.identity.model.empty()) {
    showError(Q(texts_.Format("FindOffsetFailed", {texts_.Format("DriveWithoutIdentity")})), caption);
    return std::nullopt;
  }
  quest.table = trackTable_;
  quest.lookup.server = AccurateRipServerFromEnvironment(settings_.accurateRipServer.str());
  if (settings_.useHttpProxy != 0) quest.lookup.httpProxy = settings_.httpProxy.str();
  quest.lookup.ids = ComputeAccurateRipDiscIds(trackTable_);
  // The tracks are read as a rip reads them, with the drive's access settings.
  ReadOffsetFinderJob finderJob = MakeReadOffsetFinderJob(settings_, quest.drive, cd_.DiscImages(), trackTable_);
  FindReadOffsetFn find = findReadOffset;
  if (!find)
    find = [this, finderJob](const ReadOffsetQuest& q, const std::function<void(ReadOffsetStage)>& stage,
                             const std::function<bool()>& cancelled) {
      return SearchReadOffset(finderJob, q, stage, cancelled);
    };

  auto search = std::make_shared<Search>();
  auto* form = new TFindReadOffsetForm(owner);
  form->setAttribute(Qt::WA_DeleteOnClose, false);
  form->setWindowTitle(Q(texts_.Format("FindOffsetTitle")));
  form->CancelButton->setText(CancelButton->text());
  form->SetText(Q(texts_.Format("FindOffsetFetching")));
  form->setWindowModality(Qt::ApplicationModal);
  search->form = form;
  findReadOffsetForm_ = form;
  connect(form, &TFindReadOffsetForm::cancelAsked, form, [this, search] {
    search->cancelled = true;
    if (search->form) search->form->SetText(Q(texts_.Format("FindOffsetCancelling")));
  });
  form->show();

  // The search reads the drive through the CD layer and the reader library; the window's
  // loop keeps turning (the progress window, Cancel) until it has ended.
  const MakerTexts texts = texts_;
  std::thread worker([this, search, quest, texts, find] {
    auto stage = [this, search, texts](ReadOffsetStage entered) {
      const QString text = Q(texts.Format(entered == ReadOffsetStage::FetchingRecord ? "FindOffsetFetching"
                                                                                      : "FindOffsetSearching"));
      loop_.Post([search, text] {
        if (search->form && !search->cancelled) search->form->SetText(text);
      });
    };
    ReadOffsetOutcome finding;
    try {
      finding = find(quest, stage, [search] { return search->cancelled.load(); });
    } catch (const std::exception& e) {
      finding = {ReadOffsetOutcome::Kind::Failed, 0, 0, 0, e.what()};
    }
    search->finding = std::move(finding);
    search->done = true;
    loop_.Post([] {});  // wakes the waiting loop
  });
  loop_.RunUntil([search] { return search->done.load(); }, std::chrono::hours(24));
  worker.join();
  findReadOffsetForm_ = nullptr;
  form->hide();
  form->deleteLater();

  const ReadOffsetOutcome& found = search->finding;
  switch (found.kind) {
    case ReadOffsetOutcome::Kind::Cancelled:
      return std::nullopt;
    case ReadOffsetOutcome::Kind::NotInDatabase:
      showError(Q(texts_.Format("FindOffsetNotInDatabase")), caption);
      return std::nullopt;
    case ReadOffsetOutcome::Kind::NoMatch:
      showError(Q(texts_.Format("FindOffsetNoMatch")), caption);
      return std::nullopt;
    case ReadOffsetOutcome::Kind::Failed:
      showError(Q(texts_.Format("FindOffsetFailed", {found.problem})), caption);
      return std::nullopt;
    case ReadOffsetOutcome::Kind::Found:
      break;
  }
  // A search cancelled just as it found the offset still offers it.
  const std::string question =
      texts_.Format("FindOffsetSave", {SignedOffset(found.offset), DriveName(quest.identity)}) + "\n\n" +
      texts_.Format("FindOffsetMatched", {std::to_string(found.tracks), std::to_string(found.confidence)});
  if (!askYesNo(Q(question), Q(texts_.Shown(kMakerConfirmCaption)))) return std::nullopt;
  settings_.SetReadOffset(quest.identity.Key(), found.offset);
  return found.offset;
}
