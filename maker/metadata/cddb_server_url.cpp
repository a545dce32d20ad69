// Parsing of the CDDB server and proxy texts.
#include "maker/metadata/cddb_server_url.h"

#include "maker/metadata/metadata_text.h"

std::optional<HostPort> SplitHostPort(std::string_view text, std::uint16_t defaultPort) {
  const auto slash = text.find('/');
  if (slash != std::string_view::npos) text = text.substr(0, slash);
  HostPort result;
  result.port = defaultPort;
  const auto colon = text.find(':');
  result.host = std::string(text.substr(0, colon));
  if (result.host.empty()) return std::nullopt;
  if (colon == std::string_view::npos) return result;
  const auto portText = text.substr(colon + 1);
  if (portText.empty() || portText.size() > 5) return std::nullopt;
  unsigned port = 0;
  for (char c : portText) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<unsigned>(c - '0');
  }
  if (port == 0 || port > 65535) return std::nullopt;
  result.port = static_cast<std::uint16_t>(port);
  return result;
}

std::optional<CddbServerUrl> ParseCddbServerUrl(std::string_view server,
                                                std::string_view httpProxy) {
  constexpr std::string_view kCddbp = "cddbp://";
  constexpr std::string_view kHttp = "http://";
  CddbServerUrl url;
  std::string_view hostPart;
  std::uint16_t defaultPort = 0;
  if (StartsWithNoCase(server, kCddbp)) {
    url.scheme = CddbScheme::Cddbp;
    hostPart = server.substr(kCddbp.size());
    defaultPort = kCddbpDefaultPort;
  } else if (StartsWithNoCase(server, kHttp)) {
    url.scheme = CddbScheme::Http;
    hostPart = httpProxy.empty() ? server.substr(kHttp.size()) : httpProxy;
    // A proxy written as a URL ("http://proxy:3128") names the same host and port.
    if (!httpProxy.empty() && StartsWithNoCase(hostPart, kHttp)) {
      hostPart.remove_prefix(kHttp.size());
    }
    defaultPort = kHttpDefaultPort;
  } else {
    return std::nullopt;
  }
  auto hostPort = SplitHostPort(hostPart, defaultPort);
  if (!hostPort) return std::nullopt;
  url.host = std::move(hostPort->host);
  url.port = hostPort->port;
  return url;
}
