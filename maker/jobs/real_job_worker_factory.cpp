// The factory of the real worker threads of the CD and codec layers.
#include "maker/jobs/real_job_worker_factory.h"

#include "maker/cd/cd_device.h"
#include "maker/cd/cd_extract_thread.h"
#include "maker/codec/decoding_thread.h"
#include "maker/codec/encoding_thread.h"
#include "maker/jobs/accuraterip_lookup_worker.h"
#include "maker/jobs/cover_art_lookup_worker.h"

namespace {

// Fetches the record on its own thread; Cancel ends the transfer within about 100 ms, as
// Cancelled. It writes no log line: the run says what the lookup found.
class AccurateRipLookupThread : public JobWorker, public AccurateRipLookupSource {
 public:
  AccurateRipLookupThread(MainLoop& loop, WorkerHost& /*host*/, AccurateRipRequest request)
      : JobWorker(loop), request_(std::move(request)) {}
  AccurateRipLookupResult LookupResult() const override { return result_; }

 protected:
  void Run() override { result_ = LookUpAccurateRip(request_, [this] { return Terminated(); }); }

 private:
  AccurateRipRequest request_;
  AccurateRipLookupResult result_;
};

// Writes the ReplayGain values of a run's files on its own thread, so that the window
// stays live while the files are rewritten; Cancel stops it before the next file.
class ReplayGainWriterThread : public JobWorker, public ReplayGainWriterSource {
 public:
  ReplayGainWriterThread(MainLoop& loop, WorkerHost& host, ReplayGainJob job)
      : JobWorker(loop), host_(host), job_(std::move(job)) {}
  std::vector<ReplayGainWritten> Written() const override { return written_; }

 protected:
  void Run() override {
    written_ = WriteReplayGains(
        job_,
        [this](const LogEvent& event) {
          if (event.severity == LogSeverity::Warning) SetWarning();
          Synchronize([this, &event] { host_.AppendLog(MakerLog::Encoder, event); });
        },
        [this] { return Terminated(); });
  }

 private:
  WorkerHost& host_;
  ReplayGainJob job_;
  std::vector<ReplayGainWritten> written_;
};

// Fetches the front cover on its own thread; Cancel ends the transfer within about 100 ms.
// It writes no log line: the run says what came of it.
class CoverArtLookupThread : public JobWorker, public CoverArtLookupSource {
 public:
  CoverArtLookupThread(MainLoop& loop, WorkerHost& /*host*/, CoverArtRequest request)
      : JobWorker(loop), request_(std::move(request)) {}
  Expected<CoverImage> CoverArtResult() const override { return result_; }

 protected:
  void Run() override { result_ = LookUpCoverArt(request_, [this] { return Terminated(); }); }

 private:
  CoverArtRequest request_;
  Expected<CoverImage> result_ = Fail(::Error(ErrorCategory::Network, {}, "the lookup did not run"));
};

}  // namespace

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeReader(const ReaderJob& job) {
  ReaderJob withImages = job;
  if (cd_ != nullptr) withImages.discImages = cd_->DiscImages();
  return MakeJobWorker<TCDExtractThread>(loop_, readerHost_, withImages);
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeEncoder(const EncoderJob& job, WorkerHost& host) {
  return MakeJobWorker<TEncodingThread>(loop_, host, job);
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeDecoder(const DecoderJob& job) {
  return MakeJobWorker<TDecodingThread>(loop_, host_, job);
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeAccurateRipLookup(const AccurateRipRequest& request) {
  return MakeJobWorker<AccurateRipLookupThread>(loop_, host_, request);
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeReplayGainWriter(const ReplayGainJob& job) {
  return MakeJobWorker<ReplayGainWriterThread>(loop_, host_, job);
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeCoverArtLookup(const CoverArtRequest& request) {
  return MakeJobWorker<CoverArtLookupThread>(loop_, host_, request);
}
