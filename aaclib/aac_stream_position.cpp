// The stream's length and seeking: the ADTS frame index, and decoding forward where a
// stream has no marks to go by.
#include <algorithm>

#include "aaclib/aac_decoder.h"
#include "aaclib/aac_input.h"

namespace zbaac {

namespace {

// Blocks a raw or ADIF stream's bit rate is measured over for its estimated length.
constexpr std::uint64_t kLengthProbeBlocks = 64;

}  // namespace

void AacDecoder::BuildFrameIndex() {
  frameIndexBuilt_ = true;
  frameIndex_.clear();
  if (!open_ || parameters_.form != StreamForm::Adts) return;
  const AacInput& input = reader_.Input();
  std::uint64_t at = streamStartByte_;
  std::uint64_t blocks = 0;
  while (at < streamEndByte_) {
    std::optional<AdtsHeader> header = AdtsHeaderAt(input, at, &adtsReference_);
    if (!header || at + static_cast<std::uint64_t>(header->frameLengthBytes) > streamEndByte_) {
      // Junk or a damaged frame: on at the next frame that what follows confirms, as
      // decoding finds it. A frame cut off by the end gives no whole block.
      const std::optional<AdtsSync> found =
          FindAdtsFrame(input, at + 1, streamEndByte_, &adtsReference_, /*lastFrameConfirms=*/true);
      if (!found) break;
      at = found->offset;
      header = found->header;
    }
    frameIndex_.push_back({at, blocks});
    blocks += static_cast<std::uint64_t>(header->rawDataBlocks);
    at += static_cast<std::uint64_t>(header->frameLengthBytes);
  }
  // The end: where a seek beyond the last block lands.
  frameIndex_.push_back({streamEndByte_, blocks});
}

StreamLength AacDecoder::Length() {
  if (!open_) return {};
  if (parameters_.form == StreamForm::Adts) {
    if (!frameIndexBuilt_) BuildFrameIndex();
    return {frameIndex_.empty() ? 0 : frameIndex_.back().firstBlock, true};
  }
  // A decoder of its own, so that this one's position and state stay as they are.
  AacDecoder probe;
  const AacInput& input = reader_.Input();
  if (input.IsFile()) {
    probe.Open(path_);
  } else {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(input.SizeBytes()));
    bytes.resize(input.ReadAt(0, bytes.data(), bytes.size()));
    probe.OpenBytes(std::move(bytes));
  }
  std::vector<std::int16_t> out(kOutputSamples);
  const std::uint64_t startBit = probe.reader_.BitPosition();
  while (probe.nextBlock_ < kLengthProbeBlocks && probe.Decode(out.data()) != 0) {
  }
  const std::uint64_t blocks = probe.nextBlock_;
  if (probe.report_.ended || blocks == 0) return {blocks, true};
  const std::uint64_t bits = probe.reader_.BitPosition() - startBit;
  const std::uint64_t streamBits = 8 * (streamEndByte_ - std::min(streamEndByte_, startBit / 8));
  return {bits == 0 ? blocks : streamBits * blocks / bits, false};
}

void AacDecoder::SkipBlocksTo(std::uint64_t block) {
  std::vector<std::int16_t> out(kOutputSamples);
  while (nextBlock_ < block && Decode(out.data()) != 0) {
  }
}

std::uint64_t AacDecoder::SeekToBlock(std::uint64_t block) {
  if (!open_ || errorFlag_) return nextBlock_;
  if (parameters_.form != StreamForm::Adts) {
    if (block < nextBlock_) {
      // No marks to go back by: from the start again.
      if (reader_.Input().IsFile()) {
        Open(std::string(path_));
      } else {
        const AacInput& input = reader_.Input();
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(input.SizeBytes()));
        bytes.resize(input.ReadAt(0, bytes.data(), bytes.size()));
        OpenBytes(std::move(bytes));
      }
      if (!open_ || errorFlag_) return nextBlock_;
    }
    SkipBlocksTo(block);
    return nextBlock_;
  }

  if (!frameIndexBuilt_) BuildFrameIndex();
  if (frameIndex_.empty()) return nextBlock_;
  // The frame holding the block (the end mark for a block beyond the last), and the one
  // before it, decoded unheard for the overlap.
  auto holding = std::upper_bound(frameIndex_.begin(), frameIndex_.end(), block,
                                  [](std::uint64_t b, const FrameMark& m) { return b < m.firstBlock; });
  if (holding != frameIndex_.begin()) --holding;
  if (holding + 1 == frameIndex_.end()) block = holding->firstBlock;
  const FrameMark& from = holding != frameIndex_.begin() ? *(holding - 1) : *holding;

  // Decoding goes on from that frame as it would at a frame found after lost ones: no
  // history, nothing owed, the stream not ended.
  ClearChannelHistory();
  silentBlocksDue_ = 0;
  adtsBlocksLeft_ = 0;
  adtsNextFrameByte_ = from.byte;
  adtsSearchFromByte_ = from.byte;
  report_.ended = false;
  lastStop_ = DecodeStop::None;
  nextBlock_ = from.firstBlock;
  if (from.byte < streamEndByte_) reader_.SeekToByte(from.byte);
  SkipBlocksTo(block);
  return nextBlock_;
}

}  // namespace zbaac
