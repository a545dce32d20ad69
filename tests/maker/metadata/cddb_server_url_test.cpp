// Parsing of the CDDB server and proxy texts.
#include "maker/metadata/cddb_server_url.h"

#include <gtest/gtest.h>

namespace {

// Catches: case-sensitive scheme matching or wrong default ports.
TEST(CddbServerUrl, SchemesAnyCaseWithDefaultPorts) {
  auto cddbp = ParseCddbServerUrl("CDDBP://example.org", "");
  ASSERT_TRUE(cddbp);
  EXPECT_EQ(cddbp->scheme, CddbScheme::Cddbp);
  EXPECT_EQ(cddbp->host, "example.org");
  EXPECT_EQ(cddbp->port, 888);
  auto http = ParseCddbServerUrl("Http://example.org", "");
  ASSERT_TRUE(http);
  EXPECT_EQ(http->scheme, CddbScheme::Http);
  EXPECT_EQ(http->port, 80);
  auto withPort = ParseCddbServerUrl("cddbp://127.0.0.1:8880", "");
  ASSERT_TRUE(withPort);
  EXPECT_EQ(withPort->host, "127.0.0.1");
  EXPECT_EQ(withPort->port, 8880);
}

// Catches: other schemes, empty hosts or bad ports accepted.
TEST(CddbServerUrl, OtherSchemesAndBadAddressesAreRejected) {
  EXPECT_FALSE(ParseCddbServerUrl("ftp://example.org", ""));
  EXPECT_FALSE(ParseCddbServerUrl("example.org:888", ""));
  EXPECT_FALSE(ParseCddbServerUrl("cddbp://", ""));
  EXPECT_FALSE(ParseCddbServerUrl("cddbp://host:0", ""));
  EXPECT_FALSE(ParseCddbServerUrl("cddbp://host:70000", ""));
  EXPECT_FALSE(ParseCddbServerUrl("cddbp://host:8x", ""));
}

// Catches: an HTTP proxy ignored, or used for cddbp.
TEST(CddbServerUrl, HttpProxyReplacesTheHttpServerOnly) {
  auto http = ParseCddbServerUrl("http://example.org:80/", "127.0.0.1:3128");
  ASSERT_TRUE(http);
  EXPECT_EQ(http->host, "127.0.0.1");
  EXPECT_EQ(http->port, 3128);
  auto asUrl = ParseCddbServerUrl("http://example.org", "http://127.0.0.1:3128");
  ASSERT_TRUE(asUrl);
  EXPECT_EQ(asUrl->host, "127.0.0.1");
  EXPECT_EQ(asUrl->port, 3128);
  auto cddbp = ParseCddbServerUrl("cddbp://example.org:888", "127.0.0.1:3128");
  ASSERT_TRUE(cddbp);
  EXPECT_EQ(cddbp->host, "example.org");
}

// Catches: a SOCKS proxy without port not getting 1080, or a path kept in the host.
TEST(CddbServerUrl, HostPortSplitting) {
  auto socks = SplitHostPort("proxy.local", kSocksDefaultPort);
  ASSERT_TRUE(socks);
  EXPECT_EQ(socks->port, 1080);
  auto path = SplitHostPort("host:81/~cddb", 80);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->host, "host");
  EXPECT_EQ(path->port, 81);
  EXPECT_FALSE(SplitHostPort(":81", 80));
}

}  // namespace
