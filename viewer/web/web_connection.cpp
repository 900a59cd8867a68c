#include "viewer/web/web_connection.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/form_commands.h"
#include "viewer/web/host_check.h"
#include "viewer/web/http_request.h"
#include "viewer/web/page_templates.h"

namespace kestrel {

namespace {

enum class Read { kOk, kClosed, kTimedOut, kTooLarge };

// A request must be complete three idle timeouts after its first byte,
// however slowly its bytes trickle in: slow senders cannot keep every
// connection slot for good.
constexpr int kDeadlineInIdleTimeouts = 3;

class RequestReader {
 public:
  RequestReader(Socket& socket, int idleTimeoutMs) : socket_(socket), timeoutMs_(idleTimeoutMs) {}

  // Receives until BUFFER holds at least WANTED bytes (at most the request
  // bound), or until it holds a header end when WANTED is 0.
  Read fill(size_t wanted) {
    using clock = std::chrono::steady_clock;
    if (buffer.empty()) started_.reset();
    for (;;) {
      if (wanted == 0 ? headerEnd(buffer) != std::string::npos : buffer.size() >= wanted) {
        return Read::kOk;
      }
      if (buffer.size() >= kMaxRequestBytes) return Read::kTooLarge;
      int timeoutMs = timeoutMs_;
      if (started_) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        *started_ + std::chrono::milliseconds(timeoutMs_) * kDeadlineInIdleTimeouts -
                        clock::now()).count();
        if (left <= 0) return Read::kTimedOut;
        timeoutMs = static_cast<int>(std::min<long long>(timeoutMs, left));
      }
      char chunk[kMaxRequestBytes + 1];
      long n = socket_.receive(chunk, kMaxRequestBytes - buffer.size(), timeoutMs);
      if (n == Socket::kTimedOut) return Read::kTimedOut;
      if (!started_) started_ = clock::now();
      if (n <= 0) return Read::kClosed;
      chunk[n] = '\0';
      logTagged(buffer.empty() ? "Received: " : "Second recv result:", n, chunk);
      buffer.append(chunk, static_cast<size_t>(n));
    }
  }

  // The front request has been taken from BUFFER: what is left, if
  // anything, starts the next one now.
  void nextRequest() {
    if (buffer.empty()) {
      started_.reset();
    } else {
      started_ = std::chrono::steady_clock::now();
    }
  }

  std::string buffer;  // received bytes not yet consumed by a request

 private:
  Socket& socket_;
  int timeoutMs_;
  std::optional<std::chrono::steady_clock::time_point> started_;  // first byte of the request
};

bool sendReply(Socket& socket, const PageReply& reply, bool closing) {
  std::string header = replyHeader(reply, closing);
  if (header.size() + reply.body.size() <= 65536) {
    // One send: a separate small header would meet the peer's delayed ACK.
    return socket.sendAll(header + reply.body);
  }
  return socket.sendAll(header) && socket.sendAll(reply.body);
}

PageReply errorReply(int status, const char* text) {
  PageReply reply;
  reply.status = status;
  reply.body = std::string("<html><body>") + text + "</body></html>";
  return reply;
}

// A target that is long rather than missing: the request line has two
// spaces, but not both within the scanned bytes.
bool targetTooLong(const std::string& request) {
  std::string line = request.substr(0, request.find("\r\n"));
  size_t first = line.find(' ');
  return first != std::string::npos && line.find(' ', first + 1) != std::string::npos;
}

PageReply pageFor(const std::string& target, const WebContext& context) {
  std::optional<std::string> path = pagePath(target);
  if (!path) {
    logText("refused page path: ", target.c_str());
    return getPage("." + target, context, true);
  }
  return getPage(*path, context);
}

// A form may change the viewer only when its Host is one the browser cannot
// have been pointed at by another site's DNS. A request without Host does
// not come from a browser and is taken as before.
bool formHostTrusted(std::string_view header, const WebContext& context) {
  std::optional<std::string_view> host = headerValue(header, "host");
  if (!host || trustedHost(*host, context.trustedHosts)) return true;
  logText("form for an untrusted host name refused: ", std::string(*host).c_str());
  return false;
}

// Serves the request at the front of the reader's buffer. False when the
// connection must end.
bool serveOne(RequestReader& reader, Socket& socket, const WebContext& context) {
  std::string& buffer = reader.buffer;
  size_t end = headerEnd(buffer);
  std::optional<std::string> target = requestTarget(buffer);
  if (!target) {
    bool tooLong = targetTooLong(buffer);
    logLine(tooLong ? "request target too long" : "malformed request line");
    sendReply(socket, tooLong ? errorReply(414, "Request target too long")
                              : errorReply(400, "Bad request"), true);
    return false;
  }
  size_t length = end;
  std::string body;
  bool post = buffer.compare(0, 5, "POST ") == 0;
  if (post) {
    std::optional<long> declared = contentLength(std::string_view(buffer).substr(0, end));
    if (declared && *declared < 0) {
      sendReply(socket, errorReply(400, "Bad Content-Length"), true);
      return false;
    }
    if (crossSiteForm(std::string_view(buffer).substr(0, end))) {
      logLine("form from another site refused");
      sendReply(socket, errorReply(403, "Forms from other sites are refused"), true);
      return false;
    }
    if (!formHostTrusted(std::string_view(buffer).substr(0, end), context)) {
      sendReply(socket, errorReply(403, "Forms for this host name are refused"), true);
      return false;
    }
    // Without a Content-Length the body is what came with the header.
    size_t bodyLength = declared ? static_cast<size_t>(*declared) : buffer.size() - end;
    if (end + bodyLength > kMaxRequestBytes) {
      logLine("request too large");
      sendReply(socket, errorReply(413, "Request too large"), true);
      return false;
    }
    Read r = reader.fill(end + bodyLength);
    if (r != Read::kOk) {
      logLine("doPost: its not done with header");
      if (r == Read::kTimedOut) sendReply(socket, errorReply(408, "Request timeout"), true);
      return false;
    }
    body = buffer.substr(end, bodyLength);
    length += bodyLength;
  }
  std::string request = buffer.substr(0, length);
  buffer.erase(0, length);
  reader.nextRequest();
  bool keepAlive = wantsKeepAlive(request);
  PageReply reply;
  {
    // The request's log lines reach the file together, before the reply.
    LogBatch batch;
    if (request.compare(0, 4, "GET ") == 0) {
      std::printf("getPage: %s\n", target->c_str());
      reply = pageFor(*target, context);
    } else if (post) {
      std::optional<std::string> path = pagePath(*target);
      doPost(path ? *path : "." + *target, body, context);
      reply = pageFor(*target, context);
    } else {
      // Any body of the request is not known to us: the connection ends
      // rather than read it as the next request.
      reply = errorReply(501, "Method not implemented");
      if (request.compare(0, 5, "HEAD ") == 0) reply.body.clear();
      keepAlive = false;
    }
  }
  if (!sendReply(socket, reply, !keepAlive)) return false;
  if (!keepAlive) logLine("did not got keep-alive");
  return keepAlive;
}

}  // namespace

void serveConnection(Socket& socket, const WebContext& context, int idleTimeoutMs,
                     const std::atomic<bool>& stopping) {
  std::printf("*********** THREAD START ***********\n");
  RequestReader reader(socket, idleTimeoutMs);
  while (!stopping.load()) {
    Read r = reader.fill(0);
    if (r == Read::kTooLarge) {
      logLine("request header too large");
      sendReply(socket, errorReply(413, "Request too large"), true);
      break;
    }
    if (r != Read::kOk) {
      if (r == Read::kTimedOut) logLine("connection idle, closed");
      break;
    }
    if (!serveOne(reader, socket, context)) break;
  }
  socket.shutdown();
  std::printf("************* THREAD END **************\n");
}

}  // namespace kestrel
