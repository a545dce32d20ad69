// TDecodingThread: decodes one MP3 or AAC file to a WAV file beside it.
#pragma once

#include "maker/codec/codec_jobs.h"
#include "maker/codec/codec_thread.h"

class TDecodingThread : public CodecThread {
 public:
  TDecodingThread(MainLoop& loop, WorkerHost& host, const DecoderJob& job);

  // The DecoderError value of the MP3 path (see Mp3DecodeError); 0 for the AAC path,
  // whose failures only set the error flag.
  int ErrorCode() const { return errorCode_; }

 protected:
  void Run() override;
  void OutputFailed(CodecEvent kind, const std::string& text) override;

 private:
  DecoderJob job_;
  int errorCode_ = 0;
  bool aacPath_ = false;
};
