// EncodeMp3File over the seven MPGE_ entries of libgogo.so.
#include "maker/codec/mp3_encoder.h"

#include <array>
#include <cstdint>

#include "common/fault_guard.h"
#include "common/library_loader.h"
#include "common/wav_header.h"
#include "outside/gogo/gogo_api.h"

namespace {

constexpr std::array<int, 14> kMpeg1MonoKbps = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 14> kMpeg2MonoKbps = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kFramesPerProgress = 16;

using InitializeWorkFn = int32_t (*)();
using SetConfigureFn = int32_t (*)(uint32_t, uint32_t, const char*);
using GetConfigureFn = int32_t (*)(uint32_t, void*);
using DetectConfigureFn = int32_t (*)();
using ProcessFrameFn = int32_t (*)();
using EndCoderFn = int32_t (*)();
using CloseCoderFn = int32_t (*)();

struct GogoEntries {
  InitializeWorkFn initializeWork = nullptr;
  SetConfigureFn setConfigure = nullptr;
  GetConfigureFn getConfigure = nullptr;
  DetectConfigureFn detectConfigure = nullptr;
  ProcessFrameFn processFrame = nullptr;
  EndCoderFn endCoder = nullptr;
  CloseCoderFn closeCoder = nullptr;

  explicit GogoEntries(const OutsideLibrary& library)
      : initializeWork(library.Entry<InitializeWorkFn>("MPGE_initializeWork")),
        setConfigure(library.Entry<SetConfigureFn>("MPGE_setConfigure")),
        getConfigure(library.Entry<GetConfigureFn>("MPGE_getConfigure")),
        detectConfigure(library.Entry<DetectConfigureFn>("MPGE_detectConfigure")),
        processFrame(library.Entry<ProcessFrameFn>("MPGE_processFrame")),
        endCoder(library.Entry<EndCoderFn>("MPGE_endCoder")),
        closeCoder(library.Entry<CloseCoderFn>("MPGE_closeCoder")) {}

  bool Complete() const {
    return initializeWork && setConfigure && getConfigure && detectConfigure && processFrame && endCoder &&
           closeCoder;
  }
};

// A guarded call of an entry without arguments: the result, or the fault code.
struct Guarded {
  int32_t result = 0;
  uint32_t fault = 0;
};
template <typename Fn>
Guarded CallGuarded(Fn fn) {
  Guarded call;
  call.fault = RunGuarded([&] { call.result = fn(); });
  return call;
}

// The encoder's own failure codes name file-system failures; they keep their kinds.
CodecEvent StartFailureKind(int32_t result) {
  switch (result) {
    case GOGO_ERR_INPUT_OPEN: return CodecEvent::CannotOpenInput;
    case GOGO_ERR_INPUT_READ: return CodecEvent::CannotReadInput;
    case GOGO_ERR_OUTPUT_OPEN: return CodecEvent::CannotCreateOutput;
    case GOGO_ERR_OUTPUT_WRITE: return CodecEvent::CannotWriteOutput;
    case GOGO_ERR_MEMORY: return CodecEvent::OutOfMemory;
    default: return CodecEvent::CannotInitialize;
  }
}

CodecEvent RunFailureKind(int32_t result) {
  switch (result) {
    case GOGO_ERR_INPUT_READ: return CodecEvent::CannotReadInput;
    case GOGO_ERR_OUTPUT_WRITE: return CodecEvent::CannotWriteOutput;
    case GOGO_ERR_MEMORY: return CodecEvent::OutOfMemory;
    default: return CodecEvent::CodecFailed;
  }
}

void Configure(const GogoEntries& gogo, const std::string& inputPath, const std::string& outputPath,
               const Mp3EncodeOptions& options, const WavFormatInfo& wav) {
  const auto [bitRate, mono, mpeg2, jointStereo, fastMode] = options;
  const bool lowRate = wav.sampleRate < 32000;
  const bool monoOutput = mono || wav.channels == 1;
  gogo.setConfigure(GOGO_ITEM_INPUT_FILE, 0, inputPath.c_str());
  gogo.setConfigure(GOGO_ITEM_OUTPUT_FILE, 0, outputPath.c_str());
  if (bitRate >= 1000) {
    gogo.setConfigure(GOGO_ITEM_BIT_RATE, (mpeg2 || lowRate) ? 8 : 32, nullptr);
    gogo.setConfigure(GOGO_ITEM_VBR_QUALITY, 1010u - bitRate, nullptr);
  } else if (monoOutput) {
    gogo.setConfigure(GOGO_ITEM_BIT_RATE, static_cast<uint32_t>(MonoBitRate(bitRate, mpeg2 || lowRate)), nullptr);
  } else {
    gogo.setConfigure(GOGO_ITEM_BIT_RATE, bitRate, nullptr);
  }
  gogo.setConfigure(GOGO_ITEM_CHANNEL_MODE, monoOutput ? 0 : (jointStereo ? 2 : 1), nullptr);
  gogo.setConfigure(GOGO_ITEM_QUALITY_MODE, fastMode ? 0 : 1, nullptr);
  gogo.setConfigure(GOGO_ITEM_ERROR_PROTECTION, 0, nullptr);
  if (mpeg2 && wav.sampleRate >= 32000) gogo.setConfigure(GOGO_ITEM_OUTPUT_FREQUENCY, wav.sampleRate / 2, nullptr);
}

CodecOutcome Encode(const GogoEntries& gogo, const std::string& inputPath, const std::string& outputPath,
               const Mp3EncodeOptions& options, void* record, CodecStatusCallback callback) {
  const Guarded init = CallGuarded(gogo.initializeWork);
  if (init.fault != 0 || init.result != 0) return {CodecEvent::CannotInitialize};

  WavFormatInfo wav;
  const int header = ReadWavHeaderFromPath(inputPath.c_str(), wav);
  if (header == kWavReadOpenFailed) return {CodecEvent::CannotOpenInput};
  if (header != kWavReadOk) return {CodecEvent::InvalidWavHeader};
  if (const CodecOutcome input = CheckEncoderInput(wav); input.kind != CodecEvent::Finished) return input;

  bool configured = false;
  const uint32_t configureFault = RunGuarded([&] {
    Configure(gogo, inputPath, outputPath, options, wav);
    configured = true;
  });
  if (configureFault != 0 || !configured) return {CodecEvent::CannotInitialize};

  const Guarded detect = CallGuarded(gogo.detectConfigure);
  if (detect.fault != 0) return {CodecEvent::CannotInitialize};
  if (detect.result != 0) return {StartFailureKind(detect.result)};

  int32_t totalFrames = 0;
  if (const uint32_t fault = RunGuarded([&] { gogo.getConfigure(GOGO_ITEM_FRAME_COUNT, &totalFrames); });
      fault != 0) {
    return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
  }

  int64_t frames = 0;
  for (;;) {
    const Guarded frame = CallGuarded(gogo.processFrame);
    if (frame.fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(frame.fault)};
    if (frame.result == GOGO_END_OF_INPUT) break;
    if (frame.result != 0) return {RunFailureKind(frame.result)};
    if (++frames % kFramesPerProgress != 0) continue;
    int64_t progress = totalFrames > 0 ? frames * 10000 / totalFrames : 10000;
    if (progress > 10000) progress = 10000;
    if (ReportCodecEvent(record, callback, CodecEvent::Progress, static_cast<int32_t>(progress)) != 0) break;
  }

  const Guarded end = CallGuarded(gogo.endCoder);
  if (end.fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(end.fault)};
  if (end.result != 0) return {RunFailureKind(end.result)};
  return {CodecEvent::Finished};
}

}  // namespace

int MonoBitRate(int bitRate, bool mpeg2Table) {
  const int half = bitRate / 2;
  const auto& table = mpeg2Table ? kMpeg2MonoKbps : kMpeg1MonoKbps;
  for (int entry : table) {
    if (entry >= half) return entry;
  }
  return half;
}

void EncodeMp3File(const std::string& inputPath, const std::string& outputPath, const Mp3EncodeOptions& options,
                   void* record, CodecStatusCallback callback) {
  // The library holds one encoder per loaded copy: encodes that run at once each get one.
  OutsideLibrary library = OutsideLibrary::OpenInstance("gogo");
  if (!library.Loaded()) {
    ReportCodecEvent(record, callback, CodecEvent::LibraryMissing);
    return;
  }
  const GogoEntries gogo(library);
  CodecOutcome outcome{CodecEvent::LibraryMissing};
  if (gogo.Complete()) {
    outcome = Encode(gogo, inputPath, outputPath, options, record, callback);
  }
  ReportCodecEvent(record, callback, outcome);
  if (gogo.closeCoder != nullptr) RunGuarded([&] { gogo.closeCoder(); });
}
