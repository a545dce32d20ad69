// CdInfo: the disc information of the CD in the drive and the naming, tag and CDDB
// choices that go with it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cdaccess/track_table.h"

inline constexpr std::string_view kDefaultFileNamePattern =
    "($artist$) [$title$] [$track#$] $trackname$";
inline constexpr std::string_view kDefaultCddbServer = "http://gnudb.gnudb.org:80";

// Sizes of the text buffers of the CD window, in characters (not bytes).
inline constexpr std::size_t kCdTitleChars = 127;
inline constexpr std::size_t kCdArtistChars = 127;
inline constexpr std::size_t kCdGenreChars = 63;
inline constexpr std::size_t kCdYearChars = 15;

// The year edit's greyed placeholder: it stands for "year not known". Typed as a value it
// means the same, and is never written into a file name or a tag.
inline constexpr std::string_view kUnknownYear = "YYYY";
// The genre edit's greyed placeholder: what a person might type; an empty genre stays
// empty in the tags and names.
inline constexpr std::string_view kGenrePlaceholder = "Pop";


// Where "Load Info" takes the disc's names from: a CDDB server or the MusicBrainz web
// service.
enum class MetadataSource { Cddb, MusicBrainz };

// All texts are UTF-8. The window's controls are the only store of this data; the
// choices are loaded from and saved to the settings (CDDBServer, UseHttpProxy,
// UseSocksProxy, HttpProxy, SocksProxy, UseFileNameFormat, FileNamePattern, OptApplyID3,
// UseMusicBrainz).
struct CdInfo {
  std::string title;
  std::string artist;
  std::string year;   // empty: not known
  std::string genre;  // empty: not known
  // trackNames[i] is the name of track i + 1; missing or empty entries mean "no name".
  std::vector<std::string> trackNames;

  std::string cddbServer = std::string(kDefaultCddbServer);
  bool useHttpProxy = false;
  std::string httpProxy;
  bool useSocksProxy = false;
  std::string socksProxy;
  MetadataSource lookupSource = MetadataSource::Cddb;

  // Where the names came from MusicBrainz: the ids of the release, the disc, the release's
  // artist, and per track (index track - 1) the recording and the release's track; the
  // medium's place in the release. Empty (0) otherwise.
  std::string musicBrainzReleaseId;
  std::string musicBrainzDiscId;
  std::string musicBrainzArtistId;
  std::vector<std::string> musicBrainzRecordingIds;
  std::vector<std::string> musicBrainzTrackIds;
  int discNumber = 0;
  int discCount = 0;

  bool useFileNameFormat = false;
  std::string fileNamePattern = std::string(kDefaultFileNamePattern);
  bool applyId3 = false;

  // The year as typed, or empty while it is the placeholder "YYYY" (blanks around it
  // ignored).
  std::string KnownYear() const;
  // Name of 1-based track `track`, empty when there is none.
  std::string TrackName(int track) const;
  // Stores the name of 1-based track `track` (1 … 99), growing the list as needed.
  void SetTrackName(int track, std::string name);
};

// Copy of the disc fields taken when the CD window is shown, cut to the window's buffer
// sizes (UTF-8 safe); Restore puts them back when the window is closed without OK.
struct CdInfoSnapshot {
  std::string title;
  std::string artist;
  std::string year;
  std::string genre;
  std::vector<std::string> trackNames;

  static CdInfoSnapshot Take(const CdInfo& info);
  void Restore(CdInfo& info) const;
};

// The genre vocabulary of the drop-down, 111 entries in display order (sorted; "Fusion"
// appears twice). Any other text may be typed as a genre.
const std::array<std::string_view, 111>& CdGenreList();

// The CDDB server drop-down: the servers that exist, cddbp addresses first, then http.
const std::array<std::string_view, 5>& CddbServerList();

// True when the HTTP proxy choice applies to `server` (it starts with "http://", any case).
bool CddbServerIsHttp(std::string_view server);

// Which of the CD window's controls are enabled, from its choices.
struct CdInfoControlState {
  bool filenamePatternEdit = false;     // while the naming box is checked
  bool useHttpProxyCheckBox = false;    // while the server is http:// or MusicBrainz is chosen
  bool httpProxyEdit = false;           // while that box is enabled and checked
  bool socksProxyEdit = false;          // while the SOCKS box is checked
};
CdInfoControlState CdInfoControls(const CdInfo& info);

// Label of the track name prompt: "Enter name for track %02i:".
std::string TrackNamePromptLabel(int track);

// Track list row of the CD window: " %02i\t%s".
std::string CdTrackRow(int track, std::string_view name);
// Name part of a row: the text after the first tab, empty when there is no tab.
std::string CdTrackRowName(std::string_view row);
