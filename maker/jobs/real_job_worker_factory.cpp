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

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeEncoder(const EncoderJob& job) {
  return MakeJobWorker<TEncodingThread>(loop_, host_, job);
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeDecoder(const DecoderJob& job) {
  return MakeJobWorker<TDecodingThread>(loop_, host_, job);
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeAccurateRipLookup(const AccurateRipRequest& request) {
  return MakeJobWorker<AccurateRipLookupThread>(loop_, host_, request);
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeCoverArtLookup(const CoverArtRequest& request) {
  return MakeJobWorker<CoverArtLookupThread>(loop_, host_, request);
}
