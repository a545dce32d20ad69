// The factory of the real worker threads of the CD and codec layers.
#include "maker/jobs/real_job_worker_factory.h"

#include "maker/cd/cd_device.h"
#include "maker/cd/cd_extract_thread.h"
#include "maker/codec/decoding_thread.h"
#include "maker/codec/encoding_thread.h"

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
