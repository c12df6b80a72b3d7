#pragma once

#include "platform/UniqueFd.h"

#include <optional>
#include <string>

namespace library {

/// The search index on disk. The index directory (the module path without
/// its extension) is shared with other things, the document root "skins"
/// among them; of it the index owns the folder "search-index" alone:
///  - "<N>" (decimal digits): one index each, written by the search engine;
///  - "current": the name of the last complete one, always replaced whole;
///  - "lock": held by the one rebuild that writes (an advisory lock, which
///    the system releases when its process dies, however it dies).
/// A rebuild writes a new generation beside the current one and switches
/// "current" to it only once it is complete, so searches meanwhile answer
/// from the last complete index. Nothing outside "search-index" is touched.
///
/// Threads: `currentIndex` on any thread; one `Rebuild` at a time per index
/// directory (a second one is refused, in this process or another).
class IndexStore {
private:
    /// Only the store can name this, so only `beginRebuild` makes a Rebuild.
    struct BeginKey {
        explicit BeginKey() = default;
    };

public:
    /// A rebuild's hold on the store; releases the lock when destroyed.
    class Rebuild {
    public:
        Rebuild(BeginKey, platform::UniqueFd lock, std::string store, std::string generation);
        Rebuild(Rebuild&&) noexcept = default;
        Rebuild& operator=(Rebuild&&) noexcept = default;

        /// The empty folder the new index goes into.
        const std::string& path() const { return folder; }
        /// Flushes the new index to disk and makes it the current one. False
        /// when "current" could not be replaced (it then still names the
        /// previous index).
        bool publish();
        /// Removes the new index's folder and what is in it; "current" is
        /// untouched.
        void discard();

    private:
        platform::UniqueFd lock;
        std::string store;
        std::string generation;
        std::string folder;
    };

    explicit IndexStore(std::string indexDirectory);

    /// The folder of the last complete index; empty when there is none.
    std::string currentIndex() const;

    /// Takes the lock, removes every generation but the current one (what
    /// killed rebuilds left, the engine's stale write locks with them, and
    /// the one the last switch replaced) and makes the new generation's
    /// folder. Nothing when the folder cannot be made or another rebuild
    /// holds the lock.
    std::optional<Rebuild> beginRebuild() const;

    /// The index directory, as given.
    const std::string& directory() const { return indexDirectory; }
    /// The folder the index owns in it.
    const std::string& storeFolder() const { return store; }

private:
    std::string currentGeneration() const;

    std::string indexDirectory;
    std::string store;
};

} // namespace library
