#pragma once

#include <cstddef>

namespace platform {

/// Raises this process's soft limit of open descriptors to its hard limit
/// (once a server may hold thousands of connections) and returns the soft
/// limit then in force; 0 when it cannot be read. Any thread.
std::size_t raiseDescriptorLimit();

} // namespace platform
