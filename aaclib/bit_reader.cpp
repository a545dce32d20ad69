// MSB-first bit reading with a 64-bit cache.
#include "aaclib/bit_reader.h"

#include <algorithm>

namespace zbaac {

BitReader& BitReader::operator=(BitReader&& other) noexcept {
  if (this == &other) return *this;
  // The load's bytes live in the input's buffer, which the move takes along.
  const std::ptrdiff_t next = other.next_ - other.loadStart_;
  const std::ptrdiff_t end = other.end_ - other.loadStart_;
  input_ = std::move(other.input_);
  loadStart_ = input_.Bytes().data();
  next_ = loadStart_ + next;
  end_ = loadStart_ + end;
  cache_ = std::exchange(other.cache_, 0);
  bits_ = std::exchange(other.bits_, 0);
  zeroBytes_ = std::exchange(other.zeroBytes_, 0);
  endSeen_ = std::exchange(other.endSeen_, false);
  dataEndBit_ = std::exchange(other.dataEndBit_, 0);
  other.next_ = other.end_ = other.loadStart_ = nullptr;
  return *this;
}

BitReader::State BitReader::RefillSlowFrom(State state) {
  next_ = state.next;
  cache_ = state.cache;
  bits_ = state.bits;
  RefillSlow();
  return State{next_, end_, cache_, bits_};
}

void BitReader::RefillSlow() {
  // Byte by byte: the bits below the cached ones are cleared first, since they may come
  // from bytes that a later load does not repeat.
  cache_ = bits_ == 0 ? 0 : cache_ & (~std::uint64_t{0} << (64 - bits_));
  while (bits_ < kRefillBits) {
    std::uint64_t byte = 0;
    if (next_ < end_) {
      byte = *next_++;
    } else if (!endSeen_ && !input_.EndOfInput()) {
      // The bytes of the load just taken count from now on among the earlier loads'.
      input_.LoadNext();
      const auto bytes = input_.Bytes();
      loadStart_ = next_ = bytes.data();
      end_ = bytes.data() + bytes.size();
      continue;
    } else {
      if (!endSeen_) {
        endSeen_ = true;
        dataEndBit_ = BitPosition() + static_cast<std::uint64_t>(bits_);
      }
      ++zeroBytes_;
    }
    cache_ |= byte << (kRefillBits - bits_);
    bits_ += 8;
  }
}

void BitReader::SeekToByte(std::uint64_t offset) {
  const std::uint64_t loadOffset = input_.BytesBeforeBuffer();
  const auto loadBytes = static_cast<std::uint64_t>(end_ - loadStart_);
  if (loadStart_ == nullptr || offset < loadOffset || offset > loadOffset + loadBytes) {
    const std::uint64_t first = input_.SeekTo(offset);
    const auto bytes = input_.Bytes();
    loadStart_ = bytes.data();
    end_ = bytes.data() + bytes.size();
    next_ = loadStart_ + std::min<std::uint64_t>(offset - first, bytes.size());
  } else {
    next_ = loadStart_ + (offset - loadOffset);
  }
  cache_ = 0;
  bits_ = 0;
  zeroBytes_ = 0;
  endSeen_ = false;
  dataEndBit_ = 0;
}

void BitReader::SkipBits(std::uint64_t bits) {
  while (bits > 32) {
    ReadBits(32);
    bits -= 32;
  }
  ReadBits(static_cast<int>(bits));
}

}  // namespace zbaac
