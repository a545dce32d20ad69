// Format sniffing by signature.
#include "common/tags/audio_file_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "common/tags/id3v2_header.h"
#include "common/unique_fd.h"

namespace {

bool StartsWith(std::span<const uint8_t> bytes, size_t at, std::string_view text) {
  return bytes.size() >= at + text.size() && std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

// The size of an ID3v2 tag at the start, 0 when there is none (its size is syncsafe).
size_t Id3v2TagBytes(std::span<const uint8_t> head) {
  if (!StartsWith(head, 0, "ID3") || head.size() < 10) return 0;
  for (size_t i = 6; i < 10; ++i)
    if (head[i] & 0x80) return 0;
  const size_t body = (size_t{head[6]} << 21) | (size_t{head[7]} << 14) | (size_t{head[8]} << 7) | head[9];
  return 10 + body + ((head[5] & 0x10) ? 10 : 0);
}

}  // namespace

AudioFileFormat SniffAudioFormat(std::span<const uint8_t> head) {
  if ((StartsWith(head, 0, "RIFF") || StartsWith(head, 0, "RF64")) && StartsWith(head, 8, "WAVE"))
    return AudioFileFormat::Wav;
  if (StartsWith(head, 0, "fLaC")) return AudioFileFormat::Flac;
  if (StartsWith(head, 0, "OggS") && head.size() >= 27) {
    // The first page holds the identification header alone: after the 27-byte page header
    // and the segment table.
    const size_t packet = 27 + size_t{head[26]};
    if (StartsWith(head, packet, "\x01vorbis")) return AudioFileFormat::OggVorbis;
    if (StartsWith(head, packet, "OpusHead")) return AudioFileFormat::Opus;
    return AudioFileFormat::Unknown;
  }
  if (StartsWith(head, 4, "ftyp")) return AudioFileFormat::M4a;
  if (StartsWith(head, 0, "ADIF")) return AudioFileFormat::Aac;
  if (head.size() >= 2 && head[0] == 0xFF && (head[1] & 0xF6) == 0xF0) return AudioFileFormat::Aac;
  if (StartsWith(head, 0, "ID3")) return AudioFileFormat::Mp3;
  if (head.size() >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0) return AudioFileFormat::Mp3;
  return AudioFileFormat::Unknown;
}

AudioFileFormat SniffAudioFileFormat(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return AudioFileFormat::Unknown;
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return AudioFileFormat::Unknown;
  return SniffAudioFdFormat(fd.Get());
}

AudioFileFormat SniffAudioFdFormat(int fd) {
  std::array<uint8_t, kAudioSniffBytes> head{};
  ssize_t got = ::pread(fd, head.data(), head.size(), 0);
  if (got <= 0) return AudioFileFormat::Unknown;
  const AudioFileFormat format = SniffAudioFormat(std::span(head.data(), static_cast<size_t>(got)));
  if (format != AudioFileFormat::Mp3 || !StartsWith(std::span(head.data(), static_cast<size_t>(got)), 0, "ID3"))
    return format;
  // A FLAC or ADTS stream may follow an ID3v2 tag too: look behind it.
  const size_t skip = Id3v2TagBytes(std::span(head.data(), static_cast<size_t>(got)));
  got = ::pread(fd, head.data(), head.size(), static_cast<off_t>(skip));
  if (got <= 0) return AudioFileFormat::Mp3;
  const AudioFileFormat behind = SniffAudioFormat(std::span(head.data(), static_cast<size_t>(got)));
  return behind == AudioFileFormat::Flac || behind == AudioFileFormat::Aac ? behind : AudioFileFormat::Mp3;
}

std::string_view AudioFormatExtension(AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::Wav: return ".wav";
    case AudioFileFormat::Mp3: return ".mp3";
    case AudioFileFormat::Aac: return ".aac";
    case AudioFileFormat::M4a: return ".m4a";
    case AudioFileFormat::Flac: return ".flac";
    case AudioFileFormat::OggVorbis: return ".ogg";
    case AudioFileFormat::Opus: return ".opus";
    case AudioFileFormat::Unknown: break;
  }
  return "";
}

std::string_view AudioFormatName(AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::Wav: return "WAV";
    case AudioFileFormat::Mp3: return "MP3";
    case AudioFileFormat::Aac: return "AAC";
    case AudioFileFormat::M4a: return "M4A";
    case AudioFileFormat::Flac: return "FLAC";
    case AudioFileFormat::OggVorbis: return "Ogg Vorbis";
    case AudioFileFormat::Opus: return "Opus";
    case AudioFileFormat::Unknown: break;
  }
  return "";
}
