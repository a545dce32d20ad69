// LookUpAccurateRip: one GET of the disc's record through the shared web transfer, the
// reply read as the database's binary record.
#include "maker/accuracy/accuraterip_lookup.h"

#include <cstdlib>
#include <exception>

#include "common/version.h"
#include "maker/metadata/http_transfer.h"
#include "maker/metadata/lookup_failure_text.h"

namespace {

using Kind = AccurateRipLookupResult::Kind;

constexpr long kHttpOk = 200;
constexpr long kHttpNotFound = 404;

AccurateRipLookupResult Failed(AccurateRipLookupResult result, std::string problem) {
  result.kind = Kind::Failed;
  result.problem = std::move(problem);
  return result;
}

AccurateRipLookupResult Cancelled(AccurateRipLookupResult result) {
  result.kind = Kind::Cancelled;
  result.problem = "Cancelled";
  return result;
}

// What a transfer that brought no reply means, in the words of the other lookups.
std::string TransferProblem(const AccurateRipRequest& request, const HttpGetReply& reply, bool pastDeadline) {
  return HttpTransferProblemText(request.server, request.socksProxy, request.httpProxy, request.timeout,
                                 request.deadline, reply, pastDeadline);
}

AccurateRipLookupResult LookUp(const AccurateRipRequest& request, const std::function<bool()>& cancelled) {
  AccurateRipLookupResult result;
  std::string_view server = request.server;
  while (server.ends_with('/')) server.remove_suffix(1);
  result.url = std::string(server) + request.ids.RecordPath();
  const std::string host = LookupServerHost(request.server);
  if (!HttpServerAddressValid(server)) {
    LookupFailureFacts facts;
    facts.server = request.server;
    return Failed(std::move(result), LookupFailureText(kCddbInvalidServerUrl, facts));
  }
  if (request.ids.audioTracks < 1) return Failed(std::move(result), "The disc has no audio track to look up");
  if (cancelled && cancelled()) return Cancelled(std::move(result));

  HttpGetRequest get;
  get.url = result.url;
  get.proxy = HttpProxyUrl(request.socksProxy, request.httpProxy);
  get.userAgent = AccurateRipUserAgent();
  get.timeout = request.timeout;
  get.deadline = request.deadline;
  get.maxBodyBytes = request.maxReplyBytes;
  // libcurl's clock ticks in whole milliseconds and may end the transfer a tick before
  // ours says that the deadline has come.
  const auto deadline = std::chrono::steady_clock::now() + request.deadline - std::chrono::milliseconds(50);
  const HttpGetReply reply = HttpGet(get, cancelled);
  if (reply.fault == HttpTransferFault::Cancelled) return Cancelled(std::move(result));
  if (reply.fault != HttpTransferFault::None && cancelled && cancelled()) return Cancelled(std::move(result));
  switch (reply.fault) {
    case HttpTransferFault::None: break;
    case HttpTransferFault::TooLarge:
      return Failed(std::move(result), "The reply of " + host + " is too large for an AccurateRip record (over " +
                                           std::to_string(request.maxReplyBytes) + " bytes)");
    case HttpTransferFault::Cancelled:
    case HttpTransferFault::NoTransfer:
    case HttpTransferFault::BadAddress:
    case HttpTransferFault::NoAddress:
    case HttpTransferFault::CannotConnect:
    case HttpTransferFault::TimedOut:
    case HttpTransferFault::Failed:
      return Failed(std::move(result),
                    TransferProblem(request, reply, std::chrono::steady_clock::now() >= deadline));
  }
  if (reply.status == kHttpNotFound) {
    result.kind = Kind::NotInDatabase;
    return result;
  }
  if (reply.status != kHttpOk) {
    return Failed(std::move(result), host + " reported an error (" +
                                         (reply.statusLine.empty() ? "status " + std::to_string(reply.status)
                                                                   : reply.statusLine) + ")");
  }
  if (reply.body.empty()) return Failed(std::move(result), "The AccurateRip record from " + host + " is empty");
  auto record = ParseAccurateRipRecord(reply.body);
  if (!record) {
    const Error& error = record.Error();
    std::string problem = "The AccurateRip record from " + host + " is damaged: " + error.text;
    if (error.position.Known()) problem += " (" + PositionText(error.position) + ")";
    return Failed(std::move(result), std::move(problem));
  }
  result.kind = Kind::Found;
  result.record = std::move(record).Value();
  return result;
}

}  // namespace

AccurateRipLookupResult LookUpAccurateRip(const AccurateRipRequest& request,
                                          const std::function<bool()>& cancelled) {
  try {
    return LookUp(request, cancelled);
  } catch (const std::exception&) {
    // Only allocation can throw here.
  }
  AccurateRipLookupResult result;
  result.problem = "The AccurateRip lookup ran out of memory";
  return result;
}

std::string AccurateRipServerFromEnvironment(const std::string& setting) {
  const char* environment = std::getenv("ZIMBAR_ACCURATERIP_SERVER");
  if (environment != nullptr && environment[0] != '\0') return environment;
  if (!setting.empty()) return setting;
  return kDefaultAccurateRipServer;
}

std::string AccurateRipUserAgent() { return std::string("zbmaker/") + kZimbarVersion; }
