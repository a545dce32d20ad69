// zbmaker --batch naming a rip from a CDDB server or a MusicBrainz web service on
// 127.0.0.1 and from --track-names.
#include <cstdio>

#include "../metadata/loopback_server.h"
#include "batch_test_support.h"
#include "common/id3v1_tag.h"
#include "maker/metadata/disc_id.h"
#include "maker/metadata/musicbrainz_disc_id.h"

using namespace batch_test;

namespace {

class BatchCddb : public BatchCdRun {
 protected:
  // The disc ID of the disc MakeDisc writes: tracks at sectors 0 and 150, lead-out at 270.
  static std::string DiscIdHex() {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", DiscId(DiscLayout{2, {0, 150, 270}}));
    return text;
  }
  static Id3v1Tag Tag(const std::string& path) {
    Id3v1Tag tag;
    EXPECT_EQ(ReadId3v1Tag(path, &tag.album, &tag.artist, &tag.title, &tag.year), kId3Ok) << path;
    return tag;
  }
  static constexpr const char* kPattern = " --pattern '$artist$/$title$/$track#$ $trackname$'";
};

}  // namespace

// Catches the reply not reaching file names and tags, a wrong table of contents in the
// query, a multiple match not taking the first, and the reply wiping a name given.
TEST_F(BatchCddb, ReplyNamesTheFilesAndTagsUnderTheCommandLine) {
  MakeDisc();
  const std::string id = DiscIdHex();
  CddbScript script;
  script.queryReply = "211 Found inexact matches, list follows (until terminating `.')\r\n"
                      "rock " + id + " Artist / Album\r\njazz " + id + " Other / Disc\r\n.\r\n";
  script.readReply = "210 rock " + id + " CD database entry follows\r\nDISCID=" + id +
                     "\r\nDTITLE=Artist / Album\r\nTTITLE0=First/Song\r\nTTITLE1=Second\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  const RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --cddb --id3 --year 1999 --name 2=Given"
                            " --cddb-server cddbp://127.0.0.1:" + std::to_string(server.Port()) + kPattern);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  ASSERT_EQ(server.Transcripts().size(), 1u);
  EXPECT_NE(server.Transcripts()[0].find("cddb query " + id + " 2 150 300 5\r\n"), std::string::npos)
      << server.Transcripts()[0];
  EXPECT_NE(r.output.find("Querying the CDDB server...\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("1) rock " + id + " Artist / Album\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("2) jazz " + id + " Other / Disc\n"), std::string::npos) << r.output;

  const Id3v1Tag first = Tag(dir + "/out/Artist/Album/01 First-Song.mp3");
  EXPECT_EQ(first.title, "First/Song");
  EXPECT_EQ(first.artist, "Artist");
  EXPECT_EQ(first.album, "Album");
  EXPECT_EQ(first.year, "1999");
  EXPECT_EQ(Tag(dir + "/out/Artist/Album/02 Given.mp3").title, "Given");
}

// Catches a failed lookup ending the run, not saying in plain words what happened on which
// server, or wiping what the command line gave: a refused connection and a server without
// the disc.
TEST_F(BatchCddb, FailedLookupGoesOnWithTheGivenNames) {
  MakeDisc();
  CddbScript script;
  script.queryReply = "202 No match for disc ID " + DiscIdHex() + ".\r\n";
  LoopbackServer server(CddbpHandler(script));
  const struct {
    std::uint16_t port;
    const char* text;
    const char* warning;
  } cases[] = {{FreeLoopbackPort(), "Cannot reach 127.0.0.1: connection refused\n",
                "    Warning: Cannot reach 127.0.0.1: connection refused; going on with the CD information given"},
               {server.Port(), "No match for this disc on 127.0.0.1\n202 No match",
                "    Warning: No match for this disc on 127.0.0.1; going on with the CD information given"}};
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir + "/out");
    const RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out --tracks 1 --cddb --title T"
                              " --artist A --name 1=One --cddb-server cddbp://127.0.0.1:" + std::to_string(c.port) +
                              kPattern);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find(c.text), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(c.warning), std::string::npos) << r.output;
    EXPECT_TRUE(std::filesystem::exists(dir + "/out/A/T/01 One.wav")) << r.output;
  }
}

// Catches a sheet's titles winning over a CDDB reply the user asked for, and the reply
// winning over a name typed on the command line.
TEST_F(BatchCddb, ReplyReplacesTheSheetsTitles) {
  MakeDiscWithTitles();
  const std::string id = DiscIdHex();
  CddbScript script;
  script.queryReply = "200 rock " + id + " Server Artist / Server Album\r\n";
  script.readReply = "210 rock " + id + " entry\r\nTTITLE0=Server One\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  const RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out --cddb --title Typed --name 2=Given"
                            " --cddb-server cddbp://127.0.0.1:" + std::to_string(server.Port()) + kPattern);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/Server Artist/Typed/01 Server One.wav")) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/Server Artist/Typed/02 Given.wav")) << r.output;
}

// Catches control characters of a hostile reply (a terminal title escape, BEL, a C1
// CSI) reaching the terminal, the file names or the tags.
TEST_F(BatchCddb, ReplyControlCharactersReachNeitherTerminalNorFiles) {
  MakeDisc();
  const std::string id = DiscIdHex();
  CddbScript script;
  script.queryReply = "200 rock " + id + " Ar\x1b]0;owned\x07tist / Al\x9b" "2Jbum\r\n";
  script.readReply = "210 rock " + id + " entry\r\nTTITLE0=Fi\x1b[31mrst\r\nTTITLE1=Sec\x07ond\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  const RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --cddb --id3"
                            " --cddb-server cddbp://127.0.0.1:" + std::to_string(server.Port()) + kPattern);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  for (char control : {'\x1b', '\x07'}) EXPECT_EQ(r.output.find(control), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("\xC2\x9B"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Found: Ar]0;ownedtist / Al2Jbum (rock)"), std::string::npos) << r.output;
  EXPECT_EQ(Tag(dir + "/out/Ar]0;ownedtist/Al2Jbum/01 Fi[31mrst.mp3").title, "Fi[31mrst");
  EXPECT_EQ(Tag(dir + "/out/Ar]0;ownedtist/Al2Jbum/02 Second.mp3").artist, "Ar]0;ownedtist");
}

// Catches file lines landing on the wrong track, a byte order mark or CRLF line ends
// garbling names, --name not winning over the file, and a file for a longer disc passing
// quietly.
TEST_F(BatchCddb, TrackNamesFileNamesTheTracks) {
  MakeDisc();
  std::ofstream(dir + "/names.txt") << "\xEF\xBB\xBF" "Caf\xC3\xA9\r\nTwo\r\n";
  RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --id3 --track-names names.txt --name 2=Given"
                      " --artist A --title T" + std::string(kPattern));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Tag(dir + "/out/A/T/01 Caf\xC3\xA9.mp3").title, "Caf\xC3\xA9");
  EXPECT_EQ(Tag(dir + "/out/A/T/02 Given.mp3").title, "Given");

  std::ofstream(dir + "/three.txt") << "a\nb\nc\n";
  r = Maker("--batch --cd2wav --cd-image disc.cue --output out2 --track-names three.txt");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.output.find("names 3 tracks, the disc has 2"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out2/Track01.wav"));
}

// Catches Ctrl-C during a lookup killing the program, or being ignored until the network
// time limit: the run must end at once, failed, with nothing read.
TEST_F(BatchCddb, InterruptDuringTheLookupEndsTheRun) {
  MakeDisc();
  CddbScript script;
  script.queryReply = std::string(kStall);
  LoopbackServer server(CddbpHandler(script));
  const RunResult r = MakerInterruptedAt(
      "--batch --cd2wav --cd-image disc.cue --output out --cddb-server cddbp://127.0.0.1:" + std::to_string(server.Port()),
      "Querying");
  EXPECT_NE(r.output.find("exit=130\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\nCancelled\n"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out/Track01.wav"));
}

namespace {

std::string ProbeTag(const std::string& path, const std::string& key) {
  std::string value = RunShell("ffprobe -v error -show_entries format_tags=" + key +
                               " -of default=noprint_wrappers=1:nokey=1 '" + path + "'")
                          .output;
  while (!value.empty() && value.back() == '\n') value.pop_back();
  return value;
}

}  // namespace

// Catches a UTF-8 disc from a level 6 server becoming "????" or mojibake in file names
// and tags, a 210 list refused, the other exact matches not shown, DYEAR and DGENRE
// ignored, and the ID3v1 record changed by the ID3v2 tag beside it.
TEST_F(BatchCddb, Utf8DiscBecomesUtf8FileNamesAndId3v2Tags) {
  MakeDisc();
  const std::string id = DiscIdHex();
  CddbScript script;
  script.queryReply = "210 Found exact matches, list follows (until terminating `.')\r\n"
                      "misc " + id + " Café – Ünïcödé / 夜に駆ける\r\nrock " + id + " Other / Disc\r\n.\r\n";
  script.readReply = "210 misc " + id + " CD database entry follows\r\nDISCID=" + id +
                     "\r\nDTITLE=Café – Ünïcödé / 夜に駆ける\r\nDYEAR=2020\r\nDGENRE=J-Pop\r\n"
                     "TTITLE0=群青\r\nTTITLE1=Café – Ünïcödé\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  const RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --cddb --id3"
                            " --cddb-server cddbp://127.0.0.1:" + std::to_string(server.Port()) +
                            " --pattern '$artist$/$title$ ($year$)/$track#$ $trackname$ [$genre$]'");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(server.Transcripts()[0].find("proto 6\r\n"), std::string::npos);
  EXPECT_NE(r.output.find("* 1) misc " + id + " Café – Ünïcödé / 夜に駆ける\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("  2) rock " + id + " Other / Disc\n"), std::string::npos) << r.output;

  const std::string folder = dir + "/out/Café – Ünïcödé/夜に駆ける (2020)/";
  const std::string first = folder + "01 群青 [J-Pop].mp3";
  ASSERT_TRUE(std::filesystem::exists(first)) << r.output;
  EXPECT_EQ(ProbeTag(first, "title"), "群青");
  EXPECT_EQ(ProbeTag(first, "artist"), "Café – Ünïcödé");
  EXPECT_EQ(ProbeTag(first, "album"), "夜に駆ける");
  EXPECT_EQ(ProbeTag(first, "date"), "2020");
  EXPECT_EQ(ProbeTag(first, "track"), "1/2");
  EXPECT_EQ(ProbeTag(first, "genre"), "J-Pop");
  const std::string second = folder + "02 Café – Ünïcödé [J-Pop].mp3";
  EXPECT_EQ(ProbeTag(second, "title"), "Café – Ünïcödé");
  EXPECT_EQ(ProbeTag(second, "track"), "2/2");
  // The ID3v1 record is what it always was: ISO-8859-1, '?' for what it cannot hold.
  const Id3v1Tag v1 = Tag(second);
  EXPECT_EQ(v1.title, "Café ? Ünïcödé");
  EXPECT_EQ(v1.album, "?????");
  EXPECT_EQ(v1.year, "2020");
}

// Catches the year edit's placeholder reaching a file name or the ID3v2 tag.
TEST_F(BatchCddb, UnknownYearReachesNeitherNameNorId3v2Tag) {
  MakeDisc();
  const RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --tracks 1 --id3 --artist A"
                            " --name 1=One --pattern '$artist$ [$year$] $trackname$'");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const std::string mp3 = dir + "/out/A One.mp3";
  ASSERT_TRUE(std::filesystem::exists(mp3)) << r.output;
  EXPECT_EQ(ProbeTag(mp3, "date"), "");
  EXPECT_EQ(ProbeTag(mp3, "title"), "One");
}

// Catches a UTF-8 release from the web service becoming "????" or mojibake in file names
// and tags, the wrong table of contents in the request, the other releases not shown,
// the year of the release date lost, the genre given on the command line wiped by a
// source that names none, and the ID3v1 record changed by the ID3v2 tag beside it.
TEST_F(BatchCddb, MusicBrainzUtf8ReleaseBecomesUtf8FileNamesAndId3v2Tags) {
  MakeDisc();
  const std::string id = MakeMusicBrainzDiscId(DiscLayout{2, {0, 150, 270}})->id;
  const WebRelease release{"r1", "夜に駆ける", "Café – Ünïcödé", "2020-01-15", "JP", id,
                           {{"群青", ""}, {"Café – Ünïcödé", ""}}};
  const WebRelease other{"r2", "Disc", "Other", "", "", id, {{"A", ""}, {"B", ""}}};
  LoopbackServer server(HttpReplyHandler(HttpResponse(200, "OK", MusicBrainzDiscReply({release, other}))));
  const RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --id3 --genre J-Pop"
                            " --musicbrainz-server http://127.0.0.1:" + std::to_string(server.Port()) +
                            " --pattern '$artist$/$title$ ($year$)/$track#$ $trackname$ [$genre$]'");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  ASSERT_EQ(server.Transcripts().size(), 1u);
  EXPECT_NE(server.Transcripts()[0].find("GET /ws/2/discid/" + id + "?toc=1+2+420+150+300&"), std::string::npos)
      << server.Transcripts()[0];
  EXPECT_NE(r.output.find("Querying the MusicBrainz server...\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("* 1) Café – Ünïcödé / 夜に駆ける (2020, JP)\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("  2) Other / Disc\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("    Found: Café – Ünïcödé / 夜に駆ける (2020), 2 track names"), std::string::npos) << r.output;

  const std::string folder = dir + "/out/Café – Ünïcödé/夜に駆ける (2020)/";
  const std::string first = folder + "01 群青 [J-Pop].mp3";
  ASSERT_TRUE(std::filesystem::exists(first)) << r.output;
  EXPECT_EQ(ProbeTag(first, "title"), "群青");
  EXPECT_EQ(ProbeTag(first, "artist"), "Café – Ünïcödé");
  EXPECT_EQ(ProbeTag(first, "album"), "夜に駆ける");
  EXPECT_EQ(ProbeTag(first, "date"), "2020");
  EXPECT_EQ(ProbeTag(first, "track"), "1/2");
  EXPECT_EQ(ProbeTag(first, "genre"), "J-Pop");
  const std::string second = folder + "02 Café – Ünïcödé [J-Pop].mp3";
  EXPECT_EQ(ProbeTag(second, "title"), "Café – Ünïcödé");
  EXPECT_EQ(ProbeTag(second, "track"), "2/2");
  const Id3v1Tag v1 = Tag(second);
  EXPECT_EQ(v1.title, "Café ? Ünïcödé");
  EXPECT_EQ(v1.album, "?????");
  EXPECT_EQ(v1.year, "2020");
}

// Catches a disc the web service does not know ending the run, saying nothing, or
// speaking of CDDB, and a lookup run although none was asked for.
TEST_F(BatchCddb, MusicBrainzWithoutTheDiscGoesOnWithTheGivenNames) {
  MakeDisc();
  LoopbackServer server(HttpReplyHandler(HttpResponse(404, "Not Found", R"({"error": "Not Found"})")));
  const RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out --tracks 1 --musicbrainz --title T"
                            " --artist A --name 1=One --musicbrainz-server http://127.0.0.1:" +
                            std::to_string(server.Port()) + kPattern);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("No match for this disc on 127.0.0.1\nHTTP/1.1 404 Not Found: Not Found\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("    Warning: No match for this disc on 127.0.0.1; going on with the CD information given"),
            std::string::npos)
      << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/A/T/01 One.wav")) << r.output;

  const RunResult both = Maker("--batch --cd2wav --cd-image disc.cue --cddb --musicbrainz");
  EXPECT_EQ(both.exitCode, 2) << both.output;
  EXPECT_NE(both.output.find("choose one of --cddb and --musicbrainz"), std::string::npos) << both.output;
  const RunResult files = Maker("--batch --musicbrainz a.wav");
  EXPECT_EQ(files.exitCode, 2) << files.output;
  EXPECT_NE(files.output.find("--musicbrainz is for CD runs"), std::string::npos) << files.output;
}
