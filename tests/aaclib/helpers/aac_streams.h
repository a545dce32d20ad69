// AAC test streams made with ffmpeg at test time, cached for the test run, and ADTS framing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "aaclib/aac_syntax.h"
#include "aaclib/adts_header.h"

namespace zbaac::test {

enum class Signal { Sine, Noise, Music };

struct StreamSpec {
  Signal signal = Signal::Music;
  int sampleRate = 44100;
  int channels = 2;
  int bitRateKbps = 128;
  bool tns = true;
  bool pns = false;
  bool intensity = false;
  int ms = -1;              // -1 encoder's choice, 0 off, 1 forced
  bool ltp = false;         // LTP object type
  bool pce = false;         // program configuration elements in the stream
  double seconds = 1.5;

  // A short name made of the settings, also the cache file name.
  std::string Name() const;
};

// The encoder variants the syntax tests run over: LC at several rates and bit rates,
// TNS, PNS, intensity and M/S on and off, LTP, mono and stereo.
std::vector<StreamSpec> StandardStreams();

// Encodes `spec` with ffmpeg into an ADTS file in the cache folder (made once per spec and
// reused) and returns its path; empty with `error` set when ffmpeg fails.
std::string MakeAdtsStream(const StreamSpec& spec, std::string* error = nullptr);

// The folder for files made during the test run ($TMPDIR or /tmp, per user).
std::string TestCacheDir();

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);

struct AdtsFrame {
  std::size_t offset = 0;   // first byte of the header
  AdtsHeader header;
};

// Splits an ADTS file into frames; stops (returning what it found) at the first byte
// that does not start a valid header or a frame that runs past the end.
std::vector<AdtsFrame> SplitAdtsFrames(std::span<const std::uint8_t> bytes);

// How often parsed blocks use the coding tools a stream was made to exercise.
struct ToolUse {
  int blocks = 0, shortBlocks = 0, tnsChannels = 0, ltpChannels = 0;
  int noiseBands = 0, intensityBands = 0, msBands = 0, pceElements = 0;
  void Add(const RawDataBlock& block);
};

// Runs a program with arguments (no shell); returns its exit status, -1 if it did not run.
int RunProgram(const std::vector<std::string>& arguments);

}  // namespace zbaac::test
