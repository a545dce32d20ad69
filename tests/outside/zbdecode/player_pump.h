// Test helpers for the decoder library's player: a pipe whose notification records are
// read and converted as the program's pump does, and the reading of recorded WAV files.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "outside/zbdecode/zbdecode_player.h"

namespace player_test {

// One converted notification with its texts copied out.
struct Note {
  ZbdMessage message{};
  std::string text1, text2;
  std::chrono::steady_clock::time_point at;
  uint32_t Code() const { return message.code; }
};

class Pump {
 public:
  Pump() {
    if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Pump() {
    if (player_) player_delete(player_);
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  Pump(const Pump&) = delete;
  Pump& operator=(const Pump&) = delete;

  ZbdPlayer* Start() {
    const int32_t fd = fds_[1];
    if (player_new(&player_, &fd) != ZBD_OK) player_ = nullptr;
    return player_;
  }
  ZbdPlayer* Player() const { return player_; }
  // Deletes the player (its threads end) but keeps what was received.
  void Delete() {
    if (player_) player_delete(player_);
    player_ = nullptr;
  }

  // Reads records until done(notes) is true or the timeout passes; returns done(notes).
  bool WaitFor(const std::function<bool(const std::vector<Note>&)>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done(notes_)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fds_[0], POLLIN, 0};
      if (::poll(&p, 1, int(std::min<int64_t>(left.count(), 50))) <= 0) continue;
      ReadOne();
    }
    return true;
  }
  bool WaitForCode(uint32_t code, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    return WaitFor([code](const std::vector<Note>& n) { return Count(n, code) > 0; }, timeout);
  }
  // Waits for a player state notification with this state.
  bool WaitForState(uint8_t state, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    return WaitFor([state](const std::vector<Note>& n) { return HasState(n, state); }, timeout);
  }
  // Reads whatever arrives within the time.
  void Drain(std::chrono::milliseconds time) {
    WaitFor([](const std::vector<Note>&) { return false; }, time);
  }

  const std::vector<Note>& Notes() const { return notes_; }
  std::vector<Note> Of(uint32_t code) const {
    std::vector<Note> found;
    for (const Note& n : notes_) {
      if (n.Code() == code) found.push_back(n);
    }
    return found;
  }
  static size_t Count(const std::vector<Note>& notes, uint32_t code) {
    size_t count = 0;
    for (const Note& n : notes) count += n.Code() == code;
    return count;
  }
  static bool HasState(const std::vector<Note>& notes, uint8_t state) {
    for (const Note& n : notes) {
      if (n.Code() == ZBD_NOTIFY_PLAYER_STATE && n.message.data.state == state) return true;
    }
    return false;
  }
  void Clear() { notes_.clear(); }

 private:
  void ReadOne() {
    ZbdPostedMessage header{};
    if (::read(fds_[0], &header, sizeof header) != ssize_t(sizeof header)) return;
    std::vector<uint8_t> payload(header.bytes);
    if (header.bytes > 0 && ::read(fds_[0], payload.data(), header.bytes) != ssize_t(header.bytes)) return;
    Note note;
    note.at = std::chrono::steady_clock::now();
    control_win32_params_to_message(player_, &note.message, header.code, header.bytes,
                                    uint64_t(uintptr_t(payload.data())));
    const ZbdMessage& m = note.message;
    auto text = [](const char* t) { return t ? std::string(t) : std::string(); };
    switch (m.code) {
      case ZBD_NOTIFY_INPUT_NAME:
      case ZBD_NOTIFY_OUTPUT_NAME: note.text1 = text(m.data.name.name); break;
      case ZBD_NOTIFY_ERROR: note.text1 = text(m.data.error.message); break;
      case ZBD_NOTIFY_DEBUG: note.text1 = text(m.data.debug.message); break;
      case ZBD_NOTIFY_OUTPUT_FILTER_INFO: note.text1 = text(m.data.filter_info.name); break;
      case ZBD_NOTIFY_INPUT_MODULE_INFO:
      case ZBD_NOTIFY_OUTPUT_MODULE_INFO:
        note.text1 = text(m.data.module_info.name);
        note.text2 = text(m.data.module_info.description);
        break;
      case ZBD_NOTIFY_PLAYER_ENVIRONMENT_STRING:
        note.text1 = text(m.data.environment_string.name);
        note.text2 = text(m.data.environment_string.value);
        break;
      case ZBD_NOTIFY_PLAYER_ENVIRONMENT_INTEGER: note.text1 = text(m.data.environment_integer.name); break;
      default: break;
    }
    notes_.push_back(note);
  }

  int fds_[2] = {-1, -1};
  ZbdPlayer* player_ = nullptr;
  std::vector<Note> notes_;
};

// The samples of a WAV file's data chunk (chunks walked from offset 12).
inline std::vector<uint8_t> WavData(const std::vector<uint8_t>& file, uint16_t* channels = nullptr,
                                    uint32_t* rate = nullptr) {
  size_t at = 12;
  while (at + 8 <= file.size()) {
    const uint32_t size = uint32_t(file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16 | uint32_t(file[at + 7]) << 24);
    if (std::memcmp(&file[at], "fmt ", 4) == 0 && at + 16 <= file.size()) {
      if (channels) *channels = uint16_t(file[at + 10] | file[at + 11] << 8);
      if (rate) *rate = uint32_t(file[at + 12] | file[at + 13] << 8 | file[at + 14] << 16 | uint32_t(file[at + 15]) << 24);
    }
    if (std::memcmp(&file[at], "data", 4) == 0) {
      const size_t end = std::min<size_t>(file.size(), at + 8 + size_t(size));
      return std::vector<uint8_t>(file.begin() + std::ptrdiff_t(at + 8), file.begin() + std::ptrdiff_t(end));
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

}  // namespace player_test
