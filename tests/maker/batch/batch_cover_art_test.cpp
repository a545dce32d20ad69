// zbmaker --batch: a CD run named from a MusicBrainz web service on 127.0.0.1 takes the
// release's front cover from a loopback Cover Art Archive.
#include "../metadata/loopback_server.h"
#include "batch_test_support.h"
#include "maker/metadata/musicbrainz_disc_id.h"
#include "tests/fakes/coverart/cover_art_server.h"

using namespace batch_test;

namespace {

constexpr const char* kRelease = "5c0e1f2a-3b4c-4d5e-8f90-a1b2c3d4e5f6";

class BatchCoverArt : public BatchCdRun {
 protected:
  // The FLAC's embedded front cover, as metaflac exports it; empty when it has none.
  std::string Picture(const std::string& flac) {
    return RunShell("(metaflac --export-picture-to=- '" + flac + "' 2>/dev/null)").output;
  }
  RunResult RipToFlac(const std::string& musicBrainz, const std::string& archive) {
    return RunShell(MakerCommand("--batch --cd2mp3 --flac --cd-image disc.cue --output out --musicbrainz-server " +
                                     musicBrainz + " --pattern '$artist$/$title$/$track#$ $trackname$'",
                                 "ZIMBAR_COVERART_SERVER='" + archive + "' "));
  }
};

}  // namespace

// Catches a cover that the program does not fetch, embed in every file or save in the
// album folder, and a release without a cover that fails the rip or leaves no note.
TEST_F(BatchCoverArt, FrontCoverGoesIntoEveryFileAndTheAlbumFolder) {
  if (FindProgram("metaflac").empty()) GTEST_SKIP() << "metaflac is not installed";
  MakeDisc();
  const std::string id = MakeMusicBrainzDiscId(DiscLayout{2, {0, 150, 270}})->id;
  const WebRelease release{kRelease, "Album", "Band", "2020", "", id, {{"One", ""}, {"Two", ""}}};
  LoopbackServer musicBrainz(HttpReplyHandler(HttpResponse(200, "OK", MusicBrainzDiscReply({release}))));
  const std::string musicBrainzUrl = "http://127.0.0.1:" + std::to_string(musicBrainz.Port());
  FakeCoverArtServer archive;
  archive.ServeFrontRedirect(kRelease, "/images/front.png", FakeCoverPng(), "application/octet-stream");

  const RunResult r = RipToFlac(musicBrainzUrl, archive.Url());
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const std::string folder = dir + "/out/Band/Album/";
  EXPECT_NE(r.output.find("    Cover art saved to " + folder + "cover.png."), std::string::npos) << r.output;
  EXPECT_EQ(Bytes(folder + "cover.png"), FakeCoverPng());
  for (const char* name : {"01 One.flac", "02 Two.flac"}) {
    ASSERT_TRUE(std::filesystem::exists(folder + name)) << name << "\n" << r.output;
    EXPECT_EQ(Picture(folder + name), FakeCoverPng()) << name;
  }

  std::filesystem::remove_all(dir + "/out");
  FakeCoverArtServer empty;
  const RunResult none = RipToFlac(musicBrainzUrl, empty.Url());
  EXPECT_EQ(none.exitCode, 0) << none.output;
  EXPECT_NE(none.output.find("    No cover art: 127.0.0.1 has no front cover of this release."), std::string::npos)
      << none.output;
  EXPECT_FALSE(std::filesystem::exists(folder + "cover.png"));
  EXPECT_TRUE(std::filesystem::exists(folder + "02 Two.flac")) << none.output;
  EXPECT_EQ(Picture(folder + "01 One.flac"), "");
}
