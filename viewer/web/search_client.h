// The XML-RPC search client: asks a search service for an integer for a
// text (method "rpc_search" on "/search" over HTTP/1.0) and shows the
// answer as the height of a labelled cylinder.
//
// xmlRpcStringCall() blocks its caller for at most about the endpoint's
// timeout (one deadline for connect, send and reply) and closes the connection
// after the reply. runSearch() and showSearchResult() touch the registry
// and so run on the engine thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

class Engine;
class ObjectOperations;

struct SearchEndpoint {
  std::string host = "127.0.0.1";  // dotted IPv4
  uint16_t port = 12080;
  std::string path = "/search";
  int timeoutMs = 3000;
};

// The integer after the first "<int>" in TEXT, or -1 when there is none.
long readXmlRpcInteger(std::string_view text);

// The request text (header and body) of a call of METHOD with one string
// parameter TEXT; nullopt when the body would exceed 1000 bytes.
std::optional<std::string> xmlRpcRequest(const std::string& path, const std::string& method,
                                         const std::string& text);

// Calls METHOD(TEXT) at ENDPOINT. The reply's first "<int>" value; 0 when
// the reply holds none. Nullopt (with a reason in *error) when the service
// cannot be reached or the text is too long.
std::optional<long> xmlRpcStringCall(const SearchEndpoint& endpoint, const std::string& method,
                                     const std::string& text, std::string* error);

// Shows RESULT for TEXT: selects "cylinder", labels it, scales it to
// RESULT x 1000 on y, moves it to the marker on x and z, and advances the
// current model set's instance.
void showSearchResult(ObjectOperations& objects, const std::string& text, long result);

// The Search command: logs, calls the service, shows the result. False
// (nothing changed) when the service could not be reached.
bool runSearch(Engine& engine, const SearchEndpoint& endpoint, const std::string& text);

}  // namespace kestrel
