// The player behind the exported player functions: a decoding thread that carries out
// the control messages and decodes, and an output thread that runs the output filters and
// feeds the audio output through a ring of buffers.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <semaphore>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "common/audio/audio_output.h"
#include "common/audio/output_volume.h"
#include "common/library_loader.h"
#include "outside/zbdecode/notification_pipe.h"
#include "outside/zbdecode/playback_decoder.h"
#include "outside/zbdecode/zbdecode_player.h"

// A control message as queued: its code and whichever arguments its form has.
struct ControlMessage {
  int32_t code = 0;
  uint64_t sequence = 0;  // set by Send: the order of sending
  int32_t values[3] = {0, 0, 0};
  std::string texts[2];
  const void* pointer = nullptr;
  std::vector<uint8_t> copied;  // the record a P message points to, taken at send time
};

// Messages the player's own threads queue for the decoding thread.
inline constexpr int32_t kInternalOutputFailed = -1;
inline constexpr int32_t kInternalEnded = -2;

class Player {
 public:
  explicit Player(int notifyFd);
  // Ends both threads. It waits for nothing the network or an input decides: the input in
  // use (a stream opening, a read waiting for data) is cancelled first.
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Queues a message for the decoding thread; any thread, returns at once. Stop, input
  // close, input open and exit make the input in use moot: they cancel an open or a read
  // of a stream under way at once, so that they are carried out without waiting for it.
  void Send(ControlMessage message);
  uint32_t Priority() const { return priority_; }
  void SetPriority(uint32_t priority);

 private:
  struct Block {
    enum Kind { Pcm, End, Drain } kind = Pcm;
    uint64_t generation = 0;
    std::vector<uint8_t> pcm;
    AudioFormat format{};
    uint64_t startFrame = 0;
  };
  struct Slot {
    uint64_t generation = 0;
    uint64_t endFrame = 0;
    uint8_t bytes[8192];
  };
  struct Filter {
    std::string name;
    uint32_t id = 0;
    ZbdFilterEntry table[ZBD_FILTER_TABLE_ENTRIES] = {};
    ZbdOutputFilterStage stage{};
  };
  struct OutputModule {
    std::string name, description, prefix, backend;
    std::shared_ptr<OutsideLibrary> library;  // kept loaded while registered
  };

  // Decoding thread.
  void DecodingMain();
  void Handle(const ControlMessage& m);
  bool HandleInput(const ControlMessage& m);
  bool HandleOutput(const ControlMessage& m);
  bool HandleSettings(const ControlMessage& m);
  void DecodeStep();
  void OpenInput(const std::string& name);
  // The stop token for an input opened while the message with this sequence number is
  // handled: stopped already when a superseding message was sent after it.
  std::stop_token InputStopFor(uint64_t sequence);
  void CloseInput();
  void Play();
  void StopPlayback(int32_t state);
  void SeekTo(uint64_t frame);
  // Makes every block and buffer in flight stale and drops what the device holds.
  void NewGeneration();
  // Pauses the device at once (what it had not played stays queued) or resumes it.
  void PauseDevice(bool paused);
  void PushBlock(Block block);
  bool AddFilter(const std::string& name, uint32_t id);
  bool RemoveFilter(const std::string& name);
  bool RegisterOutputModule(const std::string& spec);
  // The module whose prefix the name begins with; deviceMutex_ held.
  const OutputModule* ModuleOf(const std::string& outputName) const;
  void ApplyVolume();

  // Output thread.
  void OutputMain();
  bool EnsureDevice(const AudioFormat& format);
  void CloseDevice();
  // Gapless end of an input: the device is left playing its queue for the next player.
  void LeaveDevicePlaying();
  static int32_t DeviceStageWrite(ZbdOutputFilterStage* stage, const void* pcm, uint32_t bytes,
                                  uint32_t bytesPerSample, uint32_t channels, uint32_t sampleRate);
  int32_t QueueToDevice(const uint8_t* pcm, size_t bytes);
  // Seam writer thread: a buffer has played (or was dropped).
  void OnBufferDone(uint32_t slot);
  void ReportHeard(bool force);

  // Notifications.
  void Notify(uint32_t code, const ZbdMessage& data, std::string_view text1 = {}, std::string_view text2 = {});
  void NotifyState(uint32_t code, uint8_t state);
  void NotifyTag(uint32_t code, uint32_t tag);
  void NotifyValue(uint32_t code, uint8_t value);
  void NotifyError(uint8_t source, int16_t code, const std::string& text);
  void Ack(int32_t command);
  void Nack(int32_t command, int16_t code);

  NotificationPipe notify_;

  // Shared between the threads, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ControlMessage> commands_;
  std::deque<Block> blocks_;
  bool exiting_ = false;
  bool closeDevice_ = false;
  uint64_t sentSequence_ = 0;
  uint64_t supersedingSequence_ = 0;  // the last message sent that cancels the input
  std::stop_source inputStop_;        // cancels the input opened under it

  // Decoding thread only.
  uint64_t handlingSequence_ = 0;  // of the message being handled
  std::unique_ptr<PlaybackDecoder> decoder_;
  std::string inputName_;
  int32_t inputModule_ = -1;
  bool playing_ = false;
  bool decodeEnded_ = false;
  uint64_t decodedFrame_ = 0;
  uint32_t playerMode_ = 0;
  uint32_t codecQuality_ = 0;
  uint32_t debugLevel_ = 0;
  bool haveEqualizer_ = false;
  ZbdEqualizer equalizer_{};
  std::map<std::string, int32_t> environmentIntegers_;
  std::map<std::string, std::string> environmentStrings_;
  uint8_t masterLevel_ = 100, pcmLevel_ = 100, balance_ = 50;
  bool muted_ = false;

  // Read by the output and writer threads, written by the decoding thread.
  std::atomic<uint64_t> generation_{1};
  std::atomic<uint32_t> outputChannels_{ZBD_CHANNELS_STEREO};
  std::atomic<uint32_t> granularityMs_{1000};
  std::atomic<uint32_t> modeFlags_{0};
  std::atomic<uint32_t> priority_{3};
  OutputVolume volume_;

  // The output chain, under filtersMutex_ (the decoding thread edits it, the output
  // thread runs it).
  std::mutex filtersMutex_;
  std::deque<Filter> filters_;  // in chain order; a deque keeps the stages in place
  ZbdOutputFilterStage deviceStage_{};

  // The device, opened and closed by the output thread; the generation check before each
  // queued buffer and the discard of a new generation hold deviceMutex_.
  std::mutex deviceMutex_;
  std::unique_ptr<AudioOutput> device_;
  std::string outputName_ = "/dev/wave/0";  // under deviceMutex_
  std::vector<OutputModule> outputModules_; // under deviceMutex_
  uint64_t writingGeneration_ = 0;          // output thread: the block being written
  uint64_t writingFrame_ = 0;
  bool devicePaused_ = false;               // under deviceMutex_
  std::vector<Slot> slots_;
  size_t nextSlot_ = 0;
  std::counting_semaphore<64> freeSlots_;
  std::atomic<int> slotsQueued_{0};  // slots on the device, not yet reported back
  std::atomic<bool> openingDevice_{false};  // the output thread is inside AudioOutput::Open

  // The heard position, from the buffer reports (writer thread) and seeks (decoding thread).
  std::mutex heardMutex_;
  uint64_t heardFrame_ = 0;
  uint32_t heardRate_ = 44100;
  uint64_t lengthFrames_ = 0;
  int64_t lastTimecodeUnit_ = -1;
  int64_t lastPositionSecond_ = -1;
  MpegFrameInfo lastInfo_{};

  std::atomic<int> decodingTid_{0}, outputTid_{0};
  std::thread outputThread_;    // last two: joined before the state above goes
  std::thread decodingThread_;
};

struct ZbdPlayer {
  uint32_t magic;
  std::unique_ptr<Player> player;
};
inline constexpr uint32_t kPlayerMagic = 0x5A425044;  // "ZBPD"
