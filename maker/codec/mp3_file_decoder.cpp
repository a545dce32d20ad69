// DecodeMp3File over the seven decoder entries of libzbdecode.so.
#include "maker/codec/mp3_file_decoder.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

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

int Fail(CodecRecord& job, int code, const std::string& line) {
  job.MarkError();
  job.Log(line);
  return code;
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

// The decode loop; the caller deletes the decoder and rewrites the header.
struct LoopResult {
  int code = kMp3DecodeOk;
  std::string line;
  bool cancelled = false;
};

LoopResult DecodeFrames(const ZbdecodeEntries& zbd, ZbdDecoder* decoder, CodecFile& output, CodecRecord& job,
                        bool& mono, uint32_t& sampleRate, uint64_t& dataBytes) {
  bool firstFrame = true;
  for (;;) {
    int32_t result = 0;
    if (const uint32_t fault = RunGuarded([&] { result = zbd.decode(decoder, nullptr); }); fault != 0) {
      return {kMp3DecodeLibrary, FaultLine(fault)};
    }
    if (result == ZBD_OK) {
      const ZbdOutputBuffer* buffer = decoder->outputBuffer;
      if (buffer != nullptr && buffer->pcm != nullptr && buffer->bytes > 0) {
        if (firstFrame) {
          mono = buffer->stereo == 0;
          sampleRate = buffer->sampleRate;
          firstFrame = false;
        }
        if (!output.WriteAll(buffer->pcm, buffer->bytes)) {
          return {kMp3DecodeWrite, "Error: cannot write to output file."};
        }
        dataBytes += buffer->bytes;
      }
      ShowProgress(job, *decoder);
    } else if (result == ZBD_ERR_INPUT_READ) {
      return {kMp3DecodeInputOpen, "Error: cannot read input file."};
    }
    if (job.StopRequested()) return {kMp3DecodeOk, {}, /*cancelled=*/true};
    if (result != ZBD_OK && result != ZBD_NO_FRAME_YET && result != ZBD_FRAME_SKIPPED) return {};
  }
}

}  // namespace

int DecodeMp3File(const std::string& inputPath, const std::string& outputPath, CodecRecord& job) {
  CodecFile output = CodecFile::CreateForWriting(outputPath);
  if (!output.Valid()) {
    return Fail(job, kMp3DecodeOutput, std::string("Error: cannot create output file: ") + std::strerror(errno));
  }
  // The header has room for the 64-bit sizes of an output past 4 GiB (an audio book).
  if (WriteWavHeader64(output.Fd(), /*mono=*/false, 44100, 0) != kWavWriteOk) {
    return Fail(job, kMp3DecodeWrite, "Error: cannot write to output file.");
  }

  OutsideLibrary library = OutsideLibrary::Open("zbdecode");
  if (!library.Loaded()) return Fail(job, kMp3DecodeLibrary, "Error: cannot load MP3 decoder.");
  const ZbdecodeEntries zbd(library);
  if (!zbd.Complete()) return Fail(job, kMp3DecodeLibrary, "Error: cannot load MP3 decoder functions.");

  ZbdDecoder* decoder = nullptr;
  int32_t created = -1;
  if (const uint32_t fault = RunGuarded([&] { created = zbd.decoderNew(&decoder); }); fault != 0) {
    return Fail(job, kMp3DecodeLibrary, FaultLine(fault));
  }
  if (created != 0 || decoder == nullptr) return Fail(job, kMp3DecodeLibrary, "Error: cannot create MP3 decoder.");

  int code = kMp3DecodeOk;
  std::string failure;
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
    code = kMp3DecodeLibrary;
    failure = FaultLine(setupFault);
  } else if (inputNew != 0) {
    code = kMp3DecodeInputProcessor;
    failure = "Error: cannot create an input processor for the MP3 decoder.";
  } else if (inputOpen != 0) {
    code = kMp3DecodeInputOpen;
    failure = "Error: cannot open input file.";
  } else {
    LoopResult loop = DecodeFrames(zbd, decoder, output, job, mono, sampleRate, dataBytes);
    code = loop.code;
    failure = std::move(loop.line);
    // Text, another format or random bytes end like an MPEG file without frames: a
    // decode that ran to its end and gave no audio has decoded nothing.
    if (code == kMp3DecodeOk && !loop.cancelled && dataBytes == 0) {
      code = kMp3DecodeNoAudio;
      failure = "Error: no MPEG audio found in input file.";
    }
  }
  RunGuarded([&] { zbd.decoderDelete(decoder); });

  // Whatever ended the loop, the header describes the samples that reached the file.
  const bool headerWritten = WriteWavHeader64(output.Fd(), mono, sampleRate, dataBytes) == kWavWriteOk;
  const bool closed = output.Close();
  if (code == kMp3DecodeOk && (!headerWritten || !closed)) {
    code = kMp3DecodeWrite;
    failure = "Error: cannot write to output file.";
  }
  library.Close();
  if (code != kMp3DecodeOk) return Fail(job, code, failure);
  return kMp3DecodeOk;
}
