// The encoder choices of the maker's MPEGMode setting, shared by the settings and the
// encoding thread. The "MP3" operations encode to the chosen format.
#pragma once

#include <string_view>

inline constexpr int kModeMpeg1 = 1;
inline constexpr int kModeMpeg2 = 2;
inline constexpr int kModeAac = 3;
inline constexpr int kModeExternal = 4;
inline constexpr int kModeM4a = 5;
inline constexpr int kModeFlac = 6;
inline constexpr int kModeVorbis = 7;
inline constexpr int kModeOpus = 8;
inline constexpr int kModeLast = kModeOpus;

// The format's name in log and status texts ("FLAC Encoder: Idle"): "MP3" for MPEG-1,
// MPEG-2 and the external program, "AAC", "M4A", "FLAC", "Ogg Vorbis", "Opus".
constexpr std::string_view EncoderFormatName(int mode) {
  switch (mode) {
    case kModeAac: return "AAC";
    case kModeM4a: return "M4A";
    case kModeFlac: return "FLAC";
    case kModeVorbis: return "Ogg Vorbis";
    case kModeOpus: return "Opus";
    default: return "MP3";
  }
}

// The extension of the files a mode writes (".mp3" for the external program's mode, as the
// planned outputs of such runs are never used).
constexpr std::string_view EncoderExtension(int mode) {
  switch (mode) {
    case kModeAac: return ".aac";
    case kModeM4a: return ".m4a";
    case kModeFlac: return ".flac";
    case kModeVorbis: return ".ogg";
    case kModeOpus: return ".opus";
    default: return ".mp3";
  }
}

// Modes whose files carry tags the maker writes itself (beside the MP3 path's ID3 tags).
constexpr bool EncoderWritesContainerTags(int mode) {
  return mode == kModeM4a || mode == kModeFlac || mode == kModeVorbis || mode == kModeOpus;
}
