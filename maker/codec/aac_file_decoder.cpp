// DecodeAacFile over the exports of libzbaaclib.so.
#include "maker/codec/aac_file_decoder.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "aaclib/loss_text.h"
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

// The library's verdict on the whole decode, as the adapter's final event; `text` holds
// the detail the event points at. A small loss is a success with a warning in the log.
CodecOutcome Judgement(const AacDecodeReport& report, void* record, CodecStatusCallback callback, std::string& text) {
  switch (report.verdict) {
    case ZBAAC_VERDICT_OK:
      return {CodecEvent::Finished};
    case ZBAAC_VERDICT_OK_WITH_LOSSES:
      text = zbaac::LossText(report) + ".";
      text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
      ReportCodecEvent(record, callback, CodecEvent::Warning, 0, text.c_str());
      return {CodecEvent::Finished};
    case ZBAAC_VERDICT_NO_AUDIO:
      return {CodecEvent::CodecFailed, 0, "No AAC audio found in the input file."};
    case ZBAAC_VERDICT_DAMAGED:
      text = "The input file is too damaged: " + std::to_string(report.lostPerMille / 10) + "." +
             std::to_string(report.lostPerMille % 10) + "% of it did not decode (" + zbaac::LossText(report) + ").";
      return {CodecEvent::CodecFailed, 0, text.c_str()};
    case ZBAAC_VERDICT_CANNOT_READ:
      text = std::string("Cannot read the input file: ") + std::strerror(report.errorNumber) + ".";
      return {CodecEvent::CodecFailed, 0, text.c_str()};
    default:
      return {CodecEvent::CodecFailed, 0, "Decoding did not come to an end."};
  }
}

CodecOutcome DecodeInto(CodecFile& output, const OutsideLibrary& library, void* record, CodecStatusCallback callback,
                        const std::string& inputPath, std::string& detailText) {
  auto open = library.Entry<AACDecoder_OpenFn>("AACDecoder_Open");
  auto decode = library.Entry<AACDecoder_DecodeFn>("AACDecoder_Decode");
  auto close = library.Entry<AACDecoder_CloseFn>("AACDecoder_Close");
  auto report = library.Entry<AACDecoder_ReportFn>("AACDecoder_Report");
  if (open == nullptr || decode == nullptr || close == nullptr || report == nullptr) {
    return {CodecEvent::LibraryMissing, 0};
  }

  CodecEvent outcome = CodecEvent::Finished;
  int32_t faultCode = 0;
  const char* detail = nullptr;
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
    uint64_t blocks = 0;
    while (outcome == CodecEvent::Finished) {
      int32_t more = 0;
      const uint32_t fault = RunGuarded([&] { more = decode(area.data()); });
      if (fault != 0) {
        outcome = CodecEvent::CodecFailed;
        faultCode = static_cast<int32_t>(fault);
        break;
      }
      if (more == 0) {
        // The library judges the decode, for every program that uses it alike.
        AacDecodeReport tally{};
        if (const uint32_t reportFault = RunGuarded([&] { report(&tally, sizeof tally); }); reportFault != 0) {
          outcome = CodecEvent::CodecFailed;
          faultCode = static_cast<int32_t>(reportFault);
          break;
        }
        const CodecOutcome end = Judgement(tally, record, callback, detailText);
        outcome = end.kind;
        detail = end.detail;
        break;
      }
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
  if (WriteWavHeader64(output.Fd(), channels != 2, sampleRate, totalBytes) != kWavWriteOk &&
      outcome == CodecEvent::Finished) {
    outcome = CodecEvent::CannotWriteOutput;
  }
  if (!output.Close() && outcome == CodecEvent::Finished) outcome = CodecEvent::CannotWriteOutput;
  return {outcome, faultCode, detail};
}

}  // namespace

void DecodeAacFile(const std::string& inputPath, const std::string& outputPath, void* record,
                   CodecStatusCallback callback) {
  CodecFile output = CodecFile::CreateForWriting(outputPath);
  if (!output.Valid()) {
    ReportCodecEvent(record, callback, CodecEvent::CannotCreateOutput, errno);
    return;
  }
  // The header has room for the 64-bit sizes of an output past 4 GiB (an audio book).
  if (WriteWavHeader64(output.Fd(), /*mono=*/false, 44100, 0) != kWavWriteOk) {
    ReportCodecEvent(record, callback, CodecEvent::CannotWriteOutput);
    return;
  }
  CodecOutcome outcome{CodecEvent::LibraryMissing, 0};
  std::string detailText;  // what the final event's detail points at
  {
    // The library holds one decoder per loaded copy: decodes that run at once each get one.
    OutsideLibrary library = OutsideLibrary::OpenInstance("zbaaclib");
    if (library.Loaded()) outcome = DecodeInto(output, library, record, callback, inputPath, detailText);
  }
  ReportCodecEvent(record, callback, outcome);
}
