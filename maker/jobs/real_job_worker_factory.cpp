// The factory of the real worker threads of the CD and codec layers.
#include "maker/jobs/real_job_worker_factory.h"

#include "maker/cd/cd_device.h"
#include "maker/cd/cd_extract_thread.h"
#include "maker/codec/decoding_thread.h"
#include "maker/codec/encoding_thread.h"
#include "maker/jobs/accuraterip_lookup_worker.h"

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
