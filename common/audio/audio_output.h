// The audio output seam: one object per opened device, fed with buffers that stay owned by
// the caller until the output reports that they have played.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/audio/audio_format.h"
#include "common/audio/output_volume.h"
#include "common/error.h"

// Which device a player asks for: the wave device is the ALSA output, the DirectSound
// choice the PulseAudio one. $ZIMBAR_AUDIO_OUT overrides both:
//   "null"                 plays nothing, at the pace of a real device;
//   "wav:PATH[,speed=N]"   records exactly what would be heard into the WAV file PATH, at
//                          the pace of a device whose clock runs N times (1..64) as fast;
//   "pulse", "alsa"        that output, whatever the player asked for.
enum class AudioDevice { Wave, DirectSound };

// Called once for each queued buffer, in queue order: on the output's writer thread when
// the device clock says it has been heard, on the thread that calls Discard (or Queue,
// after a failure) when it goes back unplayed. It must not call back into the output;
// releasing a semaphore or setting a flag is what it is for.
using BufferDone = std::function<void(uint32_t tag)>;

// Changes the PCM on its way to the device (an equalizer): the output's writer thread calls
// Process on each chunk (whole frames of the output's format) after applying the volume,
// just before the device gets it, so a change of the filter is heard within a chunk.
class PcmFilter {
 public:
  virtual ~PcmFilter() = default;
  virtual void Process(void* data, size_t bytes, const AudioFormat& format) = 0;
};

// Threads: one producer thread calls Queue, Discard and Drain; any thread may call Pause,
// Resume, SetFilter and the read-only accessors. The destructor (owner's thread, never the writer thread) discards
// what is queued and has the device closed. Internally a writer thread of the output
// copies each buffer in chunks (applying the volume) to the back end, which blocks at the
// device's pace, and reports finished buffers. Neither Discard nor the destructor waits
// for a call to the device (a write or drain the sound server holds): the writer throws
// away what the device holds, and closes it, when that call returns.
class AudioOutput {
 public:
  // Opens the device for format. volume is followed while playing and must outlive the
  // output. Fails with a text fit for the user when no back end can play the format ("Cannot
  // open the audio output pulse: ..." and the like): Usage for a bad $ZIMBAR_AUDIO_OUT,
  // Unsupported for a format no output plays, Io when the device refuses.
  static Expected<std::unique_ptr<AudioOutput>> Open(AudioDevice device, const AudioFormat& format, BufferDone onDone,
                                                     const OutputVolume& volume = PlayerVolume());
  virtual ~AudioOutput() = default;

  // Appends a buffer of whole frames; data must stay valid and unchanged until its
  // BufferDone. Returns at once. After the device has failed the buffer is reported done
  // at once and the error says why the device failed.
  virtual Outcome Queue(uint32_t tag, const void* data, size_t bytes) = 0;
  // Drops everything queued and what the device still holds, unplayed; every queued buffer
  // is reported done before this returns, and a Drain under way returns. (A write the
  // device still holds is dropped as soon as the device lets it go.)
  virtual void Discard() = 0;
  // Waits until everything queued has played (or the device failed, or Discard ran on
  // another path). Fails with why the device failed.
  virtual Outcome Drain() = 0;
  // Pause stops the sound at once: the writer stops writing, the device drops what it holds,
  // and what it had not played by then (by the device clock) stays queued, to be written
  // again by Resume, so that a pause loses and repeats no sample. Buffers heard whole before
  // the pause are reported; the others wait. Both return at once (a write the device holds
  // is let go first) and do nothing when the output is already in the state asked for.
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual bool Paused() const = 0;

  // Runs filter (nullptr: none) over every chunk from the next one on. The output shares
  // its ownership, so the filter may outlive whoever set it.
  virtual void SetFilter(std::shared_ptr<PcmFilter> filter) = 0;

  virtual const AudioFormat& Format() const = 0;
  // The back end in use: "pulse", "alsa", "null" or "wav".
  virtual std::string BackendName() const = 0;
  // Bytes queued so far (less what Discard dropped unplayed), and bytes the device has
  // played by the device clock; equal once everything queued has played. An output taken
  // over from a lingering one counts from its new owner's first byte: the old tail played
  // first counts for neither.
  virtual uint64_t QueuedBytes() const = 0;
  virtual uint64_t PlayedBytes() const = 0;
  // Times the device ran dry while audio was still to come: underruns (or a producer
  // that paused).
  virtual uint64_t Underruns() const = 0;
  // Nothing while the device works; why, once a write to it failed.
  virtual std::optional<Error> Failure() const = 0;
};

// Gapless hand-over between two producers (players of consecutive tracks).
//
// LeaveOutputPlaying takes an output whose producer has queued all it has and goes away:
// the output goes on playing its queue (the queued buffers are copied first, so the caller
// may free them as soon as this returns; none of them is reported done any more), and
// lingers for the next producer. The next AudioOutput::Open of the same device and format
// (the same $ZIMBAR_AUDIO_OUT capture too) takes it over: its audio follows the old queue
// without a gap, and the device is never closed and opened again. An Open of another device
// or format waits for the lingering output to play out, then closes it and opens its own.
// A lingering output that nobody takes over closes a moment after its queue has played.
// One output lingers at most in the process: leaving a second one closes the first at once.
// A shared library carrying its own copy of this code (the decoder library's player) opens,
// leaves and takes over its outputs through the program's copy, so that the MP3 engine and
// the others hand over to one another.
void LeaveOutputPlaying(std::unique_ptr<AudioOutput> output);
// Silences and closes the lingering output at once (a user's Stop, a seek).
void DiscardLingeringOutput();
// Whether an output lingers (tests).
bool OutputLingers();
