// The factory of the real worker threads: CD track reader, encoder and decoder.
#pragma once

#include "common/main_loop.h"
#include "maker/jobs/job_worker_factory.h"
#include "maker/worker/worker_host.h"

class CdLayer;

// Builds the threads of the CD and codec layers. A kind that this build lacks gives a
// worker that fails at once with a log line, so the row ends in error and nothing crashes.
// The CD reading threads talk to `readerHost` when one is given (the batch run's answers
// the questions about its own temporary files), the others to `host`. Each worker's
// overwrite answer is its own Kept() outcome (MakeJobWorker).
class RealJobWorkerFactory final : public JobWorkerFactory {
 public:
  RealJobWorkerFactory(MainLoop& loop, WorkerHost& host, WorkerHost* readerHost = nullptr)
      : loop_(loop), host_(host), readerHost_(readerHost ? *readerHost : host) {}

  // The reading threads number the drives with the disc images of `cd` (of the front end
  // that owns it; none until this is called).
  void UseCdLayer(const CdLayer& cd) { cd_ = &cd; }

  std::unique_ptr<JobWorker> MakeReader(const ReaderJob& job) override;
  std::unique_ptr<JobWorker> MakeEncoder(const EncoderJob& job, WorkerHost& host) override;
  std::unique_ptr<JobWorker> MakeDecoder(const DecoderJob& job) override;
  std::unique_ptr<JobWorker> MakeAccurateRipLookup(const AccurateRipRequest& request) override;
  std::unique_ptr<JobWorker> MakeReplayGainWriter(const ReplayGainJob& job) override;

  std::unique_ptr<JobWorker> MakeCoverArtLookup(const CoverArtRequest& request) override;

 private:
  MainLoop& loop_;
  WorkerHost& host_;
  WorkerHost& readerHost_;
  const CdLayer* cd_ = nullptr;
};
