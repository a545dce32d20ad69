// ADTS to raw and ADIF conversion for the tests and the zbadts2raw tool.
#include "tests/aaclib/helpers/adts_convert.h"

#include <algorithm>
#include <memory>

#include "aaclib/aac_syntax.h"
#include "aaclib/aac_tables_bands.h"
#include "aaclib/adif_header.h"
#include "aaclib/bit_reader.h"
#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/bit_writer.h"

namespace zbaac::test {

Result<std::vector<std::uint8_t>, std::string> AdtsToRaw(std::span<const std::uint8_t> adts) {
  const std::vector<AdtsFrame> frames = SplitAdtsFrames(adts);
  if (frames.empty()) return Fail(std::string("no ADTS frame found"));
  std::vector<std::uint8_t> raw;
  for (const AdtsFrame& frame : frames) {
    if (!frame.header.protectionAbsent && frame.header.rawDataBlocks > 1) {
      return Fail(std::string("protected frames with several blocks are not supported"));
    }
    const auto begin = adts.begin() + static_cast<std::ptrdiff_t>(frame.offset + frame.header.headerBytes);
    const auto end = adts.begin() + static_cast<std::ptrdiff_t>(frame.offset + frame.header.frameLengthBytes);
    raw.insert(raw.end(), begin, end);
  }
  return raw;
}

Result<std::vector<std::uint8_t>, std::string> AdtsToAdif(std::span<const std::uint8_t> adts) {
  const std::vector<AdtsFrame> frames = SplitAdtsFrames(adts);
  if (frames.empty()) return Fail(std::string("no ADTS frame found"));
  auto raw = AdtsToRaw(adts);
  if (!raw) return Fail(raw.Error());
  const AdtsHeader& first = frames.front().header;

  // The channel elements of the first block give the program's front elements.
  std::vector<std::uint8_t> firstFrame(adts.begin() + static_cast<std::ptrdiff_t>(frames.front().offset),
                                       adts.begin() + static_cast<std::ptrdiff_t>(frames.front().offset +
                                                                                  first.frameLengthBytes));
  BitReader reader(AacInput::FromBytes(std::move(firstFrame)));
  SyntaxState state;
  if (!ParseAdtsHeader(reader)) return Fail(std::string("first ADTS header unreadable"));
  ApplyAdtsHeader(first, state);
  auto block = std::make_unique<RawDataBlock>();
  auto parsed = ParseRawDataBlock(reader, state, *block);
  if (!parsed) return Fail(std::string("first block unreadable: ") + parsed.Error().text);
  struct Front {
    bool isCpe;
    int tag;
  };
  std::vector<Front> fronts;
  for (int i = 0; i < block->elementCount; ++i) {
    const ElementEntry& element = block->elements[i];
    if (element.type == ElementType::Sce || element.type == ElementType::Cpe) {
      fronts.push_back({element.type == ElementType::Cpe, element.tag});
    }
  }
  if (fronts.empty() || fronts.size() > 15) return Fail(std::string("first block has no usable channel elements"));

  std::uint64_t payloadBits = 0;
  std::uint64_t blocks = 0;
  for (const AdtsFrame& frame : frames) {
    payloadBits += 8u * static_cast<std::uint64_t>(frame.header.frameLengthBytes - frame.header.headerBytes);
    blocks += static_cast<std::uint64_t>(frame.header.rawDataBlocks);
  }
  const std::uint64_t rate = static_cast<std::uint64_t>(kSamplingFrequencies[first.samplingIndex]);
  const std::uint64_t bitRate = payloadBits * rate / (blocks * 1024u);

  BitWriter writer;
  writer.Put(kAdifId, 32).Bit(false).Bit(false).Bit(false);  // no copyright id, copy, home
  writer.Put(1, 1);                                          // bitstream_type: variable rate
  writer.Put(static_cast<std::uint32_t>(std::min<std::uint64_t>(bitRate, (1u << 23) - 1)), 23);
  writer.Put(0, 4);                                          // one program
  writer.Put(0, 4).Put(static_cast<std::uint32_t>(first.profile), 2).Put(static_cast<std::uint32_t>(first.samplingIndex), 4);
  writer.Put(static_cast<std::uint32_t>(fronts.size()), 4).Put(0, 4).Put(0, 4).Put(0, 2).Put(0, 3).Put(0, 4);
  writer.Put(0, 3);                                          // no mixdowns
  for (const Front& front : fronts) writer.Bit(front.isCpe).Put(static_cast<std::uint32_t>(front.tag), 4);
  writer.Align();
  writer.Put(0, 8);                                          // no comment
  writer.Align();
  std::vector<std::uint8_t> adif = writer.Bytes();
  adif.insert(adif.end(), raw.Value().begin(), raw.Value().end());
  return adif;
}

}  // namespace zbaac::test
