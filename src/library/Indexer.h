#pragma once

#include "library/IndexStore.h"
#include "library/LibraryEntry.h"
#include "library/TagReader.h"
#include "threading/Delegate.h"
#include "threading/Thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace lucene::analysis::filename {
class SearchAnalyzer;
}

namespace library {

class DirectoryEnumeration;

/// Rebuilds the search index over the names and tags of everything below
/// the shared directories, one rebuild per run of its thread. A rebuild
/// writes a whole new index (see IndexStore): one document per file whose
/// extension is indexed and per directory, with the fields of IndexFields.h:
/// "name" (the file name without its extension, or the directory's whole
/// name; read with accents folded and CJK runs cut in pairs, see
/// analysis/SearchAnalyzer.h), "path", "attributes", "size", "modified", and for every file the
/// tag library reads, its tags (see TagFields.h); a file it cannot read is
/// indexed by name alone. The new index replaces the last complete one only
/// when the rebuild reached its end without a failure and without being
/// stopped.
///
/// What the last complete index knew is kept: a file with the same size and
/// modification time keeps its stored tags and is not read again. A tree
/// found exactly as the last index knew it (same entries, sizes, times) is
/// only crawled: that index stays current and nothing is written. The crawl
/// that compares reports its progress like one that writes; when it finds a
/// difference, the count starts again with the crawl that writes.
///
/// Made by the media library, which subscribes to `onFinished`; `start` runs
/// on the user-interface thread. `onProgress` and `onFinished` observers run
/// on the indexing thread. The counters are written by the indexing thread
/// and may be read from any thread. Nothing throws: the search engine's
/// failures end the rebuild, which `lastRebuildComplete` then reports. A
/// write that fails (a full disk) also ends it, with one line on standard
/// error; what it wrote is removed at once.
class Indexer : public threading::Thread {
public:
    using Extensions = std::set<std::string, std::less<>>;

    static constexpr int notifyInterval = 10;
    /// Terms taken from one field.
    static constexpr int maximumFieldLength = 261;

    /// Copies both lists; starts no thread. The index lives below
    /// `indexDirectory` (see IndexStore).
    Indexer(std::vector<std::string> sharedDirectories, Extensions indexExtensions, std::string indexDirectory);
    /// Stops a running rebuild and waits for its thread.
    ~Indexer() override;

    /// Starts a rebuild when none runs: resets the entry count, sets the
    /// start time, clears the end time. False, changing nothing, while a
    /// rebuild runs, after `stop`, or when no thread could be made.
    bool start();
    /// Asks a running rebuild to end at its next check (for good: the
    /// indexer starts no rebuild afterwards) and waits for its thread.
    bool stop() override;

    /// Replaces the directories to crawl; false (and nothing changed) while
    /// a rebuild runs, which walks the list.
    bool setSharedDirectories(std::vector<std::string> directories);

    /// Whether rebuilds read the tags of files the last index did not know
    /// (on unless turned off). Off, such files are indexed by name alone: a
    /// measure of what the reading costs, which the player never turns off.
    /// False (and nothing changed) while a rebuild runs.
    bool setTagReading(bool on);
    /// Whether tags are read by our own parsers first where they can (on
    /// unless turned off; see TagReader). Off, by the tag library alone: a
    /// measure of what the parsers save, which the player never turns off.
    /// False (and nothing changed) while a rebuild runs.
    bool setOwnTagParsers(bool on);

    /// What reads an index ahead of its first request: called on the
    /// indexing thread with the folder of a complete index just before it
    /// becomes current (written, not yet published), and with the current
    /// one's when a rebuild keeps it unchanged; not after a stop. The index
    /// is published when it returns. False (and nothing changed) while a
    /// rebuild runs.
    using Preparation = std::function<void(const std::string& folder)>;
    bool setPreparation(Preparation prepare);

    /// Told of every tenth entry as it is indexed; the argument points to its
    /// `LibraryEntry` (valid during the call only).
    threading::Delegate onProgress;

    /// Entries indexed in the current or last rebuild.
    std::uint64_t entryCount() const { return entries.load(); }
    /// Files whose tags the current or last rebuild read (the others kept
    /// what the last index knew, or were directories).
    std::uint64_t tagReadCount() const { return tagReads.load(); }
    /// Seconds since 1970 when the current or last rebuild started; 0 before the first.
    std::int64_t startTime() const { return started.load(); }
    /// When the last rebuild ended; 0 while one runs.
    std::int64_t endTime() const { return ended.load(); }
    /// True once `stop` (or the destructor) has asked rebuilds to end.
    bool stopping() const { return stopRequested.load(); }
    /// Whether the last rebuild that ended replaced the index (false while
    /// one runs, and after a failure or a stop).
    bool lastRebuildComplete() const { return complete.load(); }

    /// The directory the index lives in.
    const std::string& indexDirectory() const { return store.directory(); }
    /// Whether a complete index is on disk (from this run or an earlier one).
    bool hasIndex() const { return !store.currentIndex().empty(); }
    /// Whether a rebuild ever began in the index directory (its folder is
    /// there), complete or not.
    bool everBegun() const;

    /// The rebuild itself (the thread's body).
    int run() override;

private:
    struct Writing;

    bool rebuild();
    /// Runs the preparation on `folder`, unless stopped.
    void prepare(const std::string& folder) const;
    /// Whether the crawl should end: stopped, or the index cannot be written.
    bool crawlEnds(const Writing& writing) const;
    void crawl(const std::string& path, Writing& writing);
    /// Indexes `entry`, whose file (read for its tags) is opened as `name`
    /// in the directory `in` lists when there is one.
    void indexEntry(const LibraryEntry& entry, Writing& writing, const DirectoryEnumeration* in = nullptr,
                    const std::string& name = {});

    /// Reads the tags of files, on the indexing thread only.
    TagReader tagReader;
    std::atomic<std::uint64_t> entries{0};
    std::atomic<std::uint64_t> tagReads{0};
    std::atomic<std::int64_t> started{0};
    std::atomic<std::int64_t> ended{0};
    std::atomic<bool> complete{false};
    std::atomic<bool> stopRequested{false};
    IndexStore store;
    std::vector<std::string> sharedDirectories;
    const Extensions indexExtensions;
    bool readsTags = true;
    Preparation preparation;
    std::unique_ptr<lucene::analysis::filename::SearchAnalyzer> analyzer;
};

} // namespace library
