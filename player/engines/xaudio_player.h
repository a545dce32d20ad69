// TXaudioPlayer: the decoder library's player object wrapped for the main loop: one method
// per control message, one event per notification, and the pump that turns the records on
// the notification pipe into events.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/main_loop.h"
#include "common/unique_fd.h"
#include "outside/zbdecode/zbdecode_player.h"

// Main thread only: the methods queue a message and return its send result (ZBD_OK or a
// ZBD_ERR_* code); the events run on the main thread from the pump.
class TXaudioPlayer {
 public:
  explicit TXaudioPlayer(MainLoop& loop);
  ~TXaudioPlayer();
  TXaudioPlayer(const TXaudioPlayer&) = delete;
  TXaudioPlayer& operator=(const TXaudioPlayer&) = delete;

  // ZBD_OK when the library's player started; otherwise every message goes nowhere.
  int32_t StartResult() const { return startResult_; }
  uint32_t Priority() const;
  void SetPriority(uint32_t priority);

  template <typename... Args>
  using Event = std::function<void(TXaudioPlayer* sender, Args...)>;

  Event<const ZbdMessage&> OnNotifyMessage;
  Event<> OnNotifyReady;
  Event<uint8_t> OnNotifyAck;
  Event<uint8_t, int16_t> OnNotifyNack;
  Event<uint32_t> OnNotifyPong;
  Event<> OnNotifyExited;
  Event<int> OnNotifyPlayerState;
  Event<int> OnNotifyPlayerMode;
  Event<const std::string&, int> OnNotifyPlayerEnvironmentInteger;
  Event<const std::string&, const std::string&> OnNotifyPlayerEnvironmentString;
  Event<int> OnNotifyInputState;
  Event<const std::string&> OnNotifyInputName;
  Event<uint32_t> OnNotifyInputCaps;
  Event<uint32_t, uint32_t> OnNotifyInputPosition;
  Event<int> OnNotifyInputPositionRange;
  Event<uint8_t, uint8_t, uint8_t, uint8_t> OnNotifyInputTimecode;
  Event<uint32_t> OnNotifyInputTimecodeGranularity;
  Event<uint32_t> OnNotifyInputDuration;
  Event<uint8_t, uint8_t, uint16_t, uint16_t, uint8_t> OnNotifyInputStreamInfo;
  Event<int16_t> OnNotifyInputModule;
  Event<uint8_t, uint8_t, const std::string&, const std::string&> OnNotifyInputModuleInfo;
  Event<uint8_t, uint8_t, uint8_t, const std::string&, const std::string&> OnNotifyInputDeviceInfo;
  Event<uint8_t, const std::string&> OnNotifyInputFilterInfo;
  Event<int> OnNotifyOutputState;
  Event<const std::string&> OnNotifyOutputName;
  Event<uint32_t> OnNotifyOutputCaps;
  Event<uint8_t, uint8_t, uint8_t> OnNotifyOutputVolume;
  Event<uint8_t> OnNotifyOutputBalance;
  Event<uint8_t> OnNotifyOutputPcmLevel;
  Event<uint8_t> OnNotifyOutputMasterLevel;
  Event<uint8_t> OnNotifyOutputChannels;
  Event<uint32_t> OnNotifyOutputPorts;
  Event<int16_t> OnNotifyOutputModule;
  Event<uint8_t, uint8_t, const std::string&, const std::string&> OnNotifyOutputModuleInfo;
  Event<uint8_t, uint8_t, uint8_t, const std::string&, const std::string&> OnNotifyOutputDeviceInfo;
  Event<uint8_t, const std::string&> OnNotifyOutputFilterInfo;
  Event<uint8_t> OnNotifyCodecQuality;
  Event<const ZbdEqualizer&> OnNotifyCodecEqualizer;
  Event<uint32_t> OnNotifyNotificationMask;
  Event<uint8_t> OnNotifyDebugLevel;
  Event<uint8_t, uint8_t, int16_t, const std::string&> OnNotifyProgress;
  Event<uint8_t, uint8_t, const std::string&> OnNotifyDebug;
  Event<uint8_t, int16_t, const std::string&> OnNotifyError;

  int32_t Exit() { return N(ZBD_MSG_EXIT); }
  int32_t Ping(uint32_t tag) { return I(ZBD_MSG_PING, int32_t(tag)); }
  int32_t Play() { return N(ZBD_MSG_PLAY); }
  int32_t Pause() { return N(ZBD_MSG_PAUSE); }
  int32_t Stop() { return N(ZBD_MSG_STOP); }
  int32_t InputSeek(uint32_t offset, uint32_t range) {
    return control_message_send_II(player_, ZBD_MSG_INPUT_SEEK, int32_t(offset), int32_t(range));
  }
  int32_t InputOpen(const std::string& name) { return S(ZBD_MSG_INPUT_OPEN, name); }
  int32_t InputClose() { return N(ZBD_MSG_INPUT_CLOSE); }
  int32_t InputSendMessage(int type, const void* data, uint32_t size) {
    return control_message_send_IPI(player_, ZBD_MSG_INPUT_SEND_MESSAGE, type, data, int32_t(size));
  }
  int32_t InputAddFilter(const std::string& name, int id) { return SI(ZBD_MSG_INPUT_ADD_FILTER, name, id); }
  int32_t InputRemoveFilter(const std::string& name, int id) { return SI(ZBD_MSG_INPUT_REMOVE_FILTER, name, id); }
  int32_t InputFilterList() { return N(ZBD_MSG_INPUT_FILTER_LIST); }
  int32_t InputModuleRegister(const std::string& name) { return S(ZBD_MSG_INPUT_MODULE_REGISTER, name); }
  int32_t InputModuleQuery(int id) { return I(ZBD_MSG_INPUT_MODULE_QUERY, id); }
  int32_t InputModulesList() { return N(ZBD_MSG_INPUT_MODULES_LIST); }
  int32_t OutputOpen(const std::string& name) { return S(ZBD_MSG_OUTPUT_OPEN, name); }
  int32_t OutputClose() { return N(ZBD_MSG_OUTPUT_CLOSE); }
  int32_t OutputSendMessage(int type, const void* data, uint32_t size) {
    return control_message_send_IPI(player_, ZBD_MSG_OUTPUT_SEND_MESSAGE, type, data, int32_t(size));
  }
  int32_t OutputMute() { return N(ZBD_MSG_OUTPUT_MUTE); }
  int32_t OutputUnmute() { return N(ZBD_MSG_OUTPUT_UNMUTE); }
  int32_t OutputReset() { return N(ZBD_MSG_OUTPUT_RESET); }
  int32_t OutputDrain() { return N(ZBD_MSG_OUTPUT_DRAIN); }
  int32_t OutputAddFilter(const std::string& name, int id) { return SI(ZBD_MSG_OUTPUT_ADD_FILTER, name, id); }
  int32_t OutputRemoveFilter(const std::string& name, int id) { return SI(ZBD_MSG_OUTPUT_REMOVE_FILTER, name, id); }
  int32_t OutputFilterList() { return N(ZBD_MSG_OUTPUT_FILTER_LIST); }
  int32_t OutputModuleRegister(const std::string& name) { return S(ZBD_MSG_OUTPUT_MODULE_REGISTER, name); }
  int32_t OutputModuleQuery(int id) { return I(ZBD_MSG_OUTPUT_MODULE_QUERY, id); }
  int32_t OutputModulesList() { return N(ZBD_MSG_OUTPUT_MODULES_LIST); }
  int32_t SetPlayerMode(uint32_t mode) { return I(ZBD_MSG_SET_PLAYER_MODE, int32_t(mode)); }
  int32_t GetPlayerMode() { return N(ZBD_MSG_GET_PLAYER_MODE); }
  int32_t SetPlayerEnvironmentInteger(const std::string& name, int value) {
    return SI(ZBD_MSG_SET_PLAYER_ENVIRONMENT_INTEGER, name, value);
  }
  int32_t GetPlayerEnvironmentInteger(const std::string& name) { return S(ZBD_MSG_GET_PLAYER_ENVIRONMENT_INTEGER, name); }
  int32_t SetPlayerEnvironmentString(const std::string& name, const std::string& value) {
    return control_message_send_SS(player_, ZBD_MSG_SET_PLAYER_ENVIRONMENT_STRING, name.c_str(), value.c_str());
  }
  int32_t GetPlayerEnvironmentString(const std::string& name) { return S(ZBD_MSG_GET_PLAYER_ENVIRONMENT_STRING, name); }
  int32_t UnsetPlayerEnvironment(const std::string& name) { return S(ZBD_MSG_UNSET_PLAYER_ENVIRONMENT, name); }
  int32_t SetInputName(const std::string& name) { return S(ZBD_MSG_SET_INPUT_NAME, name); }
  int32_t GetInputName() { return N(ZBD_MSG_GET_INPUT_NAME); }
  int32_t SetInputModule(int id) { return I(ZBD_MSG_SET_INPUT_MODULE, id); }
  int32_t GetInputModule() { return N(ZBD_MSG_GET_INPUT_MODULE); }
  int32_t SetInputPositionRange(int range) { return I(ZBD_MSG_SET_INPUT_POSITION_RANGE, range); }
  int32_t GetInputPositionRange() { return N(ZBD_MSG_GET_INPUT_POSITION_RANGE); }
  int32_t SetInputTimecodeGranularity(uint32_t ms) { return I(ZBD_MSG_SET_INPUT_TIMECODE_GRANULARITY, int32_t(ms)); }
  int32_t GetInputTimecodeGranularity() { return N(ZBD_MSG_GET_INPUT_TIMECODE_GRANULARITY); }
  int32_t SetOutputName(const std::string& name) { return S(ZBD_MSG_SET_OUTPUT_NAME, name); }
  int32_t GetOutputName() { return N(ZBD_MSG_GET_OUTPUT_NAME); }
  int32_t SetOutputModule(int id) { return I(ZBD_MSG_SET_OUTPUT_MODULE, id); }
  int32_t GetOutputModule() { return N(ZBD_MSG_GET_OUTPUT_MODULE); }
  int32_t SetOutputVolume(int master, int pcm, int balance) {
    return control_message_send_III(player_, ZBD_MSG_SET_OUTPUT_VOLUME, master, pcm, balance);
  }
  int32_t GetOutputVolume() { return N(ZBD_MSG_GET_OUTPUT_VOLUME); }
  int32_t SetOutputChannels(int channels) { return I(ZBD_MSG_SET_OUTPUT_CHANNELS, channels); }
  int32_t GetOutputChannels() { return N(ZBD_MSG_GET_OUTPUT_CHANNELS); }
  int32_t SetOutputPorts(int ports) { return I(ZBD_MSG_SET_OUTPUT_PORTS, ports); }
  int32_t GetOutputPorts() { return N(ZBD_MSG_GET_OUTPUT_PORTS); }
  int32_t SetCodecQuality(int quality) { return I(ZBD_MSG_SET_CODEC_QUALITY, quality); }
  int32_t GetCodecQuality() { return N(ZBD_MSG_GET_CODEC_QUALITY); }
  int32_t SetCodecEqualizer(const void* record) {
    return control_message_send_P(player_, ZBD_MSG_SET_CODEC_EQUALIZER, record);
  }
  int32_t GetCodecEqualizer() { return N(ZBD_MSG_GET_CODEC_EQUALIZER); }
  int32_t SetNotificationMask(uint32_t mask) { return I(ZBD_MSG_SET_NOTIFICATION_MASK, int32_t(mask)); }
  int32_t GetNotificationMask() { return N(ZBD_MSG_GET_NOTIFICATION_MASK); }
  int32_t SetDebugLevel(int level) { return I(ZBD_MSG_SET_DEBUG_LEVEL, level); }
  int32_t GetDebugLevel() { return N(ZBD_MSG_GET_DEBUG_LEVEL); }

 private:
  int32_t N(int32_t code) { return control_message_send_N(player_, code); }
  int32_t I(int32_t code, int32_t value) { return control_message_send_I(player_, code, value); }
  int32_t S(int32_t code, const std::string& text) { return control_message_send_S(player_, code, text.c_str()); }
  int32_t SI(int32_t code, const std::string& text, int32_t value) {
    return control_message_send_SI(player_, code, text.c_str(), value);
  }
  // Reads and dispatches every record waiting on the pipe.
  void Pump();
  void Dispatch(const ZbdMessage& m);

  MainLoop& loop_;
  UniqueFd readFd_, writeFd_;
  MainLoop::HandlerId watch_ = 0;
  ZbdPlayer* player_ = nullptr;
  int32_t startResult_ = ZBD_ERR_FAILURE;
};
