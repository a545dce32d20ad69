// Texts of the codec events and the one function that reports them.
#include "maker/codec/codec_event.h"

#include <array>
#include <cstring>

#include "common/fault_guard.h"

namespace {

constexpr std::array<const char*, 13> kEventTexts = {
    "Cannot load encoder/decoder DLL.",
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
    "Insufficient memory.",
};

}  // namespace

std::string CodecEventText(uint8_t kind, int32_t value, const char* detail) {
  if (kind == static_cast<uint8_t>(CodecEvent::Warning)) return detail != nullptr ? detail : "";
  if (kind >= kEventTexts.size()) return {};
  std::string text = kEventTexts[kind];
  if (kind == static_cast<uint8_t>(CodecEvent::CodecFailed)) {
    text += detail != nullptr ? detail : FaultText(static_cast<uint32_t>(value));
  }
  // An adapter that knows why its output cannot be created passes the errno along.
  if (kind == static_cast<uint8_t>(CodecEvent::CannotCreateOutput) && value > 0) {
    text.pop_back();
    text += ": ";
    text += std::strerror(value);
  }
  return text;
}

int32_t ReportCodecEvent(void* record, CodecStatusCallback callback, CodecEvent kind, int32_t value,
                         const char* detail) {
  if (callback == nullptr) return 0;
  const auto code = static_cast<uint8_t>(kind);
  if (kind == CodecEvent::Warning) return callback(record, code, value, detail != nullptr ? detail : "");
  if (code >= kEventTexts.size()) return callback(record, code, value, nullptr);
  const std::string text = CodecEventText(code, value, detail);
  return callback(record, code, value, text.c_str());
}
