// CdRun: the CD run of the job pipeline (CD to MP3 and CD to WAV).
#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/tags/audio_file_tags.h"
#include "maker/accuracy/accuraterip.h"
#include "maker/cd/track_accuracy.h"
#include "maker/jobs/replay_gain_writer.h"
#include "maker/jobs/rip_files.h"
#include "maker/jobs/run_context.h"

// Reads the selected tracks one after another; in CD to MP3 each read track waits
// ("Read") until an encoder lane is free, so reading the next track overlaps encoding the
// previous ones. A CD to MP3 run has as many encoder lanes as RunContext::EncoderLanes()
// (no more than it has tracks); each read track goes to the next free lane, taken in
// track order, and the reader never waits for them. Each lane's encode keeps its own
// files, start time, end and loudness; rows, delete rules, ID3 step and log lines stay
// per track. With more than one lane, every line of an encode on the encoder log starts
// with its track ("[Track 03] "), the line that opens an encode is left out, and the
// encoder panel tells the lanes' tracks while several run (" MP3 Encoder: 2 tracks (03:
// 45.20%; 04: 12.00%)"); with one lane the log and the
// panel are as with a single encoder. The run ends (ReplayGain of the album, rip log,
// Done) when the reader and every lane are done; album values and the rip log are made
// in track order, whatever order the encodes end in.
// Row numbers of tracks are 1-based (row n is track n). Its entries and its workers'
// completions run on the main loop's thread.
class CdRun {
 public:
  explicit CdRun(RunContext& context) : ctx_(context) {}
  ~CdRun();
  CdRun(const CdRun&) = delete;
  CdRun& operator=(const CdRun&) = delete;

  // Marks the track rows pending (keeping their selection) and reads the first selected
  // track; false, with no run begun, when no track is selected. The context's operation
  // is CD to MP3 or CD to WAV and its Cancel request is cleared.
  bool Start();
  // Asks the workers of the run to stop; their completions end it.
  void Cancel();
  // Gives the encoders that run the context's priority.
  void ApplyPriority();
  // Drops the completions of the workers and asks them to stop (the owner is going away),
  // then waits for them (ReleaseWorkers).
  void StopWorkers();
  void ReleaseWorkers();

  // The disc is looked up, a track is read or encoded (or a read waits for the reader of
  // an earlier run).
  bool Busy() const { return lookup_ || reads_ == Reads::Going || AnyLaneBusy() || replayGain_; }
  bool HasLiveWorkers() const { return lookup_ || reader_ || stoppingReader_ || AnyLaneBusy() || replayGain_; }
  // Output path of 1-based track `track` with `extension` (".tmp" or ".wav").
  std::string TrackOutputPath(int track, const std::string& extension) const;
  // The files the selected tracks' jobs would write in the context's operation: the WAV of
  // CD to WAV, the encoded file of CD to MP3 (none for an external program, whose outputs
  // its command names). The reads' ".tmp" files are the run's own and always replaced.
  std::vector<PlannedOutput> PlannedOutputs() const;

 private:
  // Whether the run's track reads go on: from the first track's read until the read of
  // the last selected track has ended or Cancel ended the reads. (The encodes of the
  // tracks read last may still run when they are over.)
  enum class Reads { Over, Going };

  class LaneHost;
  // One encoder lane: the encode it runs and what the encode's end needs.
  struct EncoderLane {
    EncoderLane(CdRun& run, int index);
    ~EncoderLane();
    std::unique_ptr<LaneHost> host;     // what the lane's encoder talks to
    int track = 0;                      // 1-based track encoded; 0 while the lane is free
    CodecJobFiles files;                // the encode's input (".tmp"), output
    WorkEnd end = WorkEnd::Finished;    // how the encode that ended ended
    std::time_t start = 0;
    std::optional<TrackLoudness> loudness;  // what the ended encode measured
    std::string status;                 // the encoder's last status text
    std::unique_ptr<JobWorker> worker;  // last: joined before the rest goes
  };
  bool AnyLaneBusy() const;
  // Whether the lanes' lines and panel texts name their tracks: with more than one lane.
  bool LabelsLanes() const { return lanes_.size() > 1; }
  // The lines and status texts of lane `lane`'s encoder (and of its encode's end): passed
  // on as they are with one lane, labelled with the track with more.
  void AppendLaneLog(int lane, MakerLog log, const LogEvent& event);
  void SetLaneStatus(int lane, MakerPanel panel, const std::string& text);
  // The encoder panel while lanes encode: a single lane's own text, else the tracks of
  // the lanes and how far each is.
  void ShowEncoderStatus();
  // The first track waiting for the encoder that no lane encodes yet (1-based), or 0.
  int NextTrackToEncode() const;
  void StartLaneEncode(EncoderLane& lane, int track);

  // The steps of the run, in the order of a CD to MP3 run.
  // With AccurateRip on and a table of contents, fetches the disc's record before the
  // first read; false when there is nothing to look up.
  bool StartLookup();
  void LookupEnded(JobWorker* worker);
  // With CoverArt on and a MusicBrainz release in the CD information, fetches the release's
  // front cover after the AccurateRip lookup (in the same slot); false when there is none
  // to fetch. Its end fills cover_ and saves it beside the first track's file, or notes
  // why there is no cover: never an error of the run.
  bool StartCoverArtLookup();
  void CoverArtLookupEnded(JobWorker* worker);
  void SaveCoverArt();
  // A Cancel during a lookup: nothing was read, the run ends.
  void EndCancelledLookup();
  void StartTrackRead();
  void LaunchReader(const ReaderJob& job);
  void ReaderEnded(JobWorker* worker);
  void OnReaderFinished();
  // Gives each free lane the next track waiting for it; ends the run when no track waits,
  // no lane encodes and the reads are over.
  void StartTrackEncode();
  void EncoderEnded(EncoderLane& lane, JobWorker* worker);
  void OnEncoderFinished(EncoderLane& lane);
  // The end of a track's encode: its ".tmp" input, output and row, then the next waiting
  // track. `declined`: the encode kept an existing output.
  void EndTrackEncode(EncoderLane& lane, bool declined);
  // The window's idle state at the end of the run; a reader still stopping then belongs
  // to the run that ended.
  void EnterIdleState();
  // Whether the output of track currentTrack_ is one the run keeps (its question was
  // answered "Keep all"): then the track is not read at all, and its lines say so.
  bool KeepsTrackOutput();
  // After Cancel in CD to MP3: the tracks read but not yet encoded end "Cancelled" and
  // their ".tmp" files are deleted or kept (JobFiles::EndTemporaryInput).
  void EndWaitingReads();
  // Sets the track's status in the job table and shows it on its row.
  void SetTrackStatus(int track, JobStatus status);
  void AppendId3Tag(EncoderLane& lane);
  // The heading "Not reading: Track NN" that opens the reader log's lines of a track that
  // ends before a thread reads it (a read track's lines open with the thread's "Reading:
  // Track NN"): its lines are then the track's own, in the window's log and for the
  // terminal, not the previous track's.
  void LogTrackHeading();
  // What the ended read proved: the track row's verification, its result line, and the
  // track kept for the rip log.
  void ShowReadAccuracy();
  // The end of a run that was not cancelled: the ReplayGain values of the tracks it
  // measured first (StartReplayGain), then the rip log, cue sheet and play list when a
  // track was read, the idle state and Done.
  void FinishRun();
  // Whether the encodes measure their input's loudness: ReplayGain is on and the format
  // takes its tags (MP3 with its ID3 tag, M4A, FLAC, Ogg Vorbis, Opus).
  bool MeasuresLoudness(int mode) const;
  // Writes the ReplayGain values of the tracks measured (one album) on a worker; false
  // when there is nothing to write.
  bool StartReplayGain();
  void ReplayGainEnded(JobWorker* worker);
  // The drive's read offset: the run's own (--read-offset), else the one stored for the
  // chosen drive's model.
  int ReadOffset() const;

  RunContext& ctx_;
  Reads reads_ = Reads::Over;
  JobTable tracks_;
  int currentTrack_ = 0;   // 1-based, the track read
  std::string readerOutputPath_;  // empty for a read that never ran (name clash, cancelled)
  // Files the reads of this run write, with their tracks: a later track with the same path
  // is refused.
  std::vector<std::pair<std::string, int>> readPaths_;
  std::optional<FileState> readerBefore_;  // the reader's output when it started
  WorkEnd readEnd_ = WorkEnd::Finished;    // how the track's read ended
  std::time_t readerStart_ = 0;

  // The AccurateRip lookup of this run: the disc's ids, its record (an empty one when the
  // disc is not in the database; null when it could not be fetched), what the lookup said.
  std::unique_ptr<JobWorker> lookup_;
  std::optional<AccurateRipDiscIds> discIds_;
  std::shared_ptr<const AccurateRipRecord> record_;
  std::string lookupStatus_;
  // What the ended read proved (its worker's TrackAccuracySource), and every track the
  // run read, for the rip log.
  std::optional<TrackAccuracy> readAccuracy_;
  std::map<int, RippedTrack> ripped_;
  // The finished files of the run with their loudness, by track, until the run's end
  // writes their ReplayGain values.
  std::map<int, ReplayGainFile> measured_;
  // The release's front cover when the run fetched one: embedded in every encoded track.
  std::optional<CoverImage> cover_;

  std::unique_ptr<JobWorker> reader_;
  // The encoder lanes of the run (made at its start).
  std::vector<std::unique_ptr<EncoderLane>> lanes_;
  std::unique_ptr<JobWorker> replayGain_;
  // The reader of a run that went idle while it was still stopping (Cancel in CD to MP3):
  // its completion is ignored, and a new run's first read (deferredRead_) waits for it to
  // end, since the reader library serves one track at a time.
  std::unique_ptr<JobWorker> stoppingReader_;
  std::optional<ReaderJob> deferredRead_;
};
