#pragma once

#include "platform/UniqueFd.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace library {

/// The facts a rebuild compares of each entry of an index, kept in a file
/// of their own beside the engine's files ("facts"), in the order of the
/// index's documents: a rebuild of an unchanged tree reads this file alone
/// instead of every stored document. Each record is the path's length, the
/// attributes and the size (4 bytes each), the modification time (8 bytes),
/// least significant byte first, then the path's bytes; a trailer of the
/// record count (8 bytes) and a mark ends the file, so a file cut short or
/// of another version is known as such. An index without it is read as
/// before.

/// One entry's facts.
struct EntryFact {
    std::string_view path;
    std::uint32_t attributes = 0;
    std::uint32_t size = 0;
    std::uint64_t modified = 0;
};

/// Writes the facts file of a new index, one entry at a time, in the order
/// of its documents. Made and used by one thread.
class EntryFactsWriter {
public:
    /// Begins the file in the index folder `folder`; on failure every call
    /// does nothing and `finish` is false.
    explicit EntryFactsWriter(const std::string& folder);
    EntryFactsWriter(const EntryFactsWriter&) = delete;
    EntryFactsWriter& operator=(const EntryFactsWriter&) = delete;
    /// A writer not finished removes its file.
    ~EntryFactsWriter();

    void add(const EntryFact& fact);
    /// Writes the rest and the trailer; true when the whole file is written.
    /// Otherwise the file is removed, and the index is read without it.
    bool finish();
    /// Closes and removes the file now (the index is given up).
    void discard();

private:
    void flush();

    std::string path;
    platform::UniqueFd file;
    std::string buffer;
    std::uint64_t count = 0;
    bool failed = false;
    bool kept = false;  // finished whole
};

/// Calls `each` with the facts of every document of the index in `folder`,
/// in order; false (after calling it for none or some) when the folder has
/// no facts file, or one that is damaged, cut short or of another version.
/// Before the first, calls `sized` (when given) with the number of entries
/// the file says it holds and the bytes of their paths together, which its
/// size bears out, so that a reader can make room for them at once.
bool readEntryFacts(const std::string& folder, const std::function<void(const EntryFact&)>& each,
                    const std::function<void(std::size_t entries, std::size_t pathBytes)>& sized = {});

} // namespace library
