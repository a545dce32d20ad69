// Contract tests of EncodeMp3File against a fake MP3 encoder library.
#include "maker/codec/mp3_encoder.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

#include "common/fault_guard.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

// One encode through the fake set; the fake's call log and the events in one list.
class Mp3EncodeTest : public ::testing::Test {
 protected:
  Mp3EncodeTest()
      : libDir_("ZIMBAR_LIB_DIR", FakeSet("codec")), fakeLog_("FAKE_GOGO_LOG", dir_.File("gogo.log")) {}

  void Encode(const std::string& input, const Mp3EncodeOptions& o = {}) {
    std::remove(dir_.File("gogo.log").c_str());
    events_ = {{}, 0, events_.stopAtProgress};
    EncodeMp3File(input, dir_.File("out.mp3"), o, &events_, &Mp3EncodeTest::Callback);
  }
  std::string Wav(uint16_t channels = 2, uint32_t rate = 44100, uint16_t bits = 16) {
    WriteTestWav(dir_.File("in.wav"), channels, rate, 100, bits);
    return dir_.File("in.wav");
  }
  std::vector<std::string> Calls() const { return ReadLines(dir_.File("gogo.log")); }
  // The "set" lines without the two file items, as "item value".
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    for (const std::string& line : Calls()) {
      if (line.rfind("set ", 0) == 0 && line.rfind("set 1 ", 0) && line.rfind("set 2 ", 0)) {
        items.push_back(line.substr(4, line.size() - 6));
      }
    }
    return items;
  }

  // Records the event in the events and, in order, in the fake's call log.
  static int32_t Callback(void* record, uint8_t kind, int32_t value, const char* text) {
    std::ofstream(std::getenv("FAKE_GOGO_LOG"), std::ios::app) << "event " << int(kind) << "\n";
    return CollectEvent(record, kind, value, text);
  }

  ScratchDir dir_;
  ScopedEnv libDir_;
  ScopedEnv fakeLog_;
  EventLog events_;
};

}  // namespace

// Catches items given in the wrong order or with wrong values: mono rates not halved (MPEG-1
// and MPEG-2 tables, 22050 Hz on the MPEG-2 table), a one-channel input at the stereo rate,
// wrong VBR minimum rate or quality (or a VBR rate halved for mono), fast mode ignored, the
// MPEG-2 half-rate output missing at 44100 Hz (also with VBR) or set at 24000 Hz.
TEST_F(Mp3EncodeTest, ConfiguresItemsInOrder) {
  const struct {
    Mp3EncodeOptions options;
    uint16_t channels;
    uint32_t rate;
    std::vector<std::string> items;
  } cases[] = {
      {{.bitRate = 192, .jointStereo = true}, 2, 44100, {"4 192", "3 2", "8 1", "16 0"}},
      {{.bitRate = 128, .mono = true}, 2, 44100, {"4 64", "3 0", "8 1", "16 0"}},
      {{.bitRate = 96, .mono = true}, 2, 44100, {"4 48", "3 0", "8 1", "16 0"}},
      {{.bitRate = 320, .mono = true}, 2, 44100, {"4 160", "3 0", "8 1", "16 0"}},
      {{.bitRate = 8, .mono = true, .mpeg2 = true}, 2, 44100, {"4 8", "3 0", "8 1", "16 0", "6 22050"}},
      {{.bitRate = 40, .mono = true}, 2, 22050, {"4 24", "3 0", "8 1", "16 0"}},
      {{.bitRate = 40, .mono = true}, 2, 44100, {"4 32", "3 0", "8 1", "16 0"}},
      {{.bitRate = 128}, 1, 44100, {"4 64", "3 0", "8 1", "16 0"}},
      {{.bitRate = 1004, .fastMode = true}, 2, 44100, {"4 32", "18 6", "3 1", "8 0", "16 0"}},
      {{.bitRate = 1010}, 2, 22050, {"4 8", "18 0", "3 1", "8 1", "16 0"}},
      {{.bitRate = 1001, .mono = true}, 2, 44100, {"4 32", "18 9", "3 0", "8 1", "16 0"}},
      {{.bitRate = 1005, .mpeg2 = true, .jointStereo = true}, 2, 44100,
       {"4 8", "18 5", "3 2", "8 1", "16 0", "6 22050"}},
      {{.bitRate = 64, .mpeg2 = true}, 2, 44100, {"4 64", "3 1", "8 1", "16 0", "6 22050"}},
      {{.bitRate = 64, .mpeg2 = true}, 2, 24000, {"4 64", "3 1", "8 1", "16 0"}},
  };
  for (const auto& c : cases) {
    Encode(Wav(c.channels, c.rate), c.options);
    EXPECT_EQ(Items(), c.items) << c.options.bitRate << " kbps at " << c.rate;
    EXPECT_EQ(Calls()[1], "set 1 0 " + dir_.File("in.wav"));
    EXPECT_EQ(Calls()[2], "set 2 0 " + dir_.File("out.mp3"));
    EXPECT_EQ(events_.Kinds().back(), 15);
  }
  EXPECT_EQ(MonoBitRate(700, false), 350);  // nothing large enough: the half stays
}

// Catches progress after frame 0, at the wrong frames or with the wrong value.
TEST_F(Mp3EncodeTest, ProgressEverySixteenFrames) {
  ScopedEnv frames("FAKE_GOGO_FRAMES", "40");
  Encode(Wav());
  EXPECT_EQ(events_.ProgressValues(), (std::vector<int32_t>{4000, 8000}));
  const std::vector<std::string> calls = Calls();
  EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()),
            (std::vector<std::string>{"end 40", "event 15", "close"}));
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
    Encode(Wav());
    ASSERT_FALSE(events_.events.empty());
    EXPECT_EQ(events_.events.back().kind, c.kind) << c.variable << "=" << c.value;
    EXPECT_EQ(events_.events.back().value, 0);
    EXPECT_EQ(Calls().back(), "close");
  }
}

// Catches unacceptable input reaching the encoder.
TEST_F(Mp3EncodeTest, InputChecksReportTheirKinds) {
  WriteTestWav(dir_.File("eight.wav"), 2, 44100, 10, 8);
  WriteTestWav(dir_.File("slow.wav"), 2, 11025, 10);
  WriteFile(dir_.File("bad.wav"), std::string(100, 'x'));
  for (const auto& [name, kind] : {std::pair{"eight.wav", 6}, {"slow.wav", 8}, {"bad.wav", 5}, {"missing.wav", 1}}) {
    Encode(dir_.File(name));
    EXPECT_EQ(events_.Kinds(), (std::vector<int>{kind})) << name;
    for (const std::string& call : Calls()) EXPECT_NE(call, "detect");
  }
}

// Catches a missing library or entry crashing instead of reporting kind 0.
TEST_F(Mp3EncodeTest, MissingLibraryOrEntryReportsKindZero) {
  {
    ScopedEnv incomplete("ZIMBAR_LIB_DIR", FakeSet("codec-incomplete"));
    Encode(Wav());
  }
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{0}));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"event 0", "close"}));
  ScratchDir broken;
  WriteFile(broken.File("libgogo.so"), "not a library");
  ScopedEnv brokenDir("ZIMBAR_LIB_DIR", broken.Path());
  Encode(Wav());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{0}));
}
