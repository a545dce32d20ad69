// The playing time of an MP3 file, as TagLib measures it (from the Xing or VBRI header
// of a VBR file, else from the first frame's bitrate and the file's length).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Milliseconds; none when the file is not a regular file (never opened then), cannot be
// read, or holds no MPEG audio frame TagLib finds.
std::optional<int64_t> Mp3DurationMs(const std::string& path);
