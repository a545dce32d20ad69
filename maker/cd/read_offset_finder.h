// ReadOffsetFinder: finds a drive's read offset by reading tracks of a disc that the
// AccurateRip database knows and trying every shift until their checksums match.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "cdaccess/track_table.h"
#include "common/main_loop.h"
#include "maker/accuracy/accuraterip.h"
#include "maker/accuracy/read_offset_search.h"
#include "maker/worker/job_worker.h"
#include "maker/worker/worker_host.h"

struct ReaderMessage;
struct ReaderRequest;

// What the finder reads and with what: the drive, its access settings (as for ripping),
// the disc's table and its record.
struct ReadOffsetFinderJob {
  int drive = 0;                          // index in the drive list (real drives, then images)
  std::vector<std::string> discImages;    // the disc images of that list, in order
  bool osInterface = true;                // UseWinNTRawRead
  int readMode = 0;                       // ASPIReadMode
  int sectorsPerRead = 8;
  bool jitterCorrection = true;
  int overlapPercent = 10;
  int maxSyncNoMatchRetry = 0;
  int maxSyncMisalignRetry = 0;
  TrackTable table;                       // the disc in the drive
  // The disc's record and ids (from the AccurateRip lookup); without a pressing of this
  // disc there is nothing to compare with and the finder ends at once.
  std::shared_ptr<const AccurateRipRecord> record;
  AccurateRipDiscIds discIds;
  int marginFrames = 3000;                // offsets tried: -margin ... +margin samples
  int maxTracks = 3;                      // tracks read at most
};

// How the search ended; valid once the worker has ended.
struct ReadOffsetFinding {
  enum class Kind {
    Found,          // `best` is the offset
    NoMatch,        // the tracks were read, no shift matched
    NotInDatabase,  // the record has no pressing of this disc (or none of its tracks)
    Failed,         // a track could not be read (`error` says why)
    Cancelled,
  };
  Kind kind = Kind::Cancelled;
  OffsetMatch best;                       // Found: the offset, tracks and confidence
  std::vector<int> tracksRead;            // 1-based track numbers read, in reading order
  std::vector<int> tracksMatched;         // Found: the 1-based tracks that back `best`
  std::vector<OffsetMatch> matches;       // every offset that matched a track, best first
  std::string error;
};

// "Read offset +667 (tracks 3, 4, 5 matched, confidence 24)", "No read offset matched
// (tracks 3, 4, 5 read)", "The disc is not in the AccurateRip database", the error, or
// "Cancelled".
std::string ReadOffsetFindingText(const ReadOffsetFinding& finding);

// The 1-based tracks worth reading: audio tracks the disc's pressings vouch for, the
// highest total confidence first; tracks over ten minutes, then the first and last audio
// tracks, only when there are too few others; at most `maxTracks`, in disc order. Empty
// when the record has no pressing of the disc.
std::vector<int> ChooseOffsetTracks(const TrackTable& table, const AccurateRipRecord& record,
                                    const AccurateRipDiscIds& ids, int maxTracks);

// Runs on its own thread. Each chosen track is read widened by the margin on both sides
// (the reader library with a read offset of minus the margin, so that the shift 0 lies in
// the middle), its frames taken from the library's audio hook and nothing written to disk.
// Lines go to the reader log ("Reading track 03 (2 of 3), 3000 samples either side", the
// reader's warnings, each matching track, and the result as ReadOffsetFindingText), progress
// to the reader status panel. Cancel reaches the library within its poll (50 ms) and the
// search within a fraction of a second. Error() is set when a track could not be read,
// Warning() when the reader warned; Finding() tells the rest.
//
// Use: Worker<ReadOffsetFinder> finder(loop, host, job) (or MakeJobWorker), SetOnFinished,
// Start; read Finding() in the completion. Saving the offset is the caller's choice.
class ReadOffsetFinder : public JobWorker {
 public:
  ReadOffsetFinder(MainLoop& loop, WorkerHost& host, const ReadOffsetFinderJob& job);

  void Cancel() override;
  ReadOffsetFinding Finding() const { return finding_; }

 protected:
  void Run() override;

 private:
  void Log(LogSeverity severity, const std::string& line);
  void Status(const std::string& text);
  bool Stopped() const { return cancel_ || Terminated(); }
  // Reads one track widened by the margin into `read`; false with finding_.error set when
  // the read failed, or when cancelled.
  bool ReadWide(int track, int index, int count, WideTrackRead& read);
  void HandleMessage(const ReaderMessage& message, int track);

  WorkerHost& host_;
  ReadOffsetFinderJob job_;
  std::atomic<bool> cancel_{false};
  int lastPercent_ = -1;  // of the track being read, as last shown
  ReadOffsetFinding finding_;
};
