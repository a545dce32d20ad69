// The CD information filled from a disc's own titles and performers.
#include "maker/metadata/disc_text_fill.h"

#include <algorithm>

#include "maker/metadata/cddb_reply.h"
#include "maker/metadata/metadata_text.h"

namespace {

std::string Clean(const std::string& value) {
  const std::string text = CddbReplyText(value, CddbCharset::Utf8);
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return CutUtf8Chars(std::string_view(text).substr(first, last - first + 1), kCdTitleChars);
}

// The performer every track names, empty when they differ or one names none.
std::string SharedTrackPerformer(const DiscText& text, int trackCount) {
  if (trackCount <= 0 || text.tracks.size() < static_cast<size_t>(trackCount)) return {};
  std::string shared = Clean(text.tracks[0].performer);
  for (int i = 1; i < trackCount && !shared.empty(); ++i)
    if (Clean(text.tracks[static_cast<size_t>(i)].performer) != shared) return {};
  return shared;
}

// Fills `field` with `value` unless the user typed something into it; returns what it put.
std::string FillField(std::string& field, const std::string& value, const std::string& previous) {
  if (!field.empty() && field != previous) return {};
  field = value;
  return value;
}

}  // namespace

std::string DiscTextFill::TrackName(int track) const {
  if (track < 1 || static_cast<size_t>(track) > trackNames.size()) return {};
  return trackNames[static_cast<size_t>(track) - 1];
}

DiscTextFill DiscTextValues(const DiscText& text, int trackCount) {
  DiscTextFill values;
  trackCount = std::clamp(trackCount, 0, kCdMaxTracks);
  values.title = Clean(text.title);
  values.artist = Clean(text.performer);
  if (values.artist.empty()) values.artist = SharedTrackPerformer(text, trackCount);
  values.trackNames.resize(static_cast<size_t>(trackCount));
  for (int i = 0; i < trackCount && static_cast<size_t>(i) < text.tracks.size(); ++i)
    values.trackNames[static_cast<size_t>(i)] = Clean(text.tracks[static_cast<size_t>(i)].title);
  return values;
}

DiscTextFill FillCdInfoFromDiscText(const DiscText& text, int trackCount, const DiscTextFill& previous, CdInfo& info) {
  const DiscTextFill values = DiscTextValues(text, trackCount);
  DiscTextFill filled;
  filled.title = FillField(info.title, values.title, previous.title);
  filled.artist = FillField(info.artist, values.artist, previous.artist);
  // Names the previous disc's text gave to tracks this disc does not have go as well.
  const size_t tracks = std::max(values.trackNames.size(), previous.trackNames.size());
  filled.trackNames.resize(tracks);
  for (int track = 1; track <= static_cast<int>(tracks); ++track) {
    std::string name = info.TrackName(track);
    filled.trackNames[static_cast<size_t>(track) - 1] = FillField(name, values.TrackName(track), previous.TrackName(track));
    info.SetTrackName(track, std::move(name));
  }
  return filled;
}
