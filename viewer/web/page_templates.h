// Page replies: a page file of the page directory with its template tags
// filled in, or the not-found reply.
//
// Tags (expanded in HTML pages only, over the whole page, in this order):
//   <<<%i>>>            first: the page counter, "0" and seven spaces
//   <<<viz>>><<<check>>> every <<<viz>>>: the object list with check boxes
//   <<<viz>>><<<radio>>> or <<<viz>>> alone: the object list with radio buttons
//   <<<config>>>NAME␠   first: the configuration table loaded from NAME
//   <<<image>>>         every one: the current image file, "NULL" when none
//   <<<hidden>>>        first: the hidden inputs of the map box
// Safe from any thread; reads only the thread-safe parts of the context.
#pragma once

#include <string>
#include <string_view>

#include "viewer/web/web_context.h"

namespace kestrel {

struct PageReply {
  int status = 200;
  std::string contentType = "text/html";
  std::string body;
};

// Expands the tags of PAGE (see above).
std::string expandTags(std::string page, const WebContext& context);

// The reply for the page path PATH (as made by pagePath(), or the raw
// target when it was refused: REFUSED set).
PageReply getPage(const std::string& path, const WebContext& context, bool refused = false);

// The header of a reply: status line, Content-Type, Content-Length, and
// "Connection: close" when the connection ends after it.
std::string replyHeader(const PageReply& reply, bool closing);

}  // namespace kestrel
