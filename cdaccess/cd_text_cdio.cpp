// The CD-Text of a real disc through libcdio: the album's and each track's title and
// performer, in the language libcdio selects first.
#include <cdio/cdio.h>
#include <cdio/cdtext.h>

#include "cdaccess/cd_source_internal.h"

namespace {

std::string Field(const cdtext_t* text, cdtext_field_t field, int track) {
  const char* value = cdtext_get_const(text, field, static_cast<track_t>(track));
  return value == nullptr ? std::string() : DiscTextValue(value);
}

}  // namespace

DiscText DiscTextFromCdText(const cdtext_t* text, int firstTrack, int trackCount) {
  DiscText disc;
  if (text == nullptr) return disc;
  disc.title = Field(text, CDTEXT_FIELD_TITLE, 0);
  disc.performer = Field(text, CDTEXT_FIELD_PERFORMER, 0);
  for (int i = 0; i < trackCount; ++i) {
    std::string title = Field(text, CDTEXT_FIELD_TITLE, firstTrack + i);
    std::string performer = Field(text, CDTEXT_FIELD_PERFORMER, firstTrack + i);
    if (title.empty() && performer.empty()) continue;
    TrackText& track = disc.Track(static_cast<size_t>(i));
    track.title = std::move(title);
    track.performer = std::move(performer);
  }
  return disc;
}

DiscText ReadCdTextThroughCdio(CdIo_t* cdio, int firstTrack, int trackCount) {
  // libcdio keeps the CD-Text it read with the handle: a disc without CD-Text gives
  // nullptr, and so does a drive that cannot read it. Neither is an error here.
  return DiscTextFromCdText(cdio_get_cdtext(cdio), firstTrack, trackCount);
}
