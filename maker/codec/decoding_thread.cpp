// TDecodingThread: output naming and log lines, then the AAC adapter or the MP3 path.
#include "maker/codec/decoding_thread.h"

#include <strings.h>

#include "common/paths.h"
#include "maker/codec/aac_file_decoder.h"
#include "maker/codec/codec_callbacks.h"
#include "maker/codec/mp3_file_decoder.h"

TDecodingThread::TDecodingThread(MainLoop& loop, WorkerHost& host, const DecoderJob& job)
    : CodecThread(loop, host), job_(job) {
  startTime = job.startTime;
  lastStatusTime = job.startTime;
}

void TDecodingThread::Run() {
  const std::string inputPath = TrimJobPath(job_.inputPath);
  outputPath = ChangeFileExt(inputPath, ".wav");

  Log("");
  Log("Decoding: " + inputPath);
  Log("To: " + outputPath);

  // Refused before the overwrite question: a yes to replacing the input would not be kept.
  if (!OutputDiffersFromInput(inputPath)) return;
  if (!MayWriteOutput(job_.confirmOverwrite)) return;

  // The first progress report shows at once.
  lastStatusTime = 0;
  if (strcasecmp(ExtractFileExt(inputPath).c_str(), ".aac") == 0) {
    DecodeAacFile(inputPath, outputPath, Record(), DecoderStatusCallback);
  } else {
    errorCode_ = DecodeMp3File(inputPath, outputPath, *this);
  }
}
