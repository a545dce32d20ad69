// DecodeAacFile over the four exports of libzbaaclib.so.
#include "maker/codec/aac_file_decoder.h"

#include <sys/stat.h>

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
// Input a complete decode may leave unread: the ADIF header, read when the stream is
// opened; the last block or ADTS frame (at most 8191 bytes), whose bits the call that
// meets the end does not return; a trailing ID3v1 tag.
constexpr uint64_t kUndecodedTailBytes = 1024 + 8192 + 128;

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

// The library has no error results: it stops giving blocks at the end of the input and at
// anything it cannot decode alike. Each block returns the bits it took, so a stream that
// stopped with most of the input unread did not decode, and one that gave no block at
// all (another format, text, random bytes) held no AAC audio.
CodecOutcome EndOfBlocks(const std::string& inputPath, uint64_t blocks, uint64_t bitsTaken) {
  if (blocks == 0) return {CodecEvent::CodecFailed, 0, "No AAC audio found in the input file."};
  struct stat input {};
  if (::stat(inputPath.c_str(), &input) != 0 || !S_ISREG(input.st_mode)) return {CodecEvent::Finished};
  const uint64_t size = static_cast<uint64_t>(input.st_size);
  const uint64_t taken = bitsTaken / 8;
  if (size > taken && size - taken > kUndecodedTailBytes) {
    return {CodecEvent::CodecFailed, 0, "Decoding stopped before the end of the input file."};
  }
  return {CodecEvent::Finished};
}

CodecOutcome DecodeInto(CodecFile& output, const OutsideLibrary& library, void* record, CodecStatusCallback callback,
                   const std::string& inputPath) {
  auto open = library.Entry<AACDecoder_OpenFn>("AACDecoder_Open");
  auto decode = library.Entry<AACDecoder_DecodeFn>("AACDecoder_Decode");
  auto close = library.Entry<AACDecoder_CloseFn>("AACDecoder_Close");
  if (open == nullptr || decode == nullptr || close == nullptr) return {CodecEvent::LibraryMissing, 0};

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
    uint64_t bitsTaken = 0;
    while (outcome == CodecEvent::Finished) {
      int32_t more = 0;
      const uint32_t fault = RunGuarded([&] { more = decode(area.data()); });
      if (fault != 0) {
        outcome = CodecEvent::CodecFailed;
        faultCode = static_cast<int32_t>(fault);
        break;
      }
      if (more == 0) {
        const CodecOutcome end = EndOfBlocks(inputPath, blocks, bitsTaken);
        outcome = end.kind;
        detail = end.detail;
        break;
      }
      bitsTaken += static_cast<uint32_t>(more);
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
  {
    OutsideLibrary library = OutsideLibrary::Open("zbaaclib");
    if (library.Loaded()) outcome = DecodeInto(output, library, record, callback, inputPath);
  }
  ReportCodecEvent(record, callback, outcome);
}
