// CddbLookup: fetches a disc's title, artist, category and track names from a CDDB server
// over cddbp or HTTP/1.0, directly, through a SOCKS 4 proxy or (HTTP) an HTTP proxy.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/version.h"
#include "maker/metadata/cd_info.h"
#include "maker/metadata/cddb_reply.h"
#include "maker/metadata/disc_id.h"
#include "maker/metadata/musicbrainz_ids.h"

// Result codes; each failure has its own code and short name (CddbResultText). The code
// is what a finished lookup keeps (TCDDBThread::ResultCode); a failed lookup's Error
// carries it as its case, and says what happened in plain words (LookupFailureText).
enum CddbResult : int {
  kCddbOk = 0,
  kCddbInvalidServerUrl = -8,
  kCddbNoSockets = -9,
  kCddbCancelled = -10,
  kCddbNoServerAddress = -12,
  kCddbCannotConnect = -13,
  kCddbNoConnectReply = -14,
  kCddbConnectError = -15,
  kCddbCannotLogIn = -16,
  kCddbNoLogInReply = -17,
  kCddbLogInError = -18,
  kCddbCannotSendQuery = -19,
  kCddbNoQueryReply = -20,
  kCddbQueryError = -21,
  kCddbCannotSendRead = -22,
  kCddbNoReadReply = -23,
  kCddbReadError = -24,
  kCddbCannotReadInfo = -25,
  kCddbInvalidTrackTable = -26,
  kCddbTimedOut = -27,  // the whole lookup took longer than CddbRequest::deadline
  // Failures of a MusicBrainz lookup (MusicBrainzLookup) that CDDB has no code for.
  kMusicBrainzNoMatch = -28,       // 404, or no release with a medium for this disc
  kMusicBrainzServerError = -29,   // any other status than 200 and 404
  kMusicBrainzBadReply = -30,      // a 200 reply that is no JSON object
  kMusicBrainzReplyTooLarge = -31, // more than CddbRequest::maxReplyBytes
  kMusicBrainzTransferFailed = -32,  // the connection broke, TLS failed, ...
  kMusicBrainzTimedOut = -33,      // the lookup took longer than CddbRequest::deadline
  kCddbNoMatch = -34,              // the server knows no disc of this layout (202)
};

// The short name of a result code; empty for success and unknown codes.
std::string_view CddbResultText(int code);

// The Error of a failed lookup: `text` (CddbResultText(code) when empty), the code as
// case, the server as subject; Cancelled, Usage (a server address or track table that
// cannot be used), Io (no socket) or Network.
Error CddbFailure(CddbResult code, std::string subject = {}, std::string text = {});
// The result code of a lookup: kCddbOk, or the code its Error carries.
int CddbResultCode(const Outcome& outcome);

// Stages reported before each step: 0 connecting, 1 logging in, 2 querying, 3 reading.
enum class CddbStage : int { Connecting = 0, LoggingIn = 1, Querying = 2, Reading = 3 };
std::string_view CddbStageText(CddbStage stage);

inline constexpr std::string_view kCddbClientName = "zimbar";
inline constexpr std::string_view kCddbClientVersion = kZimbarVersion;
// The protocol level asked for: level 6 replies are UTF-8 and carry DYEAR and DGENRE.
inline constexpr int kCddbProtocolLevel = 6;
inline constexpr std::string_view kDefaultCddbUser = "zimbar";
inline constexpr std::string_view kDefaultCddbHost = "localhost";
inline constexpr std::string_view kDefaultMusicBrainzServer = "https://musicbrainz.org";

struct CddbRequest {
  MetadataSource source = MetadataSource::Cddb;
  std::string server;      // cddbp://host[:port] or http://host[:port]
  std::string socksProxy;  // host[:port] or empty
  std::string httpProxy;   // host[:port] or empty (used for http servers and MusicBrainz)
  DiscLayout disc;
  std::string user = std::string(kDefaultCddbUser);  // hello identity
  std::string host = std::string(kDefaultCddbHost);
  // Limit of the connect, of each send and of each wait for reply bytes.
  std::chrono::milliseconds timeout{30000};
  // Limit of the whole lookup, from the first connect to the end of the entry: a server
  // that sends a byte now and then keeps each wait short but must not hold the rip. The
  // time the host takes to choose among several matches does not count.
  std::chrono::milliseconds deadline{60000};
  // MusicBrainz only: the web service's base address (http:// or https://), the contact
  // the User-Agent names (an address or a web site; the project's site when empty) and
  // the largest reply read.
  std::string musicBrainzServer = std::string(kDefaultMusicBrainzServer);
  std::string musicBrainzContact;
  std::size_t maxReplyBytes = 8 * 1024 * 1024;
};

// Request of the CD window: its source, its server text, each proxy only when its box is
// checked (the HTTP proxy for an http:// CDDB server and for MusicBrainz).
CddbRequest MakeCddbRequest(const CdInfo& info, DiscLayout disc, std::string user,
                            std::string host);

// UTF-8 outputs (replies below protocol level 6, and lines that are not UTF-8, are read
// as ISO-8859-1 and converted). No output holds a control character: they are taken out
// of every reply line as it arrives (CddbReplyText).
struct CddbOutputs {
  std::string title;       // at most 127 characters
  std::string artist;      // at most 127 characters
  std::string category;    // at most 63 characters; the genre when the entry has no DGENRE
  std::string trackNames;  // one name per line, each ending with a line feed
  std::string lastReply;   // the last reply line received (at most 1024 characters)
  std::string year;        // DYEAR, empty when the entry has none
  std::string genre;       // DGENRE, empty when the entry has none
  MusicBrainzIds musicBrainz;  // the release's ids (MusicBrainz only; empty from CDDB)
};

// What the lookup asks of its caller. Called on the lookup's own thread.
class CddbLookupHost {
 public:
  virtual ~CddbLookupHost() = default;
  // Reports the start of a stage; nonzero cancels the lookup.
  virtual int CddbProgress(CddbStage stage, std::string_view text) = 0;
  // The server found several matches (a 210 list of exact or a 211 list of inexact ones,
  // at least two; CddbMatch::line shows each as "<category> <discid> <artist> / <title>").
  // Returns the index of the one to read, or -1 to cancel. By default the first.
  virtual int CddbChooseMatch(const std::vector<CddbMatch>& matches);
  // Asked about every 100 ms while the lookup waits for the network; true stops the wait
  // and the lookup ends as cancelled. By default never.
  virtual bool CddbCancelRequested();
};

// Runs the whole exchange. `outputs` is cleared first and filled as far as the exchange
// got; only success means the outputs describe the disc. A failure while a cancel is
// requested counts as kCddbCancelled, one after the deadline as kCddbTimedOut. A failure's
// text names the configured server's host and says what happened ("No match for this disc
// on gnudb.gnudb.org", "Cannot reach gnudb.gnudb.org: connection refused",
// "gnudb.gnudb.org did not answer within 30 seconds"); the server's last reply line is
// in outputs.lastReply. Never throws.
Outcome CddbLookup(const CddbRequest& request, CddbLookupHost& host, CddbOutputs& outputs);

// Puts a successful lookup's outputs into the CD information: title, artist, DGENRE as
// genre (the category when the entry has none; the genre is left as typed when both are
// empty), DYEAR as year (when the entry has none, the year is left as typed) and track
// name n from line n (rows beyond the returned names keep their names).
// The MusicBrainz ids of the outputs replace those of `info` (none after a CDDB lookup).
void ApplyCddbOutputs(const CddbOutputs& outputs, CdInfo& info);
