// CddbLookup: the CDDB exchange over cddbp and HTTP/1.0.
#include "maker/metadata/cddb_lookup.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "maker/metadata/cddb_reply.h"
#include "maker/metadata/cddb_server_url.h"
#include "maker/metadata/lookup_failure_text.h"
#include "maker/metadata/metadata_text.h"
#include "maker/metadata/tcp_connection.h"

namespace {

// A server that keeps sending lines without ever ending its list or entry is cut off.
constexpr int kMaxReplyLines = 100000;

// Longest hello word sent; servers keep user and host names short.
constexpr std::size_t kMaxHelloWordBytes = 64;

// The hello identity travels inside a command line and a URL, and servers accept only
// plain ASCII words there: letters, digits and . - _ @ are kept, every other character
// (a blank, a control, a URL delimiter, each UTF-8 sequence as a whole) becomes '_'.
std::string HelloWord(std::string_view value) {
  std::string word;
  for (std::size_t i = 0; i < value.size() && word.size() < kMaxHelloWordBytes; ++i) {
    const auto byte = static_cast<unsigned char>(value[i]);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == '_' || byte == '@';
    if (plain) {
      word.push_back(static_cast<char>(byte));
      continue;
    }
    word.push_back('_');
    // The continuation bytes of a multi-byte character go with its lead byte.
    if (byte >= 0xC0) {
      while (i + 1 < value.size() && (static_cast<unsigned char>(value[i + 1]) & 0xC0) == 0x80) ++i;
    }
  }
  return word.empty() ? std::string("_") : word;
}

// The level a "proto" reply names: "201 OK, CDDB protocol level now: 6", "502 Protocol
// level already 6": the last number of the line; 0 without one.
int GrantedLevel(std::string_view reply) {
  const auto space = reply.find(' ');
  if (space == std::string_view::npos) return 0;
  const auto end = reply.find_last_of("0123456789");
  if (end == std::string_view::npos || end <= space) return 0;
  auto start = end;
  while (start > space + 1 && reply[start - 1] >= '0' && reply[start - 1] <= '9') --start;
  if (end - start > 3) return 0;
  return std::stoi(std::string(reply.substr(start, end - start + 1)));
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

  Outcome Run();
  bool PastDeadline() const { return std::chrono::steady_clock::now() >= deadline_; }
  // What the last failed connection, send or wait said: the system's reason, a close.
  int NetworkErrnum() const { return netErrnum_; }
  bool ClosedByServer() const { return netClosed_; }

 private:
  bool Cancelled(CddbStage stage) { return host_.CddbProgress(stage, {}) != 0; }
  // Keeps what a failed network step said, for the failure's text.
  void Note(const Error& error) {
    netErrnum_ = error.errnum;
    netClosed_ = error.Is(TcpFault::Closed);
  }
  bool Send(std::string_view bytes);
  Outcome Connect();
  // Reads one reply line, converted to UTF-8; it also becomes the last reply line.
  std::optional<std::string> ReadLine();
  // HTTP: checks the status line and skips the header lines up to the empty line.
  Outcome SkipHttpHeaders(CddbResult readFailure, CddbResult replyError);
  // Sends a query or read command and reads the first line of its reply (over HTTP, the
  // first line after the headers) into `reply`. Each failure has its own code.
  Outcome Request(const std::string& command, CddbResult sendFailure, CddbResult readFailure,
                  CddbResult replyError, std::string& reply);
  std::string HelloTail() const;
  // The request path's prefix: the whole server address when an HTTP proxy forwards it.
  std::string UrlPrefix() const { return request_.httpProxy.empty() ? std::string() : request_.server; }
  std::string QueryCommand(std::uint32_t discId) const;
  std::string ReadCommand(const std::string& category, std::uint32_t discId) const;
  Outcome ReadMatches(int code, std::string& reply);
  // cddbp: asks for protocol level 6; a refusal leaves the server's level.
  Outcome NegotiateLevel();

  const CddbRequest& request_;
  CddbLookupHost& host_;
  CddbOutputs& out_;
  CddbServerUrl url_;
  sockaddr_in target_{};
  std::optional<sockaddr_in> socks_;
  TcpConnection connection_;
  TcpDeadline deadline_ = kNoDeadline;
  // cddbp starts at level 1 (ISO-8859-1) until the server grants more; an HTTP server
  // answers at the level asked for, or sends ISO-8859-1 that reads as such.
  CddbCharset charset_ = CddbCharset::Latin1;
  int netErrnum_ = 0;
  bool netClosed_ = false;
};

bool CddbSession::Send(std::string_view bytes) {
  auto sent = connection_.SendAll(bytes);
  if (!sent) Note(sent.Error());
  return static_cast<bool>(sent);
}

Outcome CddbSession::Connect() {
  AbortCheck abort = [this] { return host_.CddbCancelRequested(); };
  auto connected =
      socks_ ? TcpConnection::ConnectViaSocks4(*socks_, target_, request_.timeout, abort, deadline_)
             : TcpConnection::Connect(target_, request_.timeout, abort, deadline_);
  if (!connected) {
    Note(connected.Error());
    switch (connected.Error().CaseOr(TcpFault::ConnectFailed)) {
      case TcpFault::NoSocket: return Fail(CddbFailure(kCddbNoSockets));
      case TcpFault::Aborted: return Fail(CddbFailure(kCddbCancelled));
      case TcpFault::Unresolved:
      case TcpFault::ConnectFailed:
      case TcpFault::SendFailed:
      case TcpFault::ReceiveFailed:
      case TcpFault::Closed: break;
    }
    return Fail(CddbFailure(kCddbCannotConnect));
  }
  connection_ = std::move(connected).Value();
  return Done{};
}

std::optional<std::string> CddbSession::ReadLine() {
  auto line = connection_.ReceiveLine(kCddbLineBytes);
  if (!line) {
    Note(line.Error());
    return std::nullopt;
  }
  out_.lastReply = CddbReplyText(line.Value(), charset_);
  return out_.lastReply;
}

Outcome CddbSession::SkipHttpHeaders(CddbResult readFailure, CddbResult replyError) {
  auto status = ReadLine();
  if (!status) return Fail(CddbFailure(readFailure));
  // "HTTP/1.x 200 OK": anything but a 2xx status means the body is no CDDB reply.
  const auto space = status->find(' ');
  const int httpCode = space == std::string::npos ? 0 : CddbReplyCode(status->substr(space + 1));
  if (status->rfind("HTTP/", 0) != 0 || httpCode < 200 || httpCode > 299) return Fail(CddbFailure(replyError));
  for (int lines = 0; lines < kMaxReplyLines; ++lines) {
    auto header = connection_.ReceiveLine(kCddbLineBytes);
    if (!header) {
      Note(header.Error());
      return Fail(CddbFailure(readFailure));
    }
    if (header.Value().empty()) return Done{};
  }
  return Fail(CddbFailure(readFailure));
}

Outcome CddbSession::Request(const std::string& command, CddbResult sendFailure, CddbResult readFailure,
                             CddbResult replyError, std::string& reply) {
  if (!Send(command)) return Fail(CddbFailure(sendFailure));
  if (url_.scheme == CddbScheme::Http) {
    if (auto headers = SkipHttpHeaders(readFailure, replyError); !headers) return headers;
  }
  auto line = ReadLine();
  if (!line) return Fail(CddbFailure(readFailure));
  reply = std::move(*line);
  return Done{};
}

std::string CddbSession::HelloTail() const {
  return "&hello=" + HelloWord(request_.user) + "+" + HelloWord(request_.host) + "+" +
         std::string(kCddbClientName) + "+" + std::string(kCddbClientVersion) +
         "&proto=" + std::to_string(kCddbProtocolLevel) + " HTTP/1.0\r\n\r\n";
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

// After a 210 (exact) or 211 (inexact) reply: the list of matches, ended by "." (or an
// empty line, or over HTTP the end of the reply). `reply` becomes "<code> <chosen match>".
Outcome CddbSession::ReadMatches(int code, std::string& reply) {
  std::vector<CddbMatch> matches;
  const std::string prefix = std::to_string(code) + " ";
  const bool http = url_.scheme == CddbScheme::Http;
  for (int lines = 0;; ++lines) {
    if (lines == kMaxReplyLines) return Fail(CddbFailure(kCddbNoQueryReply));
    auto line = ReadLine();
    if (!line) {
      if (http && lines > 0) break;
      return Fail(CddbFailure(kCddbNoQueryReply));
    }
    if (line->empty() || line->front() == '.') break;
    // A line that names no disc (no category or no hexadecimal ID) cannot be read.
    if (auto match = ParseCddbMatch(prefix + *line)) matches.push_back(std::move(*match));
  }
  if (matches.empty()) return Fail(CddbFailure(kCddbQueryError));
  int choice = 0;
  if (matches.size() > 1) {
    // A person may take a while to choose; that time is not the server's.
    const auto asked = std::chrono::steady_clock::now();
    choice = host_.CddbChooseMatch(matches);
    deadline_ += std::chrono::steady_clock::now() - asked;
    connection_.SetDeadline(deadline_);
    if (choice < 0) return Fail(CddbFailure(kCddbCancelled));
    if (static_cast<std::size_t>(choice) >= matches.size()) choice = 0;
  }
  reply = prefix + matches[static_cast<std::size_t>(choice)].line;
  return Done{};
}

Outcome CddbSession::NegotiateLevel() {
  if (!Send("proto " + std::to_string(kCddbProtocolLevel) + "\r\n")) return Fail(CddbFailure(kCddbCannotLogIn));
  auto reply = ReadLine();
  if (!reply) return Fail(CddbFailure(kCddbNoLogInReply));
  const int code = CddbReplyCode(*reply);
  // 201: level changed; 502: already at that level. Anything else (501 "Illegal protocol
  // level", 500 from a server without the command) leaves the level the server has.
  if ((code == 201 || code == 502) && GrantedLevel(*reply) >= kCddbProtocolLevel) charset_ = CddbCharset::Utf8;
  return Done{};
}

Outcome CddbSession::Run() {
  auto url = ParseCddbServerUrl(request_.server, request_.httpProxy);
  if (!url) return Fail(CddbFailure(kCddbInvalidServerUrl));
  url_ = std::move(*url);
  std::optional<HostPort> socksProxy;
  if (!request_.socksProxy.empty()) {
    socksProxy = SplitHostPort(request_.socksProxy, kSocksDefaultPort);
    if (!socksProxy) return Fail(CddbFailure(kCddbNoServerAddress));
  }
  if (!request_.disc.Valid()) return Fail(CddbFailure(kCddbInvalidTrackTable));
  const bool http = url_.scheme == CddbScheme::Http;
  if (http) charset_ = CddbCharset::Utf8;
  deadline_ = std::chrono::steady_clock::now() + request_.deadline;

  if (Cancelled(CddbStage::Connecting)) return Fail(CddbFailure(kCddbCancelled));
  auto target = ResolveIpv4(url_.host, url_.port);
  if (!target) return Fail(CddbFailure(kCddbNoServerAddress));
  target_ = target.Value();
  if (socksProxy) {
    auto proxy = ResolveIpv4(socksProxy->host, socksProxy->port);
    if (!proxy) return Fail(CddbFailure(kCddbNoServerAddress));
    socks_ = proxy.Value();
  }
  if (auto connected = Connect(); !connected) return connected;

  if (!http) {
    auto greeting = ReadLine();
    if (!greeting) return Fail(CddbFailure(kCddbNoConnectReply));
    if (CddbReplyCode(*greeting) != 201) return Fail(CddbFailure(kCddbConnectError));
    if (Cancelled(CddbStage::LoggingIn)) return Fail(CddbFailure(kCddbCancelled));
    const std::string hello = "cddb hello " + HelloWord(request_.user) + " " +
                              HelloWord(request_.host) + " " + std::string(kCddbClientName) +
                              " " + std::string(kCddbClientVersion) + "\r\n";
    if (!Send(hello)) return Fail(CddbFailure(kCddbCannotLogIn));
    auto helloReply = ReadLine();
    if (!helloReply) return Fail(CddbFailure(kCddbNoLogInReply));
    if (CddbReplyCode(*helloReply) != 200) return Fail(CddbFailure(kCddbLogInError));
    if (auto negotiated = NegotiateLevel(); !negotiated) return negotiated;
  }

  const std::uint32_t discId = DiscId(request_.disc);
  const std::string query = QueryCommand(discId);
  if (Cancelled(CddbStage::Querying)) return Fail(CddbFailure(kCddbCancelled));
  std::string reply;
  if (auto sent = Request(query, kCddbCannotSendQuery, kCddbNoQueryReply, kCddbQueryError, reply); !sent) {
    return sent;
  }
  const int queryCode = CddbReplyCode(reply);
  if (queryCode == 202) return Fail(CddbFailure(kCddbNoMatch));
  if (queryCode != 200 && queryCode != 210 && queryCode != 211) return Fail(CddbFailure(kCddbQueryError));
  if (queryCode == 210 || queryCode == 211) {
    if (auto chosen = ReadMatches(queryCode, reply); !chosen) return chosen;
  }
  auto match = ParseCddbMatch(reply);
  if (!match) return Fail(CddbFailure(kCddbQueryError));
  out_.category = match->category;
  out_.artist = match->artist;
  out_.title = match->title;

  if (http) {
    connection_.Close();
    if (auto connected = Connect(); !connected) return connected;
  }
  const std::string read = ReadCommand(match->category, match->discId);
  if (Cancelled(CddbStage::Reading)) return Fail(CddbFailure(kCddbCancelled));
  std::string readReply;
  if (auto sent = Request(read, kCddbCannotSendRead, kCddbNoReadReply, kCddbReadError, readReply); !sent) {
    return sent;
  }
  if (CddbReplyCode(readReply) != 210) return Fail(CddbFailure(kCddbReadError));

  CddbEntryParser entry;
  for (int lines = 0;; ++lines) {
    if (lines == kMaxReplyLines) return Fail(CddbFailure(kCddbCannotReadInfo));
    auto line = ReadLine();
    if (!line) return Fail(CddbFailure(kCddbCannotReadInfo));
    if (!line->empty() && line->front() == '.') break;
    entry.AddLine(*line);
  }
  if (out_.title.empty()) out_.title = CutUtf8Chars(entry.AlbumTitle(), kCddbTitleChars);
  out_.trackNames = entry.TrackNames();
  out_.year = entry.Year();
  out_.genre = entry.Genre();
  return Done{};
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
    case kCddbNoMatch: return "No match";
    case kMusicBrainzNoMatch: return "No release matches this disc";
    case kMusicBrainzServerError: return "The MusicBrainz server reported an error";
    case kMusicBrainzBadReply: return "The MusicBrainz reply could not be read";
    case kMusicBrainzReplyTooLarge: return "The MusicBrainz reply is too large";
    case kMusicBrainzTransferFailed: return "The MusicBrainz reply did not arrive";
    case kMusicBrainzTimedOut: return "The MusicBrainz server did not answer in time";
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

Error CddbFailure(CddbResult code, std::string subject, std::string text) {
  ErrorCategory category = ErrorCategory::Network;
  switch (code) {
    case kCddbCancelled: category = ErrorCategory::Cancelled; break;
    case kCddbInvalidServerUrl:
    case kCddbInvalidTrackTable: category = ErrorCategory::Usage; break;
    case kCddbNoSockets: category = ErrorCategory::Io; break;
    default: break;
  }
  if (text.empty()) text = std::string(CddbResultText(code));
  return Error(category, {}, std::move(text), {}, std::move(subject)).WithCase(code);
}

int CddbResultCode(const Outcome& outcome) {
  return outcome ? kCddbOk : outcome.Error().CaseOr(kCddbCannotReadInfo);
}

int CddbLookupHost::CddbChooseMatch(const std::vector<CddbMatch>&) { return 0; }

bool CddbLookupHost::CddbCancelRequested() { return false; }

CddbRequest MakeCddbRequest(const CdInfo& info, DiscLayout disc, std::string user,
                            std::string host) {
  CddbRequest request;
  request.source = info.lookupSource;
  request.server = info.cddbServer;
  if (info.useSocksProxy) request.socksProxy = info.socksProxy;
  // The web service is HTTP whatever the CDDB server's scheme.
  const bool http = info.lookupSource == MetadataSource::MusicBrainz || CddbServerIsHttp(info.cddbServer);
  if (info.useHttpProxy && http) request.httpProxy = info.httpProxy;
  request.disc = std::move(disc);
  request.user = std::move(user);
  request.host = std::move(host);
  return request;
}

Outcome CddbLookup(const CddbRequest& request, CddbLookupHost& host, CddbOutputs& outputs) {
  outputs = CddbOutputs{};
  CddbResult code = kCddbCannotReadInfo;
  LookupFailureFacts facts;
  facts.server = request.server;
  try {
    facts.host = LookupServerHost(request.server);
    facts.proxy = !request.socksProxy.empty() ? request.socksProxy : request.httpProxy;
    CddbSession session(request, host, outputs);
    const Outcome result = session.Run();
    if (result) return result;
    code = result.Error().CaseOr(kCddbCannotReadInfo);
    // A wait cut short by the cancel or the deadline shows up as a network failure;
    // report what ended it.
    if (host.CddbCancelRequested()) code = kCddbCancelled;
    else if (session.PastDeadline()) code = kCddbTimedOut;
    facts.waitLimit = code == kCddbTimedOut ? request.deadline : request.timeout;
    facts.errnum = session.NetworkErrnum();
    facts.closed = session.ClosedByServer();
    return Fail(CddbFailure(code, request.server, LookupFailureText(code, facts)));
  } catch (const std::exception&) {
    // Only allocation can throw here; the exchange cannot go on without memory.
  }
  return Fail(CddbFailure(code, request.server));
}

void ApplyCddbOutputs(const CddbOutputs& outputs, CdInfo& info) {
  // The ids of the release, or none: names from CDDB are no release's.
  SetMusicBrainzIds(outputs.musicBrainz, info);
  info.title = outputs.title;
  info.artist = outputs.artist;
  // A source without genres (MusicBrainz) leaves the genre as typed.
  if (!outputs.genre.empty()) {
    info.genre = outputs.genre;
  } else if (!outputs.category.empty()) {
    info.genre = outputs.category;
  }
  if (!outputs.year.empty()) info.year = outputs.year;
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
