// One audio seam per process. A shared library linked with a private static copy of this
// code (the decoder library's player) would otherwise keep outputs and a lingering output
// of its own beside the program's: an input of one engine followed by one of another would
// open a second stream beside the first one's tail. The program's copy publishes its entries
// under an exported name; every other copy finds them there and hands its calls over, so
// that each output of the process is made, left playing and taken over by one copy.
#include <dlfcn.h>

#include <cstdint>

#include "common/audio/audio_output.h"
#include "common/audio/audio_output_internal.h"

// The entries one copy of the seam offers the others. Every copy in a process is built from
// the same sources; the size guards against a stray older one.
struct AudioSeamEntries {
  uint32_t bytes;
  Expected<std::unique_ptr<AudioOutput>> (*open)(AudioDevice, const AudioFormat&, BufferDone, const OutputVolume&);
  void (*leave)(std::unique_ptr<AudioOutput>);
  void (*discardLingering)();
  bool (*lingers)();
};

// Exported from the program (common/audio/CMakeLists.txt adds it to the dynamic symbols of
// every program that links the seam); a shared library's copy stays private to it.
extern "C" __attribute__((visibility("default"))) const AudioSeamEntries zb_audio_process_seam = {
    sizeof(AudioSeamEntries), OpenOutputHere, LeaveOutputPlayingHere, DiscardLingeringOutputHere, OutputLingersHere};

namespace {

// The program's entries when it publishes them, else this copy's own (a program that does
// not link the seam itself, a test of a library alone).
const AudioSeamEntries& ProcessSeam() {
  static const AudioSeamEntries* const seam = [] {
    const auto* found = static_cast<const AudioSeamEntries*>(::dlsym(RTLD_DEFAULT, "zb_audio_process_seam"));
    return found != nullptr && found->bytes == sizeof(AudioSeamEntries) ? found : &zb_audio_process_seam;
  }();
  return *seam;
}

}  // namespace

Expected<std::unique_ptr<AudioOutput>> AudioOutput::Open(AudioDevice device, const AudioFormat& format,
                                                         BufferDone onDone, const OutputVolume& volume) {
  return ProcessSeam().open(device, format, std::move(onDone), volume);
}

void LeaveOutputPlaying(std::unique_ptr<AudioOutput> output) { ProcessSeam().leave(std::move(output)); }

void DiscardLingeringOutput() { ProcessSeam().discardLingering(); }

bool OutputLingers() { return ProcessSeam().lingers(); }
