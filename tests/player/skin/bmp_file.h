// Skin bitmaps written byte by byte with every header field chosen by the caller: honest
// bitmaps of a given size and pattern, and hostile ones whose header claims a size, depth
// or palette the data does not have. No Qt, so the fuzz target and the window tests share it.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

struct BmpFields {
  int32_t width = 0;
  int32_t height = 0;  // negative: the rows are stored top-down
  uint16_t bitCount = 24;
  uint32_t compression = 0;  // 0: uncompressed
  uint32_t coloursUsed = 0;  // palette entries; 0: as many as the depth gives (up to 8 bits)
  uint32_t infoSize = 40;    // the info header's size field (40 for the common header)
  int64_t dataBytes = -1;    // pixel bytes written after the header; -1: all the header asks for
};

// Bytes of one stored row: whole 32-bit words.
inline int64_t BmpRowBytes(const BmpFields& f) {
  return (std::abs(int64_t{f.width}) * f.bitCount + 31) / 32 * 4;
}

// What the header asks for: rows × row bytes (INT64_MAX when that does not fit).
inline int64_t BmpDataBytes(const BmpFields& f) {
  const int64_t rows = std::abs(int64_t{f.height});
  const int64_t rowBytes = BmpRowBytes(f);
  return rows != 0 && rowBytes > INT64_MAX / rows ? INT64_MAX : rowBytes * rows;
}

// pixel(x, y) gives 0x00RRGGBB, y counted from the top. Depths of 8 bits and less store
// index 0 (black) for a black pixel and 1 (white) for any other; 16 bits store 5-5-5.
inline std::string BmpFile(const BmpFields& f, const std::function<uint32_t(int x, int y)>& pixel) {
  std::string out;
  auto put = [&out](uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  const uint32_t paletteEntries =
      f.bitCount <= 8 ? std::min<uint32_t>(f.coloursUsed != 0 ? f.coloursUsed : (1u << f.bitCount), 256) : 0;
  const uint32_t dataOffset = 14 + 40 + paletteEntries * 4;
  const int64_t asked = BmpDataBytes(f);
  const int64_t written = f.dataBytes < 0 ? asked : f.dataBytes;
  // File header: magic, file size, two reserved words, offset of the pixel data.
  out += "BM";
  put(static_cast<uint32_t>(dataOffset + std::min<int64_t>(asked, UINT32_MAX - dataOffset)), 4);
  put(0, 4);
  put(dataOffset, 4);
  // Info header.
  put(f.infoSize, 4);
  put(static_cast<uint32_t>(f.width), 4);
  put(static_cast<uint32_t>(f.height), 4);
  put(1, 2);  // planes
  put(f.bitCount, 2);
  put(f.compression, 4);
  put(static_cast<uint32_t>(std::min<int64_t>(asked, UINT32_MAX)), 4);
  put(2835, 4);  // 72 dpi
  put(2835, 4);
  put(f.coloursUsed, 4);
  put(0, 4);  // important colours
  for (uint32_t i = 0; i < paletteEntries; ++i) put(i == 0 ? 0 : i == 1 ? 0xFFFFFF : (i * 0x010203u) & 0xFFFFFF, 4);

  const int64_t rowBytes = BmpRowBytes(f);
  const int64_t rows = std::abs(int64_t{f.height});
  const int width = static_cast<int>(std::min<int64_t>(std::abs(int64_t{f.width}), INT32_MAX));
  std::string row;
  for (int64_t r = 0; r < rows && static_cast<int64_t>(out.size()) - dataOffset < written; ++r) {
    const int y = static_cast<int>(f.height < 0 ? r : rows - 1 - r);
    // Only as much of the row as is still to be written (a hostile width asks for gigabytes).
    const int64_t rowWritten = std::min(written - (static_cast<int64_t>(out.size()) - dataOffset), rowBytes);
    row.assign(static_cast<size_t>(rowWritten), '\0');
    for (int x = 0; x < width && (x + 1) * int64_t{f.bitCount} <= rowWritten * 8; ++x) {
      const uint32_t rgb = pixel(x, y) & 0xFFFFFF;
      const uint8_t red = rgb >> 16, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
      const size_t at = static_cast<size_t>(int64_t{x} * f.bitCount / 8);
      switch (f.bitCount) {
        case 32:
          row[at + 3] = 0;
          [[fallthrough]];
        case 24:
          row[at] = static_cast<char>(blue), row[at + 1] = static_cast<char>(green), row[at + 2] = static_cast<char>(red);
          break;
        case 16: {
          const uint16_t v = static_cast<uint16_t>(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
          row[at] = static_cast<char>(v & 0xFF), row[at + 1] = static_cast<char>(v >> 8);
          break;
        }
        case 8:
        case 4:
        case 2:
        case 1: {
          const int shift = 8 - f.bitCount - static_cast<int>((int64_t{x} * f.bitCount) % 8);
          if (rgb != 0) row[at] = static_cast<char>(static_cast<uint8_t>(row[at]) | (1u << shift));
          break;
        }
        default:  // a depth no bitmap has: the row keeps its zeros
          break;
      }
    }
    out += row;
  }
  // Data beyond what the rows hold (a header that asks for less than is written).
  while (static_cast<int64_t>(out.size()) - dataOffset < written) out.push_back('\x55');
  return out;
}
