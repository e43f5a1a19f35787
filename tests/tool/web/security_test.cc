// The rules of the web editor's guard, each alone: loopback addresses, cookies, the Host and
// Origin checks, secrets compared whole, Basic credentials and the page tokens kept.
#include "tools/web/security.h"

#include <gtest/gtest.h>

namespace telbook {
namespace web {
namespace {

TEST(WebSecurity, LoopbackAddresses) {
  for (const char* host : {"127.0.0.1", "127.1.2.3", "localhost", "LOCALHOST", "::1", "[::1]"}) {
    EXPECT_TRUE(IsLoopbackHost(host)) << host;
  }
  for (const char* host : {"0.0.0.0", "", "128.0.0.1", "127.0.0", "127.0.0.1.5", "127.0.0.256",
                           "127.0.0.1x", "localhost.example", "::", "192.168.1.1", "127..0.1"}) {
    EXPECT_FALSE(IsLoopbackHost(host)) << host;
  }
}

TEST(WebSecurity, CookiesHostsAndOrigins) {
  EXPECT_EQ(CookieValue("a=1; telbook-80=abc; b=2", "telbook-80"), "abc");
  EXPECT_EQ(CookieValue("telbook-8080=abc", "telbook-80"), "");
  EXPECT_EQ(CookieValue("xtelbook-80=abc", "telbook-80"), "");
  EXPECT_EQ(CookieValue("", "telbook-80"), "");

  std::vector<std::string> hosts = AcceptedHosts("127.0.0.1", 8080);
  EXPECT_TRUE(HostAccepted(hosts, "127.0.0.1:8080"));
  EXPECT_TRUE(HostAccepted(hosts, "LocalHost:8080"));
  for (const char* bad :
       {"127.0.0.1", "127.0.0.1:8081", "evil.example:8080", "", "127.0.0.2:8080"}) {
    EXPECT_FALSE(HostAccepted(hosts, bad)) << bad;
  }
  EXPECT_TRUE(HostAccepted(AcceptedHosts("::1", 9), "[::1]:9"));

  EXPECT_TRUE(SameOrigin("http://127.0.0.1:8080", "127.0.0.1:8080"));
  EXPECT_FALSE(SameOrigin("https://127.0.0.1:8080", "127.0.0.1:8080"));
  EXPECT_FALSE(SameOrigin("null", "127.0.0.1:8080"));
  EXPECT_FALSE(SameOrigin("", ""));
  EXPECT_FALSE(SameOrigin("http://evil.example", "127.0.0.1:8080"));
}

TEST(WebSecurity, SecretsAndCredentials) {
  EXPECT_TRUE(SameSecret("abc", "abc"));
  EXPECT_FALSE(SameSecret("abc", "abd"));
  EXPECT_FALSE(SameSecret("abc", "abcd"));
  EXPECT_FALSE(SameSecret("abcd", "abc"));
  EXPECT_FALSE(SameSecret("", ""));  // an empty token opens nothing

  EXPECT_EQ(BasicPassword("Basic dXNlcjpzZWNyZXQgcGFzcw=="), "secret pass");  // user:secret pass
  EXPECT_EQ(BasicPassword("Basic OnB3"), "pw");                               // :pw
  EXPECT_EQ(BasicPassword("Basic dXNlcg=="), "");                             // no colon
  EXPECT_EQ(BasicPassword("Bearer abc"), "");
  EXPECT_EQ(BasicPassword("Basic !!!"), "");
}

TEST(WebSecurity, PageTokensKeepTheNewest) {
  PageTokens tokens(2);
  tokens.Add("one");
  tokens.Add("two");
  EXPECT_TRUE(tokens.Known("one"));
  tokens.Add("three");
  EXPECT_FALSE(tokens.Known("one"));
  EXPECT_TRUE(tokens.Known("two"));
  EXPECT_TRUE(tokens.Known("three"));
  EXPECT_FALSE(tokens.Known(""));
}

}  // namespace
}  // namespace web
}  // namespace telbook
