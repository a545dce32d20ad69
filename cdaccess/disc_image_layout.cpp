// Lays a sheet's steps out on the disc and checks the resulting track table.
#include "cdaccess/disc_image_layout.h"

#include <optional>

#include "cdaccess/msf_time.h"

namespace {

constexpr int64_t kMaxDiscBytes = kImageMaxDiscSectors * kCdSectorBytes;

struct TrackPlace {
  int number = 0;
  int64_t begin = 0;                 // disc byte where the track begins (index 0 or 1)
  bool data = false;
  std::optional<int64_t> index1;     // disc byte of index 1
  std::string index1Origin;
};

std::string TrackPrefix(int track) { return track > 0 ? "track " + std::to_string(track) + ": " : std::string(); }

std::string Length(int64_t bytes) { return MsfText(bytes / kCdSectorBytes); }

std::string TooLong(const ImageStep& step) {
  return TrackPrefix(step.track) + "the disc grows longer than " + Length(kMaxDiscBytes) + " at " +
         (step.origin.empty() ? std::string("the end of the track") : step.origin);
}

}  // namespace

Expected<DiscImageLayout> LayOutDiscImage(const ImageSheet& sheet, std::span<const int64_t> fileBytes) {
  DiscImageLayout layout;
  std::vector<TrackPlace> tracks;
  int64_t position = 0;
  for (const ImageStep& step : sheet.steps) {
    switch (step.kind) {
      case ImageStep::Kind::TrackStart:
        tracks.push_back({step.track, position, step.dataTrack, std::nullopt, {}});
        break;
      case ImageStep::Kind::Index:
        if (step.index == 1 && !tracks.empty() && tracks.back().number == step.track) {
          TrackPlace& track = tracks.back();
          track.index1 = step.offsetBytes ? track.begin + *step.offsetBytes : position;
          track.index1Origin = step.origin;
        }
        break;
      case ImageStep::Kind::Data: {
        if (step.file >= sheet.files.size() || step.file >= fileBytes.size())
          return Fail(SheetError(TrackPrefix(step.track) + step.origin + " names no known file"));
        const int64_t available = fileBytes[step.file];
        const std::string end = "the end of \"" + sheet.files[step.file].name + "\" (" + Length(available) + ")";
        if (step.fileByte > available || (step.bytes && *step.bytes > available - step.fileByte))
          return Fail(SheetError(TrackPrefix(step.track) + step.origin + " lies beyond " + end));
        const int64_t bytes = step.bytes ? *step.bytes : available - step.fileByte;
        if (bytes > kMaxDiscBytes - position) return Fail(SheetError(TooLong(step)));
        if (bytes > 0) layout.segments.push_back({position, bytes, step.file, step.fileByte});
        position += bytes;
        break;
      }
      case ImageStep::Kind::Silence:
        if (step.bytes.value_or(0) > kMaxDiscBytes - position) return Fail(SheetError(TooLong(step)));
        position += step.bytes.value_or(0);
        break;
      case ImageStep::Kind::PadToSector:
        position = (position + kCdSectorBytes - 1) / kCdSectorBytes * kCdSectorBytes;
        break;
    }
    if (position > kMaxDiscBytes) return Fail(SheetError(TooLong(step)));
  }
  position = (position + kCdSectorBytes - 1) / kCdSectorBytes * kCdSectorBytes;
  if (tracks.empty()) return Fail(SheetError("holds no track"));
  if (static_cast<int>(tracks.size()) > kImageMaxTracks)
    return Fail(SheetError("holds more than " + std::to_string(kImageMaxTracks) + " tracks"));

  layout.firstTrack = tracks.front().number;
  for (size_t i = 0; i < tracks.size(); ++i) {
    const TrackPlace& track = tracks[i];
    const std::string prefix = TrackPrefix(track.number);
    if (!track.index1) return Fail(SheetError("track " + std::to_string(track.number) + " has no INDEX 01"));
    const int64_t end = i + 1 < tracks.size() ? tracks[i + 1].begin : position;
    if (*track.index1 > end)
      return Fail(SheetError(prefix + track.index1Origin + " lies beyond the end of the track (" +
                             Length(end - track.begin) + ")"));
    if (*track.index1 % kCdSectorBytes != 0)
      return Fail(SheetError(prefix + "does not start on a whole sector (" + track.index1Origin + ")"));
    layout.starts.push_back(static_cast<int32_t>(*track.index1 / kCdSectorBytes));
    layout.dataTracks.push_back(track.data ? 1 : 0);
    // A track begins on a whole sector: the previous one ends padded to one, and an
    // INDEX 00 is given in sectors.
    layout.pregapStarts.push_back(track.begin < *track.index1 ? static_cast<int32_t>(track.begin / kCdSectorBytes)
                                                               : -1);
  }
  layout.starts.push_back(static_cast<int32_t>(position / kCdSectorBytes));
  for (size_t i = 0; i + 1 < layout.starts.size(); ++i) {
    const int64_t sectors = int64_t{layout.starts[i + 1]} - layout.starts[i];
    const std::string name = "track " + std::to_string(tracks[i].number);
    if (sectors == 0) return Fail(SheetError(name + " has no audio (its length is 00:00:00)"));
    if (sectors < 0) return Fail(SheetError(name + " ends before it starts"));
    if (sectors > kImageMaxTrackSectors)
      return Fail(SheetError(name + " is longer than a rip can hold (" + MsfText(sectors) + ", at most " +
                             MsfText(kImageMaxTrackSectors) + ")"));
  }
  return layout;
}
