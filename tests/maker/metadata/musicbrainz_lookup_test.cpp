// MusicBrainzLookup against a web service on 127.0.0.1.
#include "maker/metadata/musicbrainz_lookup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "loopback_server.h"
#include "maker/metadata/musicbrainz_disc_id.h"

namespace {

using std::chrono::milliseconds;

const DiscLayout kDisc{2, {0, 15000, 30000}};

std::string DiscIdOf(const DiscLayout& disc) { return MakeMusicBrainzDiscId(disc)->id; }

class RecordingHost : public CddbLookupHost {
 public:
  int CddbProgress(CddbStage stage, std::string_view text) override {
    progress.push_back(std::string(MusicBrainzStageText(stage)) + "|" + std::string(text));
    return cancelAtProgress ? 1 : 0;
  }
  int CddbChooseMatch(const std::vector<CddbMatch>& offered) override {
    for (const CddbMatch& match : offered) {
      lines.push_back(match.line);
      exact.push_back(match.exact);
    }
    return choice;
  }
  bool CddbCancelRequested() override {
    return cancelAfter && std::chrono::steady_clock::now() - created > *cancelAfter;
  }
  bool cancelAtProgress = false;
  int choice = 0;
  std::optional<milliseconds> cancelAfter;
  std::chrono::steady_clock::time_point created = std::chrono::steady_clock::now();
  std::vector<std::string> progress, lines;
  std::vector<bool> exact;
};

CddbRequest Request(std::uint16_t port) {
  CddbRequest request;
  request.source = MetadataSource::MusicBrainz;
  request.musicBrainzServer = "http://127.0.0.1:" + std::to_string(port) + "/";
  request.musicBrainzContact = "tester@example.org";
  request.disc = kDisc;
  request.timeout = milliseconds(2000);
  request.deadline = milliseconds(5000);
  return request;
}

WebRelease Release(std::string title, std::string discId) {
  return WebRelease{"id-" + title, title, "Band", "1999-05", "GB", std::move(discId),
                    {{"Opening", ""}, {"Visit", "Guest"}}};
}

}  // namespace

// Catches a wrong request (path, table of contents, includes, format, no User-Agent with
// version and contact), a release not reaching the outputs, a guest artist not named in
// the track, and the CDDB fields filled with something invented.
TEST(MusicBrainzLookup, OneReleaseFillsTheOutputs) {
  const std::string id = DiscIdOf(kDisc);
  LoopbackServer server(HttpReplyHandler(HttpResponse(200, "OK", MusicBrainzDiscReply({Release("Album", id)}))));
  RecordingHost host;
  CddbOutputs out;
  ASSERT_EQ(CddbResultCode(MusicBrainzLookup(Request(server.Port()), host, out)), kCddbOk) << out.lastReply;
  EXPECT_EQ(out.title, "Album");
  EXPECT_EQ(out.artist, "Band");
  EXPECT_EQ(out.year, "1999");
  EXPECT_EQ(out.trackNames, "Opening\nGuest / Visit\n");
  EXPECT_EQ(out.category, "");
  EXPECT_EQ(out.genre, "");
  EXPECT_EQ(out.lastReply, "HTTP/1.1 200 OK");
  // The ids the tags need, and the CD information takes them.
  MusicBrainzIds ids;
  ids.releaseId = "id-Album";
  ids.discId = id;
  ids.artistId = "a-Band";
  ids.recordingIds = {"r-Opening", "r-Visit"};
  ids.trackIds = {"t-id-Album-1", "t-id-Album-2"};
  ids.discNumber = 1;
  ids.discCount = 1;
  EXPECT_EQ(out.musicBrainz, ids);
  CdInfo info;
  ApplyCddbOutputs(out, info);
  EXPECT_EQ(MusicBrainzIdsOf(info), ids);
  EXPECT_TRUE(host.lines.empty());
  EXPECT_EQ(host.progress, std::vector<std::string>{"Querying the MusicBrainz server...|Disc id: " + id});

  ASSERT_EQ(server.Transcripts().size(), 1u);
  const std::string sent = server.Transcripts()[0];
  EXPECT_EQ(sent.rfind("GET /ws/2/discid/" + id + "?toc=1+2+30150+150+15150&inc=artist-credits+recordings&fmt=json HTTP/1.1\r\n", 0), 0u) << sent;
  EXPECT_NE(sent.find("\r\nUser-Agent: zbmaker/" + std::string(kZimbarVersion) + " ( tester@example.org )\r\n"),
            std::string::npos) << sent;
  EXPECT_NE(sent.find("\r\nAccept: application/json\r\n"), std::string::npos) << sent;

  // Without a contact the agent names the project's site.
  EXPECT_EQ(MusicBrainzUserAgent("").rfind("zbmaker/" + std::string(kZimbarVersion) + " ( http", 0), 0u);
}

// Catches several releases not offered, the choice not taken, the exact ones (medium with
// the disc id) not told from fuzzy ones, and a refused choice not cancelling.
TEST(MusicBrainzLookup, SeveralReleasesAreOfferedAndTheChoiceTaken) {
  const std::string id = DiscIdOf(kDisc);
  WebRelease second = Release("Remaster", "");
  second.tracks = {{"Opening (2009)", ""}, {"Visit (2009)", ""}};
  second.date = "";
  LoopbackServer server(HttpReplyHandler(
      HttpResponse(200, "OK", MusicBrainzDiscReply({Release("Album", id), second}))));
  RecordingHost host;
  host.choice = 1;
  CddbOutputs out;
  ASSERT_EQ(CddbResultCode(MusicBrainzLookup(Request(server.Port()), host, out)), kCddbOk) << out.lastReply;
  EXPECT_EQ(host.lines, (std::vector<std::string>{"Band / Album (1999, GB)", "Band / Remaster (GB)"}));
  EXPECT_EQ(host.exact, (std::vector<bool>{true, false}));
  EXPECT_EQ(out.title, "Remaster");
  EXPECT_EQ(out.year, "");
  EXPECT_EQ(out.trackNames, "Opening (2009)\nVisit (2009)\n");

  RecordingHost refusing;
  refusing.choice = -1;
  EXPECT_EQ(CddbResultCode(MusicBrainzLookup(Request(server.Port()), refusing, out)), kCddbCancelled);
}

// Catches a failing server taken for a disc or reported as one failure for all: a 404
// (the service knows no such disc) is no match, a release list without this disc's
// medium too; a 503 names the server's reason; a reply that is not JSON, one over the
// size limit, a refused connection and an address that is no web address each have their
// own code.
TEST(MusicBrainzLookup, FailuresHaveTheirOwnCodesAndServerLines) {
  const std::string tooBig = MusicBrainzDiscReply({Release(std::string(5000, 'x'), DiscIdOf(kDisc))});
  WebRelease threeTracks = Release("Other", "");
  threeTracks.tracks.push_back({"Third", ""});
  const struct {
    std::string response;
    int code;
    std::string lastReply;
  } cases[] = {
      {HttpResponse(404, "Not Found", R"({"error": "Not Found", "help": "see the documentation"})"),
       kMusicBrainzNoMatch, "HTTP/1.1 404 Not Found: Not Found"},
      {HttpResponse(200, "OK", MusicBrainzDiscReply({threeTracks})), kMusicBrainzNoMatch, "HTTP/1.1 200 OK"},
      {HttpResponse(503, "Service Unavailable", R"({"error": "Your requests are exceeding the allowable rate limit."})"),
       kMusicBrainzServerError, "HTTP/1.1 503 Service Unavailable: Your requests are exceeding the allowable rate limit."},
      {HttpResponse(500, "Internal Server Error", "<html>oops</html>"), kMusicBrainzServerError,
       "HTTP/1.1 500 Internal Server Error"},
      {HttpResponse(200, "OK", "<html>Welcome to the captive portal</html>"), kMusicBrainzBadReply, "HTTP/1.1 200 OK"},
      {HttpResponse(200, "OK", tooBig), kMusicBrainzReplyTooLarge, ""},
      {"garbage that is no HTTP at all\r\n\r\n", kMusicBrainzTransferFailed, ""},
  };
  for (const auto& c : cases) {
    LoopbackServer server(HttpReplyHandler(c.response));
    RecordingHost host;
    CddbOutputs out;
    CddbRequest request = Request(server.Port());
    request.maxReplyBytes = 4096;
    EXPECT_EQ(CddbResultCode(MusicBrainzLookup(request, host, out)), c.code) << c.response.substr(0, 40);
    if (!c.lastReply.empty()) {
      EXPECT_EQ(out.lastReply, c.lastReply);
    }
    EXPECT_EQ(out.title, "");
    EXPECT_EQ(out.trackNames, "");
  }
  RecordingHost host;
  CddbOutputs out;
  EXPECT_EQ(CddbResultCode(MusicBrainzLookup(Request(FreeLoopbackPort()), host, out)), kCddbCannotConnect);
  CddbRequest request = Request(FreeLoopbackPort());
  for (const char* server : {"ftp://127.0.0.1/", "musicbrainz.org", "https://"}) {
    request.musicBrainzServer = server;
    EXPECT_EQ(CddbResultCode(MusicBrainzLookup(request, host, out)), kCddbInvalidServerUrl) << server;
  }
  request = Request(FreeLoopbackPort());
  request.disc = DiscLayout{2, {0, 0, 10}};
  EXPECT_EQ(CddbResultCode(MusicBrainzLookup(request, host, out)), kCddbInvalidTrackTable);
}

// Catches a server that never answers, or answers a byte now and then, holding the lookup
// past its deadline, one that falls silent held until the deadline rather than the wait
// limit, and a cancel waiting for the network.
TEST(MusicBrainzLookup, SilentServerEndsAtTheDeadlineAndCancelAtOnce) {
  {
    LoopbackServer server(HttpReplyHandler(std::string(kStall)));
    RecordingHost host;
    CddbOutputs out;
    CddbRequest request = Request(server.Port());
    request.timeout = milliseconds(1000);
    request.deadline = milliseconds(30000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CddbResultCode(MusicBrainzLookup(request, host, out)), kMusicBrainzTimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
  }
  for (const std::string& response : {std::string(kStall), "HTTP/1.1 200 OK\r\nContent-Length: 99999\r\n\r\n" + std::string(kTrickle)}) {
    LoopbackServer server(HttpReplyHandler(response));
    RecordingHost host;
    CddbOutputs out;
    CddbRequest request = Request(server.Port());
    request.deadline = milliseconds(500);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CddbResultCode(MusicBrainzLookup(request, host, out)), kMusicBrainzTimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(3000));
  }
  LoopbackServer server(HttpReplyHandler(std::string(kStall)));
  RecordingHost host;
  host.cancelAfter = milliseconds(200);
  CddbOutputs out;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CddbResultCode(MusicBrainzLookup(Request(server.Port()), host, out)), kCddbCancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1500));

  RecordingHost early;
  early.cancelAtProgress = true;
  EXPECT_EQ(CddbResultCode(MusicBrainzLookup(Request(server.Port()), early, out)), kCddbCancelled);
}

// Catches a MusicBrainz result wiping the typed genre (the service names none) or the
// typed year when the release has no date.
TEST(MusicBrainzLookup, OutputsKeepTheTypedGenreAndUnknownYear) {
  CddbOutputs out;
  out.title = "Album";
  out.artist = "Band";
  out.trackNames = "One\n";
  CdInfo info;
  info.genre = "Jazz";
  ApplyCddbOutputs(out, info);
  EXPECT_EQ(info.genre, "Jazz");
  EXPECT_EQ(info.year, "");
  EXPECT_EQ(info.TrackName(1), "One");
  out.year = "2001";
  ApplyCddbOutputs(out, info);
  EXPECT_EQ(info.year, "2001");
}
