// The decoder state of one stream and the block pipeline: parse, spectral tools,
// filterbank, 16-bit output.
#include "aaclib/aac_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "aaclib/aac_pcm_output.h"
#include "aaclib/aac_stereo.h"
#include "aaclib/aac_tables_bands.h"
#include "aaclib/aac_tns.h"
#include "aaclib/adif_header.h"

namespace zbaac {

namespace {

constexpr int kAdtsHeaderBytes = 7;

bool IsAdtsSync(const std::uint8_t* p) { return p[0] == 0xFF && (p[1] & 0xF6) == 0xF0; }

// Frame length (13 bits) of the ADTS header at p, 0 if p holds no valid header.
int AdtsFrameBytes(const std::uint8_t* p) {
  if (!IsAdtsSync(p)) return 0;
  const int bytes = ((p[3] & 0x03) << 11) | (p[4] << 3) | (p[5] >> 5);
  return bytes >= kAdtsHeaderBytes ? bytes : 0;
}

// Scans the ADTS frames of a file from its start, frame by frame through the length fields,
// and gives the average bit rate; 0 when not even one frame is found.
std::uint32_t AdtsBitRate(std::FILE* file, int sampleRate) {
  std::uint64_t frames = 0;
  std::uint64_t bytes = 0;
  long position = 0;
  std::uint8_t header[kAdtsHeaderBytes];
  while (frames < 1000000) {
    if (std::fseek(file, position, SEEK_SET) != 0) break;
    if (std::fread(header, 1, kAdtsHeaderBytes, file) != kAdtsHeaderBytes) break;
    const int length = AdtsFrameBytes(header);
    if (length == 0) break;
    const int blocks = (header[6] & 0x03) + 1;
    frames += blocks;
    bytes += static_cast<std::uint64_t>(length);
    position += length;
  }
  if (frames == 0) return 0;
  return static_cast<std::uint32_t>(bytes * 8 * static_cast<std::uint64_t>(sampleRate) / (frames * kFrameLength));
}

std::uint32_t AdtsBitRate(const std::vector<std::uint8_t>& data, int sampleRate) {
  std::uint64_t frames = 0;
  std::uint64_t bytes = 0;
  std::size_t position = 0;
  while (position + kAdtsHeaderBytes <= data.size()) {
    const int length = AdtsFrameBytes(data.data() + position);
    if (length == 0) break;
    frames += (data[position + 6] & 0x03) + 1;
    bytes += static_cast<std::uint64_t>(length);
    position += static_cast<std::size_t>(length);
  }
  if (frames == 0) return 0;
  return static_cast<std::uint32_t>(bytes * 8 * static_cast<std::uint64_t>(sampleRate) / (frames * kFrameLength));
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

  // Look at the first bytes to tell ADIF, ADTS and raw streams apart.
  std::uint8_t head[kAdtsHeaderBytes] = {};
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
  } else if (headBytes >= kAdtsHeaderBytes && AdtsFrameBytes(head) != 0) {
    parameters_.form = StreamForm::Adts;
    const int index = (head[2] >> 2) & 0x0F;
    if (index < kSamplingIndexCount) {
      parameters_.sampleRate = kSamplingFrequencies[index];
      syntax_.samplingIndex = index;
      syntax_.objectType = ((head[2] >> 6) & 0x03) + 1;
      const std::uint32_t rate = probe != nullptr ? AdtsBitRate(probe, parameters_.sampleRate)
                                                  : AdtsBitRate(*bytes, parameters_.sampleRate);
      if (rate != 0) parameters_.bitRate = rate;
    }
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

bool AacDecoder::ReadAdtsHeader(AdtsFrame& frame) {
  if (reader_.ReadBits(12) != 0xFFF) return false;
  reader_.ReadBits(1);  // ID: MPEG-4 or MPEG-2, same syntax
  if (reader_.ReadBits(2) != 0) return false;  // layer
  frame.crcPresent = reader_.ReadBits(1) == 0;
  frame.profile = static_cast<int>(reader_.ReadBits(2));
  frame.samplingIndex = static_cast<int>(reader_.ReadBits(4));
  reader_.ReadBits(1);  // private bit
  frame.channelConfig = static_cast<int>(reader_.ReadBits(3));
  reader_.ReadBits(4);  // original/copy, home, copyright identification bit and start
  frame.frameBytes = static_cast<int>(reader_.ReadBits(13));
  reader_.ReadBits(11);  // buffer fullness
  frame.rawBlocks = static_cast<int>(reader_.ReadBits(2)) + 1;
  return frame.samplingIndex < kSamplingIndexCount && frame.frameBytes >= kAdtsHeaderBytes;
}

std::int32_t AacDecoder::Decode(std::int16_t* out) {
  if (!open_ || errorFlag_) {
    if (lastStop_ == DecodeStop::None) lastStop_ = open_ ? DecodeStop::ErrorFlag : DecodeStop::NotOpen;
    return 0;
  }
  reader_.Input().ResetFetchedBits();
  auto silence = [out]() { std::fill(out, out + kOutputSamples, std::int16_t{0}); };

  AdtsFrame frame;
  if (parameters_.form == StreamForm::Adts && adtsBlocksLeft_ == 0) {
    const std::uint64_t position = reader_.BitPosition();
    if (adtsFrameEndBit_ > position) reader_.SkipBits(adtsFrameEndBit_ - position);
    reader_.ByteAlign();
    const std::uint64_t frameStart = reader_.BitPosition();
    const bool valid = ReadAdtsHeader(frame);
    if (reader_.PastEnd() || !valid) {
      lastStop_ = reader_.PastEnd() ? DecodeStop::EndOfInput : DecodeStop::StopElement;
      silence();
      return 0;
    }
    adtsFrameEndBit_ = frameStart + static_cast<std::uint64_t>(frame.frameBytes) * 8;
    if (frame.crcPresent) {
      if (frame.rawBlocks > 1) reader_.SkipBits(16 * static_cast<std::uint64_t>(frame.rawBlocks - 1));
      reader_.SkipBits(16);
    }
    syntax_.samplingIndex = frame.samplingIndex;
    syntax_.objectType = frame.profile + 1;
    adtsBlocksLeft_ = frame.rawBlocks;
  }

  auto parsed = ParseRawDataBlock(reader_, syntax_, *block_);
  if (parameters_.form == StreamForm::Adts) {
    --adtsBlocksLeft_;
    // Blocks of a protected multi-block frame are each followed by their own check word.
    if (frame.crcPresent && frame.rawBlocks > 1) reader_.SkipBits(16);
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
  const std::uint32_t fetched = reader_.Input().FetchedBits();
  return fetched > 0 ? static_cast<std::int32_t>(std::min<std::uint32_t>(fetched, 0x7FFFFFFF)) : 1;
}

void AacDecoder::Reconstruct(const RawDataBlock& block) {
  auto& slots = *slots_;
  const int samplingIndex = block.samplingIndex;
  const bool pair = block.hasPair && block.channelPresent[0] && block.channelPresent[1];
  for (int c = 0; c < kMaxChannels; ++c) {
    if (block.channelPresent[c]) Dequantize(powerTables_, block.channels[c], slots[c].coefs.data());
  }
  if (pair) {
    ApplyMidSide(block.pair, block.channels[0], block.channels[1], slots[0].coefs.data(), slots[1].coefs.data());
  }
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!block.channelPresent[c]) continue;
    const bool isRight = pair && c == 1;
    noise_.Apply(block.channels[c], isRight ? &block.channels[0] : nullptr, pair ? &block.pair : nullptr,
                 slots[c].coefs.data());
  }
  if (pair) ApplyIntensityStereo(block.pair, block.channels[1], slots[0].coefs.data(), slots[1].coefs.data());
  const int maxOrder = MaxTnsOrderLong();
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!block.channelPresent[c]) continue;
    ChannelSlot& slot = slots[c];
    const ChannelStream& stream = block.channels[c];
    predictor_.Predict(stream, slot.ltp, slot.filterbank.previousShape, samplingIndex, maxOrder, filterbank_,
                       slot.coefs.data());
  }
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!block.channelPresent[c]) continue;
    ChannelSlot& slot = slots[c];
    const ChannelStream& stream = block.channels[c];
    ApplyTns(stream, samplingIndex, maxOrder, slot.coefs.data(), /*analysis=*/false);
    filterbank_.Run(stream.info.windowSequence, stream.info.windowShape, slot.coefs.data(), slot.filterbank);
    slot.ltp.Update(slot.filterbank);
  }
}

void AacDecoder::WriteOutput(const RawDataBlock& block, std::int16_t* out) const {
  const auto& slots = *slots_;
  const bool left = block.channelPresent[0];
  const bool right = block.channelPresent[1] && block.channelCount > 1;
  if (left && right) {
    InterleavePcm16(slots[0].filterbank.timeOut.data(), slots[1].filterbank.timeOut.data(), out, kFrameLength);
  } else if (left) {
    // One channel: the same sample in both slots of each period.
    InterleavePcm16(slots[0].filterbank.timeOut.data(), slots[0].filterbank.timeOut.data(), out, kFrameLength);
  } else if (right) {
    InterleavePcm16(slots[1].filterbank.timeOut.data(), slots[1].filterbank.timeOut.data(), out, kFrameLength);
  }
  // A block without channel elements writes nothing.
}

}  // namespace zbaac
