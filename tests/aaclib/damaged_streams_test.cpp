// Damaged and foreign input: what the decoder skips, what it gives in place of what it lost,
// and how it judges the whole decode. Every case is decoded from memory and from a file
// (the file form searches and seeks through its own reads), which must agree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "aaclib/aac_decoder.h"
#include "aaclib/decode_report.h"
#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/adts_convert.h"

namespace zbaac {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Block = std::vector<std::int16_t>;

struct Decoded {
  std::vector<Block> blocks;
  DecodeReport report;
  DecodeVerdict verdict = DecodeVerdict::Running;
  StreamForm form = StreamForm::Raw;
};

Decoded DecodeWith(AacDecoder& decoder, const StreamParameters& parameters) {
  Decoded decoded;
  decoded.form = parameters.form;
  Block block(AacDecoder::kOutputSamples);
  // Every block takes at least a byte of the input, or is one of a lost frame's: a bound
  // that only guards against a hang.
  for (int guard = 0; guard < 100000 && decoder.Decode(block.data()) != 0; ++guard) decoded.blocks.push_back(block);
  decoded.report = decoder.Report();
  decoded.verdict = Judge(decoded.report);
  return decoded;
}

// Decodes `bytes` from memory and from a file; both must give the same blocks and report.
Decoded Decode(const Bytes& bytes) {
  AacDecoder fromMemory;
  const Decoded memory = DecodeWith(fromMemory, fromMemory.OpenBytes(bytes));
  const std::string path = test::TestCacheDir() + "/damaged_" + std::to_string(::getpid()) + ".aac";
  EXPECT_TRUE(test::WriteFileBytes(path, bytes));
  AacDecoder fromFile;
  const Decoded file = DecodeWith(fromFile, fromFile.Open(path));
  std::remove(path.c_str());
  EXPECT_TRUE(file.blocks == memory.blocks) << "file and memory decodes differ";
  EXPECT_EQ(file.verdict, memory.verdict);
  EXPECT_EQ(file.report.bytesSkipped, memory.report.bytesSkipped);
  EXPECT_EQ(file.report.bytesUnread, memory.report.bytesUnread);
  EXPECT_EQ(file.report.framesSkipped, memory.report.framesSkipped);
  return memory;
}

bool Silent(const Block& block) {
  return std::all_of(block.begin(), block.end(), [](std::int16_t v) { return v == 0; });
}

test::StreamSpec Music(double seconds = 2.0) {
  test::StreamSpec spec;
  spec.seconds = seconds;
  return spec;
}

struct Stream {
  Bytes bytes;
  std::vector<test::AdtsFrame> frames;
  Decoded clean;
};

Stream Make(const test::StreamSpec& spec) {
  Stream stream;
  std::string error;
  const std::string path = test::MakeAdtsStream(spec, &error);
  EXPECT_FALSE(path.empty()) << error;
  stream.bytes = test::ReadFileBytes(path);
  stream.frames = test::SplitAdtsFrames(stream.bytes);
  stream.clean = Decode(stream.bytes);
  return stream;
}

std::size_t FrameEnd(const test::AdtsFrame& frame) {
  return frame.offset + static_cast<std::size_t>(frame.header.frameLengthBytes);
}

// Bytes that parse as the start of a coupling channel element, which this decoder does
// not play: a block that begins with them fails at once.
void FillWithCouplingElements(Bytes& bytes, std::size_t from, std::size_t to) {
  std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to),
            std::uint8_t{0x5A});
}

Bytes RandomBytes(std::size_t count, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

// Catches a damaged frame that ends the decode (half a file decoded, reported as success):
// a frame whose header is destroyed (its first byte) or whose data cannot be decoded is
// skipped; in its place comes one block of silence, so every later block keeps its time;
// the blocks after the next one are those of the undamaged stream; one frame is counted.
TEST(DamagedAdts, DamagedFrameBecomesSilenceOfItsLength) {
  const Stream stream = Make(Music());
  ASSERT_GT(stream.frames.size(), 60u);
  ASSERT_EQ(stream.clean.verdict, DecodeVerdict::Ok);
  ASSERT_EQ(stream.clean.blocks.size(), stream.frames.size());
  const std::size_t k = stream.frames.size() / 2;
  const test::AdtsFrame& frame = stream.frames[k];
  for (const bool header : {true, false}) {
    SCOPED_TRACE(header ? "header destroyed" : "data destroyed");
    Bytes damaged = stream.bytes;
    if (header) {
      damaged[frame.offset] = 0x00;
    } else {
      FillWithCouplingElements(damaged, frame.offset + 7, FrameEnd(frame));
    }
    const Decoded decoded = Decode(damaged);
    ASSERT_EQ(decoded.blocks.size(), stream.clean.blocks.size());
    EXPECT_TRUE(Silent(decoded.blocks[k]));
    for (std::size_t i = 0; i < decoded.blocks.size(); ++i) {
      if (i == k || i == k + 1) continue;  // the next block starts without the lost one's overlap
      ASSERT_TRUE(decoded.blocks[i] == stream.clean.blocks[i]) << "block " << i;
    }
    EXPECT_EQ(decoded.verdict, DecodeVerdict::OkWithLosses);
    EXPECT_EQ(decoded.report.framesSkipped, 1u);
    EXPECT_EQ(decoded.report.blocksSilent, 1u);
    EXPECT_EQ(decoded.report.bytesSkipped, static_cast<std::uint64_t>(frame.header.frameLengthBytes));
    EXPECT_EQ(decoded.report.blocksDecoded, stream.frames.size() - 1);
  }
}

// Catches a frame length that sends the decoder past its successor (the frame found again
// is no loss; one reaching past the end of the input made every later frame vanish
// without a word) and one that cuts the frame short (its data then runs past its end,
// which is damage): a longer length loses nothing, a shorter one the frame itself.
TEST(DamagedAdts, WrongFrameLengthsAreFoundOut) {
  const Stream stream = Make(Music());
  std::size_t k = stream.frames.size() - 10;
  auto withLength = [&](int length) {
    Bytes bytes = stream.bytes;
    const std::size_t at = stream.frames[k].offset;
    bytes[at + 3] = static_cast<std::uint8_t>((bytes[at + 3] & 0xFC) | (length >> 11));
    bytes[at + 4] = static_cast<std::uint8_t>(length >> 3);
    bytes[at + 5] = static_cast<std::uint8_t>((bytes[at + 5] & 0x1F) | ((length & 7) << 5));
    return Decode(bytes);
  };
  ASSERT_LT(stream.bytes.size() - stream.frames[k].offset, 8191u);
  const Decoded pastTheEnd = withLength(8191);
  EXPECT_TRUE(pastTheEnd.blocks == stream.clean.blocks);
  EXPECT_EQ(pastTheEnd.verdict, DecodeVerdict::Ok);
  k = stream.frames.size() / 3;
  const Decoded longer = withLength(stream.frames[k].header.frameLengthBytes + 150);
  EXPECT_TRUE(longer.blocks == stream.clean.blocks);
  EXPECT_EQ(longer.verdict, DecodeVerdict::Ok);
  const Decoded shorter = withLength(stream.frames[k].header.frameLengthBytes - 40);
  ASSERT_EQ(shorter.blocks.size(), stream.clean.blocks.size());
  EXPECT_TRUE(Silent(shorter.blocks[k]));
  EXPECT_EQ(shorter.report.framesSkipped, 1u);
  EXPECT_EQ(shorter.verdict, DecodeVerdict::OkWithLosses);
}

// Catches junk between frames taken for lost audio or ending the decode: a little junk is
// passed over without any change to the audio; a stretch as long as three frames stands
// for three lost frames, given as silence.
TEST(DamagedAdts, JunkBetweenFramesIsSearchedThrough) {
  const Stream stream = Make(Music());
  const std::size_t k = stream.frames.size() / 2;
  const std::size_t at = stream.frames[k].offset;
  std::uint64_t total = 0;
  for (const auto& frame : stream.frames) total += static_cast<std::uint64_t>(frame.header.frameLengthBytes);
  const std::size_t meanFrame = static_cast<std::size_t>(total / stream.frames.size());

  Bytes little = stream.bytes;
  const Bytes junk = RandomBytes(100, 3);
  little.insert(little.begin() + static_cast<std::ptrdiff_t>(at), junk.begin(), junk.end());
  const Decoded passed = Decode(little);
  EXPECT_TRUE(passed.blocks == stream.clean.blocks);
  EXPECT_EQ(passed.report.bytesSkipped, 100u);
  EXPECT_EQ(passed.report.framesSkipped, 0u);
  EXPECT_EQ(passed.verdict, DecodeVerdict::OkWithLosses);

  Bytes stretch = stream.bytes;
  const Bytes more = RandomBytes(3 * meanFrame, 4);
  stretch.insert(stretch.begin() + static_cast<std::ptrdiff_t>(at), more.begin(), more.end());
  const Decoded lost = Decode(stretch);
  ASSERT_EQ(lost.blocks.size(), stream.clean.blocks.size() + 3);
  for (std::size_t i = k; i < k + 3; ++i) EXPECT_TRUE(Silent(lost.blocks[i])) << i;
  EXPECT_TRUE(std::equal(stream.clean.blocks.begin(), stream.clean.blocks.begin() + static_cast<std::ptrdiff_t>(k),
                         lost.blocks.begin()));
  EXPECT_EQ(lost.report.framesSkipped, 3u);
  EXPECT_EQ(lost.report.blocksSilent, 3u);
}

// Catches an ADTS stream behind an ID3v2 tag or a little junk taken for raw blocks (no
// audio), an ID3v1 record behind it counted as damage, and a first frame whose header is
// damaged (the stream then starts at the second frame, the first one given as silence).
TEST(DamagedAdts, StreamIsFoundBehindTagsAndJunk) {
  const Stream stream = Make(Music());
  Bytes tagged(500, 0);
  const Bytes header = {'I', 'D', '3', 3, 0, 0, 0, 0, 3, 0x6A};  // a 490-byte ID3v2.3 body
  std::copy(header.begin(), header.end(), tagged.begin());
  tagged.insert(tagged.end(), stream.bytes.begin(), stream.bytes.end());
  Bytes v1(128, ' ');
  v1[0] = 'T', v1[1] = 'A', v1[2] = 'G';
  tagged.insert(tagged.end(), v1.begin(), v1.end());
  const Decoded fromTagged = Decode(tagged);
  EXPECT_EQ(fromTagged.form, StreamForm::Adts);
  EXPECT_TRUE(fromTagged.blocks == stream.clean.blocks);
  EXPECT_EQ(fromTagged.report.bytesMetadata, 628u);
  EXPECT_EQ(fromTagged.verdict, DecodeVerdict::Ok);

  Bytes behindJunk = RandomBytes(150, 5);
  behindJunk[0] = 0x12;  // neither "ADIF" nor a sync word
  behindJunk.insert(behindJunk.end(), stream.bytes.begin(), stream.bytes.end());
  const Decoded fromJunk = Decode(behindJunk);
  EXPECT_EQ(fromJunk.form, StreamForm::Adts);
  EXPECT_TRUE(fromJunk.blocks == stream.clean.blocks);
  EXPECT_EQ(fromJunk.report.bytesSkipped, 150u);
  EXPECT_EQ(fromJunk.verdict, DecodeVerdict::OkWithLosses);

  Bytes firstDamaged = stream.bytes;
  firstDamaged[1] = 0x00;
  const Decoded fromSecond = Decode(firstDamaged);
  EXPECT_EQ(fromSecond.form, StreamForm::Adts);
  ASSERT_EQ(fromSecond.blocks.size(), stream.clean.blocks.size());
  EXPECT_TRUE(Silent(fromSecond.blocks[0]));
  EXPECT_TRUE(std::equal(stream.clean.blocks.begin() + 2, stream.clean.blocks.end(), fromSecond.blocks.begin() + 2));
  EXPECT_EQ(fromSecond.report.framesSkipped, 1u);
}

// Catches trailing data that fails a whole decode, or a stream that is mostly junk passing:
// junk behind the last frame (or the last raw block) is a warning up to one part in 20 of
// the input, an error beyond; the audio in front of it is whole either way.
TEST(DamagedStreams, TrailingJunkIsAWarningUntilItIsTooMuch) {
  const Stream stream = Make(Music());
  auto raw = test::AdtsToRaw(stream.bytes);
  ASSERT_TRUE(raw);
  const Bytes& rawBytes = raw.Value();
  for (const Bytes* clean : {&stream.bytes, &rawBytes}) {
    for (const std::size_t percent : {2u, 8u}) {
      SCOPED_TRACE(std::to_string(percent) + "% junk" + (clean == &stream.bytes ? ", ADTS" : ", raw"));
      Bytes bytes = *clean;
      const Bytes junk = RandomBytes(clean->size() * percent / 100, 6);
      bytes.insert(bytes.end(), junk.begin(), junk.end());
      const Decoded decoded = Decode(bytes);
      EXPECT_GE(decoded.blocks.size() + 1, stream.clean.blocks.size());
      EXPECT_EQ(decoded.report.bytesUnread + decoded.report.bytesSkipped, junk.size());
      EXPECT_EQ(decoded.verdict, percent < 5 ? DecodeVerdict::OkWithLosses : DecodeVerdict::Damaged);
    }
  }
}

// Catches a share of damage judged on the wrong side: some damaged frames pass with a
// warning, many fail the decode, whatever the decoder still made of the rest.
TEST(DamagedAdts, ShareOfDamagedFramesDecidesTheVerdict) {
  const Stream stream = Make(Music());
  for (const std::size_t every : {40u, 8u}) {
    Bytes damaged = stream.bytes;
    std::size_t count = 0;
    for (std::size_t k = 3; k < stream.frames.size(); k += every, ++count) {
      FillWithCouplingElements(damaged, stream.frames[k].offset + 7, FrameEnd(stream.frames[k]));
    }
    const Decoded decoded = Decode(damaged);
    EXPECT_EQ(decoded.blocks.size(), stream.clean.blocks.size());
    EXPECT_EQ(decoded.report.framesSkipped, count);
    EXPECT_EQ(decoded.verdict, every == 40 ? DecodeVerdict::OkWithLosses : DecodeVerdict::Damaged) << count;
  }
}

// Catches a file cut short judged as damage or losing its complete blocks: an ADTS file cut
// inside a frame or a header and a raw stream cut inside a block decode every complete
// block with a warning; a cut right at a frame's end is a whole stream.
TEST(DamagedStreams, CutStreamsKeepTheirCompleteBlocks) {
  const Stream stream = Make(Music());
  const std::size_t k = stream.frames.size() - 5;
  for (const std::size_t into : {std::size_t{3}, std::size_t{100}}) {
    Bytes cut(stream.bytes.begin(), stream.bytes.begin() + static_cast<std::ptrdiff_t>(stream.frames[k].offset + into));
    const Decoded decoded = Decode(cut);
    ASSERT_EQ(decoded.blocks.size(), k);
    EXPECT_TRUE(std::equal(decoded.blocks.begin(), decoded.blocks.end(), stream.clean.blocks.begin()));
    EXPECT_EQ(decoded.report.bytesTruncated, into);
    EXPECT_EQ(decoded.verdict, DecodeVerdict::OkWithLosses);
  }
  Bytes atFrame(stream.bytes.begin(), stream.bytes.begin() + static_cast<std::ptrdiff_t>(stream.frames[k].offset));
  EXPECT_EQ(Decode(atFrame).verdict, DecodeVerdict::Ok);

  auto raw = test::AdtsToRaw(stream.bytes);
  ASSERT_TRUE(raw);
  Bytes rawCut = raw.Value();
  const test::AdtsFrame& last = stream.frames.back();
  rawCut.resize(rawCut.size() - static_cast<std::size_t>(last.header.frameLengthBytes - last.header.headerBytes) / 2);
  const Decoded fromRaw = Decode(rawCut);
  EXPECT_EQ(fromRaw.form, StreamForm::Raw);
  EXPECT_EQ(fromRaw.blocks.size() + 1, stream.clean.blocks.size());
  EXPECT_GT(fromRaw.report.bytesTruncated, 0u);
  EXPECT_EQ(fromRaw.verdict, DecodeVerdict::OkWithLosses);
}

// Catches raw and ADIF streams that stop part way passing as decoded: without marks to
// find again they end at the first block that fails; failing within the first blocks is
// no audio at all, failing later too much lost; whole streams are fine.
TEST(DamagedStreams, RawAndAdifStreamsStopAtTheFirstFailingBlock) {
  const Stream stream = Make(Music());
  auto raw = test::AdtsToRaw(stream.bytes);
  auto adif = test::AdtsToAdif(stream.bytes);
  ASSERT_TRUE(raw && adif);
  const std::size_t adifHeader = adif.Value().size() - raw.Value().size();
  // Where each block starts in the raw form.
  std::vector<std::size_t> blockStart;
  std::size_t offset = 0;
  for (const auto& frame : stream.frames) {
    blockStart.push_back(offset);
    offset += static_cast<std::size_t>(frame.header.frameLengthBytes - frame.header.headerBytes);
  }
  for (const std::size_t header : {std::size_t{0}, adifHeader}) {
    const Bytes& clean = header == 0 ? raw.Value() : adif.Value();
    SCOPED_TRACE(header == 0 ? "raw" : "ADIF");
    const Decoded whole = Decode(clean);
    EXPECT_EQ(whole.form, header == 0 ? StreamForm::Raw : StreamForm::Adif);
    EXPECT_EQ(whole.verdict, DecodeVerdict::Ok);
    for (const std::size_t k : {std::size_t{2}, blockStart.size() / 2}) {
      Bytes damaged = clean;
      FillWithCouplingElements(damaged, header + blockStart[k], header + blockStart[k + 1]);
      const Decoded decoded = Decode(damaged);
      EXPECT_EQ(decoded.blocks.size(), k);
      EXPECT_EQ(decoded.report.bytesUnread, clean.size() - header - blockStart[k]);
      EXPECT_EQ(decoded.verdict, k < kFirstBlocks ? DecodeVerdict::NoAudio : DecodeVerdict::Damaged);
    }
  }
}

// Catches raw blocks taken for ADTS frames (a pattern in the data that looks like a header
// whose frame reaches past the end of the input): the raw form of every standard test
// stream is read as raw blocks, and decodes whole where its rate is the one raw blocks are
// taken to have (44.1 kHz; 48 kHz shares its band layouts).
TEST(ForeignInput, RawBlocksAreNotTakenForAdts) {
  for (const test::StreamSpec& spec : test::StandardStreams()) {
    std::string error;
    const std::string path = test::MakeAdtsStream(spec, &error);
    ASSERT_FALSE(path.empty()) << error;
    auto raw = test::AdtsToRaw(test::ReadFileBytes(path));
    ASSERT_TRUE(raw);
    AacDecoder decoder;
    const Decoded decoded = DecodeWith(decoder, decoder.OpenBytes(raw.Value()));
    EXPECT_EQ(decoded.form, StreamForm::Raw) << spec.Name();
    if (spec.sampleRate == 44100 || spec.sampleRate == 48000) {
      EXPECT_EQ(decoded.verdict, DecodeVerdict::Ok) << spec.Name();
    }
  }
}

// Catches bytes that are no AAC decoded as audio (random bytes gave a block of noise and
// success): random inputs of many sizes, a file of END elements only (0xFF: empty blocks
// that parse forever) and an empty file hold no audio.
TEST(ForeignInput, RandomBytesHoldNoAudio) {
  int accepted = 0;
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    const std::size_t size = seed % 3 == 0 ? 4000 : 200 + (seed * 7919) % 30000;
    AacDecoder decoder;
    const Decoded decoded = DecodeWith(decoder, decoder.OpenBytes(RandomBytes(size, seed)));
    if (decoded.verdict == DecodeVerdict::Ok || decoded.verdict == DecodeVerdict::OkWithLosses) {
      ++accepted;
      ADD_FAILURE() << "seed " << seed << " size " << size << " decoded " << decoded.blocks.size() << " blocks";
    }
    EXPECT_TRUE(decoded.verdict == DecodeVerdict::NoAudio || decoded.verdict == DecodeVerdict::Damaged);
  }
  EXPECT_EQ(accepted, 0);
  const Decoded ends = Decode(Bytes(4000, 0xFF));
  EXPECT_EQ(ends.verdict, DecodeVerdict::NoAudio);
  EXPECT_TRUE(std::all_of(ends.blocks.begin(), ends.blocks.end(), Silent));
  EXPECT_EQ(Decode(Bytes{}).verdict, DecodeVerdict::NoAudio);
}

// Catches the share computed on the wrong base or compared the wrong way round: exactly
// one part in 20 lost passes, one byte more fails; tags do not count; a truncated block
// is not lost; fewer than the first blocks make a failure "no audio".
TEST(DecodeReportVerdict, BoundariesOfTheShare) {
  DecodeReport report;
  report.inputBytes = 10000 + 600;
  report.bytesMetadata = 600;
  report.blocksDecoded = 100;
  report.ended = true;
  EXPECT_EQ(Judge(report), DecodeVerdict::Ok);
  report.bytesSkipped = 300;
  report.bytesUnread = 200;
  EXPECT_EQ(Judge(report), DecodeVerdict::OkWithLosses);
  EXPECT_EQ(LostPerMille(report), 50u);
  report.bytesUnread = 201;
  EXPECT_EQ(Judge(report), DecodeVerdict::Damaged);
  report.blocksDecoded = kFirstBlocks - 1;
  EXPECT_EQ(Judge(report), DecodeVerdict::NoAudio);
  report = DecodeReport{};
  report.inputBytes = 1000;
  report.blocksDecoded = 3;
  report.bytesTruncated = 900;
  report.ended = true;
  EXPECT_EQ(Judge(report), DecodeVerdict::OkWithLosses);
  report.ended = false;
  EXPECT_EQ(Judge(report), DecodeVerdict::Running);
  report.errorNumber = 21;
  EXPECT_EQ(Judge(report), DecodeVerdict::CannotRead);
}

}  // namespace
}  // namespace zbaac
