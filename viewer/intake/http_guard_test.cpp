#include "viewer/intake/http_guard.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(HttpGuard, BrowserLinesAreRecognised) {
  for (const char* line :
       {"POST / HTTP/1.1", "GET /index.html HTTP/1.0\r", "PUT /x HTTP/1.1", "GET ...", "POST /",
        "PROPFIND /dav HTTP/1.1", "M-SEARCH * HTTP/1.1", "PRI * HTTP/2.0", "Host: 127.0.0.1:3502",
        "host:localhost", "HOST: evil.example\r"}) {
    EXPECT_TRUE(looksLikeHttp(line)) << line;
  }
}

TEST(HttpGuard, CommandAndSceneLinesAreNot) {
  for (const char* line :
       {"show", "load a.wrl", "setobject GET", "startdata x", "DEF Xform_a Transform {",
        "Transform { translation 1 2 3 }", "hostname", "hosts: x", "GET", "POST/ HTTP/1.1",
        "X  HTTP/1.1", "", "label Host: x"}) {
    EXPECT_FALSE(looksLikeHttp(line)) << line;
  }
}

}  // namespace
}  // namespace kestrel
