#include "viewer/web/web_connection.h"

#include <cstdio>
#include <optional>
#include <string>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/form_commands.h"
#include "viewer/web/host_check.h"
#include "viewer/web/http_request.h"
#include "viewer/web/live/api_routes.h"
#include "viewer/web/page_templates.h"

namespace kestrel {

namespace {

void appendReply(std::string& out, const PageReply& reply, bool closing) {
  out += replyHeader(reply, closing);
  out += reply.body;
}

PageReply errorReply(int status, const char* text) {
  PageReply reply;
  reply.status = status;
  reply.body = std::string("<html><body>") + text + "</body></html>";
  return reply;
}

// A target that is long rather than missing: the request line has two
// spaces, but not both within the scanned bytes.
bool targetTooLong(std::string_view request) {
  std::string_view line = request.substr(0, request.find("\r\n"));
  size_t first = line.find(' ');
  return first != std::string_view::npos && line.find(' ', first + 1) != std::string_view::npos;
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

// The body length a POST header declares, or what came with it.
size_t bodyLengthOf(std::string_view in, size_t end, std::optional<long> declared) {
  return declared ? static_cast<size_t>(*declared) : in.size() - end;
}

// An error page, or a JSON error for the API.
PageReply refusal(bool api, int status, const char* text) {
  return api ? jsonError(status, text) : errorReply(status, text);
}

// The refusal of the POST at the front of IN, if it is refused.
std::optional<PageReply> refusePost(std::string_view in, size_t end, const WebContext& context) {
  std::string_view header = in.substr(0, end);
  std::optional<std::string> target = requestTarget(in);
  bool api = target && apiTarget(*target);
  std::optional<long> declared = contentLength(header);
  if (declared && *declared < 0) return refusal(api, 400, "Bad Content-Length");
  if (crossSiteForm(header)) {
    logLine("form from another site refused");
    return refusal(api, 403, "Forms from other sites are refused");
  }
  if (!formHostTrusted(header, context)) {
    return refusal(api, 403, "Forms for this host name are refused");
  }
  if (end + bodyLengthOf(in, end, declared) > kMaxRequestBytes) {
    logLine("request too large");
    return refusal(api, 413, "Request too large");
  }
  bool replayControl = target && target->substr(0, target->find('?')) == kReplayTarget;
  if (context.replay != nullptr && !replayControl) {
    // The scene is the journal's: nothing may change it but the replay.
    return jsonError(409, "a replay is shown: it takes no commands or forms");
  }
  return std::nullopt;
}

// Answers the ready request at the front of IN. False when the connection
// must end. A request for the push stream sets *STREAMING and is left for
// the event loop to answer; the connection then carries the stream.
bool answerOne(std::string& in, std::string& out, const WebContext& context, bool* streaming) {
  size_t end = headerEnd(in);
  std::optional<std::string> target = requestTarget(in);
  if (!target) {
    bool tooLong = targetTooLong(in);
    logLine(tooLong ? "request target too long" : "malformed request line");
    appendReply(out, tooLong ? errorReply(414, "Request target too long")
                             : errorReply(400, "Bad request"), true);
    return false;
  }
  size_t length = end;
  std::string body;
  bool post = in.compare(0, 5, "POST ") == 0;
  if (post) {
    if (std::optional<PageReply> refusal = refusePost(in, end, context)) {
      appendReply(out, *refusal, true);
      return false;
    }
    size_t bodyLength = bodyLengthOf(in, end, contentLength(std::string_view(in).substr(0, end)));
    body = in.substr(end, bodyLength);
    length += bodyLength;
  }
  std::string request = in.substr(0, length);
  in.erase(0, length);
  bool keepAlive = wantsKeepAlive(request);
  PageReply reply;
  {
    // The request's log lines reach the file together, before the reply.
    LogBatch batch;
    std::string_view method = std::string_view(request).substr(0, request.find(' '));
    if (streaming != nullptr && method == "GET" && context.live != nullptr &&
        target->substr(0, target->find('?')) == kStreamTarget) {
      *streaming = true;
      return true;
    }
    if (apiTarget(*target) && (method == "GET" || post)) {
      reply = answerApi(method, *target, body, context);
    } else if (request.compare(0, 4, "GET ") == 0) {
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
  appendReply(out, reply, !keepAlive);
  if (!keepAlive) logLine("did not got keep-alive");
  return keepAlive;
}

}  // namespace

FrontRequest frontRequest(std::string_view in) {
  size_t end = headerEnd(in);
  if (end == std::string_view::npos) {
    return in.size() >= kMaxRequestBytes ? FrontRequest::kHeaderTooLarge
                                         : FrontRequest::kIncomplete;
  }
  if (in.compare(0, 5, "POST ") != 0 || !requestTarget(in)) return FrontRequest::kReady;
  std::optional<long> declared = contentLength(in.substr(0, end));
  if (declared && *declared < 0) return FrontRequest::kReady;  // refused at once
  size_t whole = end + bodyLengthOf(in, end, declared);
  if (whole > kMaxRequestBytes) return FrontRequest::kReady;  // refused at once
  return in.size() >= whole ? FrontRequest::kReady : FrontRequest::kIncomplete;
}

bool answerRequests(std::string& in, std::string& out, const WebContext& context,
                    bool* streaming) {
  for (;;) {
    if (streaming != nullptr && *streaming) return true;
    switch (frontRequest(in)) {
      case FrontRequest::kIncomplete:
        return true;
      case FrontRequest::kHeaderTooLarge:
        logLine("request header too large");
        appendReply(out, errorReply(413, "Request too large"), true);
        return false;
      case FrontRequest::kReady:
        if (!answerOne(in, out, context, streaming)) return false;
        break;
    }
  }
}

std::string timeoutReply() {
  std::string out;
  appendReply(out, errorReply(408, "Request timeout"), true);
  return out;
}

}  // namespace kestrel
