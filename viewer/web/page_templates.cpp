#include "viewer/web/page_templates.h"

#include <cstdio>

#include "viewer/engine/engine.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/config_table.h"
#include "viewer/web/http_request.h"
#include "viewer/web/map_region.h"
#include "viewer/web/object_list_html.h"
#include "viewer/web/page_files.h"

namespace kestrel {

namespace {

// Pages larger than this are not served: they would only be a mistake.
constexpr size_t kMaxPageBytes = 16 * 1024 * 1024;

void replaceAt(std::string& page, size_t at, size_t length, const std::string& with) {
  page.replace(at, length, with);
}

// Every "<<<viz>>>" is expanded, so that one page can carry both a radio
// and a check-box list.
void expandViz(std::string& page, const WebContext& context) {
  size_t from = 0;
  for (;;) {
    size_t at = page.find("<<<viz>>>", from);
    if (at == std::string::npos) return;
    size_t length = 9;
    std::string type = "RADIO";
    std::string_view rest(page.data() + at + 9, page.size() - at - 9);
    if (rest.substr(0, 11) == "<<<radio>>>") {
      length += 11;
    } else if (rest.substr(0, 11) == "<<<check>>>") {
      length += 11;
      type = "CHECKBOX";
    }
    std::string list = context.engine != nullptr
                           ? objectListHtml(context.engine->registry(), type)
                           : std::string("No visual objects are loaded");
    logNumber("old length: ", static_cast<long>(page.size()));
    replaceAt(page, at, length, list);
    logNumber("new length: ", static_cast<long>(page.size()));
    from = at + list.size();  // never rescans the inserted text
  }
}

void expandConfig(std::string& page, const WebContext& context) {
  size_t at = page.find("<<<config>>>");
  if (at == std::string::npos || context.config == nullptr) return;
  size_t nameStart = at + 12;
  size_t space = page.find(' ', nameStart);
  if (space == std::string::npos) {
    logLine("config tag without a file name ended by a space");
    return;
  }
  std::string name = page.substr(nameStart, space - nameStart);
  std::optional<std::string> path = pagePath("/" + name);
  if (path && name.find('\n') == std::string::npos && name.find('\r') == std::string::npos) {
    loadConfigFile(context, *path);
  } else {
    logText("config file name refused: ", name.c_str());
    context.config->clear();
  }
  replaceAt(page, at, space + 1 - at, context.config->render());
}

void expandImage(std::string& page, const WebContext& context) {
  std::string image = context.engine != nullptr ? context.engine->currentImageFile() : "";
  if (image.empty()) image = "NULL";
  // The image name carries text of posted map forms: it must not become markup.
  image = htmlEscape(image);
  size_t from = 0;
  for (;;) {
    size_t at = page.find("<<<image>>>", from);
    if (at == std::string::npos) break;
    logLine("found image tag");
    replaceAt(page, at, 11, image);
    from = at + image.size();  // never rescans the inserted text
  }
  logLine("did not find image tag");
}

}  // namespace

std::string expandTags(std::string page, const WebContext& context) {
  size_t counter = page.find("<<<%i>>>");
  if (counter != std::string::npos) page.replace(counter, 8, "0       ");
  expandViz(page, context);
  expandConfig(page, context);
  expandImage(page, context);
  size_t hidden = page.find("<<<hidden>>>");
  if (hidden != std::string::npos) {
    std::string block = context.map != nullptr ? context.map->get().hiddenBlock : "";
    page.replace(hidden, 12, block);
  }
  return page;
}

PageReply getPage(const std::string& path, const WebContext& context, bool refused) {
  std::printf("\n\nGetting page %s\n", path.c_str());
  PageReply reply;
  std::optional<std::string> text;
  if (!refused) text = readPageFile(context.root, path, context.privateFiles, kMaxPageBytes);
  if (!text) {
    reply.status = 404;
    reply.body = "<html><body>'" + htmlEscape(path) + "' not found</body></html>";
    return reply;
  }
  reply.contentType = contentTypeFor(path);
  reply.body = isHtmlPath(path) ? expandTags(std::move(*text), context) : std::move(*text);
  return reply;
}

std::string replyHeader(const PageReply& reply, bool closing) {
  const char* status = "200 OK";
  switch (reply.status) {
    case 200: break;
    case 202: status = "202 Accepted"; break;
    case 400: status = "400 Bad Request"; break;
    case 403: status = "403 Forbidden"; break;
    case 404: status = "404 Not Found"; break;
    case 408: status = "408 Request Timeout"; break;
    case 409: status = "409 Conflict"; break;
    case 413: status = "413 Content Too Large"; break;
    case 405: status = "405 Method Not Allowed"; break;
    case 414: status = "414 URI Too Long"; break;
    case 501: status = "501 Not Implemented"; break;
    case 503: status = "503 Service Unavailable"; break;
    default: status = "500 Internal Server Error"; break;
  }
  std::string header = std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " +
                       reply.contentType + "\r\nContent-Length: " +
                       std::to_string(reply.body.size()) + "\r\n";
  if (closing) header += "Connection: close\r\n";
  header += "\r\n";
  return header;
}

}  // namespace kestrel
