// Reading of the MusicBrainz web service's disc id replies (JSON): the releases that hold
// the disc, each with the track names of its medium that is this disc.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MusicBrainzRelease {
  std::string id;             // the release's MusicBrainz id
  std::string title;
  std::string artist;         // the artist credit, names joined by their join phrases
  std::string year;           // the first four digits of the date; empty when unknown
  std::string country;
  std::string disambiguation;
  // True when a medium of the release carries the disc id itself; false when the server
  // matched the table of contents and the medium was taken by its track count.
  bool exact = false;
  // Track names of that medium in order: "<track artist> / <title>" when the track's
  // credit differs from the release's (a compilation), else the title alone.
  std::vector<std::string> trackNames;
  // The ids for the tags: the first credited artist of the release, and per track of the
  // medium (in the order of trackNames) its recording and the release's track. A CD stub
  // has none: it is no release.
  std::string artistId;
  std::vector<std::string> recordingIds;
  std::vector<std::string> trackIds;
  // The medium's position in the release (1-based) and the release's number of media; 0
  // when the reply does not say.
  int discNumber = 0;
  int discCount = 0;
  bool cdStub = false;
};

// The releases of a reply to GET /ws/2/discid/<id>?toc=...&inc=artist-credits+recordings,
// in the server's order, leaving out those without a medium for this disc: one whose
// disc ids hold `discId`, else one of `trackCount` tracks. Every text is taken out of
// control characters (WithoutControlChars). A CD stub reply (no releases, the typed
// title, artist and tracks of the disc id) of `trackCount` tracks is one exact release.
// Nothing when `json` is no JSON object.
std::optional<std::vector<MusicBrainzRelease>> ParseMusicBrainzReleases(std::string_view json,
                                                                        std::string_view discId, int trackCount);

// The "error" text of an error reply, empty when there is none.
std::string MusicBrainzErrorText(std::string_view json);

// One line for a choice between releases: "<artist> / <title> (<year>, <country>,
// <disambiguation>)", the parenthesis holding what is known, left out when nothing is.
std::string MusicBrainzReleaseLine(const MusicBrainzRelease& release);
