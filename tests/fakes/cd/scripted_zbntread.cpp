// A reader library for tests that does its whole job inside XWI, scripted by the environment:
//   ZIMBAR_FAKE_NTREAD_AUDIO="frames:high:low"  writes that many stereo frames: the first
//       sample is high, the second low, the rest alternate high / 2 and low / 2
//   ZIMBAR_FAKE_NTREAD_MESSAGES="type:value,..."  posts these messages in order
//   ZIMBAR_FAKE_NTREAD_CLAIM=N  reports N audio bytes more than it wrote
// It sets done before XWI returns, so every message arrives after the caller's last poll.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "outside/zbntread/zbntread.h"

namespace {

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

void Post(ReaderRequest& r, int type, int value) {
  ReaderMessage& m = r.ring[r.writeIndex];
  m.type = static_cast<uint8_t>(type);
  m.value = value;
  m.extra = 0;
  __atomic_store_n(&r.writeIndex, (r.writeIndex + 1) % READER_RING_ENTRIES, __ATOMIC_RELEASE);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t XWI(ReaderRequest* r) {
  int frames = 0, high = 0, low = 0;
  std::sscanf(Env("ZIMBAR_FAKE_NTREAD_AUDIO"), "%d:%d:%d", &frames, &high, &low);
  std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(i == 0 ? high : i == 1 ? low : (i % 2 == 0 ? high / 2 : low / 2));
  const ssize_t written = write(r->file, samples.data(), samples.size() * 2);
  r->audioBytes = static_cast<int32_t>(written < 0 ? 0 : written) + std::atoi(Env("ZIMBAR_FAKE_NTREAD_CLAIM"));
  r->highest = static_cast<int16_t>(frames > 0 ? high : 0);
  r->lowest = static_cast<int16_t>(frames > 0 ? low : 0);

  std::string script = Env("ZIMBAR_FAKE_NTREAD_MESSAGES");
  for (size_t at = 0; at < script.size();) {
    int type = 0, value = 0;
    if (std::sscanf(script.c_str() + at, "%d:%d", &type, &value) == 2) Post(*r, type, value);
    const size_t comma = script.find(',', at);
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  __atomic_store_n(&r->done, 1, __ATOMIC_RELEASE);
  return 0;
}
