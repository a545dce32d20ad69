// The decoder state of one stream and the block pipeline: parse, spectral tools,
// filterbank, 16-bit output.
#include "aaclib/aac_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "aaclib/aac_pcm_output.h"
#include "aaclib/aac_stereo.h"
#include "aaclib/aac_tables_bands.h"
#include "aaclib/aac_tns.h"
#include "aaclib/adif_header.h"
#include "aaclib/id3_tags.h"

namespace zbaac {

namespace {

constexpr std::size_t kAdtsScanWindowBytes = 64 * 1024;
// How far into the input the first search for an ADTS frame header goes when the stream
// starts with neither a header nor "ADIF".
constexpr std::uint64_t kFirstSyncSearchBytes = 1024 * 1024;
// The largest raw data block of a stream of up to two channels: 6144 bits per channel
// (the decoder input buffer of ISO/IEC 14496-3). A longer "block" is damage or no AAC.
constexpr std::uint64_t kMaxBlockBits = 6144 * kMaxChannels;
constexpr std::uint64_t kMaxBlockBytes = kMaxBlockBits / 8;
// Decode's result for a block of silence in place of a lost frame.
constexpr std::int32_t kSilentBlockResult = 1;

// Scans the ADTS frames from `first` on, frame by frame through the length fields, and
// gives the mean bit rate; 0 when not even one frame is found. The headers come in
// increasing order: they are read through a window of the input, moved only when a header
// lies beyond it.
std::uint32_t AdtsBitRate(const AacInput& input, std::uint64_t first, int sampleRate) {
  std::vector<std::uint8_t> window(kAdtsScanWindowBytes);
  std::uint64_t windowStart = 0;
  std::size_t windowBytes = 0;
  std::uint64_t blocks = 0;
  std::uint64_t bytes = 0;
  std::uint64_t position = first;
  while (blocks < 10000000) {
    if (position < windowStart || position + kAdtsLongestHeaderBytes > windowStart + windowBytes) {
      windowStart = position;
      windowBytes = input.ReadAt(position, window.data(), window.size());
    }
    if (position >= windowStart + windowBytes) break;
    const auto at = static_cast<std::size_t>(position - windowStart);
    const std::size_t count = std::min<std::size_t>(windowBytes - at, kAdtsLongestHeaderBytes);
    auto parsed = ParseAdtsHeader(std::span<const std::uint8_t>(window.data() + at, count), 0);
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
  report_ = DecodeReport{};
  syntax_ = SyntaxState{};
  *block_ = RawDataBlock{};
  adtsReference_ = AdtsHeader{};
  adtsFrameStartByte_ = 0;
  adtsFrameEndBit_ = 0;
  adtsNextFrameByte_ = 0;
  adtsSearchFromByte_ = 0;
  adtsFrameBytesSeen_ = 0;
  adtsFramesSeen_ = 0;
  accountedToByte_ = 0;
  silentBlocksDue_ = 0;
  adtsBlocksLeft_ = 0;
  adtsBlocksInFrame_ = 1;
  adtsProtected_ = false;
  path_ = bytes != nullptr ? std::string() : path;
  gap_.reset();
  nextBlock_ = 0;
  frameIndex_.clear();
  frameIndexBuilt_ = false;

  AacInput input;
  if (bytes != nullptr) {
    input = AacInput::FromBytes(std::move(*bytes));
  } else {
    auto opened = AacInput::OpenFile(path);
    if (!opened.Ok()) {
      errorFlag_ = true;
      lastStop_ = DecodeStop::NotOpen;
      report_.errorNumber = opened.Error().errnum != 0 ? opened.Error().errnum : EIO;
      report_.ended = true;
      return parameters_;
    }
    input = std::move(opened).Value();
  }
  report_.inputBytes = input.SizeBytes();
  if (input.ReadError() != 0) {
    errorFlag_ = true;
    lastStop_ = DecodeStop::NotOpen;
    report_.errorNumber = input.ReadError();
    report_.ended = true;
    return parameters_;
  }
  slots_ = std::make_unique<std::array<ChannelSlot, kMaxChannels>>();
  FindStream(input);
  gap_ = FindEncoderGap(input, streamStartByte_);

  reader_ = BitReader(std::move(input));
  if (streamStartByte_ > 0) reader_.SeekToByte(streamStartByte_);
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

void AacDecoder::FindStream(const AacInput& input) {
  streamStartByte_ = Id3v2TagBytes(input);
  streamEndByte_ = input.SizeBytes() - Id3v1TagBytes(input, streamStartByte_);
  report_.bytesMetadata = streamStartByte_ + (input.SizeBytes() - streamEndByte_);

  // ADIF and ADTS tell themselves by their first bytes; a header of a frame must be
  // confirmed by the next one, else the start is searched for one that is (junk or a
  // damaged first frame in front of the stream). What is neither is taken for raw blocks.
  std::uint8_t head[4] = {};
  const std::size_t headBytes = input.ReadAt(streamStartByte_, head, sizeof head);
  if (headBytes == sizeof head && std::memcmp(head, "ADIF", 4) == 0) {
    parameters_.form = StreamForm::Adif;
    return;
  }
  // A stream of one frame is confirmed by the end of the input; further in, a header
  // found by searching needs the next one.
  std::optional<AdtsSync> first =
      FindAdtsFrame(input, streamStartByte_, streamStartByte_ + 1, nullptr, /*lastFrameConfirms=*/true);
  if (!first) {
    first = FindAdtsFrame(input, streamStartByte_ + 1,
                          std::min(streamEndByte_, streamStartByte_ + kFirstSyncSearchBytes), nullptr,
                          /*lastFrameConfirms=*/false);
  }
  if (!first) return;
  parameters_.form = StreamForm::Adts;
  adtsReference_ = first->header;
  ApplyAdtsHeader(adtsReference_, syntax_);
  parameters_.sampleRate = kSamplingFrequencies[adtsReference_.samplingIndex];
  if (const std::uint32_t rate = AdtsBitRate(input, first->offset, parameters_.sampleRate); rate != 0) {
    parameters_.bitRate = rate;
  }
  // The first frame is expected where the stream starts: a header there that the search
  // passed over (its frame's length damaged) is still decoded.
  adtsNextFrameByte_ = streamStartByte_;
  adtsSearchFromByte_ = streamStartByte_;
}

void AacDecoder::Close() {
  reader_ = BitReader();
  slots_.reset();
  open_ = false;
}

void AacDecoder::Abandon(int errorNumber) {
  Close();
  errorFlag_ = true;
  lastStop_ = DecodeStop::NotOpen;
  report_.errorNumber = errorNumber;
  report_.ended = true;
}

int AacDecoder::MaxTnsOrderLong() const {
  // Main profile (and streams that do not say) allow order 20 in long windows, the others 12.
  return syntax_.objectType == 1 || syntax_.objectType < 0 ? kTnsMaxOrderLong : kTnsMaxOrderLongLowComplexity;
}

void AacDecoder::End(DecodeStop stop) {
  lastStop_ = stop;
  report_.ended = true;
}

std::int32_t AacDecoder::Decode(std::int16_t* out) {
  if (!open_ || errorFlag_) {
    if (lastStop_ == DecodeStop::None) lastStop_ = open_ ? DecodeStop::ErrorFlag : DecodeStop::NotOpen;
    if (open_ && !report_.ended) {
      // A fatal condition ended a raw stream after its last block: the rest is unread.
      const std::uint64_t at = (reader_.BitPosition() + 7) / 8;
      report_.bytesUnread += streamEndByte_ > at ? streamEndByte_ - at : 0;
      report_.ended = true;
    }
    return 0;
  }
  if (report_.ended) {
    std::fill(out, out + kOutputSamples, std::int16_t{0});
    return 0;
  }
  const std::int32_t result = parameters_.form == StreamForm::Adts ? DecodeAdtsBlock(out) : DecodeRawBlock(out);
  if (result != 0) ++nextBlock_;
  return result;
}

std::int32_t AacDecoder::DecodeRawBlock(std::int16_t* out) {
  reader_.ByteAlign();
  const std::uint64_t startBit = reader_.BitPosition();
  const std::uint64_t startByte = startBit / 8;
  if (startByte >= streamEndByte_) {
    End(DecodeStop::EndOfInput);
    std::fill(out, out + kOutputSamples, std::int16_t{0});
    return 0;
  }
  auto parsed = ParseRawDataBlock(reader_, syntax_, *block_);
  const bool tooLong = reader_.BitPosition() - startBit > kMaxBlockBits;
  if (!parsed.Ok() || tooLong) {
    // Without marks in the stream there is nothing to go on from: what is left did not
    // decode, unless it is a last block that the end of the input cut off.
    const bool pastEnd = reader_.PastEnd() || (!parsed.Ok() && parsed.Error().Is(SyntaxFault::EndOfInput));
    const std::uint64_t left = streamEndByte_ - startByte;
    if (pastEnd && left <= kMaxBlockBytes && reader_.Input().ReadError() == 0) {
      report_.bytesTruncated += left;
    } else {
      report_.bytesUnread += left;
    }
    report_.errorNumber = reader_.Input().ReadError();
    End(pastEnd ? DecodeStop::EndOfInput : DecodeStop::StopElement);
    std::fill(out, out + kOutputSamples, std::int16_t{0});
    return 0;
  }
  if (block_->errorFlag) errorFlag_ = true;
  Reconstruct(*block_);
  WriteOutput(*block_, out);
  ++(block_->channelPresent[0] || block_->channelPresent[1] ? report_.blocksDecoded : report_.blocksEmpty);
  ++frameCounter_;
  lastStop_ = DecodeStop::None;
  // The bits the block took, counted in whole 16-bit words.
  const std::uint64_t fetched = (reader_.BitPosition() - startBit + 15) / 16 * 16;
  return fetched > 0 ? static_cast<std::int32_t>(std::min<std::uint64_t>(fetched, 0x7FFFFFFF)) : 1;
}

std::int32_t AacDecoder::DecodeAdtsBlock(std::int16_t* out) {
  auto silence = [&]() {
    std::fill(out, out + kOutputSamples, std::int16_t{0});
    ++report_.blocksSilent;
    --silentBlocksDue_;
    return kSilentBlockResult;
  };
  if (silentBlocksDue_ > 0) return silence();
  if (adtsBlocksLeft_ == 0) {
    if (!StartAdtsFrame()) {
      std::fill(out, out + kOutputSamples, std::int16_t{0});
      return 0;
    }
    // The frames lost in a gap come before the frame found behind it.
    if (silentBlocksDue_ > 0) return silence();
  }

  const std::uint64_t startBit = reader_.BitPosition();
  auto parsed = ParseRawDataBlock(reader_, syntax_, *block_);
  --adtsBlocksLeft_;
  // Blocks of a protected multi-block frame are each followed by their own check word.
  if (adtsProtected_ && adtsBlocksInFrame_ > 1) reader_.SkipBits(16);
  if (!parsed.Ok() || block_->errorFlag || reader_.BitPosition() > adtsFrameEndBit_) {
    // A frame that the end of the input cuts off is the last one, unless a frame header
    // follows (its length was damaged, and its data ran on into the frames behind it).
    if (adtsFrameEndBit_ > 8 * streamEndByte_ &&
        (reader_.PastEnd() || reader_.BitPosition() > 8 * streamEndByte_) &&
        !FindAdtsFrame(reader_.Input(), adtsSearchFromByte_, streamEndByte_, &adtsReference_, /*lastFrameConfirms=*/true)) {
      report_.bytesTruncated += Unaccounted(adtsFrameStartByte_, streamEndByte_);
      report_.errorNumber = reader_.Input().ReadError();
      End(DecodeStop::EndOfInput);
      std::fill(out, out + kOutputSamples, std::int16_t{0});
      return 0;
    }
    SkipDamagedFrame();
    return silence();
  }
  Reconstruct(*block_);
  WriteOutput(*block_, out);
  ++(block_->channelPresent[0] || block_->channelPresent[1] ? report_.blocksDecoded : report_.blocksEmpty);
  ++frameCounter_;
  lastStop_ = DecodeStop::None;
  if (adtsBlocksLeft_ == 0) accountedToByte_ = std::max(accountedToByte_, adtsFrameEndBit_ / 8);
  const std::uint64_t fetched = (reader_.BitPosition() - startBit + 15) / 16 * 16;
  return fetched > 0 ? static_cast<std::int32_t>(std::min<std::uint64_t>(fetched, 0x7FFFFFFF)) : 1;
}

void AacDecoder::FrameStartState::Save(const SyntaxState& syntax) {
  samplingIndex = syntax.samplingIndex;
  objectType = syntax.objectType;
  selectedProgramTag = syntax.selectedProgramTag;
  implicitConfig = syntax.implicitConfig;
  blockIndex = syntax.blockIndex;
  reference = syntax.reference;
  // Channels assigned from the elements are assigned afresh in every block.
  if (!implicitConfig) map = syntax.map;
}

void AacDecoder::FrameStartState::Restore(SyntaxState& syntax) const {
  syntax.samplingIndex = samplingIndex;
  syntax.objectType = objectType;
  syntax.selectedProgramTag = selectedProgramTag;
  syntax.implicitConfig = implicitConfig;
  syntax.blockIndex = blockIndex;
  syntax.reference = reference;
  if (!implicitConfig) syntax.map = map;
}

void AacDecoder::SkipDamagedFrame() {
  frameStart_.Restore(syntax_);
  ClearChannelHistory();
  ++report_.framesSkipped;
  report_.bytesSkipped += Unaccounted(adtsFrameStartByte_, std::min<std::uint64_t>(adtsFrameEndBit_ / 8, streamEndByte_));
  // This block and the frame's others.
  silentBlocksDue_ += static_cast<std::uint64_t>(adtsBlocksLeft_) + 1;
  adtsBlocksLeft_ = 0;
}

std::uint64_t AacDecoder::Unaccounted(std::uint64_t from, std::uint64_t to) {
  const std::uint64_t start = std::max(from, accountedToByte_);
  accountedToByte_ = std::max(accountedToByte_, to);
  return to > start ? to - start : 0;
}

void AacDecoder::ClearChannelHistory() {
  for (ChannelSlot& slot : *slots_) slot.filterbank.Reset();
}

bool AacDecoder::StartAdtsFrame() {
  const std::uint64_t expected = adtsNextFrameByte_;
  if (expected == streamEndByte_) {
    report_.errorNumber = reader_.Input().ReadError();
    End(DecodeStop::EndOfInput);
    return false;
  }
  if (expected < streamEndByte_) {
    // A frame may leave bytes unread (padding), and a damaged one may have left the
    // reader beyond its end.
    const std::uint64_t position = reader_.BitPosition();
    if (position == 8 * expected) {
      // Where the last frame ended: the rule.
    } else if (position < 8 * expected && 8 * expected - position <= 256) {
      reader_.SkipBits(8 * expected - position);
    } else {
      reader_.SeekToByte(expected);
    }
    auto header = ParseAdtsHeader(reader_);
    if (header.Ok() && SameFixedHeader(header.Value(), adtsReference_)) {
      TakeAdtsFrame(expected, header.Value());
      return true;
    }
  }
  return FindNextAdtsFrame(expected);
}

bool AacDecoder::FindNextAdtsFrame(std::uint64_t expected) {
  // No frame where the last one said it ends (junk, a damaged header, a damaged length,
  // also one that claims to reach past the end of the input): search on from just behind
  // the last frame's start.
  const std::optional<AdtsSync> found =
      FindAdtsFrame(reader_.Input(), adtsSearchFromByte_, streamEndByte_, &adtsReference_, /*lastFrameConfirms=*/true);
  if (!found) {
    // No frame follows: trailing junk, the start of a frame cut off by the end, or
    // nothing at all behind a last frame whose length reaches past the end.
    std::uint8_t bytes[2] = {};
    const std::size_t got = expected < streamEndByte_ ? reader_.Input().ReadAt(expected, bytes, sizeof bytes) : 0;
    const bool cutHeader = got >= 1 && streamEndByte_ - expected < kAdtsLongestHeaderBytes && bytes[0] == 0xFF &&
                           (got < 2 || (bytes[1] & 0xF6) == 0xF0);
    (cutHeader ? report_.bytesTruncated : report_.bytesUnread) += Unaccounted(expected, streamEndByte_);
    report_.errorNumber = reader_.Input().ReadError();
    End(cutHeader || got == 0 ? DecodeStop::EndOfInput : DecodeStop::StopElement);
    return false;
  }
  const std::uint64_t frameStart = found->offset;
  if (frameStart > expected) {
    // The frames the gap stood for (none for a little junk) become silence.
    const std::uint64_t gap = frameStart - expected;
    const std::uint64_t meanFrameBytes = adtsFramesSeen_ > 0 ? adtsFrameBytesSeen_ / adtsFramesSeen_
                                                              : static_cast<std::uint64_t>(found->header.frameLengthBytes);
    const std::uint64_t lostFrames = meanFrameBytes > 0 ? (gap + meanFrameBytes / 2) / meanFrameBytes : 0;
    report_.bytesSkipped += Unaccounted(expected, frameStart);
    report_.framesSkipped += lostFrames;
    silentBlocksDue_ += lostFrames * static_cast<std::uint64_t>(adtsReference_.rawDataBlocks);
    if (lostFrames > 0) ClearChannelHistory();
  }
  reader_.SeekToByte(frameStart);
  auto header = ParseAdtsHeader(reader_);
  TakeAdtsFrame(frameStart, header.Ok() ? header.Value() : found->header);
  return true;
}

void AacDecoder::TakeAdtsFrame(std::uint64_t frameStart, const AdtsHeader& frame) {
  adtsFrameStartByte_ = frameStart;
  adtsFrameEndBit_ = 8 * (frameStart + static_cast<std::uint64_t>(frame.frameLengthBytes));
  adtsNextFrameByte_ = frameStart + static_cast<std::uint64_t>(frame.frameLengthBytes);
  adtsSearchFromByte_ = frameStart + 1;
  adtsFrameBytesSeen_ += static_cast<std::uint64_t>(frame.frameLengthBytes);
  ++adtsFramesSeen_;
  adtsProtected_ = !frame.protectionAbsent;
  adtsBlocksInFrame_ = frame.rawDataBlocks;
  adtsBlocksLeft_ = adtsBlocksInFrame_;
  ApplyAdtsHeader(frame, syntax_);
  frameStart_.Save(syntax_);
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
  } else {
    // A block without channel elements lasts as long as any other: silence, whatever the
    // caller's area held before.
    std::fill(out, out + kOutputSamples, std::int16_t{0});
  }
}

}  // namespace zbaac
