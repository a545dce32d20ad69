// Opened inputs and the local file input module.
#include "outside/zbdecode/input_source.h"

#include "common/file_uri_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "common/regular_file.h"

InputSource::InputSource(InputSource&& other) noexcept
    : module_(other.module_), stream_(std::exchange(other.stream_, nullptr)), readFailed_(other.readFailed_) {}

InputSource& InputSource::operator=(InputSource&& other) noexcept {
  if (this != &other) {
    Close();
    module_ = other.module_;
    stream_ = std::exchange(other.stream_, nullptr);
    readFailed_ = other.readFailed_;
  }
  return *this;
}

InputSource::~InputSource() { Close(); }

void InputSource::Close() {
  if (stream_ != nullptr && module_.close != nullptr) module_.close(stream_);
  stream_ = nullptr;
}

int32_t InputSource::Open(const ZbdInputModule& module, const std::string& name, InputSource* source) {
  if (module.open == nullptr || module.read == nullptr) return ZBD_ERR_ARGUMENT;
  void* stream = nullptr;
  const int32_t opened = module.open(name.c_str(), &stream);
  if (opened != ZBD_OK) return opened;
  if (stream == nullptr) return ZBD_ERR_INPUT_OPEN;
  InputSource made;
  made.module_ = module;
  made.stream_ = stream;
  *source = std::move(made);
  return ZBD_OK;
}

int64_t InputSource::Read(void* buffer, uint32_t bytes) {
  const int64_t got = module_.read(stream_, buffer, bytes);
  if (got < 0) readFailed_ = true;
  return got;
}

int64_t InputSource::Seek(int64_t offset, int whence) {
  if (module_.seek == nullptr) return -1;
  return module_.seek(stream_, offset, whence);
}

int64_t InputSource::Size() {
  if (module_.size == nullptr) return -1;
  return module_.size(stream_);
}

namespace {

struct FileStream {
  int fd = -1;
};

int32_t FileAccepts(const char* name) {
  if (name == nullptr || *name == '\0') return 0;
  // "scheme://" names belong to network modules.
  const char* colon = std::strstr(name, "://");
  if (colon == nullptr) return 1;
  for (const char* p = name; p < colon; ++p) {
    const char c = *p;
    const bool schemeChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                            c == '+' || c == '-' || c == '.';
    if (!schemeChar) return 1;
  }
  return colon == name ? 1 : 0;
}

// The stream of the file `name`, or why it cannot be opened: Io, its case saying whether
// memory ran out (the module's open result differs).
enum class FileOpenFault { Refused, Memory };

Expected<FileStream*> OpenFileStream(const std::string& name) {
  // Regular files only: the open of a FIFO waits for a writer and the reads of a device
  // may never end, and nothing could then stop the thread that waits.
  // A file:// URI names the file by its percent-encoded path.
  auto opened = OpenRegularFile(LocalName(name));
  if (!opened) {
    const std::string reason = opened.Error().reason;
    return Fail(Error(ErrorCategory::Io, {}, "Cannot open " + name + ": " + reason, reason, name)
                    .WithCase(FileOpenFault::Refused));
  }
  auto* file = new (std::nothrow) FileStream;
  if (file == nullptr) {
    Error error(ErrorCategory::Io, {}, "Cannot open " + name + ": out of memory", "out of memory", name, ENOMEM);
    return Fail(error.WithCase(FileOpenFault::Memory));
  }
  file->fd = std::move(opened).Value().Release();
  return file;
}

int32_t FileOpen(const char* name, void** stream) {
  if (name == nullptr || stream == nullptr) return ZBD_ERR_ARGUMENT;
  auto opened = OpenFileStream(name);
  if (!opened) return opened.Error().Is(FileOpenFault::Memory) ? ZBD_ERR_MEMORY : ZBD_ERR_INPUT_OPEN;
  *stream = opened.Value();
  return ZBD_OK;
}

int64_t FileRead(void* stream, void* buffer, uint32_t bytes) {
  auto* file = static_cast<FileStream*>(stream);
  for (;;) {
    const ssize_t got = read(file->fd, buffer, bytes);
    if (got < 0 && errno == EINTR) continue;
    return got < 0 ? ZBD_ERR_INPUT_READ : int64_t(got);
  }
}

int64_t FileSeek(void* stream, int64_t offset, int32_t whence) {
  return int64_t(lseek(static_cast<FileStream*>(stream)->fd, off_t(offset), whence));
}

int64_t FileSize(void* stream) {
  struct stat st {};
  if (fstat(static_cast<FileStream*>(stream)->fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return int64_t(st.st_size);
}

void FileClose(void* stream) {
  auto* file = static_cast<FileStream*>(stream);
  close(file->fd);
  delete file;
}

}  // namespace

Expected<InputSource> InputSource::OpenFile(const std::string& name) {
  auto opened = OpenFileStream(name);
  if (!opened) return Fail(opened.Error());
  InputSource made;
  made.module_ = FileInputModule();
  made.stream_ = opened.Value();
  return made;
}

ZbdInputModule FileInputModule() {
  ZbdInputModule module{};
  module.structBytes = sizeof(ZbdInputModule);
  module.name = "file";
  module.accepts = FileAccepts;
  module.open = FileOpen;
  module.read = FileRead;
  module.seek = FileSeek;
  module.size = FileSize;
  module.close = FileClose;
  return module;
}
