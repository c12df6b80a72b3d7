#pragma once

#include "library/Indexer.h"
#include "library/LibraryEntry.h"
#include "library/LibrarySearch.h"
#include "library/TempTree.h"
#include "threading/Callback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace librarytest {

/// Runs `body` for every tenth entry a rebuild indexes, on the indexing
/// thread, while subscribed to `indexer`'s progress.
class ProgressObserver {
public:
    using Body = std::function<void(const library::LibraryEntry&)>;

    ProgressObserver(library::Indexer& indexer, Body body) : indexer(&indexer), body(std::move(body))
    {
        indexer.onProgress.add(&callback);
    }
    ~ProgressObserver()
    {
        if (indexer != nullptr)
            indexer->onProgress.remove(&callback);
    }
    /// For an indexer destroyed while observed.
    void forgetIndexer() { indexer = nullptr; }

private:
    std::intptr_t onProgress(threading::CallbackArgument argument)
    {
        body(*reinterpret_cast<const library::LibraryEntry*>(argument));
        return 0;
    }

    library::Indexer* indexer;
    Body body;
    threading::Callback<ProgressObserver> callback{this, &ProgressObserver::onProgress};
};

/// Starts a rebuild and waits for its thread to end; false when it did not start.
inline bool rebuild(library::Indexer& indexer)
{
    if (!indexer.start())
        return false;
    indexer.threadHandle()->wait();
    return true;
}

/// The paths a search of the index below `indexDirectory` finds, sorted.
inline std::vector<std::string> found(const std::string& indexDirectory, const std::string& query,
                                      bool foldersOnly = false)
{
    std::vector<library::LibraryEntry> entries;
    library::LibrarySearch(indexDirectory).search(query, foldersOnly, entries);
    std::vector<std::string> paths;
    for (const library::LibraryEntry& entry : entries)
        paths.push_back(entry.path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace librarytest
