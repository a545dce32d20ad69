// The failures of the player's decoder and stream input: their category, subject and text.
#include "outside/zbdecode/playback_decoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "outside/zbdecode/stream_input.h"
#include "tests/outside/gogo/test_media.h"
#include "tests/outside/zbdecode/player_media.h"
#include "tests/outside/zbdecode/stream_server.h"

namespace {

using test_media::ScratchDir;

// Catches a failed open that loses its kind (the file could not be opened, or it holds
// no MPEG audio), the name, or the words the player shows.
TEST(PlaybackDecoder, OpenFailuresSayWhatAndWhich) {
  ScratchDir dir;
  const std::string missing = dir.File("none.mp3");
  auto absent = PlaybackDecoder::Open(missing, PlaybackOptions{});
  ASSERT_FALSE(absent);
  EXPECT_EQ(absent.Error().category, ErrorCategory::Io);
  EXPECT_EQ(absent.Error().subject, missing);
  EXPECT_EQ(absent.Error().text, "Cannot play " + missing + ": " + absent.Error().reason);
  EXPECT_FALSE(absent.Error().reason.empty());

  // A FIFO is refused at once (never waited for), the reason said.
  const std::string fifo = dir.File("fifo.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto pipe = PlaybackDecoder::Open(fifo, PlaybackOptions{});
  ASSERT_FALSE(pipe);
  EXPECT_EQ(pipe.Error().category, ErrorCategory::Io);
  EXPECT_NE(pipe.Error().reason.find("FIFO"), std::string::npos) << pipe.Error().text;
  EXPECT_EQ(pipe.Error().text, "Cannot play " + fifo + ": " + pipe.Error().reason);

  const std::string text = dir.File("text.mp3");
  test_media::WriteFile(text, std::vector<unsigned char>(4096, 'a'));
  auto noAudio = PlaybackDecoder::Open(text, PlaybackOptions{});
  ASSERT_FALSE(noAudio);
  EXPECT_EQ(noAudio.Error().category, ErrorCategory::Format);
  EXPECT_EQ(noAudio.Error().text, "Cannot play " + text + ": " + noAudio.Error().reason);
}

// Catches a refused connection reported as anything but a network failure, or without
// the URL.
TEST(StreamInput, RefusedConnectionIsANetworkError) {
  const std::string url = "http://127.0.0.1:1/stream.mp3";
  auto opened = StreamInput::Open(url, std::chrono::milliseconds(5000));
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.Error().category, ErrorCategory::Network);
  EXPECT_EQ(opened.Error().subject, url);
  EXPECT_EQ(opened.Error().text.rfind("Cannot open " + url + ": ", 0), 0u) << opened.Error().text;
}

// Decodes a whole file to 16-bit PCM; empty when it cannot be opened.
std::vector<int16_t> DecodeAll(const std::string& path, int* channels) {
  auto opened = PlaybackDecoder::Open(path, PlaybackOptions{});
  EXPECT_TRUE(opened) << (opened ? "" : opened.Error().text);
  if (!opened) return {};
  PlaybackDecoder& decoder = *opened.Value();
  *channels = decoder.Format().channels;
  std::vector<int16_t> pcm;
  for (;;) {
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    auto next = decoder.Next(&data, &bytes);
    if (!next || next.Value() == PlaybackStatus::End) break;
    const auto* samples = reinterpret_cast<const int16_t*>(data);
    pcm.insert(pcm.end(), samples, samples + bytes / 2);
  }
  return pcm;
}

// The offset (in frames, within ±range) at which piece best matches tone[at + offset ...]
// over its first frames of channel 0.
long BestOffset(const std::vector<int16_t>& tone, const std::vector<int16_t>& piece, int channels, long at,
                long range) {
  const long frames = 4096;
  long best = 0;
  double bestError = 1e300;
  for (long offset = -range; offset <= range; ++offset) {
    double error = 0;
    for (long i = 0; i < frames; ++i) {
      const long t = at + offset + i;
      const double want = t >= 0 && size_t(t) * size_t(channels) < tone.size() ? tone[size_t(t) * size_t(channels)] : 0;
      const double d = want - piece[size_t(i) * size_t(channels)];
      error += d * d;
    }
    if (error < bestError) {
      bestError = error;
      best = offset;
    }
  }
  return best;
}

// Catches encoder delay and padding left in (a gap of about 50 ms between two files of
// one recording, and the second file's start heard late): two halves of one tone, encoded
// by lame each with its info frame, decode to exactly their own lengths, each starting
// where its part of the tone starts; joined they are the whole tone without a gap or an
// overlap longer than 1 ms. A seek keeps the trimmed timeline.
TEST(PlaybackDecoder, LameHalvesJoinWithoutAGap) {
  ScratchDir dir;
  const uint32_t rate = 44100;
  const int channels = 2;
  const std::vector<unsigned char> wav = player_test::ToneWav(rate, channels, 4.0, {330.0, 523.0});
  const std::vector<uint8_t> whole = player_test::WavData(std::vector<uint8_t>(wav.begin(), wav.end()));
  std::vector<int16_t> tone(whole.size() / 2);
  std::memcpy(tone.data(), whole.data(), tone.size() * 2);
  const size_t totalFrames = tone.size() / channels;
  // Cut where no MP3 frame boundary falls (1152 frames each).
  const size_t firstFrames = 1152 * 77 + 333;
  const std::vector<int16_t> first(tone.begin(), tone.begin() + std::ptrdiff_t(firstFrames * channels));
  const std::vector<int16_t> second(tone.begin() + std::ptrdiff_t(firstFrames * channels), tone.end());
  const size_t tolerance = rate / 1000;  // 1 ms
  std::vector<std::vector<int16_t>> decoded;
  for (const auto* half : {&first, &second}) {
    const std::string name = dir.File("half" + std::to_string(decoded.size()));
    test_media::WriteFile(name + ".wav", test_media::WavBytes(rate, channels, *half));
    int code = -1;
    test_media::Run("lame --quiet -b 192 '" + name + ".wav' '" + name + ".mp3'", &code);
    ASSERT_EQ(code, 0);
    int got = 0;
    decoded.push_back(DecodeAll(name + ".mp3", &got));
    ASSERT_EQ(got, channels);
  }
  const long firstLength = long(decoded[0].size() / channels), secondLength = long(decoded[1].size() / channels);
  EXPECT_NEAR(firstLength, long(firstFrames), long(tolerance)) << "the first half's delay or padding was kept";
  EXPECT_NEAR(secondLength, long(totalFrames - firstFrames), long(tolerance))
      << "the second half's delay or padding was kept";
  // Where each half starts in the tone, and where the second starts in the joined audio.
  EXPECT_NEAR(BestOffset(tone, decoded[0], channels, 0, 2000), 0, long(tolerance));
  const long secondAt = firstLength + BestOffset(tone, decoded[1], channels, firstLength, 2000);
  EXPECT_NEAR(secondAt, long(firstFrames), long(tolerance)) << "gap (+) or overlap (-) at the joint";

  // A seek to a frame of the trimmed timeline gives the tone from that frame.
  auto opened = PlaybackDecoder::Open(dir.File("half1.mp3"), PlaybackOptions{});
  ASSERT_TRUE(opened);
  PlaybackDecoder& decoder = *opened.Value();
  EXPECT_NEAR(long(decoder.LengthFrames()), long(totalFrames - firstFrames), long(tolerance));
  ASSERT_TRUE(decoder.Seek(44100));
  std::vector<int16_t> after;
  while (after.size() < 8192 * size_t(channels)) {
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    auto next = decoder.Next(&data, &bytes);
    ASSERT_TRUE(next && next.Value() != PlaybackStatus::End);
    const auto* samples = reinterpret_cast<const int16_t*>(data);
    after.insert(after.end(), samples, samples + bytes / 2);
  }
  EXPECT_NEAR(BestOffset(tone, after, channels, long(firstFrames) + 44100, 2000), 0, long(tolerance));
}

// A self-signed certificate for 127.0.0.1 made with openssl: cert.pem and key.pem in dir.
bool MakeCertificate(const ScratchDir& dir) {
  int code = -1;
  test_media::Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj "
                  "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                      dir.File("key.pem") + "' -out '" + dir.File("cert.pem") + "' 2>/dev/null",
                  &code);
  return code == 0;
}

// Sets an environment variable for one scope.
class EnvFor {
 public:
  EnvFor(const char* name, const std::string& value) : name_(name) { ::setenv(name, value.c_str(), 1); }
  ~EnvFor() { ::unsetenv(name_); }

 private:
  const char* name_;
};

// Catches HTTPS refused, or accepted without checking the certificate: a loopback TLS
// server with a certificate of its own plays exactly what the file holds when that
// certificate is trusted (through the variable tests use), and is refused with the reason
// when it is not.
TEST(StreamInput, HttpsPlaysWhenTheCertificateIsTrusted) {
  ScratchDir dir;
  ASSERT_TRUE(MakeCertificate(dir));
  const std::string mp3 = dir.File("song.mp3");
  ASSERT_TRUE(player_test::MakeMp3(mp3, 44100, 2, 1.0));
  player_test::StreamServer server({"http", mp3, "--tls", dir.File("cert.pem"), dir.File("key.pem")});
  ASSERT_GT(server.Port(), 0);
  const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/song.mp3";

  auto untrusted = PlaybackDecoder::Open(url, PlaybackOptions{});
  ASSERT_FALSE(untrusted) << "a certificate nobody vouches for was accepted";
  EXPECT_EQ(untrusted.Error().category, ErrorCategory::Network);
  EXPECT_NE(untrusted.Error().text.find(url), std::string::npos) << untrusted.Error().text;

  int fileChannels = 0, streamChannels = 0;
  const std::vector<int16_t> fromFile = DecodeAll(mp3, &fileChannels);
  EnvFor trust(kCaFileVariable, dir.File("cert.pem"));
  const std::vector<int16_t> fromStream = DecodeAll(url, &streamChannels);
  EXPECT_EQ(streamChannels, fileChannels);
  ASSERT_FALSE(fromStream.empty());
  EXPECT_TRUE(fromStream == fromFile) << fromStream.size() << " samples from the stream, " << fromFile.size()
                                      << " from the file";
}

// Catches a stream that keeps sending bytes without audio and so plays nothing for ever
// (while the player says "Playing"): with no frame within the limit the open fails, and a
// stream whose audio gives way to junk ends, both saying why.
TEST(StreamInput, AStreamWithoutAudioEndsAtTheLimit) {
  ScratchDir dir;
  const std::string junk = dir.File("junk.bin");
  test_media::WriteFile(junk, std::vector<unsigned char>(100, 'x'));
  PlaybackOptions options;
  options.noAudioLimit = std::chrono::milliseconds(800);
  {
    player_test::StreamServer server({"http", junk, "--junk"});
    ASSERT_GT(server.Port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/radio";
    const auto start = std::chrono::steady_clock::now();
    auto opened = PlaybackDecoder::Open(url, options);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.Error().text, "Cannot play " + url + ": no audio for 0.8 seconds");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
  }
  const std::string mp3 = dir.File("song.mp3");
  ASSERT_TRUE(player_test::MakeMp3(mp3, 44100, 2, 1.0));
  player_test::StreamServer server({"http", mp3, "--junk"});
  ASSERT_GT(server.Port(), 0);
  auto opened = PlaybackDecoder::Open("http://127.0.0.1:" + std::to_string(server.Port()) + "/radio", options);
  ASSERT_TRUE(opened) << opened.Error().text;
  PlaybackDecoder& decoder = *opened.Value();
  size_t frames = 0;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    auto next = decoder.Next(&data, &bytes);
    if (!next || next.Value() == PlaybackStatus::End) break;
    if (next.Value() == PlaybackStatus::Frame) frames += bytes / 4;
    ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "the junk plays on";
  }
  EXPECT_GT(frames, 40000u) << "the audio before the junk was lost";
  EXPECT_EQ(decoder.StreamEndReason(), "no audio for 0.8 seconds");
  EXPECT_FALSE(decoder.Cancelled());
}

}  // namespace
