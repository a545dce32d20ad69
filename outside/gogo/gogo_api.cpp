// The exported encoder functions: one process-wide encoder behind a lock.
#include "outside/gogo/gogo_api.h"

#include <memory>
#include <atomic>
#include <new>

#include "outside/gogo/mp3_encoder.h"

namespace {

struct GogoSession {
  Mp3EncoderSettings settings;
  bool vbr = false;
  std::unique_ptr<Mp3Encoder> encoder;
};

// Set while a call runs. A fault inside the encoder is caught by the host with a long
// jump that skips our clean-up, so a lock would stay held for ever: later calls would
// hang. With a flag they are refused instead, and the two calls that start and end an
// encode take over whatever a faulted call left behind.
std::atomic<bool> gBusy{false};
GogoSession gSession;

// The export's result code for an encoder's error.
int32_t ToResult(const Error& error) {
  switch (error.CaseOr(Mp3EncoderFault::Encoder)) {
    case Mp3EncoderFault::InputOpen: return GOGO_ERR_INPUT_OPEN;
    case Mp3EncoderFault::InputFormat: return GOGO_ERR_INPUT_FORMAT;
    case Mp3EncoderFault::InputRead: return GOGO_ERR_INPUT_READ;
    case Mp3EncoderFault::OutputOpen: return GOGO_ERR_OUTPUT_OPEN;
    case Mp3EncoderFault::OutputWrite: return GOGO_ERR_OUTPUT_WRITE;
    case Mp3EncoderFault::Encoder: return GOGO_ERR_ENCODER;
    case Mp3EncoderFault::Memory: return GOGO_ERR_MEMORY;
  }
  return GOGO_ERR_ENCODER;
}

enum class Entry { Ordinary, TakeOver };

// Runs fn with the busy flag set; an ordinary call made while another one runs (or after
// one faulted) gets GOGO_ERR_STATE. No exception leaves an export.
template <typename Fn>
int32_t Guarded(Entry entry, Fn fn) {
  if (gBusy.exchange(true) && entry == Entry::Ordinary) return GOGO_ERR_STATE;
  int32_t result = GOGO_ERR_ENCODER;
  try {
    result = fn(gSession);
  } catch (const std::bad_alloc&) {
    result = GOGO_ERR_MEMORY;
  } catch (...) {
    result = GOGO_ERR_ENCODER;
  }
  gBusy.store(false);
  return result;
}

int32_t SetItem(GogoSession& s, uint32_t item, uint32_t value, const char* text) {
  if (s.encoder) return GOGO_ERR_STATE;
  const bool small = value <= 0x7FFFFFFFu;
  switch (item) {
    case GOGO_ITEM_INPUT_FILE:
      if (text == nullptr) return GOGO_ERR_ITEM;
      s.settings.inputPath = text;
      return GOGO_OK;
    case GOGO_ITEM_OUTPUT_FILE:
      if (text == nullptr) return GOGO_ERR_ITEM;
      s.settings.outputPath = text;
      return GOGO_OK;
    case GOGO_ITEM_CHANNEL_MODE:
      if (value > 2) return GOGO_ERR_ITEM;
      s.settings.channelMode = int(value);
      return GOGO_OK;
    case GOGO_ITEM_BIT_RATE:
      if (value == 0 || value > 640) return GOGO_ERR_ITEM;
      s.settings.bitRateKbps = int(value);
      return GOGO_OK;
    case GOGO_ITEM_OUTPUT_FREQUENCY:
      if (!small) return GOGO_ERR_ITEM;
      s.settings.outputRate = int(value);
      return GOGO_OK;
    case GOGO_ITEM_QUALITY_MODE:
      if (value > 1) return GOGO_ERR_ITEM;
      s.settings.highQuality = value == 1;
      return GOGO_OK;
    case GOGO_ITEM_ERROR_PROTECTION:
      if (value > 1) return GOGO_ERR_ITEM;
      s.settings.errorProtection = value == 1;
      return GOGO_OK;
    case GOGO_ITEM_VBR_QUALITY:
      s.settings.vbrQuality = value <= 9 ? int(value) : -1;
      return GOGO_OK;
    default:
      return GOGO_ERR_ITEM;
  }
}

int32_t GetItem(GogoSession& s, uint32_t item, int32_t* out) {
  const Mp3EncoderSettings& c = s.settings;
  switch (item) {
    case GOGO_ITEM_CHANNEL_MODE: *out = c.channelMode; return GOGO_OK;
    case GOGO_ITEM_BIT_RATE: *out = c.bitRateKbps; return GOGO_OK;
    case GOGO_ITEM_OUTPUT_FREQUENCY: *out = c.outputRate; return GOGO_OK;
    case GOGO_ITEM_QUALITY_MODE: *out = c.highQuality ? 1 : 0; return GOGO_OK;
    case GOGO_ITEM_ERROR_PROTECTION: *out = c.errorProtection ? 1 : 0; return GOGO_OK;
    case GOGO_ITEM_VBR_QUALITY: *out = c.vbrQuality; return GOGO_OK;
    case GOGO_ITEM_FRAME_COUNT:
    case GOGO_ITEM_INPUT_FREQUENCY:
    case GOGO_ITEM_INPUT_CHANNELS:
      break;
    default:
      return GOGO_ERR_ITEM;
  }
  if (!s.encoder) return GOGO_ERR_STATE;
  if (item == GOGO_ITEM_FRAME_COUNT) *out = int32_t(s.encoder->TotalBlocks());
  if (item == GOGO_ITEM_INPUT_FREQUENCY) *out = int32_t(s.encoder->InputRate());
  if (item == GOGO_ITEM_INPUT_CHANNELS) *out = s.encoder->InputChannels();
  return GOGO_OK;
}

}  // namespace

extern "C" {

int32_t MPGE_initializeWork(void) {
  return Guarded(Entry::TakeOver, [](GogoSession& s) {
    s = GogoSession{};
    return GOGO_OK;
  });
}

int32_t MPGE_setConfigure(uint32_t item, uint32_t value, const char* text) {
  return Guarded(Entry::Ordinary, [&](GogoSession& s) { return SetItem(s, item, value, text); });
}

int32_t MPGE_getConfigure(uint32_t item, void* value) {
  if (value == nullptr) return GOGO_ERR_ITEM;
  return Guarded(Entry::Ordinary, [&](GogoSession& s) {
    int32_t result = 0;
    const int32_t status = GetItem(s, item, &result);
    if (status == GOGO_OK) *static_cast<int32_t*>(value) = result;
    return status;
  });
}

int32_t MPGE_detectConfigure(void) {
  return Guarded(Entry::Ordinary, [](GogoSession& s) {
    if (s.encoder) return GOGO_ERR_STATE;
    auto started = Mp3Encoder::Start(s.settings);
    if (!started) return ToResult(started.Error());
    s.encoder = std::move(started).Value();
    return GOGO_OK;
  });
}

int32_t MPGE_processFrame(void) {
  return Guarded(Entry::Ordinary, [](GogoSession& s) {
    if (!s.encoder) return GOGO_ERR_STATE;
    auto encoded = s.encoder->EncodeNextBlock();
    if (!encoded) return ToResult(encoded.Error());
    return encoded.Value() ? GOGO_OK : GOGO_END_OF_INPUT;
  });
}

int32_t MPGE_endCoder(void) {
  return Guarded(Entry::Ordinary, [](GogoSession& s) {
    if (!s.encoder) return GOGO_ERR_STATE;
    auto finished = s.encoder->Finish();
    if (!finished) return ToResult(finished.Error());
    return GOGO_OK;
  });
}

int32_t MPGE_closeCoder(void) {
  return Guarded(Entry::TakeOver, [](GogoSession& s) {
    s.encoder.reset();
    return GOGO_OK;
  });
}

}  // extern "C"
