// The exported player functions over Player.
#include <cstring>
#include <new>

#include "outside/zbdecode/notification_pipe.h"
#include "outside/zbdecode/player.h"
#include "outside/zbdecode/zbdecode_player.h"

namespace {

Player* Of(ZbdPlayer* player) {
  return player != nullptr && player->magic == kPlayerMagic ? player->player.get() : nullptr;
}

// The argument form each control message code takes.
enum class Form { N, I, II, III, IPI, P, S, SI, SS, None };

Form FormOf(int32_t code) {
  switch (code) {
    case ZBD_MSG_EXIT: case ZBD_MSG_PLAY: case ZBD_MSG_PAUSE: case ZBD_MSG_STOP: case ZBD_MSG_INPUT_CLOSE:
    case ZBD_MSG_INPUT_FILTER_LIST: case ZBD_MSG_INPUT_MODULES_LIST: case ZBD_MSG_OUTPUT_CLOSE:
    case ZBD_MSG_OUTPUT_MUTE: case ZBD_MSG_OUTPUT_UNMUTE: case ZBD_MSG_OUTPUT_RESET: case ZBD_MSG_OUTPUT_DRAIN:
    case ZBD_MSG_OUTPUT_FILTER_LIST: case ZBD_MSG_OUTPUT_MODULES_LIST: case ZBD_MSG_GET_PLAYER_MODE:
    case ZBD_MSG_GET_INPUT_NAME: case ZBD_MSG_GET_INPUT_MODULE: case ZBD_MSG_GET_INPUT_POSITION_RANGE:
    case ZBD_MSG_GET_INPUT_TIMECODE_GRANULARITY: case ZBD_MSG_GET_OUTPUT_NAME: case ZBD_MSG_GET_OUTPUT_MODULE:
    case ZBD_MSG_GET_OUTPUT_VOLUME: case ZBD_MSG_GET_OUTPUT_CHANNELS: case ZBD_MSG_GET_OUTPUT_PORTS:
    case ZBD_MSG_GET_CODEC_QUALITY: case ZBD_MSG_GET_CODEC_EQUALIZER: case ZBD_MSG_GET_NOTIFICATION_MASK:
    case ZBD_MSG_GET_DEBUG_LEVEL:
      return Form::N;
    case ZBD_MSG_PING: case ZBD_MSG_INPUT_MODULE_QUERY: case ZBD_MSG_OUTPUT_MODULE_QUERY:
    case ZBD_MSG_SET_PLAYER_MODE: case ZBD_MSG_SET_INPUT_MODULE: case ZBD_MSG_SET_INPUT_POSITION_RANGE:
    case ZBD_MSG_SET_INPUT_TIMECODE_GRANULARITY: case ZBD_MSG_SET_OUTPUT_MODULE: case ZBD_MSG_SET_OUTPUT_CHANNELS:
    case ZBD_MSG_SET_OUTPUT_PORTS: case ZBD_MSG_SET_CODEC_QUALITY: case ZBD_MSG_SET_NOTIFICATION_MASK:
    case ZBD_MSG_SET_DEBUG_LEVEL:
      return Form::I;
    case ZBD_MSG_INPUT_SEEK: return Form::II;
    case ZBD_MSG_SET_OUTPUT_VOLUME: return Form::III;
    case ZBD_MSG_INPUT_SEND_MESSAGE: case ZBD_MSG_OUTPUT_SEND_MESSAGE: return Form::IPI;
    case ZBD_MSG_SET_CODEC_EQUALIZER: return Form::P;
    case ZBD_MSG_INPUT_OPEN: case ZBD_MSG_INPUT_MODULE_REGISTER: case ZBD_MSG_OUTPUT_OPEN:
    case ZBD_MSG_OUTPUT_MODULE_REGISTER: case ZBD_MSG_GET_PLAYER_ENVIRONMENT_INTEGER:
    case ZBD_MSG_GET_PLAYER_ENVIRONMENT_STRING: case ZBD_MSG_UNSET_PLAYER_ENVIRONMENT: case ZBD_MSG_SET_INPUT_NAME:
    case ZBD_MSG_SET_OUTPUT_NAME:
      return Form::S;
    case ZBD_MSG_INPUT_ADD_FILTER: case ZBD_MSG_INPUT_REMOVE_FILTER: case ZBD_MSG_OUTPUT_ADD_FILTER:
    case ZBD_MSG_OUTPUT_REMOVE_FILTER: case ZBD_MSG_SET_PLAYER_ENVIRONMENT_INTEGER:
      return Form::SI;
    case ZBD_MSG_SET_PLAYER_ENVIRONMENT_STRING: return Form::SS;
    default: return Form::None;
  }
}

bool TextFits(const char* text) { return text != nullptr && std::strlen(text) <= ZBD_MAX_TEXT; }

int32_t Queue(ZbdPlayer* player, Form form, ControlMessage&& message) {
  Player* p = Of(player);
  if (p == nullptr || FormOf(message.code) != form) return ZBD_ERR_ARGUMENT;
  try {
    p->Send(std::move(message));
    return ZBD_OK;
  } catch (const std::bad_alloc&) {
    return ZBD_ERR_MEMORY;
  } catch (...) {
    return ZBD_ERR_FAILURE;
  }
}

}  // namespace

extern "C" {

ZBDECODE_EXPORT int32_t player_new(ZbdPlayer** player, const int32_t* notifyFd) {
  if (player == nullptr) return ZBD_ERR_ARGUMENT;
  *player = nullptr;
  if (notifyFd == nullptr || *notifyFd < 0) return ZBD_ERR_ARGUMENT;
  try {
    auto made = std::make_unique<ZbdPlayer>();
    made->magic = kPlayerMagic;
    made->player = std::make_unique<Player>(*notifyFd);
    *player = made.release();
    return ZBD_OK;
  } catch (const std::bad_alloc&) {
    return ZBD_ERR_MEMORY;
  } catch (...) {
    return ZBD_ERR_FAILURE;
  }
}

ZBDECODE_EXPORT int32_t player_delete(ZbdPlayer* player) {
  if (player == nullptr) return ZBD_OK;
  if (Of(player) == nullptr) return ZBD_ERR_ARGUMENT;
  player->magic = 0;
  delete player;
  return ZBD_OK;
}

ZBDECODE_EXPORT void player_discard_lingering_output(void) { DiscardLingeringOutput(); }

ZBDECODE_EXPORT uint32_t player_get_priority(ZbdPlayer* player) {
  Player* p = Of(player);
  return p ? p->Priority() : 0;
}

ZBDECODE_EXPORT int32_t player_set_priority(ZbdPlayer* player, uint32_t priority) {
  Player* p = Of(player);
  if (p == nullptr || priority > 5) return ZBD_ERR_ARGUMENT;
  p->SetPriority(priority);
  return ZBD_OK;
}

ZBDECODE_EXPORT int32_t control_message_send_N(ZbdPlayer* player, int32_t code) {
  ControlMessage m;
  m.code = code;
  return Queue(player, Form::N, std::move(m));
}

ZBDECODE_EXPORT int32_t control_message_send_I(ZbdPlayer* player, int32_t code, int32_t value) {
  ControlMessage m;
  m.code = code;
  m.values[0] = value;
  return Queue(player, Form::I, std::move(m));
}

ZBDECODE_EXPORT int32_t control_message_send_II(ZbdPlayer* player, int32_t code, int32_t value1, int32_t value2) {
  ControlMessage m;
  m.code = code;
  m.values[0] = value1;
  m.values[1] = value2;
  return Queue(player, Form::II, std::move(m));
}

ZBDECODE_EXPORT int32_t control_message_send_III(ZbdPlayer* player, int32_t code, int32_t value1, int32_t value2,
                                                 int32_t value3) {
  ControlMessage m;
  m.code = code;
  m.values[0] = value1;
  m.values[1] = value2;
  m.values[2] = value3;
  return Queue(player, Form::III, std::move(m));
}

ZBDECODE_EXPORT int32_t control_message_send_IPI(ZbdPlayer* player, int32_t code, int32_t value1,
                                                 const void* pointer, int32_t value2) {
  ControlMessage m;
  m.code = code;
  m.values[0] = value1;
  m.values[1] = value2;
  m.pointer = pointer;
  return Queue(player, Form::IPI, std::move(m));
}

ZBDECODE_EXPORT int32_t control_message_send_P(ZbdPlayer* player, int32_t code, const void* pointer) {
  ControlMessage m;
  m.code = code;
  m.pointer = pointer;
  try {
    // The caller may reuse its record as soon as this returns.
    if (code == ZBD_MSG_SET_CODEC_EQUALIZER && pointer != nullptr) {
      const auto* bytes = static_cast<const uint8_t*>(pointer);
      m.copied.assign(bytes, bytes + sizeof(ZbdEqualizer));
    }
  } catch (const std::bad_alloc&) {
    return ZBD_ERR_MEMORY;
  }
  return Queue(player, Form::P, std::move(m));
}

ZBDECODE_EXPORT int32_t control_message_send_S(ZbdPlayer* player, int32_t code, const char* text) {
  if (!TextFits(text)) return ZBD_ERR_ARGUMENT;
  ControlMessage m;
  m.code = code;
  m.texts[0] = text;
  return Queue(player, Form::S, std::move(m));
}

ZBDECODE_EXPORT int32_t control_message_send_SI(ZbdPlayer* player, int32_t code, const char* text, int32_t value) {
  if (!TextFits(text)) return ZBD_ERR_ARGUMENT;
  ControlMessage m;
  m.code = code;
  m.texts[0] = text;
  m.values[0] = value;
  return Queue(player, Form::SI, std::move(m));
}

ZBDECODE_EXPORT int32_t control_message_send_SS(ZbdPlayer* player, int32_t code, const char* text1,
                                                const char* text2) {
  if (!TextFits(text1) || !TextFits(text2)) return ZBD_ERR_ARGUMENT;
  ControlMessage m;
  m.code = code;
  m.texts[0] = text1;
  m.texts[1] = text2;
  return Queue(player, Form::SS, std::move(m));
}

ZBDECODE_EXPORT int32_t control_win32_params_to_message(ZbdPlayer* player, ZbdMessage* out, uint32_t message,
                                                        uint64_t wParam, uint64_t lParam) {
  if (Of(player) == nullptr || out == nullptr) return ZBD_ERR_ARGUMENT;
  const auto* payload = reinterpret_cast<const uint8_t*>(uintptr_t(lParam));
  return ConvertNotification(message, payload, wParam, *out) ? ZBD_OK : ZBD_ERR_ARGUMENT;
}

}  // extern "C"
