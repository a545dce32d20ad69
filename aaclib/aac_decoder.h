// The decoder state of one stream and the block pipeline: parse, spectral tools,
// filterbank, 16-bit output.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "aaclib/aac_dequantize.h"
#include "aaclib/aac_filterbank.h"
#include "aaclib/aac_ltp.h"
#include "aaclib/aac_noise.h"
#include "aaclib/aac_syntax.h"
#include "aaclib/adts_header.h"
#include "aaclib/bit_reader.h"
#include "aaclib/decode_report.h"
#include "aaclib/encoder_gap.h"

namespace zbaac {

enum class StreamForm { Raw, Adif, Adts };

// What Open learned about the stream.
struct StreamParameters {
  StreamForm form = StreamForm::Raw;
  int sampleRate = 44100;
  int channels = 2;          // the output is always two-channel
  std::uint32_t bitRate = 128000;
};

// How long a stream lasts, in blocks of 1024 sample periods.
struct StreamLength {
  std::uint64_t blocks = 0;
  bool exact = false;  // counted from the frame headers; else estimated
};

// Why the last Decode gave no output (for tests and the command-line tool).
enum class DecodeStop {
  None,          // the last Decode produced a block
  NotOpen,       // Open failed (missing or unreadable file) or was never called
  EndOfInput,    // the input ended
  StopElement,   // CCE, DSE, LFE, an element that cannot be decoded, or no further frame
  ErrorFlag,     // a fatal stream condition ended the stream earlier
};

// One stream's decoder. The library keeps a single instance for the process; tests make
// their own. Decode must not be called concurrently.
//
// Damage: an ADTS stream carries a header in every frame. A frame that does not decode is
// replaced by silence of its length (the channels' history is cleared, so that the next
// frame starts as a stream does), and a stretch without a frame header is searched
// through for the next header; the frames such a stretch stood for (its length over the
// mean frame length, rounded) also become silence, so that what follows keeps its time.
// Raw and ADIF streams have no marks to find again: they end at the first block that
// does not decode. Report() says what was decoded, skipped and left, and judges it.
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
  // one-channel stream fills both slots with the same sample; a block without channel
  // elements, and one in place of a lost frame, is silence). Returns a positive count
  // (bits fetched from the input, at least 1) when a block was written; 0 when there is
  // no more output. At the end of the input and after a block that fails, out is filled
  // with silence; while the error state is set (before the call), out is left untouched.
  std::int32_t Decode(std::int16_t* out);

  // Closes the input and frees the channel buffers. Safe to call at any time.
  void Close();
  // Gives up on the stream opened last (Open ran out of memory): no block more, and the
  // report says the input could not be read, with `errorNumber`.
  void Abandon(int errorNumber);

  // The stream's length. ADTS: the blocks its frame headers announce, counted once (the
  // frame index that Seek uses). Raw and ADIF streams carry no such marks: their length is
  // estimated from their size over the mean bits per block of their first 64 blocks
  // (decoded by a decoder of its own), exact when they end within those. Zero blocks when
  // nothing is open.
  StreamLength Length();
  // Makes the next Decode give block `block` (counted from the start of the stream, 0 the
  // first) and returns it; beyond the end, the stream's length (the next Decode returns 0).
  // ADTS: goes to the frame that holds the block by the frame index, decodes the frame
  // before it unheard (the filterbank's overlap of a block comes from the one before) and
  // then the blocks of the frame in front of the asked one. Raw and ADIF streams decode
  // forward to it, from the start again when it lies behind. In the error state nothing
  // moves and the current block is returned.
  std::uint64_t SeekToBlock(std::uint64_t block);
  // The encoder delay and padding the stream states, if it does (see encoder_gap.h). The
  // blocks are given as they decode: the caller drops what the gap says.
  const std::optional<EncoderGap>& Gap() const { return gap_; }
  // The block the next Decode gives: the blocks given since Open (or the last seek's target).
  std::uint64_t NextBlock() const { return nextBlock_; }

  // What the decode came to so far; its verdict is final once Decode has returned 0.
  const DecodeReport& Report() const { return report_; }
  DecodeStop LastStop() const { return lastStop_; }
  bool ErrorFlag() const { return errorFlag_; }
  bool IsOpen() const { return open_; }
  std::uint64_t FrameCounter() const { return frameCounter_; }
  const StreamParameters& Parameters() const { return parameters_; }

 private:
  struct ChannelSlot {
    FilterbankChannel filterbank;  // also the history long-term prediction reads
  };
  StreamParameters Start(std::string path, std::vector<std::uint8_t>* bytes);
  // Where the stream starts (ID3v2 tag aside) and what form it has; the first frame's
  // header for ADTS.
  void FindStream(const AacInput& input);
  std::int32_t DecodeRawBlock(std::int16_t* out);
  std::int32_t DecodeAdtsBlock(std::int16_t* out);
  // Finds the next frame (where the last one ends, else by a search) and reads its header;
  // false at the end of the stream, with what is left accounted for.
  bool StartAdtsFrame();
  // The search of StartAdtsFrame when no frame stands where the last one ends.
  bool FindNextAdtsFrame(std::uint64_t expected);
  // Makes the frame whose header the reader has just read the current one.
  void TakeAdtsFrame(std::uint64_t frameStart, const AdtsHeader& frame);
  // The current frame did not decode: the rest of its blocks become silence.
  void SkipDamagedFrame();
  // Lost audio: the next block starts without history, as at the start of a stream.
  void ClearChannelHistory();
  // The bytes of [from, to) not yet counted as decoded or lost (a frame found again may
  // overlap one counted before); counts them from now on.
  std::uint64_t Unaccounted(std::uint64_t from, std::uint64_t to);
  // The decode is over: Decode gives no more blocks.
  void End(DecodeStop stop);
  // Where every ADTS frame starts and the number of its first block; built on first use.
  struct FrameMark {
    std::uint64_t byte = 0;
    std::uint64_t firstBlock = 0;
  };
  void BuildFrameIndex();
  // Decodes blocks unheard until the next one is `block` or the stream ends.
  void SkipBlocksTo(std::uint64_t block);

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

  DecodeReport report_;
  std::optional<EncoderGap> gap_;
  std::string path_;                 // of the file opened last (empty for bytes in memory)
  std::uint64_t nextBlock_ = 0;
  std::vector<FrameMark> frameIndex_;
  bool frameIndexBuilt_ = false;
  std::uint64_t streamStartByte_ = 0;  // behind an ID3v2 tag
  std::uint64_t streamEndByte_ = 0;    // before an ID3v1 record

  // ADTS framing: the first frame's header (every frame must repeat its fixed part), where
  // the current frame starts and ends, how many of its blocks are left, where the next
  // frame is expected and where a search for it starts.
  AdtsHeader adtsReference_;
  std::uint64_t adtsFrameStartByte_ = 0;
  std::uint64_t adtsFrameEndBit_ = 0;
  std::uint64_t adtsNextFrameByte_ = 0;
  std::uint64_t adtsSearchFromByte_ = 0;
  std::uint64_t adtsFrameBytesSeen_ = 0;  // of the frames found so far, for their mean length
  std::uint64_t adtsFramesSeen_ = 0;
  std::uint64_t accountedToByte_ = 0;     // bytes before it are counted as decoded or lost
  std::uint64_t silentBlocksDue_ = 0;     // silence still owed for lost frames
  int adtsBlocksLeft_ = 0;
  int adtsBlocksInFrame_ = 1;
  bool adtsProtected_ = false;
  // The parse state before the current frame that a damaged frame may have changed, taken
  // back when the frame turns out damaged (the selected program's record is read only when
  // an ADIF header is opened).
  struct FrameStartState {
    int samplingIndex = 4;
    int objectType = -1;
    int selectedProgramTag = -1;
    bool implicitConfig = true;
    std::uint64_t blockIndex = 0;
    ChannelMapReference reference;
    ChannelMap map;  // kept only while a program configuration assigns the channels

    void Save(const SyntaxState& syntax);
    void Restore(SyntaxState& syntax) const;
  };
  FrameStartState frameStart_;
};

}  // namespace zbaac
