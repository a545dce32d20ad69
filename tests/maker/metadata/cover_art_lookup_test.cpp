// LookUpCoverArt against the loopback Cover Art Archive, and the album folder's cover file.
#include "maker/metadata/cover_art_lookup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "common/version.h"
#include "maker/metadata/cover_art_file.h"
#include "tests/common/temp_dir.h"
#include "tests/fakes/coverart/cover_art_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kRelease = "2d1b2c3a-0f4e-4a5b-9c6d-7e8f90a1b2c3";

CoverArtRequest Request(const std::string& server) {
  CoverArtRequest request;
  request.server = server;
  request.releaseId = kRelease;
  return request;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// The error's case, or "ok" when the lookup found an image.
std::string FaultName(const Expected<CoverImage>& result) {
  if (result) return "ok";
  switch (result.Error().CaseOr(CoverArtFault::Transfer)) {
    case CoverArtFault::BadRequest: return "BadRequest";
    case CoverArtFault::NotFound: return "NotFound";
    case CoverArtFault::Refused: return "Refused";
    case CoverArtFault::Transfer: return "Transfer";
    case CoverArtFault::TooLarge: return "TooLarge";
    case CoverArtFault::NotImage: return "NotImage";
    case CoverArtFault::Cancelled: return "Cancelled";
  }
  return "?";
}

std::string Text(const Expected<CoverImage>& result) { return result ? std::string() : result.Error().text; }

}  // namespace

// Catches an image taken by its Content-Type instead of its bytes (a JPEG sent as text, a
// PNG sent as JPEG), a wrong path, a doubled slash, and a request that does not name the
// program and its version.
TEST(CoverArtLookup, ImagesAreKnownByTheirFirstBytes) {
  FakeCoverArtServer server;
  ASSERT_TRUE(server.Listening());
  const std::string jpeg = FakeCoverJpeg(3000);
  server.ServeFront(kRelease, jpeg, "text/plain");
  const auto found = LookUpCoverArt(Request(server.Url() + "/"));
  ASSERT_EQ(FaultName(found), "ok") << Text(found);
  EXPECT_EQ(found.Value().mimeType, "image/jpeg");
  EXPECT_EQ(found.Value().data, Bytes(jpeg));
  const auto requests = server.Http().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, std::string("/release/") + kRelease + "/front-500");
  EXPECT_NE(requests[0].head.find("\r\nUser-Agent: zbmaker/" + std::string(kZimbarVersion) + "\r\n"),
            std::string::npos) << requests[0].head;

  server.ServeFront(kRelease, FakeCoverPng(), "image/jpeg");
  const auto png = LookUpCoverArt(Request(server.Url()));
  ASSERT_EQ(FaultName(png), "ok") << Text(png);
  EXPECT_EQ(png.Value().mimeType, "image/png");
  EXPECT_EQ(png.Value().data, Bytes(FakeCoverPng()));

  EXPECT_EQ(CoverArtUrl(Request("https://coverartarchive.org//")),
            std::string("https://coverartarchive.org/release/") + kRelease + "/front-500");
}

// Catches a lookup that does not follow the archive's redirect to where the image is.
TEST(CoverArtLookup, RedirectToTheImageIsFollowed) {
  FakeCoverArtServer server;
  const std::string jpeg = FakeCoverJpeg(1500);
  server.ServeFrontRedirect(kRelease, "/images/front-500.jpg", jpeg);
  const auto found = LookUpCoverArt(Request(server.Url()));
  ASSERT_EQ(FaultName(found), "ok") << Text(found);
  EXPECT_EQ(found.Value().data, Bytes(jpeg));
  const auto requests = server.Http().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].path, "/images/front-500.jpg");
}

// Catches a reply that is not a cover taken for one (an error page, an empty body, text
// that starts like half a JPEG signature), and unclear texts of a missing cover.
TEST(CoverArtLookup, MissingCoversAndNonImagesAreErrorsThatSayWhy) {
  FakeCoverArtServer server;
  const auto missing = LookUpCoverArt(Request(server.Url()));
  EXPECT_EQ(FaultName(missing), "NotFound");
  EXPECT_EQ(Text(missing), "127.0.0.1 has no front cover of this release");
  EXPECT_EQ(missing.Error().category, ErrorCategory::Network);

  for (const std::string& body :
       {std::string("<html><body>Front cover</body></html>"), std::string(), std::string("\xFF\xD8", 2),
        std::string("\x89PNG\r\n\x1A", 7)}) {
    server.ServeFront(kRelease, body, "image/jpeg");
    const auto result = LookUpCoverArt(Request(server.Url()));
    EXPECT_EQ(FaultName(result), "NotImage") << body.size();
    EXPECT_EQ(Text(result), "the reply of 127.0.0.1 is not a JPEG or PNG image");
  }

  server.Http().Serve(FakeCoverArtServer::FrontPath(kRelease), "busy", 503);
  const auto refused = LookUpCoverArt(Request(server.Url()));
  EXPECT_EQ(FaultName(refused), "Refused");
  EXPECT_EQ(Text(refused), "127.0.0.1 reported an error (HTTP/1.1 503 Service Unavailable)");

  // Nothing is asked for an address or a release id that cannot be used.
  EXPECT_EQ(FaultName(LookUpCoverArt(Request("ftp://127.0.0.1"))), "BadRequest");
  CoverArtRequest noRelease = Request(server.Url());
  noRelease.releaseId.clear();
  EXPECT_EQ(FaultName(LookUpCoverArt(noRelease)), "BadRequest");
  noRelease.releaseId = "../../admin?x=1";
  EXPECT_EQ(FaultName(LookUpCoverArt(noRelease)), "BadRequest");
  EXPECT_EQ(server.Http().Requests().size(), 6u);
}

// Catches a cap that is off by one, and an image over 10 MiB read to its end.
TEST(CoverArtLookup, ImageSizeIsCappedAtTheLimit) {
  FakeCoverArtServer server;
  CoverArtRequest request = Request(server.Url());
  request.maxImageBytes = 4096;
  server.ServeFront(kRelease, FakeCoverJpeg(4096));
  EXPECT_EQ(FaultName(LookUpCoverArt(request)), "ok");
  server.ServeFront(kRelease, FakeCoverJpeg(4097));
  const auto over = LookUpCoverArt(request);
  EXPECT_EQ(FaultName(over), "TooLarge");
  EXPECT_EQ(Text(over), "the image from 127.0.0.1 is larger than 4096 bytes");

  server.ServeFront(kRelease, FakeCoverJpeg(kCoverArtMaxBytes + 1));
  const auto huge = LookUpCoverArt(Request(server.Url()));
  EXPECT_EQ(FaultName(huge), "TooLarge");
  EXPECT_EQ(Text(huge), "the image from 127.0.0.1 is larger than 10 MiB");
}

// Catches a lookup that waits for a silent server beyond its limit, or for one that sends
// a byte now and then beyond the deadline of the whole transfer.
TEST(CoverArtLookup, SlowServersEndAtTheTimeLimits) {
  FakeCoverArtServer server;
  server.ServeFront(kRelease, FakeCoverJpeg(1000));
  server.Http().SetMode(FakeServerMode::Stall);
  CoverArtRequest request = Request(server.Url());
  request.timeout = milliseconds(1000);
  request.deadline = milliseconds(20000);
  const auto silent = LookUpCoverArt(request);
  EXPECT_EQ(FaultName(silent), "Transfer");
  EXPECT_EQ(Text(silent), "127.0.0.1 did not answer within 1 second");

  // A byte every 200 ms keeps each wait short; only the whole transfer's limit ends it.
  server.Http().SetMode(FakeServerMode::Trickle);
  request.timeout = milliseconds(5000);
  request.deadline = milliseconds(2000);
  const auto trickling = LookUpCoverArt(request);
  EXPECT_EQ(FaultName(trickling), "Transfer");
  EXPECT_EQ(Text(trickling), "127.0.0.1 did not answer within 2 seconds");

  const auto down = LookUpCoverArt(Request(FakeAccurateRipServerDownUrl()));
  EXPECT_EQ(FaultName(down), "Transfer");
  EXPECT_EQ(Text(down), "Cannot reach 127.0.0.1: connection refused");
}

// Catches a cancel that waits for the server's time limit instead of ending the transfer,
// and a request sent although the cancel came first.
TEST(CoverArtLookup, CancelEndsTheWaitAtOnce) {
  FakeCoverArtServer server;
  server.Http().SetMode(FakeServerMode::Stall);
  CoverArtRequest request = Request(server.Url());
  request.timeout = milliseconds(20000);
  request.deadline = milliseconds(30000);
  std::atomic<bool> cancel{false};
  std::atomic<Clock::rep> cancelledAt{0};
  std::thread canceller([&] {
    if (server.Http().WaitForRequests(1, milliseconds(10000))) {
      cancelledAt = Clock::now().time_since_epoch().count();
      cancel = true;
    }
  });
  const auto result = LookUpCoverArt(request, [&] { return cancel.load(); });
  const auto endedAt = Clock::now();
  canceller.join();
  ASSERT_TRUE(cancel);
  EXPECT_EQ(FaultName(result), "Cancelled");
  EXPECT_EQ(result.Error().category, ErrorCategory::Cancelled);
  // About 100 ms; the margin is for a loaded machine.
  EXPECT_LT(endedAt - Clock::time_point(Clock::duration(cancelledAt.load())), milliseconds(600));

  FakeCoverArtServer untouched;
  EXPECT_EQ(FaultName(LookUpCoverArt(Request(untouched.Url()), [] { return true; })), "Cancelled");
  EXPECT_TRUE(untouched.Http().Requests().empty());
}

// Catches the environment not winning over the setting (tests and mirrors), the setting
// ignored, and proxies used although their boxes are not checked.
TEST(CoverArtLookup, RequestTakesServerReleaseAndCheckedProxies) {
  SettingsTable settings;
  settings.coverArtServer = "http://mirror.example/";
  CdInfo info;
  info.musicBrainzReleaseId = kRelease;
  info.httpProxy = "proxy.example:3128";
  info.socksProxy = "socks.example:1080";
  {
    const ScopedEnv none("ZIMBAR_COVERART_SERVER", nullptr);
    const CoverArtRequest request = MakeCoverArtRequest(settings, info);
    EXPECT_EQ(request.server, "http://mirror.example");
    EXPECT_EQ(request.releaseId, kRelease);
    EXPECT_EQ(request.httpProxy, "");
    EXPECT_EQ(request.socksProxy, "");
    settings.coverArtServer = "";
    EXPECT_EQ(MakeCoverArtRequest(settings, info).server, "https://coverartarchive.org");
  }
  {
    const ScopedEnv empty("ZIMBAR_COVERART_SERVER", "");
    EXPECT_EQ(MakeCoverArtRequest(settings, info).server, "https://coverartarchive.org");
  }
  const ScopedEnv server("ZIMBAR_COVERART_SERVER", "http://127.0.0.1:4711");
  info.useHttpProxy = true;
  info.useSocksProxy = true;
  const CoverArtRequest request = MakeCoverArtRequest(settings, info);
  EXPECT_EQ(request.server, "http://127.0.0.1:4711");
  EXPECT_EQ(request.httpProxy, "proxy.example:3128");
  EXPECT_EQ(request.socksProxy, "socks.example:1080");
}

// Catches a cover written over a file the user has (or over a link's target), a name that
// does not follow the image's type, and a half-written file left after a failed write.
TEST(CoverArtFile, SavedByTypeAndNeverOverAnExistingFile) {
  TempDir dir;
  CoverImage jpeg{"image/jpeg", Bytes(FakeCoverJpeg(2000))};
  const auto saved = SaveCoverArtFile(dir.Path(), jpeg);
  ASSERT_TRUE(saved) << saved.Error().text;
  EXPECT_EQ(saved.Value().path, dir.File("cover.jpg"));
  EXPECT_FALSE(saved.Value().kept);
  EXPECT_EQ(ReadBytes(dir.File("cover.jpg")), jpeg.data);

  CoverImage other{"image/jpeg", Bytes(FakeCoverJpeg(500))};
  const auto again = SaveCoverArtFile(dir.Path(), other);
  ASSERT_TRUE(again);
  EXPECT_TRUE(again.Value().kept);
  EXPECT_EQ(ReadBytes(dir.File("cover.jpg")), jpeg.data);

  CoverImage png{"image/png", Bytes(FakeCoverPng())};
  WriteText(dir.File("mine.png"), "the user's own");
  ASSERT_EQ(::symlink("mine.png", dir.File("cover.png").c_str()), 0);
  const auto linked = SaveCoverArtFile(dir.Path(), png);
  ASSERT_TRUE(linked);
  EXPECT_TRUE(linked.Value().kept);
  EXPECT_EQ(ReadText(dir.File("mine.png")), "the user's own");

  TempDir fresh;
  const auto pngSaved = SaveCoverArtFile(fresh.Path(), png);
  ASSERT_TRUE(pngSaved);
  EXPECT_EQ(ReadBytes(fresh.File("cover.png")), png.data);

  // A disk that fills up costs the cover and leaves nothing behind.
  TempDir full;
  EXPECT_TRUE(PassesWithFileSizeLimit(1000, [&] { return !SaveCoverArtFile(full.Path(), jpeg); }));
  EXPECT_TRUE(std::filesystem::is_empty(full.Path()));
  EXPECT_FALSE(SaveCoverArtFile(full.File("missing"), jpeg));
}
