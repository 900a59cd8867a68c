// One HTTP connection of the web server: reads requests with every receive
// bounded by the 5000-byte request buffer and the idle timeout, answers GETs
// with page replies and POSTs with their form's action and the page, and
// keeps the connection while requests ask for keep-alive.
//
// Runs on its connection's thread; STOPPING is read to end early. Shuts
// the socket down at the end; closing it is the caller's.
#pragma once

#include <atomic>

#include "viewer/web/socket_layer.h"
#include "viewer/web/web_context.h"

namespace kestrel {

void serveConnection(Socket& socket, const WebContext& context, int idleTimeoutMs,
                     const std::atomic<bool>& stopping);

}  // namespace kestrel
