#include "viewer/web/search_client.h"

#include <algorithm>
#include <limits>

#include <chrono>
#include <cstdlib>

#include "viewer/engine/engine.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/socket_layer.h"

namespace kestrel {

namespace {

constexpr size_t kMaxBody = 1000;
constexpr size_t kMaxReply = 65536;

std::string xmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

}  // namespace

long readXmlRpcInteger(std::string_view text) {
  size_t at = text.find("<int>");
  if (at == std::string_view::npos) return -1;
  std::string digits(text.substr(at + 5, 24));
  return std::strtol(digits.c_str(), nullptr, 10);
}

std::optional<std::string> xmlRpcRequest(const std::string& path, const std::string& method,
                                         const std::string& text) {
  std::string body = "<?xml version='1.0'?>\n<methodCall>\n<methodName>" + method +
                     "</methodName>\n<params>\n<param>\n<value><string>" + xmlEscape(text) +
                     "</string></value>\n</param>\n</params>\n</methodCall>\n";
  if (body.size() > kMaxBody) return std::nullopt;
  std::string header = "POST " + path +
                       " HTTP/1.0\r\nHost: nomatter\r\nUser-Agent: kestrel-xmlrpc/1.0\r\n"
                       "Content-Type: text/xml\r\nContent-Length: " +
                       std::to_string(body.size()) + "\r\n\r\n";
  return header + body;
}

std::optional<long> xmlRpcStringCall(const SearchEndpoint& endpoint, const std::string& method,
                                     const std::string& text, std::string* error) {
  std::optional<std::string> request = xmlRpcRequest(endpoint.path, method, text);
  if (!request) {
    *error = "search text too long";
    return std::nullopt;
  }
  // One deadline for the whole call (connect, send and reply), so that the
  // window waits at most the endpoint's timeout, however the service stalls.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(endpoint.timeoutMs);
  auto msLeft = [&] {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 1));
  };
  SocketClient client(endpoint.host, endpoint.port);
  if (!client.connect(msLeft(), error)) return std::nullopt;
  if (!client.socket().sendAll(*request, msLeft())) {
    *error = "search request could not be sent";
    return std::nullopt;
  }
  // The whole reply is gathered, so an "<int>" cut between pieces still
  // counts.
  std::string reply;
  char piece[1000];
  bool answered = false;  // an integer arrived, or the service ended its reply
  while (reply.size() < kMaxReply) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    long n = client.socket().receive(piece, sizeof piece - 1, static_cast<int>(left));
    if (n == 0) answered = true;
    if (n <= 0) break;
    reply.append(piece, static_cast<size_t>(n));
    size_t at = reply.find("<int>");
    if (at != std::string::npos && reply.find('<', at + 5) != std::string::npos) {
      answered = true;
      break;
    }
  }
  client.socket().close();
  // A service that fell silent or failed mid-reply gave no answer: that is
  // not a result of 0.
  if (!answered && reply.size() < kMaxReply) {
    *error = "no complete reply from the search service within " +
             std::to_string(endpoint.timeoutMs) + " ms";
    return std::nullopt;
  }
  long value = readXmlRpcInteger(reply);
  return value == -1 && reply.find("<int>") == std::string::npos ? 0 : value;
}

void showSearchResult(ObjectOperations& objects, const std::string& text, long result) {
  objects.selectObject("cylinder");
  if (VisualObject* object = objects.registry().currentObject()) {
    object->setInfoText(text);
    // The "yscale" rule of setValue, without its model-set notification;
    // the value is an int there, so a huge answer is held at its range.
    long long scaled = std::clamp<long long>(static_cast<long long>(result) * 1000,
                                             std::numeric_limits<int>::min(),
                                             std::numeric_limits<int>::max());
    objects.setCurrentScale(1, static_cast<int>(scaled));
  }
  objects.markToMarker(0);
  objects.markToMarker(2);
  if (ModelSet* set = objects.modelSets().current(); set != nullptr && set->instanceCount > 0) {
    set->currentInstance = (set->currentInstance + 1) % set->instanceCount;
  }
}

bool runSearch(Engine& engine, const SearchEndpoint& endpoint, const std::string& text) {
  logText("supposed to search for: ", text.c_str());
  std::string error;
  std::optional<long> result = xmlRpcStringCall(endpoint, "rpc_search", text, &error);
  if (!result) {
    errorLine(("search: " + error).c_str());
    return false;
  }
  logNumber("Result of search is:", *result);
  showSearchResult(engine.operations(), text, *result);
  return true;
}

}  // namespace kestrel
