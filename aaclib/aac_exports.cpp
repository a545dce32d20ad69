// The plain C exports of libzbaaclib.so over the library's single decoder state.
#define ZBAACLIB_BUILDING 1
#include "aaclib/zbaaclib.h"

#include <algorithm>
#include <cerrno>
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

int32_t VerdictCode(zbaac::DecodeVerdict verdict) {
  switch (verdict) {
    case zbaac::DecodeVerdict::Running:
      return ZBAAC_VERDICT_RUNNING;
    case zbaac::DecodeVerdict::Ok:
      return ZBAAC_VERDICT_OK;
    case zbaac::DecodeVerdict::OkWithLosses:
      return ZBAAC_VERDICT_OK_WITH_LOSSES;
    case zbaac::DecodeVerdict::NoAudio:
      return ZBAAC_VERDICT_NO_AUDIO;
    case zbaac::DecodeVerdict::Damaged:
      return ZBAAC_VERDICT_DAMAGED;
    case zbaac::DecodeVerdict::CannotRead:
      return ZBAAC_VERDICT_CANNOT_READ;
  }
  return ZBAAC_VERDICT_DAMAGED;
}

uint32_t FormCode(zbaac::StreamForm form) {
  switch (form) {
    case zbaac::StreamForm::Raw:
      return ZBAAC_FORM_RAW;
    case zbaac::StreamForm::Adif:
      return ZBAAC_FORM_ADIF;
    case zbaac::StreamForm::Adts:
      return ZBAAC_FORM_ADTS;
  }
  return ZBAAC_FORM_RAW;
}

static_assert(sizeof(AacDecodeReport) == 88, "the record's layout is part of the interface");

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
    // No path: nothing to open, as for a missing file.
    const zbaac::StreamParameters parameters = decoder.Open(path != nullptr ? path : "");
    if (info != nullptr) {
      info->sampleRate = static_cast<uint16_t>(parameters.sampleRate & 0xFFFF);
      info->channelMode = parameters.channels == 2 ? 0 : 3;
      info->bitRate = parameters.bitRate;
    }
  } catch (...) {
    // Out of memory while setting up: the stream shows as ended at the first Decode.
    try {
      Decoder().Abandon(ENOMEM);
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

ZBAACLIB_EXPORT int32_t AACDecoder_Report(AacDecodeReport* report, uint32_t reportBytes) {
  AacDecodeReport filled{};
  try {
    const zbaac::AacDecoder& decoder = Decoder();
    const zbaac::DecodeReport& tally = decoder.Report();
    filled.inputBytes = tally.inputBytes;
    filled.blocksDecoded = tally.blocksDecoded;
    filled.blocksEmpty = tally.blocksEmpty;
    filled.blocksSilent = tally.blocksSilent;
    filled.framesSkipped = tally.framesSkipped;
    filled.bytesSkipped = tally.bytesSkipped;
    filled.bytesUnread = tally.bytesUnread;
    filled.bytesTruncated = tally.bytesTruncated;
    filled.bytesMetadata = tally.bytesMetadata;
    filled.verdict = VerdictCode(zbaac::Judge(tally));
    filled.errorNumber = tally.errorNumber;
    filled.lostPerMille = zbaac::LostPerMille(tally);
    filled.form = FormCode(decoder.Parameters().form);
  } catch (...) {
    // The decoder could not even be made: nothing was opened.
    filled.verdict = ZBAAC_VERDICT_RUNNING;
  }
  if (report != nullptr) std::memcpy(report, &filled, std::min<std::size_t>(reportBytes, sizeof filled));
  return filled.verdict;
}

ZBAACLIB_EXPORT int32_t AACDecoder_Length(uint64_t* blocks) {
  if (blocks != nullptr) *blocks = 0;
  try {
    zbaac::AacDecoder& decoder = Decoder();
    if (!decoder.IsOpen()) return ZBAAC_LENGTH_UNKNOWN;
    const zbaac::StreamLength length = decoder.Length();
    if (blocks != nullptr) *blocks = length.blocks;
    return length.exact ? ZBAAC_LENGTH_EXACT : ZBAAC_LENGTH_ESTIMATE;
  } catch (...) {
    return ZBAAC_LENGTH_UNKNOWN;
  }
}

ZBAACLIB_EXPORT int64_t AACDecoder_Seek(uint64_t block) {
  try {
    zbaac::AacDecoder& decoder = Decoder();
    if (!decoder.IsOpen() || decoder.ErrorFlag()) return -1;
    return static_cast<int64_t>(decoder.SeekToBlock(block));
  } catch (...) {
    return -1;
  }
}

ZBAACLIB_EXPORT int32_t AACDecoder_EncoderGap(uint32_t* delayFrames, uint64_t* validFrames) {
  std::optional<zbaac::EncoderGap> gap;
  try {
    const zbaac::AacDecoder& decoder = Decoder();
    if (decoder.IsOpen()) gap = decoder.Gap();
  } catch (...) {
    gap.reset();
  }
  if (delayFrames != nullptr) *delayFrames = gap ? gap->delayFrames : 0;
  if (validFrames != nullptr) *validFrames = gap ? gap->validFrames : 0;
  return gap ? 1 : 0;
}

}  // extern "C"
