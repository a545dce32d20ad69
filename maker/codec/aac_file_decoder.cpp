// DecodeAacFile over the four exports of libzbaaclib.so.
#include "maker/codec/aac_file_decoder.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "aaclib/zbaaclib.h"
#include "common/fault_guard.h"
#include "common/library_loader.h"
#include "common/wav_header.h"
#include "maker/codec/codec_file.h"

namespace {

constexpr int kBlocksPerProgress = 16;
constexpr size_t kPeriodsPerBlock = 1024;

// The library always fills a two-slot area, whatever the channel count, so the area is
// always ZBAAC_OUTPUT_SAMPLES long; a one-channel block is packed from the even slots.
const int16_t* PackBlock(std::vector<int16_t>& area, std::vector<int16_t>& packed, int channels) {
  if (channels == 2) return area.data();
  for (size_t k = 0; k < kPeriodsPerBlock; ++k) packed[k] = area[2 * k];
  return packed.data();
}

int32_t ClampToInt32(uint64_t value) {
  return value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                             : static_cast<int32_t>(value);
}

CodecOutcome DecodeInto(CodecFile& output, const OutsideLibrary& library, void* record, CodecStatusCallback callback,
                   const std::string& inputPath) {
  auto open = library.Entry<AACDecoder_OpenFn>("AACDecoder_Open");
  auto decode = library.Entry<AACDecoder_DecodeFn>("AACDecoder_Decode");
  auto close = library.Entry<AACDecoder_CloseFn>("AACDecoder_Close");
  if (open == nullptr || decode == nullptr || close == nullptr) return {CodecEvent::LibraryMissing, 0};

  CodecEvent outcome = CodecEvent::Finished;
  int32_t faultCode = 0;
  int channels = 2;
  uint32_t sampleRate = 44100;
  uint64_t totalBytes = 0;
  AacStreamInfo info{};
  if (RunGuarded([&] { open(&info, inputPath.c_str()); }) != 0) {
    outcome = CodecEvent::CannotInitialize;
  } else {
    channels = info.channelMode < 3 ? 2 : 1;
    sampleRate = info.sampleRate;
    std::vector<int16_t> area;
    std::vector<int16_t> packed;
    try {
      area.assign(ZBAAC_OUTPUT_SAMPLES, 0);
      packed.assign(kPeriodsPerBlock, 0);
    } catch (const std::bad_alloc&) {
      outcome = CodecEvent::OutOfMemory;
    }
    const size_t blockBytes = static_cast<size_t>(channels) * kPeriodsPerBlock * sizeof(int16_t);
    int blocks = 0;
    while (outcome == CodecEvent::Finished) {
      int32_t more = 0;
      const uint32_t fault = RunGuarded([&] { more = decode(area.data()); });
      if (fault != 0) {
        outcome = CodecEvent::CodecFailed;
        faultCode = static_cast<int32_t>(fault);
        break;
      }
      if (more == 0) break;
      if (!output.WriteAll(PackBlock(area, packed, channels), blockBytes)) {
        outcome = CodecEvent::CannotWriteOutput;
        break;
      }
      totalBytes += blockBytes;
      if (++blocks % kBlocksPerProgress == 0 &&
          ReportCodecEvent(record, callback, CodecEvent::Progress, ClampToInt32(totalBytes)) != 0) {
        break;
      }
    }
  }
  RunGuarded([&] { close(); });
  const uint32_t headerBytes = totalBytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(totalBytes);
  if (WriteWavHeader(output.Fd(), channels != 2, sampleRate, headerBytes) != kWavWriteOk &&
      outcome == CodecEvent::Finished) {
    outcome = CodecEvent::CannotWriteOutput;
  }
  if (!output.Close() && outcome == CodecEvent::Finished) outcome = CodecEvent::CannotWriteOutput;
  return {outcome, faultCode};
}

}  // namespace

void DecodeAacFile(const std::string& inputPath, const std::string& outputPath, void* record,
                   CodecStatusCallback callback) {
  CodecFile output = CodecFile::CreateForWriting(outputPath);
  if (!output.Valid()) {
    ReportCodecEvent(record, callback, CodecEvent::CannotCreateOutput, errno);
    return;
  }
  if (WriteWavHeader(output.Fd(), /*mono=*/false, 44100, 0) != kWavWriteOk) {
    ReportCodecEvent(record, callback, CodecEvent::CannotWriteOutput);
    return;
  }
  CodecOutcome outcome{CodecEvent::LibraryMissing, 0};
  {
    OutsideLibrary library = OutsideLibrary::Open("zbaaclib");
    if (library.Loaded()) outcome = DecodeInto(output, library, record, callback, inputPath);
  }
  ReportCodecEvent(record, callback, outcome.kind, outcome.value);
}
