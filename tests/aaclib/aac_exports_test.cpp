// Tests of libzbaaclib.so through its C exports, loaded by name like the programs
// load it, and of the zbaacdec tool built on it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "aaclib/aac_decoder.h"
#include "aaclib/zbaaclib.h"
#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/adts_convert.h"

namespace zbaac {
namespace {

// The library loaded by name like the programs load it, with its five entries.
struct Library {
  void* handle = dlopen(ZIMBAR_BIN_DIR "/libzbaaclib.so", RTLD_NOW | RTLD_LOCAL);
  template <typename Fn>
  Fn Entry(const char* name) const { return handle ? reinterpret_cast<Fn>(dlsym(handle, name)) : nullptr; }
  AACDecoder_OpenFn open = Entry<AACDecoder_OpenFn>("AACDecoder_Open");
  AACDecoder_DecodeFn decode = Entry<AACDecoder_DecodeFn>("AACDecoder_Decode");
  AACDecoder_CloseFn close = Entry<AACDecoder_CloseFn>("AACDecoder_Close");
  AACDecoder_VersionFn version = Entry<AACDecoder_VersionFn>("AACDecoder_Version");
  AACDecoder_ReportFn report = Entry<AACDecoder_ReportFn>("AACDecoder_Report");
  ~Library() {
    if (handle != nullptr) dlclose(handle);
  }
  bool Loaded() const { return open && decode && close && version && report; }
};

std::string Stream(int rate, int channels = 2, int kbps = 128) {
  test::StreamSpec spec;
  spec.sampleRate = rate;
  spec.channels = channels;
  spec.bitRateKbps = kbps;
  spec.seconds = 1.5;
  std::string error;
  std::string path = test::MakeAdtsStream(spec, &error);
  EXPECT_FALSE(path.empty()) << error;
  return path;
}

std::string TempPath(const std::string& tag) {
  return test::TestCacheDir() + "/exports_" + tag + "_" + std::to_string(::getpid());
}

// Catches a library that leaks its internals or misses an entry: the five entries are
// there, the C++ decoder core is not visible, the records keep their layouts.
TEST(ExportsTest, ExportsTheFiveEntriesOnly) {
  Library lib;
  ASSERT_TRUE(lib.Loaded()) << dlerror();
  EXPECT_EQ(lib.Entry<void*>("_ZN5zbaac10AacDecoder6DecodeEPs"), nullptr);
  EXPECT_EQ(sizeof(AacStreamInfo), 8u);
  EXPECT_EQ(sizeof(AacDecodeReport), 88u);
  EXPECT_EQ(offsetof(AacDecodeReport, verdict), 72u);
}

// Catches a report that callers cannot rely on: before any Open it says the decode is
// running; once Decode has returned 0 it carries the counts and the verdict; a caller with
// a shorter record gets only what fits; a null record still gives the verdict; Close keeps
// it until the next Open; a missing file and a folder are inputs that cannot be read.
TEST(ExportsTest, ReportGivesTheVerdict) {
  Library lib;
  ASSERT_TRUE(lib.Loaded());
  AacDecodeReport report{};
  EXPECT_EQ(lib.report(&report, sizeof report), ZBAAC_VERDICT_RUNNING);
  const std::string path = Stream(44100);
  AacStreamInfo info{};
  lib.open(&info, path.c_str());
  std::vector<std::int16_t> out(ZBAAC_OUTPUT_SAMPLES);
  EXPECT_EQ(lib.report(nullptr, 0), ZBAAC_VERDICT_RUNNING);
  int blocks = 0;
  while (lib.decode(out.data()) != 0) ++blocks;
  EXPECT_EQ(lib.report(&report, sizeof report), ZBAAC_VERDICT_OK);
  EXPECT_EQ(report.verdict, ZBAAC_VERDICT_OK);
  EXPECT_EQ(report.form, static_cast<uint32_t>(ZBAAC_FORM_ADTS));
  EXPECT_EQ(report.blocksDecoded, static_cast<uint64_t>(blocks));
  EXPECT_EQ(report.inputBytes, test::ReadFileBytes(path).size());
  EXPECT_EQ(report.framesSkipped + report.bytesSkipped + report.bytesUnread + report.lostPerMille, 0u);
  lib.close();
  AacDecodeReport shorter;
  std::memset(&shorter, 0xA5, sizeof shorter);
  EXPECT_EQ(lib.report(&shorter, 16), ZBAAC_VERDICT_OK);
  EXPECT_EQ(shorter.inputBytes, report.inputBytes);
  EXPECT_EQ(shorter.blocksDecoded, report.blocksDecoded);
  EXPECT_EQ(shorter.blocksEmpty, 0xA5A5A5A5A5A5A5A5u);

  lib.open(&info, "/no/such/dir/x.aac");
  EXPECT_EQ(lib.decode(out.data()), 0);
  EXPECT_EQ(lib.report(&report, sizeof report), ZBAAC_VERDICT_CANNOT_READ);
  EXPECT_EQ(report.errorNumber, ENOENT);
  lib.open(&info, test::TestCacheDir().c_str());
  EXPECT_EQ(lib.decode(out.data()), 0);
  EXPECT_EQ(lib.report(&report, sizeof report), ZBAAC_VERDICT_CANNOT_READ);
  EXPECT_EQ(report.errorNumber, EISDIR);
  lib.close();
}

// Catches a wrong stream record: an ADTS stream reports its own rate and the bit rate of
// its frames, always two channels.
TEST(ExportsTest, OpenFillsRecordFromAdtsHeader) {
  Library lib;
  ASSERT_TRUE(lib.Loaded());
  const std::string path = Stream(48000, 1, 96);
  AacStreamInfo info{};
  EXPECT_EQ(lib.open(&info, path.c_str()), 0);
  EXPECT_EQ(info.sampleRate, 48000);
  EXPECT_EQ(info.channelMode, 0);
  EXPECT_GT(info.bitRate, 96000u * 6 / 10);
  EXPECT_LT(info.bitRate, 96000u * 14 / 10);
  EXPECT_EQ(lib.close(), 0);
}

// Catches a rate stored wider than its field and raw streams that claim what they cannot
// know: ADIF at 96 kHz reports 30464, a raw stream the defaults.
TEST(ExportsTest, AdifRateKeepsLowSixteenBitsAndRawGivesDefaults) {
  Library lib;
  ASSERT_TRUE(lib.Loaded());
  const std::vector<std::uint8_t> adts = test::ReadFileBytes(Stream(96000));
  auto adif = test::AdtsToAdif(adts);
  auto raw = test::AdtsToRaw(adts);
  ASSERT_TRUE(adif.Ok() && raw.Ok());
  const std::string adifPath = TempPath("adif"), rawPath = TempPath("raw");
  ASSERT_TRUE(test::WriteFileBytes(adifPath, adif.Value()));
  ASSERT_TRUE(test::WriteFileBytes(rawPath, raw.Value()));
  AacStreamInfo info{};
  lib.open(&info, adifPath.c_str());
  EXPECT_EQ(info.sampleRate, 30464);
  EXPECT_EQ(info.channelMode, 0);
  std::vector<std::int16_t> out(ZBAAC_OUTPUT_SAMPLES);
  EXPECT_NE(lib.decode(out.data()), 0);
  lib.close();
  lib.open(&info, rawPath.c_str());
  EXPECT_EQ(info.sampleRate, 44100);
  EXPECT_EQ(info.channelMode, 0);
  EXPECT_EQ(info.bitRate, 128000u);
  lib.close();
  std::remove(adifPath.c_str());
  std::remove(rawPath.c_str());
}

// Catches a missing file treated as a stream, a crash or garbage on it: defaults, Decode
// 0 with the area untouched, Close 0 (twice); Version gives zeros and an empty text.
TEST(ExportsTest, MissingFileAndVersion) {
  Library lib;
  ASSERT_TRUE(lib.Loaded());
  AacStreamInfo info{1, 2, 3};
  EXPECT_EQ(lib.open(&info, "/no/such/dir/x.aac"), 0);
  EXPECT_EQ(info.sampleRate, 44100);
  EXPECT_EQ(info.channelMode, 0);
  EXPECT_EQ(info.bitRate, 128000u);
  std::vector<std::int16_t> out(ZBAAC_OUTPUT_SAMPLES, 33);
  EXPECT_EQ(lib.decode(out.data()), 0);
  EXPECT_EQ(out[0], 33);
  EXPECT_EQ(lib.close(), 0);
  EXPECT_EQ(lib.close(), 0);
  AacVersionInfo version;
  version.word0 = version.word1 = 7;
  version.text[0] = 'x';
  EXPECT_EQ(lib.version(&version), 0);
  EXPECT_EQ(version.word0, 0u);
  EXPECT_EQ(version.word1, 0u);
  EXPECT_EQ(version.text[0], '\0');
}

// Catches Decode or Close that misbehave after an error, and an Open that does not start
// afresh: a stream whose layout changes ends with the error; later Decodes return 0 at
// once and leave the area alone; Close returns 0; the next Open decodes again.
TEST(ExportsTest, DecodeAndCloseAfterError) {
  Library lib;
  ASSERT_TRUE(lib.Loaded());
  auto stereo = test::AdtsToRaw(test::ReadFileBytes(Stream(44100)));
  auto mono = test::AdtsToRaw(test::ReadFileBytes(Stream(44100, 1, 64)));
  ASSERT_TRUE(stereo.Ok() && mono.Ok());
  std::vector<std::uint8_t> joined = stereo.Value();
  joined.insert(joined.end(), mono.Value().begin(), mono.Value().end());
  const std::string path = TempPath("joined");
  ASSERT_TRUE(test::WriteFileBytes(path, joined));
  AacStreamInfo info{};
  lib.open(&info, path.c_str());
  std::vector<std::int16_t> out(ZBAAC_OUTPUT_SAMPLES);
  int blocks = 0;
  while (lib.decode(out.data()) != 0 && blocks < 10000) ++blocks;
  EXPECT_GT(blocks, 10);
  std::fill(out.begin(), out.end(), std::int16_t{-4});
  EXPECT_EQ(lib.decode(out.data()), 0);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t v) { return v == -4; }));
  EXPECT_EQ(lib.close(), 0);
  EXPECT_EQ(lib.close(), 0);
  lib.open(&info, Stream(44100).c_str());
  EXPECT_NE(lib.decode(out.data()), 0);
  lib.close();
  std::remove(path.c_str());
}

// Catches a tool that loses or reorders blocks: zbaacdec's WAV holds exactly what the
// decoder core gives, behind the 80-byte header of a file that may outgrow 4 GiB (a JUNK
// reservation before the fmt chunk at 48) with the stream's rate.
TEST(ZbaacdecTest, WritesDecodedSamplesAsWav) {
  const std::string in = Stream(48000, 1, 96);
  const std::string out = TempPath("tool") + ".wav";
  ASSERT_EQ(test::RunProgram({ZIMBAR_BIN_DIR "/zbaacdec", in, out}), 0);
  const std::vector<std::uint8_t> wav = test::ReadFileBytes(out);
  std::remove(out.c_str());
  AacDecoder decoder;
  decoder.Open(in);
  std::vector<std::uint8_t> expected;
  std::int16_t block[AacDecoder::kOutputSamples];
  while (decoder.Decode(block) != 0) {
    for (std::int16_t v : block) {
      expected.push_back(static_cast<std::uint8_t>(v & 0xFF));
      expected.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
  }
  ASSERT_EQ(wav.size(), expected.size() + 80);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wav.begin() + 80));
  EXPECT_EQ(std::string(wav.begin() + 12, wav.begin() + 16), "JUNK");
  EXPECT_EQ(wav[60] | (wav[61] << 8) | (wav[62] << 16), 48000);
  EXPECT_EQ(wav[58], 2);
}

// Catches a tool that leaves a WAV behind for input it could not read.
TEST(ZbaacdecTest, MissingInputFailsWithoutOutput) {
  const std::string out = TempPath("missing") + ".wav";
  EXPECT_NE(test::RunProgram({ZIMBAR_BIN_DIR "/zbaacdec", "/no/such/file.aac", out}), 0);
  EXPECT_EQ(std::fopen(out.c_str(), "rb"), nullptr);
}

}  // namespace
}  // namespace zbaac
