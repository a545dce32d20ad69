// Notification records: the data fields of ZbdMessage, then up to two zero-ended texts.
#include "outside/zbdecode/notification_pipe.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "common/text_encoding.h"

namespace {

constexpr size_t kDataBytes = sizeof(ZbdMessage::data);

// How many texts a notification carries.
int TextCount(uint32_t code) {
  switch (code) {
    case ZBD_NOTIFY_PLAYER_ENVIRONMENT_INTEGER:
    case ZBD_NOTIFY_INPUT_NAME:
    case ZBD_NOTIFY_OUTPUT_NAME:
    case ZBD_NOTIFY_INPUT_FILTER_INFO:
    case ZBD_NOTIFY_OUTPUT_FILTER_INFO:
    case ZBD_NOTIFY_PROGRESS:
    case ZBD_NOTIFY_DEBUG:
    case ZBD_NOTIFY_ERROR:
      return 1;
    case ZBD_NOTIFY_PLAYER_ENVIRONMENT_STRING:
    case ZBD_NOTIFY_INPUT_MODULE_INFO:
    case ZBD_NOTIFY_OUTPUT_MODULE_INFO:
    case ZBD_NOTIFY_INPUT_DEVICE_INFO:
    case ZBD_NOTIFY_OUTPUT_DEVICE_INFO:
      return 2;
    default:
      return 0;
  }
}

// Points the text fields of a converted message at its text area.
void LinkTexts(ZbdMessage& m, const char* first, const char* second) {
  switch (m.code) {
    case ZBD_NOTIFY_PLAYER_ENVIRONMENT_INTEGER: m.data.environment_integer.name = first; break;
    case ZBD_NOTIFY_PLAYER_ENVIRONMENT_STRING:
      m.data.environment_string.name = first;
      m.data.environment_string.value = second;
      break;
    case ZBD_NOTIFY_INPUT_NAME:
    case ZBD_NOTIFY_OUTPUT_NAME: m.data.name.name = first; break;
    case ZBD_NOTIFY_INPUT_MODULE_INFO:
    case ZBD_NOTIFY_OUTPUT_MODULE_INFO:
      m.data.module_info.name = first;
      m.data.module_info.description = second;
      break;
    case ZBD_NOTIFY_INPUT_DEVICE_INFO:
    case ZBD_NOTIFY_OUTPUT_DEVICE_INFO:
      m.data.device_info.name = first;
      m.data.device_info.description = second;
      break;
    case ZBD_NOTIFY_INPUT_FILTER_INFO:
    case ZBD_NOTIFY_OUTPUT_FILTER_INFO: m.data.filter_info.name = first; break;
    case ZBD_NOTIFY_PROGRESS: m.data.progress.message = first; break;
    case ZBD_NOTIFY_DEBUG: m.data.debug.message = first; break;
    case ZBD_NOTIFY_ERROR: m.data.error.message = first; break;
    default: break;
  }
}

}  // namespace

NotificationPipe::NotificationPipe(int fd) : fd_(fd) {
  const int flags = fcntl(fd_, F_GETFL);
  if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

uint32_t MaskBitOf(uint32_t code) {
  switch (code) {
    case ZBD_NOTIFY_ACK: return ZBD_NOTIFY_MASK_ACK;
    case ZBD_NOTIFY_NACK: return ZBD_NOTIFY_MASK_NACK;
    case ZBD_NOTIFY_PROGRESS: return ZBD_NOTIFY_MASK_PROGRESS;
    case ZBD_NOTIFY_DEBUG: return ZBD_NOTIFY_MASK_DEBUG;
    case ZBD_NOTIFY_INPUT_TIMECODE: return ZBD_NOTIFY_MASK_TIMECODE;
    case ZBD_NOTIFY_INPUT_POSITION: return ZBD_NOTIFY_MASK_POSITION;
    case ZBD_NOTIFY_ERROR: return ZBD_NOTIFY_MASK_ERROR;
    default: return ZBD_NOTIFY_MASK_OTHER;
  }
}

void NotificationPipe::Send(uint32_t code, const ZbdMessage& data, std::string_view text1, std::string_view text2) {
  if ((mask_ & MaskBitOf(code)) == 0) return;
  uint8_t record[sizeof(ZbdPostedMessage) + kDataBytes + 2 * (ZBD_MAX_TEXT + 1)];
  static_assert(sizeof record <= PIPE_BUF, "a record must go into the pipe in one piece");
  ZbdPostedMessage header{code, 0};
  size_t at = sizeof header;
  std::memcpy(record + at, &data.data, kDataBytes);
  at += kDataBytes;
  const int texts = TextCount(code);
  for (int i = 0; i < texts; ++i) {
    std::string_view text = i == 0 ? text1 : text2;
    // Cut between characters: a title cut inside one would reach the window as broken UTF-8.
    std::string cut;
    if (text.size() > ZBD_MAX_TEXT) {
      cut = CutUtf8(text, ZBD_MAX_TEXT);
      text = cut;
    }
    std::memcpy(record + at, text.data(), text.size());
    at += text.size();
    record[at++] = 0;
  }
  header.bytes = uint32_t(at - sizeof header);
  std::memcpy(record, &header, sizeof header);
  if (::write(fd_, record, at) != ssize_t(at)) ++dropped_;
}

bool ConvertNotification(uint32_t code, const uint8_t* payload, uint64_t bytes, ZbdMessage& out) {
  std::memset(&out, 0, sizeof out);
  out.code = code;
  if (code < ZBD_NOTIFY_READY || code > ZBD_NOTIFY_ERROR || payload == nullptr || bytes < kDataBytes ||
      bytes > kDataBytes + sizeof out.text) {
    return false;
  }
  std::memcpy(&out.data, payload, kDataBytes);
  const int texts = TextCount(code);
  const char* text = reinterpret_cast<const char*>(payload + kDataBytes);
  const size_t textBytes = size_t(bytes - kDataBytes);
  // Each text must end inside the payload.
  const char* first = nullptr;
  const char* second = nullptr;
  size_t used = 0;
  for (int i = 0; i < texts; ++i) {
    const void* end = std::memchr(text + used, 0, textBytes - used);
    if (end == nullptr) {
      std::memset(&out.data, 0, kDataBytes);
      return false;
    }
    const size_t length = size_t(static_cast<const char*>(end) - (text + used));
    std::memcpy(out.text + used, text + used, length + 1);
    (i == 0 ? first : second) = out.text + used;
    used += length + 1;
  }
  LinkTexts(out, first, second);
  return true;
}
