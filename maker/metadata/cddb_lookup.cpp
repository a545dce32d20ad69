// CddbLookup: the CDDB exchange over cddbp and HTTP/1.0.
#include "maker/metadata/cddb_lookup.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "maker/metadata/cddb_reply.h"
#include "maker/metadata/cddb_server_url.h"
#include "maker/metadata/metadata_text.h"
#include "maker/metadata/tcp_connection.h"

namespace {

// A server that keeps sending lines without ever ending its list or entry is cut off.
constexpr int kMaxReplyLines = 100000;

// The hello identity travels inside a command line and a URL: blanks, control characters
// and URL delimiters in the settings' values would break or extend the request.
std::string HelloWord(std::string_view value) {
  std::string word(value);
  for (char& c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '&' || c == '+' || c == '#' || c == '%' ||
        c == '?') {
      c = '_';
    }
  }
  return word.empty() ? std::string("_") : word;
}

std::string HexId(std::uint32_t discId) {
  char text[16];
  std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(discId));
  return text;
}

class CddbSession {
 public:
  CddbSession(const CddbRequest& request, CddbLookupHost& host, CddbOutputs& outputs)
      : request_(request), host_(host), out_(outputs) {}

  int Run();
  bool PastDeadline() const { return std::chrono::steady_clock::now() >= deadline_; }

 private:
  bool Cancelled(CddbStage stage) { return host_.CddbProgress(stage, {}) != 0; }
  int Connect();
  // Reads one reply line, converted to UTF-8; it also becomes the last reply line.
  std::optional<std::string> ReadLine();
  // HTTP: checks the status line and skips the header lines up to the empty line.
  int SkipHttpHeaders(int readFailure, int replyError);
  // Sends a query or read command and reads the first line of its reply (over HTTP, the
  // first line after the headers) into `reply`. Each failure has its own code.
  int Request(const std::string& command, int sendFailure, int readFailure, int replyError,
              std::string& reply);
  std::string HelloTail() const;
  // The request path's prefix: the whole server address when an HTTP proxy forwards it.
  std::string UrlPrefix() const { return request_.httpProxy.empty() ? std::string() : request_.server; }
  std::string QueryCommand(std::uint32_t discId) const;
  std::string ReadCommand(const std::string& category, std::uint32_t discId) const;
  int ReadMatches(std::string& reply);

  const CddbRequest& request_;
  CddbLookupHost& host_;
  CddbOutputs& out_;
  CddbServerUrl url_;
  sockaddr_in target_{};
  std::optional<sockaddr_in> socks_;
  TcpConnection connection_;
  TcpDeadline deadline_ = kNoDeadline;
};

int CddbSession::Connect() {
  AbortCheck abort = [this] { return host_.CddbCancelRequested(); };
  auto connected =
      socks_ ? TcpConnection::ConnectViaSocks4(*socks_, target_, request_.timeout, abort, deadline_)
             : TcpConnection::Connect(target_, request_.timeout, abort, deadline_);
  if (!connected) {
    switch (connected.Error()) {
      case TcpError::NoSocket: return kCddbNoSockets;
      case TcpError::Aborted: return kCddbCancelled;
      case TcpError::Unresolved:
      case TcpError::ConnectFailed:
      case TcpError::SendFailed:
      case TcpError::ReceiveFailed:
      case TcpError::Closed: return kCddbCannotConnect;
    }
    return kCddbCannotConnect;
  }
  connection_ = std::move(connected).Value();
  return kCddbOk;
}

std::optional<std::string> CddbSession::ReadLine() {
  auto line = connection_.ReceiveLine(kCddbLineBytes);
  if (!line) return std::nullopt;
  out_.lastReply = CddbReplyText(line.Value());
  return out_.lastReply;
}

int CddbSession::SkipHttpHeaders(int readFailure, int replyError) {
  auto status = ReadLine();
  if (!status) return readFailure;
  // "HTTP/1.x 200 OK": anything but a 2xx status means the body is no CDDB reply.
  const auto space = status->find(' ');
  const int httpCode = space == std::string::npos ? 0 : CddbReplyCode(status->substr(space + 1));
  if (status->rfind("HTTP/", 0) != 0 || httpCode < 200 || httpCode > 299) return replyError;
  for (int lines = 0; lines < kMaxReplyLines; ++lines) {
    auto header = connection_.ReceiveLine(kCddbLineBytes);
    if (!header) return readFailure;
    if (header.Value().empty()) return kCddbOk;
  }
  return readFailure;
}

int CddbSession::Request(const std::string& command, int sendFailure, int readFailure,
                         int replyError, std::string& reply) {
  if (!connection_.SendAll(command)) return sendFailure;
  if (url_.scheme == CddbScheme::Http) {
    if (int code = SkipHttpHeaders(readFailure, replyError); code != kCddbOk) return code;
  }
  auto line = ReadLine();
  if (!line) return readFailure;
  reply = std::move(*line);
  return kCddbOk;
}

std::string CddbSession::HelloTail() const {
  return "&hello=" + HelloWord(request_.user) + "+" + HelloWord(request_.host) + "+" +
         std::string(kCddbClientName) + "+" + std::string(kCddbClientVersion) +
         "&proto=1 HTTP/1.0\r\n\r\n";
}

std::string CddbSession::QueryCommand(std::uint32_t discId) const {
  // Track offsets count the 150-sector pre-gap, as the disc ID and the length do.
  const DiscLayout& disc = request_.disc;
  const bool http = url_.scheme == CddbScheme::Http;
  const char separator = http ? '+' : ' ';
  std::string command = http ? "GET " + UrlPrefix() + "/~cddb/cddb.cgi?cmd=cddb+query+"
                             : std::string("cddb query ");
  command += HexId(discId);
  command += separator + std::to_string(disc.trackCount);
  for (int k = 0; k < disc.trackCount; ++k) {
    command += separator + std::to_string(disc.startSectors[static_cast<std::size_t>(k)] + 150);
  }
  command += separator + std::to_string(disc.LengthSeconds());
  command += http ? HelloTail() : std::string("\r\n");
  return command;
}

std::string CddbSession::ReadCommand(const std::string& category, std::uint32_t discId) const {
  if (url_.scheme == CddbScheme::Cddbp) {
    return "cddb read " + category + " " + HexId(discId) + "\r\n";
  }
  return "GET " + UrlPrefix() + "/~cddb/cddb.cgi?cmd=cddb+read+" + category + "+" +
         HexId(discId) + HelloTail();
}

// After a 211 reply: the list of matches, ended by "." (or an empty line, or over HTTP the
// end of the reply). `reply` becomes "211 <chosen match>".
int CddbSession::ReadMatches(std::string& reply) {
  std::vector<std::string> matches;
  auto first = ReadLine();
  if (!first) return kCddbNoQueryReply;
  if (!first->empty() && first->front() != '.') matches.push_back(*first);
  const bool http = url_.scheme == CddbScheme::Http;
  bool ended = first->empty() || first->front() == '.';
  for (int lines = 0; !ended; ++lines) {
    if (lines == kMaxReplyLines) return kCddbNoQueryReply;
    auto line = ReadLine();
    if (!line) {
      if (http) break;
      return kCddbNoQueryReply;
    }
    ended = line->empty() || line->front() == '.';
    if (!ended) matches.push_back(*line);
  }
  if (matches.empty()) return kCddbQueryError;
  int choice = 0;
  if (matches.size() > 1) {
    // A person may take a while to choose; that time is not the server's.
    const auto asked = std::chrono::steady_clock::now();
    choice = host_.CddbChooseMatch(matches);
    deadline_ += std::chrono::steady_clock::now() - asked;
    connection_.SetDeadline(deadline_);
    if (choice < 0) return kCddbCancelled;
    if (static_cast<std::size_t>(choice) >= matches.size()) choice = 0;
  }
  reply = "211 " + matches[static_cast<std::size_t>(choice)];
  return kCddbOk;
}

int CddbSession::Run() {
  auto url = ParseCddbServerUrl(request_.server, request_.httpProxy);
  if (!url) return kCddbInvalidServerUrl;
  url_ = std::move(*url);
  std::optional<HostPort> socksProxy;
  if (!request_.socksProxy.empty()) {
    socksProxy = SplitHostPort(request_.socksProxy, kSocksDefaultPort);
    if (!socksProxy) return kCddbNoServerAddress;
  }
  if (!request_.disc.Valid()) return kCddbInvalidTrackTable;
  const bool http = url_.scheme == CddbScheme::Http;
  deadline_ = std::chrono::steady_clock::now() + request_.deadline;

  if (Cancelled(CddbStage::Connecting)) return kCddbCancelled;
  auto target = ResolveIpv4(url_.host, url_.port);
  if (!target) return kCddbNoServerAddress;
  target_ = target.Value();
  if (socksProxy) {
    auto proxy = ResolveIpv4(socksProxy->host, socksProxy->port);
    if (!proxy) return kCddbNoServerAddress;
    socks_ = proxy.Value();
  }
  if (int code = Connect(); code != kCddbOk) return code;

  if (!http) {
    auto greeting = ReadLine();
    if (!greeting) return kCddbNoConnectReply;
    if (CddbReplyCode(*greeting) != 201) return kCddbConnectError;
    if (Cancelled(CddbStage::LoggingIn)) return kCddbCancelled;
    const std::string hello = "cddb hello " + HelloWord(request_.user) + " " +
                              HelloWord(request_.host) + " " + std::string(kCddbClientName) +
                              " " + std::string(kCddbClientVersion) + "\r\n";
    if (!connection_.SendAll(hello)) return kCddbCannotLogIn;
    auto helloReply = ReadLine();
    if (!helloReply) return kCddbNoLogInReply;
    if (CddbReplyCode(*helloReply) != 200) return kCddbLogInError;
  }

  const std::uint32_t discId = DiscId(request_.disc);
  const std::string query = QueryCommand(discId);
  if (Cancelled(CddbStage::Querying)) return kCddbCancelled;
  std::string reply;
  if (int code = Request(query, kCddbCannotSendQuery, kCddbNoQueryReply, kCddbQueryError, reply);
      code != kCddbOk) {
    return code;
  }
  const int queryCode = CddbReplyCode(reply);
  if (queryCode != 200 && queryCode != 211) return kCddbQueryError;
  if (queryCode == 211) {
    if (int code = ReadMatches(reply); code != kCddbOk) return code;
  }
  auto match = ParseCddbMatch(reply);
  if (!match) return kCddbQueryError;
  out_.category = match->category;
  out_.artist = match->artist;
  out_.title = match->title;

  if (http) {
    connection_.Close();
    if (int code = Connect(); code != kCddbOk) return code;
  }
  const std::string read = ReadCommand(match->category, match->discId);
  if (Cancelled(CddbStage::Reading)) return kCddbCancelled;
  std::string readReply;
  if (int code = Request(read, kCddbCannotSendRead, kCddbNoReadReply, kCddbReadError, readReply);
      code != kCddbOk) {
    return code;
  }
  if (CddbReplyCode(readReply) != 210) return kCddbReadError;

  CddbEntryParser entry;
  for (int lines = 0;; ++lines) {
    if (lines == kMaxReplyLines) return kCddbCannotReadInfo;
    auto line = ReadLine();
    if (!line) return kCddbCannotReadInfo;
    if (!line->empty() && line->front() == '.') break;
    entry.AddLine(*line);
  }
  if (out_.title.empty()) out_.title = CutUtf8Chars(entry.AlbumTitle(), kCddbTitleChars);
  out_.trackNames = entry.TrackNames();
  return kCddbOk;
}

}  // namespace

std::string_view CddbResultText(int code) {
  switch (code) {
    case kCddbInvalidServerUrl: return "Invalid Server URL";
    case kCddbNoSockets: return "Cannot initialize WinSock";
    case kCddbCancelled: return "Cancelled";
    case kCddbNoServerAddress: return "Cannot find server address";
    case kCddbCannotConnect: return "Cannot connect";
    case kCddbNoConnectReply: return "Cannot get connect reply";
    case kCddbConnectError: return "Connect error";
    case kCddbCannotLogIn: return "Cannot log-in";
    case kCddbNoLogInReply: return "Cannot read log-in reply";
    case kCddbLogInError: return "Log-in error";
    case kCddbCannotSendQuery: return "Cannot send query";
    case kCddbNoQueryReply: return "Cannot read query reply";
    case kCddbQueryError: return "Query error";
    case kCddbCannotSendRead: return "Cannot send info request reply";
    case kCddbNoReadReply: return "Cannot read info request";
    case kCddbReadError: return "Info request error";
    case kCddbCannotReadInfo: return "Cannot read info";
    case kCddbInvalidTrackTable: return "Invalid track table";
    case kCddbTimedOut: return "The CDDB server did not answer in time";
    default: return {};
  }
}

std::string_view CddbStageText(CddbStage stage) {
  switch (stage) {
    case CddbStage::Connecting: return "Connecting to the CDDB server...";
    case CddbStage::LoggingIn: return "Logging-in to the CDDB server...";
    case CddbStage::Querying: return "Querying the CDDB server...";
    case CddbStage::Reading: return "Requesting CD info from the CDDB server...";
  }
  return {};
}

int CddbLookupHost::CddbChooseMatch(const std::vector<std::string>&) { return 0; }

bool CddbLookupHost::CddbCancelRequested() { return false; }

CddbRequest MakeCddbRequest(const CdInfo& info, DiscLayout disc, std::string user,
                            std::string host) {
  CddbRequest request;
  request.server = info.cddbServer;
  if (info.useSocksProxy) request.socksProxy = info.socksProxy;
  if (info.useHttpProxy && CddbServerIsHttp(info.cddbServer)) request.httpProxy = info.httpProxy;
  request.disc = std::move(disc);
  request.user = std::move(user);
  request.host = std::move(host);
  return request;
}

int CddbLookup(const CddbRequest& request, CddbLookupHost& host, CddbOutputs& outputs) {
  outputs = CddbOutputs{};
  try {
    CddbSession session(request, host, outputs);
    const int result = session.Run();
    // A wait cut short by the cancel or the deadline shows up as a network failure;
    // report what ended it.
    if (result != kCddbOk && host.CddbCancelRequested()) return kCddbCancelled;
    if (result != kCddbOk && session.PastDeadline()) return kCddbTimedOut;
    return result;
  } catch (const std::exception&) {
    // Only allocation can throw here; the exchange cannot go on without memory.
    return kCddbCannotReadInfo;
  }
}

void ApplyCddbOutputs(const CddbOutputs& outputs, CdInfo& info) {
  info.title = outputs.title;
  info.artist = outputs.artist;
  info.genre = outputs.category;
  std::size_t start = 0;
  int track = 1;
  while (start < outputs.trackNames.size() && track <= kCdMaxTracks) {
    auto end = outputs.trackNames.find('\n', start);
    if (end == std::string::npos) end = outputs.trackNames.size();
    info.SetTrackName(track, outputs.trackNames.substr(start, end - start));
    ++track;
    start = end + 1;
  }
}
