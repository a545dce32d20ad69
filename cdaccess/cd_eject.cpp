// Opening the tray of a real CD drive.
#include "cdaccess/cd_eject.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "common/unique_fd.h"

namespace {

std::string EjectFailure(int errnum) {
  switch (errnum) {
    case EBUSY:
      return "the drive is in use (another program holds it open or has locked its tray)";
    case ENOSYS:
      return "this drive cannot open its tray";
    case ENOTTY:
    case EINVAL:
      return "it is not a CD drive";
    default:
      return std::strerror(errnum);
  }
}

}  // namespace

int RealCdDeviceRequest(int fd, unsigned long request) { return ::ioctl(fd, request, 0); }

Outcome EjectCdDrive(const std::string& devicePath, const CdDeviceRequest& request) {
  UniqueFd fd(::open(devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    const int errnum = errno;
    return Fail(Error(ErrorCategory::Io, {}, "Cannot eject " + devicePath + ": " + std::strerror(errnum),
                      std::strerror(errnum), devicePath, errnum));
  }
  if (request(fd.Get(), CDROMEJECT) != 0) {
    const int errnum = errno;
    const std::string why = EjectFailure(errnum);
    return Fail(Error(ErrorCategory::Io, {}, "Cannot eject " + devicePath + ": " + why, why, devicePath, errnum));
  }
  return Done{};
}
