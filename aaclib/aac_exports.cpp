// The four plain C exports of libzbaaclib.so over the library's single decoder state.
#define ZBAACLIB_BUILDING 1
#include "aaclib/zbaaclib.h"

#include <cstring>

#include "aaclib/aac_decoder.h"

namespace {

// The one decoder of the process, made on first use and destroyed when the library is
// unloaded. Callers use one thread at a time. Call only inside a try block: making it may
// throw std::bad_alloc.
zbaac::AacDecoder& Decoder() {
  static zbaac::AacDecoder decoder;
  return decoder;
}

void FillDefaults(AacStreamInfo* info) {
  if (info == nullptr) return;
  info->sampleRate = 44100;
  info->channelMode = 0;
  info->bitRate = 128000;
}

}  // namespace

extern "C" {

ZBAACLIB_EXPORT int32_t AACDecoder_Open(AacStreamInfo* info, const char* path) {
  try {
    zbaac::AacDecoder& decoder = Decoder();
    if (path == nullptr) {
      decoder.Close();
      FillDefaults(info);
      return 0;
    }
    const zbaac::StreamParameters parameters = decoder.Open(path);
    if (info != nullptr) {
      info->sampleRate = static_cast<uint16_t>(parameters.sampleRate & 0xFFFF);
      info->channelMode = parameters.channels == 2 ? 0 : 3;
      info->bitRate = parameters.bitRate;
    }
  } catch (...) {
    // Out of memory while setting up: the stream shows as ended at the first Decode.
    try {
      Decoder().Close();
    } catch (...) {
    }
    FillDefaults(info);
  }
  return 0;
}

ZBAACLIB_EXPORT int32_t AACDecoder_Decode(int16_t* out) {
  if (out == nullptr) return 0;
  try {
    return Decoder().Decode(out);
  } catch (...) {
    return 0;
  }
}

ZBAACLIB_EXPORT int32_t AACDecoder_Close(void) {
  try {
    Decoder().Close();
  } catch (...) {
  }
  return 0;
}

ZBAACLIB_EXPORT int32_t AACDecoder_Version(AacVersionInfo* info) {
  if (info != nullptr) {
    info->word0 = 0;
    info->word1 = 0;
    info->text[0] = '\0';
  }
  return 0;
}

}  // extern "C"
