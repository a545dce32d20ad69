// Loading of outside libraries by name at run time.
#pragma once

#include <string>

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
};

// The folder the library search looks in after $ZIMBAR_LIB_DIR: the running program's
// folder, ending in '/'.
std::string ProgramFolder();
