// Rips a synthesized 10-minute disc image through the reader library and reports the speed
// as a multiple of real time, for plain reads, jitter correction, and simulated jitter.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cdaccess/cd_drive_list.h"
#include "outside/zbntread/zbntread.h"

namespace {

constexpr int kSectors = 600 * 75;   // ten minutes

std::vector<int16_t> MakeAudio() {
  // Music-like material: two tones with a slow swell plus a little noise, and some silence.
  std::vector<int16_t> audio(static_cast<size_t>(kSectors) * 588 * 2);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> noise(-300, 300);
  for (size_t i = 0; i < audio.size() / 2; ++i) {
    const double t = static_cast<double>(i) / 44100.0;
    const double swell = 0.5 + 0.5 * std::sin(2 * M_PI * 0.1 * t);
    const bool silent = std::fmod(t, 120.0) < 2.0;
    const double v = silent ? 0 : swell * (9000 * std::sin(2 * M_PI * 220 * t) + 5000 * std::sin(2 * M_PI * 1330 * t));
    audio[2 * i] = static_cast<int16_t>(silent ? 0 : v + noise(random));
    audio[2 * i + 1] = static_cast<int16_t>(silent ? 0 : v * 0.8 + noise(random));
  }
  return audio;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/zimbar-rip-bench-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::vector<int16_t> audio = MakeAudio();
  {
    std::ofstream bin(dir + "/bench.bin", std::ios::binary);
    bin.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size() * 2));
    std::ofstream(dir + "/bench.cue") << "FILE \"bench.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  }
  const std::string image = dir + "/bench.cue";
  const char* const images[] = {image.c_str()};
  const int drive = static_cast<int>(ListCdDrives(CdAccessMethod::OsInterface, {image}).size()) - 1;

  const char* libDir = std::getenv("ZIMBAR_LIB_DIR");
  const std::string libPath = std::string(libDir != nullptr ? libDir : ".") + "/libzbntread.so";
  void* library = dlopen(libPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", libPath.c_str(), dlerror());
    return 1;
  }
  using XwiWithImages = int32_t (*)(ReaderRequest*, const char* const*, int32_t);
  auto xwi = reinterpret_cast<XwiWithImages>(dlsym(library, "XWIWithImages"));
  if (xwi == nullptr) {
    std::fprintf(stderr, "%s has no entry XWIWithImages\n", libPath.c_str());
    return 1;
  }

  struct Case {
    const char* name;
    bool jitter;
    const char* simulate;
    bool mono, half;
  };
  const Case cases[] = {{"plain reads, 24 sectors", false, "", false, false},
                        {"jitter correction, 24 sectors, 30% overlap", true, "", false, false},
                        {"jitter correction, simulated jitter +-100 on 1/3 of reads", true, "jitter=100,share=0.33,seed=7", false, false},
                        {"plain reads, mono 22 050 Hz", false, "", true, true}};
  int failures = 0;
  for (const Case& c : cases) {
    setenv("ZIMBAR_CD_SIMULATE", c.simulate, 1);
    const std::string out = dir + "/out.raw";
    double best = 1e9;
    bool exact = true;
    // Best of three runs: the machine is shared, the fastest run shows the code's speed.
    for (int run = 0; run < 3; ++run) {
      const int fd = open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
      ReaderRequest r{};
      r.file = fd;
      r.osInterface = 1;
      r.drive = drive;
      r.firstSector = 0;
      r.endSector = kSectors;
      r.sectorsPerRead = 24;
      r.jitterOff = c.jitter ? 0 : 1;
      r.overlapPercent = 30;
      r.syncNoMatchRetries = 3;
      r.mono = c.mono;
      r.halfRate = c.half;
      std::atomic_ref<int32_t>(r.cancel).store(0);
      const auto start = std::chrono::steady_clock::now();
      xwi(&r, images, 1);
      while (std::atomic_ref<int32_t>(r.done).load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::atomic_ref<int32_t>(r.readIndex).store(std::atomic_ref<int32_t>(r.writeIndex).load());
      }
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      close(fd);
      if (!c.mono) {
        std::ifstream in(out, std::ios::binary);
        std::vector<char> got((std::istreambuf_iterator<char>(in)), {});
        exact = exact && got.size() == audio.size() * 2 && std::memcmp(got.data(), audio.data(), got.size()) == 0;
      }
    }
    failures += !exact;
    std::printf("%-62s %6.2f s  %6.1fx real time%s\n", c.name, best, 600.0 / best,
                c.mono ? "" : (exact ? "  (bit-exact)" : "  (NOT EXACT)"));
  }
  dlclose(library);
  std::remove((dir + "/out.raw").c_str());
  std::remove((dir + "/bench.bin").c_str());
  std::remove((dir + "/bench.cue").c_str());
  rmdir(dir.c_str());
  return failures == 0 ? 0 : 1;
}
