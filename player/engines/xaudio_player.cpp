// TXaudioPlayer: the library's player, its notification pipe and the pump.
#include "player/engines/xaudio_player.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

TXaudioPlayer::TXaudioPlayer(MainLoop& loop) : loop_(loop) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  readFd_.Reset(fds[0]);
  writeFd_.Reset(fds[1]);
  const int flags = fcntl(readFd_.Get(), F_GETFL);
  fcntl(readFd_.Get(), F_SETFL, flags | O_NONBLOCK);
  const int32_t notifyFd = writeFd_.Get();
  startResult_ = player_new(&player_, &notifyFd);
  if (startResult_ != ZBD_OK) {
    player_ = nullptr;
    return;
  }
  watch_ = loop_.WatchReadable(readFd_.Get(), [this] { Pump(); });
}

TXaudioPlayer::~TXaudioPlayer() {
  if (watch_ != 0) loop_.Unwatch(watch_);
  if (player_ != nullptr) player_delete(player_);
}

uint32_t TXaudioPlayer::Priority() const { return player_get_priority(player_); }

void TXaudioPlayer::SetPriority(uint32_t priority) { player_set_priority(player_, priority); }

void TXaudioPlayer::Pump() {
  // Records are written whole, so a header is always followed by its payload.
  std::vector<uint8_t> payload;
  for (;;) {
    ZbdPostedMessage header{};
    if (::read(readFd_.Get(), &header, sizeof header) != ssize_t(sizeof header)) return;
    payload.resize(header.bytes);
    if (header.bytes > 0 && ::read(readFd_.Get(), payload.data(), header.bytes) != ssize_t(header.bytes)) return;
    ZbdMessage message{};
    control_win32_params_to_message(player_, &message, header.code, header.bytes, uint64_t(uintptr_t(payload.data())));
    if (OnNotifyMessage) OnNotifyMessage(this, message);
    Dispatch(message);
  }
}

void TXaudioPlayer::Dispatch(const ZbdMessage& m) {
  const auto& d = m.data;
  auto text = [](const char* t) { return std::string(t ? t : ""); };
  switch (m.code) {
    case ZBD_NOTIFY_READY: if (OnNotifyReady) OnNotifyReady(this); break;
    case ZBD_NOTIFY_ACK: if (OnNotifyAck) OnNotifyAck(this, d.ack.command); break;
    case ZBD_NOTIFY_NACK: if (OnNotifyNack) OnNotifyNack(this, d.nack.command, d.nack.code); break;
    case ZBD_NOTIFY_PONG: if (OnNotifyPong) OnNotifyPong(this, d.tag); break;
    case ZBD_NOTIFY_EXITED: if (OnNotifyExited) OnNotifyExited(this); break;
    case ZBD_NOTIFY_PLAYER_STATE: if (OnNotifyPlayerState) OnNotifyPlayerState(this, d.state); break;
    case ZBD_NOTIFY_PLAYER_MODE: if (OnNotifyPlayerMode) OnNotifyPlayerMode(this, int(d.tag)); break;
    case ZBD_NOTIFY_PLAYER_ENVIRONMENT_INTEGER:
      if (OnNotifyPlayerEnvironmentInteger) {
        OnNotifyPlayerEnvironmentInteger(this, text(d.environment_integer.name), d.environment_integer.value);
      }
      break;
    case ZBD_NOTIFY_PLAYER_ENVIRONMENT_STRING:
      if (OnNotifyPlayerEnvironmentString) {
        OnNotifyPlayerEnvironmentString(this, text(d.environment_string.name), text(d.environment_string.value));
      }
      break;
    case ZBD_NOTIFY_INPUT_STATE: if (OnNotifyInputState) OnNotifyInputState(this, d.state); break;
    case ZBD_NOTIFY_INPUT_NAME: if (OnNotifyInputName) OnNotifyInputName(this, text(d.name.name)); break;
    case ZBD_NOTIFY_INPUT_CAPS: if (OnNotifyInputCaps) OnNotifyInputCaps(this, d.tag); break;
    case ZBD_NOTIFY_INPUT_POSITION:
      if (OnNotifyInputPosition) OnNotifyInputPosition(this, d.position.offset, d.position.range);
      break;
    case ZBD_NOTIFY_INPUT_POSITION_RANGE: if (OnNotifyInputPositionRange) OnNotifyInputPositionRange(this, d.state); break;
    case ZBD_NOTIFY_INPUT_TIMECODE:
      if (OnNotifyInputTimecode) {
        OnNotifyInputTimecode(this, d.timecode.hours, d.timecode.minutes, d.timecode.seconds, d.timecode.fractions);
      }
      break;
    case ZBD_NOTIFY_INPUT_TIMECODE_GRANULARITY:
      if (OnNotifyInputTimecodeGranularity) OnNotifyInputTimecodeGranularity(this, d.tag);
      break;
    case ZBD_NOTIFY_INPUT_DURATION: if (OnNotifyInputDuration) OnNotifyInputDuration(this, d.tag); break;
    case ZBD_NOTIFY_INPUT_STREAM_INFO:
      if (OnNotifyInputStreamInfo) {
        OnNotifyInputStreamInfo(this, d.stream_info.level, d.stream_info.layer, d.stream_info.bitrate,
                                d.stream_info.frequency, d.stream_info.mode);
      }
      break;
    case ZBD_NOTIFY_INPUT_MODULE: if (OnNotifyInputModule) OnNotifyInputModule(this, d.module.id); break;
    case ZBD_NOTIFY_INPUT_MODULE_INFO:
      if (OnNotifyInputModuleInfo) {
        OnNotifyInputModuleInfo(this, d.module_info.id, d.module_info.nb_devices, text(d.module_info.name),
                                text(d.module_info.description));
      }
      break;
    case ZBD_NOTIFY_INPUT_DEVICE_INFO:
      if (OnNotifyInputDeviceInfo) {
        OnNotifyInputDeviceInfo(this, d.device_info.module_id, d.device_info.index, d.device_info.flags,
                                text(d.device_info.name), text(d.device_info.description));
      }
      break;
    case ZBD_NOTIFY_INPUT_FILTER_INFO:
      if (OnNotifyInputFilterInfo) OnNotifyInputFilterInfo(this, d.filter_info.id, text(d.filter_info.name));
      break;
    case ZBD_NOTIFY_OUTPUT_STATE: if (OnNotifyOutputState) OnNotifyOutputState(this, d.state); break;
    case ZBD_NOTIFY_OUTPUT_NAME: if (OnNotifyOutputName) OnNotifyOutputName(this, text(d.name.name)); break;
    case ZBD_NOTIFY_OUTPUT_CAPS: if (OnNotifyOutputCaps) OnNotifyOutputCaps(this, d.tag); break;
    case ZBD_NOTIFY_OUTPUT_VOLUME:
      if (OnNotifyOutputVolume) OnNotifyOutputVolume(this, d.volume.master_level, d.volume.pcm_level, d.volume.balance);
      break;
    case ZBD_NOTIFY_OUTPUT_BALANCE: if (OnNotifyOutputBalance) OnNotifyOutputBalance(this, d.value); break;
    case ZBD_NOTIFY_OUTPUT_PCM_LEVEL: if (OnNotifyOutputPcmLevel) OnNotifyOutputPcmLevel(this, d.value); break;
    case ZBD_NOTIFY_OUTPUT_MASTER_LEVEL: if (OnNotifyOutputMasterLevel) OnNotifyOutputMasterLevel(this, d.value); break;
    case ZBD_NOTIFY_OUTPUT_CHANNELS: if (OnNotifyOutputChannels) OnNotifyOutputChannels(this, d.value); break;
    case ZBD_NOTIFY_OUTPUT_PORTS: if (OnNotifyOutputPorts) OnNotifyOutputPorts(this, d.tag); break;
    case ZBD_NOTIFY_OUTPUT_MODULE: if (OnNotifyOutputModule) OnNotifyOutputModule(this, d.module.id); break;
    case ZBD_NOTIFY_OUTPUT_MODULE_INFO:
      if (OnNotifyOutputModuleInfo) {
        OnNotifyOutputModuleInfo(this, d.module_info.id, d.module_info.nb_devices, text(d.module_info.name),
                                 text(d.module_info.description));
      }
      break;
    case ZBD_NOTIFY_OUTPUT_DEVICE_INFO:
      if (OnNotifyOutputDeviceInfo) {
        OnNotifyOutputDeviceInfo(this, d.device_info.module_id, d.device_info.index, d.device_info.flags,
                                 text(d.device_info.name), text(d.device_info.description));
      }
      break;
    case ZBD_NOTIFY_OUTPUT_FILTER_INFO:
      if (OnNotifyOutputFilterInfo) OnNotifyOutputFilterInfo(this, d.filter_info.id, text(d.filter_info.name));
      break;
    case ZBD_NOTIFY_CODEC_QUALITY: if (OnNotifyCodecQuality) OnNotifyCodecQuality(this, d.value); break;
    case ZBD_NOTIFY_CODEC_EQUALIZER: if (OnNotifyCodecEqualizer) OnNotifyCodecEqualizer(this, d.equalizer); break;
    case ZBD_NOTIFY_NOTIFICATION_MASK: if (OnNotifyNotificationMask) OnNotifyNotificationMask(this, d.tag); break;
    case ZBD_NOTIFY_DEBUG_LEVEL: if (OnNotifyDebugLevel) OnNotifyDebugLevel(this, d.value); break;
    case ZBD_NOTIFY_PROGRESS:
      if (OnNotifyProgress) {
        OnNotifyProgress(this, d.progress.source, d.progress.code, d.progress.value, text(d.progress.message));
      }
      break;
    case ZBD_NOTIFY_DEBUG:
      if (OnNotifyDebug) OnNotifyDebug(this, d.debug.source, d.debug.level, text(d.debug.message));
      break;
    case ZBD_NOTIFY_ERROR:
      if (OnNotifyError) OnNotifyError(this, d.error.source, d.error.code, text(d.error.message));
      break;
    default:
      break;  // 95 and codes outside 64..106 raise nothing
  }
}
