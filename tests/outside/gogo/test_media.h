// Test helpers: scratch folders, synthesized WAV files and the reference command-line tools.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace test_media {

// A folder under /tmp removed with its files when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/zb-outside-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  ~ScratchDir() {
    // A folder left behind in /tmp fails no test: the result is not looked at.
    if (!path_.empty() && std::system(("rm -rf '" + path_ + "'").c_str()) != 0) return;
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs a shell command line; returns its standard output, sets *exitCode.
inline std::string Run(const std::string& command, int* exitCode = nullptr) {
  std::string output;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (exitCode) *exitCode = -1;
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

inline std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void PutLe(std::vector<unsigned char>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// Interleaved 16-bit tones: 440 Hz on the first channel, 660 Hz on the second.
inline std::vector<int16_t> Tone(uint32_t rate, int channels, uint32_t frames, double amplitude = 0.5) {
  std::vector<int16_t> pcm(size_t(frames) * channels);
  for (uint32_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double hz = c == 0 ? 440.0 : 660.0;
      pcm[size_t(i) * channels + c] =
          int16_t(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * hz * i / rate)));
    }
  }
  return pcm;
}

// A canonical 44-byte-header WAV of 16-bit PCM (bits and tag may be overridden to make
// unsupported files; dataBytesField overrides the data chunk's declared size).
inline std::vector<unsigned char> WavBytes(uint32_t rate, int channels, const std::vector<int16_t>& pcm,
                                           int bits = 16, int64_t dataBytesField = -1) {
  const uint32_t dataBytes = uint32_t(pcm.size() * 2);
  std::vector<unsigned char> out{'R', 'I', 'F', 'F'};
  PutLe(out, dataBytes + 36, 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);
  PutLe(out, uint32_t(channels), 2);
  PutLe(out, rate, 4);
  PutLe(out, rate * uint32_t(channels * bits / 8), 4);
  PutLe(out, uint32_t(channels * bits / 8), 2);
  PutLe(out, uint32_t(bits), 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLe(out, dataBytesField >= 0 ? uint32_t(dataBytesField) : dataBytes, 4);
  for (int16_t s : pcm) PutLe(out, uint16_t(s), 2);
  return out;
}

// "key=value" lines of ffprobe's first audio stream.
inline std::map<std::string, std::string> ProbeStream(const std::string& path) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(Run("ffprobe -v error -select_streams a:0 -show_entries "
                               "stream=codec_name,sample_rate,channels,bit_rate -of default=nw=1 '" +
                               path + "'"));
  std::string line;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

// Decodes any audio file with ffmpeg to interleaved 16-bit samples at its own rate.
inline std::vector<int16_t> DecodeWithFfmpeg(const std::string& path, const std::string& inputFormat = "") {
  const std::string raw = path + ".ffmpeg.raw";
  Run("ffmpeg -v error -y " + (inputFormat.empty() ? "" : "-f " + inputFormat + " ") + "-i '" + path +
      "' -f s16le -acodec pcm_s16le '" + raw + "'");
  std::vector<unsigned char> bytes = ReadFile(raw);
  std::remove(raw.c_str());
  std::vector<int16_t> pcm(bytes.size() / 2);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return pcm;
}

// Loads a built library and expects each plain C entry to resolve by its name.
inline void ExpectEntries(const std::string& library, std::initializer_list<const char*> names) {
  void* lib = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const char* name : names) EXPECT_NE(dlsym(lib, name), nullptr) << name;
  dlclose(lib);
}

}  // namespace test_media
