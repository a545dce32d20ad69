// Playback benchmark: CPU seconds per minute of audio played through the paced null
// output, and the time from Open and Play to the first sample reaching the output, for
// the files given (each with its length in seconds).
//   playback_bench FILE SECONDS [FILE SECONDS ...]
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/main_loop.h"
#include "player/engines/sound_player.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool PlayToEnd(QueueMainLoop& loop, const std::string& file) {
  bool ended = false;
  TSoundPlayer player(loop);
  player.SetOnNotifyPlayerState([&](void*, int state) { ended = ended || state == 3; });
  player.Open(file);
  player.Play();
  const bool ok = loop.RunUntil([&] { return ended; }, std::chrono::minutes(10));
  player.Stop();
  return ok;
}

// Milliseconds from Open to the first audio recorded by a capture output whose clock runs
// 64 times as fast (it records a chunk as soon as the device has started on it).
double FirstSampleMs(QueueMainLoop& loop, const std::string& file, const std::string& capture) {
  setenv("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=64").c_str(), 1);
  TSoundPlayer player(loop);
  const auto start = std::chrono::steady_clock::now();
  player.Open(file);
  player.Play();
  loop.RunUntil(
      [&] {
        struct stat st {};
        return stat(capture.c_str(), &st) == 0 && st.st_size > 44;
      },
      std::chrono::seconds(10));
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  player.Stop();
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc % 2 != 1) {
    std::fprintf(stderr, "usage: playback_bench FILE SECONDS [FILE SECONDS ...]\n");
    return 2;
  }
  QueueMainLoop loop;
  const std::string capture = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                              "/playback_bench_capture.wav";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string file = argv[i];
    const double seconds = std::atof(argv[i + 1]);
    setenv("ZIMBAR_AUDIO_OUT", "null", 1);
    const double before = CpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    if (!PlayToEnd(loop, file)) {
      std::fprintf(stderr, "playback_bench: %s did not play to its end\n", file.c_str());
      return 1;
    }
    const double cpu = CpuSeconds() - before;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::vector<double> latencies;
    for (int run = 0; run < 7; ++run) latencies.push_back(FirstSampleMs(loop, file, capture));
    std::sort(latencies.begin(), latencies.end());
    std::printf("%-40s cpu %.3f s per minute of audio (%.3f s for %.1f s, wall %.1f s); first sample: median %.1f ms, max %.1f ms\n",
                file.c_str(), cpu * 60.0 / seconds, cpu, seconds, wall, latencies[latencies.size() / 2],
                latencies.back());
  }
  std::remove(capture.c_str());
  return 0;
}
