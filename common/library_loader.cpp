// OutsideLibrary: dlopen by name from $ZIMBAR_LIB_DIR or the program's folder.
#include "common/library_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "common/paths.h"

namespace {

// dlopen's error text, or a fallback when it has none.
std::string LastDlError(const char* fallback) {
  const char* text = dlerror();
  return text != nullptr ? text : fallback;
}

}  // namespace

std::string ProgramFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  return ExtractFileDir(std::string_view(buffer, static_cast<size_t>(n)));
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

OutsideLibrary::OutsideLibrary(OutsideLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)) {}

OutsideLibrary& OutsideLibrary::operator=(OutsideLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
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
}
