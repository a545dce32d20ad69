// The words a person reads when a CDDB or MusicBrainz lookup failed: what happened, naming
// the server, without protocol codes (the server's own reply line goes into the log apart).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "maker/metadata/cddb_lookup.h"

// What the lookup knew when it failed.
struct LookupFailureFacts {
  std::string host;    // the configured server's host ("gnudb.gnudb.org"), never a proxy's
  std::string server;  // the whole configured address, for one that cannot be used
  std::string proxy;   // the proxy the connection went through, empty for none
  // The limit of the wait that ended the lookup: each wait's limit, or the whole lookup's
  // for kCddbTimedOut and a MusicBrainz lookup past its deadline.
  std::chrono::milliseconds waitLimit{0};
  int errnum = 0;       // the system's reason for a failed connection or wait, 0 for none
  bool closed = false;  // the server closed the connection before its reply was whole
  std::string detail;   // a transfer library's reason, when it gave one
};

// "No match for this disc on gnudb.gnudb.org", "Cannot reach gnudb.gnudb.org: connection
// refused", "gnudb.gnudb.org did not answer within 30 seconds", ... for every failure
// code; "Cancelled" for kCddbCancelled; empty for kCddbOk.
std::string LookupFailureText(int code, const LookupFailureFacts& facts);

// The host of a server address ("cddbp://host:port", "https://host/path"): the text
// between the scheme and the first ':' or '/'; the whole text when it has no scheme.
std::string LookupServerHost(std::string_view server);

// "1 second", "30 seconds": a limit in whole seconds, rounded up.
std::string WaitLimitText(std::chrono::milliseconds limit);
