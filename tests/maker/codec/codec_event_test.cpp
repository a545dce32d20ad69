// Tests of the codec event texts and ReportCodecEvent.
#include "maker/codec/codec_event.h"

#include <gtest/gtest.h>

#include "common/fault_guard.h"
#include "tests/maker/codec/codec_test_support.h"

// Catches a wrong or missing fixed text for any of the kinds 0..12.
TEST(CodecEvent, EveryKindCarriesItsFixedText) {
  const char* expected[] = {"Cannot load encoder/decoder DLL.", "Cannot open input file.",
                            "Cannot create output file.", "Cannot write to output file.", "Cannot read input file.",
                            "Invalid WAV Header on input file.", "Input file is not 16-bit PCM.",
                            "Input file is not stereo.", "Invalid sample rate on input.", "Input must be 'stereo'.",
                            "Cannot initialize encoder/decoder.", "Encoder/decoder failed. ", "Insufficient memory."};
  EventLog log;
  for (int kind = 0; kind <= 12; ++kind) ReportCodecEvent(&log, CollectEvent, static_cast<CodecEvent>(kind));
  ASSERT_EQ(log.events.size(), 13u);
  for (int kind = 0; kind <= 12; ++kind) EXPECT_EQ(log.events[kind].text, expected[kind]) << "kind " << kind;
}

// Catches a fault text not appended to kind 11, or appended for code 0.
TEST(CodecEvent, KindElevenAppendsTheFaultText) {
  EventLog log;
  for (uint32_t code : {kFaultAccessViolation, 0u, 0xC0000094u, 0x1234u}) {
    ReportCodecEvent(&log, CollectEvent, CodecEvent::CodecFailed, static_cast<int32_t>(code));
  }
  ASSERT_EQ(log.events.size(), 4u);
  EXPECT_EQ(log.events[0].text, "Encoder/decoder failed. exception: access violation");
  EXPECT_EQ(log.events[0].value, static_cast<int32_t>(kFaultAccessViolation));
  EXPECT_EQ(log.events[1].text, "Encoder/decoder failed. ");
  EXPECT_EQ(log.events[2].text, "Encoder/decoder failed. exception: int divide by zero");
  EXPECT_EQ(log.events[3].text, "Encoder/decoder failed. exception: unknown");
}

// Catches a text passed with the progress, unused, finished or unknown kinds, a lost value or
// answer, or a call through a null callback.
TEST(CodecEvent, KindsWithoutTextPassNullAndKeepTheValue) {
  auto callback = [](void* record, uint8_t, int32_t value, const char* text) -> int32_t {
    *static_cast<bool*>(record) = text == nullptr && value == 4321;
    return 7;
  };
  for (int kind : {13, 14, 15, 200}) {
    bool nullTextAndValue = false;
    EXPECT_EQ(ReportCodecEvent(&nullTextAndValue, callback, static_cast<CodecEvent>(kind), 4321), 7);
    EXPECT_TRUE(nullTextAndValue) << "kind " << kind;
  }
  EXPECT_EQ(ReportCodecEvent(nullptr, nullptr, CodecEvent::LibraryMissing), 0);
}

// Catches the text of a warning lost on its way to the callback.
TEST(CodecEvent, WarningPassesTheAdaptersText) {
  auto callback = [](void* record, uint8_t kind, int32_t, const char* text) -> int32_t {
    *static_cast<std::string*>(record) = std::to_string(kind) + ":" + (text != nullptr ? text : "(null)");
    return 0;
  };
  std::string seen;
  ReportCodecEvent(&seen, callback, CodecEvent::Warning, 0, "Ignored 12 bytes of trailing data.");
  EXPECT_EQ(seen, "16:Ignored 12 bytes of trailing data.");
  EXPECT_EQ(CodecEventText(16, 0, "x"), "x");
}
