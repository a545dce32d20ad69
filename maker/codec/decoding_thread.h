// TDecodingThread: decodes one MP3, AAC, M4A, FLAC, Ogg Vorbis or Opus file to a WAV file
// beside it.
#pragma once

#include "maker/codec/codec_jobs.h"
#include "maker/codec/codec_thread.h"

class TDecodingThread : public CodecThread {
 public:
  TDecodingThread(MainLoop& loop, WorkerHost& host, const DecoderJob& job);

  // The DecoderError value of the MP3 path (see Mp3DecodeError); 0 for the other paths,
  // whose failures only set the error flag.
  int ErrorCode() const { return errorCode_; }

 protected:
  void Run() override;
  void OutputFailed(CodecEvent kind, const std::string& text) override;

 private:
  DecoderJob job_;
  int errorCode_ = 0;
  // The adapter that decodes the input: every path but the MP3 one reports through the
  // decoder callback.
  bool callbackPath_ = false;
};
