// Declarations shared by the audio output seam and its back ends only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/audio/audio_format.h"
#include "common/audio/audio_output.h"
#include "common/result.h"

// A back end: a device that takes bytes at its own pace. All calls come from the output's
// writer thread (the destructor too), except Open and the first calls of ChunkBytes and
// Speed (the opening thread).
class AudioSink {
 public:
  virtual ~AudioSink() = default;
  // Blocks until the device has taken all bytes (a chunk of at most ChunkBytes()); the
  // error says why the device failed.
  virtual Outcome Write(const uint8_t* data, size_t bytes) = 0;
  // Throws away what the device holds and has not played yet. Returns how many of the bytes
  // written since the previous Drop (or the start) the device has played, in whole frames,
  // when it knows (the output's own clock stands in otherwise): a pause writes the rest
  // again on resume.
  virtual std::optional<uint64_t> Drop() = 0;
  // Blocks until the device has played all it holds.
  virtual void Drain() = 0;
  // The largest write the device takes at once.
  virtual size_t ChunkBytes() const = 0;
  // How much faster than real time the device clock runs (capture sinks under test).
  virtual uint32_t Speed() const { return 1; }
};

// What $ZIMBAR_AUDIO_OUT or the player's device choice asks for.
struct SinkRequest {
  std::string backend;  // "pulse", "alsa", "null", "wav"
  std::string path;     // wav: the file to record into
  uint32_t speed = 1;   // wav: clock multiplier
};

// Parses $ZIMBAR_AUDIO_OUT ("" when unset: the device choice decides).
Expected<SinkRequest> ParseAudioOutSetting(const std::string& setting, AudioDevice device);

using SinkFactory = Expected<std::unique_ptr<AudioSink>> (*)(const SinkRequest& request,
                                                                      const AudioFormat& format);

// One back end of the table.
struct SinkBackend {
  const char* name;
  SinkFactory open;
  bool probed;  // tried in table order when the asked-for device cannot be opened
};

Expected<std::unique_ptr<AudioSink>> OpenOut123Sink(const SinkRequest& request, const AudioFormat& format);
Expected<std::unique_ptr<AudioSink>> OpenPulseSink(const SinkRequest& request, const AudioFormat& format);
Expected<std::unique_ptr<AudioSink>> OpenNullSink(const SinkRequest& request, const AudioFormat& format);
Expected<std::unique_ptr<AudioSink>> OpenWavSink(const SinkRequest& request, const AudioFormat& format);

// The output seam over a back end that is open already: its writer thread, buffer reports
// and clock (what AudioOutput::Open makes for the back end it chose; tests give it sinks of
// their own).
std::unique_ptr<AudioOutput> OutputOverSink(std::unique_ptr<AudioSink> sink, std::string backend,
                                            const AudioFormat& format, BufferDone onDone, const OutputVolume& volume);

// This copy of the seam's own entries, behind the public ones (process_seam.cpp): a shared
// library that carries a private copy of the seam hands its calls to the program's copy,
// so that one output lingers per process whichever code left it.
Expected<std::unique_ptr<AudioOutput>> OpenOutputHere(AudioDevice device, const AudioFormat& format, BufferDone onDone,
                                                      const OutputVolume& volume);
void LeaveOutputPlayingHere(std::unique_ptr<AudioOutput> output);
void DiscardLingeringOutputHere();
bool OutputLingersHere();
