// HttpGet: one GET over HTTP or HTTPS (libcurl) for the web lookups of a disc, with their
// rules: the connect and silence limit, the deadline of the whole transfer, only the
// proxy the user named, a cap on the reply and a cancel seen within about 100 ms.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "maker/metadata/cddb_lookup.h"

struct HttpGetRequest {
  std::string url;
  // "http://host:port" or "socks4://host:port", empty for none. The environment's proxy
  // variables are never used: a lookup goes where the user's settings say.
  std::string proxy;
  std::string userAgent;
  std::vector<std::string> headers;  // extra header lines ("Accept: application/json")
  std::chrono::milliseconds timeout{30000};   // the connect, and the longest silence
  std::chrono::milliseconds deadline{60000};  // the whole transfer
  std::size_t maxBodyBytes = 1024 * 1024;     // counted after any compression is undone
};

enum class HttpTransferFault {
  None,           // a whole reply arrived (whatever its status)
  NoTransfer,     // libcurl could not set up the transfer
  BadAddress,     // the URL is malformed or of another scheme
  NoAddress,      // the server's or the proxy's name was not found
  CannotConnect,  // the connection was refused or could not be made
  TimedOut,       // the connect, a silence or the whole transfer passed its limit
  TooLarge,       // the body passed maxBodyBytes
  Cancelled,
  Failed,         // anything else: the connection broke, TLS failed, no HTTP reply
};

struct HttpGetReply {
  HttpTransferFault fault = HttpTransferFault::None;
  long status = 0;         // the last status code (after any redirect), 0 when none came
  std::string statusLine;  // "HTTP/1.1 200 OK", without control characters, cut to 1024 bytes
  std::string body;        // as far as it came, at most maxBodyBytes
  std::string detail;      // libcurl's reason of a failure, without control characters
  int osErrnum = 0;        // the system's reason of a failed connection, 0 when none
};

// Runs the transfer; `cancelled` is asked about every 100 ms while it waits for the
// network. Follows up to 3 redirects over http and https. Never throws.
HttpGetReply HttpGet(const HttpGetRequest& request, const std::function<bool()>& cancelled = {});

// The lookup code (cddb_lookup.h) of a failed transfer, so that LookupFailureText says
// what happened: kCddbOk for None, kMusicBrainzTimedOut for a time limit, ...
CddbResult HttpTransferFailureCode(HttpTransferFault fault);

// What a transfer that brought no reply means, in the words of the lookups: the server, its
// host, the proxy in use (SOCKS before HTTP), the wait limit that ended it (`deadline` when
// the whole transfer ran past it, else `timeout`).
std::string HttpTransferProblemText(const std::string& server, const std::string& socksProxy,
                                    const std::string& httpProxy, std::chrono::milliseconds timeout,
                                    std::chrono::milliseconds deadline, const HttpGetReply& reply,
                                    bool pastDeadline);

// The proxy URL of a lookup's settings: the SOCKS 4 proxy when given, else the HTTP proxy
// (both host[:port]), else empty.
std::string HttpProxyUrl(const std::string& socksProxy, const std::string& httpProxy);

// True for an address that starts with http:// or https:// (any case) and has a host.
bool HttpServerAddressValid(std::string_view server);
