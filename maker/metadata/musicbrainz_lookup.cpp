// MusicBrainzLookup: one GET of the web service through libcurl, read with the reply
// parser and handed over in the outputs of the CDDB lookup.
#include "maker/metadata/musicbrainz_lookup.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "common/outside_text.h"
#include "common/version.h"
#include "maker/metadata/lookup_failure_text.h"
#include "maker/metadata/metadata_text.h"
#include "maker/metadata/musicbrainz_reply.h"

#ifndef ZIMBAR_WEB_SITE
#define ZIMBAR_WEB_SITE ""
#endif

namespace {

constexpr long kHttpOk = 200;
constexpr long kHttpNotFound = 404;
// How often a running transfer looks at the cancel request.
constexpr int kCancelPollMs = 100;

struct EasyFree {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiFree {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the transfer collects: the body up to its limit, and the last status line (the
// one after any redirect).
struct Transfer {
  std::size_t limit = 0;
  bool tooLarge = false;
  std::string body;
  std::string statusLine;
};

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer.body.size() + bytes > transfer.limit) {
    transfer.tooLarge = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  transfer.body.append(data, bytes);
  return bytes;
}

std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    std::string_view status = line.substr(0, std::min(line.size(), kCddbLineBytes));
    while (!status.empty() && (status.back() == '\n' || status.back() == '\r')) status.remove_suffix(1);
    transfer.statusLine = WithoutControlChars(status);
  }
  return size * count;
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool ServerAddressValid(std::string_view server) {
  for (std::string_view scheme : {"http://", "https://"}) {
    if (StartsWithNoCase(server, scheme) && server.size() > scheme.size()) return true;
  }
  return false;
}

CddbResult TransferFailure(CURLcode code) {
  switch (code) {
    case CURLE_URL_MALFORMAT: return kCddbInvalidServerUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return kCddbNoServerAddress;
    case CURLE_COULDNT_CONNECT: return kCddbCannotConnect;
    case CURLE_OPERATION_TIMEDOUT: return kMusicBrainzTimedOut;
    default: return kMusicBrainzTransferFailed;
  }
}

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
  Outcome Fetch(const std::string& url, Transfer& transfer, long& status);
  Outcome TakeRelease(const std::vector<MusicBrainzRelease>& releases);

  const CddbRequest& request_;
  CddbLookupHost& host_;
  CddbOutputs& out_;
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
  int osErrnum_ = 0;
};

Outcome MusicBrainzSession::Fetch(const std::string& url, Transfer& transfer, long& status) {
  InitCurlOnce();
  std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiFree> multi(curl_multi_init());
  if (!easy || !multi) return Fail(CddbFailure(kCddbNoSockets));
  std::unique_ptr<curl_slist, ListFree> headers(curl_slist_append(nullptr, "Accept: application/json"));
  const std::string agent = MusicBrainzUserAgent(request_.musicBrainzContact);
  // Only the proxies of the CD window; none of the environment's, as the CDDB lookup.
  std::string proxy;
  if (!request_.socksProxy.empty()) {
    proxy = "socks4://" + request_.socksProxy;
  } else if (!request_.httpProxy.empty()) {
    proxy = "http://" + request_.httpProxy;
  }
  char error[CURL_ERROR_SIZE] = {};
  CURL* c = easy.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 3L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, agent.c_str());
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  // The limit counts the bytes as read, after any compression is undone.
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request_.timeout.count()));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request_.deadline.count()));
  // A server that goes silent for the wait limit is given up before the deadline (the
  // limit counts in whole seconds here).
  const long silentSeconds = std::max<long>(1, static_cast<long>((request_.timeout.count() + 999) / 1000));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, silentSeconds);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer);
  if (curl_multi_add_handle(multi.get(), c) != CURLM_OK) return Fail(CddbFailure(kCddbNoSockets));

  // The multi interface, so that a cancel does not wait for the network.
  CURLcode result = CURLE_OK;
  bool done = false;
  int running = 1;
  while (!done) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      result = CURLE_OUT_OF_MEMORY;
      break;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        done = true;
      }
    }
    if (done || running == 0) break;
    if (host_.CddbCancelRequested()) {
      curl_multi_remove_handle(multi.get(), c);
      return Fail(CddbFailure(kCddbCancelled));
    }
    curl_multi_poll(multi.get(), nullptr, 0, kCancelPollMs, nullptr);
  }
  curl_multi_remove_handle(multi.get(), c);
  if (transfer.tooLarge) return Fail(CddbFailure(kMusicBrainzReplyTooLarge));
  if (result != CURLE_OK) {
    long osErrnum = 0;
    if (curl_easy_getinfo(c, CURLINFO_OS_ERRNO, &osErrnum) == CURLE_OK) osErrnum_ = static_cast<int>(osErrnum);
    out_.lastReply = WithoutControlChars(error[0] != '\0' ? error : curl_easy_strerror(result));
    return Fail(CddbFailure(TransferFailure(result)));
  }
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  out_.lastReply = transfer.statusLine;
  return Done{};
}

Outcome MusicBrainzSession::TakeRelease(const std::vector<MusicBrainzRelease>& releases) {
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
  return Done{};
}

Outcome MusicBrainzSession::Run() {
  if (!ServerAddressValid(request_.musicBrainzServer)) return Fail(CddbFailure(kCddbInvalidServerUrl));
  const std::optional<MusicBrainzDiscId> disc = MakeMusicBrainzDiscId(request_.disc);
  if (!disc) return Fail(CddbFailure(kCddbInvalidTrackTable));
  deadline_ = std::chrono::steady_clock::now() + request_.deadline;
  if (host_.CddbProgress(CddbStage::Querying, "Disc id: " + disc->id) != 0) return Fail(CddbFailure(kCddbCancelled));

  Transfer transfer;
  transfer.limit = request_.maxReplyBytes;
  long status = 0;
  if (auto fetched = Fetch(MusicBrainzLookupUrl(request_.musicBrainzServer, *disc), transfer, status); !fetched)
    return fetched;
  if (status != kHttpOk) {
    // The service explains a refusal (a rate limit, a bad request) in the body's "error".
    const std::string why = MusicBrainzErrorText(transfer.body);
    if (!why.empty()) out_.lastReply = CutUtf8Chars(out_.lastReply + ": " + why, kCddbLineBytes);
    return Fail(CddbFailure(status == kHttpNotFound ? kMusicBrainzNoMatch : kMusicBrainzServerError));
  }
  const auto releases = ParseMusicBrainzReleases(transfer.body, disc->id, request_.disc.trackCount);
  if (!releases) return Fail(CddbFailure(kMusicBrainzBadReply));
  if (releases->empty()) return Fail(CddbFailure(kMusicBrainzNoMatch));
  return TakeRelease(*releases);
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
