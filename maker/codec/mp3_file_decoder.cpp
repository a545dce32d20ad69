// DecodeMp3File over the seven decoder entries of libzbdecode.so.
#include "maker/codec/mp3_file_decoder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "common/fault_guard.h"
#include "common/library_loader.h"
#include "common/wav_header.h"
#include "maker/codec/codec_file.h"
#include "maker/codec/codec_text.h"
#include "outside/zbdecode/zbdecode_api.h"

namespace {

using DecoderNewFn = int32_t (*)(ZbdDecoder**);
using DecoderDeleteFn = int32_t (*)(ZbdDecoder*);
using ModuleRegisterFn = int32_t (*)(ZbdDecoder*, const ZbdInputModule*);
using InputNewFn = int32_t (*)(ZbdDecoder*, const char*, int32_t);
using InputOpenFn = int32_t (*)(ZbdDecoder*);
using DecodeFn = int32_t (*)(ZbdDecoder*, void*);
using FileModuleFn = int32_t (*)(ZbdInputModule*);

struct ZbdecodeEntries {
  DecoderNewFn decoderNew;
  DecoderDeleteFn decoderDelete;
  ModuleRegisterFn moduleRegister;
  InputNewFn inputNew;
  InputOpenFn inputOpen;
  DecodeFn decode;
  FileModuleFn fileModule;

  explicit ZbdecodeEntries(const OutsideLibrary& library)
      : decoderNew(library.Entry<DecoderNewFn>("decoder_new")),
        decoderDelete(library.Entry<DecoderDeleteFn>("decoder_delete")),
        moduleRegister(library.Entry<ModuleRegisterFn>("decoder_input_module_register")),
        inputNew(library.Entry<InputNewFn>("decoder_input_new")),
        inputOpen(library.Entry<InputOpenFn>("decoder_input_open")),
        decode(library.Entry<DecodeFn>("decoder_decode")),
        fileModule(library.Entry<FileModuleFn>("file_input_module_register")) {}
  bool Complete() const {
    return decoderNew && decoderDelete && moduleRegister && inputNew && inputOpen && decode && fileModule;
  }
};

// The Error of a fault, its text the line the job logs.
Error DecodeFailure(Mp3DecodeFault fault, std::string line, int errnum = 0) {
  ErrorCategory category = ErrorCategory::Io;
  if (fault == Mp3DecodeFault::Library || fault == Mp3DecodeFault::InputProcessor) category = ErrorCategory::Unsupported;
  if (fault == Mp3DecodeFault::NoAudio) category = ErrorCategory::Format;
  return Error(category, {}, std::move(line), {}, {}, errnum).WithCase(fault);
}

// Logs the failure and marks the job failed.
Failure<Error> Failed(CodecRecord& job, Error error) {
  job.MarkError();
  job.Log(LogSeverity::Error, error.text);
  return Fail(std::move(error));
}

std::string FaultLine(uint32_t fault) {
  return std::string("Error: MP3 decoder failed. ") + FaultText(fault);
}

void ShowProgress(CodecRecord& job, const ZbdDecoder& decoder) {
  const std::time_t now = job.Now();
  if (!job.StatusDue(now)) return;
  const ZbdInputStatus* input = decoder.inputStatus;
  const uint64_t size = input != nullptr ? input->size : 0;
  const uint64_t position = input != nullptr ? input->position : 0;
  const unsigned percent = size > 0 ? static_cast<unsigned>(position * 100 / size) : 0;
  job.messageText = FormatText(" MP3 Decoder: %u%%, %s", percent, job.outputPath.c_str());
  job.ShowStatusMessage();
  job.lastStatusTime = now;
}

// The decoded PCM on its way to the file, gathered into writes of kWriteBytes: one system
// call for a dozen and more frames instead of one for each. Written() counts the bytes of
// the frames that reached the file whole (a write that fails part way leaves the frames
// before it); after a failed write nothing more is written.
class BatchedPcmWriter {
 public:
  explicit BatchedPcmWriter(CodecFile& file) : file_(file), start_(lseek(file.Fd(), 0, SEEK_CUR)) {
    pending_.reserve(kWriteBytes);
  }

  bool Add(const void* pcm, size_t bytes) {
    if (pending_.size() + bytes > kWriteBytes && !Flush()) return false;
    const auto* from = static_cast<const uint8_t*>(pcm);
    pending_.insert(pending_.end(), from, from + bytes);
    frameEnds_.push_back(pending_.size());
    return true;
  }
  bool Flush() {
    if (failed_) return false;
    if (pending_.empty()) return true;
    uint64_t whole = pending_.size();
    if (!file_.WriteAll(pending_.data(), pending_.size())) {
      failed_ = true;
      const off_t at = lseek(file_.Fd(), 0, SEEK_CUR);
      const off_t flushedFrom = start_ + off_t(written_);
      const uint64_t reached = start_ >= 0 && at > flushedFrom ? uint64_t(at - flushedFrom) : 0;
      whole = 0;
      for (const size_t end : frameEnds_) {
        if (end <= reached) whole = end;
      }
    }
    written_ += whole;
    pending_.clear();
    frameEnds_.clear();
    return !failed_;
  }
  uint64_t Written() const { return written_; }

 private:
  static constexpr size_t kWriteBytes = 64 * 1024;
  CodecFile& file_;
  const off_t start_;              // file offset of the first PCM byte
  std::vector<uint8_t> pending_;
  std::vector<size_t> frameEnds_;  // where each frame in pending_ ends
  uint64_t written_ = 0;
  bool failed_ = false;
};

// The decode loop; the caller flushes the output, deletes the decoder and rewrites the
// header.
struct LoopResult {
  std::optional<Error> failure;
  bool cancelled = false;
};

LoopResult DecodeFrames(const ZbdecodeEntries& zbd, ZbdDecoder* decoder, BatchedPcmWriter& output, CodecRecord& job,
                        bool& mono, uint32_t& sampleRate) {
  bool firstFrame = true;
  for (;;) {
    int32_t result = 0;
    if (const uint32_t fault = RunGuarded([&] { result = zbd.decode(decoder, nullptr); }); fault != 0) {
      return {DecodeFailure(Mp3DecodeFault::Library, FaultLine(fault))};
    }
    if (result == ZBD_OK) {
      const ZbdOutputBuffer* buffer = decoder->outputBuffer;
      if (buffer != nullptr && buffer->pcm != nullptr && buffer->bytes > 0) {
        if (firstFrame) {
          mono = buffer->stereo == 0;
          sampleRate = buffer->sampleRate;
          firstFrame = false;
        }
        if (!output.Add(buffer->pcm, buffer->bytes)) {
          return {DecodeFailure(Mp3DecodeFault::Write, "Error: cannot write to output file.")};
        }
      }
      ShowProgress(job, *decoder);
    } else if (result == ZBD_ERR_INPUT_READ) {
      return {DecodeFailure(Mp3DecodeFault::InputOpen, "Error: cannot read input file.")};
    }
    if (job.StopRequested()) return {std::nullopt, /*cancelled=*/true};
    if (result != ZBD_OK && result != ZBD_NO_FRAME_YET && result != ZBD_FRAME_SKIPPED) return {};
  }
}

}  // namespace

int Mp3DecoderErrorFlag(const Outcome& outcome) {
  if (outcome) return kMp3DecodeOk;
  switch (outcome.Error().CaseOr(Mp3DecodeFault::Library)) {
    case Mp3DecodeFault::Library: return kMp3DecodeLibrary;
    case Mp3DecodeFault::InputProcessor: return kMp3DecodeInputProcessor;
    case Mp3DecodeFault::InputOpen: return kMp3DecodeInputOpen;
    case Mp3DecodeFault::Output: return kMp3DecodeOutput;
    case Mp3DecodeFault::Write: return kMp3DecodeWrite;
    case Mp3DecodeFault::NoAudio: return kMp3DecodeNoAudio;
  }
  return kMp3DecodeLibrary;
}

Outcome DecodeMp3File(const std::string& inputPath, const std::string& outputPath, CodecRecord& job) {
  CodecFile output = CodecFile::CreateForWriting(outputPath);
  if (!output.Valid()) {
    const int error = errno;
    return Failed(job, DecodeFailure(Mp3DecodeFault::Output,
                                     std::string("Error: cannot create output file: ") + std::strerror(error), error));
  }
  // The header has room for the 64-bit sizes of an output past 4 GiB (an audio book).
  if (WriteWavHeader64(output.Fd(), /*mono=*/false, 44100, 0) != kWavWriteOk) {
    return Failed(job, DecodeFailure(Mp3DecodeFault::Write, "Error: cannot write to output file."));
  }

  OutsideLibrary library = OutsideLibrary::Open("zbdecode");
  if (!library.Loaded()) return Failed(job, DecodeFailure(Mp3DecodeFault::Library, "Error: cannot load MP3 decoder."));
  const ZbdecodeEntries zbd(library);
  if (!zbd.Complete())
    return Failed(job, DecodeFailure(Mp3DecodeFault::Library, "Error: cannot load MP3 decoder functions."));

  ZbdDecoder* decoder = nullptr;
  int32_t created = -1;
  if (const uint32_t fault = RunGuarded([&] { created = zbd.decoderNew(&decoder); }); fault != 0) {
    return Failed(job, DecodeFailure(Mp3DecodeFault::Library, FaultLine(fault)));
  }
  if (created != 0 || decoder == nullptr)
    return Failed(job, DecodeFailure(Mp3DecodeFault::Library, "Error: cannot create MP3 decoder."));

  std::optional<Error> failure;
  int32_t inputNew = -1;
  int32_t inputOpen = -1;
  const uint32_t setupFault = RunGuarded([&] {
    ZbdInputModule module{};
    zbd.fileModule(&module);
    zbd.moduleRegister(decoder, &module);
    inputNew = zbd.inputNew(decoder, inputPath.c_str(), -1);
    if (inputNew == 0) inputOpen = zbd.inputOpen(decoder);
  });
  bool mono = false;
  uint32_t sampleRate = 44100;
  uint64_t dataBytes = 0;
  if (setupFault != 0) {
    failure = DecodeFailure(Mp3DecodeFault::Library, FaultLine(setupFault));
  } else if (inputNew != 0) {
    failure = DecodeFailure(Mp3DecodeFault::InputProcessor, "Error: cannot create an input processor for the MP3 decoder.");
  } else if (inputOpen != 0) {
    failure = DecodeFailure(Mp3DecodeFault::InputOpen, "Error: cannot open input file.");
  } else {
    BatchedPcmWriter pcm(output);
    LoopResult loop = DecodeFrames(zbd, decoder, pcm, job, mono, sampleRate);
    failure = std::move(loop.failure);
    // What was decoded before the end (a cancel or a fault too) goes to the file.
    if (!pcm.Flush() && !failure) failure = DecodeFailure(Mp3DecodeFault::Write, "Error: cannot write to output file.");
    dataBytes = pcm.Written();
    // Text, another format or random bytes end like an MPEG file without frames: a
    // decode that ran to its end and gave no audio has decoded nothing.
    if (!failure && !loop.cancelled && dataBytes == 0)
      failure = DecodeFailure(Mp3DecodeFault::NoAudio, "Error: no MPEG audio found in input file.");
  }
  RunGuarded([&] { zbd.decoderDelete(decoder); });

  // Whatever ended the loop, the header describes the samples that reached the file.
  const bool headerWritten = WriteWavHeader64(output.Fd(), mono, sampleRate, dataBytes) == kWavWriteOk;
  const bool closed = output.Close();
  if (!failure && (!headerWritten || !closed))
    failure = DecodeFailure(Mp3DecodeFault::Write, "Error: cannot write to output file.");
  library.Close();
  if (failure) return Failed(job, std::move(*failure));
  return Done{};
}
