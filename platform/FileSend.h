#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace platform {

/// Sends `length` bytes of the open file `file`, from byte `offset` on, to the
/// connected socket `socket` with sendfile(2), falling back to 64 KiB reads
/// and sends where the kernel cannot pass the file to the socket itself. The
/// file's own offset is not moved. Never raises SIGPIPE. Returns the count
/// sent; it falls short when the file ended early or the socket failed, and
/// `sendFailed` (set to false first) then tells which. Any thread.
std::uint64_t sendFileRange(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed);

/// As `sendFileRange`, but never waits for room in the socket's buffer: it
/// stops with `blocked` set once the buffer is full. A file that cannot be
/// passed to the socket by the kernel is copied with waiting sends instead.
std::uint64_t sendFileAvailable(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed,
                                bool& blocked);

/// The same reads and sends without sendfile(2): the fallback, usable on
/// any descriptor `socket` that accepts send(2).
std::uint64_t sendFileBlocks(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed);

/// Reads `length` bytes of the open file `file` from byte `offset` on, one
/// block at a time, and hands each block to `send`; stops early at the
/// file's end, on a read error, or once `send` returns false. The file's own
/// offset is not moved. Returns the count of bytes `send` took. Every sender
/// that copies a file goes through here. Any thread.
std::uint64_t copyFileBlocks(int file, std::uint64_t offset, std::uint64_t length,
                             const std::function<bool(std::string_view)>& send);

/// The block size of the fallback, and of every copying file sender.
inline constexpr std::uint64_t fileBlockSize = 64 * 1024;

} // namespace platform
