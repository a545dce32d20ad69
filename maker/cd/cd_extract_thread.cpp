// The run of one track: header, the reads its accuracy asks for through the reader library,
// message relay, the checks of the kept read, normalization, final header.
#include "maker/cd/cd_extract_thread.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "cdaccess/cd_drive_list.h"
#include "cdaccess/track_table.h"
#include "common/fault_guard.h"
#include "common/library_loader.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "common/wav_header.h"
#include "maker/cd/normalizer.h"
#include "maker/cd/reader_messages.h"
#include "maker/cd/track_read_loop.h"
#include "maker/worker/job_output.h"
#include "outside/zbntread/zbntread.h"

namespace {

constexpr const char* kConfirmCaption = "zbmaker Confirmation";

std::string Format(const char* format, auto... args) {
  char text[1024];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// The reader library's audio hook: digests the track's frames on the library's thread.
void DigestFrames(void* user, const uint32_t* frames, int32_t count) {
  try {
    static_cast<TrackDigester*>(user)->Add(std::span<const uint32_t>(frames, static_cast<size_t>(count)));
  } catch (...) {
    // Out of memory for the sector CRCs: the read goes on; its digest falls short of the
    // track and is not used.
  }
}

// "    Note: 667 samples after the disc's last readable sample were written as silence".
std::string OutsideDiscNote(int64_t frames, const char* where) {
  return Format("    Note: %lli sample%s %s readable sample were written as silence", static_cast<long long>(frames),
                frames == 1 ? "" : "s", where);
}

}  // namespace

TCDExtractThread::TCDExtractThread(MainLoop& loop, WorkerHost& host, const ReaderJob& job)
    : JobWorker(loop), host_(host), job_(job), lastStatusTime_(job.startTime) {}

void TCDExtractThread::Cancel() {
  cancel_ = true;
  Terminate();
}

void TCDExtractThread::Log(LogSeverity severity, const std::string& line) {
  if (severity == LogSeverity::Error || severity == LogSeverity::Warning) {
    const size_t text = line.find_first_not_of(' ');
    if (text != std::string::npos) problems_.push_back(line.substr(text));
  }
  Synchronize([this, event = LogEvent{severity, subject_, line}] { host_.AppendLog(MakerLog::Reader, event); });
}

void TCDExtractThread::Status(const std::string& text) {
  Synchronize([this, text] { host_.SetStatusText(MakerPanel::Reader, text); });
}

std::string TCDExtractThread::ProgressText(int hundredths) const {
  return Format(" CD Reader: %s, Track %02i - %s", Format("%i.%02i%%", hundredths / 100, hundredths % 100).c_str(),
                job_.track, job_.outputPath.c_str());
}

void TCDExtractThread::HandleMessage(uint8_t type, int32_t value, int32_t extra) {
  if (type == READER_MSG_OUTSIDE_DISC) {
    // Noted once the reads are over: every read of the track meets the same silence.
    (extra == 0 ? silenceBefore_ : silenceAfter_) = value;
    return;
  }
  if (type == READER_MSG_FINDING_START) {
    Status(Format(" CD Reader: %s, Track %02i - %s", "Finding start of track", job_.track, job_.outputPath.c_str()));
    return;
  }
  if (type == READER_MSG_PROGRESS) {
    lastProgress_ = std::min<int32_t>(value, 10000);
    const std::time_t now = std::time(nullptr);
    if (now > lastStatusTime_ + 1) {
      Status(ProgressText(lastProgress_));
      lastStatusTime_ = now;
    }
    return;
  }
  const char* text = ReaderMessageText(type);
  if (text == nullptr) return;
  const std::string message = Format(text, value);
  const std::string at = Format("(At %i.%02i%%)", lastProgress_ / 100, lastProgress_ % 100);
  if (IsReaderError(type)) {
    SetError();
    Log(LogSeverity::Error, "    Error: " + message + " " + at);
  } else {
    SetWarning();
    Log(LogSeverity::Warning, "    Warning: " + message + " " + at);
  }
}

bool TCDExtractThread::FindTrackSectors() {
  if (job_.firstSector >= 0 && job_.endSector >= job_.firstSector) return true;
  const CdAccessMethod method = job_.osInterface ? CdAccessMethod::OsInterface : CdAccessMethod::ScsiPassThrough;
  auto source = OpenCdDrive(job_.drive, method, job_.discImages);
  if (!source) return false;
  auto toc = source.Value()->ReadToc();
  if (!toc) return false;
  const auto& starts = toc.Value().starts;
  if (job_.track < 1 || job_.track + 1 > static_cast<int>(starts.size())) return false;
  job_.firstSector = starts[static_cast<size_t>(job_.track - 1)];
  job_.endSector = starts[static_cast<size_t>(job_.track)];
  return true;
}

// The reader library's entries. XWIWithOptions takes the disc images of the job, the read
// offset and the audio hook; a library without it is called through XWIWithImages (the
// job's images) or XWI (the images of its environment), and its reads stay undigested.
struct TCDExtractThread::Reader {
  using XwiEntry = int32_t (*)(ReaderRequest*);
  using XwiWithImagesEntry = int32_t (*)(ReaderRequest*, const char* const*, int32_t);
  using XwiWithOptionsEntry = int32_t (*)(ReaderRequest*, const ReaderOptions*);
  OutsideLibrary library;
  XwiEntry xwi = nullptr;
  XwiWithImagesEntry xwiWithImages = nullptr;
  XwiWithOptionsEntry xwiWithOptions = nullptr;
  std::vector<const char*> images;
};

std::string TCDExtractThread::ReadTrack(int fd) {
  Reader reader;
  reader.library = OutsideLibrary::Open("zbntread");
  if (!reader.library.Loaded()) return "    Error: Cannot load NT reader.";
  reader.xwi = reader.library.Entry<Reader::XwiEntry>("XWI");
  if (reader.xwi == nullptr) return "    Error: Cannot load NT reader function.";
  reader.xwiWithImages = reader.library.Entry<Reader::XwiWithImagesEntry>("XWIWithImages");
  reader.xwiWithOptions = reader.library.Entry<Reader::XwiWithOptionsEntry>("XWIWithOptions");
  for (const std::string& path : job_.discImages) reader.images.push_back(path.c_str());

  std::string errorText;
  bool firstRead = true;
  TrackReadHooks hooks;
  hooks.stopped = [this] { return cancel_ || Terminated(); };
  hooks.log = [this](LogSeverity severity, const std::string& line) {
    if (severity == LogSeverity::Warning) SetWarning();
    Log(severity, line);
  };
  hooks.read = [&]() -> std::optional<TrackDigest> {
    // A read after the first writes over the one before it, and the file ends where it
    // ends. It is written over in place: truncating first makes the file system free and
    // allocate again every block of the track, which made a secure rip three times slower.
    const bool again = !firstRead;
    firstRead = false;
    if (again && lseek(fd, kWavHeaderBytes, SEEK_SET) < 0) {
      errorText = "    Error: Cannot write to file.";
      return std::nullopt;
    }
    std::optional<TrackDigest> read = ReadOnce(reader, fd, errorText);
    if (again && errorText.empty() && ftruncate(fd, kWavHeaderBytes + dataBytes_.load()) != 0) {
      errorText = "    Error: Cannot write to file.";
      return std::nullopt;
    }
    return read;
  };
  accuracy_ = ReadTrackAccurately(job_.accuracy, hooks);
  accuracy_.silenceBefore = silenceBefore_;
  accuracy_.silenceAfter = silenceAfter_;
  if (accuracy_.copy && job_.accuracy.record) {
    const AccurateRipSums& sums = accuracy_.copy->accurateRip;
    Log(LogSeverity::Info, Format("    AccurateRip v1 %08X v2 %08X: %s", sums.v1, sums.v2,
                                  AccurateRipVerdictText(accuracy_.verdict).c_str()));
  }
  if (silenceBefore_ > 0) Log(LogSeverity::Info, OutsideDiscNote(silenceBefore_, "before the disc's first"));
  if (silenceAfter_ > 0) Log(LogSeverity::Info, OutsideDiscNote(silenceAfter_, "after the disc's last"));
  return errorText;
}

std::optional<TrackDigest> TCDExtractThread::ReadOnce(Reader& reader, int fd, std::string& errorText) {
  lastProgress_ = 0;
  silenceBefore_ = silenceAfter_ = 0;
  // The block of this read, valid until the library has set done (the polling below waits
  // for that, and a library that faulted is unloaded, its thread joined, first).
  ReaderRequest request{};
  request.file = fd;
  request.normalize = job_.normalize ? 1 : 0;
  request.osInterface = job_.osInterface ? 1 : 0;
  request.readMode = job_.readMode;
  request.drive = job_.drive;
  request.firstSector = job_.firstSector;
  request.endSector = job_.endSector;
  request.mono = job_.mono ? 1 : 0;
  request.halfRate = job_.rate22050 ? 1 : 0;
  request.sectorsPerRead = job_.sectorsPerRead;
  request.jitterOff = job_.jitterCorrection ? 0 : 1;
  request.overlapPercent = job_.overlapPercent;
  request.syncNoMatchRetries = job_.maxSyncNoMatchRetry;
  request.syncMisalignRetries = job_.maxSyncMisalignRetry;
  std::atomic_ref<int32_t>(request.cancel).store(0);
  std::atomic_ref<int32_t>(request.done).store(0);
  request.audioBytes = 0;
  request.lowest = request.highest = 0;

  const int64_t trackFrames = int64_t{job_.endSector - job_.firstSector} * kCdFramesPerSector;
  TrackDigester digester(trackFrames, job_.accuracy.firstAudioTrack, job_.accuracy.lastAudioTrack);
  ReaderOptions options{};
  options.imagePaths = reader.images.data();
  options.imageCount = static_cast<int32_t>(reader.images.size());
  options.readOffset = job_.accuracy.readOffset;
  options.audio = DigestFrames;
  options.audioUser = &digester;
  const uint32_t fault = RunGuarded([&] {
    if (reader.xwiWithOptions != nullptr) {
      reader.xwiWithOptions(&request, &options);
    } else if (reader.xwiWithImages != nullptr) {
      reader.xwiWithImages(&request, reader.images.data(), static_cast<int32_t>(reader.images.size()));
    } else {
      reader.xwi(&request);
    }
  });
  if (fault != 0) {
    reader.library.Close();
    errorText = "    Error: CD Reader failed.";
    return std::nullopt;
  }
  WaitForReader(
      request, std::chrono::milliseconds(100),
      [this](const ReaderMessage& message) { HandleMessage(message.type, message.value, message.extra); },
      [this] { return Terminated() || cancel_; });
  peakMaximum_ = PeakMagnitude(request.highest, request.lowest);
  peakMinimum_ = request.lowest;
  dataBytes_ = std::atomic_ref<int32_t>(request.audioBytes).load();
  TrackDigest digest = digester.Finish();
  if (reader.xwiWithOptions == nullptr || cancel_ || Terminated() || digest.frames < trackFrames) return std::nullopt;
  return digest;
}

void TCDExtractThread::Run() {
  Log(LogSeverity::Begin, "");
  Log(LogSeverity::Info,
      Format("%i-sector read%s", job_.sectorsPerRead, job_.jitterCorrection ? "; correcting jitters" : ""));
  // The heading names the track: every later line of the job is about it.
  subject_ = Format("Track %02i", job_.track);
  Log(LogSeverity::Info, "Reading: " + subject_);
  Log(LogSeverity::Info, "To: " + job_.outputPath);
  lastProgress_ = 0;
  dataBytes_ = 0;

  if (job_.confirmOverwrite && FileExists(job_.outputPath)) {
    bool yes = false;
    const std::string question = Format("Overwrite existing file %s ?", job_.outputPath.c_str());
    Synchronize([&] { yes = host_.AskYesNo(question, kConfirmCaption); });
    if (!yes) return;
  }

  // Missing folders on the way are made level by level.
  if (const std::string dir = ExtractFileDir(job_.outputPath); !dir.empty()) {
    if (auto made = CreateDirectories(dir); !made) {
      Log(LogSeverity::Error, "    Error: " + made.Error().Message());
      SetError();
      return;
    }
  }

  // The track is read into a temporary file beside the output, which replaces an existing
  // file only once the read has succeeded (normalization reads the samples back).
  auto created = OutputFile::Create(job_.outputPath, {.readable = job_.normalize});
  if (!created) {
    Log(LogSeverity::Error, "    Error: Cannot create file: " + created.Error().reason);
    SetError();
    return;
  }
  OutputFile output = std::move(created).Value();
  const int fd = output.Fd();

  const uint32_t sampleRate = job_.rate22050 ? 22050 : 44100;
  std::string errorText;
  const bool trackKnown = FindTrackSectors();
  const int64_t nominalBytes = trackKnown ? int64_t{job_.endSector - job_.firstSector} * kCdSectorBytes : 0;
  if (WriteWavHeader(fd, job_.mono, sampleRate, static_cast<uint32_t>(nominalBytes)) != kWavWriteOk) {
    errorText = "    Error: Cannot write to file.";
  } else if (!trackKnown) {
    errorText = Format("    Error: Cannot read the table of contents of drive %i.", job_.drive);
  }

  peakMaximum_ = 0;
  peakMinimum_ = 0;
  if (errorText.empty()) errorText = ReadTrack(fd);
  if (!errorText.empty()) SetError();

  if (errorText.empty() && !cancel_ && !Terminated() && !Error() && job_.normalize && peakMaximum_ != 0) {
    NormalizeHooks hooks;
    hooks.log = [this](const std::string& line) { Log(LogSeverity::Info, line); };
    hooks.stop = [this] { return Terminated(); };
    hooks.progress = [this](int64_t done, int64_t total) {
      const std::time_t now = std::time(nullptr);
      if (now <= lastStatusTime_ + 1) return;
      const int whole = total > 0 ? static_cast<int>(done * 100 / total) : 0;
      Status(ProgressText(whole * 100));
      lastStatusTime_ = now;
    };
    NormalizeSettings settings{job_.normalizePercent, job_.normalizeMin, job_.normalizeMax};
    const Outcome normalized = NormalizeTrack(fd, static_cast<uint32_t>(dataBytes_.load()), job_.mono, sampleRate,
                                              peakMaximum_, settings, hooks);
    if (!normalized) {
      errorText = "    Error: " + normalized.Error().Message();
      SetError();
    }
  }

  if (!errorText.empty()) {
    Log(LogSeverity::Error, errorText);
  } else if (WriteWavHeader(fd, job_.mono, sampleRate, static_cast<uint32_t>(dataBytes_.load())) != kWavWriteOk) {
    Log(LogSeverity::Error, "    Error: Cannot write to file.");
    SetError();
  }

  // A cancelled read is unfinished even when the library got to the end of the track.
  const JobEnd end = (cancel_ || Terminated()) ? JobEnd::Cancelled : Error() ? JobEnd::Failed : JobEnd::Finished;
  const JobOutputOutcome outcome =
      EndJobOutput(output, end, job_.keepPartialOutput, kWavHeaderBytes, /*partialExt=*/".wav");
  if (outcome.failed) {
    Log(LogSeverity::Error, "    Error: " + outcome.error);
    SetError();
  }
  if (!outcome.kept.text.empty()) Log(outcome.kept.severity, outcome.kept.text);
}
