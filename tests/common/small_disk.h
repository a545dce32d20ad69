// A small file system for tests of full disks: a tmpfs of a given size mounted inside a
// test's scratch folder, unmounted when the object goes (a failed assertion included).
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/common/temp_dir.h"

// A file system of `bytes` bytes mounted at the folder "disk" of a test's scratch folder
// (tmpfs). Mounting needs root: Mounted() is false otherwise, with the reason in Why().
class SmallDisk {
 public:
  SmallDisk(const TempDir& dir, size_t bytes) : path_(dir.File("disk")) {
    ::mkdir(path_.c_str(), 0755);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::geteuid() != 0) {
      why_ = "mounting a small tmpfs needs root";
    } else if (::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      why_ = std::string("cannot mount a small tmpfs: ") + std::strerror(errno);
    } else {
      mounted_ = true;
    }
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }
  // Fills what is left with one file; true when the disk then has no block left.
  bool Fill() const {
    const int fd = ::open(File("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    const bool full = errno == ENOSPC;
    return ::close(fd) == 0 && full;
  }

 private:
  std::string path_;
  bool mounted_ = false;
  std::string why_;
};
