// Fetching a disc's AccurateRip record over HTTP, with the CD lookups' time limits, proxy
// and cancel.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "common/error.h"
#include "maker/accuracy/accuraterip.h"

inline constexpr const char* kDefaultAccurateRipServer = "http://www.accuraterip.com";

struct AccurateRipRequest {
  std::string server = kDefaultAccurateRipServer;   // http:// or https://, no trailing path
  std::string httpProxy;                            // host:port or empty (the UseHttpProxy rule)
  std::string socksProxy;                           // host:port or empty; wins over httpProxy
  AccurateRipDiscIds ids;
  std::chrono::milliseconds timeout{30000};         // connect, and the longest silence
  std::chrono::milliseconds deadline{60000};        // the whole transfer
  std::size_t maxReplyBytes = 1024 * 1024;
};

// How a lookup ended.
struct AccurateRipLookupResult {
  enum class Kind {
    Found,          // record holds the disc's pressings
    NotInDatabase,  // the server has no record of this disc (404)
    Failed,         // unreachable, timed out, a bad reply: `problem` says what happened
    Cancelled,
  };
  Kind kind = Kind::Failed;
  AccurateRipRecord record;
  std::string url;       // what was asked for
  std::string problem;   // for Failed: "Cannot reach www.accuraterip.com: connection refused"
};

// GET <server><ids.RecordPath()> ('/' ending the server dropped). 200 with a record that
// parses is Found (every pressing kept, also those of other layouts: VerifyAccurateRip
// picks); 404 is NotInDatabase; anything else is Failed, and `problem` says in words what
// happened, naming the server's host: "Cannot reach 127.0.0.1: connection refused",
// "www.accuraterip.com did not answer within 30 seconds", "The AccurateRip record from
// www.accuraterip.com is damaged: ...". A failure while a cancel is asked is Cancelled.
// `cancelled` is asked about every 100 ms while the transfer waits. Never throws.
AccurateRipLookupResult LookUpAccurateRip(const AccurateRipRequest& request,
                                          const std::function<bool()>& cancelled = {});

// The server to ask: ZIMBAR_ACCURATERIP_SERVER when it is set and not empty (a mirror, or
// a test's loopback server), else the AccurateRipServer setting, else the default server.
std::string AccurateRipServerFromEnvironment(const std::string& setting);

// "zbmaker/<version>": how the lookup names itself to the server.
std::string AccurateRipUserAgent();
