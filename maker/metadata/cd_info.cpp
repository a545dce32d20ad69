// CdInfo: track names, snapshot and the drop-down vocabularies.
#include "maker/metadata/cd_info.h"

#include <cstdio>

#include "maker/metadata/metadata_text.h"

std::string CdInfo::KnownYear() const {
  std::string_view text(year);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text == kUnknownYear) return {};
  return year;
}

std::string CdInfo::TrackName(int track) const {
  if (track < 1 || static_cast<std::size_t>(track) > trackNames.size()) return {};
  return trackNames[static_cast<std::size_t>(track) - 1];
}

void CdInfo::SetTrackName(int track, std::string name) {
  if (track < 1 || track > kCdMaxTracks) return;
  if (trackNames.size() < static_cast<std::size_t>(track)) trackNames.resize(track);
  trackNames[static_cast<std::size_t>(track) - 1] = std::move(name);
}

CdInfoSnapshot CdInfoSnapshot::Take(const CdInfo& info) {
  CdInfoSnapshot snap;
  snap.title = CutUtf8Chars(info.title, kCdTitleChars);
  snap.artist = CutUtf8Chars(info.artist, kCdArtistChars);
  snap.genre = CutUtf8Chars(info.genre, kCdGenreChars);
  snap.year = CutUtf8Chars(info.year, kCdYearChars);
  snap.trackNames = info.trackNames;
  return snap;
}

void CdInfoSnapshot::Restore(CdInfo& info) const {
  info.title = title;
  info.artist = artist;
  info.genre = genre;
  info.year = year;
  info.trackNames = trackNames;
}

const std::array<std::string_view, 111>& CdGenreList() {
  static constexpr std::array<std::string_view, 111> kGenres = {
      "Acid", "Acid Jazz", "Acid Punk", "Acoustic", "Alt. Rock", "Alternative", "Ambient",
      "Avantgarde", "Bass", "Bebob", "Big Band", "Bluegrass", "Blues", "Booty Bass",
      "Cabaret", "Celtic", "Chamber Music", "Chanson", "Chorus", "Christian Rap",
      "Classic Rock", "Classical", "Comedy", "Country", "Cult", "Dance", "Darkwave",
      "Death Metal", "Disco", "Dream", "Easy Listening", "Electronic", "Ethnic",
      "Eurodance", "Euro-Techno", "Folk", "Folk/Rock", "Funk", "Fusion", "Fusion", "Game",
      "Gangsta", "Gospel", "Gothic", "Gothic Rock", "Grunge", "Hard Rock", "Hip-Hop",
      "House", "Humour", "Industrial", "Instrum. Pop", "Instrum. Rock", "Instrumental",
      "Jazz", "Jazz+Funk", "Jungle", "Latin", "Lo-Fi", "Meditative", "Metal", "Musical",
      "National Folk", "Native American", "New Age", "New Wave", "Noise", "Oldies", "Opera",
      "Other", "Polka", "Pop", "Pop/Funk", "Pop-Folk", "Porn Groove", "Pranks", "Primus",
      "Progress. Rock", "Psychedel. Rock", "Psychedelic", "Punk", "R&B", "Rap", "Rave",
      "Reggae", "Retro", "Revival", "Rock", "Rock & Roll", "Satire", "Showtunes", "Ska",
      "Slow Rock", "Sonata", "Soul", "Sound Clip", "Soundtrack", "Southern Rock", "Space",
      "Speech", "Swing", "Symphonic Rock", "Symphony", "Techno", "Techno-Indust.", "Top 40",
      "Trailer", "Trance", "Tribal", "Trip-Hop", "Vocal"};
  return kGenres;
}

const std::array<std::string_view, 5>& CddbServerList() {
  // Servers that exist: gnudb.gnudb.org, the public CDDB server (cddbp on 8880, HTTP on
  // 80), and a server the user runs on this machine. Any other address may be typed.
  static constexpr std::array<std::string_view, 5> kServers = {
      "cddbp://gnudb.gnudb.org:8880", "cddbp://localhost:8880", "cddbp://localhost:888",
      "http://gnudb.gnudb.org:80", "http://localhost:80"};
  return kServers;
}

bool CddbServerIsHttp(std::string_view server) { return StartsWithNoCase(server, "http://"); }

CdInfoControlState CdInfoControls(const CdInfo& info) {
  CdInfoControlState state;
  state.filenamePatternEdit = info.useFileNameFormat;
  state.useHttpProxyCheckBox = CddbServerIsHttp(info.cddbServer) || info.lookupSource == MetadataSource::MusicBrainz;
  state.httpProxyEdit = state.useHttpProxyCheckBox && info.useHttpProxy;
  state.socksProxyEdit = info.useSocksProxy;
  return state;
}

std::string TrackNamePromptLabel(int track) {
  char label[48];
  std::snprintf(label, sizeof label, "Enter name for track %02i:", track);
  return label;
}

std::string CdTrackRow(int track, std::string_view name) {
  char number[16];
  std::snprintf(number, sizeof number, " %02i\t", track);
  return number + std::string(name);
}

std::string CdTrackRowName(std::string_view row) {
  const auto tab = row.find('\t');
  if (tab == std::string_view::npos) return {};
  return std::string(row.substr(tab + 1));
}
