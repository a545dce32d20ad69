// The "wav:PATH" back end: records what would be heard into a WAV file, at the pace of a
// device (optionally a faster one). Audio the device still held when it was dropped was
// never heard, so it is not recorded: bytes reach the file only once the clock has
// played them, or when the device drains.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "common/audio/audio_output_internal.h"
#include "common/audio/paced_device.h"
#include "common/fd_io.h"
#include "common/unique_fd.h"

namespace {

void PutLe(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = uint8_t(value >> (8 * i));
}

// The canonical 44-byte PCM header for the format and data size.
std::vector<uint8_t> HeaderFor(const AudioFormat& format, uint64_t dataBytes) {
  const uint32_t data = dataBytes > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : uint32_t(dataBytes);
  std::vector<uint8_t> h(44);
  std::memcpy(&h[0], "RIFF", 4);
  PutLe(&h[4], data + 36, 4);
  std::memcpy(&h[8], "WAVEfmt ", 8);
  PutLe(&h[16], 16, 4);
  PutLe(&h[20], 1, 2);
  PutLe(&h[22], format.channels, 2);
  PutLe(&h[24], format.sampleRate, 4);
  PutLe(&h[28], format.BytesPerSecond(), 4);
  PutLe(&h[32], format.BytesPerFrame(), 2);
  PutLe(&h[34], format.bitsPerSample, 2);
  std::memcpy(&h[36], "data", 4);
  PutLe(&h[40], data, 4);
  return h;
}

class WavSink final : public AudioSink {
 public:
  WavSink(UniqueFd fd, std::string path, const AudioFormat& format, uint32_t speed)
      : fd_(std::move(fd)), path_(std::move(path)), format_(format), speed_(speed), device_(format, speed) {
    held_.reserve(device_.Capacity() * 2);
  }
  ~WavSink() override {
    // What the device still holds when it closes without a drain was never heard.
    WriteHeader();
  }

  Outcome Write(const uint8_t* data, size_t bytes) override {
    if (!error_) {
      const uint64_t played = device_.Take(bytes);
      held_.insert(held_.end(), data, data + bytes);
      Commit(played);
    }
    if (error_) return Fail(*error_);
    return Done{};
  }
  std::optional<uint64_t> Drop() override {
    uint64_t played = 0;
    Commit(device_.Drop(&played));
    held_.clear();
    committed_ = device_.Written();
    return played;
  }
  void Drain() override {
    device_.Drain();
    Commit(device_.Written());
    WriteHeader();
  }
  size_t ChunkBytes() const override { return device_.Capacity() < 4096 ? device_.Capacity() : 4096; }
  uint32_t Speed() const override { return speed_; }

 private:
  // Moves the bytes played by now from the held audio into the file; a failure stays in
  // error_.
  void Commit(uint64_t played) {
    if (played <= committed_ || error_) return;
    const size_t bytes = size_t(played - committed_);
    if (!WriteAll(fd_.Get(), held_.data(), bytes)) {
      error_ = IoError(errno, path_, "Cannot write " + path_);
      return;
    }
    held_.erase(held_.begin(), held_.begin() + std::ptrdiff_t(bytes));
    committed_ = played;
    recorded_ += bytes;
  }
  void WriteHeader() {
    const std::vector<uint8_t> header = HeaderFor(format_, recorded_);
    if (pwrite(fd_.Get(), header.data(), header.size(), 0) != ssize_t(header.size()) && !error_) {
      error_ = IoError(errno, path_, "Cannot write " + path_);
    }
  }

  UniqueFd fd_;
  std::string path_;
  AudioFormat format_;
  uint32_t speed_;
  PacedDevice device_;
  std::vector<uint8_t> held_;  // written to the device, not yet played
  uint64_t committed_ = 0;     // device bytes dealt with: recorded, or dropped unheard
  uint64_t recorded_ = 0;      // bytes in the file's data chunk
  std::optional<Error> error_;  // the first failed write to the file
};

}  // namespace

Expected<std::unique_ptr<AudioSink>> OpenWavSink(const SinkRequest& request, const AudioFormat& format) {
  UniqueFd fd(::open(request.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd) return Fail(IoError(errno, request.path, "Cannot create " + request.path));
  const std::vector<uint8_t> header = HeaderFor(format, 0);
  if (!WriteAll(fd.Get(), header.data(), header.size())) {
    return Fail(IoError(errno, request.path, "Cannot write " + request.path));
  }
  return std::unique_ptr<AudioSink>(std::make_unique<WavSink>(std::move(fd), request.path, format, request.speed));
}
