// CPU time of the equalizer filter of the WAV and AAC engines: how long it takes to run a
// minute of audio through it, chunk by chunk as the audio output's writer hands it over
// (4096 bytes), for a flat record (the samples pass untouched) and for curves that change
// every band.
//
//   equalizer_filter_bench [RATE [CHANNELS [BITS]]]   (default 44100 2 16)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

#include "player/control/equalizer_presets.h"
#include "player/control/equalizer_record.h"
#include "player/engines/equalizer_filter.h"

namespace {

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The chunk the output's writer passes to the device and to the filter.
constexpr size_t kChunkBytes = 4096;

// CPU seconds to filter seconds of noise in the output's chunks.
double Run(const AudioFormat& format, const EqualizerRecord& record, double seconds) {
  const size_t bufferBytes = kChunkBytes - kChunkBytes % format.BytesPerFrame();
  std::vector<uint8_t> buffer(bufferBytes);
  std::mt19937 random(1);
  for (uint8_t& b : buffer) b = uint8_t(random() & 0x3f);  // quiet noise: no clipping
  EqualizerFilter filter;
  filter.SetRecord(record.data());
  const uint64_t total = uint64_t(seconds * format.BytesPerSecond());
  const double start = ThreadCpuSeconds();
  for (uint64_t done = 0; done < total; done += bufferBytes) filter.Process(buffer.data(), buffer.size(), format);
  return ThreadCpuSeconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  AudioFormat format{44100, 2, 16};
  if (argc > 1) format.sampleRate = uint32_t(std::atoi(argv[1]));
  if (argc > 2) format.channels = uint16_t(std::atoi(argv[2]));
  if (argc > 3) format.bitsPerSample = uint16_t(std::atoi(argv[3]));
  if (!format.Valid()) {
    std::fprintf(stderr, "not a format the output plays\n");
    return 2;
  }
  constexpr double kSeconds = 600;  // ten minutes, reported per minute
  std::printf("equalizer filter, %u Hz, %u channels, %u bits: CPU seconds per minute of audio\n", format.sampleRate,
              format.channels, format.bitsPerSample);
  EqualizerValues middle;
  middle.fill(kEqualizerSliderMiddle);
  std::printf("  %-14s %.4f\n", "Flat (off)", Run(format, BuildEqualizerRecord(middle), kSeconds) * 60 / kSeconds);
  for (const EqualizerPreset& preset : BuiltInEqualizerPresets()) {
    if (preset.name == "Flat") continue;
    std::printf("  %-14s %.4f\n", preset.name.c_str(),
                Run(format, BuildEqualizerRecord(preset.values), kSeconds) * 60 / kSeconds);
  }
  return 0;
}
