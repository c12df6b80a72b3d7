#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace http {

/// The host part of an authority ("name:port", "[v6]:port"): the port is
/// cut, brackets stay.
std::string_view authorityHost(std::string_view authority);

/// The host of a "Host" value or authority without its port and trailing dot.
std::string_view bareHost(std::string_view hostValue);

/// Whether `host` (without port) is an IP literal: a dotted IPv4 address of
/// four decimal parts up to 255, or a bracketed IPv6 address.
bool isIpLiteral(std::string_view host);

/// Whether a request's "Host" value (with or without port) is one this
/// server always answers to: an IP literal or "localhost" (any case, with or
/// without a trailing dot). Any other name must be one the server was given,
/// or it is one a page of a name rebound to this machine's address sends.
/// Pure; allocates nothing.
bool isAlwaysServed(std::string_view hostValue);

/// Whether a request's "Host" value names one of `names` (without trailing
/// dot), compared without regard to case and to the value's trailing dot.
/// Pure; allocates nothing.
bool namesHost(std::string_view hostValue, const std::vector<std::string>& names);

/// Whether two names are the same without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b);

} // namespace http
