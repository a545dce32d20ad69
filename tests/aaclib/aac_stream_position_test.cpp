// The stream's length and seeking, in all three input forms: an ADTS stream by its frame
// headers, raw and ADIF streams by decoding forward.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "aaclib/aac_decoder.h"
#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/adts_convert.h"

namespace zbaac {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Block = std::vector<std::int16_t>;

std::vector<Block> DecodeAll(AacDecoder& decoder) {
  std::vector<Block> blocks;
  Block block(AacDecoder::kOutputSamples);
  for (int guard = 0; guard < 100000 && decoder.Decode(block.data()) != 0; ++guard) blocks.push_back(block);
  return blocks;
}

// The seven seconds of music every case uses, in the form asked for.
Bytes StreamBytes(StreamForm form) {
  test::StreamSpec spec;
  spec.seconds = 7.0;
  spec.sampleRate = 44100;
  std::string error;
  const std::string path = test::MakeAdtsStream(spec, &error);
  EXPECT_FALSE(path.empty()) << error;
  const Bytes adts = test::ReadFileBytes(path);
  if (form == StreamForm::Adts) return adts;
  auto converted = form == StreamForm::Raw ? test::AdtsToRaw(adts) : test::AdtsToAdif(adts);
  EXPECT_TRUE(converted.Ok());
  return converted.Ok() ? converted.Value() : Bytes{};
}

class StreamPosition : public testing::TestWithParam<StreamForm> {
 protected:
  void SetUp() override {
    bytes_ = StreamBytes(GetParam());
    AacDecoder whole;
    ASSERT_EQ(whole.OpenBytes(bytes_).form, GetParam());
    reference_ = DecodeAll(whole);
    ASSERT_GT(reference_.size(), 250u);
    path_ = test::TestCacheDir() + "/position_" + std::to_string(::getpid()) + ".aac";
    ASSERT_TRUE(test::WriteFileBytes(path_, bytes_));
  }
  void TearDown() override { std::remove(path_.c_str()); }

  Bytes bytes_;
  std::vector<Block> reference_;
  std::string path_;
};

std::string FormName(StreamForm form) {
  return form == StreamForm::Adts ? "Adts" : form == StreamForm::Adif ? "Adif" : "Raw";
}

}  // namespace

// Catches a length missing or off (ADTS frames miscounted, a raw stream's estimate far
// from its blocks) and a length query that moves the decoding position.
TEST_P(StreamPosition, LengthMatchesTheBlocksDecoded) {
  for (bool fromFile : {false, true}) {
    SCOPED_TRACE(fromFile ? "file" : "memory");
    AacDecoder decoder;
    fromFile ? decoder.Open(path_) : decoder.OpenBytes(bytes_);
    Block first(AacDecoder::kOutputSamples);
    ASSERT_NE(decoder.Decode(first.data()), 0);
    const StreamLength length = decoder.Length();
    EXPECT_EQ(length.exact, GetParam() == StreamForm::Adts);
    if (length.exact) {
      EXPECT_EQ(length.blocks, reference_.size());
    } else {
      EXPECT_NEAR(double(length.blocks), double(reference_.size()), 0.1 * double(reference_.size()));
    }
    EXPECT_EQ(decoder.NextBlock(), 1u);
    std::vector<Block> rest = DecodeAll(decoder);
    rest.insert(rest.begin(), first);
    EXPECT_TRUE(rest == reference_) << "the length query changed what decodes";
  }
}

// Catches a seek that lands on another block than asked, gives a first block without its
// overlap (a click), loses the stream's end, or cannot go back; and a seek past the end
// that does not end the stream.
TEST_P(StreamPosition, SeekGivesTheBlocksOfAWholeDecode) {
  for (bool fromFile : {false, true}) {
    SCOPED_TRACE(fromFile ? "file" : "memory");
    AacDecoder decoder;
    fromFile ? decoder.Open(path_) : decoder.OpenBytes(bytes_);
    Block block(AacDecoder::kOutputSamples);
    const std::uint64_t total = reference_.size();
    for (std::uint64_t target : {std::uint64_t(200), std::uint64_t(37), std::uint64_t(1), std::uint64_t(0),
                                 total - 3, std::uint64_t(120)}) {
      SCOPED_TRACE("block " + std::to_string(target));
      ASSERT_EQ(decoder.SeekToBlock(target), target);
      for (std::uint64_t k = target; k < std::min(target + 3, total); ++k) {
        ASSERT_NE(decoder.Decode(block.data()), 0);
        EXPECT_TRUE(block == reference_[k]) << "block " << k << " differs from the whole decode";
      }
    }
    EXPECT_EQ(decoder.SeekToBlock(total + 100), total);
    EXPECT_EQ(decoder.Decode(block.data()), 0);
    // And back from the end.
    ASSERT_EQ(decoder.SeekToBlock(10), 10u);
    const std::vector<Block> rest = DecodeAll(decoder);
    ASSERT_EQ(rest.size(), total - 10);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), reference_.begin() + 10));
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, StreamPosition, testing::Values(StreamForm::Adts, StreamForm::Raw, StreamForm::Adif),
                         [](const testing::TestParamInfo<StreamForm>& info) { return FormName(info.param); });

// Catches a seek or length on a decoder with nothing open doing anything.
TEST(StreamPosition, NothingOpenHasNoLengthAndDoesNotMove) {
  AacDecoder decoder;
  EXPECT_EQ(decoder.Length().blocks, 0u);
  EXPECT_EQ(decoder.SeekToBlock(10), 0u);
  decoder.Open("/nonexistent/stream.aac");
  EXPECT_EQ(decoder.Length().blocks, 0u);
  EXPECT_EQ(decoder.SeekToBlock(10), 0u);
}

}  // namespace zbaac
