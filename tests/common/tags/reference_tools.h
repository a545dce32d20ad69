// ffmpeg and ffprobe as black-box makers and readers of MP3 files in the tag tests.
#pragma once

#include <array>
#include <cstdio>
#include <string>

namespace reference_tools {

// Runs a shell command; its output and error output.
inline std::string Run(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  std::array<char, 4096> buffer{};
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  pclose(pipe);
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

// `seconds` of a tone as an MP3 (128 kbit/s stereo) without any tag or Xing frame.
inline void MakeMp3(const std::string& path, double seconds = 1.0) {
  Run("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
      " -ac 2 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -write_id3v1 0 '" + path + "'");
}

// The format tag `key` as ffprobe reads it.
inline std::string ProbeTag(const std::string& path, const std::string& key) {
  return Run("ffprobe -v error -show_entries 'format_tags=" + key + "' -of default=noprint_wrappers=1:nokey=1 '" +
             path + "'");
}

// The number of MPEG frames ffprobe finds in the audio stream.
inline std::string ProbePackets(const std::string& path) {
  return Run("ffprobe -v error -select_streams a:0 -count_packets -show_entries stream=nb_read_packets "
             "-of default=noprint_wrappers=1:nokey=1 '" + path + "'");
}

}  // namespace reference_tools
