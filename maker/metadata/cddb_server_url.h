// CddbServerUrl: where a CDDB lookup connects, parsed from the server and proxy texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class CddbScheme { Cddbp, Http };

inline constexpr std::uint16_t kCddbpDefaultPort = 888;
inline constexpr std::uint16_t kHttpDefaultPort = 80;
inline constexpr std::uint16_t kSocksDefaultPort = 1080;

struct HostPort {
  std::string host;
  std::uint16_t port = 0;
};

struct CddbServerUrl {
  CddbScheme scheme = CddbScheme::Cddbp;
  std::string host;
  std::uint16_t port = 0;
};

// "host[:port]": a ':' ends the host and the number after it is the port; a '/' also
// ends the host part. Empty for an empty host or a port that is not a number 1 … 65535.
std::optional<HostPort> SplitHostPort(std::string_view text, std::uint16_t defaultPort);

// `server` must start with "cddbp://" or "http://" (any case). For http the connection
// goes to `httpProxy` when it is not empty. Empty for any other scheme, an empty host or a
// bad port.
std::optional<CddbServerUrl> ParseCddbServerUrl(std::string_view server,
                                                std::string_view httpProxy);
