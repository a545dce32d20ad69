// Contract tests of EncodeMp3File against a fake MP3 encoder library.
#include "maker/codec/mp3_encoder.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

#include "common/fault_guard.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

struct Mp3Options {
  uint16_t bitRate = 128;
  bool mono = false;
  bool mpeg2 = false;
  bool jointStereo = false;
  bool fastMode = false;
};

// One encode through the fake set; the fake's call log and the events in one list.
class Mp3EncodeTest : public ::testing::Test {
 protected:
  Mp3EncodeTest()
      : libDir_("ZIMBAR_LIB_DIR", FakeSet("codec")), fakeLog_("FAKE_GOGO_LOG", dir_.File("gogo.log")) {}

  void Encode(const std::string& input, const Mp3Options& o = {}) {
    EncodeMp3File(input, dir_.File("out.mp3"), o.bitRate, o.mono, o.mpeg2, o.jointStereo, o.fastMode, &events_,
                  &Mp3EncodeTest::Callback);
  }
  std::string Wav(uint16_t channels = 2, uint32_t rate = 44100, uint16_t bits = 16) {
    const std::string path = dir_.File("in.wav");
    WriteTestWav(path, channels, rate, 100, bits);
    return path;
  }
  std::vector<std::string> Calls() const { return ReadLines(dir_.File("gogo.log")); }
  // The "set" lines only, without the two file items.
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    for (const std::string& line : Calls()) {
      if (line.rfind("set ", 0) == 0 && line.rfind("set 1 ", 0) != 0 && line.rfind("set 2 ", 0) != 0) {
        items.push_back(line.substr(4));
      }
    }
    return items;
  }

  // Records the event in the events and, in order, in the fake's call log.
  static int32_t Callback(void* record, uint8_t kind, int32_t value, const char* text) {
    auto* self = static_cast<EventLog*>(record);
    if (const char* path = std::getenv("FAKE_GOGO_LOG")) std::ofstream(path, std::ios::app) << "event " << int(kind) << "\n";
    return CollectEvent(self, kind, value, text);
  }

  ScratchDir dir_;
  ScopedEnv libDir_;
  ScopedEnv fakeLog_;
  EventLog events_;
};

}  // namespace

// Catches a wrong rounding of halved mono rates or the wrong table.
TEST(MonoBitRate, HalvesAndRoundsUpToTheTable) {
  EXPECT_EQ(MonoBitRate(128, false), 64);
  EXPECT_EQ(MonoBitRate(96, false), 48);
  EXPECT_EQ(MonoBitRate(320, false), 160);
  EXPECT_EQ(MonoBitRate(40, false), 32);
  EXPECT_EQ(MonoBitRate(40, true), 24);
  EXPECT_EQ(MonoBitRate(8, true), 8);
  EXPECT_EQ(MonoBitRate(700, false), 350);  // nothing large enough: the half stays
}

// Catches items given in the wrong order, with wrong values, or the text items swapped.
TEST_F(Mp3EncodeTest, ConfiguresItemsInOrder) {
  Encode(Wav(), {.bitRate = 192, .jointStereo = true});
  const std::vector<std::string> calls = Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], "init");
  EXPECT_EQ(calls[1], "set 1 0 " + dir_.File("in.wav"));
  EXPECT_EQ(calls[2], "set 2 0 " + dir_.File("out.mp3"));
  EXPECT_EQ(Items(), (std::vector<std::string>{"4 192 -", "3 2 -", "8 1 -", "16 0 -"}));
  EXPECT_EQ(events_.Kinds().back(), 15);
}

// Catches mono rates not halved (MPEG-1 and MPEG-2 tables) or a mono channel mode missing.
TEST_F(Mp3EncodeTest, MonoHalvesTheBitRate) {
  const struct {
    uint16_t bitRate;
    bool mpeg2;
    uint32_t rate;
    const char* item;
  } cases[] = {{128, false, 44100, "4 64 -"}, {96, false, 44100, "4 48 -"}, {320, false, 44100, "4 160 -"},
               {8, true, 44100, "4 8 -"},     {40, false, 22050, "4 24 -"}, {40, false, 44100, "4 32 -"}};
  for (const auto& c : cases) {
    std::remove(dir_.File("gogo.log").c_str());
    Encode(Wav(2, c.rate), {.bitRate = c.bitRate, .mono = true, .mpeg2 = c.mpeg2});
    const std::vector<std::string> items = Items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[0], c.item) << c.bitRate << " kbps at " << c.rate;
    EXPECT_EQ(items[1], "3 0 -");
  }
}

// Catches a one-channel input encoded at the full stereo rate.
TEST_F(Mp3EncodeTest, OneChannelInputIsEncodedAsMono) {
  Encode(Wav(1), {.bitRate = 128});
  EXPECT_EQ(Items(), (std::vector<std::string>{"4 64 -", "3 0 -", "8 1 -", "16 0 -"}));
}

// Catches wrong VBR items, the wrong minimum rate at low sample rates, or fast mode ignored.
TEST_F(Mp3EncodeTest, VbrSetsMinimumRateAndQuality) {
  Encode(Wav(2, 44100), {.bitRate = 1004, .fastMode = true});
  EXPECT_EQ(Items(), (std::vector<std::string>{"4 32 -", "18 6 -", "3 1 -", "8 0 -", "16 0 -"}));
  std::remove(dir_.File("gogo.log").c_str());
  Encode(Wav(2, 22050), {.bitRate = 1010});
  EXPECT_EQ(Items(), (std::vector<std::string>{"4 8 -", "18 0 -", "3 1 -", "8 1 -", "16 0 -"}));
}

// Catches the half-rate output missing for MPEG-2 at 44100 Hz or set at 24000 Hz.
TEST_F(Mp3EncodeTest, Mpeg2ResamplesOnlyHighRates) {
  Encode(Wav(2, 44100), {.bitRate = 64, .mpeg2 = true});
  EXPECT_EQ(Items().back(), "6 22050 -");
  std::remove(dir_.File("gogo.log").c_str());
  Encode(Wav(2, 24000), {.bitRate = 64, .mpeg2 = true});
  for (const std::string& item : Items()) EXPECT_NE(item.rfind("6 ", 0), 0u) << item;
}

// Catches progress after frame 0, at the wrong frames or with the wrong value.
TEST_F(Mp3EncodeTest, ProgressEverySixteenFrames) {
  ScopedEnv frames("FAKE_GOGO_FRAMES", "40");
  Encode(Wav());
  EXPECT_EQ(events_.ProgressValues(), (std::vector<int32_t>{4000, 8000}));
  EXPECT_EQ(events_.Kinds().back(), 15);
  const std::vector<std::string> calls = Calls();
  EXPECT_EQ(calls[calls.size() - 3], "end 40");
  EXPECT_EQ(calls[calls.size() - 2], "event 15");
  EXPECT_EQ(calls.back(), "close");
}

// Catches a cancelled encode left unfinished or not reported as finished.
TEST_F(Mp3EncodeTest, CancelStillEndsTheOutputAndReportsFinished) {
  events_.stopAtProgress = 1;
  Encode(Wav());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{14, 15}));
  const std::vector<std::string> calls = Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "end 16"), calls.end());
  EXPECT_EQ(calls.back(), "close");
}

// Catches a fault inside the library ending the process or reported without its code.
TEST_F(Mp3EncodeTest, FaultInsideProcessFrameIsReportedAndTheRunGoesOn) {
  {
    ScopedEnv crash("FAKE_GOGO_CRASH_AT", "5");
    Encode(Wav());
  }
  ASSERT_EQ(events_.Kinds(), (std::vector<int>{11}));
  EXPECT_EQ(static_cast<uint32_t>(events_.events[0].value), kFaultAccessViolation);
  EXPECT_EQ(events_.events[0].text, "Encoder/decoder failed. exception: access violation");
  EXPECT_EQ(Calls().back(), "close");
  events_ = {};
  Encode(Wav());
  EXPECT_EQ(events_.Kinds().back(), 15);
}

// Catches frame failures, refused starts and end failures mapped to the wrong kinds.
TEST_F(Mp3EncodeTest, LibraryFailuresMapToKinds) {
  const struct {
    const char* variable;
    const char* value;
    int kind;
  } cases[] = {{"FAKE_GOGO_FAIL_AT", "3", 11}, {"FAKE_GOGO_INIT", "-1", 10}, {"FAKE_GOGO_DETECT", "-8", 10},
               {"FAKE_GOGO_DETECT", "-6", 2},  {"FAKE_GOGO_END", "-8", 11},  {"FAKE_GOGO_END", "-7", 3}};
  for (const auto& c : cases) {
    ScopedEnv setting(c.variable, c.value);
    events_ = {};
    Encode(Wav());
    ASSERT_FALSE(events_.events.empty());
    EXPECT_EQ(events_.events.back().kind, c.kind) << c.variable << "=" << c.value;
    EXPECT_EQ(events_.events.back().value, 0);
    EXPECT_EQ(Calls().back(), "close");
  }
}

// Catches unacceptable input reaching the encoder.
TEST_F(Mp3EncodeTest, InputChecksReportTheirKinds) {
  Encode(Wav(2, 44100, 8));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{6}));
  events_ = {};
  Encode(Wav(2, 11025));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{8}));
  events_ = {};
  WriteFile(dir_.File("bad.wav"), std::string(100, 'x'));
  Encode(dir_.File("bad.wav"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{5}));
  events_ = {};
  Encode(dir_.File("missing.wav"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{1}));
  for (const std::string& call : Calls()) EXPECT_NE(call, "detect");
}

// Catches a missing library or entry crashing instead of reporting kind 0.
TEST_F(Mp3EncodeTest, MissingLibraryOrEntryReportsKindZero) {
  {
    ScopedEnv incomplete("ZIMBAR_LIB_DIR", FakeSet("codec-incomplete"));
    Encode(Wav());
  }
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{0}));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"event 0", "close"}));
  events_ = {};
  ScratchDir broken;
  WriteFile(broken.File("libgogo.so"), "not a library");
  ScopedEnv brokenDir("ZIMBAR_LIB_DIR", broken.Path());
  Encode(Wav());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{0}));
}
