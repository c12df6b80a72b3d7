#pragma once

#include "http/StateStore.h"

#include <string_view>

namespace http {

/// The cookies of one request, read from its "Cookie" header. Lives on the
/// stack of one request cycle.
class CookieStore : public StateStore {
public:
    /// Cuts `headerText` at every ";" and space; each part holding "=" gives
    /// a cookie (name before the first "=", value after it); a later cookie of
    /// the same name replaces an earlier one. Parts without "=" are ignored.
    explicit CookieStore(std::string_view headerText);
};

} // namespace http
