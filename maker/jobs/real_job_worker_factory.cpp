// The factory of the real worker threads. The CD and codec layers are separate libraries;
// a build without one of them still runs the other operations.
#include "maker/jobs/real_job_worker_factory.h"

#include "maker/jobs/failed_job_worker.h"

#if defined(ZIMBAR_HAVE_MAKER_CODEC) && __has_include("maker/codec/encoding_thread.h")
#include "maker/codec/encoding_thread.h"
#define ZIMBAR_ENCODER_THREAD 1
#endif
#if defined(ZIMBAR_HAVE_MAKER_CODEC) && __has_include("maker/codec/decoding_thread.h")
#include "maker/codec/decoding_thread.h"
#define ZIMBAR_DECODER_THREAD 1
#endif
#if defined(ZIMBAR_HAVE_MAKER_CD) && __has_include("maker/cd/cd_extract_thread.h")
#include "maker/cd/cd_extract_thread.h"
#define ZIMBAR_READER_THREAD 1
#endif

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeReader(const ReaderJob& job) {
#ifdef ZIMBAR_READER_THREAD
  return std::make_unique<TCDExtractThread>(loop_, host_, job);
#else
  (void)job;
  return std::make_unique<FailedJobWorker>(loop_, host_, MakerLog::Reader, "CD reading is not part of this build.");
#endif
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeEncoder(const EncoderJob& job) {
#ifdef ZIMBAR_ENCODER_THREAD
  return std::make_unique<TEncodingThread>(loop_, host_, job);
#else
  (void)job;
  return std::make_unique<FailedJobWorker>(loop_, host_, MakerLog::Encoder, "Encoding is not part of this build.");
#endif
}

std::unique_ptr<JobWorker> RealJobWorkerFactory::MakeDecoder(const DecoderJob& job) {
#ifdef ZIMBAR_DECODER_THREAD
  return std::make_unique<TDecodingThread>(loop_, host_, job);
#else
  (void)job;
  return std::make_unique<FailedJobWorker>(loop_, host_, MakerLog::Encoder, "Decoding is not part of this build.");
#endif
}
