// Loading of outside libraries by name at run time.
#pragma once

#include <string>

#include "common/unique_fd.h"

// An outside library opened with dlopen, closed when the object goes. Move-only.
//
// Open("gogo") looks for "libgogo.so" first in $ZIMBAR_LIB_DIR (when set and not empty),
// then in the folder of the running program (/proc/self/exe). A library that is missing
// or that fails to load gives an object for which Loaded() is false; LoadError() tells why:
// the file name and each folder searched ("libgogo.so not found in $ZIMBAR_LIB_DIR (/x)
// nor in the program's folder (/opt/zimbar/)"), or the loader's reason for a file that
// exists but does not load.
class OutsideLibrary {
 public:
  OutsideLibrary() = default;
  static OutsideLibrary Open(const std::string& name);

  // Open for a library that keeps its state in itself rather than behind a handle (one
  // encoder or decoder per loaded copy), so that several jobs can use it at once. While no
  // other instance of `name` opened so is loaded, this is Open; otherwise the library's
  // file is copied into memory and loaded from there, a copy of its own with its own
  // state (the loader would hand out the loaded copy again for the file itself).
  static OutsideLibrary OpenInstance(const std::string& name);

  OutsideLibrary(OutsideLibrary&& other) noexcept;
  OutsideLibrary& operator=(OutsideLibrary&& other) noexcept;
  OutsideLibrary(const OutsideLibrary&) = delete;
  OutsideLibrary& operator=(const OutsideLibrary&) = delete;
  ~OutsideLibrary();

  bool Loaded() const { return handle_ != nullptr; }
  const std::string& LoadError() const { return error_; }
  const std::string& Path() const { return path_; }

  // The address of an entry, or nullptr when the library lacks it (or is not loaded).
  void* Symbol(const char* name) const;
  // The entry as a function pointer type: Entry<int (*)(void)>("MPGE_initializeWork").
  template <typename Fn>
  Fn Entry(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }

  // Unloads now (also done by the destructor).
  void Close();

 private:
  void* handle_ = nullptr;
  std::string path_;
  std::string error_;
  std::string instanceOf_;  // the name this object counts as an instance of, or empty
  UniqueFd copy_;           // the in-memory copy the library was loaded from, if any
};

// The folder the library search looks in after $ZIMBAR_LIB_DIR: the running program's
// folder, ending in '/'.
std::string ProgramFolder();

// Loads `path` (a file's path, or a library's name for the system's search) for the rest
// of the process, for code whose threads, static objects or handles may outlive any one
// caller. nullptr when it does not load; `reason` then says why in the loader's words,
// without the path they usually start with.
void* LoadForGood(const std::string& path, std::string& reason);
