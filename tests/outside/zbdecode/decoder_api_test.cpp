// End-to-end tests of libzbdecode.so: MPEG audio made by lame and ffmpeg at test time,
// decoded through the exported functions as the maker does, compared with `mpg123 -w`.
#include "outside/zbdecode/zbdecode_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/outside/gogo/test_media.h"

using namespace test_media;

namespace {

struct DecodeResult {
  int32_t newResult = 0, openResult = 0, endResult = 0;
  std::vector<unsigned char> pcm;
  uint32_t stereo = 99, sampleRate = 0, frames = 0, waits = 0, lastPosition = 0, size = 0;
  bool positionsRise = true;
  ZbdStreamInfo info{};
};

// Runs the maker's call sequence over one input; extraModule, when given, is registered
// instead of the file module.
DecodeResult DecodeThroughApi(const std::string& path, const ZbdInputModule* extraModule = nullptr) {
  DecodeResult r;
  ZbdDecoder* d = nullptr;
  EXPECT_EQ(decoder_new(&d), ZBD_OK);
  if (d == nullptr) return r;
  ZbdInputModule module{};
  if (extraModule) module = *extraModule;
  else EXPECT_EQ(file_input_module_register(&module), ZBD_OK);
  EXPECT_EQ(decoder_input_module_register(d, &module), 0);
  r.newResult = decoder_input_new(d, path.c_str(), -1);
  if (r.newResult == ZBD_OK) r.openResult = decoder_input_open(d);
  if (r.newResult == ZBD_OK && r.openResult == ZBD_OK) {
    for (;;) {
      const int32_t result = decoder_decode(d, nullptr);
      if (result == ZBD_NO_FRAME_YET || result == ZBD_FRAME_SKIPPED) {
        ++r.waits;
        continue;
      }
      if (result != ZBD_OK) {
        r.endResult = result;
        break;
      }
      const ZbdOutputBuffer* out = d->outputBuffer;
      if (r.frames == 0) {
        r.stereo = out->stereo;
        r.sampleRate = out->sampleRate;
      }
      EXPECT_EQ(out->stereo, r.stereo) << "channel count changed mid-stream";
      EXPECT_GT(out->bytes, 0u);
      const auto* bytes = reinterpret_cast<const unsigned char*>(out->pcm);
      r.pcm.insert(r.pcm.end(), bytes, bytes + out->bytes);
      ++r.frames;
      if (d->inputStatus->position < r.lastPosition) r.positionsRise = false;
      r.lastPosition = d->inputStatus->position;
      r.size = d->inputStatus->size;
    }
    r.info = *d->streamInfo;
  }
  EXPECT_EQ(decoder_delete(d), ZBD_OK);
  return r;
}

// The data chunk of the WAV file `mpg123 -w` writes.
std::vector<unsigned char> Mpg123Reference(const std::string& mp3, bool* decoded) {
  const std::string wav = mp3 + ".ref.wav";
  int code = 0;
  Run("mpg123 -q -w '" + wav + "' '" + mp3 + "'", &code);
  *decoded = code == 0;
  const auto bytes = ReadFile(wav);
  for (size_t pos = 12; pos + 8 <= bytes.size();) {
    const uint32_t size = bytes[pos + 4] | bytes[pos + 5] << 8 | bytes[pos + 6] << 16 | uint32_t(bytes[pos + 7]) << 24;
    if (std::memcmp(&bytes[pos], "data", 4) == 0) {
      const size_t end = std::min(bytes.size(), pos + 8 + size);
      return std::vector<unsigned char>(bytes.begin() + std::ptrdiff_t(pos + 8), bytes.begin() + std::ptrdiff_t(end));
    }
    pos += 8 + size + (size & 1);
  }
  return {};
}

class DecoderTest : public ::testing::Test {
 protected:
  // A tone WAV converted by a command template with {in} and {out}.
  std::string Make(const std::string& name, uint32_t rate, int channels, double seconds, const std::string& tool) {
    const std::string wav = dir_.File(name + ".wav"), out = dir_.File(name);
    WriteFile(wav, WavBytes(rate, channels, Tone(rate, channels, uint32_t(rate * seconds))));
    std::string command = tool;
    command.replace(command.find("{in}"), 4, "'" + wav + "'").replace(command.find("{out}"), 5, "'" + out + "'");
    int code = 0;
    test_media::Run(command, &code);
    EXPECT_EQ(code, 0) << command;
    return out;
  }

  // Decodes through the library and checks the samples against mpg123 byte for byte.
  DecodeResult ExpectSameAsMpg123(const std::string& path) {
    bool referenceDecoded = false;
    const auto reference = Mpg123Reference(path, &referenceDecoded);
    EXPECT_TRUE(referenceDecoded && !reference.empty());
    DecodeResult r = DecodeThroughApi(path);
    EXPECT_EQ(r.endResult, ZBD_END_OF_INPUT);
    EXPECT_EQ(r.pcm.size(), reference.size());
    EXPECT_TRUE(r.pcm == reference) << "decoded samples differ from mpg123";
    return r;
  }

  ScratchDir dir_;
};

struct StreamCase {
  const char* name;
  uint32_t rate;
  int channels;
  const char* tool;
  uint32_t wantVersion, wantLayer;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class DecoderStreamTest : public DecoderTest, public ::testing::WithParamInterface<StreamCase> {};

// Catches resampling, gain, channel changes or lost frames against the reference decoder,
// across versions, layers and channel counts.
TEST_P(DecoderStreamTest, SamplesEqualMpg123) {
  const StreamCase& c = GetParam();
  const std::string path = Make(c.name, c.rate, c.channels, 1.5, c.tool);
  const DecodeResult r = ExpectSameAsMpg123(path);
  EXPECT_EQ(r.stereo, c.channels == 2 ? 1u : 0u);
  EXPECT_EQ(r.sampleRate, c.rate);
  EXPECT_EQ(r.info.mpegVersion, c.wantVersion);
  EXPECT_EQ(r.info.layer, c.wantLayer);
  EXPECT_EQ(r.info.framesDecoded, r.frames);
  EXPECT_TRUE(r.positionsRise);
  EXPECT_LE(r.lastPosition, r.size);
  EXPECT_GT(r.lastPosition, r.size * 9 / 10) << "the position must reach the end of the input";
}

INSTANTIATE_TEST_SUITE_P(
    Streams, DecoderStreamTest,
    ::testing::Values(
        StreamCase{"Stereo44100Layer3", 44100, 2, "lame --quiet -b 128 {in} {out}", 1, 3},
        StreamCase{"Mono22050Layer3", 22050, 1, "lame --quiet -b 32 {in} {out}", 2, 3},
        StreamCase{"Mono11025Mpeg25", 11025, 1, "lame --quiet -b 16 {in} {out}", 3, 3},
        StreamCase{"Stereo48000Layer2", 48000, 2, "ffmpeg -v error -y -i {in} -c:a mp2 -b:a 192k -f mp2 {out}", 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a decoder that gives up on junk before the first frame, or that crashes or
// errs at a file cut in the middle of a frame instead of ending with the whole frames.
TEST_F(DecoderTest, LeadingGarbageIsSkippedAndATruncatedFileEndsCleanly) {
  const std::string clean = Make("clean.mp3", 44100, 2, 1.0, "lame --quiet -b 128 {in} {out}");
  const auto cleanBytes = ReadFile(clean);
  const auto cleanPcm = DecodeThroughApi(clean).pcm;
  std::vector<unsigned char> junk(3000);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = uint8_t('a' + i % 26);
  junk.insert(junk.end(), cleanBytes.begin(), cleanBytes.end());
  const std::string garbage = dir_.File("garbage.mp3"), cut = dir_.File("cut.mp3");
  WriteFile(garbage, junk);
  EXPECT_EQ(ExpectSameAsMpg123(garbage).pcm, cleanPcm) << "the junk must not change the audio";
  WriteFile(cut, std::vector<unsigned char>(cleanBytes.begin(), cleanBytes.begin() + cleanBytes.size() * 2 / 3 + 211));
  const DecodeResult r = ExpectSameAsMpg123(cut);
  EXPECT_GT(r.pcm.size(), 0u);
  EXPECT_LT(r.pcm.size(), cleanPcm.size());
}

// Layer I frames written bit by bit (no encoder for them is at hand): MPEG-1, 44100 Hz,
// 128 kbit/s, mono, two subbands carrying 4-bit samples that change from frame to frame.
std::vector<unsigned char> LayerOneStream(int frames) {
  std::vector<unsigned char> out;
  for (int f = 0; f < frames; ++f) {
    std::vector<unsigned char> frame(136, 0);  // 12 * 128000 / 44100 slots of 4 bytes
    frame[0] = 0xFF;
    frame[1] = 0xFF;  // MPEG-1, Layer I, no CRC
    frame[2] = 0x40;  // 128 kbit/s, 44100 Hz, no padding
    frame[3] = 0xC0;  // mono
    size_t bit = 32;
    auto put = [&](uint32_t value, int bits) {
      for (int i = bits - 1; i >= 0; --i, ++bit) {
        if ((value >> i) & 1) frame[bit / 8] |= uint8_t(0x80 >> (bit % 8));
      }
    };
    for (int sb = 0; sb < 32; ++sb) put(sb == 2 || sb == 5 ? 3 : 0, 4);  // 4-bit samples
    put(10, 6);  // scale factors of the two subbands
    put(20, 6);
    for (int sample = 0; sample < 12; ++sample) {
      put(uint32_t((sample * 3 + f) % 15), 4);
      put(uint32_t((sample * 7 + 2 * f) % 15), 4);
    }
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

// Catches Layer I being refused or decoded differently from the reference.
TEST_F(DecoderTest, LayerOneDecodesLikeMpg123) {
  const std::string path = dir_.File("layer1.mp1");
  WriteFile(path, LayerOneStream(100));
  const DecodeResult r = ExpectSameAsMpg123(path);
  EXPECT_EQ(r.info.layer, 1u);
  EXPECT_TRUE(std::any_of(r.pcm.begin(), r.pcm.end(), [](unsigned char b) { return b != 0; }))
      << "the test stream must not be silence";
}

// Catches a decoder that gives up at damaged frames in the middle of a file, or lets a
// false header in the damage switch the output to another channel count.
TEST_F(DecoderTest, DamagedFramesInTheMiddleAreSkipped) {
  const std::string full = Make("full.mp3", 44100, 2, 2.0, "lame --quiet -b 128 {in} {out}");
  const DecodeResult clean = DecodeThroughApi(full);
  auto bytes = ReadFile(full);
  const size_t middle = bytes.size() / 2;
  for (size_t i = 0; i < 700; ++i) bytes[middle + i] = uint8_t(i * 37 + 11);
  bytes[middle + 800] = 0xFF;  // a false sync word
  bytes[middle + 801] = 0xFB;
  const std::string damaged = dir_.File("damaged.mp3");
  WriteFile(damaged, bytes);

  const DecodeResult r = DecodeThroughApi(damaged);  // also checks the channel count stays
  EXPECT_EQ(r.endResult, ZBD_END_OF_INPUT);
  EXPECT_EQ(r.stereo, 1u);
  EXPECT_GT(r.pcm.size(), clean.pcm.size() * 85 / 100) << "decoding must go on after the damage";
  EXPECT_LE(r.pcm.size(), clean.pcm.size());
  const size_t before = clean.pcm.size() * 4 / 10;
  EXPECT_TRUE(std::equal(clean.pcm.begin(), clean.pcm.begin() + std::ptrdiff_t(before), r.pcm.begin()))
      << "the audio before the damage must be untouched";
}

// Catches a WAV that switches from stereo to mono half way: of two files stitched
// together in different formats, the first one's audio comes out whole and the second's
// frames are skipped, not written in their own format.
TEST_F(DecoderTest, StitchedFileInAnotherFormatIsSkipped) {
  const std::string first = Make("first.mp3", 44100, 2, 1.0, "lame --quiet -b 128 {in} {out}");
  const std::string second = Make("second.mp3", 22050, 1, 1.0, "lame --quiet -b 32 {in} {out}");
  auto bytes = ReadFile(first);
  const auto tail = ReadFile(second);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  const std::string stitched = dir_.File("stitched.mp3");
  WriteFile(stitched, bytes);
  const DecodeResult r = DecodeThroughApi(stitched);
  EXPECT_EQ(r.endResult, ZBD_END_OF_INPUT);
  EXPECT_EQ(r.sampleRate, 44100u);
  EXPECT_TRUE(r.pcm == DecodeThroughApi(first).pcm);
  EXPECT_GT(r.waits, 10u) << "the second file's frames are reported as skipped";

  // The same format stitched on goes on playing, as the reference does.
  const auto once = ReadFile(first);
  bytes = once;
  bytes.insert(bytes.end(), once.begin(), once.end());
  WriteFile(stitched, bytes);
  ExpectSameAsMpg123(stitched);
}

// Catches memory errors (under the sanitizer build) and runaway loops on corrupted
// input: randomly damaged copies of a file must all end, in one format.
TEST_F(DecoderTest, RandomlyDamagedFilesAlwaysEnd) {
  const std::string file = Make("r.mp3", 22050, 2, 0.5, "lame --quiet -b 64 {in} {out}");
  const auto original = ReadFile(file);
  uint32_t seed = 99;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int round = 0; round < 40; ++round) {
    auto bytes = original;
    const int hits = 1 + int(next() % 40);
    for (int i = 0; i < hits; ++i) bytes[next() % bytes.size()] = uint8_t(next() >> 16);
    if (round % 5 == 0) bytes.resize(next() % bytes.size());
    // Built by appending: GCC 12 warns (-Wrestrict, falsely) on "d" + std::to_string() here.
    std::string name = "d";
    name += std::to_string(round);
    const std::string damaged = dir_.File(name + ".mp3");
    WriteFile(damaged, bytes);
    const DecodeResult r = DecodeThroughApi(damaged);  // checks the channel count stays
    EXPECT_NE(r.endResult, ZBD_OK) << round;
    EXPECT_LE(r.pcm.size(), size_t(22050 * 4)) << round;
  }
}

// Catches files without audio being reported as decoded audio or crashing.
TEST_F(DecoderTest, EmptyMissingAndNonAudioInputs) {
  const DecodeResult missing = DecodeThroughApi(dir_.File("none.mp3"));
  EXPECT_EQ(missing.openResult, ZBD_ERR_INPUT_OPEN);

  std::vector<unsigned char> text;
  for (size_t size : {size_t(0), size_t(20000)}) {  // empty, then text
    while (text.size() < size) text.push_back(uint8_t('A' + text.size() % 50));
    const std::string notAudio = dir_.File("text.mp3");
    WriteFile(notAudio, text);
    const DecodeResult t = DecodeThroughApi(notAudio);
    EXPECT_TRUE(t.pcm.empty()) << size;
    EXPECT_TRUE(t.openResult != ZBD_OK || t.endResult != ZBD_OK) << size;
  }
  const DecodeResult folder = DecodeThroughApi("/tmp");
  EXPECT_EQ(folder.openResult, ZBD_ERR_INPUT_OPEN);
}

// An input module that serves a byte array, to prove reads go through the module.
struct MemoryStream {
  std::vector<unsigned char> bytes;
  size_t pos = 0;
};
std::vector<unsigned char>* gMemoryBytes = nullptr;
int gMemoryCloses = 0;

ZbdInputModule MemoryModule() {
  ZbdInputModule m{};
  m.structBytes = sizeof m;
  m.name = "memory";
  m.accepts = [](const char* name) -> int32_t { return std::strncmp(name, "mem:", 4) == 0; };
  m.open = [](const char*, void** stream) -> int32_t {
    *stream = new MemoryStream{*gMemoryBytes, 0};
    return ZBD_OK;
  };
  m.read = [](void* stream, void* buffer, uint32_t bytes) -> int64_t {
    auto* s = static_cast<MemoryStream*>(stream);
    const size_t n = std::min<size_t>(bytes, s->bytes.size() - s->pos);
    std::memcpy(buffer, s->bytes.data() + s->pos, n);
    s->pos += n;
    return int64_t(n);
  };
  m.seek = nullptr;  // like a stream: no seeking, size unknown
  m.size = nullptr;
  m.close = [](void* stream) {
    delete static_cast<MemoryStream*>(stream);
    ++gMemoryCloses;
  };
  return m;
}

// Catches input modules being bypassed, or a module without seek and size breaking
// decoding (network streams have neither).
TEST_F(DecoderTest, RegisteredModuleServesTheInput) {
  const std::string file = Make("m.mp3", 44100, 2, 1.0, "lame --quiet -b 128 {in} {out}");
  auto bytes = ReadFile(file);
  gMemoryBytes = &bytes;
  gMemoryCloses = 0;
  const ZbdInputModule module = MemoryModule();
  const DecodeResult r = DecodeThroughApi("mem:song", &module);
  EXPECT_EQ(r.openResult, ZBD_OK);
  EXPECT_EQ(r.endResult, ZBD_END_OF_INPUT);
  EXPECT_EQ(r.size, 0u) << "size unknown";
  EXPECT_EQ(gMemoryCloses, 1);
  bool referenceDecoded = false;
  EXPECT_EQ(r.pcm.size(), Mpg123Reference(file, &referenceDecoded).size());
  EXPECT_EQ(DecodeThroughApi("/some/file.mp3", &module).newResult, ZBD_ERR_NO_MODULE);
}

// Catches the 32-bit size word wrapping for inputs of 4 GiB and more (position and size
// must share a unit in which the size fits), and a decoder that keeps going or crashes
// after the end was reported instead of repeating the end until a new input starts over.
TEST_F(DecoderTest, HugeInputSizeIsScaledAndTheEndIsFinal) {
  const std::string file = Make("h.mp3", 44100, 2, 0.5, "lame --quiet -b 128 {in} {out}");
  auto bytes = ReadFile(file);
  gMemoryBytes = &bytes;
  ZbdInputModule module = MemoryModule();
  module.size = [](void*) -> int64_t { return int64_t(5) << 30; };
  ZbdDecoder* d = nullptr;
  ASSERT_EQ(decoder_new(&d), ZBD_OK);
  ASSERT_EQ(decoder_input_module_register(d, &module), 0);
  ASSERT_EQ(decoder_input_new(d, "mem:huge", -1), ZBD_OK);
  ASSERT_EQ(decoder_input_open(d), ZBD_OK);
  EXPECT_EQ(d->inputStatus->unitShift, 1u);
  EXPECT_EQ(d->inputStatus->size, uint32_t((int64_t(5) << 30) >> 1));
  int32_t result = ZBD_OK;
  for (int guard = 0; guard < 10000 && (result == ZBD_OK || result == ZBD_NO_FRAME_YET); ++guard) {
    result = decoder_decode(d, nullptr);
  }
  EXPECT_EQ(result, ZBD_END_OF_INPUT);
  EXPECT_LE(d->inputStatus->position, uint32_t(bytes.size() / 2 + 1));
  EXPECT_GT(d->inputStatus->position, uint32_t(bytes.size() / 4));
  EXPECT_EQ(decoder_decode(d, nullptr), ZBD_END_OF_INPUT);
  EXPECT_EQ(d->inputStatus->state, uint32_t(ZBD_INPUT_ENDED));
  ASSERT_EQ(decoder_input_new(d, "mem:again", -1), ZBD_OK);
  ASSERT_EQ(decoder_input_open(d), ZBD_OK);
  EXPECT_EQ(d->inputStatus->state, uint32_t(ZBD_INPUT_OPEN));
  EXPECT_NE(decoder_decode(d, nullptr), ZBD_END_OF_INPUT) << "the new input starts over";
  EXPECT_EQ(decoder_delete(d), ZBD_OK);
}

// Catches calls out of order or with bad arguments crashing instead of failing.
TEST_F(DecoderTest, MisuseIsRefused) {
  EXPECT_EQ(decoder_new(nullptr), ZBD_ERR_ARGUMENT);
  ZbdDecoder* d = nullptr;
  ASSERT_EQ(decoder_new(&d), ZBD_OK);
  EXPECT_EQ(decoder_decode(d, nullptr), ZBD_ERR_STATE);
  EXPECT_EQ(decoder_input_open(d), ZBD_ERR_STATE);
  EXPECT_EQ(decoder_input_new(d, "/x.mp3", -1), ZBD_ERR_NO_MODULE) << "no module registered";
  ZbdInputModule module{};
  ASSERT_EQ(file_input_module_register(&module), ZBD_OK);
  EXPECT_EQ(decoder_input_module_register(d, nullptr), ZBD_ERR_ARGUMENT);
  ZbdInputModule shortBlock = module;
  shortBlock.structBytes = 8;
  EXPECT_EQ(decoder_input_module_register(d, &shortBlock), ZBD_ERR_ARGUMENT);
  EXPECT_EQ(decoder_input_module_register(d, &module), 0);
  EXPECT_EQ(decoder_input_new(d, nullptr, -1), ZBD_ERR_ARGUMENT);
  EXPECT_EQ(decoder_input_new(d, "/x.mp3", 0), ZBD_OK);
  EXPECT_EQ(decoder_decode(d, nullptr), ZBD_ERR_STATE);
  int dummy = 0;
  EXPECT_EQ(decoder_decode(d, &dummy), ZBD_ERR_ARGUMENT);
  for (int i = 1; i < ZBD_MAX_INPUT_MODULES; ++i) EXPECT_EQ(decoder_input_module_register(d, &module), i);
  EXPECT_EQ(decoder_input_module_register(d, &module), ZBD_ERR_TOO_MANY_MODULES);
  EXPECT_EQ(decoder_delete(d), ZBD_OK);
}

// Random bytes from a fixed key, every byte value included, the same at every run.
std::vector<unsigned char> RandomBytes(size_t bytes) {
  const std::string out =
      Run("openssl enc -aes-128-ctr -nosalt -pass pass:zbdecode -in /dev/zero 2>/dev/null | head -c " + std::to_string(bytes));
  return std::vector<unsigned char>(out.begin(), out.end());
}

// Catches other formats and random data decoded into noise: the library alone takes
// plausible headers in them (the boxes of an M4A file gave six "frames") for audio. FLAC,
// M4A and WAV files made by the reference tools, a WAV whose samples hold a pair of
// well-formed headers one frame apart, and random bytes give no frame.
TEST_F(DecoderTest, OtherFormatsAndRandomBytesGiveNoFrames) {
  const std::string wav = dir_.File("tone.wav");
  WriteFile(wav, WavBytes(44100, 2, Tone(44100, 2, 44100)));
  test_media::Run("sox '" + wav + "' '" + dir_.File("tone.flac") + "'");
  test_media::Run("ffmpeg -v error -y -i '" + wav + "' -c:a aac -b:a 128k '" + dir_.File("tone.m4a") + "'");
  auto falsePair = WavBytes(44100, 2, Tone(44100, 2, 44100));
  for (size_t frame = 0; frame < 2; ++frame) {
    const size_t at = 44 + 1000 + frame * 417;
    const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x64};
    std::copy(header, header + 4, falsePair.begin() + std::ptrdiff_t(at));
    std::fill(falsePair.begin() + std::ptrdiff_t(at + 4), falsePair.begin() + std::ptrdiff_t(at + 417), 0);
  }
  WriteFile(dir_.File("pair.wav"), falsePair);
  WriteFile(dir_.File("random.bin"), RandomBytes(1 << 20));
  for (const char* name : {"tone.flac", "tone.m4a", "tone.wav", "pair.wav", "random.bin"}) {
    ASSERT_FALSE(ReadFile(dir_.File(name)).empty()) << name;
    const DecodeResult r = DecodeThroughApi(dir_.File(name));
    EXPECT_EQ(r.openResult, ZBD_OK) << name;
    EXPECT_EQ(r.endResult, ZBD_END_OF_INPUT) << name;
    EXPECT_EQ(r.frames, 0u) << name;
  }
}

// Catches the first frame looked for only within the library's 64 KB: behind 256 KB of
// random bytes and 1 MB of zeros the MP3's own audio comes out whole, as with
// `mpg123 --resync-limit -1`, from a file and from a module that cannot seek, and the
// search comes back between pieces of the junk (so a cancel is seen).
TEST_F(DecoderTest, LeadingJunkOfAnySizeIsSkipped) {
  const std::string clean = Make("clean.mp3", 44100, 2, 1.0, "lame --quiet -b 128 {in} {out}");
  const auto cleanBytes = ReadFile(clean);
  const auto cleanPcm = DecodeThroughApi(clean).pcm;
  ASSERT_FALSE(cleanPcm.empty());
  const struct {
    const char* name;
    std::vector<unsigned char> junk;
  } cases[] = {{"random", RandomBytes(256 * 1024)}, {"zeros", std::vector<unsigned char>(1 << 20, 0)}};
  for (const auto& c : cases) {
    auto bytes = c.junk;
    bytes.insert(bytes.end(), cleanBytes.begin(), cleanBytes.end());
    const std::string path = dir_.File(std::string(c.name) + ".mp3");
    WriteFile(path, bytes);
    const DecodeResult fromFile = DecodeThroughApi(path);
    EXPECT_TRUE(fromFile.pcm == cleanPcm) << c.name;
    EXPECT_GE(fromFile.waits, c.junk.size() / (64 * 1024)) << c.name;
    gMemoryBytes = &bytes;
    const ZbdInputModule module = MemoryModule();
    EXPECT_TRUE(DecodeThroughApi("mem:junk", &module).pcm == cleanPcm) << c.name;
  }
  const std::string reference = dir_.File("random.ref.wav");
  test_media::Run("mpg123 -q --resync-limit -1 -w '" + reference + "' '" + dir_.File("random.mp3") + "'");
  const auto referenceBytes = ReadFile(reference);
  ASSERT_GT(referenceBytes.size(), 44u);
  EXPECT_TRUE(std::vector<unsigned char>(referenceBytes.begin() + 44, referenceBytes.end()) == cleanPcm);
}

// Catches the stricter start refusing real files: free format (no size in the headers),
// a file of a handful of frames followed by an ID3v1 tag, and one behind a 300 KB ID3v2
// tag whose picture holds frames of another file decode as the reference does.
TEST_F(DecoderTest, FreeFormatShortAndTaggedFilesDecodeLikeMpg123) {
  const std::string free = Make("free.mp3", 44100, 2, 1.0, "lame --quiet --freeformat -b 400 {in} {out}");
  EXPECT_EQ(ExpectSameAsMpg123(free).info.bitRate, 0u) << "free format";

  const std::string shortFile = Make("short.mp3", 44100, 2, 0.06, "lame --quiet -b 128 {in} {out}");
  auto shortBytes = ReadFile(shortFile);
  std::vector<unsigned char> id3v1(128, ' ');
  std::copy_n("TAG", 3, id3v1.begin());
  shortBytes.insert(shortBytes.end(), id3v1.begin(), id3v1.end());
  WriteFile(shortFile, shortBytes);
  EXPECT_LE(ExpectSameAsMpg123(shortFile).frames, 6u);

  const std::string other = Make("other.mp3", 48000, 1, 0.5, "lame --quiet -b 64 {in} {out}");
  const std::string song = Make("song.mp3", 44100, 2, 1.0, "lame --quiet -b 128 {in} {out}");
  const uint32_t body = 300000;
  std::vector<unsigned char> tagged = {'I', 'D', '3', 3, 0, 0, uint8_t((body >> 21) & 0x7F),
                                       uint8_t((body >> 14) & 0x7F), uint8_t((body >> 7) & 0x7F), uint8_t(body & 0x7F)};
  std::vector<unsigned char> picture = ReadFile(other);
  picture.resize(body, 0);
  tagged.insert(tagged.end(), picture.begin(), picture.end());
  const auto songBytes = ReadFile(song);
  tagged.insert(tagged.end(), songBytes.begin(), songBytes.end());
  WriteFile(dir_.File("tagged.mp3"), tagged);
  const DecodeResult r = ExpectSameAsMpg123(dir_.File("tagged.mp3"));
  EXPECT_EQ(r.sampleRate, 44100u);
  EXPECT_TRUE(r.pcm == DecodeThroughApi(song).pcm);
}

// Catches a missing or C++-mangled export: the maker finds all seven entries by name.
TEST(ZbdecodeLibraryTest, AllSevenEntriesResolveByName) {
  ExpectEntries(ZIMBAR_BIN_DIR "/libzbdecode.so",
                {"decoder_new", "decoder_delete", "decoder_input_module_register", "decoder_input_new",
                 "decoder_input_open", "decoder_decode", "file_input_module_register"});
}

}  // namespace
