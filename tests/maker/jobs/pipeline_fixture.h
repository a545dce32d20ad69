// Shared set-up of the pipeline tests: a host that records everything in memory, fake
// workers each test scripts, and a temp folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/main_loop.h"
#include "maker/cd/track_accuracy.h"
#include "maker/codec/encode_result.h"
#include "maker/jobs/accuraterip_lookup_worker.h"
#include "maker/jobs/cover_art_lookup_worker.h"
#include "maker/jobs/job_pipeline.h"
#include "maker/jobs/job_rows.h"
#include "maker/jobs/job_worker_factory.h"
#include "maker/jobs/pipeline_host.h"
#include "maker/jobs/replay_gain_writer.h"
#include "maker/settings/settings_table.h"
#include "maker/worker/worker_host.h"

class RecordingHost final : public PipelineHost {
 public:
  struct Row {
    std::string text{};
    bool selected = false;
    std::vector<std::string> history{};  // every text the row was given, in order
  };

  void AppendLog(MakerLog log, const LogEvent& event) override {
    Log(log).push_back(event.text);
    (log == MakerLog::Reader ? readerEvents : encoderEvents).push_back(event);
  }
  void SetStatusText(MakerPanel panel, const std::string& text) override {
    status[panel] = text;
    statusHistory.push_back(text);
  }
  bool AskYesNo(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return answer;
  }
  ReplaceAnswer AskReplaceExisting(const std::vector<std::string>& paths) override {
    replaceQuestions.push_back(paths);
    return replaceAnswer;
  }
  Operation SelectedOperation() const override { return operation; }
  void SelectOperation(Operation op) override { operation = op; }
  int RowCount(JobList list) const override { return static_cast<int>(Rows(list).size()); }
  std::string TrackName(int row) const override { return TrackRowName(Rows(JobList::Tracks).at(row).text); }
  std::string FilePath(int row) const override { return FileRowPath(Rows(JobList::Files).at(row).text); }
  void SetRowStatus(JobList list, int row, JobStatus status) override {
    Row& shown = Rows(list).at(row);
    shown.text = WithStatus(shown.text, StatusWord(list, status));
    shown.history.push_back(shown.text);
  }
  bool RowSelected(JobList list, int row) const override { return Rows(list).at(row).selected; }
  void SetRowSelected(JobList list, int row, bool on) override { Rows(list).at(row).selected = on; }
  void AppendRow(JobList list, const std::string& text) override { Rows(list).push_back({text}); }
  void ClearLog(MakerLog log) override { Log(log).clear(); }
  // Recorded under the controls' window names.
  void SetControlEnabled(MakerControl control, bool on) override { enabled[ControlName(control)] = on; }
  void SetControlVisible(MakerControl control, bool on) override { visible[ControlName(control)] = on; }
  void SetControlHint(MakerControl control, const std::string& hint) override { hints[ControlName(control)] = hint; }
  void SetMenuChecked(MakerControl item, bool on) override { checked[ControlName(item)] = on; }
  void ShowError(const std::string& text, const std::string& caption) override {
    errors.push_back(caption + "|" + text);
  }
  void Beep() override { ++beeps; }
  void BringToFront() override { ++frontCalls; }
  int SelectedDrive() const override { return drive; }
  CdInfo CdInformation() const override { return cdInfo; }
  const TrackTable* DiscTable() const override { return disc ? &*disc : nullptr; }
  CdDriveIdentity SelectedDriveIdentity() const override { return driveIdentity; }
  void SetRowVerification(int row, const std::string& text) override { verification[row] = text; }

  std::vector<std::string>& Log(MakerLog log) { return log == MakerLog::Reader ? readerLog : encoderLog; }
  std::vector<Row>& Rows(JobList list) { return list == JobList::Tracks ? tracks : files; }
  const std::vector<Row>& Rows(JobList list) const { return list == JobList::Tracks ? tracks : files; }
  // The status words of all rows of a list: "OK + Error".
  std::string Statuses(JobList list) const {
    std::string out;
    for (const Row& row : Rows(list)) {
      if (!out.empty()) out += ' ';
      out.append(row.text, 0, row.text.find('\t'));
    }
    return out;
  }
  // Adds `count` track rows, "+" and selected, as after reading a table of contents.
  void AddTracks(int count) {
    for (int i = 1; i <= count; ++i) {
      char row[64];
      std::snprintf(row, sizeof row, "+\tTrack %02i\t03:00\t", i);
      tracks.push_back({row, true});
    }
  }

  Operation operation = Operation::CD2MP3;
  std::vector<Row> tracks, files;
  std::vector<std::string> readerLog, encoderLog, errors, questions;
  std::vector<LogEvent> readerEvents, encoderEvents;  // the lines of the logs as they came
  std::map<MakerPanel, std::string> status;
  std::vector<std::string> statusHistory;  // every status text, in order
  std::map<std::string, bool> enabled, visible, checked;
  std::map<std::string, std::string> hints;
  int beeps = 0, frontCalls = 0, drive = 0;
  CdInfo cdInfo;
  std::optional<TrackTable> disc;       // the table of contents, when one was read
  CdDriveIdentity driveIdentity;
  std::map<int, std::string> verification;  // each track row's verification text
  bool answer = false;  // the answer to every question
  // The existing outputs of each run's one question, and its answer.
  std::vector<std::vector<std::string>> replaceQuestions;
  ReplaceAnswer replaceAnswer = ReplaceAnswer::KeepAll;
};

// What a fake worker does: post log lines, ask a question (No ends the job at once), write
// a file or make a folder, block until cancelled or until a gate opens, then end with an
// error or warning.
struct WorkerScript {
  bool error = false;
  bool warning = false;
  bool blockUntilCancelled = false;
  std::string writeFile{};
  std::string makeDir{};
  std::vector<std::string> logLines{};
  std::string statusText{};  // shown on the worker's panel after its log lines
  std::string question{};
  std::vector<LogEvent> endEvents{};  // posted when the work is over, before the error or warning
  std::atomic<bool>* gate = nullptr;
  std::atomic<int>* niceAtEnd = nullptr;  // receives the thread's nice value as it ends
  // A reader's proof of its read (the reader is then a TrackAccuracySource), a lookup's result.
  std::optional<TrackAccuracy> accuracy{};
  AccurateRipLookupResult lookup{};
  // An encoder's measured loudness (the encoder is then an EncodeResultSource, when its
  // job asks it to measure).
  std::optional<TrackLoudness> loudness{};
  // A cover lookup's result: the image, or (when none) the error with this text.
  std::optional<CoverImage> cover{};
  std::string coverProblem = "no cover in the script";
};

class ScriptedWorker : public JobWorker {
 public:
  ScriptedWorker(MainLoop& loop, WorkerHost& host, MakerLog log, WorkerScript script)
      : JobWorker(loop), host_(host), log_(log), script_(std::move(script)) {}
  std::atomic<bool> running{false};

 protected:
  void Run() override {
    running = true;
    for (const auto& line : script_.logLines) Synchronize([this, &line] { host_.AppendLog(log_, LogEvent::Info(line)); });
    if (!script_.statusText.empty())
      Synchronize([this] {
        host_.SetStatusText(log_ == MakerLog::Reader ? MakerPanel::Reader : MakerPanel::Encoder, script_.statusText);
      });
    bool yes = true;
    if (!script_.question.empty())
      Synchronize([this, &yes] { yes = host_.AskYesNo(script_.question, "zbmaker Confirmation"); });
    if (yes) {
      if (!script_.writeFile.empty()) std::ofstream(script_.writeFile, std::ios::binary) << std::string(1000, 'x');
      if (!script_.makeDir.empty()) std::filesystem::create_directory(script_.makeDir);
      while (script_.blockUntilCancelled && !Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      while (script_.gate && !*script_.gate) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      for (const LogEvent& event : script_.endEvents) Synchronize([this, &event] { host_.AppendLog(log_, event); });
      if (script_.error) SetError();
      if (script_.warning) SetWarning();
    }
    if (script_.niceAtEnd) *script_.niceAtEnd = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    running = false;
  }

 private:
  WorkerHost& host_;
  MakerLog log_;

 protected:
  WorkerScript script_;
};

// A reader that tells what its read proved, as the real one does.
class AccurateScriptedWorker : public ScriptedWorker, public TrackAccuracySource {
 public:
  using ScriptedWorker::ScriptedWorker;
  TrackAccuracy Accuracy() const override { return script_.accuracy.value_or(TrackAccuracy{}); }
};

// An AccurateRip lookup: its result is the script's, Cancelled when it was cancelled.
class ScriptedLookup : public ScriptedWorker, public AccurateRipLookupSource {
 public:
  using ScriptedWorker::ScriptedWorker;
  AccurateRipLookupResult LookupResult() const override {
    if (!Terminated()) return script_.lookup;
    AccurateRipLookupResult cancelled;
    cancelled.kind = AccurateRipLookupResult::Kind::Cancelled;
    return cancelled;
  }
};

// An encoder that tells the loudness it measured, as the real one does.
class LoudnessScriptedWorker : public ScriptedWorker, public EncodeResultSource {
 public:
  using ScriptedWorker::ScriptedWorker;
  std::optional<TrackLoudness> Loudness() const override { return script_.loudness; }
};

// A ReplayGain writer that writes nothing: it says it wrote every file of its job unless it
// was cancelled, with the track gain of its loudness and an album gain of -1 dB.
class ScriptedReplayGainWriter : public ScriptedWorker, public ReplayGainWriterSource {
 public:
  ScriptedReplayGainWriter(MainLoop& loop, WorkerHost& host, MakerLog log, WorkerScript script, ReplayGainJob job)
      : ScriptedWorker(loop, host, log, std::move(script)), job_(std::move(job)) {}
  std::vector<ReplayGainWritten> Written() const override {
    std::vector<ReplayGainWritten> written;
    if (Terminated()) return written;
    for (const auto& album : job_.albums)
      for (const ReplayGainFile& file : album)
        written.push_back({file.path, {.trackGain = -18 - file.loudness.integratedLufs, .albumGain = -1}});
    return written;
  }

 private:
  ReplayGainJob job_;
};

// A cover lookup: the script's image or problem; Cancelled when it was cancelled.
class ScriptedCoverLookup : public ScriptedWorker, public CoverArtLookupSource {
 public:
  using ScriptedWorker::ScriptedWorker;
  Expected<CoverImage> CoverArtResult() const override {
    if (Terminated()) return Fail(::Error(ErrorCategory::Cancelled, {}, "cancelled"));
    if (script_.cover) return *script_.cover;
    return Fail(::Error(ErrorCategory::Network, {}, script_.coverProblem));
  }
};

// Makes scripted workers from per-kind script functions; records every job and the order
// of the calls ("read 2", "encode /x/Track01.tmp", "decode /a/b.mp3").
class ScriptedFactory final : public JobWorkerFactory {
 public:
  // Readers talk to `readerHost` when given, as the real factory's do.
  ScriptedFactory(MainLoop& loop, WorkerHost& host, WorkerHost* readerHost = nullptr)
      : loop_(loop), host_(host), readerHost_(readerHost ? *readerHost : host) {}
  std::unique_ptr<JobWorker> MakeReader(const ReaderJob& job) override {
    readerJobs.push_back(job);
    WorkerScript script = reader ? reader(job) : WorkerScript{};
    const bool proves = script.accuracy.has_value();
    std::string call = "read " + std::to_string(job.track);
    if (proves) return MakeFrom<AccurateScriptedWorker>(std::move(call), MakerLog::Reader, std::move(script), readerHost_);
    return MakeFrom<ScriptedWorker>(std::move(call), MakerLog::Reader, std::move(script), readerHost_);
  }
  std::unique_ptr<JobWorker> MakeAccurateRipLookup(const AccurateRipRequest& request) override {
    lookupRequests.push_back(request);
    return MakeFrom<ScriptedLookup>("lookup " + request.server, MakerLog::Reader,
                                    lookup ? lookup(request) : WorkerScript{}, host_);
  }
  std::unique_ptr<JobWorker> MakeCoverArtLookup(const CoverArtRequest& request) override {
    coverRequests.push_back(request);
    if (realCoverLookup) {
      calls.push_back("cover " + request.releaseId);
      return realCoverLookup(request);
    }
    return MakeFrom<ScriptedCoverLookup>("cover " + request.releaseId, MakerLog::Reader,
                                         coverLookup ? coverLookup(request) : WorkerScript{}, host_);
  }
  std::unique_ptr<JobWorker> MakeEncoder(const EncoderJob& job, WorkerHost& host) override {
    encoderJobs.push_back(job);
    WorkerScript script = encoder ? encoder(job) : WorkerScript{};
    if (script.loudness && job.measureLoudness)
      return MakeFrom<LoudnessScriptedWorker>("encode " + job.inputPath, MakerLog::Encoder, std::move(script), host);
    return MakeFrom<ScriptedWorker>("encode " + job.inputPath, MakerLog::Encoder, std::move(script), host);
  }
  std::unique_ptr<JobWorker> MakeReplayGainWriter(const ReplayGainJob& job) override {
    replayGainJobs.push_back(job);
    return MakeFrom<ScriptedReplayGainWriter>("replaygain", MakerLog::Encoder,
                                              replayGainWriter ? replayGainWriter(job) : WorkerScript{}, host_, job);
  }
  std::unique_ptr<JobWorker> MakeDecoder(const DecoderJob& job) override {
    return Make("decode " + job.inputPath, MakerLog::Encoder, decoder, job, host_);
  }

  std::function<WorkerScript(const ReaderJob&)> reader;
  std::function<WorkerScript(const EncoderJob&)> encoder;
  std::function<WorkerScript(const DecoderJob&)> decoder;
  std::function<WorkerScript(const AccurateRipRequest&)> lookup;
  std::function<WorkerScript(const ReplayGainJob&)> replayGainWriter;
  std::function<WorkerScript(const CoverArtRequest&)> coverLookup;
  // Makes the cover lookups in place of scripted ones when set (a real lookup thread).
  std::function<std::unique_ptr<JobWorker>(const CoverArtRequest&)> realCoverLookup;
  std::vector<CoverArtRequest> coverRequests;
  std::vector<ReaderJob> readerJobs;
  std::vector<AccurateRipRequest> lookupRequests;
  std::vector<EncoderJob> encoderJobs;
  std::vector<ReplayGainJob> replayGainJobs;
  std::vector<std::string> calls;
  ScriptedWorker* lastWorker = nullptr;

 private:
  template <class Job>
  std::unique_ptr<JobWorker> Make(std::string call, MakerLog log, const std::function<WorkerScript(const Job&)>& script,
                                  const Job& job, WorkerHost& host) {
    return MakeFrom<ScriptedWorker>(std::move(call), log, script ? script(job) : WorkerScript{}, host);
  }
  template <class Kind, class... Extra>
  std::unique_ptr<JobWorker> MakeFrom(std::string call, MakerLog log, WorkerScript script, WorkerHost& host,
                                      Extra&&... extra) {
    calls.push_back(std::move(call));
    // Made as the real factory makes its workers: a "No" to the question is the job's Kept().
    auto worker = MakeJobWorker<Kind>(loop_, host, log, std::move(script), std::forward<Extra>(extra)...);
    lastWorker = static_cast<ScriptedWorker*>(worker.get());
    return worker;
  }
  MainLoop& loop_;
  WorkerHost& host_;
  WorkerHost& readerHost_;
};

inline bool AllLibraries(const std::string&, const char*) { return true; }

// A script that is the same for every job of a kind.
template <class Job>
std::function<WorkerScript(const Job&)> Always(WorkerScript s) {
  return [s](const Job&) { return s; };
}
// Readers write their output file.
inline WorkerScript ReaderWrites(const ReaderJob& job) { return {.writeFile = job.outputPath}; }

class PipelineTest : public ::testing::Test {
 protected:
  // A second host, factory and pipeline, for tests that loop over cases.
  struct Rig {
    Rig(MainLoop& loop, SettingsTable& s, LibraryProbe probe = AllLibraries) : f(loop, h), p(loop, h, f, s, probe) {}
    RecordingHost h;
    ScriptedFactory f;
    JobPipeline p;
  };

  void SetUp() override {
    char pattern[] = "/tmp/zb_jobs_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    settings.outputPath = dir;
    // One encoder lane, whatever the machine: the tests of several lanes choose theirs.
    settings.encoderJobs = 1;
  }
  void TearDown() override {
    pipeline.CancelButtonClick();  // leave no worker behind, whatever the test did
    RunUntilIdle();
    std::filesystem::remove_all(dir);
  }

  // Turns the main loop until pred() holds (some states are only visible on the workers,
  // so this polls). False after ten seconds.
  bool PumpUntil(const std::function<bool()>& pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      if (loop.RunPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  void RunUntilIdle(JobPipeline* p = nullptr) {
    if (!p) p = &pipeline;
    ASSERT_TRUE(PumpUntil([p] { return !p->Busy() && !p->HasLiveWorkers(); }));
  }
  void StartAndFinish(JobPipeline* p = nullptr) {
    (p ? p : &pipeline)->StartButtonClick();
    RunUntilIdle(p);
  }
  // Waits until the factory has made `count` jobs of a kind and the newest worker runs.
  template <class Jobs>
  void WaitRunning(const Jobs& jobs, size_t count) {
    ASSERT_TRUE(PumpUntil([&] { return jobs.size() == count && factory.lastWorker->running; }));
  }

  std::string PathIn(const std::string& name) const { return dir + "/" + name; }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  void AddFiles(std::initializer_list<std::string> names, RecordingHost* h = nullptr) {
    for (const auto& name : names) {
      std::ofstream(PathIn(name), std::ios::binary) << std::string(100, 'w');
      (h ? h : &host)->files.push_back({"+\t" + PathIn(name)});
    }
  }
  size_t LogCount(const std::vector<std::string>& log, const std::string& line) const {
    return std::count(log.begin(), log.end(), line);
  }

  std::string dir;
  QueueMainLoop loop;
  RecordingHost host;
  ScriptedFactory factory{loop, host};
  SettingsTable settings;
  JobPipeline pipeline{loop, host, factory, settings, AllLibraries};
};
