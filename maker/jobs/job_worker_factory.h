// How the job pipeline gets its worker threads: one factory call per job.
#pragma once

#include <memory>

#include "maker/accuracy/accuraterip_lookup.h"
#include "maker/cd/reader_job.h"
#include "maker/codec/codec_jobs.h"
#include "maker/jobs/replay_gain_writer.h"

#include "maker/metadata/cover_art_lookup.h"
#include "maker/worker/job_worker.h"

// Each call returns a worker that has not been started; the pipeline attaches its
// completion handler and starts it. A factory that cannot make a worker of a kind returns
// one that fails at once (error flag set, an error line in the log), never nullptr.
// The real factory builds the CD reading, encoding, decoding and lookup threads; tests script
// fake workers through the same interface.
class JobWorkerFactory {
 public:
  virtual ~JobWorkerFactory() = default;
  virtual std::unique_ptr<JobWorker> MakeReader(const ReaderJob& job) = 0;
  // The encoder's lines and status texts go to `host` (a CD run's encoder lane labels them
  // with its track before they reach the program's host).
  virtual std::unique_ptr<JobWorker> MakeEncoder(const EncoderJob& job, WorkerHost& host) = 0;
  virtual std::unique_ptr<JobWorker> MakeDecoder(const DecoderJob& job) = 0;
  // The AccurateRip lookup of a CD run; the worker implements AccurateRipLookupSource.
  virtual std::unique_ptr<JobWorker> MakeAccurateRipLookup(const AccurateRipRequest& request) = 0;
  // The writing of a run's ReplayGain values at its end (WriteReplayGains, its lines on the
  // encoder log); the worker implements ReplayGainWriterSource.
  virtual std::unique_ptr<JobWorker> MakeReplayGainWriter(const ReplayGainJob& job) = 0;

  // The front cover lookup of a CD run; the worker implements CoverArtLookupSource.
  virtual std::unique_ptr<JobWorker> MakeCoverArtLookup(const CoverArtRequest& request) = 0;
};
