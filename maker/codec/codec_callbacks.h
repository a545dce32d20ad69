// The maker's two status callbacks: what the encoder and decoder events show and flag.
#pragma once

#include <cstdint>

// Both take a CodecRecord* as the record. Errors become a log line and the job's error flag
// and return 1; otherwise they return 1 when the job is being cancelled, else 0.
//
// Encoder: kinds 0..8, 10, 11, 12 are errors, logged as "    Error: %s (At %i.%02i%%)" with
// the last progress (kind 7 counts as an error so a refused mono AAC encode never passes as
// a finished job); kind 14 stores the progress (clamped to 0..10000) and refreshes the status
// panel when the clock has moved on by two seconds since the last refresh; kind 15 logs
// "    Done (n seconds)." (DoneText); kind 16 logs "    Warning: %s" with its text.
int32_t EncoderStatusCallback(void* record, uint8_t kind, int32_t value, const char* text);

// Decoder: kinds 0, 2, 3, 10, 11, 12 are errors, logged as "    Error: %s"; kind 14 (bytes
// written so far) refreshes the status panel under the same two-second rule; kind 16 logs
// "    Warning: %s" with its text (a loss that does not fail the job).
int32_t DecoderStatusCallback(void* record, uint8_t kind, int32_t value, const char* text);
