// The web server over real loopback sockets: pages and tags, forms, the
// refusals and bounds, keep-alive and the idle timeout.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "viewer/intake/command_queue.h"
#include "viewer/web/config_table.h"
#include "viewer/web/host_check.h"
#include "viewer/web/http_request.h"
#include "viewer/web/map_region.h"
#include "viewer/web/web_test_support.h"

namespace kestrel::testing {
namespace {

// The entries waiting in QUEUE as "code text", taken in order.
std::vector<std::string> takeAll(InternalCommandQueue& queue) {
  std::vector<std::string> out;
  while (auto entry = queue.take()) {
    out.push_back(std::to_string(entry->code) + " " + (entry->text() ? entry->text() : ""));
  }
  return out;
}

std::string post(const std::string& target, const std::string& body, bool keepAlive = false) {
  return "POST " + target + " HTTP/1.1\r\nHost: localhost\r\n" +
         (keepAlive ? "Connection: keep-alive\r\n" : "") +
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(WebServer, RootServesTheDefaultPageWithItsType) {
  WebHarness web;
  ASSERT_TRUE(web.started);
  web.dir.write("kestrel.html", "<html>hello</html>");
  std::string reply = httpRequest(web.server.port(), "GET / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 18\r\n", 0), 0u)
      << reply;
  EXPECT_EQ(bodyOf(reply), "<html>hello</html>");
}

TEST(WebServer, MissingPageIs404WithItsPath) {
  WebHarness web;
  std::string reply = httpRequest(web.server.port(), "GET /nope.html HTTP/1.1\r\n\r\n");
  EXPECT_EQ(reply.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
  EXPECT_NE(reply.find("Content-Length: 49\r\n"), std::string::npos);
  EXPECT_EQ(bodyOf(reply), "<html><body>'./nope.html' not found</body></html>");
}

TEST(WebServer, PathsOutsideThePageDirectoryAre404AndLogged) {
  WebHarness web;
  web.dir.write("secret.txt", "TOPSECRET");
  std::string inner = web.dir.path().substr(web.dir.path().rfind('/'));
  for (const std::string& target :
       {std::string("/../etc/passwd"), std::string("/a/../../etc/passwd"),
        std::string("/%2e%2e/etc/passwd"), std::string("/%2E%2E%2Fetc%2Fpasswd"),
        std::string("//etc/passwd"), std::string("/..") + inner + "/secret.txt",
        std::string("etc/passwd"), std::string("/%00x"), std::string("/a\\..\\b")}) {
    std::string reply = httpRequest(web.server.port(), "GET " + target + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reply.rfind("HTTP/1.1 404", 0), 0u) << target;
    EXPECT_EQ(reply.find("TOPSECRET"), std::string::npos) << target;
  }
  EXPECT_NE(readFile(web.dir.file("kestrel.log")).find("refused page path: "), std::string::npos);
}

TEST(WebServer, LinksOutOfThePageDirectoryAndTheViewersOwnFilesAreNotServed) {
  TempDir outside;
  outside.write("secret.txt", "TOPSECRET");
  WebHarness web(10000, 64, [](WebServerOptions& o) { o.privateFiles = {"saved.db"}; });
  web.dir.write("page.txt", "inside");
  std::filesystem::create_directory(web.dir.file("sub"));
  std::filesystem::create_symlink(outside.file("secret.txt"), web.dir.file("link.txt"));
  std::filesystem::create_directory_symlink(outside.path(), web.dir.file("out"));
  std::filesystem::create_symlink("../page.txt", web.dir.file("sub/up.txt"));
  logLine("a line of the log");
  errorLine("a line of the error log");
  web.dir.write("objects.state", "TOPSECRET");
  web.dir.write("saved.db", "TOPSECRET");
  std::filesystem::create_symlink(web.dir.file("kestrel.log"), web.dir.file("log.txt"));
  std::filesystem::create_symlink("saved.db", web.dir.file("db.txt"));
  for (const char* target : {"/link.txt", "/out/secret.txt", "/kestrel.log", "/kestrel.err",
                             "/objects.state", "/saved.db", "/log.txt", "/db.txt"}) {
    std::string reply = httpRequest(web.server.port(), std::string("GET ") + target +
                                                           " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reply.rfind("HTTP/1.1 404", 0), 0u) << target << reply;
    EXPECT_EQ(reply.find("TOPSECRET"), std::string::npos) << target;
    EXPECT_EQ(reply.find("a line of the"), std::string::npos) << target;
  }
  // A link that stays inside is followed.
  EXPECT_EQ(bodyOf(httpRequest(web.server.port(), "GET /sub/up.txt HTTP/1.1\r\n\r\n")), "inside");
  EXPECT_EQ(bodyOf(httpRequest(web.server.port(), "GET /page.txt HTTP/1.1\r\n\r\n")), "inside");
  // Nor can the settings table be read from them.
  outside.write("c.txt", "k=TOPSECRET\n");
  std::filesystem::create_symlink(outside.file("c.txt"), web.dir.file("c.txt"));
  web.dir.write("t.html", "<<<config>>>c.txt [<<<config>>>objects.state ]");
  EXPECT_EQ(bodyOf(httpRequest(web.server.port(), "GET /t.html HTTP/1.1\r\n\r\n")).find("TOPSECRET"),
            std::string::npos);
  httpRequest(web.server.port(), post("/", "kestrel_command=kestrel_config&config_file=c.txt"));
  EXPECT_EQ(configTable().size(), 0u);
}

TEST(WebServer, ContentTypeFollowsTheSuffixAndOnlyHtmlIsExpanded) {
  WebHarness web;
  web.dir.write("a.css", "body{} <<<image>>>");
  web.dir.write("p.png", std::string("\x89PNG<<<image>>>", 15));
  web.dir.write("s.js", "var x;");
  std::string css = httpRequest(web.server.port(), "GET /a.css HTTP/1.1\r\n\r\n");
  EXPECT_NE(css.find("Content-Type: text/css\r\n"), std::string::npos);
  EXPECT_EQ(bodyOf(css), "body{} <<<image>>>");
  EXPECT_NE(httpRequest(web.server.port(), "GET /p.png HTTP/1.1\r\n\r\n").find("Content-Type: image/png"),
            std::string::npos);
  EXPECT_NE(httpRequest(web.server.port(), "GET /s.js?v=2 HTTP/1.1\r\n\r\n")
                .find("Content-Type: text/javascript"),
            std::string::npos);
}

TEST(WebServer, TagsAreFilledIn) {
  WebHarness web;
  web.engine.run({kTransformTemplate, objectBlock("ball"), objectBlock("cube")});
  web.dir.write("settings.txt", "a=1\nb=2\nnoequals\n");
  web.dir.write("t.html",
                "[<<<%i>>>][<<<viz>>><<<check>>>][<<<config>>>settings.txt rest]"
                "[<<<image>>>|<<<image>>>][<<<hidden>>>]");
  mapRegion().set(MapBox{});
  std::string body = bodyOf(httpRequest(web.server.port(), "GET /t.html HTTP/1.1\r\n\r\n"));
  EXPECT_NE(body.find("[0       ]"), std::string::npos) << body;
  EXPECT_NE(body.find("<input type=\"CHECKBOX\" name=\"object_ball\">"), std::string::npos);
  EXPECT_NE(body.find("<input type=\"CHECKBOX\" name=\"object_cube\">"), std::string::npos);
  EXPECT_NE(body.find("checkAllViz"), std::string::npos);
  EXPECT_NE(body.find("<tr><td>a</td><td><input type=\"TEXT\" name=\"a\" value=\"1\"></td></tr>\n"
                      "<tr><td>b</td><td><input type=\"TEXT\" name=\"b\" value=\"2\"></td></tr>\n"
                      "</table>\nrest]"),
            std::string::npos)
      << body;
  EXPECT_NE(body.find("[NULL|NULL][]"), std::string::npos) << body;
}

TEST(WebServer, VizAloneIsRadioAndNoObjectsSaysSo) {
  WebHarness web;
  web.dir.write("r.html", "<<<viz>>>");
  EXPECT_EQ(bodyOf(httpRequest(web.server.port(), "GET /r.html HTTP/1.1\r\n\r\n")),
            "No visual objects are loaded");
  web.engine.run({kTransformTemplate, objectBlock("ball")});
  EXPECT_NE(bodyOf(httpRequest(web.server.port(), "GET /r.html HTTP/1.1\r\n\r\n"))
                .find("<input type=\"RADIO\" name=\"object_ball\">"),
            std::string::npos);
}

TEST(WebServer, LargePageIsSentWholeWithTagsAnywhere) {
  WebHarness web;
  std::string page(25000, 'x');
  page += "<<<image>>>";
  web.dir.write("big.html", page);
  std::string reply = httpRequest(web.server.port(), "GET /big.html HTTP/1.1\r\n\r\n");
  EXPECT_NE(reply.find("Content-Length: 25004\r\n"), std::string::npos);
  EXPECT_EQ(bodyOf(reply), std::string(25000, 'x') + "NULL");
}

TEST(WebServer, EmptyPageGetsAnEmptyReply) {
  WebHarness web;
  web.dir.write("empty.html", "");
  std::string reply = httpRequest(web.server.port(), "GET /empty.html HTTP/1.1\r\n\r\n");
  EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK", 0), 0u);
  EXPECT_NE(reply.find("Content-Length: 0\r\n"), std::string::npos);
}

TEST(WebServer, KeepAliveServesSeveralRequestsOnOneConnection) {
  WebHarness web;
  web.dir.write("kestrel.html", "page");
  int fd = connectLoopback(web.server.port());
  for (int i = 0; i < 3; ++i) {
    sendAll(fd, "GET / HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
    EXPECT_EQ(bodyOf(readReply(fd)), "page");
  }
  sendAll(fd, "GET / HTTP/1.1\r\nConnection: KEEP-ALIVE\r\n\r\n");
  std::string last = readReply(fd);
  EXPECT_NE(last.find("Connection: close\r\n"), std::string::npos);
  EXPECT_TRUE(peerCloses(fd, 2000));
  ::close(fd);
  EXPECT_NE(readFile(web.dir.file("kestrel.log")).find("did not got keep-alive"), std::string::npos);
}

TEST(WebServer, PipelinedRequestsAreAllAnswered) {
  WebHarness web;
  web.dir.write("a.html", "A");
  web.dir.write("b.html", "B");
  int fd = connectLoopback(web.server.port());
  sendAll(fd, "GET /a.html HTTP/1.1\r\nConnection: keep-alive\r\n\r\nGET /b.html HTTP/1.1\r\n\r\n");
  std::string replies;
  char buffer[1024];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) replies.append(buffer, static_cast<size_t>(n));
  size_t a = replies.find("\r\n\r\nA");
  EXPECT_NE(a, std::string::npos) << replies;
  EXPECT_NE(replies.find("\r\n\r\nB", a), std::string::npos) << replies;
  ::close(fd);
}

TEST(WebServer, OtherMethodsGet501AndTheConnectionEnds) {
  WebHarness web;
  web.dir.write("kestrel.html", "page");
  // Even under keep-alive: a body we cannot know the end of must not be
  // read as the next request, and HEAD's reply has no body.
  int fd = connectLoopback(web.server.port());
  ASSERT_GE(fd, 0);
  sendAll(fd, "HEAD / HTTP/1.1\r\nConnection: keep-alive\r\n\r\nGET / HTTP/1.1\r\n\r\n");
  std::string reply = readReply(fd);
  EXPECT_EQ(reply.rfind("HTTP/1.1 501", 0), 0u) << reply;
  EXPECT_EQ(bodyOf(reply), "");
  EXPECT_TRUE(peerCloses(fd, 5000));
  ::close(fd);
  std::string put = httpRequest(web.server.port(),
                                "PUT / HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
  EXPECT_EQ(put.rfind("HTTP/1.1 501", 0), 0u) << put;
  EXPECT_NE(put.find("Method not implemented"), std::string::npos);
}

TEST(WebServer, OnlyRegularFilesAreServed) {
  WebHarness web;
  ASSERT_EQ(::mkfifo(web.dir.file("pipe.html").c_str(), 0644), 0);
  std::filesystem::create_directory(web.dir.file("sub.html"));
  for (const char* target : {"/pipe.html", "/sub.html"}) {
    std::string reply = httpRequest(web.server.port(), std::string("GET ") + target +
                                                           " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reply.rfind("HTTP/1.1 404", 0), 0u) << target << reply;
  }
}

TEST(WebServer, ObjectNamesAndTheImageNameCannotBecomeMarkup) {
  WebHarness web;
  web.engine.run({kTransformTemplate, objectBlock("a<b>&c")});
  for (int i = 0; i < 150; ++i) web.engine.run({objectBlock("object" + std::to_string(i))});
  web.engine.engine.setCurrentImageFile("c:/x/<script>y.GIF");
  web.dir.write("t.html", "[<<<viz>>><<<check>>>][<<<image>>>]end");
  std::string body = bodyOf(httpRequest(web.server.port(), "GET /t.html HTTP/1.1\r\n\r\n"));
  EXPECT_NE(body.find("name=\"object_a&lt;b&gt;&amp;c\">a&lt;b&gt;&amp;c<br>"),
            std::string::npos)
      << body.substr(0, 400);
  EXPECT_NE(body.find("elements[\"object_a\\x3cb\\x3e\\x26c\"]"), std::string::npos);
  EXPECT_NE(body.find("[c:/x/&lt;script&gt;y.GIF]"), std::string::npos);
  EXPECT_EQ(body.find("<b>"), std::string::npos);
  // A long list is never cut: the script closes and the page goes on.
  EXPECT_NE(body.find("document.vizForm.object_object149.checked = false;\n}\n\n</script>\n]"),
            std::string::npos);
  EXPECT_EQ(body.substr(body.size() - 3), "end");
}

TEST(WebServer, MalformedAndOversizedRequestsAreRefused) {
  WebHarness web;
  EXPECT_EQ(httpRequest(web.server.port(), "GARBAGE\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
  std::string longTarget = "GET /" + std::string(120, 'a') + ".html HTTP/1.1\r\n\r\n";
  EXPECT_EQ(httpRequest(web.server.port(), longTarget).rfind("HTTP/1.1 414", 0), 0u);
  std::string huge = "GET / HTTP/1.1\r\nX: " + std::string(6000, 'y') + "\r\n\r\n";
  EXPECT_EQ(httpRequest(web.server.port(), huge).rfind("HTTP/1.1 413", 0), 0u);
  std::string bigBody = "POST / HTTP/1.1\r\nContent-Length: 9000\r\n\r\nx=1";
  EXPECT_EQ(httpRequest(web.server.port(), bigBody).rfind("HTTP/1.1 413", 0), 0u);
  EXPECT_EQ(httpRequest(web.server.port(), "POST / HTTP/1.1\r\nContent-Length: -3\r\n\r\n")
                .rfind("HTTP/1.1 400", 0),
            0u);
}

TEST(WebServer, AClientThatGoesOnSendingAfterARefusalIsNotReset) {
  // The server stops reading at the request bound. Were the connection
  // closed with bytes unread or still arriving, it would be reset, and a
  // distant client could lose the 413 reply still on its way.
  WebHarness web;
  int fd = connectLoopback(web.server.port());
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(sendAll(fd, "GET / HTTP/1.1\r\nX: " + std::string(20000, 'y')));
  std::string reply = readReply(fd);
  EXPECT_EQ(reply.rfind("HTTP/1.1 413", 0), 0u) << reply.substr(0, 100);
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(sendAll(fd, std::string(1000, 'z'))) << i;
  }
  EXPECT_TRUE(peerCloses(fd, 4000));  // an orderly end, not a reset
  ::close(fd);
}

TEST(WebServer, SilentConnectionIsClosedAfterTheIdleTimeout) {
  WebHarness web(300);
  int fd = connectLoopback(web.server.port());
  EXPECT_TRUE(peerCloses(fd, 3000));
  ::close(fd);
}

TEST(WebServer, ARequestTricklingInIsCutOffAtItsDeadline) {
  WebHarness web(300);  // idle timeout 300 ms: a request gets 900 ms
  web.dir.write("kestrel.html", "page");
  int fd = connectLoopback(web.server.port());
  ASSERT_GE(fd, 0);
  auto start = std::chrono::steady_clock::now();
  bool closed = false;
  for (char c : std::string("GET / HTTP/1.1\r\nX-Slow: ") + std::string(40, 'x')) {
    if (::send(fd, &c, 1, MSG_NOSIGNAL) != 1) {
      closed = true;
      break;
    }
    if (peerCloses(fd, 100)) {
      closed = true;
      break;
    }
  }
  EXPECT_TRUE(closed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  ::close(fd);
}

TEST(WebServer, AHeaderMustBeWholeWithinTheRequestDeadline) {
  // Bytes every 100 ms keep the idle timeout away; the deadline still
  // ends the request, and a GET on another connection is served meanwhile.
  WebHarness web(10000, 64, [](WebServerOptions& o) { o.requestDeadlineMs = 600; });
  web.dir.write("kestrel.html", "page");
  int fd = connectLoopback(web.server.port());
  ASSERT_GE(fd, 0);
  auto start = std::chrono::steady_clock::now();
  bool closed = false;
  for (int i = 0; i < 40 && !closed; ++i) {
    closed = ::send(fd, "x", 1, MSG_NOSIGNAL) != 1 || peerCloses(fd, 100);
    if (i == 2) {
      EXPECT_EQ(bodyOf(httpRequest(web.server.port(), "GET / HTTP/1.1\r\n\r\n")), "page");
    }
  }
  EXPECT_TRUE(closed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  ::close(fd);
  EXPECT_NE(readFile(web.dir.file("kestrel.log")).find("request header not whole in time, closed"),
            std::string::npos);
}

TEST(WebForms, FormsFromOtherSitesAreRefused) {
  WebHarness web;
  web.dir.write("kestrel.html", "page");
  std::string body = "kestrel_command=direct_command&direct_to_kestrel=hide";
  auto formFrom = [&](const std::string& origin) {
    return "POST / HTTP/1.1\r\nHost: 127.0.0.1:3504\r\n" + origin +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  std::string refused = httpRequest(web.server.port(), formFrom("Origin: http://evil.example\r\n"));
  EXPECT_EQ(refused.rfind("HTTP/1.1 403", 0), 0u) << refused;
  EXPECT_TRUE(takeAll(web.engine.primary).empty());
  for (const char* own : {"Origin: http://127.0.0.1:3504\r\n", ""}) {
    EXPECT_EQ(bodyOf(httpRequest(web.server.port(), formFrom(own))), "page") << own;
  }
  EXPECT_EQ(takeAll(web.engine.primary).size(), 2u);
  EXPECT_EQ(headerValue("GET / HTTP/1.1\r\nHOST:  a:1 \r\n\r\n", "host"), "a:1");
  EXPECT_FALSE(headerValue("GET / HTTP/1.1\r\nHostile: a\r\n\r\n", "host"));
}

TEST(WebForms, FormsForAForeignHostNameAreRefused) {
  // A page of evil.example whose name now leads to this machine: its form
  // carries that name as Host and as Origin.
  WebHarness web(10000, 64, [](WebServerOptions& o) { o.trustedHosts = {"Viewer.Lan"}; });
  web.dir.write("kestrel.html", "page");
  std::string body = "kestrel_command=direct_command&direct_to_kestrel=hide";
  std::string port = std::to_string(web.server.port());
  auto formFor = [&](const std::string& host) {
    return "POST / HTTP/1.1\r\nHost: " + host + "\r\nOrigin: http://" + host +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  for (const std::string& foreign : {"evil.example:" + port, std::string("evil.example"),
                                     "localhost.evil.example:" + port, "127.0.0.1.evil:" + port,
                                     "[::2]:" + port}) {
    std::string reply = httpRequest(web.server.port(), formFor(foreign));
    EXPECT_EQ(reply.rfind("HTTP/1.1 403", 0), 0u) << foreign << reply;
  }
  EXPECT_TRUE(takeAll(web.engine.primary).empty());
  EXPECT_NE(readFile(web.dir.file("kestrel.log"))
                .find("form for an untrusted host name refused:  \"evil.example:" + port + "\""),
            std::string::npos);
  // Reading pages stays open to every name.
  EXPECT_EQ(bodyOf(httpRequest(web.server.port(), "GET / HTTP/1.1\r\nHost: evil.example\r\n\r\n")),
            "page");

  std::vector<std::string> own = {"localhost:" + port, "LOCALHOST", "127.0.0.1:" + port,
                                  "127.8.9.10", "[::1]:" + port, "viewer.lan:" + port,
                                  "viewer.lan."};
  ifaddrs* list = nullptr;
  ASSERT_EQ(::getifaddrs(&list), 0);
  for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN];
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text);
    own.push_back(std::string(text) + ":" + port);
  }
  ::freeifaddrs(list);
  for (const std::string& host : own) {
    EXPECT_EQ(bodyOf(httpRequest(web.server.port(), formFor(host))), "page") << host;
  }
  EXPECT_EQ(takeAll(web.engine.primary).size(), own.size());
  EXPECT_EQ(hostOfHeader("[::FFFF:127.0.0.1]:80"), "::ffff:127.0.0.1");
  EXPECT_TRUE(trustedHost("[::ffff:127.0.0.1]:80", {}));
  EXPECT_FALSE(trustedHost("[::1", {}));
  EXPECT_FALSE(trustedHost("", {}));
}

// The reply to a GET of / sent to ADDRESS:PORT, "" when it cannot connect.
std::string getRootAt(const std::string& address, uint16_t port) {
  SocketClient client(address, port);
  std::string error;
  if (!client.connect(2000, &error)) return "";
  ::fcntl(client.socket().fd(), F_SETFL, 0);  // readReply waits in recv
  sendAll(client.socket().fd(), "GET / HTTP/1.1\r\n\r\n");
  return bodyOf(readReply(client.socket().fd()));
}

TEST(WebServer, ListensOnItsBindAddressOnly) {
  WebHarness bound(10000, 64, [](WebServerOptions& o) { o.bindAddress = "127.0.0.2"; });
  ASSERT_TRUE(bound.started);
  bound.dir.write("kestrel.html", "bound");
  EXPECT_EQ(getRootAt("127.0.0.2", bound.server.port()), "bound");
  EXPECT_EQ(getRootAt("127.0.0.1", bound.server.port()), "");
  WebHarness everywhere(10000, 64, [](WebServerOptions& o) { o.bindAddress = ""; });
  ASSERT_TRUE(everywhere.started);
  everywhere.dir.write("kestrel.html", "everywhere");
  EXPECT_EQ(getRootAt("127.0.0.1", everywhere.server.port()), "everywhere");
  EXPECT_EQ(getRootAt("127.0.0.2", everywhere.server.port()), "everywhere");
  WebServer wrong;
  std::string error;
  WebServerOptions options;
  options.bindAddress = "localhost";
  EXPECT_FALSE(wrong.start(0, bound.engine.engine, options, &error));
  EXPECT_NE(error.find("localhost"), std::string::npos);
}

TEST(WebServer, ConnectionsAreBoundedAndLaterOnesWait) {
  WebHarness web(10000, 2);
  web.dir.write("kestrel.html", "ok");
  int a = connectLoopback(web.server.port());
  int b = connectLoopback(web.server.port());
  ASSERT_TRUE(waitFor([&] { return web.server.activeConnections() == 2; }));
  int c = connectLoopback(web.server.port());
  sendAll(c, "GET / HTTP/1.1\r\n\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(web.server.activeConnections(), 2);
  ::close(a);  // frees a slot: the waiting connection is served
  EXPECT_EQ(bodyOf(readReply(c)), "ok");
  ::close(b);
  ::close(c);
}

TEST(WebServer, SlowClientsDoNotKeepOthersOut) {
  WebHarness web(10000, WebServerOptions{}.maxConnections);
  web.dir.write("kestrel.html", "page");
  std::vector<int> slow;
  for (int i = 0; i < 200; ++i) {
    int fd = connectLoopback(web.server.port());
    ASSERT_GE(fd, 0);
    sendAll(fd, "G");
    slow.push_back(fd);
  }
  ASSERT_TRUE(waitFor([&] { return web.server.activeConnections() == 200; }));
  for (int fd : slow) sendAll(fd, "E");  // a header trickling in
  EXPECT_EQ(bodyOf(httpRequest(web.server.port(), "GET / HTTP/1.1\r\n\r\n")), "page");
  // The slow ones hang on meanwhile, and are answered once whole.
  EXPECT_GE(web.server.activeConnections(), 200);
  sendAll(slow.front(), "T / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(bodyOf(readReply(slow.front())), "page");
  for (int fd : slow) ::close(fd);
}

TEST(WebServer, ConnectionsFromOneAddressAreBounded) {
  WebHarness web(10000, 64, [](WebServerOptions& o) { o.maxPerAddress = 3; });
  web.dir.write("kestrel.html", "ok");
  std::vector<int> held;
  for (int i = 0; i < 3; ++i) held.push_back(connectLoopback(web.server.port()));
  ASSERT_TRUE(waitFor([&] { return web.server.activeConnections() == 3; }));
  int refused = connectLoopback(web.server.port());
  EXPECT_TRUE(peerCloses(refused, 2000));
  ::close(refused);
  ::close(held.back());
  held.pop_back();
  ASSERT_TRUE(waitFor([&] { return web.server.activeConnections() == 2; }));
  EXPECT_EQ(bodyOf(httpRequest(web.server.port(), "GET / HTTP/1.1\r\n\r\n")), "ok");
  for (int fd : held) ::close(fd);
  EXPECT_NE(readFile(web.dir.file("kestrel.log")).find("too many web connections from one address"),
            std::string::npos);
}

TEST(WebServer, StopEndsOpenConnections) {
  auto web = std::make_unique<WebHarness>();
  int fd = connectLoopback(web->server.port());
  ASSERT_TRUE(waitFor([&] { return web->server.activeConnections() == 1; }));
  web->server.stop();
  EXPECT_TRUE(peerCloses(fd, 2000));
  ::close(fd);
}

TEST(WebForms, DirectCommandIsDecodedAndQueued) {
  WebHarness web;
  web.dir.write("kestrel.html", "page");
  std::string reply = httpRequest(
      web.server.port(),
      post("/", "kestrel_command=direct_command&direct_to_kestrel=load+c%3A%2Fscenes%2Fa.wrl"));
  EXPECT_EQ(bodyOf(reply), "page");
  EXPECT_EQ(takeAll(web.engine.primary), std::vector<std::string>{"0 c:/scenes/a.wrl"});
}

TEST(WebForms, APostWithoutContentLengthTakesWhatCameWithItsHeader) {
  WebHarness web;
  web.dir.write("kestrel.html", "page");
  std::string reply = httpRequest(web.server.port(),
                                  "POST / HTTP/1.0\r\n\r\nkestrel_command=direct_command&"
                                  "direct_to_kestrel=setobject+ball");
  EXPECT_EQ(bodyOf(reply), "page");
  EXPECT_EQ(takeAll(web.engine.primary), std::vector<std::string>{"61 ball"});
}

TEST(WebForms, DirectCommandTooLongIsRefused) {
  WebHarness web;
  std::string line = "setobject " + std::string(295, 'a');
  httpRequest(web.server.port(), post("/", "kestrel_command=direct_command&direct_to_kestrel=" + line));
  EXPECT_TRUE(takeAll(web.engine.primary).empty());
}

TEST(WebForms, PropertyByObjectTriples) {
  WebHarness web;
  httpRequest(web.server.port(),
              post("/", "kestrel_command=viz_command_set&object_ball=on&object_cube=on&"
                        "property_color=on&color=red"));
  EXPECT_EQ(takeAll(web.engine.primary),
            (std::vector<std::string>{"61 ball", "62 color", "63 red", "61 cube", "62 color",
                                      "63 red"}));
  httpRequest(web.server.port(),
              post("/", "kestrel_command=viz_command_set&object_ball=on&object_cube=on&"
                        "property_color=on"));
  EXPECT_TRUE(takeAll(web.engine.primary).empty());
  std::string log = readFile(web.dir.file("kestrel.log"));
  size_t first = log.find("did not get object/property/value");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(log.find("did not get object/property/value", first + 1), std::string::npos);
}

TEST(WebForms, OneTripleAndItsBounds) {
  WebHarness web;
  httpRequest(web.server.port(),
              post("/", "kestrel_command=viz_command&object_ball=on&property=transparency&value=32767"));
  EXPECT_EQ(takeAll(web.engine.primary),
            (std::vector<std::string>{"61 ball", "62 transparency", "63 32767"}));
  httpRequest(web.server.port(), post("/", "kestrel_command=viz_command&object_" +
                                               std::string(95, 'b') + "=on&property=p&value=1"));
  EXPECT_TRUE(takeAll(web.engine.primary).empty());
}

TEST(WebForms, BodyInALaterSegmentIsWaitedFor) {
  WebHarness web;
  std::string body = "kestrel_command=viz_command&object_ball=on&property=p&value=7";
  std::string request = post("/", body);
  int fd = connectLoopback(web.server.port());
  sendAll(fd, request.substr(0, request.size() - body.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  sendAll(fd, body.substr(0, 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  sendAll(fd, body.substr(10));
  readReply(fd);
  ::close(fd);
  EXPECT_EQ(takeAll(web.engine.primary), (std::vector<std::string>{"61 ball", "62 p", "63 7"}));
}

TEST(WebForms, MapFormsSetTheRegionAndImage) {
  WebHarness web;
  std::string fields =
      "&whichMap=west&boxX=600&boxY=300&boxWidth=30&boxHeight=45&boxLatitude=N+50.0&"
      "boxLongitude=W+120.0";
  httpRequest(web.server.port(), post("/", "kestrel_command=generate_html_map" + fields));
  EXPECT_TRUE(takeAll(web.engine.primary).empty());
  MapBox box = mapRegion().get();
  EXPECT_NEAR(box.latitudeStart, 50.0, 1e-4);
  EXPECT_NEAR(box.latitudeEnd, 47.0, 1e-3);
  EXPECT_NEAR(box.longitudeStart, 120.0, 1e-4);
  EXPECT_NEAR(box.longitudeEnd, 118.0, 1e-3);
  EXPECT_EQ(box.hiddenBlock,
            "<input type=\"hidden\" name=\"x1\" value=\"0\">\n<input type=\"hidden\" name=\"y1\" "
            "value=\"0\">\n<input type=\"hidden\" name=\"x2\" value=\"10\">\n<input "
            "type=\"hidden\" name=\"y2\" value=\"-15\">\n");
  EXPECT_EQ(web.engine.engine.currentImageFile(), "c:/corvid/render/generated/west_600_300_30_45.GIF");
  httpRequest(web.server.port(), post("/", "kestrel_command=generate_map" + fields));
  EXPECT_EQ(takeAll(web.engine.primary), std::vector<std::string>{"1 west"});
  httpRequest(web.server.port(), post("/", "kestrel_command=generate_map&whichMap=x"));
  EXPECT_TRUE(takeAll(web.engine.primary).empty());
  httpRequest(web.server.port(),
              post("/", "kestrel_command=generate_html_map&whichMap=..%2F..%2Fx&boxX=0&boxY=-5&"
                        "boxWidth=0&boxHeight=0&boxLatitude=S+1&boxLongitude=E+1"));
  EXPECT_EQ(web.engine.engine.currentImageFile(), "c:/corvid/render/generated/.._.._x_0_-5_0_0.GIF");
  EXPECT_NE(mapRegion().get().hiddenBlock.find("name=\"y1\" value=\"101\""), std::string::npos);
}

TEST(WebForms, ConfigReloadAndRestoreAll) {
  WebHarness web;
  web.dir.write("c.txt", "k=v\n");
  httpRequest(web.server.port(), post("/", "kestrel_command=kestrel_config&config_file=c.txt"));
  EXPECT_EQ(configTable().size(), 1u);
  httpRequest(web.server.port(), post("/", "kestrel_command=kestrel_config&config_file=..%2Fc.txt"));
  EXPECT_EQ(configTable().size(), 0u);

  web.engine.run({kTransformTemplate, objectBlock("ball"), "setobject ball", "setproperty xscale",
                  "setvalue 43690"});
  EXPECT_FLOAT_EQ(web.engine.scale("ball").x, 2.0f);
  httpRequest(web.server.port(), post("/", "kestrel_command=viz_command_reset"));
  EXPECT_EQ(web.server.tasks().pending(), 1u);
  EXPECT_EQ(web.server.runEngineTasks(web.engine.engine), 1u);
  EXPECT_FLOAT_EQ(web.engine.scale("ball").x, 1.0f);
}

TEST(WebForms, ManyConnectionsPostAtOnce) {
  WebHarness web;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&web, t] {
      for (int i = 0; i < 5; ++i) {
        httpRequest(web.server.port(),
                    post("/", "kestrel_command=generate_html_map&whichMap=m" + std::to_string(t) +
                                  "&boxX=3&boxY=3&boxWidth=3&boxHeight=3&boxLatitude=N+1&"
                                  "boxLongitude=W+1"));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mapRegion().get().width, 3);
}

}  // namespace
}  // namespace kestrel::testing

namespace kestrel::testing {
namespace {

TEST(ControlPage, BundledPageIsServedWithEveryTagFilledIn) {
  WebHarness web;
  web.dir.write("kestrel.html", readFile(sourcePath("share/kestrel/kestrel.html")));
  web.dir.write("kestrel.settings", "speed=3\n");
  web.engine.run({kTransformTemplate, objectBlock("ball")});
  std::string body = bodyOf(httpRequest(web.server.port(), "GET / HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(body.find("<<<"), std::string::npos);
  for (const char* part : {"name=\"object_ball\"", "value=\"viz_command\"", "value=\"viz_command_set\"",
                           "value=\"direct_command\"", "value=\"kestrel_config\"",
                           "value=\"viz_command_reset\"", "value=\"generate_map\"",
                           "name=\"speed\" value=\"3\"", "/snapshot.png"}) {
    EXPECT_NE(body.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace kestrel::testing
