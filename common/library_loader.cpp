// OutsideLibrary: dlopen by name from $ZIMBAR_LIB_DIR or the program's folder.
#include "common/library_loader.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "common/paths.h"
#include "common/error.h"

namespace {

// dlopen's error text, or a fallback when it has none.
std::string LastDlError(const char* fallback) {
  const char* text = dlerror();
  return text != nullptr ? text : fallback;
}

// How many objects hold a loaded instance of each library opened with OpenInstance.
std::mutex gInstancesLock;
std::map<std::string, int> gInstances;

// The whole file at `path` in an anonymous in-memory file.
Expected<UniqueFd> CopyIntoMemory(const std::string& path, const std::string& file) {
  UniqueFd source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source) return Fail(IoError(errno, path, path));
  UniqueFd copy(::memfd_create(file.c_str(), MFD_CLOEXEC));
  if (!copy) return Fail(IoError(errno, path, "cannot make a copy of " + path + " in memory"));
  for (;;) {
    const ssize_t sent = ::sendfile(copy.Get(), source.Get(), nullptr, 1 << 20);
    if (sent == 0) break;
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0) return Fail(IoError(errno, path, "cannot copy " + path + " into memory"));
  }
  return copy;
}

}  // namespace

std::string ProgramFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  return ExtractFileDir(std::string_view(buffer, static_cast<size_t>(n)));
}

void* LoadForGood(const std::string& path, std::string& reason) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle != nullptr) return handle;
  reason = LastDlError("unknown error");
  const std::string_view said = reason;
  if (said.starts_with(path) && said.substr(path.size()).starts_with(": ")) reason.erase(0, path.size() + 2);
  return nullptr;
}

OutsideLibrary OutsideLibrary::Open(const std::string& name) {
  OutsideLibrary library;
  const std::string file = "lib" + name + ".so";
  struct Place {
    std::string folder;
    const char* what;
  };
  std::vector<Place> places;
  const char* dir = std::getenv("ZIMBAR_LIB_DIR");
  const bool dirSet = dir != nullptr && *dir != '\0';
  if (dirSet) places.push_back({dir, "$ZIMBAR_LIB_DIR"});
  places.push_back({ProgramFolder(), "the program's folder"});

  for (const Place& place : places) {
    const std::string path = JoinPath(place.folder, file);
    if (::access(path.c_str(), F_OK) != 0) continue;
    // RTLD_LOCAL keeps each library's symbols to itself, so two libraries with entries of
    // the same name (a fake and the real one) never bind to each other.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    library.path_ = path;
    if (handle == nullptr) {
      // A library that exists but cannot be loaded is the answer; looking further would
      // hide the reason.
      library.error_ = LastDlError("cannot load");
      if (!library.error_.starts_with(path)) library.error_ = path + ": " + library.error_;
      return library;
    }
    library.handle_ = handle;
    return library;
  }
  // Names the file and every place searched, so a user can see which one to fix.
  library.error_ = file + " not found in ";
  for (size_t i = 0; i < places.size(); ++i) {
    if (i > 0) library.error_ += " nor in ";
    library.error_ += std::string(places[i].what) + " (" + places[i].folder + ")";
  }
  if (!dirSet) library.error_ += "; $ZIMBAR_LIB_DIR is not set";
  return library;
}

OutsideLibrary OutsideLibrary::OpenInstance(const std::string& name) {
  int othersLoaded = 0;
  {
    // Counted before loading, so that two jobs starting together never both get the
    // library itself.
    const std::lock_guard lock(gInstancesLock);
    othersLoaded = gInstances[name]++;
  }
  OutsideLibrary library = Open(name);
  library.instanceOf_ = name;
  if (!library.Loaded() || othersLoaded == 0) return library;

  // The copy in memory is a file of its own to the loader, so it gets loaded again, with
  // state of its own. Its name (/proc/self/fd/N) stays unique among the loaded copies
  // because the file stays open while its copy is loaded.
  auto copy = CopyIntoMemory(library.path_, "lib" + name + ".so");
  if (!copy) {
    library.Close();
    library.error_ = copy.Error().Message();
    return library;
  }
  const std::string copyPath = "/proc/self/fd/" + std::to_string(copy.Value().Get());
  void* handle = ::dlopen(copyPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const std::string why = LastDlError("cannot load");
    library.Close();
    library.error_ = library.path_ + " (a second instance): " + why;
    return library;
  }
  // The instance in use elsewhere stays loaded by its own holder.
  ::dlclose(std::exchange(library.handle_, handle));
  library.copy_ = std::move(copy.Value());
  return library;
}

OutsideLibrary::OutsideLibrary(OutsideLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)),
      instanceOf_(std::exchange(other.instanceOf_, {})),
      copy_(std::move(other.copy_)) {}

OutsideLibrary& OutsideLibrary::operator=(OutsideLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
    instanceOf_ = std::exchange(other.instanceOf_, {});
    copy_ = std::move(other.copy_);
  }
  return *this;
}

OutsideLibrary::~OutsideLibrary() { Close(); }

void* OutsideLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return ::dlsym(handle_, name);
}

void OutsideLibrary::Close() {
  if (handle_ != nullptr) ::dlclose(std::exchange(handle_, nullptr));
  copy_.Reset();
  if (!instanceOf_.empty()) {
    const std::lock_guard lock(gInstancesLock);
    --gInstances[std::exchange(instanceOf_, {})];
  }
}
