#pragma once

#include "platform/Files.h"

#include <string>
#include <string_view>

namespace http {

/// A file looked up below a document root.
struct RootFile {
    enum Outcome {
        opened,      // `file` is open for reading, `status` describes it
        absent,      // nothing there, not a regular file, or outside the root
        unopenable,  // a regular file inside the root that cannot be opened
    };
    Outcome outcome = absent;
    platform::UniqueFd file;
    platform::FileStatus status;
};

/// Opens the regular file `relative` ("/" between its parts; leading "/" are
/// ignored) below `documentRoot`. Symbolic links, "." and ".." count only
/// when the file they lead to lies inside the root. Plain names take one
/// system call: the root is opened once and names are resolved from it
/// without leaving it; only names holding a link or climbing above the
/// root are checked by resolving the whole path. A root removed or made
/// again is noticed at once, one renamed or replaced by a link within a
/// second. A fifo or device never blocks the open. Any thread.
RootFile openBelowRoot(const std::string& documentRoot, std::string_view relative);

/// Lets go of the descriptor kept open on `documentRoot` (if it is the one
/// kept), so that a server gone holds its folder no longer: on Windows an
/// open folder cannot be removed. The next lookup opens it again. Any thread.
void closeOpenedRoot(const std::string& documentRoot);

} // namespace http
