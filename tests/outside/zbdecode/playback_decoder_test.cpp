// The failures of the player's decoder and stream input: their category, subject and text.
#include "outside/zbdecode/playback_decoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "outside/zbdecode/stream_input.h"
#include "tests/outside/gogo/test_media.h"

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

}  // namespace
