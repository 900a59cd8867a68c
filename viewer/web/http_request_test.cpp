// Request parts, page paths, content types and form decoding.
#include <gtest/gtest.h>

#include "viewer/web/form_values.h"
#include "viewer/web/http_request.h"

namespace kestrel {
namespace {

TEST(HttpRequest, TargetLiesWithinTheFirstHundredBytes) {
  EXPECT_EQ(requestTarget("GET /a.html HTTP/1.1\r\n"), "/a.html");
  EXPECT_FALSE(requestTarget("GET /a.html"));
  EXPECT_FALSE(requestTarget("GET /" + std::string(100, 'a') + " HTTP/1.1"));
}

TEST(HttpRequest, ContentLengthAndKeepAlive) {
  EXPECT_EQ(contentLength("POST / HTTP/1.1\r\ncontent-LENGTH:  12 \r\n\r\n"), 12);
  EXPECT_EQ(contentLength("POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\n"), -1);
  EXPECT_FALSE(contentLength("POST / HTTP/1.1\r\nHost: a\r\n\r\n"));
  EXPECT_TRUE(wantsKeepAlive("Connection: keep-alive"));
  EXPECT_TRUE(wantsKeepAlive("Connection: Keep-Alive"));
  EXPECT_FALSE(wantsKeepAlive("Connection: KEEP-ALIVE"));
}

TEST(HttpRequest, PagePathsStayInside) {
  EXPECT_EQ(pagePath("/"), "./kestrel.html");
  EXPECT_EQ(pagePath("/a%20b.html?x=1"), "./a b.html");
  EXPECT_EQ(pagePath("/sub/p.png"), "./sub/p.png");
  for (const char* bad : {"", "a", "/..", "/../x", "/a/..", "/%2e%2e/x", "/a//b", "//x", "/a/",
                          "/%", "/%2", "/%zz", "/%00", "/a\\b", "/%5c"}) {
    EXPECT_FALSE(pagePath(bad)) << bad;
  }
}

TEST(HttpRequest, ContentTypes) {
  EXPECT_STREQ(contentTypeFor("./a.HTML"), "text/html");
  EXPECT_STREQ(contentTypeFor("./a.jpeg"), "image/jpeg");
  EXPECT_STREQ(contentTypeFor("./a.css"), "text/css");
  EXPECT_STREQ(contentTypeFor("./a"), "application/octet-stream");
  EXPECT_EQ(htmlEscape("<a href='x'>&\""), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;");
}

TEST(FormValues, ParsesDecodesAndLooksUp) {
  FormValues form;
  form.parse("a=1&&b=x+y%21&noequals&object_ball=on&object_cube=on&c=%0a%zz");
  EXPECT_EQ(form.size(), 5u);
  EXPECT_EQ(form.lookup("b"), "x y!");
  EXPECT_EQ(form.lookup("c"), "%0a%zz");
  EXPECT_FALSE(form.lookup("noequals"));
  EXPECT_EQ(form.firstWithPrefix("object_"), "ball");
  EXPECT_EQ(form.countWithPrefix("object_"), 2);
  EXPECT_EQ(form.nthWithPrefix(1, "object_"), "cube");
  EXPECT_FALSE(form.nthWithPrefix(2, "object_"));
}

TEST(FormValues, KeepsTheFirstHundredPairs) {
  std::string body;
  for (int i = 0; i < 150; ++i) body += "f" + std::to_string(i) + "=v&";
  FormValues form;
  form.parse(body);
  EXPECT_EQ(form.size(), 100u);
  EXPECT_TRUE(form.lookup("f99"));
  EXPECT_FALSE(form.lookup("f100"));
}

}  // namespace
}  // namespace kestrel
