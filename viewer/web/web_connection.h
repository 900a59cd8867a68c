// The requests of one HTTP connection as bytes: received bytes go in, reply
// bytes come out. The server's event loop receives and sends; the request
// work (pages, forms) runs on a worker with these functions, which never
// touch the socket.
//
// A request is answered once it is whole: its header (ended by an empty
// line, within the 5000-byte request bound) and, for a POST, its body of
// Content-Length bytes (without Content-Length: what came with the header).
// Requests are answered in order (pipelining); a connection is kept while
// its requests ask for keep-alive.
#pragma once

#include <string>
#include <string_view>

#include "viewer/web/web_context.h"

namespace kestrel {

enum class FrontRequest {
  kIncomplete,      // more bytes are needed
  kReady,           // can be answered now (possibly with a refusal)
  kHeaderTooLarge,  // no header end within the request bound
};

// The state of the request at the front of IN.
FrontRequest frontRequest(std::string_view in);

// True when the front request of IN has its whole header and waits for the
// rest of its body.
inline bool awaitingBody(std::string_view in) {
  return in.find("\r\n\r\n") != std::string_view::npos;
}

// Answers the requests at the front of IN while they are ready, taking each
// from IN and appending its reply to OUT. False when the connection ends
// once OUT has been sent. With STREAMING, a request for the push stream
// (live/api_routes.h) sets *STREAMING and ends the answering: the caller
// replies and the connection then carries the stream; requests behind it
// stay in IN unanswered.
bool answerRequests(std::string& in, std::string& out, const WebContext& context,
                    bool* streaming = nullptr);

// The reply to a request that did not become whole in time; the connection
// then ends.
std::string timeoutReply();

}  // namespace kestrel
