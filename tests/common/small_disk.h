// A small file system for tests of full disks: a tmpfs of a given size mounted inside a
// test's scratch folder, unmounted when the object goes.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/common/temp_dir.h"

// A file system of `bytes` bytes mounted at a scratch folder (tmpfs), unmounted at the end.
// Needs root; Mounted() is false otherwise, with the reason in Why().
class SmallDisk {
 public:
  explicit SmallDisk(const TempDir& dir, size_t bytes) : path_(dir.File("disk")) {
    ::mkdir(path_.c_str(), 0755);
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) why_ = std::string("cannot mount a small tmpfs: ") + std::strerror(errno);
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }
  // Fills what is left with one file.
  void Fill() const {
    const int fd = ::open(File("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    (void)!::write(fd, block.data(), 1);
    ::close(fd);
  }

 private:
  std::string path_;
  bool mounted_ = false;
  std::string why_;
};
