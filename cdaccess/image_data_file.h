// The data files a disc image's sheet names: opened, checked, and read as CD audio.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "cdaccess/disc_image_sheet.h"
#include "common/error.h"
#include "common/unique_fd.h"

struct ImageDataFile {
  UniqueFd fd;
  std::string name;           // as the sheet writes it
  int64_t audioOffset = 0;    // file offset of the first audio byte
  int64_t audioBytes = 0;
  bool bigEndian = false;
};

// Opens `ref` (a relative name is taken from `folder`, which is empty or ends in '/'). Only
// regular files are read. A WAVE file must hold 16-bit stereo 44 100 Hz PCM; its audio is
// its data chunk (cut to what the file holds when the chunk claims more). The error's text
// names the file and the reason: an Io error when it cannot be opened, Unsupported for
// what is no regular file or no such PCM, Format for a damaged WAVE file.
Expected<ImageDataFile> OpenImageDataFile(const std::string& folder, const ImageFileRef& ref);

// Reads out.size() audio bytes from audio byte `at` on, low byte of each sample first.
// False when the file no longer holds them or a read fails.
bool ReadImageAudio(const ImageDataFile& file, int64_t at, std::span<uint8_t> out);
