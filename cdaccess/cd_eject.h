// Opening the tray of a real CD drive (the Linux CDROMEJECT request).
#pragma once

#include <functional>
#include <string>

#include "common/error.h"

// The device request seam: ioctl(fd, request) for the real drive; tests answer it with a
// fake device. Returns 0 or -1 with errno set, as ioctl does.
using CdDeviceRequest = std::function<int(int fd, unsigned long request)>;
int RealCdDeviceRequest(int fd, unsigned long request);

// Opens `devicePath` without waiting for a disc (O_NONBLOCK, as a drive without a disc or
// with its tray open must be opened) and sends CDROMEJECT. The drive must not be held open
// elsewhere in this program: the kernel refuses to eject a drive opened more than once
// ("the drive is in use"). Errors name the device and say why in plain words.
Outcome EjectCdDrive(const std::string& devicePath, const CdDeviceRequest& request = RealCdDeviceRequest);
