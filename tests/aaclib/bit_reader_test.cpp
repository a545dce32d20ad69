// The byte source and the bit reader: field values, alignment, counts and the end of input.
#include "aaclib/bit_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "tests/aaclib/helpers/aac_streams.h"

namespace zbaac {
namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

std::uint32_t BitsAt(const std::vector<std::uint8_t>& bytes, std::uint64_t position, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i, ++position) {
    value = (value << 1) | ((bytes[position / 8] >> (7 - position % 8)) & 1u);
  }
  return value;
}

// Catches reservoir mistakes (a lost or repeated word, a wrong mask or shift) for every
// field width the syntax uses, including the 20- and 23-bit fields that need two top-ups.
TEST(BitReader, FieldsOfEveryWidthMatchTheBitsOfTheInput) {
  const auto bytes = RandomBytes(4096, 1);
  BitReader reader(AacInput::FromBytes(bytes));
  std::uint64_t position = 0;
  std::mt19937 widths(2);
  while (position + 32 < bytes.size() * 8) {
    const int width = static_cast<int>(widths() % 33);
    ASSERT_EQ(reader.ReadBits(width), BitsAt(bytes, position, width)) << "width " << width << " at " << position;
    position += static_cast<std::uint64_t>(width);
    ASSERT_EQ(reader.BitPosition(), position);
  }
}

// Catches alignment counted within the reservoir instead of the file: the bits dropped
// are those up to the next byte boundary of the input, none when already aligned.
TEST(BitReader, ByteAlignDropsUpToTheNextByteBoundary) {
  const auto bytes = RandomBytes(16, 3);
  BitReader reader(AacInput::FromBytes(bytes));
  EXPECT_EQ(reader.ByteAlign(), 0);
  reader.ReadBits(3);
  EXPECT_EQ(reader.ByteAlign(), 5);
  EXPECT_EQ(reader.BitPosition(), 8u);
  EXPECT_EQ(reader.ReadBits(8), bytes[1]);
  reader.ReadBits(9);
  EXPECT_EQ(reader.ByteAlign(), 7);
  EXPECT_EQ(reader.ReadBits(8), bytes[4]);
}

// Catches a load that drops or repeats bytes and an odd-sized input losing its last byte:
// a memory stream is one load, the next load finds nothing and marks the end, which
// stays; the reader takes the last byte alone and zeros after it.
TEST(AacInput, LoadsEndOnceAndOddInputKeepsItsLastByte) {
  AacInput input = AacInput::FromBytes({0x12, 0x34, 0x56});
  ASSERT_EQ(input.Bytes().size(), 3u);
  EXPECT_EQ(input.Bytes()[2], 0x56);
  EXPECT_FALSE(input.EndOfInput());
  EXPECT_FALSE(input.LoadNext());
  EXPECT_TRUE(input.EndOfInput());
  EXPECT_TRUE(input.Bytes().empty());
  EXPECT_EQ(input.BytesBeforeBuffer(), 3u);
  EXPECT_FALSE(input.LoadNext());
  EXPECT_EQ(input.BytesBeforeBuffer(), 3u);
  BitReader odd(AacInput::FromBytes({0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(odd.ReadBits(16), 0xABCDu);
  EXPECT_EQ(odd.ReadBits(16), 0xEF00u);
  EXPECT_TRUE(odd.PastEnd());
}

// Catches cached bits that go stale when the cache is topped up unevenly: peeks and
// skips after a refill, reads through a cursor and plain reads, mixed at random widths,
// all see the bits of the input in order, also across the end of the input.
TEST(BitReader, PeeksCursorsAndReadsAgree) {
  const auto bytes = RandomBytes(777, 5);
  BitReader reader(AacInput::FromBytes(bytes));
  std::mt19937 choices(6);
  std::uint64_t position = 0;
  // The input's bits, zeros past its end.
  auto expected = [&](int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
      const std::uint64_t at = position + static_cast<std::uint64_t>(i);
      value = (value << 1) | (at < bytes.size() * 8 ? BitsAt(bytes, at, 1) : 0u);
    }
    return value;
  };
  while (position < bytes.size() * 8 + 200) {
    const int width = static_cast<int>(choices() % 25);
    switch (choices() % 3) {
      case 0:
        reader.Refill();
        ASSERT_GE(reader.BitsAvailable(), BitReader::kRefillBits);
        ASSERT_EQ(reader.Peek(width), expected(width)) << position;
        reader.Skip(width);
        break;
      case 1: {
        BitReader::Cursor cursor(reader);
        for (int i = 0; i < 3; ++i) {
          if (cursor.BitsAvailable() < width) cursor.Refill();
          ASSERT_EQ(cursor.Peek(width), expected(width)) << position;
          cursor.Skip(width);
          position += static_cast<std::uint64_t>(width);
        }
        position -= static_cast<std::uint64_t>(width);
        break;
      }
      default:
        ASSERT_EQ(reader.ReadBits(width), expected(width)) << position;
    }
    position += static_cast<std::uint64_t>(width);
    ASSERT_EQ(reader.BitPosition(), position);
    ASSERT_EQ(reader.PastEnd(), position > bytes.size() * 8) << position;
  }
}

// Catches reads that run past the end being taken for data: the reader knows where the
// data stopped, so the last real bit is not past the end and the next one is.
TEST(BitReader, PastEndStartsAfterTheLastRealBit) {
  BitReader reader(AacInput::FromBytes({0xFF, 0xFF, 0xFF}));
  reader.ReadBits(16);
  EXPECT_EQ(reader.ReadBits(8), 0xFFu);
  EXPECT_TRUE(reader.EndOfInput());
  EXPECT_FALSE(reader.PastEnd());
  EXPECT_EQ(reader.ReadBits(1), 0u);
  EXPECT_TRUE(reader.PastEnd());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(reader.ReadBits(16), 0u);
}

// Catches a refill that drops or repeats bytes where one 128 KiB load ends and the next
// begins (whole bytes, and fields that straddle the boundary), and a wrong count of the
// bytes of earlier loads.
TEST(AacInput, FileReadsAcrossBufferLoads) {
  const auto bytes = RandomBytes(AacInput::kBufferBytes * 2 + 5, 4);
  const std::string path = test::TestCacheDir() + "/bit_reader_" + std::to_string(getpid()) + ".bin";
  ASSERT_TRUE(test::WriteFileBytes(path, bytes));
  auto opened = AacInput::OpenFile(path);
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened.Value().SizeBytes(), bytes.size());
  BitReader reader(std::move(opened).Value());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    ASSERT_EQ(reader.ReadBits(8), bytes[i]) << "byte " << i;
  }
  EXPECT_EQ(reader.BitPosition(), bytes.size() * 8);
  EXPECT_FALSE(reader.PastEnd());
  reader.ReadBits(16);
  EXPECT_TRUE(reader.PastEnd());
  // 13-bit fields: every load boundary falls inside one.
  auto again = AacInput::OpenFile(path);
  ASSERT_TRUE(again);
  BitReader fields(std::move(again).Value());
  for (std::uint64_t position = 0; position + 13 <= bytes.size() * 8; position += 13) {
    ASSERT_EQ(fields.ReadBits(13), BitsAt(bytes, position, 13)) << "bit " << position;
  }
  std::remove(path.c_str());
}

// Catches ReadAt reading again from the file what the current load already holds: the
// bytes it gives are the load's (what the reader reads), and around the load the file's.
// The file is changed behind the input after the load to tell the two apart.
TEST(AacInput, ReadAtServesLoadedBytesFromTheLoad) {
  const auto bytes = RandomBytes(AacInput::kBufferBytes * 2 + 100, 9);
  const std::string path = test::TestCacheDir() + "/bit_reader_readat_" + std::to_string(getpid()) + ".bin";
  ASSERT_TRUE(test::WriteFileBytes(path, bytes));
  auto opened = AacInput::OpenFile(path);
  ASSERT_TRUE(opened);
  AacInput input = std::move(opened).Value();
  ASSERT_EQ(input.SeekTo(AacInput::kBufferBytes), AacInput::kBufferBytes);  // the second load
  auto changed = bytes;
  for (auto& byte : changed) byte = static_cast<std::uint8_t>(~byte);
  ASSERT_TRUE(test::WriteFileBytes(path, changed));

  // Across the load's start, within it, across its end.
  const std::uint64_t loadStart = AacInput::kBufferBytes;
  const std::uint64_t loadEnd = 2 * AacInput::kBufferBytes;
  for (const std::uint64_t from : {loadStart - 10, loadStart + 500, loadEnd - 10}) {
    std::vector<std::uint8_t> got(20);
    ASSERT_EQ(input.ReadAt(from, got.data(), got.size()), got.size()) << from;
    for (std::size_t i = 0; i < got.size(); ++i) {
      const std::uint64_t at = from + i;
      const bool loaded = at >= loadStart && at < loadEnd;
      EXPECT_EQ(got[i], loaded ? bytes[at] : changed[at]) << "byte " << at;
    }
  }
  std::uint8_t tail[200];
  EXPECT_EQ(input.ReadAt(bytes.size() - 50, tail, sizeof tail), 50u);
  std::remove(path.c_str());
}

// Catches a missing file passing as an empty stream instead of a reported failure.
TEST(AacInput, MissingFileIsAnError) {
  auto opened = AacInput::OpenFile("/nonexistent/zbaac/missing.aac");
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.Error().errnum, ENOENT);
  EXPECT_EQ(opened.Error().subject, "/nonexistent/zbaac/missing.aac");
}

// Catches a moved reader losing its place in the load, or the moved-from one closing
// the file the new owner still reads.
TEST(AacInput, MovedInputKeepsReading) {
  const std::string path = test::TestCacheDir() + "/bit_reader_move_" + std::to_string(getpid()) + ".bin";
  ASSERT_TRUE(test::WriteFileBytes(path, std::vector<std::uint8_t>{1, 2, 3, 4}));
  auto opened = AacInput::OpenFile(path);
  ASSERT_TRUE(opened);
  BitReader first(std::move(opened).Value());
  EXPECT_EQ(first.ReadBits(16), 0x0102u);
  BitReader second = std::move(first);
  EXPECT_EQ(second.ReadBits(16), 0x0304u);
  EXPECT_TRUE(second.Input().IsFile());
  EXPECT_FALSE(second.PastEnd());
  std::remove(path.c_str());
}

}  // namespace
}  // namespace zbaac
