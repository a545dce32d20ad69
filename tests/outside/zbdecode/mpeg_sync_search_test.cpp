// Tests of the MPEG frame header parser and of the search for the first frame.
#include "outside/zbdecode/mpeg_sync_search.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "outside/zbdecode/mpeg_frame_header.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::vector<std::string>> ReadTsv(const std::string& name) {
  std::ifstream file(std::string(ZIMBAR_SOURCE_DIR) + "/tests/outside/zbdecode/data/" + name);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(file, line);  // header
  while (std::getline(file, line)) {
    std::vector<std::string> cells;
    std::stringstream stream(line);
    for (std::string cell; std::getline(stream, cell, '\t');) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes, 418 when padded.
constexpr uint8_t kHeader[4] = {0xFF, 0xFB, 0x90, 0x64};
constexpr uint8_t kPaddedHeader[4] = {0xFF, 0xFB, 0x92, 0x64};

// `count` frames of that stream (every third one padded), bodies of zero bytes.
Bytes Frames(int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    const bool padded = i % 3 == 2;
    out.insert(out.end(), padded ? kPaddedHeader : kHeader, (padded ? kPaddedHeader : kHeader) + 4);
    out.resize(out.size() + (padded ? 414 : 413), 0);
  }
  return out;
}

// Bytes of a simple generator that never form a sync word (no 0xFF).
Bytes Junk(size_t size, uint32_t seed = 7) {
  Bytes out(size);
  for (auto& b : out) {
    seed = seed * 1664525u + 1013904223u;
    b = uint8_t((seed >> 24) % 255);
  }
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

struct SearchResult {
  MpegSyncSearch::State state = MpegSyncSearch::State::NeedMore;
  uint64_t start = 0;
  size_t pendingBytes = 0;
};

// Feeds the input in pieces of `piece` bytes (then the end) until the search decides.
SearchResult SearchIn(const Bytes& input, size_t piece) {
  MpegSyncSearch search;
  SearchResult r;
  size_t at = 0;
  for (;;) {
    if (at < input.size()) {
      const size_t n = std::min(piece, input.size() - at);
      search.Feed(input.data() + at, n);
      at += n;
    } else {
      search.FeedEnd();
    }
    r.state = search.Search();
    if (r.state != MpegSyncSearch::State::NeedMore) break;
    if (at == input.size() && r.state == MpegSyncSearch::State::NeedMore) {
      search.FeedEnd();
      r.state = search.Search();
      break;
    }
  }
  if (r.state == MpegSyncSearch::State::Found) {
    r.start = search.StartOffset();
    r.pendingBytes = search.TakeBytesFromStart().size();
    EXPECT_EQ(r.start + r.pendingBytes, at) << "the bytes from the start on are handed back whole";
  }
  return r;
}

// The same answer whatever the pieces the input comes in.
SearchResult SearchAnyPieces(const Bytes& input) {
  const SearchResult whole = SearchIn(input, input.size() + 1);
  for (const size_t piece : {size_t(1), size_t(7), size_t(4096)}) {
    const SearchResult r = SearchIn(input, piece);
    EXPECT_EQ(r.state, whole.state) << "pieces of " << piece;
    EXPECT_EQ(r.start, whole.start) << "pieces of " << piece;
  }
  return whole;
}

}  // namespace

// Catches a bit rate or sampling frequency that differs from the standard's tables.
TEST(MpegFrameHeader, TablesEqualTheData) {
  const auto bitRates = ReadTsv("mpeg_bit_rates.tsv");
  ASSERT_EQ(bitRates.size(), 3u * 3u * 15u);
  for (const auto& row : bitRates) {
    const int version = std::stoi(row[0]), layer = std::stoi(row[1]), index = std::stoi(row[2]);
    const uint16_t kbps = version == 1 ? kMpeg1BitRates[size_t(layer - 1)][size_t(index)]
                                       : kMpeg2BitRates[layer == 1 ? 0 : 1][size_t(index)];
    EXPECT_EQ(kbps, std::stoi(row[3])) << "version " << version << " layer " << layer << " index " << index;
  }
  const auto rates = ReadTsv("mpeg_sample_rates.tsv");
  ASSERT_EQ(rates.size(), 9u);
  for (const auto& row : rates) {
    EXPECT_EQ(kMpegSampleRates[size_t(std::stoi(row[0]) - 1)][size_t(std::stoi(row[1]))], uint32_t(std::stoul(row[2])));
  }
}

// Catches wrong frame sizes (slot size of Layer I, the half-size Layer III frames of the
// lower rates, padding) and reserved or forbidden fields taken for a header.
TEST(MpegFrameHeader, FrameSizesAndRefusedFields) {
  const struct {
    const char* name;
    uint8_t b[4];
    uint32_t frameBytes;
    int version, layer, channels;
  } valid[] = {
      {"MPEG-1 Layer III 128k 44100", {0xFF, 0xFB, 0x90, 0x64}, 417, 1, 3, 2},
      {"padded", {0xFF, 0xFB, 0x92, 0x64}, 418, 1, 3, 2},
      {"Layer I 128k 44100 mono", {0xFF, 0xFF, 0x40, 0xC0}, 136, 1, 1, 1},
      {"Layer I padded", {0xFF, 0xFF, 0x42, 0xC0}, 140, 1, 1, 1},
      {"Layer II 192k 48000", {0xFF, 0xFD, 0xA4, 0x00}, 576, 1, 2, 2},
      {"MPEG-2 Layer III 32k 22050", {0xFF, 0xF3, 0x40, 0xC0}, 104, 2, 3, 1},
      {"MPEG-2.5 Layer III 16k 11025", {0xFF, 0xE3, 0x20, 0xC0}, 104, 3, 3, 1},
      {"MPEG-2 Layer II 160k 16000", {0xFF, 0xF5, 0xE8, 0x00}, 1440, 2, 2, 2},
      {"free format", {0xFF, 0xFB, 0x00, 0x64}, 0, 1, 3, 2},
  };
  for (const auto& v : valid) {
    const auto h = ParseMpegFrameHeader(v.b);
    ASSERT_TRUE(h) << v.name;
    EXPECT_EQ(h->frameBytes, v.frameBytes) << v.name;
    EXPECT_EQ(std::vector<int>({h->version, h->layer, h->channels}), std::vector<int>({v.version, v.layer, v.channels}))
        << v.name;
  }
  const struct {
    const char* name;
    uint8_t b[4];
  } refused[] = {
      {"no sync", {0xFF, 0x7B, 0x90, 0x64}},         {"reserved version", {0xFF, 0xEB, 0x90, 0x64}},
      {"reserved layer", {0xFF, 0xF9, 0x90, 0x64}},  {"forbidden bit rate", {0xFF, 0xFB, 0xF0, 0x64}},
      {"reserved rate", {0xFF, 0xFB, 0x9C, 0x64}},   {"reserved emphasis", {0xFF, 0xFB, 0x90, 0x66}},
  };
  for (const auto& r : refused) EXPECT_FALSE(ParseMpegFrameHeader(r.b)) << r.name;
}

// Catches a lone header or a short run of frames inside other data taken for the start of
// the audio, a chain that must be longer than the file holds, and an answer that depends
// on how the input was cut into pieces.
TEST(MpegSyncSearch, OnlyAChainOfFramesStartsTheAudio) {
  const Bytes junk = Junk(5000);
  for (int frames = 1; frames <= 5; ++frames) {
    const SearchResult inside = SearchAnyPieces(Join({junk, Frames(frames), Junk(3000, 9)}));
    const bool long_enough = frames >= MpegSyncSearch::kChainFrames;
    EXPECT_EQ(inside.state, long_enough ? MpegSyncSearch::State::Found : MpegSyncSearch::State::NotFound) << frames;
    if (long_enough) {
      EXPECT_EQ(inside.start, junk.size()) << frames;
    }
    // At the end of the input (a short file, maybe cut in its last frame) two are enough.
    for (const size_t cut : {size_t(0), size_t(200)}) {
      Bytes atEnd = Join({junk, Frames(frames)});
      atEnd.resize(atEnd.size() - cut);
      const SearchResult r = SearchAnyPieces(atEnd);
      EXPECT_EQ(r.state, frames >= 2 ? MpegSyncSearch::State::Found : MpegSyncSearch::State::NotFound)
          << frames << " cut " << cut;
    }
  }
  // Two frames followed by an ID3v1 tag are a file too; by other data they are not.
  const Bytes tag = Join({Bytes{'T', 'A', 'G'}, Bytes(125, ' ')});
  EXPECT_EQ(SearchAnyPieces(Join({junk, Frames(2), tag})).state, MpegSyncSearch::State::Found);
  EXPECT_EQ(SearchAnyPieces(Join({junk, Frames(2), Junk(128, 3)})).state, MpegSyncSearch::State::NotFound);
}

// Catches a short chain of another stream (other rate, or mono) that runs into the real
// stream being taken for its start: the first frame is the first of a chain of one stream.
TEST(MpegSyncSearch, FramesOfAnotherStreamDoNotJoinTheChain) {
  Bytes other;
  for (int i = 0; i < 2; ++i) {
    const uint8_t mono[4] = {0xFF, 0xFB, 0x90, 0xC4};  // the same, single channel
    other.insert(other.end(), mono, mono + 4);
    other.resize(other.size() + 413, 0);
  }
  const Bytes input = Join({Junk(1000), other, Frames(6)});
  const SearchResult r = SearchAnyPieces(input);
  ASSERT_EQ(r.state, MpegSyncSearch::State::Found);
  EXPECT_EQ(r.start, 1000u + other.size());
}

// Catches free-format streams (no size in the header) refused, or a single free-format
// header followed by anything taken for a stream.
TEST(MpegSyncSearch, FreeFormatFramesAreSizedByTheirDistance) {
  Bytes frames;
  for (int i = 0; i < 5; ++i) {
    const bool padded = i == 2;
    const uint8_t header[4] = {0xFF, 0xFB, uint8_t(padded ? 0x02 : 0x00), 0x64};
    frames.insert(frames.end(), header, header + 4);
    frames.resize(frames.size() + (padded ? 1303 : 1302), 0);
  }
  const SearchResult r = SearchAnyPieces(Join({Junk(777), frames}));
  ASSERT_EQ(r.state, MpegSyncSearch::State::Found);
  EXPECT_EQ(r.start, 777u);
  Bytes lone = Join({Junk(777), Bytes{0xFF, 0xFB, 0x00, 0x64}, Junk(6000, 5)});
  EXPECT_EQ(SearchAnyPieces(lone).state, MpegSyncSearch::State::NotFound);
  // Two free-format headers at the end of the input (or before a tag) are no short file:
  // the second was found by searching, so nothing has confirmed the first yet. The end of
  // an MP4 file named .mp3 is such a pair now and then. Three are a file.
  for (int count = 2; count <= 3; ++count) {
    const Bytes some(frames.begin(), frames.begin() + std::ptrdiff_t(count * 1306 + (count > 2 ? 1 : 0)));
    const Bytes tag = Join({Bytes{'T', 'A', 'G'}, Bytes(125, ' ')});
    const MpegSyncSearch::State expected = count == 3 ? MpegSyncSearch::State::Found : MpegSyncSearch::State::NotFound;
    EXPECT_EQ(SearchAnyPieces(Join({Junk(777), some})).state, expected) << count;
    EXPECT_EQ(SearchAnyPieces(Join({Junk(777), some, tag})).state, expected) << count;
  }
}

// Catches an ID3v2 tag searched for frames (its pictures hold any bytes, a chain of frames
// included) instead of stepped over by its size, with and without a footer, two in a row.
TEST(MpegSyncSearch, Id3v2TagsAtTheStartAreSteppedOver) {
  auto tag = [](uint32_t body, bool footer) {
    Bytes t = {'I', 'D', '3', 4, 0, uint8_t(footer ? 0x10 : 0), uint8_t((body >> 21) & 0x7F),
               uint8_t((body >> 14) & 0x7F), uint8_t((body >> 7) & 0x7F), uint8_t(body & 0x7F)};
    Bytes content = Join({Junk(100), Frames(5)});
    content.resize(body, 0);
    t.insert(t.end(), content.begin(), content.end());
    if (footer) t.insert(t.end(), {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 0});
    return t;
  };
  const Bytes first = tag(300000, false), second = tag(5000, true);
  const SearchResult r = SearchAnyPieces(Join({first, second, Frames(8)}));
  ASSERT_EQ(r.state, MpegSyncSearch::State::Found);
  EXPECT_EQ(r.start, first.size() + second.size());
}

// Catches a random input ever taken for MPEG audio, and a search that stops early: 8 MB
// of random bytes (every byte value, sync words included) hold no stream.
TEST(MpegSyncSearch, RandomBytesHoldNoStream) {
  Bytes random(8 << 20);
  uint64_t seed = 0x9E3779B97F4A7C15ull;
  for (auto& b : random) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    b = uint8_t(seed);
  }
  EXPECT_EQ(SearchIn(random, 65536).state, MpegSyncSearch::State::NotFound);
}
