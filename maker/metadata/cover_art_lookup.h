// Fetching a release's front cover from the Cover Art Archive over HTTP(S), with the CD
// lookups' time limits, proxies and cancel.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "common/error.h"
#include "common/tags/audio_file_tags.h"
#include "maker/metadata/cd_info.h"
#include "maker/settings/settings_table.h"

inline constexpr const char* kDefaultCoverArtServer = "https://coverartarchive.org";
// The largest image read: a front cover of 500 pixels is far smaller.
inline constexpr std::size_t kCoverArtMaxBytes = 10 * 1024 * 1024;

struct CoverArtRequest {
  std::string server = kDefaultCoverArtServer;  // http:// or https://, no trailing path
  std::string releaseId;                        // the MusicBrainz release id
  std::string httpProxy;                        // host:port or empty
  std::string socksProxy;                       // host:port or empty; wins over httpProxy
  std::chrono::milliseconds timeout{30000};     // connect, and the longest silence
  std::chrono::milliseconds deadline{60000};    // the whole transfer, redirects included
  std::size_t maxImageBytes = kCoverArtMaxBytes;
};

// The cases of a lookup's error. Each error's text says in words why there is no cover,
// naming the server's host, fit to follow "No cover art: ".
enum class CoverArtFault {
  BadRequest,  // the server address is not http(s):// or the release id is empty: Usage
  NotFound,    // the archive has no front cover of the release (404): Network
  Refused,     // another status than 200 and 404: Network
  Transfer,    // the server could not be reached, was too slow, or broke off: Network
  TooLarge,    // the image passed maxImageBytes: Format
  NotImage,    // the reply is neither JPEG nor PNG: Format
  Cancelled,   // Cancelled
};

// <server>/release/<releaseId>/front-500 ('/' ending the server dropped).
std::string CoverArtUrl(const CoverArtRequest& request);

// GET CoverArtUrl(request), following the archive's redirects (up to 3). A 200 reply is
// the cover when its first bytes are those of a JPEG (FF D8 FF) or a PNG (89 50 4E 47 0D
// 0A 1A 0A), whatever its Content-Type says; the image's type comes from those bytes.
// Reading stops once the body passes maxImageBytes (TooLarge). A failure while a cancel is
// asked is Cancelled; `cancelled` is asked about every 100 ms while the transfer waits.
// Never throws.
Expected<CoverImage> LookUpCoverArt(const CoverArtRequest& request, const std::function<bool()>& cancelled = {});

// "image/jpeg" or "image/png" for bytes that begin as one, else empty.
std::string CoverImageType(const std::string& bytes);

// The server to ask: ZIMBAR_COVERART_SERVER when it is set and not empty (a mirror, or a
// test's loopback server), else `setting`, else the default server.
std::string CoverArtServerFromEnvironment(const std::string& setting);

// The lookup of the release whose names `info` holds: the server of the CoverArtServer
// setting (or the environment's), the proxies of the CD information when their boxes are
// checked, as the MusicBrainz lookup uses them.
CoverArtRequest MakeCoverArtRequest(const SettingsTable& settings, const CdInfo& info);
