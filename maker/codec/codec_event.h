// The status contract every codec adapter reports through: event kinds, their texts, the callback.
#pragma once

#include <cstdint>
#include <string>

// Kinds of events an adapter reports. Kinds 0..12 carry a fixed English text; 13..15 none;
// 16 the text the adapter gives.
enum class CodecEvent : uint8_t {
  LibraryMissing = 0,      // "Cannot load encoder/decoder DLL."
  CannotOpenInput = 1,     // "Cannot open input file."
  CannotCreateOutput = 2,  // "Cannot create output file.", or ": " + strerror of a nonzero value
  CannotWriteOutput = 3,   // "Cannot write to output file."
  CannotReadInput = 4,     // "Cannot read input file."
  InvalidWavHeader = 5,    // "Invalid WAV Header on input file."
  NotPcm16 = 6,            // "Input file is not 16-bit PCM."
  NotStereo = 7,           // "Input file is not stereo."
  BadSampleRate = 8,       // "Invalid sample rate on input."
  MustBeStereo = 9,        // "Input must be 'stereo'."
  CannotInitialize = 10,   // "Cannot initialize encoder/decoder."
  CodecFailed = 11,        // "Encoder/decoder failed. " + fault text of the value
  OutOfMemory = 12,        // "Insufficient memory."
  Unused = 13,
  Progress = 14,           // value: hundredths of a percent, or output bytes (AAC decoder)
  Finished = 15,
  Warning = 16,            // the adapter's text: a loss that does not fail the job ("    Warning: %s")
};

// Called by an adapter on its own thread. `record` is opaque to the adapter and passed back
// unchanged; `text` is null for kinds 13..15. A nonzero result asks the adapter to stop: it
// then cleans up and returns. Implementations must not throw.
using CodecStatusCallback = int32_t (*)(void* record, uint8_t kind, int32_t value, const char* text);

// The text of a kind: the fixed text for 0..12 (kind 11 followed by the fault text of
// `value`, or by `detail` when one is given: a failure that is no fault of a library),
// `detail` for kind 16, "" for every other kind.
std::string CodecEventText(uint8_t kind, int32_t value, const char* detail = nullptr);

// How an adapter's run ended: the final event it reports and that event's value.
struct CodecOutcome {
  CodecEvent kind;
  int32_t value = 0;             // the fault code of kind 11
  const char* detail = nullptr;  // kind 11 only: what failed, when no fault did (text that
                                 // lives until the event is reported)
};

// Builds the text of the kind and hands the event to the callback; returns the callback's
// answer, or 0 at once when there is no callback.
int32_t ReportCodecEvent(void* record, CodecStatusCallback callback, CodecEvent kind, int32_t value = 0,
                         const char* detail = nullptr);
// Reports the final event of an adapter's run.
inline int32_t ReportCodecEvent(void* record, CodecStatusCallback callback, const CodecOutcome& outcome) {
  return ReportCodecEvent(record, callback, outcome.kind, outcome.value, outcome.detail);
}
