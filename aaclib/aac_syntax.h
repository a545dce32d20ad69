// What the parse of one raw data block yields for the spectral and filterbank stages,
// the stream-wide parse state, and the entry that parses one block.
#pragma once

#include <array>
#include <cstdint>

#include "aaclib/channel_map.h"
#include "aaclib/program_config.h"
#include "common/error.h"
#include "common/result.h"

namespace zbaac {

class BitReader;

constexpr int kFrameLength = 1024;     // spectral lines per channel and block
constexpr int kShortWindowLength = 128;
constexpr int kMaxWindows = 8;
constexpr int kMaxBands = 64;          // room for any max_sfb; layouts have at most 51 bands
constexpr int kMaxChannels = 2;
constexpr int kMaxTnsFilters = 4;      // n_filt is 2 bits in long windows
constexpr int kMaxTnsOrder = 32;       // order is 5 bits in long windows
constexpr int kMaxLtpLongBands = 40;   // ltp_long_used is sent for bands below min(max_sfb, 40)
constexpr int kMaxElements = 64;       // element list capacity per block

enum class WindowSequence : std::uint8_t {
  OnlyLong = 0,
  LongStart = 1,
  EightShort = 2,
  LongStop = 3,
};

// Codebook numbers as they stand in the section data, plus one internal value.
enum Codebook : std::uint8_t {
  kZeroHcb = 0,
  kEscHcb = 11,
  kReservedHcb = 12,
  kNoiseHcb = 13,
  kIntensityHcb2 = 14,  // out of phase
  kIntensityHcb = 15,   // in phase
  // Set on a right-channel noise band whose ms_used flag was set: the band repeats the
  // noise shape of the same band of the left channel (M/S and intensity bookkeeping).
  kNoiseCorrelatedHcb = 113,
};

enum class ElementType : std::uint8_t {
  Sce = 0,
  Cpe = 1,
  Cce = 2,
  Lfe = 3,
  Dse = 4,
  Pce = 5,
  Fil = 6,
  End = 7,
};

struct LtpData {
  bool present = false;           // ltp_data_present
  int lag = 0;                    // 0 .. 2047
  int coefIndex = 0;              // 0 .. 7, into LtpCoefficient()
  std::array<std::uint8_t, kMaxBands> longUsed{};  // per band; 0 at and above min(maxSfb, 40)
};

struct IcsInfo {
  WindowSequence windowSequence = WindowSequence::OnlyLong;
  std::uint8_t windowShape = 0;   // 0 sine, 1 KBD
  int maxSfb = 0;
  int numWindows = 1;             // 1 long, 8 short
  int numWindowGroups = 1;
  std::array<std::uint8_t, kMaxWindows> windowGroupLength{1};  // windows per group
  std::array<std::uint8_t, kMaxWindows> groupEnd{1};           // window index after each group
  std::array<std::uint8_t, kMaxWindows> windowGroup{};         // group of each window
  bool predictorDataPresent = false;
};

struct TnsFilter {
  int length = 0;                 // bands covered
  int order = 0;                  // as transmitted (0 .. 31 long, 0 .. 7 short)
  int direction = 0;              // 1: filter runs downward
  int coefCompress = 0;
  int topBand = 0;                // first filter: the window's band count, then previous bottom
  int bottomBand = 0;             // max(topBand - length, 0)
  std::array<std::int8_t, kMaxTnsOrder> coef{};  // sign-extended from coef_res + 3 - compress bits
};

struct TnsWindow {
  int nFilt = 0;
  int coefRes = 0;                // 0: 3-bit coefficients, 1: 4-bit
  std::array<TnsFilter, kMaxTnsFilters> filters{};
};

struct PulseData {
  bool present = false;
  int numberPulse = 0;            // 1 .. 4 when present
  int startSfb = 0;
  std::array<std::uint8_t, 4> offset{};
  std::array<std::uint8_t, 4> amp{};
};

// One individual channel stream as parsed, everything per window in window order.
struct ChannelStream {
  IcsInfo info;                   // for the right channel of a common-window pair: a copy of the left's
  LtpData ltp;                    // this channel's own prediction data
  int globalGain = 0;

  // Scalefactor band layout of this block (from the sampling index and the window sequence).
  int numSwb = 0;                 // bands per window
  std::array<std::uint16_t, kMaxBands + 1> swbOffset{};  // band starts within a window, numSwb + 1 entries
  int windowLength = kFrameLength;                       // 1024 long, 128 short

  // Per window w (0 .. numWindows-1) and band b (0 .. numSwb-1); windows of a group share
  // the group's row. Bands at and above maxSfb have codebook 0.
  std::array<std::array<std::uint8_t, kMaxBands>, kMaxWindows> codebook{};
  // By the band's codebook: 1 .. 11 the scalefactor (0 .. 255); 13 (and 113) the noise
  // energy; 14, 15 the intensity position; 0 the value 0.
  std::array<std::array<std::int16_t, kMaxBands>, kMaxWindows> scalefactor{};

  PulseData pulse;                // already applied to `spectrum`
  bool tnsDataPresent = false;
  std::array<TnsWindow, kMaxWindows> tns{};  // windows without TNS have nFilt 0
  bool gainControlDataPresent = false;       // the error flag is set; no data read

  // Quantized coefficients in window order: window w holds [w*128, w*128+128) for short
  // blocks, ascending band order within the window. Pulse data applied.
  std::array<std::int32_t, kFrameLength> spectrum{};
  // The same lines dequantized and scaled by their band's gain (0 where the band has no
  // spectral data); the spectral tools and the filterbank work on them in place.
  std::array<float, kFrameLength> coefs{};
};

// M/S data of the block's channel pair (its channels are the CPE entry's firstChannel and
// the one after it).
struct PairStereo {
  bool commonWindow = false;
  int msMaskPresent = 0;          // 0 none, 1 per band, 2 all bands, 3 reserved (read as 1)
  // Per group and band; set for all bands when msMaskPresent is 2. After the bookkeeping,
  // flags of intensity and noise bands of the right channel are cleared when msMaskPresent is 1.
  std::array<std::array<std::uint8_t, kMaxBands>, kMaxWindows> msUsed{};
};

struct ElementEntry {
  ElementType type = ElementType::End;
  int tag = 0;
  int firstChannel = -1;          // channel slot of an SCE / the left channel of a CPE; -1 for others
  int channels = 0;               // 1 SCE, 2 CPE, 0 for non-channel elements
};

// Everything one raw data block yields.
struct RawDataBlock {
  int samplingIndex = 4;
  int channelCount = 0;           // channels of the channel map in this block (set at END)
  std::array<bool, kMaxChannels> channelPresent{};
  std::array<ChannelStream, kMaxChannels> channels{};
  std::array<int, kMaxChannels> infoChannel{0, 1};  // whose ics_info a channel uses
  PairStereo pair;                // of the CPE in this block, if any (msMaskPresent 0 otherwise)
  bool hasPair = false;
  int elementCount = 0;
  std::array<ElementEntry, kMaxElements> elements{};
  // Raised by this block: a third channel without a program configuration, a channel
  // layout that differs from the first block's, pulse data in a short window, gain control.
  // The block still parses as far as it can; the decoder treats the flag as sticky.
  bool errorFlag = false;
  // Bit position of the block's first bit (after the initial byte alignment).
  std::uint64_t startBit = 0;
};

// What went wrong in a block. The decoder and the tests act on some of the cases (the end
// of the input in particular); every failure carries one, attached to its Error.
enum class SyntaxFault {
  ReservedCodebook,          // codebook 12 in the section data
  ScalefactorRange,          // scalefactor outside 0 .. 255
  SectionsMismatch,          // sections do not end at the band count
  MaxSfbTooLarge,            // max_sfb above the layout's band count
  NoSuchChannel,             // a channel element that the channel map cannot place
  UnsupportedElement,        // CCE, DSE or LFE: the element loop stops
  MainPrediction,            // backward prediction of the Main profile
  EscapeTooLong,             // escape prefix beyond the standard's limit (magnitude 8191)
  SpectrumOverflow,          // spectral data past the 1024 values of the channel
  PulseOutOfRange,           // pulse position outside the frame
  NoiseOrIntensityRange,     // noise energy or intensity position outside the usable range
  TooManyElements,           // element list full
  EndOfInput,                // the block ran past the end of the input
};

const char* SyntaxFaultText(SyntaxFault fault);

// The error of a block that failed with `fault` at `position` (the bit where the failing
// element or field was read, where known), with the offending value: category Format
// (Unsupported for the elements and tools this decoder leaves out), the case attached.
// "bits match no codeword (value 3) at bit 81234". Made only on failure.
Error SyntaxFailure(SyntaxFault fault, ErrorPosition position, int value = 0);
// The same at the reader's position.
Error SyntaxErrorAt(const BitReader& reader, SyntaxFault fault, int value = 0);

// How a block ended when it did not fail.
enum class BlockEnd {
  EndElement,  // END read: the block is complete
};

// Parse state that lasts for the whole stream (Open to Close).
struct SyntaxState {
  int samplingIndex = 4;          // 44100 Hz until a program configuration says otherwise
  int objectType = -1;            // audio object type if known (1 Main, 2 LC, 4 LTP); -1 unknown
  int selectedProgramTag = -1;    // -1 until the first program configuration is read
  ProgramConfig selectedProgram;
  bool implicitConfig = true;     // channels assigned from the elements as they come
  ChannelMap map;
  ChannelMapReference reference;
  std::uint64_t blockIndex = 0;   // blocks parsed so far; block 0 fixes the implicit map
};

// Parses one raw data block into `block` (overwritten): byte-aligns first, then runs the element loop up to END.
// Fails (Decode gives no output for the block) on a channel element that cannot be
// decoded, on CCE, DSE or LFE, on Main-profile prediction and at end of input before END.
// `block.errorFlag` reports the conditions that end the stream after this block.
Expected<BlockEnd> ParseRawDataBlock(BitReader& reader, SyntaxState& state,
                                     RawDataBlock& block);

// The long-term-prediction coefficient for ltp_coef 0 .. 7.
float LtpCoefficient(int coefIndex);

}  // namespace zbaac
