// An opened input: a registered input module together with its stream state.
#pragma once

#include <cstdint>
#include <string>

#include "common/error.h"
#include "outside/zbdecode/zbdecode_api.h"

// Move-only; closes the module's stream when it goes. The module's functions are called
// as they are (they must not throw); a module without seek or size gives a stream that
// cannot seek or whose size is unknown.
class InputSource {
 public:
  InputSource() = default;
  InputSource(InputSource&& other) noexcept;
  InputSource& operator=(InputSource&& other) noexcept;
  InputSource(const InputSource&) = delete;
  InputSource& operator=(const InputSource&) = delete;
  ~InputSource();

  // ZBD_OK and *source set, or the module's open result.
  static int32_t Open(const ZbdInputModule& module, const std::string& name, InputSource* source);
  // Opens `name` through the local file input module (a regular file only). Fails with an
  // Io error whose reason says why ("No such file or directory", "it is a named pipe
  // (FIFO), not a regular file").
  static Expected<InputSource> OpenFile(const std::string& name);

  bool IsOpen() const { return stream_ != nullptr; }
  // Bytes read, 0 at the end, negative on failure (remembered in ReadFailed()).
  int64_t Read(void* buffer, uint32_t bytes);
  // New position or -1.
  int64_t Seek(int64_t offset, int whence);
  // Total bytes or -1 when unknown.
  int64_t Size();
  bool ReadFailed() const { return readFailed_; }

 private:
  void Close();
  ZbdInputModule module_{};
  void* stream_ = nullptr;
  bool readFailed_ = false;
};

// The local file input module's description block. It opens regular files only (a FIFO,
// a device or a folder is refused at once, never waited for), by path or file:// URI.
ZbdInputModule FileInputModule();
