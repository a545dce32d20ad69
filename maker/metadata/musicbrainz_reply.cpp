// Reading of the MusicBrainz disc id replies with nlohmann-json.
#include "maker/metadata/musicbrainz_reply.h"

#include <nlohmann/json.hpp>

#include "common/outside_text.h"
#include "maker/metadata/metadata_text.h"

namespace {

using Json = nlohmann::json;

// A reply is data from the network: every member may be missing or of another type, so
// each is read through these, which never throw.
const Json* Member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::string Text(const Json& object, const char* key) {
  const Json* value = Member(object, key);
  if (value == nullptr || !value->is_string()) return {};
  return WithoutControlChars(value->get_ref<const std::string&>());
}

const Json& Array(const Json& object, const char* key) {
  static const Json kEmpty = Json::array();
  const Json* value = Member(object, key);
  return value != nullptr && value->is_array() ? *value : kEmpty;
}

// "artist-credit": [{"name": "A", "joinphrase": " & "}, {"name": "B"}] is "A & B"; a
// credit without its own name takes the artist's.
std::string ArtistCredit(const Json& owner) {
  std::string credit;
  for (const Json& part : Array(owner, "artist-credit")) {
    std::string name = Text(part, "name");
    if (name.empty()) {
      if (const Json* artist = Member(part, "artist")) name = Text(*artist, "name");
    }
    credit += name + Text(part, "joinphrase");
  }
  return credit;
}

std::string YearOf(const std::string& date) {
  if (date.size() < 4) return {};
  for (std::size_t i = 0; i < 4; ++i)
    if (date[i] < '0' || date[i] > '9') return {};
  return date.substr(0, 4);
}

int TrackCountOf(const Json& medium) {
  const Json* count = Member(medium, "track-count");
  if (count != nullptr && count->is_number_integer()) return count->get<int>();
  return static_cast<int>(Array(medium, "tracks").size());
}

bool CarriesDisc(const Json& medium, std::string_view discId) {
  for (const Json& disc : Array(medium, "discs"))
    if (Text(disc, "id") == discId) return true;
  return false;
}

// The medium that is this disc: the one with the disc id, else the first with as many
// tracks as the disc has.
const Json* DiscMedium(const Json& release, std::string_view discId, int trackCount, bool& exact) {
  const Json& media = Array(release, "media");
  for (const Json& medium : media) {
    if (CarriesDisc(medium, discId)) {
      exact = true;
      return &medium;
    }
  }
  for (const Json& medium : media) {
    if (TrackCountOf(medium) == trackCount) {
      exact = false;
      return &medium;
    }
  }
  return nullptr;
}

int Integer(const Json& object, const char* key) {
  const Json* value = Member(object, key);
  return value != nullptr && value->is_number_integer() ? value->get<int>() : 0;
}

// The id of the artist credited first: the album artist of the tags.
std::string FirstArtistId(const Json& owner) {
  const Json& credit = Array(owner, "artist-credit");
  if (credit.empty()) return {};
  const Json* artist = Member(credit.front(), "artist");
  return artist != nullptr ? Text(*artist, "id") : std::string();
}

std::string RecordingId(const Json& track) {
  const Json* recording = Member(track, "recording");
  return recording != nullptr ? Text(*recording, "id") : std::string();
}

std::string TrackName(const Json& track, const std::string& releaseArtist) {
  const Json* recording = Member(track, "recording");
  std::string title = Text(track, "title");
  if (title.empty() && recording != nullptr) title = Text(*recording, "title");
  std::string artist = ArtistCredit(track);
  if (artist.empty() && recording != nullptr) artist = ArtistCredit(*recording);
  if (artist.empty() || artist == releaseArtist) return title;
  return artist + " / " + title;
}

// A CD stub: the title, artist and track list someone typed for a disc id that no release
// carries yet. It stands for the disc itself.
std::optional<MusicBrainzRelease> CdStub(const Json& reply, int trackCount) {
  const Json& tracks = Array(reply, "tracks");
  if (Member(reply, "releases") != nullptr || tracks.empty() || static_cast<int>(tracks.size()) != trackCount)
    return std::nullopt;
  MusicBrainzRelease stub;
  stub.exact = true;
  stub.cdStub = true;
  stub.id = Text(reply, "id");
  stub.title = Text(reply, "title");
  stub.artist = Text(reply, "artist");
  stub.disambiguation = Text(reply, "comment");
  for (const Json& track : tracks) {
    const std::string artist = Text(track, "artist");
    const std::string title = Text(track, "title");
    stub.trackNames.push_back(artist.empty() || artist == stub.artist ? title : artist + " / " + title);
  }
  return stub;
}

}  // namespace

std::optional<std::vector<MusicBrainzRelease>> ParseMusicBrainzReleases(std::string_view json,
                                                                        std::string_view discId, int trackCount) {
  const Json reply = Json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (reply.is_discarded() || !reply.is_object()) return std::nullopt;
  std::vector<MusicBrainzRelease> releases;
  if (auto stub = CdStub(reply, trackCount)) releases.push_back(std::move(*stub));
  for (const Json& entry : Array(reply, "releases")) {
    MusicBrainzRelease release;
    const Json* medium = DiscMedium(entry, discId, trackCount, release.exact);
    if (medium == nullptr) continue;
    release.id = Text(entry, "id");
    release.title = Text(entry, "title");
    release.artist = ArtistCredit(entry);
    release.year = YearOf(Text(entry, "date"));
    release.country = Text(entry, "country");
    release.disambiguation = Text(entry, "disambiguation");
    release.artistId = FirstArtistId(entry);
    const int position = Integer(*medium, "position");
    release.discNumber = position > 0 ? position : 0;
    release.discCount = release.discNumber > 0 ? static_cast<int>(Array(entry, "media").size()) : 0;
    for (const Json& track : Array(*medium, "tracks")) {
      release.trackNames.push_back(TrackName(track, release.artist));
      release.recordingIds.push_back(RecordingId(track));
      release.trackIds.push_back(Text(track, "id"));
    }
    releases.push_back(std::move(release));
  }
  return releases;
}

std::string MusicBrainzErrorText(std::string_view json) {
  const Json reply = Json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (reply.is_discarded()) return {};
  return Text(reply, "error");
}

std::string MusicBrainzReleaseLine(const MusicBrainzRelease& release) {
  std::string details;
  for (const std::string* part : {&release.year, &release.country, &release.disambiguation}) {
    if (part->empty()) continue;
    if (!details.empty()) details += ", ";
    details += *part;
  }
  std::string line = release.artist + " / " + release.title;
  if (!details.empty()) line += " (" + details + ")";
  return line;
}
