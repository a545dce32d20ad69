// MPEG audio decoding for playback over libmpg123: local files (seekable, with a known
// length) and HTTP/FTP streams (with ICY titles), the 32-band equalizer and seeking.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "common/audio/audio_format.h"
#include "common/error.h"
#include "outside/zbdecode/input_source.h"
#include "outside/zbdecode/mpeg_decoder.h"
#include "outside/zbdecode/stream_input.h"
#include "outside/zbdecode/zbdecode_player.h"

enum class PlaybackStatus { Frame, Again, End };

// How long a stream may go on without giving a frame of audio (bytes that hold none, or
// that come too slowly to make one) before it ends as failed.
inline constexpr std::chrono::milliseconds kStreamNoAudioLimit{30000};

struct PlaybackOptions {
  std::chrono::milliseconds stallLimit{10000};  // streams: longest wait for data
  // Streams: longest time without a frame of audio, from the open on; then the stream
  // ends, "no audio for 30 seconds" its reason (the open fails with it when no frame came).
  std::chrono::milliseconds noAudioLimit{kStreamNoAudioLimit};
  int downSample = 0;                           // 0 full rate, 1 half, 2 quarter
  // The factor the decoder scales the samples by before they become 16-bit (ReplayGain);
  // 1.0 leaves the decoding as it is.
  double outputScale = 1.0;
  // Streams: a stop requested on it (by any thread, at any time) ends the open or any read
  // at once, whatever the server does; Cancelled() then tells the end from a real one.
  std::stop_token stop;
};

class PlaybackDecoder {
 public:
  // Opens a file path or an http://, https:// or ftp:// URL and reads up to the first
  // frame, so that Format() and Info() hold. Fails with an error whose text is fit for the
  // user ("Cannot play NAME: ..."). A path must name a regular file (a FIFO or a device is
  // refused, never waited for).
  static Expected<std::unique_ptr<PlaybackDecoder>> Open(const std::string& name, const PlaybackOptions& options);
  ~PlaybackDecoder();

  // The next frame's samples (valid until the next call). Again: nothing this time (a
  // format announced, delay trimmed, a damaged frame skipped). End: the input is over.
  // Fails when the input cannot be decoded further: "Cannot decode NAME further: REASON".
  Expected<PlaybackStatus> Next(const uint8_t** pcm, size_t* bytes);

  // The output format of the frames (it may change at a frame that announces another).
  AudioFormat Format() const { return format_; }
  MpegFrameInfo Info() const;
  bool IsStream() const { return stream_ != nullptr; }
  // Why a stream ended early (a stall, a broken connection); empty for files and for a
  // stream the server ended normally.
  std::string StreamEndReason() const { return stream_ ? stream_->EndReason() : std::string(); }
  // Length in frames (per channel), 0 when unknown (streams).
  uint64_t LengthFrames() const { return lengthFrames_; }
  // Frame position of the next sample Next will give.
  uint64_t Position() const;
  // Moves to frame (clamped to the length); the position reached, or nothing when the
  // input cannot seek.
  std::optional<uint64_t> Seek(uint64_t frame);

  // The record's band values become equalizer factors (see zbdecode_player.h); NULL or a
  // record of zeros switches the equalizer off.
  void SetEqualizer(const ZbdEqualizer* equalizer);
  // A stream title that changed since the last call, from the ICY metadata: valid UTF-8
  // without control characters (a title that is not UTF-8 is read as ISO-8859-1).
  std::optional<std::string> TakeNewTitle();
  // True when the stream ended because its stop was requested (see PlaybackOptions).
  bool Cancelled() const { return stream_ && stream_->Cancelled(); }

 private:
  PlaybackDecoder() = default;

  std::unique_ptr<struct mpg123_handle_struct, Mpg123HandleDeleter> handle_;
  InputSource file_;
  std::unique_ptr<StreamInput> stream_;
  // Streams: when the last frame of audio came (the open's start before the first) and
  // how long the stream may go on without one. Read by the library's read callback on
  // the decoding thread only.
  std::chrono::steady_clock::time_point lastAudio_{};
  std::chrono::milliseconds noAudioLimit_{kStreamNoAudioLimit};
  friend struct PlaybackStreamReader;
  AudioFormat format_{};
  uint64_t lengthFrames_ = 0;
  std::string lastTitle_;
  std::string name_;
};

// The linear factor of an equalizer band value.
double EqualizerFactor(int value);
