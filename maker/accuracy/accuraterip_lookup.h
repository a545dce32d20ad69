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

// Runs the transfer; `cancelled` is asked about every 100 ms. Never throws.
AccurateRipLookupResult LookUpAccurateRip(const AccurateRipRequest& request,
                                          const std::function<bool()>& cancelled = {});

// The request of the settings: AccurateRipServer (ZIMBAR_ACCURATERIP_SERVER, when set,
// wins: a mirror or a test server), the HTTP proxy when UseHttpProxy is on.
