// The exported decoder functions and the records the caller reads.
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "outside/zbdecode/input_source.h"
#include "outside/zbdecode/mpeg_decoder.h"
#include "outside/zbdecode/zbdecode_api.h"

struct ZbdDecoderPrivate {
  ZbdDecoder record{};
  ZbdInputStatus input{};
  ZbdStreamInfo info{};
  ZbdOutputBuffer output{};
  std::vector<ZbdInputModule> modules;
  std::string name;
  int64_t sizeBytes = -1;
  uint64_t framesOut = 0;
  // Declared before the decoder, so that the decoder, which reads from it, goes first.
  std::unique_ptr<InputSource> source;
  std::unique_ptr<MpegDecoder> decoder;
};

namespace {

ZbdDecoderPrivate* Private(ZbdDecoder* decoder) {
  if (decoder == nullptr || decoder->internal == nullptr || &decoder->internal->record != decoder) return nullptr;
  return decoder->internal;
}

void CloseInput(ZbdDecoderPrivate& d) {
  d.decoder.reset();
  d.source.reset();
  d.output = ZbdOutputBuffer{};
  d.output.bytesPerSample = 2;
  d.info = ZbdStreamInfo{};
  d.framesOut = 0;
  d.sizeBytes = -1;
}

// Position and size share one unit small enough for the size to fit 32 bits.
void UpdatePosition(ZbdDecoderPrivate& d) {
  const int64_t position = d.decoder ? d.decoder->InputPosition() : 0;
  const uint64_t size = d.sizeBytes > 0 ? uint64_t(d.sizeBytes) : 0;
  uint32_t shift = 0;
  while ((size >> shift) > 0xFFFFFFFFu) ++shift;
  d.input.unitShift = shift;
  d.input.size = uint32_t(size >> shift);
  uint64_t at = position > 0 ? uint64_t(position) : 0;
  if (size > 0 && at > size) at = size;
  d.input.position = uint32_t(at >> shift);
}

int32_t Decode(ZbdDecoderPrivate& d) {
  if (d.input.state == ZBD_INPUT_ENDED) return ZBD_END_OF_INPUT;
  if (d.input.state != ZBD_INPUT_OPEN || !d.decoder) return ZBD_ERR_STATE;
  MpegFrame frame;
  const MpegFrameStatus status = d.decoder->DecodeFrame(frame);
  UpdatePosition(d);
  switch (status) {
    case MpegFrameStatus::Frame: {
      const MpegFrameInfo info = d.decoder->Info();
      d.info.mpegVersion = info.mpegVersion;
      d.info.layer = info.layer;
      d.info.bitRate = info.bitRate;
      d.info.sampleRate = info.sampleRate;
      d.info.channelMode = info.channelMode;
      d.info.variableRate = info.variableRate;
      d.info.frameBytes = info.frameBytes;
      ++d.info.framesDecoded;
      d.output.pcm = const_cast<int16_t*>(frame.pcm);
      d.output.bytes = uint32_t(frame.bytes);
      d.output.capacityBytes = uint32_t(frame.bytes);
      d.output.bytesPerSample = 2;
      d.output.stereo = frame.channels == 2 ? 1 : 0;
      d.output.sampleRate = frame.sampleRate;
      d.output.startFrames = uint32_t(d.framesOut);
      d.framesOut += frame.bytes / (2 * size_t(frame.channels));
      return ZBD_OK;
    }
    case MpegFrameStatus::NoFrameYet:
      return ZBD_NO_FRAME_YET;
    case MpegFrameStatus::Skipped:
      return ZBD_FRAME_SKIPPED;
    case MpegFrameStatus::End:
      d.input.state = ZBD_INPUT_ENDED;
      return ZBD_END_OF_INPUT;
    case MpegFrameStatus::ReadError:
      d.input.state = ZBD_INPUT_ENDED;
      return ZBD_ERR_INPUT_READ;
    case MpegFrameStatus::DecodeError:
      d.input.state = ZBD_INPUT_ENDED;
      return ZBD_ERR_DECODE;
  }
  return ZBD_ERR_FAILURE;
}

// Turns exceptions into a result: none may leave an export.
template <typename Fn>
int32_t Guarded(Fn fn) {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    return ZBD_ERR_MEMORY;
  } catch (...) {
    return ZBD_ERR_FAILURE;
  }
}

}  // namespace

extern "C" {

ZBDECODE_EXPORT int32_t decoder_new(ZbdDecoder** decoder) {
  if (decoder == nullptr) return ZBD_ERR_ARGUMENT;
  *decoder = nullptr;
  auto* d = new (std::nothrow) ZbdDecoderPrivate;
  if (d == nullptr) return ZBD_ERR_MEMORY;
  d->record.structBytes = sizeof(ZbdDecoder);
  d->record.inputStatus = &d->input;
  d->record.streamInfo = &d->info;
  d->record.outputBuffer = &d->output;
  d->record.internal = d;
  d->input.moduleId = -1;
  d->output.bytesPerSample = 2;
  *decoder = &d->record;
  return ZBD_OK;
}

ZBDECODE_EXPORT int32_t decoder_delete(ZbdDecoder* decoder) {
  ZbdDecoderPrivate* d = Private(decoder);
  if (d == nullptr) return decoder == nullptr ? ZBD_OK : ZBD_ERR_ARGUMENT;
  decoder->internal = nullptr;
  delete d;
  return ZBD_OK;
}

ZBDECODE_EXPORT int32_t decoder_input_module_register(ZbdDecoder* decoder, const ZbdInputModule* module) {
  ZbdDecoderPrivate* d = Private(decoder);
  if (d == nullptr || module == nullptr || module->structBytes != sizeof(ZbdInputModule) ||
      module->open == nullptr || module->read == nullptr || module->accepts == nullptr) {
    return ZBD_ERR_ARGUMENT;
  }
  if (d->modules.size() >= ZBD_MAX_INPUT_MODULES) return ZBD_ERR_TOO_MANY_MODULES;
  return Guarded([&] {
    d->modules.push_back(*module);
    d->record.moduleCount = uint32_t(d->modules.size());
    return int32_t(d->modules.size() - 1);
  });
}

ZBDECODE_EXPORT int32_t decoder_input_new(ZbdDecoder* decoder, const char* name, int32_t moduleId) {
  ZbdDecoderPrivate* d = Private(decoder);
  if (d == nullptr || name == nullptr) return ZBD_ERR_ARGUMENT;
  if (moduleId < -1 || moduleId >= int32_t(d->modules.size())) return ZBD_ERR_ARGUMENT;
  return Guarded([&] {
    CloseInput(*d);
    d->input = ZbdInputStatus{};
    d->input.moduleId = -1;
    int32_t chosen = moduleId;
    if (chosen == -1) {
      for (size_t i = 0; i < d->modules.size(); ++i) {
        if (d->modules[i].accepts(name) != 0) {
          chosen = int32_t(i);
          break;
        }
      }
    } else if (d->modules[size_t(chosen)].accepts(name) == 0) {
      chosen = -1;
    }
    if (chosen == -1) return ZBD_ERR_NO_MODULE;
    d->name = name;
    d->input.name = d->name.c_str();
    d->input.moduleId = chosen;
    d->input.state = ZBD_INPUT_CREATED;
    return ZBD_OK;
  });
}

ZBDECODE_EXPORT int32_t decoder_input_open(ZbdDecoder* decoder) {
  ZbdDecoderPrivate* d = Private(decoder);
  if (d == nullptr) return ZBD_ERR_ARGUMENT;
  if (d->input.state != ZBD_INPUT_CREATED) return ZBD_ERR_STATE;
  return Guarded([&] {
    auto source = std::make_unique<InputSource>();
    const int32_t opened = InputSource::Open(d->modules[size_t(d->input.moduleId)], d->name, source.get());
    if (opened != ZBD_OK) return opened;
    auto decoder = MpegDecoder::Open(*source);
    if (!decoder) return decoder.Error().category == ErrorCategory::Io ? ZBD_ERR_MEMORY : ZBD_ERR_DECODE;
    d->sizeBytes = source->Size();
    d->source = std::move(source);
    d->decoder = std::move(decoder).Value();
    d->input.state = ZBD_INPUT_OPEN;
    UpdatePosition(*d);
    return ZBD_OK;
  });
}

ZBDECODE_EXPORT int32_t decoder_decode(ZbdDecoder* decoder, void* reserved) {
  ZbdDecoderPrivate* d = Private(decoder);
  if (d == nullptr || reserved != nullptr) return ZBD_ERR_ARGUMENT;
  const int32_t result = Guarded([&] { return Decode(*d); });
  if (result != ZBD_OK && result != ZBD_NO_FRAME_YET && result != ZBD_FRAME_SKIPPED &&
      d->input.state == ZBD_INPUT_OPEN) {
    d->input.state = ZBD_INPUT_ENDED;
  }
  d->record.lastResult = uint32_t(result);
  return result;
}

ZBDECODE_EXPORT int32_t file_input_module_register(ZbdInputModule* module) {
  if (module == nullptr) return ZBD_ERR_ARGUMENT;
  *module = FileInputModule();
  return ZBD_OK;
}

}  // extern "C"
