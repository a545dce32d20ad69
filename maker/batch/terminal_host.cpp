// The terminal stand-in for the maker's main window.
#include "maker/batch/terminal_host.h"

#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "common/tags/audio_file_format.h"
#include "maker/batch/terminal_text.h"
#include "maker/jobs/job_rows.h"

namespace {

bool IsIdle(const std::string& text) { return text.find(": Idle") != std::string::npos; }

// The parts of a status panel text: " MP3 Encoder: 45.20%, /music/a.aac" has the value
// "45.20%" and the rest "/music/a.aac"; the reader's rest is "Track 03 - /music/x.tmp".
struct PanelText {
  std::string value;
  std::string rest;
};

PanelText SplitPanelText(const std::string& text) {
  PanelText parts;
  const size_t colon = text.find(": ");
  if (colon == std::string::npos) return parts;
  const size_t comma = text.find(", ", colon + 2);
  parts.value = text.substr(colon + 2, comma == std::string::npos ? std::string::npos : comma - colon - 2);
  if (comma != std::string::npos) parts.rest = text.substr(comma + 2);
  return parts;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasExtension(const std::string& path, const char* extension) {
  const size_t length = std::char_traits<char>::length(extension);
  return path.size() >= length && strcasecmp(path.c_str() + path.size() - length, extension) == 0;
}

// The format an encode writes, from the output's extension (the encoder chose it); "" for
// one the maker does not name (an external program's output).
std::string EncodedFormatName(const std::string& path) {
  for (const AudioFileFormat format : {AudioFileFormat::Mp3, AudioFileFormat::Aac, AudioFileFormat::M4a,
                                       AudioFileFormat::Flac, AudioFileFormat::OggVorbis, AudioFileFormat::Opus}) {
    const std::string extension(AudioFormatExtension(format));
    if (HasExtension(path, extension.c_str())) return std::string(AudioFormatName(format));
  }
  return {};
}

// The format a decode reads, chosen as the decoding thread chooses it: ".aac" files are
// AAC, others are told by their first bytes (by their extension when they cannot be read);
// what is none of the other formats goes the MP3 way.
std::string DecodedFormatName(const std::string& input) {
  if (HasExtension(input, ".aac")) return "AAC";
  AudioFileFormat format = SniffAudioFileFormat(input);
  if (format == AudioFileFormat::Unknown) {
    const std::string byName = EncodedFormatName(input);
    return byName.empty() ? "MP3" : byName;
  }
  switch (format) {
    case AudioFileFormat::M4a:
    case AudioFileFormat::Flac:
    case AudioFileFormat::OggVorbis:
    case AudioFileFormat::Opus:
      return std::string(AudioFormatName(format));
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Mp3:
    case AudioFileFormat::Aac:
      break;
  }
  return "MP3";
}

// "0:32", "1:02:03".
std::string Duration(long seconds) {
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
  return text;
}

// The first `columns` characters of the UTF-8 `text`.
std::string CutToColumns(const std::string& text, size_t columns) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters++ == columns) return text.substr(0, i);
  }
  return text;
}

}  // namespace

TerminalHost::TerminalHost(std::FILE* out, std::FILE* err, TerminalChoices choices)
    : out_(out), err_(err), choices_(std::move(choices)) {}

void TerminalHost::ShowProgressOf(JobList list, const std::vector<bool>& wanted) {
  jobRows_.clear();
  for (int row = 0; row < RowCount(list) && row < static_cast<int>(wanted.size()); ++row)
    if (wanted[static_cast<size_t>(row)]) jobRows_.push_back(row);
}

void TerminalHost::ClearStatusLine() {
  if (!statusShown_) return;
  std::fputs("\r\x1b[K", err_);
  std::fflush(err_);
  statusShown_ = false;
}

std::string TerminalHost::PanelProgress(MakerPanel panel, const std::string& text, const PanelJob& job) {
  if (text.empty() || IsIdle(text)) return {};
  const PanelText parts = SplitPanelText(text);
  std::string path = parts.rest;
  std::string what;
  if (panel == MakerPanel::Reader) {
    what = "Reading";
    if (const size_t dash = path.find(" - "); dash != std::string::npos) path = path.substr(dash + 3);
  } else if (operation_ == Operation::MP32WAV) {
    const int row = job.row;
    const std::string input = row >= 0 && row < RowCount(JobList::Files) ? FilePath(row) : "";
    // The input is looked at once per job, not at every update of the line.
    if (decodedFormats_.count(input) == 0) decodedFormats_[input] = DecodedFormatName(input);
    what = "Decoding ";
    what += decodedFormats_[input];
  } else {
    what = "Encoding";
    if (const std::string format = EncodedFormatName(path); !format.empty()) {
      what += ' ';
      what += format;
    }
  }

  if (const auto at = std::find(jobRows_.begin(), jobRows_.end(), job.row); at != jobRows_.end()) {
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on " " + std::string.
    what += ' ';
    what += std::to_string(at - jobRows_.begin() + 1);
    what += '/';
    what += std::to_string(jobRows_.size());
  }
  what += " " + parts.value;

  // The time left of this job, from how long its part so far took.
  if (!parts.value.empty() && parts.value.back() == '%') {
    const double percent = std::strtod(parts.value.c_str(), nullptr);
    const double elapsed = std::chrono::duration<double>(Now() - job.started).count();
    if (percent >= 1 && percent < 100 && elapsed >= 1)
      what += ", " + Duration(static_cast<long>(elapsed * (100 - percent) / percent + 0.5)) + " left";
  }
  if (!path.empty()) what += ", " + BaseName(path);
  return what;
}

void TerminalHost::DrawStatusLine() {
  if (!choices_.progressLine || choices_.quiet) return;
  std::string line;
  for (const auto& [panel, text] : status_) {
    const std::string part = PanelProgress(panel, text, panelJobs_[panel]);
    if (part.empty()) continue;
    if (!line.empty()) line += " | ";
    line += part;
  }
  for (const auto& [lane, status] : lanes_) {
    const std::string part = PanelProgress(MakerPanel::Encoder, status.text, status.job);
    if (part.empty()) continue;
    if (!line.empty()) line += " | ";
    line += part;
  }
  if (line.empty()) return;
  line = TerminalText(line);
  // A line wider than the terminal would wrap, and clearing it would leave the first part.
  winsize size{};
  if (::ioctl(fileno(err_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1) line = CutToColumns(line, size.ws_col - 1u);
  std::fputs(line.c_str(), err_);
  statusShown_ = true;
  std::fflush(err_);
}

void TerminalHost::FinishStatusLine() {
  ClearStatusLine();
  std::fflush(out_);
}

void TerminalHost::PrintLine(std::FILE* stream, const std::string& line) {
  ClearStatusLine();
  std::fputs(TerminalText(line).c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
  DrawStatusLine();
}

std::string TerminalHost::Subject(MakerLog log) const {
  if (const auto found = subjects_.find(log); found != subjects_.end() && !found->second.empty()) return found->second;
  if (log == MakerLog::Encoder && currentFileRow_ >= 0 && currentFileRow_ < RowCount(JobList::Files))
    return FilePath(currentFileRow_);
  return {};
}

void TerminalHost::AppendLog(MakerLog log, const LogEvent& event) {
  // Each job's lines begin with an event that opens them, and its heading names what the
  // job works on; the status text is stale from the opening on, and after the job's end.
  if (event.severity == LogSeverity::Begin) subjects_.erase(log);
  if (event.severity == LogSeverity::Begin || event.severity == LogSeverity::Done)
    status_.erase(log == MakerLog::Reader ? MakerPanel::Reader : MakerPanel::Encoder);
  if (!event.subject.empty()) subjects_[log] = event.subject;

  PrintLog(event, event.text, Subject(log));
}

void TerminalHost::PrintLog(const LogEvent& event, const std::string& shown, const std::string& subject) {
  const std::string& line = event.text;
  const size_t text = line.find_first_not_of(' ');
  const std::string trimmed = text == std::string::npos ? std::string() : line.substr(text);
  const bool error = event.severity == LogSeverity::Error;
  const bool problem = error || event.severity == LogSeverity::Warning;
  // A line that names its subject itself ("Track 02: not accurate") is not prefixed twice.
  const bool named = !subject.empty() && trimmed.rfind(subject + ":", 0) == 0;
  const std::string problemLine = "zbmaker: " + (subject.empty() || named ? "" : subject + ": ") + trimmed;
  if (choices_.quiet) {
    if (error) PrintLine(err_, problemLine);
    return;
  }
  if (problem && choices_.sharedStream) {
    PrintLine(err_, shown);
    return;
  }
  PrintLine(out_, shown);
  if (problem) PrintLine(err_, problemLine);
}

std::string TerminalHost::JobPrefix(int row) const {
  std::string prefix = "[";
  if (const auto at = std::find(jobRows_.begin(), jobRows_.end(), row); at != jobRows_.end())
    prefix += std::to_string(at - jobRows_.begin() + 1) + "/" + std::to_string(jobRows_.size()) + " ";
  return prefix + BaseName(FilePath(row)) + "] ";
}

void TerminalHost::BeginJob(int lane, int row) {
  LaneStatus& status = lanes_[lane];
  status.job.row = row;
  status.job.started = Now();
  status.text.clear();
}

void TerminalHost::AppendJobLog(int lane, int row, const LogEvent& event) {
  if (event.severity == LogSeverity::Begin) return;
  // After the job's last line its status text is stale.
  if (event.severity == LogSeverity::Done) lanes_[lane].text.clear();
  PrintLog(event, JobPrefix(row) + event.text, FilePath(row));
}

void TerminalHost::SetJobStatus(int lane, int row, const std::string& text) {
  LaneStatus& status = lanes_[lane];
  if (status.job.row != row) BeginJob(lane, row);
  const std::string shown = IsIdle(text) ? std::string() : text;
  if (status.text == shown) return;
  status.text = shown;
  if (choices_.quiet) return;
  if (choices_.progressLine) {
    ClearStatusLine();
    DrawStatusLine();
  } else if (!shown.empty()) {
    PrintLine(out_, JobPrefix(row) + shown);
  }
}

bool TerminalHost::AskJobYesNo(int row, const std::string& text) {
  return Answer(JobPrefix(row) + text, choices_.answerYes,
                choices_.answerYes ? "Yes (--yes)" : "No (use --yes to overwrite)");
}

void TerminalHost::SetStatusText(MakerPanel panel, const std::string& text) {
  PanelJob& job = panelJobs_[panel];
  // The pipeline sets a panel idle just before it starts that panel's next job.
  if (IsIdle(text)) job.nextStart = Now();
  std::string& current = status_[panel];
  if (current == text) return;
  current = text;
  if (!IsIdle(text)) {
    int row = -1;
    const PanelText parts = SplitPanelText(text);
    if (panel == MakerPanel::Reader) {
      if (parts.rest.starts_with("Track ")) row = std::atoi(parts.rest.c_str() + 6) - 1;
    } else if (operation_ == Operation::CD2MP3) {
      // The encoder takes the first track that waits for it, and the row keeps "Read"
      // until the encode ends. A text of several encodes at once (" MP3 Encoder: 2 tracks
      // (03: 45.20%; 04: 12.00%)") names its tracks itself.
      const bool several = parts.value.find(" tracks (") != std::string::npos;
      for (int r = 0; r < RowCount(JobList::Tracks) && row < 0 && !several; ++r)
        if (WaitsForEncoder(tracks_[static_cast<size_t>(r)].status)) row = r;
    } else {
      row = currentFileRow_;
    }
    if (row != job.row) {
      job.row = row;
      job.started = job.nextStart.value_or(Now());
      job.nextStart.reset();
    }
  }
  if (choices_.quiet) return;
  if (choices_.progressLine) {
    ClearStatusLine();
    DrawStatusLine();
  } else if (!IsIdle(text)) {
    PrintLine(out_, text);
  }
}

bool TerminalHost::AskYesNo(const std::string& text, const std::string&) {
  return Answer(text, choices_.answerYes, choices_.answerYes ? "Yes (--yes)" : "No (use --yes to overwrite)");
}

ReplaceAnswer TerminalHost::AskReplaceExisting(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) AskYesNo("Overwrite existing file " + path + " ?", kMakerConfirmCaption);
  return choices_.answerYes ? ReplaceAnswer::ReplaceAll : ReplaceAnswer::KeepAll;
}

ReplaceAnswer TerminalHost::AskJobReplaceExisting(int row, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) AskJobYesNo(row, "Overwrite existing file " + path + " ?");
  return choices_.answerYes ? ReplaceAnswer::ReplaceAll : ReplaceAnswer::KeepAll;
}

bool TerminalHost::Answer(const std::string& question, bool yes, const char* why) {
  if (!choices_.quiet) PrintLine(out_, question + " " + why);
  return yes;
}

int TerminalHost::RowCount(JobList list) const { return static_cast<int>(Rows(list).size()); }

std::string TerminalHost::RowText(JobList list, int row) const {
  const auto& rows = Rows(list);
  return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row)].text : std::string();
}

std::string TerminalHost::TrackName(int row) const { return TrackRowName(RowText(JobList::Tracks, row)); }

std::string TerminalHost::FilePath(int row) const { return FileRowPath(RowText(JobList::Files, row)); }

void TerminalHost::SetRowStatus(JobList list, int row, JobStatus status) {
  auto& rows = Rows(list);
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  Row& shown = rows[static_cast<size_t>(row)];
  shown.text = WithStatus(shown.text, StatusWord(list, status));
  shown.status = status;
}

void TerminalHost::SetRowVerification(int row, const std::string& text) {
  if (row < 0 || row >= static_cast<int>(tracks_.size())) return;
  tracks_[static_cast<size_t>(row)].verification = text;
}

std::string TerminalHost::RowVerification(int row) const {
  return row >= 0 && row < static_cast<int>(tracks_.size()) ? tracks_[static_cast<size_t>(row)].verification
                                                            : std::string();
}

JobStatus TerminalHost::StatusOfRow(JobList list, int row) const {
  const auto& rows = Rows(list);
  return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row)].status : JobStatus::Pending;
}

bool TerminalHost::RowSelected(JobList list, int row) const {
  const auto& rows = Rows(list);
  return row >= 0 && row < static_cast<int>(rows.size()) && rows[static_cast<size_t>(row)].selected;
}

void TerminalHost::SetRowSelected(JobList list, int row, bool selected) {
  auto& rows = Rows(list);
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  rows[static_cast<size_t>(row)].selected = selected;
  // The pipeline selects the one file row it starts a job on.
  if (list == JobList::Files && selected) {
    currentFileRow_ = row;
    panelJobs_[MakerPanel::Encoder].nextStart = Now();
  }
}

void TerminalHost::AppendRow(JobList list, const std::string& text) { Rows(list).push_back({text, false}); }

void TerminalHost::ShowError(const std::string& text, const std::string& caption) {
  ClearStatusLine();
  std::fflush(out_);
  std::fprintf(err_, "%s: %s\n", caption.c_str(), TerminalText(text).c_str());
  std::fflush(err_);
  DrawStatusLine();
}

void TerminalHost::Beep() {
  if (!choices_.progressLine || choices_.quiet) return;
  std::fputc('\a', err_);
  std::fflush(err_);
}
