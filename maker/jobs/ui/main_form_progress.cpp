// TMainForm: the run's progress in the title and the run bar.
#include <sys/stat.h>

#include <chrono>

#include "maker/jobs/ui/main_form.h"
#include "maker/jobs/ui/main_form_host.h"

using maker::TMainForm;

namespace {

double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int64_t FileBytes(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : 0;
}

bool IsCd(Operation operation) { return operation == Operation::CD2MP3 || operation == Operation::CD2WAV; }

constexpr int64_t kBytesPerSector = 2352;

}  // namespace

void TMainForm::RunBusyChanged(bool busy) {
  if (!busy) {
    runProgress_.Stop();
    runRows_.clear();
    UpdateTitle();
    return;
  }
  if (runProgress_.Running()) return;  // each job of a file run enters the busy state anew
  const Operation operation = SelectedOperation();
  std::vector<int64_t> bytes;
  runRows_.clear();
  if (IsCd(operation)) {
    for (int row = 0; row < TracksList->count(); ++row) {
      if (!TracksList->item(row)->isSelected()) continue;
      runRows_.push_back(row);
      const size_t track = size_t(row) + 1;
      bytes.push_back(track < trackTable_.length.size() ? trackTable_.length[track] * kBytesPerSector : 0);
    }
  } else {
    for (int row = 0; row < FileListBox->count(); ++row) {
      runRows_.push_back(row);
      bytes.push_back(FileBytes(host_->FilePath(row)));
    }
  }
  runProgress_.Start(std::move(bytes), operation == Operation::CD2MP3 ? 2 : 1, NowSeconds());
  UpdateTitle();
}

void TMainForm::RunRowStatusChanged(JobList list, int row, JobStatus status) {
  if (!runProgress_.Running() || (list == JobList::Tracks) != IsCd(SelectedOperation())) return;
  for (size_t job = 0; job < runRows_.size(); ++job)
    if (runRows_[job] == row) runProgress_.JobStatusChanged(int(job), status);
  UpdateTitle();
}

void TMainForm::RunPanelChanged(MakerPanel panel) {
  if (runProgress_.Running()) {
    // The reader's panel follows the reads, the encoder's the encodes and decodes.
    const Operation operation = SelectedOperation();
    if (panel == MakerPanel::Reader && IsCd(operation)) {
      if (const double share = ReaderStatusPanel->Share(); share >= 0) runProgress_.StageProgress(0, share);
    } else if (panel == MakerPanel::Encoder && operation != Operation::CD2WAV) {
      if (const double share = EncoderStatusPanel->Share(); share >= 0)
        runProgress_.StageProgress(operation == Operation::CD2MP3 ? 1 : 0, share);
    }
  }
  UpdateTitle();
}

void TMainForm::UpdateTitle() {
  QString title = QString::fromStdString(caption_);
  const bool running = runProgress_.Running();
  if (running) {
    const RunProgress::View view = runProgress_.At(NowSeconds());
    title = QString::fromStdString(texts_.Shown(RunProgressText(view, IsCd(SelectedOperation()))));
    RunProgressBar->setValue(view.percent);
  }
  RunProgressBar->setVisible(running);
  if (title == title_) return;
  title_ = title;
  setWindowTitle(title);
}
