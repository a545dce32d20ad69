// The decoder state of one stream and the block pipeline: parse, spectral tools,
// filterbank, 16-bit output.
#include "aaclib/aac_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "aaclib/aac_pcm_output.h"
#include "aaclib/aac_stereo.h"
#include "aaclib/aac_tables_bands.h"
#include "aaclib/aac_tns.h"
#include "aaclib/adif_header.h"
#include "aaclib/adts_header.h"

namespace zbaac {

namespace {

// The longest ADTS header: the 7 fixed bytes, then for a protected frame up to three
// block positions and the CRC. A protected stream's first header is only whole with them.
constexpr std::size_t kAdtsLongestHeaderBytes = 15;
constexpr std::size_t kAdtsScanWindowBytes = 64 * 1024;

// Scans the ADTS frames from the start of the stream, frame by frame through the length
// fields, and gives the mean bit rate; 0 when not even one frame is found. `read` fills up
// to kAdtsLongestHeaderBytes at an offset (fewer at the end) and says how many it got.
template <typename ReadAt>
std::uint32_t AdtsBitRate(ReadAt&& read, int sampleRate) {
  std::uint64_t blocks = 0;
  std::uint64_t bytes = 0;
  std::uint64_t position = 0;
  std::uint8_t header[kAdtsLongestHeaderBytes];
  while (blocks < 10000000) {
    const std::size_t got = read(position, header);
    if (got == 0) break;
    auto parsed = ParseAdtsHeader(std::span<const std::uint8_t>(header, got), 0);
    if (!parsed.Ok()) break;
    blocks += static_cast<std::uint64_t>(parsed.Value().rawDataBlocks);
    bytes += static_cast<std::uint64_t>(parsed.Value().frameLengthBytes);
    position += static_cast<std::uint64_t>(parsed.Value().frameLengthBytes);
  }
  if (blocks == 0) return 0;
  return static_cast<std::uint32_t>(bytes * 8 * static_cast<std::uint64_t>(sampleRate) / (blocks * kFrameLength));
}

}  // namespace

AacDecoder::AacDecoder() : block_(std::make_unique<RawDataBlock>()) {}

AacDecoder::~AacDecoder() = default;

StreamParameters AacDecoder::Open(const std::string& path) { return Start(path, nullptr); }

StreamParameters AacDecoder::OpenBytes(std::vector<std::uint8_t> bytes) { return Start(std::string(), &bytes); }

StreamParameters AacDecoder::Start(std::string path, std::vector<std::uint8_t>* bytes) {
  Close();
  errorFlag_ = false;
  lastStop_ = DecodeStop::None;
  parameters_ = StreamParameters{};
  slots_ = std::make_unique<std::array<ChannelSlot, kMaxChannels>>();
  syntax_ = SyntaxState{};
  *block_ = RawDataBlock{};
  adtsFrameEndBit_ = 0;
  adtsBlocksLeft_ = 0;
  adtsBlocksInFrame_ = 1;
  adtsProtected_ = false;

  // Look at the first bytes to tell ADIF, ADTS and raw streams apart.
  std::uint8_t head[kAdtsLongestHeaderBytes] = {};
  std::size_t headBytes = 0;
  std::FILE* probe = nullptr;
  if (bytes != nullptr) {
    headBytes = std::min<std::size_t>(bytes->size(), sizeof head);
    std::memcpy(head, bytes->data(), headBytes);
  } else {
    probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
      errorFlag_ = true;
      lastStop_ = DecodeStop::NotOpen;
      return parameters_;
    }
    headBytes = std::fread(head, 1, sizeof head, probe);
  }
  if (headBytes >= 4 && std::memcmp(head, "ADIF", 4) == 0) {
    parameters_.form = StreamForm::Adif;
  } else if (auto adts = ParseAdtsHeader(std::span<const std::uint8_t>(head, headBytes), 0); adts.Ok()) {
    parameters_.form = StreamForm::Adts;
    ApplyAdtsHeader(adts.Value(), syntax_);
    parameters_.sampleRate = kSamplingFrequencies[adts.Value().samplingIndex];
    std::uint32_t rate = 0;
    if (probe != nullptr) {
      // The headers come in increasing order: they are read through a window of the
      // file, which is moved (one seek and read) only when a header lies beyond it.
      std::vector<std::uint8_t> window(kAdtsScanWindowBytes);
      std::uint64_t windowStart = 0;
      std::size_t windowBytes = 0;
      rate = AdtsBitRate(
          [&](std::uint64_t offset, std::uint8_t* out) -> std::size_t {
            if (offset < windowStart || offset + kAdtsLongestHeaderBytes > windowStart + windowBytes) {
              if (std::fseek(probe, static_cast<long>(offset), SEEK_SET) != 0) return 0;
              windowStart = offset;
              windowBytes = std::fread(window.data(), 1, window.size(), probe);
            }
            if (offset >= windowStart + windowBytes) return 0;
            const std::size_t at = static_cast<std::size_t>(offset - windowStart);
            const std::size_t count = std::min<std::size_t>(windowBytes - at, kAdtsLongestHeaderBytes);
            std::memcpy(out, window.data() + at, count);
            return count;
          },
          parameters_.sampleRate);
    } else {
      rate = AdtsBitRate(
          [bytes](std::uint64_t offset, std::uint8_t* out) -> std::size_t {
            if (offset >= bytes->size()) return 0;
            const std::size_t count = std::min<std::size_t>(bytes->size() - offset, kAdtsLongestHeaderBytes);
            std::memcpy(out, bytes->data() + offset, count);
            return count;
          },
          parameters_.sampleRate);
    }
    if (rate != 0) parameters_.bitRate = rate;
  }
  if (probe != nullptr) std::fclose(probe);

  if (bytes != nullptr) {
    reader_ = BitReader(AacInput::FromBytes(std::move(*bytes)));
  } else {
    auto input = AacInput::OpenFile(path);
    if (!input.Ok()) {
      errorFlag_ = true;
      lastStop_ = DecodeStop::NotOpen;
      parameters_ = StreamParameters{};
      return parameters_;
    }
    reader_ = BitReader(std::move(input).Value());
  }
  open_ = true;

  if (parameters_.form == StreamForm::Adif) {
    AdifHeader header;
    if (ParseAdifHeader(reader_, syntax_, header)) {
      parameters_.bitRate = header.bitrate;
      const int index = syntax_.selectedProgram.samplingIndex;
      parameters_.sampleRate = index >= 0 && index < kSamplingIndexCount ? kSamplingFrequencies[index] : 44100;
      syntax_.objectType = syntax_.selectedProgram.objectType + 1;
    } else {
      // No usable program: decoding goes on from the end of the header as a raw stream.
      parameters_.form = StreamForm::Raw;
    }
    reader_.ByteAlign();
  }
  return parameters_;
}

void AacDecoder::Close() {
  reader_ = BitReader();
  slots_.reset();
  open_ = false;
}

int AacDecoder::MaxTnsOrderLong() const {
  // Main profile (and streams that do not say) allow order 20 in long windows, the others 12.
  return syntax_.objectType == 1 || syntax_.objectType < 0 ? kTnsMaxOrderLong : kTnsMaxOrderLongLowComplexity;
}

std::int32_t AacDecoder::Decode(std::int16_t* out) {
  if (!open_ || errorFlag_) {
    if (lastStop_ == DecodeStop::None) lastStop_ = open_ ? DecodeStop::ErrorFlag : DecodeStop::NotOpen;
    return 0;
  }
  const std::uint64_t startBit = reader_.BitPosition();
  auto silence = [out]() { std::fill(out, out + kOutputSamples, std::int16_t{0}); };

  if (parameters_.form == StreamForm::Adts && adtsBlocksLeft_ == 0) {
    // Each frame starts where the previous one's length field says, whatever its blocks
    // left unread (padding).
    const std::uint64_t position = reader_.BitPosition();
    if (adtsFrameEndBit_ > position) reader_.SkipBits(adtsFrameEndBit_ - position);
    reader_.ByteAlign();
    const std::uint64_t frameStart = reader_.BitPosition();
    auto header = ParseAdtsHeader(reader_);
    if (reader_.PastEnd() || !header.Ok()) {
      lastStop_ = reader_.PastEnd() ? DecodeStop::EndOfInput : DecodeStop::StopElement;
      silence();
      return 0;
    }
    adtsFrameEndBit_ = frameStart + static_cast<std::uint64_t>(header.Value().frameLengthBytes) * 8;
    adtsProtected_ = !header.Value().protectionAbsent;
    adtsBlocksInFrame_ = header.Value().rawDataBlocks;
    ApplyAdtsHeader(header.Value(), syntax_);
    adtsBlocksLeft_ = adtsBlocksInFrame_;
  }

  auto parsed = ParseRawDataBlock(reader_, syntax_, *block_);
  if (parameters_.form == StreamForm::Adts) {
    --adtsBlocksLeft_;
    // Blocks of a protected multi-block frame are each followed by their own check word.
    if (adtsProtected_ && adtsBlocksInFrame_ > 1) reader_.SkipBits(16);
  }
  if (block_->errorFlag) errorFlag_ = true;
  if (!parsed.Ok()) {
    lastStop_ = parsed.Error().kind == SyntaxErrorKind::EndOfInput || reader_.PastEnd() ? DecodeStop::EndOfInput
                                                                                        : DecodeStop::StopElement;
    silence();
    return 0;
  }
  Reconstruct(*block_);
  WriteOutput(*block_, out);
  ++frameCounter_;
  lastStop_ = DecodeStop::None;
  // The bits the block took, counted in whole 16-bit words.
  const std::uint64_t fetched = (reader_.BitPosition() - startBit + 15) / 16 * 16;
  return fetched > 0 ? static_cast<std::int32_t>(std::min<std::uint64_t>(fetched, 0x7FFFFFFF)) : 1;
}

void AacDecoder::Reconstruct(RawDataBlock& block) {
  auto& slots = *slots_;
  const int samplingIndex = block.samplingIndex;
  const bool pair = block.hasPair && block.channelPresent[0] && block.channelPresent[1];
  float* coefs[kMaxChannels] = {block.channels[0].coefs.data(), block.channels[1].coefs.data()};
  if (pair) ApplyMidSide(block.pair, block.channels[0], block.channels[1], coefs[0], coefs[1]);
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!block.channelPresent[c]) continue;
    const bool isRight = pair && c == 1;
    noise_.Apply(block.channels[c], isRight ? &block.channels[0] : nullptr, pair ? &block.pair : nullptr,
                 coefs[c]);
  }
  if (pair) ApplyIntensityStereo(block.pair, block.channels[1], coefs[0], coefs[1]);
  const int maxOrder = MaxTnsOrderLong();
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!block.channelPresent[c]) continue;
    ChannelSlot& slot = slots[c];
    const ChannelStream& stream = block.channels[c];
    predictor_.Predict(stream, slot.filterbank, samplingIndex, maxOrder, filterbank_, coefs[c]);
  }
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!block.channelPresent[c]) continue;
    ChannelSlot& slot = slots[c];
    const ChannelStream& stream = block.channels[c];
    ApplyTns(stream, samplingIndex, maxOrder, coefs[c], /*analysis=*/false);
    filterbank_.Run(stream.info.windowSequence, stream.info.windowShape, coefs[c], slot.filterbank);
  }
}

void AacDecoder::WriteOutput(const RawDataBlock& block, std::int16_t* out) const {
  const auto& slots = *slots_;
  const bool left = block.channelPresent[0];
  const bool right = block.channelPresent[1] && block.channelCount > 1;
  if (left && right) {
    InterleavePcm16(slots[0].filterbank.TimeOut(), slots[1].filterbank.TimeOut(), out, kFrameLength);
  } else if (left) {
    // One channel: the same sample in both slots of each period.
    InterleavePcm16(slots[0].filterbank.TimeOut(), slots[0].filterbank.TimeOut(), out, kFrameLength);
  } else if (right) {
    InterleavePcm16(slots[1].filterbank.TimeOut(), slots[1].filterbank.TimeOut(), out, kFrameLength);
  }
  // A block without channel elements writes nothing.
}

}  // namespace zbaac
