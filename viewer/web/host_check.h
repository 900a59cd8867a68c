// Which Host a state-changing request may name. A page of another site
// can make the user's browser send forms to this server under a name of
// its own that it later points at this machine (DNS rebinding); the
// browser then sends that name as Host and as Origin, so the same-origin
// test alone lets the form through. Such requests are accepted only for a
// Host that cannot be such a name: a loopback name or address, an address
// of this machine, or a name the user trusts (--web-host).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// The host part of a Host header value: without its port, without the
// brackets of an IPv6 address, without a trailing dot, in lower case.
std::string hostOfHeader(std::string_view value);

// True when HOST (a Host header value, port allowed) is "localhost", a
// loopback address (127.0.0.0/8, ::1), an address of one of this machine's
// interfaces now, or one of TRUSTED (names compared without regard to case).
bool trustedHost(std::string_view host, const std::vector<std::string>& trusted);

}  // namespace kestrel
