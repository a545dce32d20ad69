// Parsing of the CDDB server and proxy texts.
#include "maker/metadata/cddb_server_url.h"

#include <gtest/gtest.h>

namespace {

// Catches: case-sensitive scheme matching, wrong default ports, an HTTP proxy ignored or
// used for cddbp, or other schemes, empty hosts and bad ports accepted.
TEST(CddbServerUrl, SchemesPortsAndHttpProxy) {
  struct Case {
    const char* server;
    const char* proxy;
    CddbScheme scheme;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"CDDBP://example.org", "", CddbScheme::Cddbp, "example.org", 888},
      {"Http://example.org", "", CddbScheme::Http, "example.org", 80},
      {"cddbp://127.0.0.1:8880", "", CddbScheme::Cddbp, "127.0.0.1", 8880},
      {"http://example.org:80/", "127.0.0.1:3128", CddbScheme::Http, "127.0.0.1", 3128},
      {"http://example.org", "http://127.0.0.1:3128", CddbScheme::Http, "127.0.0.1", 3128},
      {"cddbp://example.org:888", "127.0.0.1:3128", CddbScheme::Cddbp, "example.org", 888},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " proxy " + c.proxy);
    const auto url = ParseCddbServerUrl(c.server, c.proxy);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme, c.scheme);
    EXPECT_EQ(url->host, c.host);
    EXPECT_EQ(url->port, c.port);
  }
  for (const char* bad : {"ftp://example.org", "example.org:888", "cddbp://", "cddbp://host:0",
                          "cddbp://host:70000", "cddbp://host:8x"}) {
    EXPECT_FALSE(ParseCddbServerUrl(bad, "")) << bad;
  }
}

// Catches: a SOCKS proxy without port not getting 1080, or a path kept in the host.
TEST(CddbServerUrl, HostPortSplitting) {
  EXPECT_EQ(SplitHostPort("proxy.local", kSocksDefaultPort).value().port, 1080);
  const auto path = SplitHostPort("host:81/~cddb", 80).value();
  EXPECT_EQ(path.host + ":" + std::to_string(path.port), "host:81");
  EXPECT_FALSE(SplitHostPort(":81", 80));
}

}  // namespace
