// What the play list window shows of each entry: "Artist – Title" from the entry's tags
// (else its file name) and its playing time, read on a worker thread in batches so that
// the window keeps answering while a long list is measured.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct EntryInfo {
  std::string artist;
  std::string title;
  int64_t durationMs = -1;  // -1: not known (a stream, an AAC file, a file not read)
  bool operator==(const EntryInfo&) const = default;
};

// "Artist – Title" when the tags give both; the title alone without an artist; else the
// file name without its folder (a URL as it is). info may be null (not read yet).
std::string EntryRowText(const std::string& entry, const EntryInfo* info);

// "3:05", "1:02:03" for an hour or more; "" when not known.
std::string DurationText(int64_t durationMs);

// The tags (the whole ID3v2 texts where the file has them; the Vorbis comments or MP4
// atoms of a FLAC, Ogg Vorbis, Opus or M4A file) and the playing time of a WAV, MP3, FLAC,
// Ogg Vorbis, Opus or M4A file. A URL, or what is not a regular file, is never opened and gives nothing.
EntryInfo ReadEntryInfo(const std::string& entry);

// ReadEntryInfo of each entry, in order, until cancelled turns true (the rest is left out).
std::vector<std::pair<std::string, EntryInfo>> ReadEntryInfos(const std::vector<std::string>& entries,
                                                              const std::function<bool()>& cancelled);
