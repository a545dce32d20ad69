// Test streams encoded with ffmpeg, cached in a per-user folder shared by the test programs.
#include "tests/aaclib/helpers/aac_streams.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace zbaac::test {
namespace {

std::string SourceFor(const StreamSpec& spec) {
  std::ostringstream source;
  const int rate = spec.sampleRate;
  switch (spec.signal) {
    case Signal::Sine:
      source << "sine=frequency=997:sample_rate=" << rate << ":duration=" << spec.seconds;
      break;
    case Signal::Noise:
      source << "anoisesrc=color=pink:amplitude=0.4:seed=7:sample_rate=" << rate << ":duration=" << spec.seconds;
      break;
    case Signal::Music:
      // A chord with vibrato, a bright partial and clicks every 0.37 s (for short windows),
      // with different left and right channels.
      source << "aevalsrc=exprs="
             << "'0.25*sin(2*PI*220*t+2*sin(2*PI*5*t))+0.15*sin(2*PI*660*t)+0.08*sin(2*PI*3520*t)*(0.5+0.5*sin(2*PI*0.7*t))"
             << "+0.5*lt(mod(t,0.37),0.004)*sin(2*PI*2500*t)+0.05*(random(0)-0.5)'"
             << "|'0.25*sin(2*PI*277*t)+0.12*sin(2*PI*440*t+sin(2*PI*3*t))+0.08*sin(2*PI*5000*t)*lt(mod(t,0.5),0.25)"
             << "+0.5*lt(mod(t+0.1,0.37),0.004)*sin(2*PI*1800*t)+0.05*(random(1)-0.5)'"
             << ":sample_rate=" << rate << ":duration=" << spec.seconds;
      break;
  }
  return source.str();
}

}  // namespace

std::string StreamSpec::Name() const {
  std::ostringstream name;
  static const char* const kSignals[] = {"sine", "noise", "music"};
  name << kSignals[static_cast<int>(signal)] << "_" << sampleRate << "_" << channels << "ch_" << bitRateKbps << "k"
       << (tns ? "_tns" : "") << (pns ? "_pns" : "") << (intensity ? "_is" : "")
       << (ms == 0 ? "_nums" : ms == 1 ? "_ms" : "") << (ltp ? "_ltp1" : "") << (pce ? "_pce" : "") << "_"
       << static_cast<int>(seconds * 1000) << "ms";
  return name.str();
}

std::vector<StreamSpec> StandardStreams() {
  std::vector<StreamSpec> specs;
  auto add = [&](StreamSpec spec) { specs.push_back(spec); };
  StreamSpec base;
  add(base);                                                       // music, 44.1 kHz stereo, TNS
  { StreamSpec s = base; s.bitRateKbps = 64; s.pns = true; s.intensity = true; add(s); }
  { StreamSpec s = base; s.bitRateKbps = 256; s.tns = false; s.ms = 0; add(s); }
  { StreamSpec s = base; s.sampleRate = 48000; s.ms = 1; add(s); }
  { StreamSpec s = base; s.sampleRate = 32000; s.bitRateKbps = 96; s.pns = true; add(s); }
  { StreamSpec s = base; s.sampleRate = 22050; s.bitRateKbps = 48; s.intensity = true; add(s); }
  { StreamSpec s = base; s.signal = Signal::Noise; s.channels = 1; s.sampleRate = 48000; s.bitRateKbps = 32; s.pns = true; add(s); }
  // The encoder sends prediction data mostly when M/S is off.
  { StreamSpec s = base; s.ltp = true; s.sampleRate = 48000; s.ms = 0; s.tns = false; s.bitRateKbps = 64; add(s); }
  { StreamSpec s = base; s.ltp = true; s.channels = 1; s.signal = Signal::Sine; s.sampleRate = 22050; add(s); }
  { StreamSpec s = base; s.pce = true; s.bitRateKbps = 96; add(s); }
  return specs;
}

std::string TestCacheDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  dir += "/zbaac-test-streams-" + std::to_string(getuid());
  mkdir(dir.c_str(), 0700);
  return dir;
}

int RunProgram(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MakeAdtsStream(const StreamSpec& spec, std::string* error) {
  const std::string path = TestCacheDir() + "/" + spec.Name() + ".aac";
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && info.st_size > 0) return path;
  // Written under a private name and renamed, so that test programs running side by side
  // never see a half-written file.
  const std::string partial = path + "." + std::to_string(getpid()) + ".part";
  std::vector<std::string> arguments = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                                        "-f", "lavfi", "-i", SourceFor(spec),
                                        "-ac", std::to_string(spec.channels), "-ar", std::to_string(spec.sampleRate),
                                        "-c:a", "aac", "-b:a", std::to_string(spec.bitRateKbps) + "k",
                                        "-aac_tns", spec.tns ? "1" : "0", "-aac_pns", spec.pns ? "1" : "0",
                                        "-aac_is", spec.intensity ? "1" : "0"};
  if (spec.ms >= 0) {
    arguments.insert(arguments.end(), {"-aac_ms", spec.ms ? "1" : "0"});
  }
  if (spec.ltp) arguments.insert(arguments.end(), {"-profile:a", "aac_ltp", "-aac_ltp", "1", "-strict", "-2"});
  if (spec.pce) arguments.insert(arguments.end(), {"-aac_pce", "1"});
  arguments.insert(arguments.end(), {"-f", "adts", partial});
  const int status = RunProgram(arguments);
  if (status != 0 || std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    if (error != nullptr) *error = "ffmpeg failed (status " + std::to_string(status) + ") for " + spec.Name();
    return {};
  }
  return path;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

void ToolUse::Add(const RawDataBlock& block) {
  ++blocks;
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!block.channelPresent[c]) continue;
    const ChannelStream& ch = block.channels[c];
    shortBlocks += ch.info.windowSequence == WindowSequence::EightShort;
    tnsChannels += ch.tnsDataPresent;
    ltpChannels += ch.ltp.present;
    for (int w = 0; w < ch.info.numWindows; ++w) {
      for (int b = 0; b < ch.info.maxSfb; ++b) {
        const int cb = ch.codebook[w][b];
        noiseBands += cb == kNoiseHcb || cb == kNoiseCorrelatedHcb;
        intensityBands += cb == kIntensityHcb || cb == kIntensityHcb2;
      }
    }
  }
  if (block.hasPair && block.pair.msMaskPresent != 0) {
    for (const auto& row : block.pair.msUsed) {
      for (auto flag : row) msBands += flag;
    }
  }
  for (int i = 0; i < block.elementCount; ++i) pceElements += block.elements[i].type == ElementType::Pce;
}

std::vector<AdtsFrame> SplitAdtsFrames(std::span<const std::uint8_t> bytes) {
  std::vector<AdtsFrame> frames;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    auto header = ParseAdtsHeader(bytes, offset);
    if (!header) break;
    const std::size_t length = static_cast<std::size_t>(header.Value().frameLengthBytes);
    if (offset + length > bytes.size()) break;
    frames.push_back({offset, header.Value()});
    offset += length;
  }
  return frames;
}

}  // namespace zbaac::test
