// The notifications the playback engines raise and the slots that hold them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The player state an engine raises when its input reached its end by itself.
inline constexpr int kPlayerStateEndOfStream = 3;

// Each is a bound callback; the first argument is the object that raises it. They may be
// called on a worker or library thread (see player_engine.h), so handlers must cope.
using NotifyPlayerState = std::function<void(void* sender, int state)>;
using NotifyInputPosition = std::function<void(void* sender, uint32_t offset, uint32_t range)>;
using NotifyInputTimecode =
    std::function<void(void* sender, uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t fractions)>;
using NotifyInputStreamInfo = std::function<void(void* sender, uint8_t level, uint8_t layer, uint16_t bitrate,
                                                 uint16_t frequency, uint8_t mode)>;
using NotifyOutputData = std::function<void(void* sender, const void* data, uint32_t size)>;
// Why playback could not start or went on no further, in words for the user.
using NotifyPlayerError = std::function<void(void* sender, const std::string& message)>;
// The input's name: the file or URL once it is open, then for a stream each new stream
// title its metadata brings (MP3 engine only).
using NotifyInputName = std::function<void(void* sender, const std::string& name)>;

// One slot. Set replaces the callback for all later calls; a call under way on another
// thread finishes with the callback it took. Any thread may set, read or call it.
template <typename Fn>
class NotificationSlot {
 public:
  void Set(Fn fn) { fn_.store(fn ? std::make_shared<const Fn>(std::move(fn)) : nullptr); }
  std::shared_ptr<const Fn> Get() const { return fn_.load(); }
  bool Assigned() const { return fn_.load() != nullptr; }
  // Calls it when assigned; true when it was.
  template <typename... Args>
  bool operator()(Args&&... args) const {
    const std::shared_ptr<const Fn> fn = fn_.load();
    if (!fn) return false;
    (*fn)(std::forward<Args>(args)...);
    return true;
  }

 private:
  std::atomic<std::shared_ptr<const Fn>> fn_;
};

// The seven slots: an engine's own, or the facade's that the engine it holds shares.
struct NotificationSlots {
  NotificationSlot<NotifyPlayerState> OnNotifyPlayerState;
  NotificationSlot<NotifyInputPosition> OnNotifyInputPosition;
  NotificationSlot<NotifyInputTimecode> OnNotifyInputTimecode;
  NotificationSlot<NotifyInputStreamInfo> OnNotifyInputStreamInfo;
  NotificationSlot<NotifyOutputData> OnNotifyOutputData;
  NotificationSlot<NotifyPlayerError> OnNotifyPlayerError;
  NotificationSlot<NotifyInputName> OnNotifyInputName;
};

// The largest slice of PCM one output-data notification carries.
inline constexpr uint32_t kOutputDataSliceBytes = 256;

// Hands bytes to the output-data slot in slices, stopping when the slot is cleared.
inline void SendOutputData(const NotificationSlot<NotifyOutputData>& slot, void* sender, const uint8_t* data,
                           size_t bytes) {
  for (size_t at = 0; at < bytes; at += kOutputDataSliceBytes) {
    const uint32_t size = uint32_t(std::min<size_t>(kOutputDataSliceBytes, bytes - at));
    if (!slot(sender, data + at, size)) return;
  }
}
