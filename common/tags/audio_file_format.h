// The audio formats both programs tell apart by a file's first bytes rather than its name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

enum class AudioFileFormat { Unknown, Wav, Mp3, Aac, M4a, Flac, OggVorbis, Opus };

// The format of a file that starts with `head` (the first kAudioSniffBytes bytes or fewer):
// "RIFF"/"RF64" ... "WAVE"; "fLaC" (after an ID3v2 tag too); an Ogg page whose first packet
// is a Vorbis or Opus identification header; an MP4 "ftyp" box; ADIF ("ADIF") or an ADTS
// sync word; MPEG audio (an ID3v2 tag, or a frame sync). Unknown when none fits.
inline constexpr size_t kAudioSniffBytes = 64;
AudioFileFormat SniffAudioFormat(std::span<const uint8_t> head);
// The same for a file on disk (Unknown when it cannot be read; never blocks on a FIFO).
AudioFileFormat SniffAudioFileFormat(const std::string& path);
// The same for a file open for reading (read with pread: its offset is left where it is).
AudioFileFormat SniffAudioFdFormat(int fd);

// The format's usual extension (".flac", ".ogg", ".opus", ".m4a", ...); "" for Unknown.
std::string_view AudioFormatExtension(AudioFileFormat format);
// The format's name for people: "FLAC", "Ogg Vorbis", "Opus", "M4A", "MP3", "AAC", "WAV".
std::string_view AudioFormatName(AudioFileFormat format);
