// The playback engine seam: the operations the facade forwards to an engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/main_loop.h"
#include "player/engines/player_notifications.h"

// Threads: every operation is called on the main thread (the thread of the MainLoop the
// engine was made with). Notifications arrive as follows: the media engine raises all of
// its own (a stream's titles as input names too) on its worker thread; the WAV and AAC
// engines raise timecode, stream info, output data, player state and errors on their
// worker thread; the WAV engine's position notifications during playback come through the
// main thread (the worker waits for them), the AAC engine's on its worker. The MP3 engine
// raises state, position, timecode, stream info and errors on the main thread (from the
// library's notification pipe) and output data on the library's output thread.
// Optional entries: UseDirectSound does something on the MP3 engine only.
// SetCodecEqualizer goes to the decoder on the MP3 engine and to the equalizer filter on the
// buffer ring of the others.
class TPlayerEngine {
 public:
  virtual ~TPlayerEngine() = default;

  virtual void Open(const std::string& name) = 0;
  virtual void Play() = 0;
  virtual void Pause() = 0;
  // Ends playback and returns once the engine is idle; the main loop keeps turning
  // meanwhile (a worker may be waiting for it). No end-of-stream state follows.
  virtual void Stop() = 0;
  virtual void Seek(int offset, int range) = 0;
  virtual void Close() = 0;
  // record: the 64-byte equalizer record (32 left, 32 right signed band values), copied.
  virtual void SetCodecEqualizer(const int8_t* record) = 0;
  virtual void UseDirectSound(bool on) = 0;
  // The player volume (0..65535 per channel) changed; engines whose output does not follow
  // the process's player volume by itself pass it on.
  virtual void VolumeChanged(uint32_t left, uint32_t right) = 0;

  // The slots the engine raises its notifications through: its own until ShareSlots.
  NotificationSlots& Slots() { return *slots_; }
  // Raises the notifications through shared instead (the facade's, so that they reach its
  // handlers without being copied or wrapped). Before Open, on the main thread.
  void ShareSlots(std::shared_ptr<NotificationSlots> shared) { slots_ = std::move(shared); }

 protected:
  std::shared_ptr<NotificationSlots> slots_ = std::make_shared<NotificationSlots>();
};

// What an engine's probe is shown of a name to play. fd is the file opened for reading,
// at offset 0, when the name is a regular file that could be opened and no other process
// holds it locked; -1 otherwise (a URL, a missing or unreadable or locked file).
struct EngineFile {
  const std::string& name;
  int fd = -1;
};

// One row of an engine table (engine_table.h): the engine's name for messages and tests,
// whether it plays a file, and how to make one. Each engine's probe and maker live beside
// the engine.
struct EngineEntry {
  const char* name;
  bool (*probe)(const EngineFile& file);
  std::unique_ptr<TPlayerEngine> (*make)(MainLoop& loop);
};
