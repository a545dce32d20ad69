// The MusicBrainz disc id and the reading of the web service's disc id replies.
#include "maker/metadata/musicbrainz_reply.h"

#include <gtest/gtest.h>

#include "maker/metadata/musicbrainz_disc_id.h"

namespace {

// Two media: the second carries the disc id; the first has as many tracks as the disc.
constexpr const char* kTwoMedia = R"({"releases": [{
  "id": "r1", "title": "Album", "date": "2020-03-04", "country": "JP", "disambiguation": "",
  "artist-credit": [{"name": "Alpha", "joinphrase": " feat. ", "artist": {"id": "alpha-id", "name": "Alpha"}},
                    {"artist": {"name": "Beta", "id": "beta-id"}, "joinphrase": ""}],
  "media": [
    {"position": 1, "track-count": 2, "discs": [{"id": "other-disc"}],
     "tracks": [{"title": "Wrong 1"}, {"title": "Wrong 2"}]},
    {"position": 2, "track-count": 2, "discs": [{"id": "the-disc"}],
     "tracks": [
       {"id": "t1", "title": "Own", "artist-credit": [{"name": "Alpha", "joinphrase": " feat. "}, {"name": "Beta"}],
        "recording": {"id": "rec1", "title": "Own"}},
       {"id": "t2", "title": "Guest\u001b[31m", "artist-credit": [{"name": "Gamma"}]}]},
    {"position": 3, "track-count": 1, "tracks": [{"title": "Bonus"}]}]}]})";

}  // namespace

// Catches offsets handed to libdiscid without the pre-gap or in the wrong order: the id
// would name another disc, and the service would find nothing. The drive's addresses of
// a twelve-track disc give the table of contents counted from the start of the pre-gap.
TEST(MusicBrainzDiscId, DriveAddressesGiveTheTocFromThePreGap) {
  const int offsets[] = {150, 22767, 41887, 58317, 72102, 91375, 104652, 115380, 132165, 143932, 159870, 174597};
  DiscLayout disc;
  disc.trackCount = 12;
  for (int offset : offsets) disc.startSectors.push_back(offset - 150);
  disc.startSectors.push_back(267257 - 150);
  const auto id = MakeMusicBrainzDiscId(disc);
  ASSERT_TRUE(id);
  EXPECT_EQ(id->id.size(), 28u);
  EXPECT_EQ(id->toc, "1 12 267257 150 22767 41887 58317 72102 91375 104652 115380 132165 143932 159870 174597");
  EXPECT_FALSE(MakeMusicBrainzDiscId(DiscLayout{2, {0, 150}}));
}

// Catches the wrong medium of a multi-disc release, join phrases lost, a credit without
// its own name left empty, the full date taken as the year, a track artist that equals
// the release's repeated in every name, one that differs dropped, and control characters
// of a reply reaching names.
TEST(MusicBrainzReply, MediumWithTheDiscIdNamesTheTracks) {
  const auto releases = ParseMusicBrainzReleases(kTwoMedia, "the-disc", 2);
  ASSERT_TRUE(releases);
  ASSERT_EQ(releases->size(), 1u);
  const MusicBrainzRelease& r = releases->front();
  EXPECT_TRUE(r.exact);
  EXPECT_EQ(r.title, "Album");
  EXPECT_EQ(r.artist, "Alpha feat. Beta");
  EXPECT_EQ(r.year, "2020");
  EXPECT_EQ(r.trackNames, (std::vector<std::string>{"Own", "Gamma / Guest[31m"}));
  EXPECT_EQ(MusicBrainzReleaseLine(r), "Alpha feat. Beta / Album (2020, JP)");
}

// Catches the ids of the tags taken from the wrong medium or artist, a track without a
// recording shifting the ids of the tracks after it, and the disc counted among the
// media wrongly.
TEST(MusicBrainzReply, IdsAndDiscPositionOfTheMedium) {
  const auto releases = ParseMusicBrainzReleases(kTwoMedia, "the-disc", 2);
  ASSERT_TRUE(releases);
  ASSERT_EQ(releases->size(), 1u);
  const MusicBrainzRelease& r = releases->front();
  EXPECT_EQ(r.id, "r1");
  EXPECT_EQ(r.artistId, "alpha-id");
  EXPECT_EQ(r.recordingIds, (std::vector<std::string>{"rec1", ""}));
  EXPECT_EQ(r.trackIds, (std::vector<std::string>{"t1", "t2"}));
  EXPECT_EQ(r.discNumber, 2);
  EXPECT_EQ(r.discCount, 3);
  EXPECT_FALSE(r.cdStub);
  // A medium without a position: neither number nor count.
  const auto plain = ParseMusicBrainzReleases(
      R"({"releases": [{"id": "x", "media": [{"tracks": [{"title": "a"}]}, {"tracks": []}]}]})", "d", 1);
  ASSERT_TRUE(plain);
  ASSERT_EQ(plain->size(), 1u);
  EXPECT_EQ(plain->front().discNumber, 0);
  EXPECT_EQ(plain->front().discCount, 0);
}

// Catches a fuzzy match (no medium with the disc id) being dropped or marked exact, a
// release without a medium of the disc's track count offered, and a date without a year
// becoming one.
TEST(MusicBrainzReply, TrackCountChoosesTheMediumWithoutTheDiscId) {
  auto releases = ParseMusicBrainzReleases(kTwoMedia, "unknown-disc", 2);
  ASSERT_TRUE(releases);
  ASSERT_EQ(releases->size(), 1u);
  EXPECT_FALSE(releases->front().exact);
  EXPECT_EQ(releases->front().trackNames, (std::vector<std::string>{"Wrong 1", "Wrong 2"}));

  releases = ParseMusicBrainzReleases(kTwoMedia, "unknown-disc", 3);
  ASSERT_TRUE(releases);
  EXPECT_TRUE(releases->empty());

  releases = ParseMusicBrainzReleases(
      R"({"releases": [{"title": "T", "date": "??", "media": [{"tracks": [{"title": "x"}]}]}]})", "d", 1);
  ASSERT_TRUE(releases);
  ASSERT_EQ(releases->size(), 1u);
  EXPECT_EQ(releases->front().year, "");
  EXPECT_EQ(MusicBrainzReleaseLine(releases->front()), " / T");
}

// Catches a hostile or broken reply throwing out of the lookup thread or being taken for
// a disc: not JSON, not an object, members of the wrong types.
TEST(MusicBrainzReply, MalformedRepliesNeitherThrowNorNameADisc) {
  for (const char* text : {"", "<html>503</html>", "[1, 2]", "{\"releases\": [", "\"text\""}) {
    EXPECT_FALSE(ParseMusicBrainzReleases(text, "d", 1)) << text;
  }
  const char* wrongTypes[] = {
      R"({"releases": "none"})",
      R"({"releases": [5, null, "x"]})",
      R"({"releases": [{"title": 5, "artist-credit": {"name": 1}, "media": [{"track-count": "1", "discs": 3}]}]})",
  };
  for (const char* text : wrongTypes) {
    const auto releases = ParseMusicBrainzReleases(text, "d", 1);
    ASSERT_TRUE(releases) << text;
    EXPECT_TRUE(releases->empty()) << text;
  }
  const auto typed = ParseMusicBrainzReleases(
      R"({"releases": [{"title": ["x"], "media": [{"tracks": [{"title": 7, "recording": {"title": "R"}}, 3]}]}]})",
      "d", 2);
  ASSERT_TRUE(typed);
  ASSERT_EQ(typed->size(), 1u);
  EXPECT_EQ(typed->front().title, "");
  EXPECT_EQ(typed->front().trackNames, (std::vector<std::string>{"R", ""}));
  EXPECT_EQ(MusicBrainzErrorText(R"({"error": "Not Found", "help": "..."})"), "Not Found");
  EXPECT_EQ(MusicBrainzErrorText("<html>"), "");
}

// Catches a CD stub (the service's typed names of a disc id no release carries) not
// read, read for a disc of another track count, or its guest artists dropped.
TEST(MusicBrainzReply, CdStubIsOneExactRelease) {
  constexpr const char* kStub = R"({"id": "the-disc", "title": "Demo", "artist": "Garage Band", "comment": "tape",
    "track-count": 2, "tracks": [{"title": "Song", "artist": "Garage Band"}, {"title": "Jam", "artist": "Friend"}]})";
  auto releases = ParseMusicBrainzReleases(kStub, "the-disc", 2);
  ASSERT_TRUE(releases);
  ASSERT_EQ(releases->size(), 1u);
  const MusicBrainzRelease& stub = releases->front();
  EXPECT_TRUE(stub.exact);
  EXPECT_EQ(stub.title, "Demo");
  EXPECT_EQ(stub.artist, "Garage Band");
  EXPECT_EQ(stub.trackNames, (std::vector<std::string>{"Song", "Friend / Jam"}));
  EXPECT_EQ(MusicBrainzReleaseLine(stub), "Garage Band / Demo (tape)");
  EXPECT_TRUE(stub.cdStub);
  releases = ParseMusicBrainzReleases(kStub, "the-disc", 3);
  ASSERT_TRUE(releases);
  EXPECT_TRUE(releases->empty());
}
