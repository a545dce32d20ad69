// The player's notifications as records on the program's pipe, and their conversion back.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "outside/zbdecode/zbdecode_player.h"

// Writes records; any thread may call Send. A full pipe drops the record (counted) rather
// than block the player's threads.
class NotificationPipe {
 public:
  explicit NotificationPipe(int fd);

  // Sends code with the fields of data (texts are given separately: up to two, each cut
  // to ZBD_MAX_TEXT bytes) when the mask lets it through.
  void Send(uint32_t code, const ZbdMessage& data, std::string_view text1 = {}, std::string_view text2 = {});
  void SetMask(uint32_t mask) { mask_ = mask; }
  uint32_t Mask() const { return mask_; }
  uint64_t Dropped() const { return dropped_; }

 private:
  int fd_;
  std::atomic<uint32_t> mask_{ZBD_NOTIFY_MASK_DEFAULT};
  std::atomic<uint64_t> dropped_{0};
};

// The mask bit a notification belongs to.
uint32_t MaskBitOf(uint32_t code);

// Fills out from a record's code and payload; false when they do not fit together.
bool ConvertNotification(uint32_t code, const uint8_t* payload, uint64_t bytes, ZbdMessage& out);
