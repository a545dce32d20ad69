// Player: its two threads, the output chain and the heard-position reports.
#include "outside/zbdecode/player.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kSlots = 16;       // buffers queued on the device at most
constexpr size_t kMaxBlocks = 4;    // decoded frames waiting for the output thread

int NiceOf(uint32_t priority) {
  static constexpr int kNice[] = {19, 15, 5, 0, -5, -10};
  return kNice[std::min<uint32_t>(priority, 5)];
}

int CurrentTid() { return int(syscall(SYS_gettid)); }

// Messages after which the input in use is of no further use: an open or a read of a
// stream under way is cancelled when one is sent.
bool CancelsInput(int32_t code) {
  return code == ZBD_MSG_STOP || code == ZBD_MSG_INPUT_CLOSE || code == ZBD_MSG_INPUT_OPEN || code == ZBD_MSG_EXIT;
}

}  // namespace

Player::Player(int notifyFd) : notify_(notifyFd), slots_(kSlots), freeSlots_(kSlots) {
  deviceStage_.structBytes = sizeof(ZbdOutputFilterStage);
  deviceStage_.instance = this;
  deviceStage_.write = &Player::DeviceStageWrite;
  outputModules_.push_back({"wave", "Wave output (ALSA)", "/dev/wave/", "alsa", nullptr});
  outputThread_ = std::thread(&Player::OutputMain, this);
  decodingThread_ = std::thread(&Player::DecodingMain, this);
}

Player::~Player() {
  std::stop_source cancel(std::nostopstate);
  {
    std::lock_guard lock(mutex_);
    exiting_ = true;
    supersedingSequence_ = UINT64_MAX;  // nothing opened from now on waits either
    cancel = inputStop_;
  }
  changed_.notify_all();
  // The decoding thread may be inside a stream's open or read: it returns at once.
  cancel.request_stop();
  // The output thread may be waiting in an open for the last player's output of another
  // format to play out: that tail is silenced, as a Stop would.
  if (openingDevice_) DiscardLingeringOutput();
  decodingThread_.join();
  {
    // A discard returns every buffer, so the output thread is not left waiting for one.
    std::lock_guard device(deviceMutex_);
    generation_++;
    if (device_) device_->Discard();
  }
  changed_.notify_all();
  outputThread_.join();
  CloseDevice();
  for (Filter& f : filters_) {
    if (auto del = reinterpret_cast<int32_t (*)(void*)>(f.table[2])) del(f.stage.instance);
  }
}

void Player::Send(ControlMessage message) {
  std::stop_source cancel(std::nostopstate);
  {
    std::lock_guard lock(mutex_);
    message.sequence = ++sentSequence_;
    if (CancelsInput(message.code)) {
      supersedingSequence_ = message.sequence;
      cancel = inputStop_;
    }
    commands_.push_back(std::move(message));
  }
  changed_.notify_all();
  // Outside the lock: the stream's cancel takes locks of its own.
  cancel.request_stop();
}

std::stop_token Player::InputStopFor(uint64_t sequence) {
  std::lock_guard lock(mutex_);
  // A cancel that came before this message is done with; one sent after it still holds.
  // Its sender stops the source it took outside the lock, perhaps only after this message
  // is taken, so the source is replaced whether or not the stop has landed yet: otherwise
  // a late stop of the cancel sent with this very message cut its own open short.
  if (supersedingSequence_ <= sequence) inputStop_ = std::stop_source();
  return inputStop_.get_token();
}

void Player::SetPriority(uint32_t priority) {
  priority_ = std::min<uint32_t>(priority, 5);
  for (int tid : {decodingTid_.load(), outputTid_.load()}) {
    if (tid != 0) setpriority(PRIO_PROCESS, id_t(tid), NiceOf(priority_));
  }
}

// ---- decoding thread ----

void Player::DecodingMain() {
  decodingTid_ = CurrentTid();
  Notify(ZBD_NOTIFY_READY, ZbdMessage{});
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return exiting_ || !commands_.empty() || (playing_ && !decodeEnded_ && decoder_ && blocks_.size() < kMaxBlocks);
    });
    if (exiting_) break;
    if (!commands_.empty()) {
      ControlMessage m = std::move(commands_.front());
      commands_.pop_front();
      handlingSequence_ = m.sequence;
      lock.unlock();
      Handle(m);
      lock.lock();
      continue;
    }
    lock.unlock();
    DecodeStep();
    lock.lock();
  }
  lock.unlock();
  decoder_.reset();
  Notify(ZBD_NOTIFY_EXITED, ZbdMessage{});
}

void Player::PushBlock(Block block) {
  {
    std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
  }
  changed_.notify_all();
}

void Player::DecodeStep() {
  const uint8_t* pcm = nullptr;
  size_t bytes = 0;
  const Expected<PlaybackStatus> next = decoder_->Next(&pcm, &bytes);
  if (auto title = decoder_->TakeNewTitle()) {
    ZbdMessage m{};
    Notify(ZBD_NOTIFY_INPUT_NAME, m, *title);
  }
  // A frame that cannot be decoded ends the input as its end does, with the reason said.
  switch (next ? next.Value() : PlaybackStatus::End) {
    case PlaybackStatus::Frame: {
      Block block;
      block.generation = generation_;
      block.format = decoder_->Format();
      block.pcm.assign(pcm, pcm + bytes);
      block.startFrame = decodedFrame_;
      decodedFrame_ += bytes / block.format.BytesPerFrame();
      PushBlock(std::move(block));
      const MpegFrameInfo info = decoder_->Info();
      std::lock_guard heard(heardMutex_);
      lastInfo_ = info;
      heardRate_ = decoder_->Format().sampleRate;
      return;
    }
    case PlaybackStatus::Again:
      return;
    case PlaybackStatus::End: {
      decodeEnded_ = true;
      // A stream cut short by a stop, close or new open: that message, queued already,
      // decides what follows; this is not the stream's end.
      if (decoder_->Cancelled()) return;
      if (decoder_->IsStream()) {
        // A stream that stalls or breaks ends like one the server closed (the frame cut
        // short at its end is part of that); the reason is said.
        if (const std::string reason = decoder_->StreamEndReason(); !reason.empty()) {
          NotifyError(ZBD_SOURCE_INPUT, ZBD_ERR_INPUT_READ, "The stream " + inputName_ + " ended: " + reason);
        }
      } else if (!next) {
        NotifyError(ZBD_SOURCE_CODEC, ZBD_ERR_DECODE, next.Error().text);
      }
      Block end;
      end.kind = Block::End;
      end.generation = generation_;
      PushBlock(std::move(end));
      return;
    }
  }
}

void Player::NewGeneration() {
  {
    std::lock_guard device(deviceMutex_);
    generation_++;
    if (device_) device_->Discard();
  }
  std::lock_guard lock(mutex_);
  blocks_.clear();
}

void Player::PauseDevice(bool paused) {
  std::lock_guard device(deviceMutex_);
  devicePaused_ = paused;
  if (!device_) return;
  if (paused) device_->Pause();
  else device_->Resume();
}

void Player::SeekTo(uint64_t frame) {
  NewGeneration();
  const auto reached = decoder_->Seek(frame);
  decodedFrame_ = reached.value_or(decodedFrame_);
  decodeEnded_ = false;
  {
    std::lock_guard heard(heardMutex_);
    heardFrame_ = decodedFrame_;
  }
  ReportHeard(/*force=*/true);
}

// ---- output thread ----

void Player::OutputMain() {
  outputTid_ = CurrentTid();
  if (priority_ != 3) setpriority(PRIO_PROCESS, id_t(outputTid_.load()), NiceOf(priority_));
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return exiting_ || !blocks_.empty() || closeDevice_; });
    if (exiting_ && blocks_.empty()) return;
    if (closeDevice_) {
      closeDevice_ = false;
      lock.unlock();
      CloseDevice();
      lock.lock();
      continue;
    }
    Block block = std::move(blocks_.front());
    blocks_.pop_front();
    lock.unlock();
    changed_.notify_all();  // the decoding thread may push again
    if (block.generation == generation_) {
      switch (block.kind) {
        case Block::Pcm:
          if (EnsureDevice(block.format)) {
            writingGeneration_ = block.generation;
            writingFrame_ = block.startFrame;
            std::lock_guard filters(filtersMutex_);
            ZbdOutputFilterStage* first = filters_.empty() ? &deviceStage_ : &filters_.front().stage;
            first->write(first, block.pcm.data(), uint32_t(block.pcm.size()), 2, block.format.channels,
                         block.format.sampleRate);
          }
          break;
        case Block::End:
        case Block::Drain: {
          AudioOutput* device = nullptr;
          {
            std::lock_guard guard(deviceMutex_);
            device = device_.get();
          }
          if (block.kind == Block::End && (modeFlags_ & ZBD_PLAYER_MODE_GAPLESS)) LeaveDevicePlaying();
          else if (device) (void)device->Drain();  // a new generation's discard cuts it short
          if (block.kind == Block::End && block.generation == generation_) {
            ReportHeard(/*force=*/true);
            NotifyState(ZBD_NOTIFY_PLAYER_STATE, ZBD_PLAYER_STATE_EOS);
            ControlMessage ended;
            ended.code = kInternalEnded;
            Send(std::move(ended));
            if (modeFlags_ & ZBD_PLAYER_MODE_OUTPUT_AUTO_CLOSE) CloseDevice();
          }
          break;
        }
      }
    }
    lock.lock();
  }
}

bool Player::EnsureDevice(const AudioFormat& format) {
  std::string name, backend;
  {
    std::lock_guard guard(deviceMutex_);
    if (device_ && device_->Format() == format) return true;
    name = outputName_;
    if (const OutputModule* module = ModuleOf(name)) backend = module->backend;
  }
  if (device_) {
    (void)device_->Drain();  // the audio of the old format plays out first
    CloseDevice();
  }
  const AudioDevice which = backend == "pulse" ? AudioDevice::DirectSound : AudioDevice::Wave;
  openingDevice_ = true;
  auto opened = !backend.empty()
                    ? AudioOutput::Open(which, format, [this](uint32_t slot) { OnBufferDone(slot); }, volume_)
                    : Expected<std::unique_ptr<AudioOutput>>(Fail(Error(ErrorCategory::Unsupported, {},
                          "Cannot open the output " + name + ": no output module handles it")));
  openingDevice_ = false;
  if (!opened) {
    NotifyError(ZBD_SOURCE_OUTPUT, ZBD_ERR_INPUT_OPEN, opened.Error().text);
    ControlMessage failed;
    failed.code = kInternalOutputFailed;
    Send(std::move(failed));
    return false;
  }
  {
    std::lock_guard guard(deviceMutex_);
    device_ = std::move(opened).Value();
    if (devicePaused_) device_->Pause();
  }
  {
    std::lock_guard filters(filtersMutex_);
    for (Filter& f : filters_) {
      if (auto open = reinterpret_cast<int32_t (*)(ZbdOutputFilterStage*, uint32_t, uint32_t)>(f.table[3])) {
        open(&f.stage, format.sampleRate, format.channels);
      }
    }
  }
  NotifyState(ZBD_NOTIFY_OUTPUT_STATE, ZBD_OUTPUT_STATE_OPEN);
  ZbdMessage m{};
  Notify(ZBD_NOTIFY_OUTPUT_NAME, m, name);
  return true;
}

void Player::CloseDevice() {
  std::unique_ptr<AudioOutput> closing;
  {
    std::lock_guard guard(deviceMutex_);
    closing = std::move(device_);
  }
  if (!closing) return;
  closing.reset();  // discards what is left and returns every buffer
  {
    std::lock_guard filters(filtersMutex_);
    for (Filter& f : filters_) {
      if (auto close = reinterpret_cast<int32_t (*)(ZbdOutputFilterStage*)>(f.table[4])) close(&f.stage);
    }
  }
  NotifyState(ZBD_NOTIFY_OUTPUT_STATE, ZBD_OUTPUT_STATE_CLOSED);
}

void Player::LeaveDevicePlaying() {
  std::unique_ptr<AudioOutput> leaving;
  {
    std::lock_guard guard(deviceMutex_);
    leaving = std::move(device_);
  }
  if (!leaving) return;
  LeaveOutputPlaying(std::move(leaving));
  // The output has copied the slots it still plays and reports none of them any more.
  freeSlots_.release(slotsQueued_.exchange(0));
  NotifyState(ZBD_NOTIFY_OUTPUT_STATE, ZBD_OUTPUT_STATE_CLOSED);
}

int32_t Player::DeviceStageWrite(ZbdOutputFilterStage* stage, const void* pcm, uint32_t bytes, uint32_t, uint32_t,
                                 uint32_t) {
  return static_cast<Player*>(stage->instance)->QueueToDevice(static_cast<const uint8_t*>(pcm), bytes);
}

int32_t Player::QueueToDevice(const uint8_t* pcm, size_t bytes) {
  size_t done = 0;
  while (done < bytes) {
    freeSlots_.acquire();
    std::lock_guard guard(deviceMutex_);
    if (!device_ || writingGeneration_ != generation_) {
      freeSlots_.release();
      return 0;  // stale audio after a seek or stop: dropped, not an error
    }
    const AudioFormat& format = device_->Format();
    const size_t frameBytes = format.BytesPerFrame();
    size_t chunk = std::min(bytes - done, sizeof(Slot::bytes));
    chunk -= chunk % frameBytes;
    if (chunk == 0) {
      freeSlots_.release();
      break;
    }
    Slot& slot = slots_[nextSlot_];
    std::memcpy(slot.bytes, pcm + done, chunk);
    const uint32_t channels = outputChannels_;
    if (format.channels == 2 && channels != ZBD_CHANNELS_STEREO) {
      auto* samples = reinterpret_cast<int16_t*>(slot.bytes);
      for (size_t i = 0; i + 1 < chunk / 2; i += 2) {
        const int16_t left = samples[i], right = samples[i + 1];
        const int16_t both = channels == ZBD_CHANNELS_MONO_LEFT    ? left
                             : channels == ZBD_CHANNELS_MONO_RIGHT ? right
                                                                   : int16_t((int(left) + int(right)) / 2);
        samples[i] = samples[i + 1] = both;
      }
    }
    writingFrame_ += chunk / frameBytes;
    slot.generation = writingGeneration_;
    slot.endFrame = writingFrame_;
    const uint32_t tag = uint32_t(nextSlot_);
    nextSlot_ = (nextSlot_ + 1) % slots_.size();
    ++slotsQueued_;
    (void)device_->Queue(tag, slot.bytes, chunk);  // a failed device hands the slot back at once
    done += chunk;
  }
  return 0;
}

void Player::OnBufferDone(uint32_t slot) {
  if (slots_[slot].generation == generation_) {
    {
      std::lock_guard heard(heardMutex_);
      heardFrame_ = slots_[slot].endFrame;
    }
    ReportHeard(/*force=*/false);
  }
  --slotsQueued_;
  freeSlots_.release();
}

void Player::ReportHeard(bool force) {
  std::lock_guard heard(heardMutex_);
  const uint32_t rate = heardRate_ == 0 ? 44100 : heardRate_;
  const uint64_t ms = heardFrame_ * 1000 / rate;
  const uint32_t granularity = std::max<uint32_t>(granularityMs_, 1);
  const int64_t unit = int64_t(ms / granularity);
  if (force || unit != lastTimecodeUnit_) {
    lastTimecodeUnit_ = unit;
    ZbdMessage m{};
    const uint64_t seconds = ms / 1000;
    m.data.timecode.hours = uint8_t(std::min<uint64_t>(seconds / 3600, 255));
    m.data.timecode.minutes = uint8_t(seconds / 60 % 60);
    m.data.timecode.seconds = uint8_t(seconds % 60);
    m.data.timecode.fractions = uint8_t(ms % 1000 / 10);
    Notify(ZBD_NOTIFY_INPUT_TIMECODE, m);
  }
  const int64_t second = int64_t(ms / 1000);
  if (force || second != lastPositionSecond_) {
    lastPositionSecond_ = second;
    ZbdMessage m{};
    m.data.position.offset = uint32_t(second);
    m.data.position.range = uint32_t(lengthFrames_ / rate);
    Notify(ZBD_NOTIFY_INPUT_POSITION, m);
    // The bit rate of a variable-rate stream changes as it plays.
    ZbdMessage info{};
    info.data.stream_info.level = uint8_t(lastInfo_.mpegVersion);
    info.data.stream_info.layer = uint8_t(lastInfo_.layer);
    info.data.stream_info.bitrate = uint16_t(lastInfo_.bitRate);
    info.data.stream_info.frequency = uint16_t(lastInfo_.sampleRate);
    info.data.stream_info.mode = uint8_t(lastInfo_.channelMode);
    if (lastInfo_.sampleRate != 0) Notify(ZBD_NOTIFY_INPUT_STREAM_INFO, info);
  }
}

// ---- notifications ----

void Player::Notify(uint32_t code, const ZbdMessage& data, std::string_view text1, std::string_view text2) {
  notify_.Send(code, data, text1, text2);
}

void Player::NotifyState(uint32_t code, uint8_t state) {
  ZbdMessage m{};
  m.data.state = state;
  Notify(code, m);
}

void Player::NotifyTag(uint32_t code, uint32_t tag) {
  ZbdMessage m{};
  m.data.tag = tag;
  Notify(code, m);
}

void Player::NotifyValue(uint32_t code, uint8_t value) {
  ZbdMessage m{};
  m.data.value = value;
  Notify(code, m);
}

void Player::NotifyError(uint8_t source, int16_t code, const std::string& text) {
  ZbdMessage m{};
  m.data.error.source = source;
  m.data.error.code = code;
  Notify(ZBD_NOTIFY_ERROR, m, text);
}

void Player::Ack(int32_t command) {
  ZbdMessage m{};
  m.data.ack.command = uint8_t(command);
  Notify(ZBD_NOTIFY_ACK, m);
}

void Player::Nack(int32_t command, int16_t code) {
  ZbdMessage m{};
  m.data.nack.command = uint8_t(command);
  m.data.nack.code = code;
  Notify(ZBD_NOTIFY_NACK, m);
}
