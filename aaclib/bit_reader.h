// MSB-first bit reader over an AacInput with a 64-bit cache.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "aaclib/aac_input.h"

namespace zbaac {

// Reads the fields of the AAC syntax. Past the end of the input every bit reads as 0,
// so callers never read outside a buffer; they check PastEnd() where it matters.
//
// The unread bits sit at the top of a 64-bit cache. Refill() tops it up to at least
// kRefillBits bits, eight bytes in one load while the current input load has eight bytes
// left, byte by byte near the end of a load and past the end of the input (zeros there).
// Code on a hot path refills once and then peeks and skips without any check, as long
// as it takes no more than it made sure of; ReadBits refills by itself when needed.
class BitReader {
 public:
  static constexpr int kRefillBits = 56;

  BitReader() = default;
  explicit BitReader(AacInput input) : input_(std::move(input)) {
    const auto bytes = input_.Bytes();
    next_ = bytes.data();
    end_ = bytes.data() + bytes.size();
    loadStart_ = next_;
  }
  BitReader(BitReader&& other) noexcept { *this = std::move(other); }
  BitReader& operator=(BitReader&& other) noexcept;
  BitReader(const BitReader&) = delete;
  BitReader& operator=(const BitReader&) = delete;

  // The next `bits` bits (0 .. 32), most significant first.
  std::uint32_t ReadBits(int bits) {
    if (bits_ < bits) Refill();
    const std::uint32_t value = Peek(bits);
    Skip(bits);
    return value;
  }
  bool ReadBit() { return ReadBits(1) != 0; }
  // Drops the unread bits before the next byte boundary of the input; returns how many.
  int ByteAlign() {
    const int dropped = bits_ & 7;  // the cache holds whole bytes
    Skip(dropped);
    return dropped;
  }
  // Skips `bits` bits (any count).
  void SkipBits(std::uint64_t bits);
  // Goes on from byte `offset` of the input (forwards or backwards; the end of the input
  // is found afresh).
  void SeekToByte(std::uint64_t offset);

  // Makes at least kRefillBits bits available.
  void Refill() {
    if (end_ - next_ >= 8) {
      RefillFrom(next_, cache_, bits_);
    } else {
      RefillSlow();
    }
  }
  // Bits that Peek and Skip may take without a refill.
  int BitsAvailable() const { return bits_; }
  // The next `bits` bits (0 .. 32; at most BitsAvailable()) without taking them.
  std::uint32_t Peek(int bits) const { return static_cast<std::uint32_t>((cache_ >> 1) >> (63 - bits)); }
  // Takes `bits` bits (at most BitsAvailable()).
  void Skip(int bits) {
    cache_ <<= bits;
    bits_ -= bits;
  }

  // Bits consumed since the stream start (position of the next unread bit).
  std::uint64_t BitPosition() const {
    return 8 * (input_.BytesBeforeBuffer() + static_cast<std::uint64_t>(next_ - loadStart_) + zeroBytes_) -
           static_cast<std::uint64_t>(bits_);
  }
  // True once the reader has asked for bytes beyond the last one of the input.
  bool EndOfInput() const { return endSeen_; }
  // True once reads have gone beyond the last bit of the input (they returned zeros).
  bool PastEnd() const { return endSeen_ && BitPosition() > dataEndBit_; }
  const AacInput& Input() const { return input_; }

  // A copy of the reader's cache for a hot loop, so that it stays in registers while the
  // loop stores its results: the same Refill, Peek and Skip, written back to the reader
  // by Commit() and when the cursor goes away. The reader must not be used meanwhile
  // except through Reader(), which commits first.
  class Cursor {
   public:
    explicit Cursor(BitReader& reader)
        : reader_(reader), next_(reader.next_), end_(reader.end_), cache_(reader.cache_), bits_(reader.bits_) {}
    ~Cursor() { Commit(); }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // Always inline, and the slow way takes and gives the fields by value: a cursor whose
    // address reached a call would keep its cache in memory rather than in registers.
    [[gnu::always_inline]] void Refill() {
      if (end_ - next_ >= 8) [[likely]] {
        RefillFrom(next_, cache_, bits_);
      } else {
        const State state = reader_.RefillSlowFrom(State{next_, end_, cache_, bits_});
        next_ = state.next;
        end_ = state.end;
        cache_ = state.cache;
        bits_ = state.bits;
      }
    }
    int BitsAvailable() const { return bits_; }
    std::uint32_t Peek(int bits) const { return static_cast<std::uint32_t>((cache_ >> 1) >> (63 - bits)); }
    void Skip(int bits) {
      cache_ <<= bits;
      bits_ -= bits;
    }
    std::uint32_t ReadBits(int bits) {
      if (bits_ < bits) Refill();
      const std::uint32_t value = Peek(bits);
      Skip(bits);
      return value;
    }
    void Commit() {
      reader_.next_ = next_;
      reader_.cache_ = cache_;
      reader_.bits_ = bits_;
    }
    BitReader& Reader() {
      Commit();
      return reader_;
    }

   private:
    BitReader& reader_;
    const std::uint8_t* next_;
    const std::uint8_t* end_;
    std::uint64_t cache_;
    int bits_;
  };

 private:
  // Eight bytes at `next` into the cache (they must lie within the current load). The bits
  // below the cached ones already equal the bytes loaded again here (they came from the
  // same bytes), so OR-ing keeps them intact.
  static void RefillFrom(const std::uint8_t*& next, std::uint64_t& cache, int& bits) {
    std::uint64_t word;
    std::memcpy(&word, next, sizeof word);
    cache |= __builtin_bswap64(word) >> bits;
    next += (63 - bits) >> 3;
    bits |= kRefillBits;
  }
  void RefillSlow();
  // A cursor's fields, for the slow refill.
  struct State {
    const std::uint8_t* next;
    const std::uint8_t* end;
    std::uint64_t cache;
    int bits;
  };
  // RefillSlow from a cursor's state (committed first), giving the new state.
  [[gnu::noinline]] State RefillSlowFrom(State state);

  AacInput input_;
  const std::uint8_t* next_ = nullptr;       // next byte of the current load to enter the cache
  const std::uint8_t* end_ = nullptr;        // end of the current load
  const std::uint8_t* loadStart_ = nullptr;  // first byte of the current load
  std::uint64_t cache_ = 0;                  // unread bits from the top, then bits equal to the next ones or 0
  int bits_ = 0;                             // unread bits in the cache
  std::uint64_t zeroBytes_ = 0;              // zero bytes put into the cache past the end
  bool endSeen_ = false;
  std::uint64_t dataEndBit_ = 0;             // valid once endSeen_
};

}  // namespace zbaac
