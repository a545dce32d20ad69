// LookUpCoverArt: one GET of the release's front cover through the shared web transfer,
// the reply taken as an image only when its first bytes say it is one.
#include "maker/metadata/cover_art_lookup.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <string_view>

#include "common/version.h"
#include "maker/metadata/http_transfer.h"
#include "maker/metadata/lookup_failure_text.h"

namespace {

constexpr long kHttpOk = 200;
constexpr long kHttpNotFound = 404;

constexpr std::string_view kJpegStart("\xFF\xD8\xFF", 3);
constexpr std::string_view kPngStart("\x89PNG\r\n\x1A\n", 8);

Error CoverArtError(CoverArtFault fault, const std::string& url, std::string text) {
  ErrorCategory category = ErrorCategory::Network;
  switch (fault) {
    case CoverArtFault::BadRequest: category = ErrorCategory::Usage; break;
    case CoverArtFault::NotFound:
    case CoverArtFault::Refused:
    case CoverArtFault::Transfer: category = ErrorCategory::Network; break;
    case CoverArtFault::TooLarge:
    case CoverArtFault::NotImage: category = ErrorCategory::Format; break;
    case CoverArtFault::Cancelled: category = ErrorCategory::Cancelled; break;
  }
  Error error(category, {}, std::move(text), {}, url);
  error.WithCase(fault);
  return error;
}

// What a transfer that brought no reply means, in the words of the other lookups.
std::string TransferProblem(const CoverArtRequest& request, const HttpGetReply& reply, bool pastDeadline) {
  return HttpTransferProblemText(request.server, request.socksProxy, request.httpProxy, request.timeout,
                                 request.deadline, reply, pastDeadline);
}

std::string SizeText(std::size_t bytes) {
  if (bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
  return std::to_string(bytes) + " bytes";
}

Expected<CoverImage> LookUp(const CoverArtRequest& request, const std::function<bool()>& cancelled) {
  const std::string url = CoverArtUrl(request);
  const std::string host = LookupServerHost(request.server);
  if (!HttpServerAddressValid(request.server)) {
    LookupFailureFacts facts;
    facts.server = request.server;
    return Fail(CoverArtError(CoverArtFault::BadRequest, url, LookupFailureText(kCddbInvalidServerUrl, facts)));
  }
  if (request.releaseId.empty())
    return Fail(CoverArtError(CoverArtFault::BadRequest, url, "the disc information names no release"));
  // A release id is a UUID; anything else would change the address asked for.
  const bool uuidChars = std::all_of(request.releaseId.begin(), request.releaseId.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '-';
  });
  if (!uuidChars)
    return Fail(CoverArtError(CoverArtFault::BadRequest, url, "\"" + request.releaseId + "\" is no release id"));
  if (cancelled && cancelled()) return Fail(CoverArtError(CoverArtFault::Cancelled, url, "cancelled"));

  HttpGetRequest get;
  get.url = url;
  // Only the proxies of the CD window, none of the environment's, as the MusicBrainz lookup.
  get.proxy = HttpProxyUrl(request.socksProxy, request.httpProxy);
  get.userAgent = std::string("zbmaker/") + kZimbarVersion;
  get.headers = {"Accept: image/jpeg, image/png"};
  get.timeout = request.timeout;
  get.deadline = request.deadline;
  get.maxBodyBytes = request.maxImageBytes;
  // libcurl's clock ticks in whole milliseconds and may end the transfer a tick before
  // ours says that the deadline has come.
  const auto deadline = std::chrono::steady_clock::now() + request.deadline - std::chrono::milliseconds(50);
  HttpGetReply reply = HttpGet(get, cancelled);
  if (reply.fault == HttpTransferFault::Cancelled || (reply.fault != HttpTransferFault::None && cancelled && cancelled()))
    return Fail(CoverArtError(CoverArtFault::Cancelled, url, "cancelled"));
  switch (reply.fault) {
    case HttpTransferFault::None: break;
    case HttpTransferFault::TooLarge:
      return Fail(CoverArtError(CoverArtFault::TooLarge, url,
                                "the image from " + host + " is larger than " + SizeText(request.maxImageBytes)));
    case HttpTransferFault::Cancelled:
    case HttpTransferFault::NoTransfer:
    case HttpTransferFault::BadAddress:
    case HttpTransferFault::NoAddress:
    case HttpTransferFault::CannotConnect:
    case HttpTransferFault::TimedOut:
    case HttpTransferFault::Failed:
      return Fail(CoverArtError(CoverArtFault::Transfer, url,
                                TransferProblem(request, reply, std::chrono::steady_clock::now() >= deadline)));
  }
  if (reply.status == kHttpNotFound)
    return Fail(CoverArtError(CoverArtFault::NotFound, url, host + " has no front cover of this release"));
  if (reply.status != kHttpOk) {
    return Fail(CoverArtError(CoverArtFault::Refused, url,
                              host + " reported an error (" +
                                  (reply.statusLine.empty() ? "status " + std::to_string(reply.status)
                                                            : reply.statusLine) + ")"));
  }
  const std::string type = CoverImageType(reply.body);
  if (type.empty())
    return Fail(CoverArtError(CoverArtFault::NotImage, url, "the reply of " + host + " is not a JPEG or PNG image"));
  CoverImage image;
  image.mimeType = type;
  image.data.assign(reply.body.begin(), reply.body.end());
  return image;
}

}  // namespace

std::string CoverArtUrl(const CoverArtRequest& request) {
  std::string_view server = request.server;
  while (server.ends_with('/')) server.remove_suffix(1);
  return std::string(server) + "/release/" + request.releaseId + "/front-500";
}

Expected<CoverImage> LookUpCoverArt(const CoverArtRequest& request, const std::function<bool()>& cancelled) {
  try {
    return LookUp(request, cancelled);
  } catch (const std::exception&) {
    // Only allocation (or the caller's cancel question) can throw here.
  }
  return Fail(CoverArtError(CoverArtFault::Transfer, {}, "the lookup ran out of memory"));
}

std::string CoverImageType(const std::string& bytes) {
  const std::string_view start(bytes);
  if (start.starts_with(kJpegStart)) return "image/jpeg";
  if (start.starts_with(kPngStart)) return "image/png";
  return {};
}

std::string CoverArtServerFromEnvironment(const std::string& setting) {
  const char* environment = std::getenv("ZIMBAR_COVERART_SERVER");
  if (environment != nullptr && environment[0] != '\0') return environment;
  if (!setting.empty()) return setting;
  return kDefaultCoverArtServer;
}

CoverArtRequest MakeCoverArtRequest(const SettingsTable& settings, const CdInfo& info) {
  CoverArtRequest request;
  request.server = CoverArtServerFromEnvironment(settings.coverArtServer.str());
  while (request.server.size() > 1 && request.server.back() == '/') request.server.pop_back();
  request.releaseId = info.musicBrainzReleaseId;
  if (info.useSocksProxy) request.socksProxy = info.socksProxy;
  if (info.useHttpProxy) request.httpProxy = info.httpProxy;
  return request;
}
