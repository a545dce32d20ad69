// The Ogg Vorbis and Opus adapters, each encoder against its decoder, against ffmpeg as a
// reference reader, and against TagLib rewriting the comment header.
#include <taglib/oggfile.h>
#include <taglib/opusfile.h>
#include <taglib/tstring.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/main_loop.h"
#include "common/tags/audio_file_tags.h"
#include "common/wav_header.h"
#include "maker/codec/decoding_thread.h"
#include "maker/codec/encoding_thread.h"
#include "maker/codec/opus_encoder.h"
#include "maker/codec/opus_file_decoder.h"
#include "maker/codec/vorbis_encoder.h"
#include "maker/codec/vorbis_file_decoder.h"
#include "maker/settings/encoder_mode.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

constexpr int kProgress = static_cast<int>(CodecEvent::Progress);
constexpr int kFinished = static_cast<int>(CodecEvent::Finished);
constexpr int kWarning = static_cast<int>(CodecEvent::Warning);
constexpr int kFailed = static_cast<int>(CodecEvent::CodecFailed);

struct OggFormat {
  const char* name;
  const char* codecName;  // as ffprobe names it
  bool opus;
};

void PrintTo(const OggFormat& format, std::ostream* os) { *os << format.name; }

// A decoded WAV file: its header and its interleaved samples.
struct Decoded {
  WavFormatInfo info;
  std::vector<int16_t> samples;
  size_t Frames() const { return info.channels == 0 ? 0 : samples.size() / info.channels; }
};

Decoded ReadWav(const std::string& path) {
  Decoded wav;
  if (ReadWavHeaderFromPath(path.c_str(), wav.info) != kWavReadOk) return wav;
  const std::string bytes = ReadFile(path);
  const size_t end = std::min<size_t>(bytes.size(), wav.info.dataOffset + wav.info.dataBytes);
  for (size_t i = wav.info.dataOffset; i + 1 < end; i += 2) {
    wav.samples.push_back(
        static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
  }
  return wav;
}

// RMS and zero-crossing frequency of one channel over the middle half of the audio (away
// from the encoder's start and end).
struct ToneMeasure {
  double rms = 0;
  double hertz = 0;
};

ToneMeasure MeasureTone(const Decoded& wav, int channel) {
  ToneMeasure tone;
  const size_t frames = wav.Frames();
  const size_t first = frames / 4;
  const size_t last = frames * 3 / 4;
  if (last <= first + 1) return tone;
  double energy = 0;
  int rising = 0;
  for (size_t i = first; i < last; ++i) {
    const double s = wav.samples[i * wav.info.channels + channel];
    energy += s * s;
    if (i > first && wav.samples[(i - 1) * wav.info.channels + channel] < 0 && s >= 0) ++rising;
  }
  tone.rms = std::sqrt(energy / static_cast<double>(last - first));
  tone.hertz = rising * static_cast<double>(wav.info.sampleRate) / static_cast<double>(last - first);
  return tone;
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool HaveTool(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0; }

class OggCodecs : public ::testing::TestWithParam<OggFormat> {
 protected:
  void Encode(const std::string& input, const std::string& output, EventLog& events, int setting = 0) {
    if (GetParam().opus) {
      EncodeOpusFile(input, output, {.bitRate = setting != 0 ? setting : 160}, &events, CollectEvent);
    } else {
      EncodeVorbisFile(input, output, {.quality = setting != 0 ? setting : 5}, &events, CollectEvent);
    }
  }
  void Decode(const std::string& input, const std::string& output, EventLog& events) {
    if (GetParam().opus) {
      DecodeOpusFile(input, output, &events, CollectEvent);
    } else {
      DecodeVorbisFile(input, output, &events, CollectEvent);
    }
  }
  // Encodes a 440 Hz tone into the scratch folder; the encode must succeed.
  std::string EncodedTone(uint16_t channels, uint32_t rate, uint32_t frames, const std::string& name = "tone") {
    WriteTestWav(dir_.File(name + ".wav"), channels, rate, frames);
    EventLog events;
    const std::string out = dir_.File(name + Extension());
    Encode(dir_.File(name + ".wav"), out, events);
    EXPECT_EQ(events.Kinds().back(), kFinished) << events.events.back().text;
    return out;
  }
  std::string Extension() const { return GetParam().opus ? ".opus" : ".ogg"; }
  // The decoded length of `frames` input frames at `rate`: Vorbis keeps every frame at the
  // input's rate; Opus decodes at 48 kHz and trims to the resampled length.
  size_t ExpectedFrames(uint32_t rate, uint32_t frames) const {
    if (!GetParam().opus) return frames;
    return static_cast<size_t>((uint64_t{frames} * 48000 + rate - 1) / rate);
  }
  uint32_t DecodedRate(uint32_t rate) const { return GetParam().opus ? 48000 : rate; }

  ScratchDir dir_;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Formats, OggCodecs,
                         ::testing::Values(OggFormat{"Vorbis", "vorbis", false}, OggFormat{"Opus", "opus", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches audio lost or added at the start or end (pre-skip, end trimming, the last
// page's granule position), channels swapped or merged, a wrong rate in the WAV header, and
// a tone whose level or pitch the adapters change.
TEST_P(OggCodecs, RoundTripKeepsLengthLevelAndPitch) {
  const struct {
    uint16_t channels;
    uint32_t rate;
    uint32_t frames;
  } cases[] = {{2, 44100, 3 * 44100 + 777}, {1, 44100, 2 * 44100 + 5}, {2, 48000, 96000}, {1, 22050, 30000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.rate));
    const std::string encoded = EncodedTone(c.channels, c.rate, c.frames);
    EventLog events;
    Decode(encoded, dir_.File("back.wav"), events);
    ASSERT_EQ(events.Kinds().back(), kFinished) << events.events.back().text;
    const Decoded wav = ReadWav(dir_.File("back.wav"));
    EXPECT_EQ(wav.info.channels, c.channels);
    EXPECT_EQ(wav.info.sampleRate, DecodedRate(c.rate));
    EXPECT_EQ(wav.Frames(), ExpectedFrames(c.rate, c.frames));
    for (int channel = 0; channel < c.channels; ++channel) {
      const ToneMeasure tone = MeasureTone(wav, channel);
      EXPECT_NEAR(20 * std::log10(tone.rms / (12000 / std::sqrt(2.0))), 0.0, 0.5);  // dB
      EXPECT_NEAR(tone.hertz, 440.0, 2.0);
    }
  }
}

// Catches progress that does not reach the end, goes backwards or comes too seldom for a
// cancel to be seen, and a final event that is not the last or not alone.
TEST_P(OggCodecs, ReportsProgressAndOneFinalEventBothWays) {
  WriteTestWav(dir_.File("in.wav"), 2, 44100, 5 * 44100);
  EventLog encode;
  Encode(dir_.File("in.wav"), dir_.File("out" + Extension()), encode);
  const std::vector<int32_t> progress = encode.ProgressValues();
  ASSERT_EQ(encode.Kinds().size(), progress.size() + 1);
  EXPECT_EQ(encode.Kinds().back(), kFinished);
  ASSERT_GE(progress.size(), 5u);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(progress.back(), 10000);

  EventLog decode;
  Decode(dir_.File("out" + Extension()), dir_.File("back.wav"), decode);
  const std::vector<int32_t> bytes = decode.ProgressValues();
  ASSERT_EQ(decode.Kinds().size(), bytes.size() + 1);
  EXPECT_EQ(decode.Kinds().back(), kFinished);
  // One event per second of output at least: five seconds give four or five.
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_TRUE(std::is_sorted(bytes.begin(), bytes.end()));
  EXPECT_LE(static_cast<size_t>(bytes.back()), ReadWav(dir_.File("back.wav")).samples.size() * 2);
}

// Catches a cancel that is ignored, or that leaves a stream without its end (a file other
// readers refuse or that decodes to noise): the output ends where the input stopped.
TEST_P(OggCodecs, CancelEndsBothWaysWithAFileThatDecodes) {
  WriteTestWav(dir_.File("in.wav"), 2, 44100, 10 * 44100);
  EventLog encode;
  encode.stopAtProgress = 25;
  Encode(dir_.File("in.wav"), dir_.File("out" + Extension()), encode);
  std::vector<int> expected(25, kProgress);
  expected.push_back(kFinished);
  EXPECT_EQ(encode.Kinds(), expected);

  EventLog decode;
  Decode(dir_.File("out" + Extension()), dir_.File("back.wav"), decode);
  ASSERT_EQ(decode.Kinds().back(), kFinished);
  const Decoded all = ReadWav(dir_.File("back.wav"));
  // 25 blocks of 4096 frames were read before the cancel.
  EXPECT_EQ(all.Frames(), ExpectedFrames(44100, 25 * 4096));
  EXPECT_NEAR(MeasureTone(all, 1).hertz, 440.0, 2.0);

  EventLog stopped;
  stopped.stopAtProgress = 1;
  Decode(dir_.File("out" + Extension()), dir_.File("part.wav"), stopped);
  EXPECT_EQ(stopped.Kinds(), (std::vector<int>{kProgress, kFinished}));
  const Decoded part = ReadWav(dir_.File("part.wav"));
  EXPECT_EQ(part.info.dataBytes, ReadFile(dir_.File("part.wav")).size() - part.info.dataOffset);
  EXPECT_GT(part.Frames(), 0u);
  EXPECT_LT(part.Frames(), all.Frames());
}

// Catches an output left behind for an input the encoder refuses, and refusals reported as
// the wrong kind (the log would blame the wrong thing).
TEST_P(OggCodecs, RefusesInputsItCannotEncodeWithoutWritingAnything) {
  WriteTestWav(dir_.File("8bit.wav"), 2, 44100, 1000, 8);
  WriteTestWav(dir_.File("11025.wav"), 2, 11025, 1000);
  WriteTestWav(dir_.File("3ch.wav"), 3, 44100, 1000);
  WriteTestWav(dir_.File("empty.wav"), 2, 44100, 0);
  WriteFile(dir_.File("junk.wav"), std::string(200, 'x'));
  const struct {
    const char* input;
    CodecEvent kind;
  } cases[] = {{"8bit.wav", CodecEvent::NotPcm16},       {"11025.wav", CodecEvent::BadSampleRate},
               {"3ch.wav", CodecEvent::CodecFailed},     {"empty.wav", CodecEvent::CodecFailed},
               {"junk.wav", CodecEvent::InvalidWavHeader}, {"missing.wav", CodecEvent::CannotOpenInput}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    EventLog events;
    Encode(dir_.File(c.input), dir_.File("out" + Extension()), events);
    ASSERT_EQ(events.events.size(), 1u);
    EXPECT_EQ(events.events[0].kind, static_cast<int>(c.kind)) << events.events[0].text;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("out" + Extension())));
  }
  WriteTestWav(dir_.File("in.wav"), 2, 44100, 1000);
  if (GetParam().opus) {
    // A setting the library refuses (libvorbisenc takes any quality, clamped to its range).
    EventLog refused;
    Encode(dir_.File("in.wav"), dir_.File("out" + Extension()), refused, -5);
    EXPECT_EQ(refused.Kinds(), (std::vector<int>{static_cast<int>(CodecEvent::CannotInitialize)}));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("out" + Extension())));
  }
  EventLog created;
  Encode(dir_.File("in.wav"), dir_.File("no/such/folder/out" + Extension()), created);
  EXPECT_EQ(created.Kinds(), (std::vector<int>{static_cast<int>(CodecEvent::CannotCreateOutput)}));
}

// Catches a full disk that goes unnoticed (the library's own writes are not checked by
// it in every case) and so a cut file passed off as finished, encoding and decoding.
TEST_P(OggCodecs, FullDiskIsAWriteErrorBothWays) {
  const std::string encoded = EncodedTone(2, 44100, 4 * 44100);
  EventLog encode;
  EventLog decode;
  {
    // Room for half the file the encoder writes: it stops part way through the audio.
    ScopedFileSizeLimit limit(static_cast<unsigned long>(std::filesystem::file_size(encoded) / 2));
    Encode(dir_.File("tone.wav"), dir_.File("full" + Extension()), encode);
    Decode(encoded, dir_.File("full.wav"), decode);
  }
  EXPECT_EQ(encode.Kinds().back(), static_cast<int>(CodecEvent::CannotWriteOutput));
  EXPECT_EQ(decode.Kinds().back(), static_cast<int>(CodecEvent::CannotWriteOutput));
  for (const EventLog* log : {&encode, &decode}) {
    for (size_t i = 0; i + 1 < log->events.size(); ++i) EXPECT_EQ(log->events[i].kind, kProgress);
  }
}

// Catches a decoder that takes what is not its format (or nothing at all) for audio and
// writes noise or an empty file as a success.
TEST_P(OggCodecs, DecoderRefusesWhatIsNotItsFormat) {
  WriteFile(dir_.File("junk"), std::string(5000, '\x5a'));
  WriteFile(dir_.File("empty"), "");
  WriteTestWav(dir_.File("tone.wav"), 2, 44100, 4410);
  // The other Ogg format: an Ogg stream, but not the codec this decoder reads.
  EventLog other;
  const std::string otherFile = dir_.File(GetParam().opus ? "other.ogg" : "other.opus");
  if (GetParam().opus) {
    EncodeVorbisFile(dir_.File("tone.wav"), otherFile, {}, &other, CollectEvent);
  } else {
    EncodeOpusFile(dir_.File("tone.wav"), otherFile, {}, &other, CollectEvent);
  }
  ASSERT_EQ(other.Kinds().back(), kFinished);
  for (const std::string& input :
       {dir_.File("junk"), dir_.File("empty"), dir_.File("tone.wav"), otherFile, dir_.File("missing")}) {
    SCOPED_TRACE(input);
    EventLog events;
    Decode(input, dir_.File("back.wav"), events);
    EXPECT_EQ(events.Kinds(), (std::vector<int>{static_cast<int>(CodecEvent::CannotInitialize)}));
  }
}

// Catches a truncated file (a download cut short) that fails or hangs instead of giving
// the audio it holds, and damaged pages in the middle that end the decode or pass unnoticed:
// they are skipped with a warning and the rest is decoded.
TEST_P(OggCodecs, DecodesWhatATruncatedOrDamagedFileHolds) {
  const std::string encoded = EncodedTone(2, 44100, 6 * 44100);
  const std::string whole = ReadFile(encoded);
  ASSERT_GT(whole.size(), 1000u);
  EventLog full;
  Decode(encoded, dir_.File("full.wav"), full);
  const size_t fullFrames = ReadWav(dir_.File("full.wav")).Frames();

  WriteFile(dir_.File("cut" + Extension()), whole.substr(0, whole.size() / 2));
  EventLog cut;
  Decode(dir_.File("cut" + Extension()), dir_.File("cut.wav"), cut);
  EXPECT_EQ(cut.Kinds().back(), kFinished) << cut.events.back().text;
  const Decoded cutWav = ReadWav(dir_.File("cut.wav"));
  // Half the bytes hold less than half the audio: the headers take their share first.
  EXPECT_GT(cutWav.Frames(), fullFrames / 5);
  EXPECT_LT(cutWav.Frames(), fullFrames * 6 / 10);
  EXPECT_NEAR(MeasureTone(cutWav, 0).hertz, 440.0, 2.0);

  std::string damaged = whole;
  for (size_t i = whole.size() / 2; i < whole.size() / 2 + 300; ++i) damaged[i] = static_cast<char>(i * 7);
  WriteFile(dir_.File("damaged" + Extension()), damaged);
  EventLog hurt;
  Decode(dir_.File("damaged" + Extension()), dir_.File("damaged.wav"), hurt);
  const std::vector<int> kinds = hurt.Kinds();
  ASSERT_GE(kinds.size(), 2u);
  EXPECT_EQ(kinds.back(), kFinished);
  EXPECT_EQ(kinds[kinds.size() - 2], kWarning);
  EXPECT_NE(hurt.events[kinds.size() - 2].text.find("damaged"), std::string::npos);
  const size_t damagedFrames = ReadWav(dir_.File("damaged.wav")).Frames();
  EXPECT_LT(damagedFrames, fullFrames);
  // A tone's pages each hold up to a second of audio: what is lost is one or two of them.
  EXPECT_GT(damagedFrames, fullFrames / 2);
}

// Catches files other readers take differently: ffprobe must see the codec, rate and
// channels, and the format's reference decoders must give exactly as many frames as ours.
// Vorbis ends at the last page's granule position, which oggdec follows; ffmpeg does
// only for some rates and channel counts (also on oggenc's own files), so it is a
// reference for the CD's stereo at 44.1 kHz alone.
TEST_P(OggCodecs, ReferenceToolsReadOurFilesAsOurDecoderDoes) {
  if (!HaveTool("ffmpeg") || !HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
  const struct {
    uint16_t channels;
    uint32_t rate;
    uint32_t frames;
  } cases[] = {{2, 44100, 2 * 44100 + 333}, {1, 32000, 40000}, {2, 22050, 27221}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.rate));
    const std::string encoded = EncodedTone(c.channels, c.rate, c.frames);
    const std::string probed = Capture("ffprobe -v error -select_streams a:0 -show_entries "
                                       "stream=codec_name,sample_rate,channels -of default=nw=1 " +
                                       Quote(encoded) + " 2>&1");
    EXPECT_EQ(probed, std::string("codec_name=") + GetParam().codecName + "\nsample_rate=" +
                          std::to_string(DecodedRate(c.rate)) + "\nchannels=" + std::to_string(c.channels) + "\n");
    EventLog events;
    Decode(encoded, dir_.File("ours.wav"), events);
    const Decoded ours = ReadWav(dir_.File("ours.wav"));
    EXPECT_EQ(ours.Frames(), ExpectedFrames(c.rate, c.frames));

    std::vector<std::string> references;
    const std::string out = Quote(dir_.File("reference.wav"));
    if (GetParam().opus || (c.channels == 2 && c.rate == 44100)) {
      references.push_back("ffmpeg -v error -y -i " + Quote(encoded) + " -f wav " + out);
    }
    if (GetParam().opus && HaveTool("opusdec")) {
      references.push_back("opusdec --quiet --rate 48000 " + Quote(encoded) + " " + out);
    }
    if (!GetParam().opus && HaveTool("oggdec")) references.push_back("oggdec -Q -o " + out + " " + Quote(encoded));
    for (const std::string& command : references) {
      SCOPED_TRACE(command);
      std::filesystem::remove(dir_.File("reference.wav"));
      Capture(command + " 2>&1");
      const Decoded reference = ReadWav(dir_.File("reference.wav"));
      EXPECT_EQ(ours.Frames(), reference.Frames());
      EXPECT_EQ(ours.info.sampleRate, reference.info.sampleRate);
    }
  }
}

// Catches streams whose comment header shares a page with other headers or the audio in
// a way that TagLib cannot rewrite: after TagLib writes a comment far longer than the
// room left for it, the file still decodes to the same samples and holds the comment.
TEST_P(OggCodecs, TagLibRewritesTheCommentHeader) {
  const std::string encoded = EncodedTone(2, 44100, 2 * 44100);
  EventLog before;
  Decode(encoded, dir_.File("before.wav"), before);
  const std::string longText(100000, 'z');
  {
    std::unique_ptr<TagLib::Ogg::File> file;
    TagLib::Ogg::XiphComment* comment = nullptr;
    if (GetParam().opus) {
      auto* opus = new TagLib::Ogg::Opus::File(encoded.c_str());
      comment = opus->tag();
      file.reset(opus);
    } else {
      auto* vorbis = new TagLib::Ogg::Vorbis::File(encoded.c_str());
      comment = vorbis->tag();
      file.reset(vorbis);
    }
    ASSERT_TRUE(file->isValid());
    ASSERT_NE(comment, nullptr);
    comment->addField("TITLE", TagLib::String("Grüße aus Köln", TagLib::String::UTF8));
    comment->addField("COMMENT", TagLib::String(longText));
    ASSERT_TRUE(file->save());
  }
  EventLog after;
  Decode(encoded, dir_.File("after.wav"), after);
  ASSERT_EQ(after.Kinds().back(), kFinished);
  EXPECT_EQ(ReadWav(dir_.File("after.wav")).samples, ReadWav(dir_.File("before.wav")).samples);
  if (HaveTool("ffprobe")) {
    EXPECT_EQ(Capture("ffprobe -v error -show_entries stream_tags=title:format_tags=title -of default=nw=1:nk=1 " +
                      Quote(encoded) + " 2>&1"),
              "Grüße aus Köln\n");
  }
}

// Catches a file of streams joined one behind the other (an album written as one file)
// that stops after its first stream, and one whose streams differ in format decoded into a
// WAV whose header fits only part of it: that is refused with a detail instead.
TEST_P(OggCodecs, JoinedStreamsDecodeWholeWhenTheirFormatsAgree) {
  const std::string first = ReadFile(EncodedTone(2, 44100, 44100, "first"));
  const std::string second = ReadFile(EncodedTone(2, 44100, 22050, "second"));
  const std::string mono = ReadFile(EncodedTone(1, 44100, 22050, "mono"));
  WriteFile(dir_.File("joined" + Extension()), first + second);
  EventLog joined;
  Decode(dir_.File("joined" + Extension()), dir_.File("joined.wav"), joined);
  ASSERT_EQ(joined.Kinds().back(), kFinished) << joined.events.back().text;
  EXPECT_EQ(ReadWav(dir_.File("joined.wav")).Frames(), ExpectedFrames(44100, 44100) + ExpectedFrames(44100, 22050));

  WriteFile(dir_.File("mixed" + Extension()), first + mono);
  EventLog mixed;
  Decode(dir_.File("mixed" + Extension()), dir_.File("mixed.wav"), mixed);
  EXPECT_EQ(mixed.Kinds().back(), kFailed);
  EXPECT_NE(mixed.events.back().text.find("part way"), std::string::npos) << mixed.events.back().text;
}

// Catches a file of more than two channels written as a WAV whose channel order no player
// shares: Opus is mixed down to stereo (the library knows each layout's mix), Vorbis is
// refused with a detail.
TEST_P(OggCodecs, MoreThanTwoChannelsAreMixedDownOrRefused) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  WriteTestWav(dir_.File("six.wav"), 6, 48000, 48000);
  const std::string encoded = dir_.File("six" + Extension());
  Capture("ffmpeg -v error -y -i " + Quote(dir_.File("six.wav")) + " -c:a " +
          (GetParam().opus ? "libopus" : "libvorbis") + " " + Quote(encoded) + " 2>&1");
  if (!std::filesystem::exists(encoded)) GTEST_SKIP() << "ffmpeg cannot write six channels of this format";
  EventLog events;
  Decode(encoded, dir_.File("back.wav"), events);
  if (GetParam().opus) {
    ASSERT_EQ(events.Kinds().back(), kFinished) << events.events.back().text;
    const Decoded wav = ReadWav(dir_.File("back.wav"));
    EXPECT_EQ(wav.info.channels, 2);
    EXPECT_EQ(wav.Frames(), 48000u);
    EXPECT_NEAR(MeasureTone(wav, 0).hertz, 440.0, 2.0);
  } else {
    EXPECT_EQ(events.Kinds(), (std::vector<int>{kFailed}));
    EXPECT_EQ(events.events.back().text, "Encoder/decoder failed. The input file has more than two channels.");
  }
}

namespace {

// The encoding and decoding threads around the adapters, as the maker runs them.
class OggCodecThreads : public OggCodecs {
 protected:
  template <typename Thread, typename Job>
  std::unique_ptr<Thread> Run(const Job& job) {
    std::unique_ptr<Thread> thread = std::make_unique<Worker<Thread>>(loop_, host_, job);
    bool finished = false;
    thread->SetOnFinished([&] { finished = true; });
    thread->Start();
    EXPECT_TRUE(loop_.RunUntil([&] { return finished; }, std::chrono::seconds(120)));
    return thread;
  }

  QueueMainLoop loop_;
  RecordingHost host_;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Formats, OggCodecThreads,
                         ::testing::Values(OggFormat{"Vorbis", "vorbis", false}, OggFormat{"Opus", "opus", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches an adapter whose stream the tag writer cannot take (the job would fail after a
// good encode), tags that ffprobe does not see, and a file the decoding thread does not
// recognise by its content or decodes to another length.
TEST_P(OggCodecThreads, EncodedFileTakesItsTagsAndDecodesBack) {
  WriteTestWav(dir_.File("track.wav"), 2, 44100, 2 * 44100 + 99);
  EncoderJob job;
  job.inputPath = dir_.File("track.wav");
  job.mpegMode = GetParam().opus ? kModeOpus : kModeVorbis;
  AudioTags tags;
  tags.title = "Grüße – 東京";
  tags.artist = "Ünïcode";
  tags.track = 3;
  tags.trackCount = 12;
  tags.cover = CoverImage{"image/png", std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3}};
  job.tags = tags;
  auto encoder = Run<TEncodingThread>(job);
  ASSERT_FALSE(encoder->Error()) << host_.log.back();
  EXPECT_NE(std::find(host_.log.begin(), host_.log.end(), GetParam().opus ? "Opus, 160 kbps" : "Ogg Vorbis, Quality 5"),
            host_.log.end());
  const std::string encoded = dir_.File("track" + Extension());
  const std::optional<AudioTags> read =
      ReadAudioFileTags(encoded, GetParam().opus ? AudioFileFormat::Opus : AudioFileFormat::OggVorbis);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->title, tags.title);
  EXPECT_EQ(read->track, 3);
  EXPECT_EQ(read->trackCount, 12);
  EXPECT_EQ(read->cover, tags.cover);
  if (HaveTool("ffprobe")) {
    // (ffprobe's complaints about the made-up picture go to stderr, left out.)
    EXPECT_EQ(Capture("ffprobe -v error -show_entries stream_tags=title:format_tags=title -of default=nw=1:nk=1 " +
                      Quote(encoded) + " 2>/dev/null"),
              tags.title + "\n");
  }

  std::filesystem::rename(dir_.File("track.wav"), dir_.File("original.wav"));
  DecoderJob decode;
  decode.inputPath = encoded;
  auto decoder = Run<TDecodingThread>(decode);
  ASSERT_FALSE(decoder->Error()) << host_.log.back();
  const Decoded wav = ReadWav(dir_.File("track.wav"));
  EXPECT_EQ(wav.info.channels, 2);
  EXPECT_EQ(wav.Frames(), ExpectedFrames(44100, 2 * 44100 + 99));
}
