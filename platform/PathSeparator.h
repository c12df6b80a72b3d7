#pragma once

namespace platform {

/// The separator between the parts of a local path: "\" on Windows, "/"
/// elsewhere. Every local path the program makes or takes apart uses it.
#ifdef _WIN32
inline constexpr char pathSeparator = '\\';
#else
inline constexpr char pathSeparator = '/';
#endif

} // namespace platform
