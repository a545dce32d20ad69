// EncodeAacFile over the four faacEncode entries of libfaac.so.
#include "maker/codec/aac_encoder.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

#include "common/fault_guard.h"
#include "common/library_loader.h"
#include "common/wav_header.h"
#include "maker/codec/codec_file.h"
#include "maker/codec/encoder_input.h"
#include "outside/faac/faac_api.h"

namespace {

constexpr int kFramesPerProgress = 16;

using InitFn = FaacEncodeHandle (*)(const FaacEncodeConfig*, int32_t*, int32_t*, int32_t*);
using FrameFn = int32_t (*)(FaacEncodeHandle, const int16_t*, int32_t, uint8_t*, int32_t*);
using FinishFn = int32_t (*)(FaacEncodeHandle, uint8_t*, int32_t*);
using FreeFn = int32_t (*)(FaacEncodeHandle, uint8_t*);

struct FaacEntries {
  InitFn init;
  FrameFn frame;
  FinishFn finish;
  FreeFn free;

  explicit FaacEntries(const OutsideLibrary& library)
      : init(library.Entry<InitFn>("faacEncodeInit")),
        frame(library.Entry<FrameFn>("faacEncodeFrame")),
        finish(library.Entry<FinishFn>("faacEncodeFinish")),
        free(library.Entry<FreeFn>("faacEncodeFree")) {}
  bool Complete() const { return init && frame && finish && free; }
};

// One encode with its resources; the destructor order does the clean-up of the files.
class AacEncodeRun {
 public:
  AacEncodeRun(const FaacEntries& faac, void* record, CodecStatusCallback callback)
      : faac_(faac), record_(record), callback_(callback) {}

  CodecOutcome Run(const std::string& inputPath, const std::string& outputPath, const AacEncodeOptions& options) {
    CodecOutcome outcome = Encode(inputPath, outputPath, options);
    if (handle_ != nullptr) {
      int32_t freed = -1;
      const uint32_t fault = RunGuarded([&] { freed = faac_.free(handle_, output_.data()); });
      handle_ = nullptr;
      if (headerBytes_ > 0 && output_.size() >= static_cast<size_t>(headerBytes_)) {
        if (fault != 0 || freed != 0) {
          // Without its header the file starts with the zero placeholder and no decoder
          // takes it: a finished encode has failed after all.
          if (outcome.kind == CodecEvent::Finished) outcome = {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
        } else {
          const bool written = out_.SeekTo(0) && out_.WriteAll(output_.data(), static_cast<size_t>(headerBytes_));
          if (!written && outcome.kind == CodecEvent::Finished) outcome = {CodecEvent::CannotWriteOutput};
        }
      }
    }
    if (out_.Valid() && !out_.Close() && outcome.kind == CodecEvent::Finished) {
      outcome = {CodecEvent::CannotWriteOutput};
    }
    in_.Close();
    return outcome;
  }

 private:
  CodecOutcome Encode(const std::string& inputPath, const std::string& outputPath, const AacEncodeOptions& options) {
    const auto [bitRate, jointStereo, useTns, useLtp, adts] = options;
    in_ = CodecFile::OpenForReading(inputPath);
    if (!in_.Valid()) return {CodecEvent::CannotOpenInput};
    WavFormatInfo wav;
    if (ReadWavHeader(in_.Fd(), wav) != kWavReadOk) return {CodecEvent::InvalidWavHeader};
    if (const CodecOutcome input = CheckEncoderInput(wav); input.kind != CodecEvent::Finished) return input;
    // Checked before the output exists, so a refused input leaves no empty file behind.
    if (wav.channels != 2) return {CodecEvent::NotStereo};
    out_ = CodecFile::CreateForWriting(outputPath);
    if (!out_.Valid()) return {CodecEvent::CannotCreateOutput, errno};

    const auto rate = static_cast<int32_t>(wav.sampleRate);
    const FaacEncodeConfig config{2,
                                  rate,
                                  rate,
                                  static_cast<int32_t>(bitRate) * 1000,
                                  rate / 2,
                                  0,
                                  adts ? FAAC_OUTPUT_ADTS : FAAC_OUTPUT_ADIF,
                                  jointStereo ? 1 : 0,
                                  0,
                                  useTns ? 1 : 0,
                                  useLtp ? 1 : 0,
                                  0};
    int32_t samplesPerFrame = 0;
    int32_t outputBytes = 0;
    if (RunGuarded([&] { handle_ = faac_.init(&config, &samplesPerFrame, &outputBytes, &headerBytes_); }) != 0) {
      handle_ = nullptr;
    }
    if (handle_ == nullptr || samplesPerFrame <= 0 || outputBytes < 0 || headerBytes_ > outputBytes) {
      return {CodecEvent::CannotInitialize};
    }
    // Every ADTS frame carries its own header: a file header written over the start would
    // break the first frame, so none is reserved even if the encoder offers one.
    if (adts) headerBytes_ = 0;

    // The data chunk's audio, so chunks stored behind it (LIST, id3) are not encoded as
    // noise at its end.
    const auto dataBytes = static_cast<int64_t>(wav.dataBytes);

    std::vector<int16_t> pcm;
    try {
      pcm.resize(static_cast<size_t>(samplesPerFrame));
      output_.resize(static_cast<size_t>(outputBytes > 0 ? outputBytes : 1));
    } catch (const std::bad_alloc&) {
      return {CodecEvent::OutOfMemory};
    }

    if (headerBytes_ > 0) {
      const std::vector<uint8_t> placeholder(static_cast<size_t>(headerBytes_), 0);
      if (!out_.WriteAll(placeholder.data(), placeholder.size())) return {CodecEvent::CannotWriteOutput};
    }

    int64_t bytesRead = 0;
    int64_t frames = 0;
    for (;;) {
      const int64_t left = dataBytes - bytesRead;
      const size_t want = static_cast<size_t>(std::min<int64_t>(left, pcm.size() * sizeof(int16_t)));
      const ssize_t got = want > 0 ? in_.ReadUpTo(pcm.data(), want) : 0;
      if (got < 0) return {CodecEvent::CannotReadInput};
      bytesRead += got;
      int32_t encoded = 0;
      int32_t result = 0;
      const uint32_t fault = RunGuarded([&] {
        result = faac_.frame(handle_, pcm.data(), static_cast<int32_t>(got / 2), output_.data(), &encoded);
      });
      if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      if (result != 0) return {CodecEvent::CodecFailed};
      if (const CodecEvent failed = WriteEncoded(encoded); failed != CodecEvent::Finished) return {failed};
      if (++frames % kFramesPerProgress == 0 &&
          ReportCodecEvent(record_, callback_, CodecEvent::Progress, AacEncodeProgress(bytesRead, dataBytes)) != 0) {
        return {CodecEvent::Finished};
      }
      if (got == 0) break;
    }
    int32_t remaining = 0;
    int32_t result = 0;
    const uint32_t fault = RunGuarded([&] { result = faac_.finish(handle_, output_.data(), &remaining); });
    if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    if (result != 0) return {CodecEvent::CodecFailed};
    if (const CodecEvent failed = WriteEncoded(remaining); failed != CodecEvent::Finished) return {failed};
    return {CodecEvent::Finished};
  }

  // Writes the bytes the encoder handed back: Finished when done, CannotWriteOutput when the
  // file refuses them, CodecFailed when the encoder claims more than its own buffer holds.
  CodecEvent WriteEncoded(int32_t bytes) {
    if (bytes <= 0) return CodecEvent::Finished;
    if (static_cast<size_t>(bytes) > output_.size()) return CodecEvent::CodecFailed;
    return out_.WriteAll(output_.data(), static_cast<size_t>(bytes)) ? CodecEvent::Finished
                                                                      : CodecEvent::CannotWriteOutput;
  }

  const FaacEntries& faac_;
  void* record_;
  CodecStatusCallback callback_;
  CodecFile in_;
  CodecFile out_;
  FaacEncodeHandle handle_ = nullptr;
  int32_t headerBytes_ = 0;
  std::vector<uint8_t> output_;
};

}  // namespace

int32_t AacEncodeProgress(int64_t bytesRead, int64_t dataBytes) {
  int64_t progress = 10000;
  if (dataBytes >= 10000) {
    progress = (bytesRead / 10000) * 10000 / (dataBytes / 10000);
  } else if (dataBytes > 0) {
    progress = bytesRead * 10000 / dataBytes;
  }
  return static_cast<int32_t>(progress > 10000 ? 10000 : (progress < 0 ? 0 : progress));
}

void EncodeAacFile(const std::string& inputPath, const std::string& outputPath, const AacEncodeOptions& options,
                   void* record, CodecStatusCallback callback) {
  CodecOutcome outcome{CodecEvent::LibraryMissing};
  {
    OutsideLibrary library = OutsideLibrary::Open("faac");
    if (library.Loaded()) {
      const FaacEntries faac(library);
      if (faac.Complete()) {
        AacEncodeRun run(faac, record, callback);
        outcome = run.Run(inputPath, outputPath, options);
      }
    }
  }
  ReportCodecEvent(record, callback, outcome);
}
