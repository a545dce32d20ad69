// TCDExtractThread: reads one CD track into a WAV file through the reader library.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "common/main_loop.h"
#include "maker/cd/reader_job.h"
#include "maker/worker/job_worker.h"
#include "maker/worker/worker_host.h"

struct ReaderRequest;

// Runs on its own thread: writes the provisional header, starts "XWI" of the reader
// library, polls it every 100 ms relaying its messages to the reader log and its progress
// to the reader status panel, passes Cancel on, normalizes when asked, and writes the final
// header. With the job's accuracy it digests every read, reads the track again as the
// secure mode or burst-then-verify asks, and checks the kept read against the disc's
// AccurateRip record. Error() and Warning() are the reader's error and warning flags; they,
// the peaks and Accuracy() are valid once the thread has ended.
class TCDExtractThread : public JobWorker, public TrackAccuracySource {
 public:
  TCDExtractThread(MainLoop& loop, WorkerHost& host, const ReaderJob& job);

  // The window's Cancel: sets the thread's own cancel flag and asks it to end.
  void Cancel() override;

  // The track's sample peaks as the library reported them; after the run PeakMaximum()
  // holds the peak magnitude (up to 32 768).
  int PeakMaximum() const { return peakMaximum_; }
  int PeakMinimum() const { return peakMinimum_; }
  // Audio bytes the library wrote behind the header.
  int64_t DataBytes() const { return dataBytes_; }
  // What the read proved (valid once the thread has ended).
  TrackAccuracy Accuracy() const override {
    TrackAccuracy accuracy = accuracy_;
    accuracy.problems = problems_;
    return accuracy;
  }

 protected:
  void Run() override;

 private:
  // Logs a line of the track's job: about the track once its heading has named it.
  void Log(LogSeverity severity, const std::string& line);
  void Status(const std::string& text);
  void HandleMessage(uint8_t type, int32_t value, int32_t extra);
  std::string ProgressText(int hundredths) const;
  bool FindTrackSectors();
  struct Reader;
  // Loads the reader library and reads the track as the job's accuracy asks; the error
  // line when the track could not be read.
  std::string ReadTrack(int fd);
  // One read of the whole track behind the header; its digest as ReadTrackAccurately wants it.
  std::optional<TrackDigest> ReadOnce(Reader& reader, int fd, std::string& errorText);

  WorkerHost& host_;
  ReaderJob job_;
  std::string subject_;  // "Track 03" from the heading on
  std::atomic<bool> cancel_{false};
  int lastProgress_ = 0;
  std::time_t lastStatusTime_ = 0;
  std::atomic<int> peakMaximum_{0};
  std::atomic<int> peakMinimum_{0};
  std::atomic<int64_t> dataBytes_{0};
  // Frames outside the disc that the current read wrote as silence.
  int64_t silenceBefore_ = 0;
  int64_t silenceAfter_ = 0;
  TrackAccuracy accuracy_;
  std::vector<std::string> problems_;   // the error and warning lines logged, on this thread
};
