// The plain words of a failed lookup.
#include "maker/metadata/lookup_failure_text.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using std::chrono::milliseconds;

// Catches a failure text that names a proxy or the whole address instead of the
// configured server's host, a time limit shown in another unit or rounded down, or a
// protocol code shown instead of words.
TEST(LookupFailureText, NamesTheServersHostAndSaysWhatHappened) {
  LookupFailureFacts facts;
  facts.server = "http://gnudb.gnudb.org:80";
  facts.host = LookupServerHost(facts.server);
  facts.waitLimit = milliseconds(30000);
  EXPECT_EQ(facts.host, "gnudb.gnudb.org");
  EXPECT_EQ(LookupFailureText(kCddbNoMatch, facts), "No match for this disc on gnudb.gnudb.org");
  EXPECT_EQ(LookupFailureText(kMusicBrainzNoMatch, facts), "No match for this disc on gnudb.gnudb.org");
  EXPECT_EQ(LookupFailureText(kCddbNoQueryReply, facts),
            "The connection to gnudb.gnudb.org failed before it answered the query for this disc")
      << "a wait without errnum is no time limit";
  facts.errnum = ETIMEDOUT;
  EXPECT_EQ(LookupFailureText(kCddbNoQueryReply, facts), "gnudb.gnudb.org did not answer within 30 seconds");
  EXPECT_EQ(LookupFailureText(kCddbCannotConnect, facts), "gnudb.gnudb.org did not answer within 30 seconds");
  facts.errnum = 0;
  facts.closed = true;
  EXPECT_EQ(LookupFailureText(kCddbCannotReadInfo, facts),
            "gnudb.gnudb.org closed the connection before it sent the entry of this disc");
  facts.closed = false;
  facts.errnum = ECONNREFUSED;
  EXPECT_EQ(LookupFailureText(kCddbCannotConnect, facts), "Cannot reach gnudb.gnudb.org: connection refused");
  facts.proxy = "proxy.example:3128";
  EXPECT_EQ(LookupFailureText(kCddbCannotConnect, facts),
            "Cannot reach gnudb.gnudb.org through the proxy proxy.example:3128: connection refused");
  facts.waitLimit = milliseconds(60000);
  EXPECT_EQ(LookupFailureText(kCddbTimedOut, facts), "gnudb.gnudb.org did not answer within 60 seconds");
  EXPECT_EQ(LookupFailureText(kCddbCancelled, facts), "Cancelled");
  EXPECT_EQ(LookupFailureText(kCddbOk, facts), "");
  // Every failure code has words of its own that name the host (but a cancel and a
  // table of contents, which are not the server's).
  for (int code = kCddbInvalidServerUrl; code >= kCddbNoMatch; --code) {
    if (code == kCddbCancelled || code == kCddbInvalidTrackTable || code == kCddbInvalidServerUrl) continue;
    if (CddbResultText(code).empty()) continue;
    SCOPED_TRACE(code);
    EXPECT_NE(LookupFailureText(code, facts).find("gnudb.gnudb.org"), std::string::npos) << LookupFailureText(code, facts);
  }
}

// Catches a host cut wrongly from an address with a port, a path or user-typed text
// without a scheme, and a limit below one second shown as "0 seconds".
TEST(LookupFailureText, HostsAndLimits) {
  EXPECT_EQ(LookupServerHost("cddbp://gnudb.gnudb.org:8880"), "gnudb.gnudb.org");
  EXPECT_EQ(LookupServerHost("https://musicbrainz.org/ws/2"), "musicbrainz.org");
  EXPECT_EQ(LookupServerHost("HTTP://Example.org"), "Example.org");
  EXPECT_EQ(LookupServerHost("gnudb.gnudb.org"), "gnudb.gnudb.org");
  EXPECT_EQ(WaitLimitText(milliseconds(300)), "1 second");
  EXPECT_EQ(WaitLimitText(milliseconds(1000)), "1 second");
  EXPECT_EQ(WaitLimitText(milliseconds(1001)), "2 seconds");
  EXPECT_EQ(WaitLimitText(milliseconds(30000)), "30 seconds");
}

}  // namespace
