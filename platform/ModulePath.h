#pragma once

#include <string>

namespace platform {

/// Absolute path of the module (program or shared library) holding `address`,
/// for instance the address of one of its functions; empty on failure.
std::string modulePath(const void* address);

/// Absolute path of the running program; empty on failure.
std::string executablePath();

} // namespace platform
