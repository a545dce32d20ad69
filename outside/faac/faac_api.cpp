// The exported AAC encoder functions: input gathered into whole frames, blocks handed out
// through the caller's buffer (each behind its ADTS header when asked), the ADIF header
// built when the encoder is freed.
#include "outside/faac/faac_api.h"

#include <cstddef>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <vector>

#include "outside/faac/aac_encoder.h"
#include "outside/faac/adif_header.h"
#include "outside/faac/adts_header.h"

struct FaacEncoder {
  std::unique_ptr<AacEncoder> encoder;
  int channels = 0;
  uint32_t sampleRate = 0;
  int32_t configuredBitRate = 0;
  int32_t outputFormat = FAAC_OUTPUT_RAW;
  int32_t outputBufferBytes = 0;
  std::vector<int16_t> gathered;     // interleaved samples not yet a whole frame
  std::deque<std::vector<uint8_t>> pending;  // blocks that did not fit the last buffer
  size_t peakBlockBytes = 0;
  bool finished = false;
  bool failed = false;
};

namespace {

// Room for several blocks of the largest size the encoder may emit per channel.
constexpr int32_t kBlockBytesPerChannel = 8192;
constexpr int32_t kBlocksPerBuffer = 3;

// The export's result code for an encoder's error.
int32_t FromEncoder(const Error& error) {
  switch (error.CaseOr(AacEncoderFault::Encoder)) {
    case AacEncoderFault::Unsupported: return FAAC_ERR_ENCODER;
    case AacEncoderFault::Memory: return FAAC_ERR_MEMORY;
    case AacEncoderFault::Encoder: return FAAC_ERR_ENCODER;
  }
  return FAAC_ERR_ENCODER;
}

// Moves the blocks to the pending ones, each behind its ADTS header when the stream is
// framed.
int32_t Queue(FaacEncoder& h, AacBlocks& blocks) {
  for (auto& block : blocks) {
    if (block.size() > h.peakBlockBytes) h.peakBlockBytes = block.size();
    if (h.outputFormat == FAAC_OUTPUT_ADTS) {
      const auto header = BuildAdtsHeader(
          {h.encoder->ObjectType(), AacSamplingIndex(h.sampleRate), h.channels}, block.size());
      if (!header) return FAAC_ERR_ENCODER;
      block.insert(block.begin(), header->begin(), header->end());
    }
    h.pending.push_back(std::move(block));
  }
  blocks.clear();
  return FAAC_OK;
}

// Moves whole pending blocks into output while they fit.
int32_t HandOut(FaacEncoder& h, uint8_t* output) {
  int32_t used = 0;
  while (!h.pending.empty() && used + int32_t(h.pending.front().size()) <= h.outputBufferBytes) {
    const auto& block = h.pending.front();
    std::memcpy(output + used, block.data(), block.size());
    used += int32_t(block.size());
    h.pending.pop_front();
  }
  return used;
}

int32_t EncodeGathered(FaacEncoder& h, size_t wholeFrames) {
  const size_t frameSamples = size_t(AacEncoder::kFrameFrames) * h.channels;
  AacBlocks blocks;
  for (size_t i = 0; i < wholeFrames; ++i) {
    auto encoded = h.encoder->Encode(h.gathered.data() + i * frameSamples, AacEncoder::kFrameFrames, blocks);
    if (!encoded) return FromEncoder(encoded.Error());
  }
  h.gathered.erase(h.gathered.begin(), h.gathered.begin() + std::ptrdiff_t(wholeFrames * frameSamples));
  return Queue(h, blocks);
}

// Runs fn, turning exceptions into results and marking the handle failed on error.
template <typename Fn>
int32_t Guarded(FaacEncoder* h, Fn fn) {
  int32_t result = FAAC_ERR_ENCODER;
  try {
    result = fn();
  } catch (const std::bad_alloc&) {
    result = FAAC_ERR_MEMORY;
  } catch (...) {
    result = FAAC_ERR_ENCODER;
  }
  if (result != FAAC_OK && result != FAAC_ERR_ARGUMENT && result != FAAC_ERR_STATE) h->failed = true;
  return result;
}

}  // namespace

extern "C" {

FaacEncodeHandle faacEncodeInit(const FaacEncodeConfig* config, int32_t* samplesPerFrame,
                                int32_t* outputBufferBytes, int32_t* headerBytes) {
  if (config == nullptr || samplesPerFrame == nullptr || outputBufferBytes == nullptr || headerBytes == nullptr) {
    return nullptr;
  }
  const FaacEncodeConfig c = *config;
  if (c.channels < 1 || c.channels > 2 || c.inputRate != c.outputRate || c.useLfe != 0 || c.bitRate < 0 ||
      c.cutoffHz < 0 || AacSamplingIndex(uint32_t(c.inputRate)) < 0 ||
      (c.outputFormat != FAAC_OUTPUT_RAW && c.outputFormat != FAAC_OUTPUT_ADIF && c.outputFormat != FAAC_OUTPUT_ADTS)) {
    return nullptr;
  }
  try {
    auto handle = std::make_unique<FaacEncoder>();
    AacEncoderSettings settings;
    settings.channels = c.channels;
    settings.sampleRate = c.inputRate;
    settings.bitRate = c.bitRate;
    settings.cutoffHz = c.cutoffHz;
    settings.midSide = c.jointStereo != 0;
    settings.pns = c.usePns != 0;
    settings.tns = c.useTns != 0;
    settings.ltp = c.useLtp != 0;
    settings.intensityStereo = c.useIntensityStereo != 0;
    auto created = AacEncoder::Create(settings);
    if (!created) return nullptr;
    handle->encoder = std::move(created).Value();
    handle->channels = c.channels;
    handle->sampleRate = uint32_t(c.inputRate);
    handle->configuredBitRate = c.bitRate;
    handle->outputFormat = c.outputFormat;
    handle->outputBufferBytes = kBlocksPerBuffer * kBlockBytesPerChannel * c.channels;
    handle->gathered.reserve(size_t(AacEncoder::kFrameFrames) * c.channels * 2);

    *samplesPerFrame = AacEncoder::kFrameFrames * c.channels;
    *outputBufferBytes = handle->outputBufferBytes;
    *headerBytes = handle->outputFormat == FAAC_OUTPUT_ADIF ? int32_t(BuildAdifHeader({}).size()) : 0;
    return handle.release();
  } catch (...) {
    return nullptr;
  }
}

int32_t faacEncodeFrame(FaacEncodeHandle handle, const int16_t* pcm, int32_t pcmSamples, uint8_t* output,
                        int32_t* outputBytes) {
  if (handle == nullptr || output == nullptr || outputBytes == nullptr || pcmSamples < 0 ||
      (pcm == nullptr && pcmSamples > 0)) {
    return FAAC_ERR_ARGUMENT;
  }
  *outputBytes = 0;
  if (handle->finished || handle->failed) return FAAC_ERR_STATE;
  return Guarded(handle, [&] {
    handle->gathered.insert(handle->gathered.end(), pcm, pcm + pcmSamples);
    const size_t frameSamples = size_t(AacEncoder::kFrameFrames) * handle->channels;
    const int32_t encoded = EncodeGathered(*handle, handle->gathered.size() / frameSamples);
    if (encoded != FAAC_OK) return encoded;
    *outputBytes = HandOut(*handle, output);
    return FAAC_OK;
  });
}

int32_t faacEncodeFinish(FaacEncodeHandle handle, uint8_t* output, int32_t* outputBytes) {
  if (handle == nullptr || output == nullptr || outputBytes == nullptr) return FAAC_ERR_ARGUMENT;
  *outputBytes = 0;
  if (handle->finished || handle->failed) return FAAC_ERR_STATE;
  handle->finished = true;
  return Guarded(handle, [&] {
    const int channels = handle->channels;
    // A dangling left sample is completed with a silent right one.
    if (handle->gathered.size() % size_t(channels) != 0) handle->gathered.push_back(0);
    AacBlocks blocks;
    const int frames = int(handle->gathered.size() / size_t(channels));
    if (frames > 0) {
      auto encoded = handle->encoder->Encode(handle->gathered.data(), frames, blocks);
      if (!encoded) return FromEncoder(encoded.Error());
      handle->gathered.clear();
    }
    auto flushed = handle->encoder->Flush(blocks);
    if (!flushed) return FromEncoder(flushed.Error());
    if (const int32_t queued = Queue(*handle, blocks); queued != FAAC_OK) return queued;
    *outputBytes = HandOut(*handle, output);
    // Everything must leave now: there is no later call to carry the rest.
    if (!handle->pending.empty()) return FAAC_ERR_BUFFER;
    return FAAC_OK;
  });
}

int32_t faacEncodeFree(FaacEncodeHandle handle, uint8_t* output) {
  if (handle == nullptr) return FAAC_ERR_ARGUMENT;
  std::unique_ptr<FaacEncoder> owned(handle);
  if (output == nullptr || owned->outputFormat != FAAC_OUTPUT_ADIF) return FAAC_OK;
  try {
    AdifHeaderFields fields;
    // A variable-rate ADIF stream announces its peak rate, measured over one block.
    const uint64_t peak = uint64_t(owned->peakBlockBytes) * 8 * owned->sampleRate / AacEncoder::kFrameFrames;
    fields.peakBitRate = peak > 0 ? uint32_t(peak > 0x7FFFFF ? 0x7FFFFF : peak) : uint32_t(owned->configuredBitRate);
    fields.objectType = owned->encoder->ObjectType();
    fields.samplingIndex = AacSamplingIndex(owned->sampleRate);
    fields.channels = owned->channels;
    const std::vector<uint8_t> header = BuildAdifHeader(fields);
    std::memcpy(output, header.data(), header.size());
  } catch (...) {
    return FAAC_ERR_MEMORY;
  }
  return FAAC_OK;
}

}  // extern "C"
