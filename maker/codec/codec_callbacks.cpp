// The encoder and decoder status callbacks of the maker.
#include "maker/codec/codec_callbacks.h"

#include <string>

#include "maker/codec/codec_event.h"
#include "maker/codec/codec_record.h"
#include "maker/codec/codec_text.h"

std::time_t SystemSeconds() { return std::time(nullptr); }

namespace {

bool IsEncoderError(uint8_t kind) {
  switch (static_cast<CodecEvent>(kind)) {
    case CodecEvent::LibraryMissing:
    case CodecEvent::CannotOpenInput:
    case CodecEvent::CannotCreateOutput:
    case CodecEvent::CannotWriteOutput:
    case CodecEvent::CannotReadInput:
    case CodecEvent::InvalidWavHeader:
    case CodecEvent::NotPcm16:
    case CodecEvent::NotStereo:
    case CodecEvent::BadSampleRate:
    case CodecEvent::CannotInitialize:
    case CodecEvent::CodecFailed:
    case CodecEvent::OutOfMemory:
      return true;
    case CodecEvent::MustBeStereo:
    case CodecEvent::Unused:
    case CodecEvent::Progress:
    case CodecEvent::Finished:
    case CodecEvent::Warning:
      return false;
  }
  return false;  // kinds 17..255
}

bool IsDecoderError(uint8_t kind) {
  switch (static_cast<CodecEvent>(kind)) {
    case CodecEvent::LibraryMissing:
    case CodecEvent::CannotCreateOutput:
    case CodecEvent::CannotWriteOutput:
    case CodecEvent::CannotInitialize:
    case CodecEvent::CodecFailed:
    case CodecEvent::OutOfMemory:
      return true;
    case CodecEvent::CannotOpenInput:
    case CodecEvent::CannotReadInput:
    case CodecEvent::InvalidWavHeader:
    case CodecEvent::NotPcm16:
    case CodecEvent::NotStereo:
    case CodecEvent::BadSampleRate:
    case CodecEvent::MustBeStereo:
    case CodecEvent::Unused:
    case CodecEvent::Progress:
    case CodecEvent::Finished:
    case CodecEvent::Warning:
      return false;
  }
  return false;
}

// The text the adapter passed, or the kind's own text when it passed none: an error kind
// always fails the job, whatever text came with it.
std::string ErrorText(uint8_t kind, int32_t value, const char* text) {
  return text != nullptr && *text != '\0' ? std::string(text) : CodecEventText(kind, value);
}

int32_t EncoderEvent(CodecRecord& job, uint8_t kind, int32_t value, const char* text) {
  std::string error;
  if (IsEncoderError(kind)) {
    error = ErrorText(kind, value, text);
  } else if (kind == static_cast<uint8_t>(CodecEvent::Progress)) {
    job.lastProgress = value > 10000 ? 10000 : (value < 0 ? 0 : value);
    const std::time_t now = job.Now();
    if (job.StatusDue(now)) {
      const std::string percent = FormatText("%i.%02i%%", job.lastProgress / 100, job.lastProgress % 100);
      job.messageText = FormatText(" %s Encoder: %s, %s", job.formatName.c_str(), percent.c_str(), job.outputPath.c_str());
      job.ShowStatusMessage();
      job.lastStatusTime = now;
    }
  } else if (kind == static_cast<uint8_t>(CodecEvent::Finished)) {
    job.Log(LogSeverity::Done, DoneText(static_cast<long>(job.Now() - job.startTime)));
  } else if (kind == static_cast<uint8_t>(CodecEvent::Warning) && text != nullptr && *text != '\0') {
    job.Log(LogSeverity::Warning, FormatText("    Warning: %s", text));
  }
  if (!error.empty()) {
    job.MarkError();
    job.Log(LogSeverity::Error, FormatText("    Error: %s (At %i.%02i%%)", error.c_str(), job.lastProgress / 100,
                                           job.lastProgress % 100));
    return 1;
  }
  return job.StopRequested() ? 1 : 0;
}

int32_t DecoderEvent(CodecRecord& job, uint8_t kind, int32_t value, const char* text) {
  std::string error;
  if (IsDecoderError(kind)) {
    error = ErrorText(kind, value, text);
  } else if (kind == static_cast<uint8_t>(CodecEvent::Progress)) {
    const std::time_t now = job.Now();
    if (job.StatusDue(now)) {
      const std::string bytes = FormatText("%i bytes", value);
      job.messageText = FormatText(" %s Decoder: %s, %s", job.formatName.c_str(), bytes.c_str(), job.outputPath.c_str());
      job.ShowStatusMessage();
      job.lastStatusTime = now;
    }
  } else if (kind == static_cast<uint8_t>(CodecEvent::Warning) && text != nullptr && *text != '\0') {
    job.Log(LogSeverity::Warning, FormatText("    Warning: %s", text));
  }
  if (!error.empty()) {
    job.MarkError();
    job.Log(LogSeverity::Error, FormatText("    Error: %s", error.c_str()));
    return 1;
  }
  return job.StopRequested() ? 1 : 0;
}

}  // namespace

int32_t EncoderStatusCallback(void* record, uint8_t kind, int32_t value, const char* text) {
  if (record == nullptr) return 0;
  try {
    return EncoderEvent(*static_cast<CodecRecord*>(record), kind, value, text);
  } catch (...) {
    return 1;  // nothing may cross back into the adapter; stopping is the safe answer
  }
}

int32_t DecoderStatusCallback(void* record, uint8_t kind, int32_t value, const char* text) {
  if (record == nullptr) return 0;
  try {
    return DecoderEvent(*static_cast<CodecRecord*>(record), kind, value, text);
  } catch (...) {
    return 1;
  }
}
