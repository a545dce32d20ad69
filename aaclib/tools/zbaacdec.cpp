// zbaacdec IN.aac OUT.wav: decodes an AAC file (ADTS, ADIF or raw blocks) to a 16-bit WAV
// through libzbaaclib.so, loaded by name like the programs load it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "aaclib/zbaaclib.h"
#include "common/fd_io.h"
#include "common/library_loader.h"
#include "common/wav_header.h"

namespace {

constexpr int kBlockSamples = ZBAAC_OUTPUT_SAMPLES;
constexpr int kBlocksPerWrite = 64;

int Fail(const std::string& message, const char* outPath, int fd) {
  std::fprintf(stderr, "zbaacdec: %s\n", message.c_str());
  if (fd >= 0) {
    ::close(fd);
    ::unlink(outPath);  // never leave a truncated WAV behind
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zbaacdec IN.aac OUT.wav\n");
    return 2;
  }
  const char* inPath = argv[1];
  const char* outPath = argv[2];

  // The library reports a missing file only as a stream without output; say why here.
  if (std::FILE* probe = std::fopen(inPath, "rb")) {
    std::fclose(probe);
  } else {
    return Fail(std::string("cannot open ") + inPath + ": " + std::strerror(errno), outPath, -1);
  }

  OutsideLibrary library = OutsideLibrary::Open("zbaaclib");
  if (!library.Loaded()) return Fail("cannot load libzbaaclib.so: " + library.LoadError(), outPath, -1);
  auto open = library.Entry<AACDecoder_OpenFn>("AACDecoder_Open");
  auto decode = library.Entry<AACDecoder_DecodeFn>("AACDecoder_Decode");
  auto close = library.Entry<AACDecoder_CloseFn>("AACDecoder_Close");
  if (open == nullptr || decode == nullptr || close == nullptr) {
    return Fail("libzbaaclib.so lacks an AACDecoder entry", outPath, -1);
  }

  const int fd = ::open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return Fail(std::string("cannot create ") + outPath + ": " + std::strerror(errno), outPath, -1);

  AacStreamInfo info{};
  open(&info, inPath);
  const bool mono = info.channelMode == 3;
  if (WriteWavHeader64(fd, mono, info.sampleRate, 0) != kWavWriteOk) {
    close();
    return Fail(std::string("cannot write ") + outPath, outPath, fd);
  }

  std::vector<int16_t> buffer(static_cast<size_t>(kBlockSamples) * kBlocksPerWrite);
  uint64_t dataBytes = 0;
  uint64_t blocks = 0;
  const size_t blockSamples = mono ? kBlockSamples / 2 : kBlockSamples;
  const size_t blockBytes = blockSamples * sizeof(int16_t);
  bool more = true;
  while (more) {
    int filled = 0;
    while (filled < kBlocksPerWrite) {
      int16_t* at = buffer.data() + static_cast<size_t>(filled) * kBlockSamples;
      if (decode(at) == 0) {
        more = false;
        break;
      }
      if (mono) {
        // One sample per period, packed behind the blocks before it (below `at` from the
        // second block on, so nothing unread is overwritten).
        int16_t* packed = buffer.data() + static_cast<size_t>(filled) * blockSamples;
        for (size_t k = 0; k < blockSamples; ++k) packed[k] = at[2 * k];
      }
      ++filled;
    }
    // The blocks lie one after the other: one write for all of them.
    if (filled > 0 && !WriteAll(fd, buffer.data(), blockBytes * static_cast<size_t>(filled))) {
      close();
      return Fail(std::string("cannot write ") + outPath + ": " + std::strerror(errno), outPath, fd);
    }
    dataBytes += blockBytes * static_cast<uint64_t>(filled);
    blocks += static_cast<uint64_t>(filled);
  }
  close();

  // RIFF, or RF64 when the audio outgrew the 32-bit sizes.
  if (WriteWavHeader64(fd, mono, info.sampleRate, dataBytes) != kWavWriteOk ||
      ::close(fd) != 0) {
    return Fail(std::string("cannot finish ") + outPath, outPath, -1);
  }
  if (blocks == 0) {
    std::fprintf(stderr, "zbaacdec: %s: no decodable audio\n", inPath);
    ::unlink(outPath);
    return 1;
  }
  return 0;
}
