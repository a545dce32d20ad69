// Tests of the WAV header writer and both reader entry points.
#include "common/wav_header.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/unique_fd.h"
#include "tests/common/temp_dir.h"

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void PutLe(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A header built by hand: RIFF, WAVE, a fmt chunk of fmtBytes, optional chunk bytes, then
// "data" with its declared size and the samples.
std::vector<uint8_t> MakeWav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t fmtBytes,
                             const std::vector<uint8_t>& between, const std::vector<uint8_t>& samples,
                             uint32_t declaredData) {
  std::vector<uint8_t> b(20 + fmtBytes, 0);
  std::memcpy(b.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
  PutLe(b, 16, fmtBytes, 4);
  PutLe(b, 20, tag, 2);
  PutLe(b, 22, channels, 2);
  PutLe(b, 24, rate, 4);
  PutLe(b, 28, rate * channels * bits / 8, 4);
  PutLe(b, 32, channels * bits / 8, 2);
  PutLe(b, 34, bits, 2);
  b.insert(b.end(), between.begin(), between.end());
  b.insert(b.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
  PutLe(b, b.size() - 4, declaredData, 4);
  b.insert(b.end(), samples.begin(), samples.end());
  PutLe(b, 4, static_cast<uint32_t>(b.size() - 8), 4);
  return b;
}

std::vector<uint8_t> ListChunk(uint32_t payload) {
  std::vector<uint8_t> c(8 + payload, 'x');
  std::memcpy(c.data(), "LIST", 4);
  PutLe(c, 4, payload, 4);
  return c;
}

UniqueFd Open(const std::string& path, int flags = O_RDONLY) { return UniqueFd(::open(path.c_str(), flags, 0644)); }

off_t Position(const UniqueFd& fd) { return ::lseek(fd.Get(), 0, SEEK_CUR); }

}  // namespace

// Catches wrong derived fields (RIFF size, byte rate, block align, channels) and a rewrite
// that moves the samples or leaves a stale size: provisional header, samples, final header
// must give exactly the hand-built file, stereo and mono, and it must read back.
TEST(WavHeader, ProvisionalHeaderRewrittenByteForByte) {
  std::vector<uint8_t> samples(4000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
  for (const bool mono : {false, true}) {
    const uint32_t rate = mono ? 22050 : 44100;
    TempDir dir;
    const std::string path = dir.File("r.wav");
    {
      UniqueFd f = Open(path, O_RDWR | O_CREAT | O_TRUNC);
      ASSERT_EQ(WriteWavHeader(f.Get(), mono, rate, 0), kWavWriteOk);
      ASSERT_EQ(::write(f.Get(), samples.data(), samples.size()), static_cast<ssize_t>(samples.size()));
      ASSERT_EQ(WriteWavHeader(f.Get(), mono, rate, 4000), kWavWriteOk);
      EXPECT_EQ(Position(f), 44);
    }
    EXPECT_EQ(ReadBytes(path), MakeWav(1, mono ? 1 : 2, rate, 16, 16, {}, samples, 4000)) << mono;
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
    EXPECT_EQ(info.channels, mono ? 1 : 2);
    EXPECT_EQ(info.sampleRate, rate);
    EXPECT_EQ(info.dataOffset, 44u);
  }
}

// Catches a RIFF size that wraps to a tiny number for data near 4 GiB.
TEST(WavHeader, HugeDataSizeSaturatesRiffSize) {
  TempDir dir;
  const std::string path = dir.File("h.wav");
  ASSERT_EQ(WriteWavHeader(Open(path, O_RDWR | O_CREAT).Get(), false, 44100, 0xFFFFFFF0u), kWavWriteOk);
  const auto b = ReadBytes(path);
  EXPECT_EQ(U32At(b, 4), 0xFFFFFFFFu);
  EXPECT_EQ(U32At(b, 40), 0xFFFFFFF0u);
}

// Catches write failures reported as success: an unseekable handle, a read-only handle and
// a full disk (a 20-byte file size limit stops the header part way) each give their code.
TEST(WavHeader, WriteFailuresAreReported) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  UniqueFd readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
  EXPECT_EQ(WriteWavHeader(writeEnd.Get(), false, 44100, 0), kWavWriteSeekFailed);
  TempDir dir;
  WriteText(dir.File("ro.wav"), "");
  EXPECT_EQ(WriteWavHeader(Open(dir.File("ro.wav")).Get(), false, 44100, 0), kWavWriteFirstFailed);
  EXPECT_TRUE(PassesWithFileSizeLimit(20, [&] {
    return WriteWavHeader(Open(dir.File("full.wav"), O_RDWR | O_CREAT).Get(), false, 44100, 0) ==
           kWavWriteSecondFailed;
  })) << "a header cut short by a full disk was not reported";
}

// Catches a reader that accepts broken headers or gives the wrong code for one form.
TEST(WavHeader, EachBrokenHeaderGivesItsCode) {
  const std::vector<uint8_t> samples(64, 0x11);
  const auto good = MakeWav(1, 2, 44100, 16, 16, {}, samples, 64);
  auto with = [&](size_t at, const char* id) {
    auto b = good;
    std::memcpy(b.data() + at, id, 4);
    return b;
  };
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int pathResult, fdResult;
  } cases[] = {
      {"canonical", good, kWavReadOk, kWavReadOk},
      {"not RIFF", with(0, "RIFX"), kWavReadNotRiff, kWavReadNotRiff},
      {"not WAVE", with(8, "AVI "), kWavReadNotWave, kWavReadNotWave},
      {"no fmt", with(12, "junk"), kWavReadNoFmtChunk, kWavReadNoFmtChunk},
      // Truncated: the path form needs 8 and then 28 bytes whole; the open-file form sees
      // zeros past the end and fails at the next check.
      {"empty", {}, kWavReadNoStart, kWavReadNotRiff},
      {"5 bytes", {'R', 'I', 'F', 'F', 0}, kWavReadNoStart, kWavReadNotWave},
      {"20 bytes", {good.begin(), good.begin() + 20}, kWavReadNoFormat, kWavReadNoData},
      {"no data id", {good.begin(), good.begin() + 36}, kWavReadNoData, kWavReadNoData},
      // "data" id starting at byte 1060 lies beyond the 1024-byte scan.
      {"data beyond the scan", MakeWav(1, 2, 44100, 16, 16, ListChunk(1016), samples, 64), kWavReadNoData,
       kWavReadNoData},
  };
  TempDir dir;
  const std::string path = dir.File("c.wav");
  for (const auto& c : cases) {
    WriteBytes(path, c.bytes);
    WavFormatInfo info;
    EXPECT_EQ(ReadWavHeaderFromPath(path.c_str(), info), c.pathResult) << c.name;
    EXPECT_EQ(ReadWavHeader(Open(path).Get(), info), c.fdResult) << c.name;
  }
}

// Catches missing files and unseekable or unreadable handles reported as format errors, and
// a named pipe with no writer that hangs instead of failing at once.
TEST(WavHeader, UnopenableUnseekableAndUnreadableGiveTheirCodes) {
  WavFormatInfo info;
  EXPECT_EQ(ReadWavHeaderFromPath("/nonexistent/zb.wav", info), kWavReadOpenFailed);
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  UniqueFd readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
  EXPECT_EQ(ReadWavHeader(readEnd.Get(), info), kWavReadOpenFailed);
  EXPECT_EQ(ReadWavHeader(Open("/tmp").Get(), info), kWavReadNoStart);
  EXPECT_EQ(ReadWavHeaderFromPath("/tmp", info), kWavReadNoStart);
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  EXPECT_EQ(ReadWavHeaderFromPath(dir.File("pipe").c_str(), info), kWavReadNoStart);
}

// Catches a reader that walks chunk sizes or stops at the fmt size (an 18-byte fmt, a LIST
// chunk, the last scan position that can still hold the id), and a first-sample position
// past the end of the file when "data" ends the file without its size field.
TEST(WavHeader, OddChunksBeforeDataAreSkipped) {
  const std::vector<uint8_t> samples = {1, 2, 3, 4, 5, 6, 7, 8};
  auto cut = MakeWav(1, 2, 44100, 16, 16, {}, {}, 0);
  ASSERT_GE(cut.size(), 4u);
  cut.erase(cut.end() - 4, cut.end());
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t dataOffset;
  } variants[] = {
      {"fmt of 18 bytes", MakeWav(1, 2, 44100, 16, 18, {}, samples, 8), 38 + 8},
      {"LIST chunk", MakeWav(1, 2, 48000, 16, 16, ListChunk(100), samples, 8), 36 + 108 + 8},
      {"id at the scan's end", MakeWav(1, 2, 44100, 16, 16, ListChunk(1012), samples, 8), 36 + 1020 + 8},
      {"id at the very end", cut, static_cast<uint32_t>(cut.size())},
  };
  for (const auto& v : variants) {
    TempDir dir;
    const std::string path = dir.File("x.wav");
    WriteBytes(path, v.bytes);
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk) << v.name;
    EXPECT_EQ(info.dataOffset, v.dataOffset) << v.name;
    UniqueFd f = Open(path);
    ASSERT_EQ(ReadWavHeader(f.Get(), info), kWavReadOk) << v.name;
    EXPECT_EQ(Position(f), static_cast<off_t>(v.dataOffset)) << v.name;
  }
}

// Catches a reader that judges the format: 8-bit, float and 6-channel headers are reported
// as they are, for the consumer to decide; a data size larger than the file does not matter.
TEST(WavHeader, ReaderReportsFormatsItDoesNotJudge) {
  const struct {
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits;
  } variants[] = {{1, 1, 8000, 8}, {3, 2, 96000, 32}, {1, 6, 48000, 24}};
  TempDir dir;
  const std::string path = dir.File("f.wav");
  for (const auto& v : variants) {
    WriteBytes(path, MakeWav(v.tag, v.channels, v.rate, v.bits, 16, {}, std::vector<uint8_t>(12, 0), 0x7FFFFFFF));
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
    EXPECT_EQ(std::vector<uint32_t>({info.formatTag, info.channels, info.sampleRate, info.bitsPerSample}),
              std::vector<uint32_t>({v.tag, v.channels, v.rate, v.bits}));
  }
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
    const int byFd = ReadWavHeader(Open(path).Get(), info);
    EXPECT_TRUE(byPath <= 0 && byPath >= -7 && byFd <= 0 && byFd >= -7);
    if (byFd == kWavReadOk) {
      EXPECT_LE(info.dataOffset, bytes.size());
    }
  }
}

namespace {

uint64_t U64At(const std::vector<uint8_t>& b, size_t at) { return U32At(b, at) | uint64_t(U32At(b, at + 4)) << 32; }

// The output of a command, through the shell.
std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    ::pclose(pipe);
  }
  return out;
}

// A file of an 80-byte header and dataBytes of audio, sparse: only the header takes disk
// space, so sizes past 4 GiB cost nothing.
void WriteSparseWav64(const std::string& path, bool mono, uint32_t rate, uint64_t dataBytes) {
  UniqueFd f(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644));
  ASSERT_TRUE(f);
  ASSERT_EQ(::ftruncate(f.Get(), static_cast<off_t>(kWavHeader64Bytes + dataBytes)), 0);
  ASSERT_EQ(WriteWavHeader64(f.Get(), mono, rate, dataBytes), kWavWriteOk);
  EXPECT_EQ(Position(f), kWavHeader64Bytes);
}

}  // namespace

// Catches a header with room for 64-bit sizes that is not a plain RIFF file while the sizes
// fit: the reservation must be a JUNK chunk of zeros that readers step over, with the same
// fmt and data fields the canonical header has.
TEST(WavHeader64, SmallFileIsRiffWithAJunkReservation) {
  TempDir dir;
  const std::string path = dir.File("s.wav");
  std::vector<uint8_t> samples(4000, 0x5A);
  {
    UniqueFd f = Open(path, O_RDWR | O_CREAT | O_TRUNC);
    ASSERT_EQ(WriteWavHeader64(f.Get(), /*mono=*/true, 22050, 0), kWavWriteOk);
    ASSERT_EQ(::write(f.Get(), samples.data(), samples.size()), static_cast<ssize_t>(samples.size()));
    ASSERT_EQ(WriteWavHeader64(f.Get(), /*mono=*/true, 22050, samples.size()), kWavWriteOk);
    EXPECT_EQ(Position(f), 80);
  }
  const auto b = ReadBytes(path);
  ASSERT_EQ(b.size(), 80u + samples.size());
  EXPECT_EQ(std::string(b.begin(), b.begin() + 16), std::string("RIFF\xE8\x0F\0\0WAVEJUNK", 16));
  EXPECT_EQ(U32At(b, 16), 28u);
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 20, b.begin() + 48), std::vector<uint8_t>(28, 0));
  // From "fmt " on, the bytes of the canonical header for the same audio.
  const auto canonical = MakeWav(1, 1, 22050, 16, 16, {}, samples, 4000);
  EXPECT_TRUE(std::equal(b.begin() + 48, b.end(), canonical.begin() + 12));
  WavFormatInfo info;
  ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.sampleRate, 22050u);
  EXPECT_EQ(info.dataOffset, 80u);
  EXPECT_EQ(info.dataBytes, 4000u);
  EXPECT_EQ(Capture("ffprobe -v error -show_entries stream=sample_rate,channels,duration -of csv=p=0 '" + path + "'"),
            "22050,1,0.090703\n");
}

// Catches RIFF and data sizes that wrap or saturate past 4 GiB instead of an RF64 file, a
// switch to RF64 one byte too early or too late, and a reader that cannot take back the
// 64-bit data size: sparse files on both sides of the limit, read by the project's reader
// and by ffprobe.
TEST(WavHeader64, DataPastTheRiffLimitMakesAnRf64File) {
  TempDir dir;
  const uint64_t lastRiff = 0xFFFFFFFFull - 72;  // the RIFF size field is data + 72
  const uint64_t eightHours = 8ull * 3600 * 44100 * 4;
  for (const uint64_t dataBytes : {lastRiff, lastRiff + 1, eightHours}) {
    const std::string path = dir.File("b.wav");
    WriteSparseWav64(path, false, 44100, dataBytes);
    const bool rf64 = dataBytes > lastRiff;
    UniqueFd f = Open(path);
    std::vector<uint8_t> b(80);
    ASSERT_EQ(::read(f.Get(), b.data(), b.size()), 80);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), rf64 ? "RF64" : "RIFF") << dataBytes;
    EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), rf64 ? "ds64" : "JUNK") << dataBytes;
    EXPECT_EQ(U32At(b, 4), rf64 ? 0xFFFFFFFFu : uint32_t(dataBytes + 72));
    EXPECT_EQ(U32At(b, 76), rf64 ? 0xFFFFFFFFu : uint32_t(dataBytes));
    if (rf64) {
      EXPECT_EQ(U64At(b, 20), dataBytes + 72);
      EXPECT_EQ(U64At(b, 28), dataBytes);
      EXPECT_EQ(U64At(b, 36), dataBytes / 4) << "sample frames";
      EXPECT_EQ(U32At(b, 44), 0u) << "no size table";
    }
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeader(f.Get(), info), kWavReadOk) << dataBytes;
    EXPECT_EQ(Position(f), 80);
    EXPECT_EQ(info.dataBytes, dataBytes);
    ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
    EXPECT_EQ(info.dataOffset, 80u);
    EXPECT_EQ(info.dataBytes, dataBytes);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.formatTag, 1);
  }
  EXPECT_EQ(Capture("ffprobe -v error -show_entries stream=duration -of csv=p=0 '" + dir.File("b.wav") + "'"),
            "28800.000000\n");
}

// Catches a reader that refuses the 64-bit forms other programs write, or that takes the
// audio length from the 32-bit fields: ffmpeg's RF64 file (ds64 before fmt, a data size
// field of 0xFFFFFFFF) and its file with a JUNK reservation, each with a LIST chunk too.
TEST(WavHeader64, ReadsTheFormsFfmpegWrites) {
  TempDir dir;
  for (const char* mode : {"always", "auto"}) {
    const std::string path = dir.File(std::string(mode) + ".wav");
    Capture("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=32000:duration=0.5 -ac 2 "
            "-metadata title=tail -rf64 " + std::string(mode) + " '" + path + "' 2>&1");
    const auto b = ReadBytes(path);
    ASSERT_GT(b.size(), 64000u) << mode;
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), std::string(mode) == "always" ? "RF64" : "RIFF");
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk) << mode;
    EXPECT_EQ(info.sampleRate, 32000u);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.dataBytes, 16000u * 4) << mode;
    EXPECT_EQ(std::string(b.begin() + info.dataOffset - 8, b.begin() + info.dataOffset - 4), "data") << mode;
  }
}

// Catches a reader that treats a declared data size as the audio whatever the file holds,
// or the reverse: the declared size wins when the file holds it, the rest of the file when
// the size is 0, 0xFFFFFFFF (never rewritten) or too large, and an RF64 file whose ds64
// chunk is too short to hold the data size cannot give one.
TEST(WavHeader64, AudioBytesFollowTheDeclaredSizeWithinTheFile) {
  const std::vector<uint8_t> samples(400, 0x22);
  const struct {
    uint32_t declared;
    uint64_t want;
  } cases[] = {{100, 100}, {400, 400}, {0, 400}, {0xFFFFFFFFu, 400}, {401, 400}};
  TempDir dir;
  const std::string path = dir.File("d.wav");
  for (const auto& c : cases) {
    auto bytes = MakeWav(1, 2, 44100, 16, 16, {}, samples, c.declared);
    // A chunk behind the audio, which the declared size leaves out.
    if (c.declared != 0 && c.declared <= 400) bytes.insert(bytes.end(), {'L', 'I', 'S', 'T', 0, 0, 0, 0});
    WriteBytes(path, bytes);
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
    EXPECT_EQ(info.dataBytes, c.want) << c.declared;
  }
  // A ds64 chunk of 8 bytes (RIFF size only) before fmt: stepped over, no 64-bit data size.
  std::vector<uint8_t> shortDs64 = {'d', 's', '6', '4', 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  auto bytes = MakeWav(1, 2, 44100, 16, 16, {}, samples, 0xFFFFFFFFu);
  bytes.insert(bytes.begin() + 12, shortDs64.begin(), shortDs64.end());
  std::memcpy(bytes.data(), "RF64", 4);
  WriteBytes(path, bytes);
  WavFormatInfo info;
  ASSERT_EQ(ReadWavHeaderFromPath(path.c_str(), info), kWavReadOk);
  EXPECT_EQ(info.dataOffset, 36u + 16u + 8u);
  EXPECT_EQ(info.dataBytes, 400u);
}

// Catches a reader that steps over any chunk before fmt (a lower-case "junk" stays an
// error, as it always was), or over a reservation too large to be one, or that reads past
// a file cut inside the chunk it steps over.
TEST(WavHeader64, OnlyAReservationMayStandBeforeFmt) {
  const std::vector<uint8_t> samples(64, 0x11);
  auto withLeading = [&](const char* id, uint32_t size) {
    auto b = MakeWav(1, 2, 44100, 16, 16, {}, samples, 64);
    std::vector<uint8_t> chunk(8 + size + (size & 1), 0);
    std::memcpy(chunk.data(), id, 4);
    PutLe(chunk, 4, size, 4);
    b.insert(b.begin() + 12, chunk.begin(), chunk.end());
    return b;
  };
  auto cutJunk = withLeading("JUNK", 28);
  cutJunk.resize(40);
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int result;
    uint32_t dataOffset;
  } cases[] = {
      {"JUNK of 28", withLeading("JUNK", 28), kWavReadOk, 80},
      {"JUNK of odd size", withLeading("JUNK", 5), kWavReadOk, 44 + 14},
      {"junk", withLeading("junk", 28), kWavReadNoFmtChunk, 0},
      {"LIST", withLeading("LIST", 28), kWavReadNoFmtChunk, 0},
      {"huge JUNK", withLeading("JUNK", 70000), kWavReadNoFmtChunk, 0},
      {"cut in JUNK", cutJunk, kWavReadNoFormat, 0},
  };
  TempDir dir;
  const std::string path = dir.File("j.wav");
  for (const auto& c : cases) {
    WriteBytes(path, c.bytes);
    WavFormatInfo info;
    EXPECT_EQ(ReadWavHeaderFromPath(path.c_str(), info), c.result) << c.name;
    if (c.result != kWavReadOk) continue;
    EXPECT_EQ(info.dataOffset, c.dataOffset) << c.name;
    EXPECT_EQ(info.dataBytes, 64u) << c.name;
    UniqueFd f = Open(path);
    ASSERT_EQ(ReadWavHeader(f.Get(), info), kWavReadOk) << c.name;
    EXPECT_EQ(Position(f), static_cast<off_t>(c.dataOffset)) << c.name;
  }
}
