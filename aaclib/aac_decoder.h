// The decoder state of one stream and the block pipeline: parse, spectral tools,
// filterbank, 16-bit output.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "aaclib/aac_dequantize.h"
#include "aaclib/aac_filterbank.h"
#include "aaclib/aac_ltp.h"
#include "aaclib/aac_noise.h"
#include "aaclib/aac_syntax.h"
#include "aaclib/bit_reader.h"

namespace zbaac {

enum class StreamForm { Raw, Adif, Adts };

// What Open learned about the stream.
struct StreamParameters {
  StreamForm form = StreamForm::Raw;
  int sampleRate = 44100;
  int channels = 2;          // the output is always two-channel
  std::uint32_t bitRate = 128000;
};

// Why the last Decode gave no output (for tests and the command-line tool).
enum class DecodeStop {
  None,          // the last Decode produced a block
  NotOpen,       // Open failed (missing or unreadable file) or was never called
  EndOfInput,    // the input ended
  StopElement,   // CCE, DSE, LFE or an element that cannot be decoded
  ErrorFlag,     // a fatal stream condition ended the stream earlier
};

// One stream's decoder. The library keeps a single instance for the process; tests make
// their own. Decode must not be called concurrently.
class AacDecoder {
 public:
  static constexpr int kOutputSamples = 2 * kFrameLength;

  AacDecoder();
  ~AacDecoder();
  AacDecoder(const AacDecoder&) = delete;
  AacDecoder& operator=(const AacDecoder&) = delete;

  // Opens the file (closing any earlier one) and reads its header. Never fails as such: a
  // file that cannot be opened leaves the decoder in the error state, so that the first
  // Decode returns 0, and the defaults in the result.
  StreamParameters Open(const std::string& path);
  // Same, for a stream held in memory.
  StreamParameters OpenBytes(std::vector<std::uint8_t> bytes);

  // Decodes the next block into out[0 .. 2047] (period k, channel c at out[2k + c]; a
  // one-channel stream fills both slots with the same sample). Returns a positive count
  // (bits fetched from the input, at least 1) when a block was written; 0 when there is
  // no more output. At the end of the input and after a block that fails, out is filled
  // with silence; while the error state is set (before the call), out is left untouched.
  std::int32_t Decode(std::int16_t* out);

  // Closes the input and frees the channel buffers. Safe to call at any time.
  void Close();

  DecodeStop LastStop() const { return lastStop_; }
  bool ErrorFlag() const { return errorFlag_; }
  std::uint64_t FrameCounter() const { return frameCounter_; }
  const StreamParameters& Parameters() const { return parameters_; }

 private:
  struct ChannelSlot {
    FilterbankChannel filterbank;  // also the history long-term prediction reads
  };
  StreamParameters Start(std::string path, std::vector<std::uint8_t>* bytes);
  // Runs the spectral tools and the filterbank over the parsed block, in place on its
  // dequantized coefficients.
  void Reconstruct(RawDataBlock& block);
  void WriteOutput(const RawDataBlock& block, std::int16_t* out) const;
  int MaxTnsOrderLong() const;

  bool open_ = false;
  bool errorFlag_ = false;
  DecodeStop lastStop_ = DecodeStop::NotOpen;
  std::uint64_t frameCounter_ = 0;
  StreamParameters parameters_;

  BitReader reader_;
  SyntaxState syntax_;
  std::unique_ptr<RawDataBlock> block_;
  std::unique_ptr<std::array<ChannelSlot, kMaxChannels>> slots_;
  Filterbank filterbank_;
  NoiseSubstitution noise_;
  LongTermPredictor predictor_;

  // ADTS framing: where the current frame ends and how many of its blocks are left.
  std::uint64_t adtsFrameEndBit_ = 0;
  int adtsBlocksLeft_ = 0;
  int adtsBlocksInFrame_ = 1;
  bool adtsProtected_ = false;
};

}  // namespace zbaac
