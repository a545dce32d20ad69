// Tests of the WAV header writer and both reader entry points.
#include "common/wav_header.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/unique_fd.h"
#include "tests/common/temp_dir.h"

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t U16At(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A header built by hand: RIFF, WAVE, a fmt chunk of fmtBytes, optional filler chunk
// bytes, then "data" with its size and the samples.
std::vector<uint8_t> MakeWav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t fmtBytes,
                             const std::vector<uint8_t>& between, const std::vector<uint8_t>& samples,
                             uint32_t declaredData) {
  std::vector<uint8_t> b(20 + fmtBytes, 0);
  std::memcpy(b.data(), "RIFF", 4);
  std::memcpy(b.data() + 8, "WAVE", 4);
  std::memcpy(b.data() + 12, "fmt ", 4);
  PutU32(b, 16, fmtBytes);
  PutU16(b, 20, tag);
  PutU16(b, 22, channels);
  PutU32(b, 24, rate);
  PutU32(b, 28, rate * channels * bits / 8);
  PutU16(b, 32, static_cast<uint16_t>(channels * bits / 8));
  PutU16(b, 34, bits);
  b.insert(b.end(), between.begin(), between.end());
  const size_t dataAt = b.size();
  b.resize(dataAt + 8);
  std::memcpy(b.data() + dataAt, "data", 4);
  PutU32(b, dataAt + 4, declaredData);
  b.insert(b.end(), samples.begin(), samples.end());
  PutU32(b, 4, static_cast<uint32_t>(b.size() - 8));
  return b;
}

std::vector<uint8_t> ListChunk(size_t payload) {
  std::vector<uint8_t> c(8 + payload, 'x');
  std::memcpy(c.data(), "LIST", 4);
  PutU32(c, 4, static_cast<uint32_t>(payload));
  return c;
}

struct Opened {
  UniqueFd fd;
  explicit Opened(const std::string& path, int flags = O_RDWR) : fd(::open(path.c_str(), flags)) {}
};

off_t Position(int fd) { return ::lseek(fd, 0, SEEK_CUR); }

}  // namespace

// Catches wrong derived fields (RIFF size, byte rate, block align) in the canonical header.
TEST(WavHeader, StereoHeaderHasCanonicalFields) {
  TempDir dir;
  const std::string path = dir.File("a.wav");
  Opened f(path, O_RDWR | O_CREAT | O_TRUNC);
  ASSERT_EQ(WriteWavHeader(f.fd.Get(), /*mono=*/false, 44100, 10584000), kWavWriteOk);
  EXPECT_EQ(Position(f.fd.Get()), 44);
  const auto b = ReadBytes(path);
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(U32At(b, 4), 10584036u);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(U32At(b, 16), 16u);
  EXPECT_EQ(U16At(b, 20), 1);
  EXPECT_EQ(U16At(b, 22), 2);
  EXPECT_EQ(U32At(b, 24), 44100u);
  EXPECT_EQ(U32At(b, 28), 176400u);
  EXPECT_EQ(U16At(b, 32), 4);
  EXPECT_EQ(U16At(b, 34), 16);
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  EXPECT_EQ(U32At(b, 40), 10584000u);
}

// Catches a mono header that still claims two channels or a stereo block align.
TEST(WavHeader, MonoHeaderHasOneChannel) {
  TempDir dir;
  const std::string path = dir.File("m.wav");
  Opened f(path, O_RDWR | O_CREAT | O_TRUNC);
  ASSERT_EQ(WriteWavHeader(f.fd.Get(), /*mono=*/true, 22050, 0), kWavWriteOk);
  const auto b = ReadBytes(path);
  EXPECT_EQ(U16At(b, 22), 1);
  EXPECT_EQ(U16At(b, 32), 2);
  EXPECT_EQ(U32At(b, 28), 44100u);
}

// Catches a rewrite that moves the samples or leaves a stale size: provisional header,
// samples, final header must give exactly the canonical file, and it must read back.
TEST(WavHeader, ProvisionalHeaderRewrittenByteForByte) {
  TempDir dir;
  const std::string path = dir.File("r.wav");
  std::vector<uint8_t> samples(4000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
  {
    Opened f(path, O_RDWR | O_CREAT | O_TRUNC);
    ASSERT_EQ(WriteWavHeader(f.fd.Get(), false, 44100, 0), kWavWriteOk);
    ASSERT_EQ(::write(f.fd.Get(), samples.data(), samples.size()), static_cast<ssize_t>(samples.size()));
    ASSERT_EQ(WriteWavHeader(f.fd.Get(), false, 44100, 4000), kWavWriteOk);
    EXPECT_EQ(Position(f.fd.Get()), 44);
  }
  const auto expected = MakeWav(1, 2, 44100, 16, 16, {}, samples, 4000);
  EXPECT_EQ(ReadBytes(path), expected);

  WavFormatInfo info;
  ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
  EXPECT_EQ(info.formatTag, 1);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(info.bitsPerSample, 16);
  EXPECT_EQ(info.dataOffset, 44u);
}

// Catches a RIFF size that wraps to a tiny number for data near 4 GiB.
TEST(WavHeader, HugeDataSizeSaturatesRiffSize) {
  TempDir dir;
  const std::string path = dir.File("h.wav");
  Opened f(path, O_RDWR | O_CREAT | O_TRUNC);
  ASSERT_EQ(WriteWavHeader(f.fd.Get(), false, 44100, 0xFFFFFFF0u), kWavWriteOk);
  const auto b = ReadBytes(path);
  EXPECT_EQ(U32At(b, 4), 0xFFFFFFFFu);
  EXPECT_EQ(U32At(b, 40), 0xFFFFFFF0u);
}

// Catches write failures reported as success: an unseekable handle, a read-only handle and
// a full disk (file size limit) each give their code.
TEST(WavHeader, WriteFailuresAreReported) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  UniqueFd readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
  EXPECT_EQ(WriteWavHeader(writeEnd.Get(), false, 44100, 0), kWavWriteSeekFailed);

  TempDir dir;
  const std::string path = dir.File("ro.wav");
  WriteText(path, "");
  Opened readOnly(path, O_RDONLY);
  EXPECT_EQ(WriteWavHeader(readOnly.fd.Get(), false, 44100, 0), kWavWriteFirstFailed);

  // A file size limit of 20 bytes lets the first 8 bytes through and stops the rest part
  // way, as a disk that fills up would.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{20, 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    UniqueFd fd(::open(dir.File("full.wav").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644));
    ::_exit(WriteWavHeader(fd.Get(), false, 44100, 0) == kWavWriteSecondFailed ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a header cut short by a full disk was not reported";
}

struct ReadCase {
  const char* name;
  std::vector<uint8_t> bytes;
  int pathResult;
  int fdResult;
};

class WavReadCodes : public ::testing::TestWithParam<int> {};

std::vector<ReadCase> ReadCases() {
  const std::vector<uint8_t> samples(64, 0x11);
  std::vector<ReadCase> cases;
  auto good = MakeWav(1, 2, 44100, 16, 16, {}, samples, 64);
  cases.push_back({"canonical", good, kWavReadOk, kWavReadOk});
  auto notRiff = good;
  std::memcpy(notRiff.data(), "RIFX", 4);
  cases.push_back({"not RIFF", notRiff, kWavReadNotRiff, kWavReadNotRiff});
  auto notWave = good;
  std::memcpy(notWave.data() + 8, "AVI ", 4);
  cases.push_back({"not WAVE", notWave, kWavReadNotWave, kWavReadNotWave});
  auto noFmt = good;
  std::memcpy(noFmt.data() + 12, "junk", 4);
  cases.push_back({"no fmt", noFmt, kWavReadNoFmtChunk, kWavReadNoFmtChunk});
  cases.push_back({"empty", {}, kWavReadNoStart, kWavReadNotRiff});
  // Too short for the ids: the path form needs 8 bytes whole, the open-file form sees
  // zeros where "WAVE" should be.
  cases.push_back({"5 bytes", {'R', 'I', 'F', 'F', 0}, kWavReadNoStart, kWavReadNotWave});
  // Shorter than 36 bytes: the path form needs the 28 bytes whole; the open-file form
  // passes the id checks and then finds no data chunk.
  cases.push_back({"20 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 20), kWavReadNoFormat, kWavReadNoData});
  cases.push_back({"header only, no data id", std::vector<uint8_t>(good.begin(), good.begin() + 36), kWavReadNoData, kWavReadNoData});
  // "data" id starting at byte 1060 lies beyond the 1024-byte scan.
  cases.push_back({"data beyond the scan", MakeWav(1, 2, 44100, 16, 16, ListChunk(1016), samples, 64), kWavReadNoData,
                   kWavReadNoData});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllCodes, WavReadCodes, ::testing::Range(0, 9));

// Catches a reader that accepts broken headers or gives the wrong code for one form.
TEST_P(WavReadCodes, EachBrokenHeaderGivesItsCode) {
  const ReadCase c = ReadCases()[static_cast<size_t>(GetParam())];
  TempDir dir;
  const std::string path = dir.File("c.wav");
  WriteBytes(path, c.bytes);
  WavFormatInfo info;
  EXPECT_EQ(ReadWavHeaderFromPath(path.c_str(), info), c.pathResult) << c.name;
  Opened f(path, O_RDONLY);
  EXPECT_EQ(ReadWavHeader(f.fd.Get(), info), c.fdResult) << c.name;
}

// Catches the missing-file and unseekable cases being reported as format errors.
TEST(WavHeader, UnopenableAndUnseekableGiveMinusOne) {
  WavFormatInfo info;
  EXPECT_EQ(ReadWavHeaderFromPath("/nonexistent/zb.wav", info), kWavReadOpenFailed);
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  UniqueFd readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
  EXPECT_EQ(ReadWavHeader(readEnd.Get(), info), kWavReadOpenFailed);
  // A folder opens but cannot be read: the first read call fails.
  Opened folder("/tmp", O_RDONLY);
  EXPECT_EQ(ReadWavHeader(folder.fd.Get(), info), kWavReadNoStart);
  EXPECT_EQ(ReadWavHeaderFromPath("/tmp", info), kWavReadNoStart);
  // A named pipe with no writer fails at once instead of hanging.
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  EXPECT_EQ(ReadWavHeaderFromPath(dir.File("pipe").c_str(), info), kWavReadNoStart);
}

// Catches a reader that walks chunk sizes or stops at the fmt size: an 18-byte fmt, a LIST
// chunk before the data, and the last scan position that can still hold the id.
TEST(WavHeader, ExtraChunksBeforeDataAreSkipped) {
  const std::vector<uint8_t> samples = {1, 2, 3, 4, 5, 6, 7, 8};
  struct Variant {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t dataOffset;
  };
  const std::vector<Variant> variants = {
      {"fmt of 18 bytes", MakeWav(1, 2, 44100, 16, 18, {}, samples, 8), 38 + 8},
      {"LIST chunk", MakeWav(1, 2, 48000, 16, 16, ListChunk(100), samples, 8), 36 + 108 + 8},
      // data id at 36 + 1020: the last position of the 1024-byte block.
      {"id at the scan's end", MakeWav(1, 2, 44100, 16, 16, ListChunk(1012), samples, 8), 36 + 1020 + 8},
  };
  for (const Variant& v : variants) {
    TempDir dir;
    const std::string path = dir.File("x.wav");
    WriteBytes(path, v.bytes);
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk) << v.name;
    EXPECT_EQ(info.dataOffset, v.dataOffset) << v.name;
    Opened f(path, O_RDONLY);
    ASSERT_EQ(ReadWavHeader(f.fd.Get(), info), kWavReadOk) << v.name;
    EXPECT_EQ(Position(f.fd.Get()), static_cast<off_t>(v.dataOffset)) << v.name;
    uint8_t first = 0;
    ASSERT_EQ(::read(f.fd.Get(), &first, 1), 1);
    EXPECT_EQ(first, 1) << v.name << ": not at the first sample";
  }
}

// Catches a first-sample position past the end of the file when the data id is in the
// file's last bytes: the audio length (file size - data offset) would go negative.
TEST(WavHeader, DataIdAtTheVeryEndGivesNoAudio) {
  TempDir dir;
  const std::string path = dir.File("cut.wav");
  auto bytes = MakeWav(1, 2, 44100, 16, 16, {}, {}, 0);
  bytes.resize(bytes.size() - 4);  // "data" without its size field
  WriteBytes(path, bytes);
  WavFormatInfo info;
  ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
  EXPECT_EQ(info.dataOffset, bytes.size());
  Opened f(path, O_RDONLY);
  ASSERT_EQ(ReadWavHeader(f.fd.Get(), info), kWavReadOk);
  EXPECT_EQ(Position(f.fd.Get()), static_cast<off_t>(bytes.size()));
}

// Catches a reader that judges the format: 8-bit, float and 6-channel headers are all
// reported as they are, leaving the decision to the consumer; a data size larger than the
// file does not matter either.
TEST(WavHeader, ReaderReportsFormatsItDoesNotJudge) {
  struct Variant {
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits;
  };
  for (const Variant v : {Variant{1, 1, 8000, 8}, Variant{3, 2, 96000, 32}, Variant{1, 6, 48000, 24}}) {
    TempDir dir;
    const std::string path = dir.File("f.wav");
    WriteBytes(path, MakeWav(v.tag, v.channels, v.rate, v.bits, 16, {}, std::vector<uint8_t>(12, 0), 0x7FFFFFFF));
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
    EXPECT_EQ(info.formatTag, v.tag);
    EXPECT_EQ(info.channels, v.channels);
    EXPECT_EQ(info.sampleRate, v.rate);
    EXPECT_EQ(info.bitsPerSample, v.bits);
  }
}

// Catches a header our writer makes that a reference tool would reject or misread.
TEST(WavHeader, ReferenceToolReadsWrittenFile) {
  if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox not installed";
  TempDir dir;
  const std::string path = dir.File("tone.wav");
  {
    Opened f(path, O_RDWR | O_CREAT | O_TRUNC);
    ASSERT_EQ(WriteWavHeader(f.fd.Get(), true, 22050, 0), kWavWriteOk);
    std::vector<int16_t> tone(22050);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>((i % 50) * 400 - 10000);
    ASSERT_EQ(::write(f.fd.Get(), tone.data(), tone.size() * 2), static_cast<ssize_t>(tone.size() * 2));
    ASSERT_EQ(WriteWavHeader(f.fd.Get(), true, 22050, static_cast<uint32_t>(tone.size() * 2)), kWavWriteOk);
  }
  const std::string out = dir.File("info.txt");
  ASSERT_EQ(std::system(("sox --i -s '" + path + "' > '" + out + "' 2>&1").c_str()), 0);
  EXPECT_EQ(std::stoul(ReadText(out)), 22050u);
  // And a sox-made file, with whatever chunks sox writes, is accepted by ours.
  const std::string made = dir.File("sox.wav");
  ASSERT_EQ(std::system(("sox -n -r 48000 -c 2 -b 16 '" + made + "' synth 0.1 sine 440 2>/dev/null").c_str()), 0);
  WavFormatInfo info;
  ASSERT_EQ(ReadWavHeaderFromPath(made.c_str(), info), kWavReadOk);
  EXPECT_EQ(info.sampleRate, 48000u);
  EXPECT_EQ(info.channels, 2);
}

// Catches out-of-bounds reads on damaged files (seen by the sanitizers): random headers,
// some with "RIFF....WAVEfmt " kept so the scan runs, must give a code and never crash.
TEST(WavHeader, RandomHeadersNeverCrash) {
  TempDir dir;
  const std::string path = dir.File("r.wav");
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> bytes(next() % 1200);
    for (auto& b : bytes) b = static_cast<uint8_t>(next() >> 24);
    if (round % 2 == 0 && bytes.size() >= 16) std::memcpy(bytes.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
    if (round % 4 == 0 && bytes.size() >= 40) std::memcpy(bytes.data() + bytes.size() - 4, "data", 4);
    WriteBytes(path, bytes);
    WavFormatInfo info;
    const int byPath = ReadWavHeaderFromPath(path.c_str(), info);
    Opened f(path, O_RDONLY);
    const int byFd = ReadWavHeader(f.fd.Get(), info);
    EXPECT_TRUE(byPath <= 0 && byPath >= -7);
    EXPECT_TRUE(byFd <= 0 && byFd >= -7);
    if (byFd == kWavReadOk) {
      EXPECT_LE(info.dataOffset, bytes.size());
    }
  }
}
