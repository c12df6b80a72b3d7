#pragma once

#include <cstddef>
#include <string>

namespace library {

/// Reads at most `maxBytes` bytes from the start of the regular file `path`
/// (symbolic links followed) into `text`, replacing its content. False, with
/// `text` empty, when the path holds a NUL byte, cannot be opened or is not a
/// regular file (a directory, a device or a pipe is never read, so nothing
/// blocks or runs without end). A read error keeps what was read before it.
bool readFileHead(const std::string& path, std::size_t maxBytes, std::string& text);

} // namespace library
