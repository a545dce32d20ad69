// The plain words of a failed CDDB or MusicBrainz lookup.
#include "maker/metadata/lookup_failure_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// The system's reason in the middle of a sentence: "connection refused".
std::string ReasonText(int errnum) {
  std::string reason = std::strerror(errnum);
  if (reason.size() > 1 && reason[0] >= 'A' && reason[0] <= 'Z' && !(reason[1] >= 'A' && reason[1] <= 'Z'))
    reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
  return reason;
}

std::string DidNotAnswer(const LookupFailureFacts& facts) {
  return facts.host + " did not answer within " + WaitLimitText(facts.waitLimit);
}

// A connection or wait that failed on the network: the time limit, an early close or the
// system's reason.
std::string NetworkFailure(const LookupFailureFacts& facts, std::string_view what) {
  if (facts.errnum == ETIMEDOUT) return DidNotAnswer(facts);
  if (facts.closed) return facts.host + " closed the connection " + std::string(what);
  std::string text = "The connection to " + facts.host + " failed " + std::string(what);
  if (facts.errnum != 0) text += ": " + ReasonText(facts.errnum);
  return text;
}

std::string CannotReach(const LookupFailureFacts& facts, const std::string& reason) {
  std::string text = "Cannot reach " + facts.host;
  if (!facts.proxy.empty()) text += " through the proxy " + facts.proxy;
  return reason.empty() ? text : text + ": " + reason;
}

}  // namespace

std::string WaitLimitText(std::chrono::milliseconds limit) {
  const long long seconds = std::max<long long>(1, (limit.count() + 999) / 1000);
  return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

std::string LookupServerHost(std::string_view server) {
  const auto scheme = server.find("://");
  if (scheme == std::string_view::npos) return std::string(server);
  std::string_view rest = server.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of(":/"));
  return rest.empty() ? std::string(server) : std::string(rest);
}

std::string LookupFailureText(int code, const LookupFailureFacts& facts) {
  switch (code) {
    case kCddbOk: return {};
    case kCddbCancelled: return "Cancelled";
    case kCddbInvalidServerUrl:
      return "\"" + facts.server + "\" is no server address this lookup can use";
    case kCddbNoSockets:
      return "Cannot reach " + facts.host + ": no network connection could be opened" +
             (facts.errnum != 0 ? " (" + ReasonText(facts.errnum) + ")" : std::string());
    case kCddbNoServerAddress:
      return CannotReach(facts, facts.detail.empty() ? "its address was not found" : facts.detail);
    case kCddbCannotConnect:
      if (facts.errnum == ETIMEDOUT && !facts.proxy.empty())
        return CannotReach(facts, "no answer within " + WaitLimitText(facts.waitLimit));
      if (facts.errnum == ETIMEDOUT) return DidNotAnswer(facts);
      if (!facts.detail.empty()) return CannotReach(facts, facts.detail);
      return CannotReach(facts, facts.errnum != 0 ? ReasonText(facts.errnum) : std::string());
    case kCddbNoConnectReply: return NetworkFailure(facts, "before it greeted");
    case kCddbConnectError: return facts.host + " does not take connections now";
    case kCddbCannotLogIn:
    case kCddbNoLogInReply: return NetworkFailure(facts, "while logging in");
    case kCddbLogInError: return facts.host + " refused the log-in";
    case kCddbCannotSendQuery:
    case kCddbNoQueryReply: return NetworkFailure(facts, "before it answered the query for this disc");
    case kCddbQueryError: return facts.host + " could not answer the query for this disc";
    case kCddbNoMatch:
    case kMusicBrainzNoMatch: return "No match for this disc on " + facts.host;
    case kCddbCannotSendRead:
    case kCddbNoReadReply:
    case kCddbCannotReadInfo: return NetworkFailure(facts, "before it sent the entry of this disc");
    case kCddbReadError: return facts.host + " could not send the entry of this disc";
    case kCddbInvalidTrackTable: return "This disc has no table of contents that can be looked up";
    case kCddbTimedOut:
    case kMusicBrainzTimedOut: return DidNotAnswer(facts);
    case kMusicBrainzServerError: return facts.host + " reported an error";
    case kMusicBrainzBadReply: return "The reply of " + facts.host + " could not be read";
    case kMusicBrainzReplyTooLarge: return "The reply of " + facts.host + " is too large";
    case kMusicBrainzTransferFailed:
      return "The connection to " + facts.host + " failed" + (facts.detail.empty() ? "" : ": " + facts.detail);
  }
  return "The lookup on " + facts.host + " failed";
}
