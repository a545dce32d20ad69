// Player: the control messages, carried out on the decoding thread in the order sent.
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/fault_guard.h"
#include "outside/zbdecode/player.h"

namespace {

bool IsHttp(const std::string& name) {
  return strncasecmp(name.c_str(), "http://", 7) == 0 || strncasecmp(name.c_str(), "https://", 8) == 0;
}
bool IsFtp(const std::string& name) { return strncasecmp(name.c_str(), "ftp://", 6) == 0; }

struct InputModuleInfo {
  const char* name;
  const char* description;
};
constexpr InputModuleInfo kInputModules[] = {
    {"file", "Local files"},
    {"http", "HTTP streams (ICY metadata)"},
    {"ftp", "Files over FTP"},
};

// The input module a name belongs to.
int InputModuleOf(const std::string& name) { return IsHttp(name) ? 1 : IsFtp(name) ? 2 : 0; }

}  // namespace

void Player::Handle(const ControlMessage& m) {
  bool handled = false;
  switch (m.code) {
    case kInternalOutputFailed:
      StopPlayback(ZBD_PLAYER_STATE_STOPPED);
      return;
    case kInternalEnded:
      playing_ = false;
      return;
    case ZBD_MSG_EXIT: {
      std::lock_guard lock(mutex_);
      exiting_ = true;
      return;  // the decoding thread sends Exited as it ends
    }
    case ZBD_MSG_PING:
      NotifyTag(ZBD_NOTIFY_PONG, uint32_t(m.values[0]));
      return;
    case ZBD_MSG_PLAY:
      if (!decoder_ && !inputName_.empty()) OpenInput(inputName_);
      if (!decoder_) return Nack(m.code, ZBD_ERR_STATE);
      Play();
      return Ack(m.code);
    case ZBD_MSG_PAUSE:
      if (!decoder_) return Nack(m.code, ZBD_ERR_STATE);
      if (playing_) {
        playing_ = false;
        PauseDevice(/*paused=*/true);
        NotifyState(ZBD_NOTIFY_PLAYER_STATE, ZBD_PLAYER_STATE_PAUSED);
      }
      return Ack(m.code);
    case ZBD_MSG_STOP:
      StopPlayback(ZBD_PLAYER_STATE_STOPPED);
      return Ack(m.code);
    default:
      handled = HandleInput(m) || HandleOutput(m) || HandleSettings(m);
  }
  if (!handled) Nack(m.code, ZBD_ERR_ARGUMENT);
}

void Player::Play() {
  if (decodeEnded_) {
    // Play after the end starts again from the beginning (a stream is opened anew).
    if (decoder_->IsStream()) {
      OpenInput(inputName_);
      if (!decoder_) return;
    } else {
      SeekTo(0);
    }
  }
  if (!playing_) {
    playing_ = true;
    PauseDevice(/*paused=*/false);
    NotifyState(ZBD_NOTIFY_PLAYER_STATE, ZBD_PLAYER_STATE_PLAYING);
  }
  changed_.notify_all();
}

void Player::StopPlayback(int32_t state) {
  const bool wasActive = playing_ || decoder_;
  playing_ = false;
  // An open that waits for the last player's output of another format to play out ends.
  if (openingDevice_) DiscardLingeringOutput();
  NewGeneration();
  if (decoder_) {
    if (decoder_->IsStream()) {
      // A stream cannot rewind: the next Play connects again.
      decoder_.reset();
    } else {
      SeekTo(0);
    }
  }
  if (modeFlags_ & ZBD_PLAYER_MODE_OUTPUT_AUTO_CLOSE) {
    {
      std::lock_guard lock(mutex_);
      closeDevice_ = true;
    }
    changed_.notify_all();
  }
  if (wasActive) NotifyState(ZBD_NOTIFY_PLAYER_STATE, uint8_t(state));
}

void Player::OpenInput(const std::string& name) {
  CloseInput();
  if (inputModule_ >= 0 && inputModule_ != InputModuleOf(name)) {
    NotifyError(ZBD_SOURCE_INPUT, ZBD_ERR_NO_MODULE,
                "Cannot play " + name + ": the input module " + kInputModules[inputModule_].name + " does not take it");
    return;
  }
  PlaybackOptions options;
  const auto timeout = environmentIntegers_.find(ZBD_ENV_STREAM_TIMEOUT);
  if (timeout != environmentIntegers_.end() && timeout->second > 0) {
    options.stallLimit = std::chrono::milliseconds(timeout->second);
  }
  const auto noAudio = environmentIntegers_.find(ZBD_ENV_STREAM_NO_AUDIO);
  if (noAudio != environmentIntegers_.end() && noAudio->second > 0) {
    options.noAudioLimit = std::chrono::milliseconds(noAudio->second);
  }
  options.downSample = int(codecQuality_);
  const auto gain = environmentIntegers_.find(ZBD_ENV_CODEC_GAIN);
  if (gain != environmentIntegers_.end() && gain->second != 0) {
    options.outputScale = std::pow(10.0, gain->second / 2000.0);
  }
  options.stop = InputStopFor(handlingSequence_);
  auto opened = PlaybackDecoder::Open(name, options);
  inputName_ = name;
  if (!opened) {
    // An open cut short by a stop, close or new open is not a failure to report.
    if (!options.stop.stop_requested()) NotifyError(ZBD_SOURCE_INPUT, ZBD_ERR_INPUT_OPEN, opened.Error().text);
    return;
  }
  decoder_ = std::move(opened).Value();
  decodeEnded_ = false;
  decodedFrame_ = 0;
  if (haveEqualizer_) decoder_->SetEqualizer(&equalizer_);
  {
    std::lock_guard heard(heardMutex_);
    heardFrame_ = 0;
    heardRate_ = decoder_->Format().sampleRate;
    lengthFrames_ = decoder_->LengthFrames();
    lastInfo_ = decoder_->Info();
  }
  if (debugLevel_ >= 1) {
    ZbdMessage d{};
    d.data.debug.source = ZBD_SOURCE_INPUT;
    d.data.debug.level = 1;
    Notify(ZBD_NOTIFY_DEBUG, d, "input " + name + " opened by the " + kInputModules[InputModuleOf(name)].name + " module");
  }
  NotifyState(ZBD_NOTIFY_INPUT_STATE, ZBD_INPUT_STATE_OPEN);
  ZbdMessage named{};
  Notify(ZBD_NOTIFY_INPUT_NAME, named, name);
  NotifyTag(ZBD_NOTIFY_INPUT_CAPS, decoder_->IsStream() ? ZBD_INPUT_IS_STREAM : ZBD_INPUT_CAN_SEEK);
  const uint32_t rate = std::max<uint32_t>(decoder_->Format().sampleRate, 1);
  NotifyTag(ZBD_NOTIFY_INPUT_DURATION, uint32_t(decoder_->LengthFrames() * 1000 / rate));
  ReportHeard(/*force=*/true);
  if (playerMode_ & ZBD_PLAYER_MODE_PLAY_ON_OPEN) Play();
}

void Player::CloseInput() {
  if (!decoder_) return;
  const bool wasPlaying = playing_;
  playing_ = false;
  NewGeneration();
  decoder_.reset();
  NotifyState(ZBD_NOTIFY_INPUT_STATE, ZBD_INPUT_STATE_CLOSED);
  if (wasPlaying) NotifyState(ZBD_NOTIFY_PLAYER_STATE, ZBD_PLAYER_STATE_STOPPED);
}

bool Player::HandleInput(const ControlMessage& m) {
  switch (m.code) {
    case ZBD_MSG_INPUT_SEEK: {
      if (!decoder_ || decoder_->IsStream() || m.values[1] <= 0 || m.values[0] < 0) {
        Nack(m.code, decoder_ ? ZBD_ERR_ARGUMENT : ZBD_ERR_STATE);
        return true;
      }
      const uint64_t offset = std::min<uint64_t>(uint64_t(m.values[0]), uint64_t(m.values[1]));
      SeekTo(decoder_->LengthFrames() * offset / uint64_t(m.values[1]));
      changed_.notify_all();
      Ack(m.code);
      return true;
    }
    case ZBD_MSG_INPUT_OPEN:
      OpenInput(m.texts[0].empty() ? inputName_ : m.texts[0]);
      decoder_ ? Ack(m.code) : Nack(m.code, ZBD_ERR_INPUT_OPEN);
      return true;
    case ZBD_MSG_INPUT_CLOSE:
      CloseInput();
      Ack(m.code);
      return true;
    case ZBD_MSG_INPUT_SEND_MESSAGE:
    case ZBD_MSG_INPUT_ADD_FILTER:
    case ZBD_MSG_INPUT_REMOVE_FILTER:
    case ZBD_MSG_INPUT_MODULE_REGISTER:
      Nack(m.code, ZBD_ERR_NOT_SUPPORTED);
      return true;
    case ZBD_MSG_INPUT_FILTER_LIST:
      Ack(m.code);
      return true;
    case ZBD_MSG_INPUT_MODULE_QUERY:
    case ZBD_MSG_INPUT_MODULES_LIST: {
      const int count = int(std::size(kInputModules));
      if (m.code == ZBD_MSG_INPUT_MODULE_QUERY && (m.values[0] < 0 || m.values[0] >= count)) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      for (int id = 0; id < count; ++id) {
        if (m.code == ZBD_MSG_INPUT_MODULE_QUERY && id != m.values[0]) continue;
        ZbdMessage info{};
        info.data.module_info.id = uint8_t(id);
        Notify(ZBD_NOTIFY_INPUT_MODULE_INFO, info, kInputModules[id].name, kInputModules[id].description);
      }
      return true;
    }
    case ZBD_MSG_SET_INPUT_NAME:
      inputName_ = m.texts[0];
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_INPUT_NAME: {
      ZbdMessage named{};
      Notify(ZBD_NOTIFY_INPUT_NAME, named, inputName_);
      return true;
    }
    case ZBD_MSG_SET_INPUT_MODULE:
      if (m.values[0] < -1 || m.values[0] >= int(std::size(kInputModules))) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      inputModule_ = m.values[0];
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_INPUT_MODULE: {
      ZbdMessage module{};
      module.data.module.id = int16_t(decoder_ ? InputModuleOf(inputName_) : inputModule_);
      Notify(ZBD_NOTIFY_INPUT_MODULE, module);
      return true;
    }
    case ZBD_MSG_SET_INPUT_POSITION_RANGE:
      m.values[0] == 0 ? Ack(m.code) : Nack(m.code, ZBD_ERR_NOT_SUPPORTED);
      return true;
    case ZBD_MSG_GET_INPUT_POSITION_RANGE:
      NotifyState(ZBD_NOTIFY_INPUT_POSITION_RANGE, 0);
      return true;
    case ZBD_MSG_SET_INPUT_TIMECODE_GRANULARITY:
      if (m.values[0] < 10 || m.values[0] > 60000) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      granularityMs_ = uint32_t(m.values[0]);
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_INPUT_TIMECODE_GRANULARITY:
      NotifyTag(ZBD_NOTIFY_INPUT_TIMECODE_GRANULARITY, granularityMs_);
      return true;
    default:
      return false;
  }
}

bool Player::HandleOutput(const ControlMessage& m) {
  switch (m.code) {
    case ZBD_MSG_OUTPUT_OPEN:
    case ZBD_MSG_SET_OUTPUT_NAME:
    case ZBD_MSG_SET_OUTPUT_MODULE: {
      std::string name = m.texts[0];
      {
        std::lock_guard guard(deviceMutex_);
        if (m.code == ZBD_MSG_SET_OUTPUT_MODULE) {
          if (m.values[0] < 0 || size_t(m.values[0]) >= outputModules_.size()) name.clear();
          else name = outputModules_[size_t(m.values[0])].prefix + "0";
        } else if (name.empty() && m.code == ZBD_MSG_OUTPUT_OPEN) {
          name = outputName_;
        }
        if (name.empty() || ModuleOf(name) == nullptr) {
          Nack(m.code, ZBD_ERR_NO_MODULE);
          return true;
        }
        if (name == outputName_ && m.code != ZBD_MSG_OUTPUT_OPEN) {
          Ack(m.code);
          return true;
        }
        outputName_ = name;
      }
      // A device open under another name closes; the next audio opens the chosen one.
      {
        std::lock_guard lock(mutex_);
        closeDevice_ = true;
      }
      changed_.notify_all();
      ZbdMessage named{};
      Notify(ZBD_NOTIFY_OUTPUT_NAME, named, name);
      Ack(m.code);
      return true;
    }
    case ZBD_MSG_OUTPUT_CLOSE: {
      {
        std::lock_guard lock(mutex_);
        closeDevice_ = true;
      }
      changed_.notify_all();
      Ack(m.code);
      return true;
    }
    case ZBD_MSG_OUTPUT_SEND_MESSAGE:
      Nack(m.code, ZBD_ERR_NOT_SUPPORTED);
      return true;
    case ZBD_MSG_OUTPUT_MUTE:
    case ZBD_MSG_OUTPUT_UNMUTE:
      muted_ = m.code == ZBD_MSG_OUTPUT_MUTE;
      ApplyVolume();
      Ack(m.code);
      return true;
    case ZBD_MSG_OUTPUT_RESET: {
      std::lock_guard guard(deviceMutex_);
      if (device_) device_->Discard();
      Ack(m.code);
      return true;
    }
    case ZBD_MSG_OUTPUT_DRAIN: {
      Block drain;
      drain.kind = Block::Drain;
      drain.generation = generation_;
      PushBlock(std::move(drain));
      Ack(m.code);
      return true;
    }
    case ZBD_MSG_OUTPUT_ADD_FILTER:
      AddFilter(m.texts[0], uint32_t(m.values[0])) ? Ack(m.code) : Nack(m.code, ZBD_ERR_ARGUMENT);
      return true;
    case ZBD_MSG_OUTPUT_REMOVE_FILTER:
      RemoveFilter(m.texts[0]) ? Ack(m.code) : Nack(m.code, ZBD_ERR_ARGUMENT);
      return true;
    case ZBD_MSG_OUTPUT_FILTER_LIST: {
      std::lock_guard filters(filtersMutex_);
      for (const Filter& f : filters_) {
        ZbdMessage info{};
        info.data.filter_info.id = uint8_t(f.id);
        Notify(ZBD_NOTIFY_OUTPUT_FILTER_INFO, info, f.name);
      }
      return true;
    }
    case ZBD_MSG_OUTPUT_MODULE_REGISTER:
      RegisterOutputModule(m.texts[0]) ? Ack(m.code) : Nack(m.code, ZBD_ERR_NO_MODULE);
      return true;
    case ZBD_MSG_OUTPUT_MODULE_QUERY:
    case ZBD_MSG_OUTPUT_MODULES_LIST: {
      std::lock_guard guard(deviceMutex_);
      if (m.code == ZBD_MSG_OUTPUT_MODULE_QUERY && (m.values[0] < 0 || size_t(m.values[0]) >= outputModules_.size())) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      for (size_t id = 0; id < outputModules_.size(); ++id) {
        if (m.code == ZBD_MSG_OUTPUT_MODULE_QUERY && id != size_t(m.values[0])) continue;
        const OutputModule& module = outputModules_[id];
        ZbdMessage info{};
        info.data.module_info.id = uint8_t(id);
        info.data.module_info.nb_devices = 1;
        Notify(ZBD_NOTIFY_OUTPUT_MODULE_INFO, info, module.name, module.description);
        ZbdMessage device{};
        device.data.device_info.module_id = uint8_t(id);
        Notify(ZBD_NOTIFY_OUTPUT_DEVICE_INFO, device, module.prefix + "0", "the default " + module.backend + " device");
      }
      return true;
    }
    case ZBD_MSG_GET_OUTPUT_NAME: {
      std::string name;
      {
        std::lock_guard guard(deviceMutex_);
        name = outputName_;
      }
      ZbdMessage named{};
      Notify(ZBD_NOTIFY_OUTPUT_NAME, named, name);
      return true;
    }
    case ZBD_MSG_GET_OUTPUT_MODULE: {
      ZbdMessage module{};
      std::lock_guard guard(deviceMutex_);
      const OutputModule* current = ModuleOf(outputName_);
      module.data.module.id = current ? int16_t(current - outputModules_.data()) : int16_t(-1);
      Notify(ZBD_NOTIFY_OUTPUT_MODULE, module);
      return true;
    }
    case ZBD_MSG_SET_OUTPUT_VOLUME:
      for (int i = 0; i < 3; ++i) {
        if (m.values[i] < 0 || m.values[i] > 100) {
          Nack(m.code, ZBD_ERR_ARGUMENT);
          return true;
        }
      }
      masterLevel_ = uint8_t(m.values[0]);
      pcmLevel_ = uint8_t(m.values[1]);
      balance_ = uint8_t(m.values[2]);
      ApplyVolume();
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_OUTPUT_VOLUME: {
      ZbdMessage volume{};
      volume.data.volume.master_level = masterLevel_;
      volume.data.volume.pcm_level = pcmLevel_;
      volume.data.volume.balance = balance_;
      Notify(ZBD_NOTIFY_OUTPUT_VOLUME, volume);
      return true;
    }
    case ZBD_MSG_SET_OUTPUT_CHANNELS:
      if (m.values[0] < ZBD_CHANNELS_STEREO || m.values[0] > ZBD_CHANNELS_MONO_MIX) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      outputChannels_ = uint32_t(m.values[0]);
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_OUTPUT_CHANNELS:
      NotifyValue(ZBD_NOTIFY_OUTPUT_CHANNELS, uint8_t(outputChannels_));
      return true;
    case ZBD_MSG_SET_OUTPUT_PORTS:
      m.values[0] == 0 ? Ack(m.code) : Nack(m.code, ZBD_ERR_NOT_SUPPORTED);
      return true;
    case ZBD_MSG_GET_OUTPUT_PORTS:
      NotifyTag(ZBD_NOTIFY_OUTPUT_PORTS, 0);
      return true;
    default:
      return false;
  }
}

bool Player::HandleSettings(const ControlMessage& m) {
  switch (m.code) {
    case ZBD_MSG_SET_PLAYER_MODE:
      playerMode_ = uint32_t(m.values[0]);
      modeFlags_ = playerMode_;
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_PLAYER_MODE:
      NotifyTag(ZBD_NOTIFY_PLAYER_MODE, playerMode_);
      return true;
    case ZBD_MSG_SET_PLAYER_ENVIRONMENT_INTEGER:
      environmentStrings_.erase(m.texts[0]);
      environmentIntegers_[m.texts[0]] = m.values[0];
      Ack(m.code);
      return true;
    case ZBD_MSG_SET_PLAYER_ENVIRONMENT_STRING:
      environmentIntegers_.erase(m.texts[0]);
      environmentStrings_[m.texts[0]] = m.texts[1];
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_PLAYER_ENVIRONMENT_INTEGER: {
      const auto found = environmentIntegers_.find(m.texts[0]);
      if (found == environmentIntegers_.end()) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      ZbdMessage value{};
      value.data.environment_integer.value = found->second;
      Notify(ZBD_NOTIFY_PLAYER_ENVIRONMENT_INTEGER, value, found->first);
      return true;
    }
    case ZBD_MSG_GET_PLAYER_ENVIRONMENT_STRING: {
      const auto found = environmentStrings_.find(m.texts[0]);
      if (found == environmentStrings_.end()) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      ZbdMessage value{};
      Notify(ZBD_NOTIFY_PLAYER_ENVIRONMENT_STRING, value, found->first, found->second);
      return true;
    }
    case ZBD_MSG_UNSET_PLAYER_ENVIRONMENT:
      environmentIntegers_.erase(m.texts[0]);
      environmentStrings_.erase(m.texts[0]);
      Ack(m.code);
      return true;
    case ZBD_MSG_SET_CODEC_QUALITY:
      if (m.values[0] < 0 || m.values[0] > 2) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      codecQuality_ = uint32_t(m.values[0]);  // taken by the next InputOpen
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_CODEC_QUALITY:
      NotifyValue(ZBD_NOTIFY_CODEC_QUALITY, uint8_t(codecQuality_));
      return true;
    case ZBD_MSG_SET_CODEC_EQUALIZER:
      haveEqualizer_ = m.copied.size() == sizeof(ZbdEqualizer);
      if (haveEqualizer_) std::memcpy(&equalizer_, m.copied.data(), sizeof equalizer_);
      else equalizer_ = ZbdEqualizer{};
      if (decoder_) decoder_->SetEqualizer(haveEqualizer_ ? &equalizer_ : nullptr);
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_CODEC_EQUALIZER: {
      ZbdMessage eq{};
      eq.data.equalizer = equalizer_;
      Notify(ZBD_NOTIFY_CODEC_EQUALIZER, eq);
      return true;
    }
    case ZBD_MSG_SET_NOTIFICATION_MASK:
      notify_.SetMask(uint32_t(m.values[0]));
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_NOTIFICATION_MASK:
      NotifyTag(ZBD_NOTIFY_NOTIFICATION_MASK, notify_.Mask());
      return true;
    case ZBD_MSG_SET_DEBUG_LEVEL:
      if (m.values[0] < 0 || m.values[0] > 10) {
        Nack(m.code, ZBD_ERR_ARGUMENT);
        return true;
      }
      debugLevel_ = uint32_t(m.values[0]);
      Ack(m.code);
      return true;
    case ZBD_MSG_GET_DEBUG_LEVEL:
      NotifyValue(ZBD_NOTIFY_DEBUG_LEVEL, uint8_t(debugLevel_));
      return true;
    default:
      return false;
  }
}

void Player::ApplyVolume() {
  if (muted_) {
    volume_.Set(0, 0);
    return;
  }
  const double level = masterLevel_ / 100.0 * pcmLevel_ / 100.0;
  const double leftShare = balance_ <= 50 ? 1.0 : (100 - balance_) / 50.0;
  const double rightShare = balance_ >= 50 ? 1.0 : balance_ / 50.0;
  volume_.Set(uint32_t(level * leftShare * kVolumeFull + 0.5), uint32_t(level * rightShare * kVolumeFull + 0.5));
}

bool Player::AddFilter(const std::string& name, uint32_t id) {
  // "function@<address>": the description routine of a filter in this process.
  const size_t at = name.find('@');
  if (name.compare(0, at, "function") != 0 || at == std::string::npos) return false;
  char* end = nullptr;
  const uintptr_t address = std::strtoull(name.c_str() + at + 1, &end, 16);
  if (address == 0 || end == nullptr || *end != '\0') return false;
  {
    std::lock_guard filters(filtersMutex_);
    for (const Filter& f : filters_) {
      if (f.name == name) return true;  // added already: one instance feeds the chain
    }
  }
  Filter filter;
  filter.name = name;
  filter.id = id;
  auto describe = reinterpret_cast<ZbdOutputFilterDescribe>(address);
  int32_t described = -1;
  if (RunGuarded([&] { described = describe(filter.table); }) != 0 || described != 0) return false;
  auto newInstance = reinterpret_cast<int32_t (*)(void**, uint32_t)>(filter.table[1]);
  auto write = reinterpret_cast<ZbdOutputFilterWrite>(filter.table[5]);
  if (filter.table[0] == nullptr || newInstance == nullptr || write == nullptr) return false;
  void* instance = nullptr;
  if (newInstance(&instance, id) != 0) return false;
  filter.stage.structBytes = sizeof(ZbdOutputFilterStage);
  filter.stage.instance = instance;
  filter.stage.write = write;
  std::lock_guard filters(filtersMutex_);
  filters_.push_back(filter);
  // Relink the chain: each filter hands on to the next, the last one to the device.
  for (size_t i = 0; i < filters_.size(); ++i) {
    filters_[i].stage.next = i + 1 < filters_.size() ? &filters_[i + 1].stage : &deviceStage_;
  }
  return true;
}

bool Player::RemoveFilter(const std::string& name) {
  std::lock_guard filters(filtersMutex_);
  auto found = std::find_if(filters_.begin(), filters_.end(), [&](const Filter& f) { return f.name == name; });
  if (found == filters_.end()) return false;
  if (auto del = reinterpret_cast<int32_t (*)(void*)>(found->table[2])) del(found->stage.instance);
  filters_.erase(found);
  for (size_t i = 0; i < filters_.size(); ++i) {
    filters_[i].stage.next = i + 1 < filters_.size() ? &filters_[i + 1].stage : &deviceStage_;
  }
  return true;
}

bool Player::RegisterOutputModule(const std::string& spec) {
  // "function@library": library "x.dll" (or "libx.so", or "x") is the outside library x.
  const size_t at = spec.find('@');
  if (at == std::string::npos || at == 0 || at + 1 == spec.size()) return false;
  const std::string function = spec.substr(0, at);
  std::string library = spec.substr(at + 1);
  for (const char* suffix : {".dll", ".DLL", ".so"}) {
    const size_t n = std::strlen(suffix);
    if (library.size() > n && library.compare(library.size() - n, n, suffix) == 0) library.resize(library.size() - n);
  }
  if (library.rfind("lib", 0) == 0) library.erase(0, 3);
  auto loaded = std::make_shared<OutsideLibrary>(OutsideLibrary::Open(library));
  if (!loaded->Loaded()) {
    NotifyError(ZBD_SOURCE_OUTPUT, ZBD_ERR_NO_MODULE, "Cannot load the output module " + spec + ": " + loaded->LoadError());
    return false;
  }
  auto reg = loaded->Entry<ZbdOutputModuleRegister>(function.c_str());
  ZbdOutputModule description{};
  description.structBytes = sizeof description;
  int32_t result = -1;
  if (reg == nullptr || RunGuarded([&] { result = reg(&description); }) != 0 || result != 0 ||
      description.name == nullptr || description.devicePrefix == nullptr || description.audioBackend == nullptr) {
    NotifyError(ZBD_SOURCE_OUTPUT, ZBD_ERR_NO_MODULE, "The output module " + spec + " cannot be registered");
    return false;
  }
  OutputModule module{description.name, description.description ? description.description : "",
                      description.devicePrefix, description.audioBackend, loaded};
  if (module.backend != "pulse" && module.backend != "alsa") {
    NotifyError(ZBD_SOURCE_OUTPUT, ZBD_ERR_NO_MODULE,
                "The output module " + spec + " asks for the unknown audio output " + module.backend);
    return false;
  }
  std::lock_guard guard(deviceMutex_);
  for (OutputModule& existing : outputModules_) {
    if (existing.prefix == module.prefix) {
      existing = module;  // registered again: the newer description holds
      return true;
    }
  }
  outputModules_.push_back(module);
  return true;
}

const Player::OutputModule* Player::ModuleOf(const std::string& outputName) const {
  for (const OutputModule& module : outputModules_) {
    if (outputName.rfind(module.prefix, 0) == 0 && outputName.size() > module.prefix.size()) return &module;
  }
  return nullptr;
}
