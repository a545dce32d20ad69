// MusicBrainzLookup: one GET of the web service through libcurl, read with the reply
// parser and handed over in the outputs of the CDDB lookup.
#include "maker/metadata/musicbrainz_lookup.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <vector>

#include "common/outside_text.h"
#include "common/version.h"
#include "maker/metadata/http_transfer.h"
#include "maker/metadata/lookup_failure_text.h"
#include "maker/metadata/metadata_text.h"
#include "maker/metadata/musicbrainz_reply.h"

#ifndef ZIMBAR_WEB_SITE
#define ZIMBAR_WEB_SITE ""
#endif

namespace {

constexpr long kHttpOk = 200;
constexpr long kHttpNotFound = 404;

class MusicBrainzSession {
 public:
  MusicBrainzSession(const CddbRequest& request, CddbLookupHost& host, CddbOutputs& outputs)
      : request_(request), host_(host), out_(outputs) {}

  Outcome Run();
  bool PastDeadline() const { return std::chrono::steady_clock::now() >= deadline_; }
  // The system's reason of a failed connection (ECONNREFUSED, ...), 0 when none was given.
  int OsErrnum() const { return osErrnum_; }

 private:
  // The GET; success once a status line and a body within the limit have arrived.
  Outcome Fetch(const std::string& url, HttpGetReply& reply);
  Outcome TakeRelease(const std::vector<MusicBrainzRelease>& releases, const std::string& discId);

  const CddbRequest& request_;
  CddbLookupHost& host_;
  CddbOutputs& out_;
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
  int osErrnum_ = 0;
};

Outcome MusicBrainzSession::Fetch(const std::string& url, HttpGetReply& reply) {
  HttpGetRequest get;
  get.url = url;
  // Only the proxies of the CD window; none of the environment's, as the CDDB lookup.
  get.proxy = HttpProxyUrl(request_.socksProxy, request_.httpProxy);
  get.userAgent = MusicBrainzUserAgent(request_.musicBrainzContact);
  get.headers = {"Accept: application/json"};
  get.timeout = request_.timeout;
  get.deadline = request_.deadline;
  get.maxBodyBytes = request_.maxReplyBytes;
  reply = HttpGet(get, [this] { return host_.CddbCancelRequested(); });
  osErrnum_ = reply.osErrnum;
  switch (reply.fault) {
    case HttpTransferFault::None: out_.lastReply = reply.statusLine; return Done{};
    case HttpTransferFault::Cancelled:
    case HttpTransferFault::TooLarge:
    case HttpTransferFault::NoTransfer: break;
    case HttpTransferFault::BadAddress:
    case HttpTransferFault::NoAddress:
    case HttpTransferFault::CannotConnect:
    case HttpTransferFault::TimedOut:
    case HttpTransferFault::Failed: out_.lastReply = reply.detail; break;
  }
  return Fail(CddbFailure(HttpTransferFailureCode(reply.fault)));
}

Outcome MusicBrainzSession::TakeRelease(const std::vector<MusicBrainzRelease>& releases, const std::string& discId) {
  std::size_t choice = 0;
  if (releases.size() > 1) {
    std::vector<CddbMatch> matches;
    for (const MusicBrainzRelease& release : releases) {
      CddbMatch match;
      match.code = 200;
      match.exact = release.exact;
      match.line = MusicBrainzReleaseLine(release);
      match.artist = release.artist;
      match.title = release.title;
      matches.push_back(std::move(match));
    }
    const int chosen = host_.CddbChooseMatch(matches);
    if (chosen < 0) return Fail(CddbFailure(kCddbCancelled));
    if (static_cast<std::size_t>(chosen) < releases.size()) choice = static_cast<std::size_t>(chosen);
  }
  const MusicBrainzRelease& release = releases[choice];
  out_.title = CutUtf8Chars(release.title, kCddbTitleChars);
  out_.artist = CutUtf8Chars(release.artist, kCddbArtistChars);
  out_.year = CutUtf8Chars(release.year, kCddbYearChars);
  const std::size_t names = std::min<std::size_t>(release.trackNames.size(), kCdMaxTracks);
  for (std::size_t i = 0; i < names; ++i) out_.trackNames += release.trackNames[i] + "\n";
  if (!release.cdStub) {
    MusicBrainzIds& ids = out_.musicBrainz;
    ids.releaseId = release.id;
    ids.discId = discId;
    ids.artistId = release.artistId;
    ids.recordingIds = release.recordingIds;
    ids.trackIds = release.trackIds;
    ids.discNumber = release.discNumber;
    ids.discCount = release.discCount;
  }
  return Done{};
}

Outcome MusicBrainzSession::Run() {
  if (!HttpServerAddressValid(request_.musicBrainzServer)) return Fail(CddbFailure(kCddbInvalidServerUrl));
  const std::optional<MusicBrainzDiscId> disc = MakeMusicBrainzDiscId(request_.disc);
  if (!disc) return Fail(CddbFailure(kCddbInvalidTrackTable));
  deadline_ = std::chrono::steady_clock::now() + request_.deadline;
  if (host_.CddbProgress(CddbStage::Querying, "Disc id: " + disc->id) != 0) return Fail(CddbFailure(kCddbCancelled));

  HttpGetReply reply;
  if (auto fetched = Fetch(MusicBrainzLookupUrl(request_.musicBrainzServer, *disc), reply); !fetched)
    return fetched;
  if (reply.status != kHttpOk) {
    // The service explains a refusal (a rate limit, a bad request) in the body's "error".
    const std::string why = MusicBrainzErrorText(reply.body);
    if (!why.empty()) out_.lastReply = CutUtf8Chars(out_.lastReply + ": " + why, kCddbLineBytes);
    return Fail(CddbFailure(reply.status == kHttpNotFound ? kMusicBrainzNoMatch : kMusicBrainzServerError));
  }
  const auto releases = ParseMusicBrainzReleases(reply.body, disc->id, request_.disc.trackCount);
  if (!releases) return Fail(CddbFailure(kMusicBrainzBadReply));
  if (releases->empty()) return Fail(CddbFailure(kMusicBrainzNoMatch));
  return TakeRelease(*releases, disc->id);
}

}  // namespace

std::string_view MusicBrainzStageText(CddbStage stage) {
  switch (stage) {
    case CddbStage::Connecting: return "Connecting to the MusicBrainz server...";
    case CddbStage::Querying: return "Querying the MusicBrainz server...";
    case CddbStage::LoggingIn:
    case CddbStage::Reading: break;
  }
  return {};
}

std::string MusicBrainzUserAgent(std::string_view contact) {
  const std::string who = contact.empty() ? std::string(ZIMBAR_WEB_SITE) : WithoutControlChars(contact);
  return std::string("zbmaker/") + kZimbarVersion + " ( " + who + " )";
}

std::string MusicBrainzLookupUrl(std::string_view server, const MusicBrainzDiscId& disc) {
  while (server.ends_with('/')) server.remove_suffix(1);
  std::string toc = disc.toc;
  std::replace(toc.begin(), toc.end(), ' ', '+');
  return std::string(server) + "/ws/2/discid/" + disc.id + "?toc=" + toc +
         "&inc=artist-credits+recordings&fmt=json";
}

Outcome MusicBrainzLookup(const CddbRequest& request, CddbLookupHost& host, CddbOutputs& outputs) {
  outputs = CddbOutputs{};
  CddbResult code = kMusicBrainzBadReply;
  LookupFailureFacts facts;
  facts.server = request.musicBrainzServer;
  try {
    facts.host = LookupServerHost(request.musicBrainzServer);
    facts.proxy = !request.socksProxy.empty() ? request.socksProxy : request.httpProxy;
    MusicBrainzSession session(request, host, outputs);
    const Outcome result = session.Run();
    if (result) return result;
    code = result.Error().CaseOr(kMusicBrainzBadReply);
    const bool pastDeadline = session.PastDeadline();
    if (host.CddbCancelRequested()) code = kCddbCancelled;
    else if (code != kMusicBrainzReplyTooLarge && pastDeadline) code = kMusicBrainzTimedOut;
    facts.waitLimit = pastDeadline ? request.deadline : request.timeout;
    facts.errnum = session.OsErrnum();
    if (code == kMusicBrainzTransferFailed) facts.detail = outputs.lastReply;
    return Fail(CddbFailure(code, request.musicBrainzServer, LookupFailureText(code, facts)));
  } catch (const std::exception&) {
    // Only allocation can throw here (the parser reports bad JSON without throwing).
  }
  return Fail(CddbFailure(code, request.musicBrainzServer));
}
