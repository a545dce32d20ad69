// TEncodingThread: encodes one WAV file to MP3 or AAC, or runs the external program on it.
#pragma once

#include "maker/codec/codec_jobs.h"
#include "maker/codec/codec_thread.h"

class TEncodingThread : public CodecThread {
 public:
  TEncodingThread(MainLoop& loop, WorkerHost& host, const EncoderJob& job);

  // The description line, for example "Joint-Stereo, 128 kbps, MPEG2" or
  // "Mono, Quality-4 VBR, Fast Mode".
  static std::string Description(const EncoderJob& job);

 protected:
  void Run() override;
  void OutputFailed(CodecEvent kind, const std::string& text) override;

 private:
  void RunExternalProgram();

  EncoderJob job_;
};
