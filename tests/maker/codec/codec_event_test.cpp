// Tests of the codec event texts and ReportCodecEvent.
#include "maker/codec/codec_event.h"

#include <gtest/gtest.h>

#include "common/fault_guard.h"
#include "tests/maker/codec/codec_test_support.h"

// Catches a wrong or missing fixed text for any of the kinds 0..12.
TEST(CodecEvent, EveryKindCarriesItsFixedText) {
  const char* expected[] = {"Cannot load encoder/decoder DLL.",
                            "Cannot open input file.",
                            "Cannot create output file.",
                            "Cannot write to output file.",
                            "Cannot read input file.",
                            "Invalid WAV Header on input file.",
                            "Input file is not 16-bit PCM.",
                            "Input file is not stereo.",
                            "Invalid sample rate on input.",
                            "Input must be 'stereo'.",
                            "Cannot initialize encoder/decoder.",
                            "Encoder/decoder failed. ",
                            "Insufficient memory."};
  for (int kind = 0; kind <= 12; ++kind) {
    EventLog log;
    ReportCodecEvent(&log, CollectEvent, static_cast<CodecEvent>(kind));
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].text, expected[kind]) << "kind " << kind;
  }
}

// Catches a fault text not appended to kind 11, or appended for code 0.
TEST(CodecEvent, KindElevenAppendsTheFaultText) {
  EventLog log;
  ReportCodecEvent(&log, CollectEvent, CodecEvent::CodecFailed, static_cast<int32_t>(kFaultAccessViolation));
  ReportCodecEvent(&log, CollectEvent, CodecEvent::CodecFailed, 0);
  ReportCodecEvent(&log, CollectEvent, CodecEvent::CodecFailed, static_cast<int32_t>(0xC0000094u));
  ReportCodecEvent(&log, CollectEvent, CodecEvent::CodecFailed, 0x1234);
  ASSERT_EQ(log.events.size(), 4u);
  EXPECT_EQ(log.events[0].text, "Encoder/decoder failed. exception: access violation");
  EXPECT_EQ(log.events[0].value, static_cast<int32_t>(kFaultAccessViolation));
  EXPECT_EQ(log.events[1].text, "Encoder/decoder failed. ");
  EXPECT_EQ(log.events[2].text, "Encoder/decoder failed. exception: int divide by zero");
  EXPECT_EQ(log.events[3].text, "Encoder/decoder failed. exception: unknown");
}

// Catches a text passed with the progress, unused and finished kinds, or a lost value.
TEST(CodecEvent, KindsWithoutTextPassNullAndKeepTheValue) {
  struct Seen {
    int calls = 0;
    bool nullText = false;
    int32_t value = 0;
  } seen;
  auto callback = [](void* record, uint8_t, int32_t value, const char* text) -> int32_t {
    auto& s = *static_cast<Seen*>(record);
    ++s.calls;
    s.nullText = text == nullptr;
    s.value = value;
    return 7;
  };
  for (CodecEvent kind : {CodecEvent::Unused, CodecEvent::Progress, CodecEvent::Finished}) {
    EXPECT_EQ(ReportCodecEvent(&seen, callback, kind, 4321), 7);
    EXPECT_TRUE(seen.nullText);
    EXPECT_EQ(seen.value, 4321);
  }
  EXPECT_EQ(ReportCodecEvent(&seen, callback, static_cast<CodecEvent>(200), 1), 7);
  EXPECT_TRUE(seen.nullText);
}

// Catches a call through a null callback.
TEST(CodecEvent, NullCallbackAnswersZero) {
  EXPECT_EQ(ReportCodecEvent(nullptr, nullptr, CodecEvent::LibraryMissing), 0);
}
