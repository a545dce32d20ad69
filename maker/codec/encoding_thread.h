// TEncodingThread: encodes one WAV file to MP3, AAC, M4A, FLAC, Ogg Vorbis or Opus, or runs
// the external program on it.
#pragma once

#include "maker/codec/codec_jobs.h"
#include "maker/codec/codec_thread.h"
#include "maker/codec/encode_result.h"

class TEncodingThread : public CodecThread, public EncodeResultSource {
 public:
  TEncodingThread(MainLoop& loop, WorkerHost& host, const EncoderJob& job);

  // The description line, for example "Joint-Stereo, 128 kbps, MPEG2" or
  // "Mono, Quality-4 VBR, Fast Mode".
  static std::string Description(const EncoderJob& job);

  std::optional<TrackLoudness> Loudness() const override { return loudness_; }

 protected:
  void Run() override;
  void OutputFailed(CodecEvent kind, const std::string& text) override;

 private:
  void RunExternalProgram();
  // Runs the adapter of the job's format on the temporary output.
  void Encode(const std::string& inputPath, const std::string& writePath);
  // After a finished encode: the tags into the temporary output, the input's loudness.
  void Complete(const std::string& inputPath, const std::string& writePath);

  EncoderJob job_;
  std::optional<TrackLoudness> loudness_;
};
