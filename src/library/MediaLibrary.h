#pragma once

#include "discovery/PeerTable.h"
#include "library/CoverStore.h"
#include "library/DirectoryEnumeration.h"
#include "library/FetchGate.h"
#include "library/FindData.h"
#include "library/LibraryEntry.h"
#include "library/LibrarySearch.h"
#include "library/PeerAccess.h"
#include "threading/Callback.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <stop_token>
#include <thread>
#include <vector>

namespace host {
class Settings;
}

namespace discovery {
class DiscoveryAgent;
}

namespace library {

class Indexer;
class LibrarySearch;
class TagCatalog;
class IndexedFileTags;

/// The one way from the web application to the user's music. It answers four
/// kinds of library path, all plain strings:
///  - local: "/music/Album", a file or directory in a shared directory;
///  - search: "search://" and query text, every indexed file and directory
///    whose name matches;
///  - folder search: "searchf://" and query text, the matching directories;
///  - peer: an "http://" URL of another instance's library;
///  - album and artist: "album://" and "artist://" paths (see LibraryPath.h),
///    the tracks the index files under them.
///
/// Owned by the web application; made at plug-in start-up on the host's
/// user-interface thread and destroyed at quit. It reads the shared
/// directories and the port from a snapshot of `settings` at each use, so a
/// replaced record counts from the next call on.
///
/// Threads: `isPathAllowed`, `listDirectory`, `search`, `expandPath`,
/// `fileInfo` and `sharedDirectories` may run on any number of request
/// threads at once, without a lock of their own: the extension sets never
/// change after construction, the shared directories come from a settings
/// snapshot, and every call works on its own arrays and directory handles.
/// `cover` too: the covers' cache guards its size with a lock of its own.
/// `reindex` and `prepareCurrentIndex` run on the dialog's thread;
/// `onIndexFinished` runs on the indexing thread; `peers`, `peerAccess`, `mayFetchFrom` and
/// `notePlace` on any thread (the noted places have a lock of their own,
/// taken alone). No operation throws.
///
/// The library owns the discovery agent: its thread starts with the library
/// and announces this instance on the LAN until the library is destroyed,
/// which sends the leaving announcement and waits for the thread.
class MediaLibrary {
public:
    /// The most items one `expandPath` call appends: a peer's listing or a
    /// shared tree of any size adds no more than this to a playlist at once.
    static constexpr std::size_t maxExpansion = 10000;

    /// `settings` must outlive the library. The search index lives below
    /// the settings file's path without its extension, which is the module's
    /// path without its extension (see IndexStore). No rebuild starts here.
    explicit MediaLibrary(host::Settings& settings);
    ~MediaLibrary();
    MediaLibrary(const MediaLibrary&) = delete;
    MediaLibrary& operator=(const MediaLibrary&) = delete;

    /// Peer URLs ("http://"), search paths ("search://", "searchf://") and
    /// album and artist paths are allowed as they are. A local path, without its trailing separators, is
    /// allowed when a shared directory D (as stored in the settings, compared
    /// byte for byte and case-sensitively) is the whole path or is followed in
    /// it by a separator. So "/music/" is allowed for "/music", "/music2/a.mp3"
    /// is not, and a directory stored as "/music/" allows nothing below it.
    /// Below D the path may hold no "." or ".." part and no NUL byte: such a
    /// path is refused, so no path climbs out of a shared directory. An empty
    /// shared directory allows nothing.
    bool isPathAllowed(std::string_view path) const;

    /// Appends one entry per listable child of `directory` (trailing separators
    /// ignored), playlists and ".." included, in the file system's order;
    /// path = directory + "/" + name. A directory that cannot be read adds
    /// nothing. Does not test `isPathAllowed`: callers do.
    void listDirectory(std::string_view directory, std::vector<LibraryEntry>& entries) const;

    /// Appends the index's matches for `query` (directories only with
    /// `foldersOnly`), at most 500, in relevance order, modified = 0; returns
    /// how many were appended. Only local paths that `isPathAllowed` allows
    /// now are matches: the index may still hold directories no longer
    /// shared. An empty query, or a failing index, appends nothing.
    std::size_t search(std::string_view query, bool foldersOnly, std::vector<LibraryEntry>& entries) const;

    /// A page of the same matches, without the 500 cap, sorted as `request`
    /// asks, with their total (see LibrarySearch::find).
    LibrarySearch::Page find(std::string_view query, const LibrarySearch::FindRequest& request) const;

    /// Whether an entry read from a playlist file (resolved against the
    /// playlist's folder) may go to the player: what `isPathAllowed` allows,
    /// and for a local path nothing but a regular file or a missing one (a
    /// directory, a pipe or a device is refused). A playlist file in a shared
    /// directory so reaches no further than a name the client gives itself.
    bool isPlaylistEntryAllowed(std::string_view path) const;

    /// Appends every playable item below `path`, up to `maxExpansion` (the
    /// first found), then sorts the whole of `out` (what was there before
    /// too) by byte comparison:
    ///  - a peer URL holding "/stream?" contributes the item URLs on the
    ///    peer's own authority of the playlist it returns (nothing when
    ///    `mayFetchFrom` refuses it, the peer cannot be reached, does not
    ///    answer in time (see fetchUrl) or `stopFetches` ends the fetch),
    ///    left in the peer's order when the URL's "path" is an album or
    ///    artist path, as below; any other peer URL is appended as it is;
    ///  - a search path contributes the expansion of every hit;
    ///  - an album path contributes its readable tracks (`isTrackReadable`)
    ///    in disc, track and file-name order, an artist path those of each
    ///    of the artist's albums (by year, then name) in turn: neither is
    ///    sorted by bytes, so `out` keeps that order;
    ///  - a local path that `isPathAllowed` refuses contributes nothing; a file
    ///    is appended alone (even a playlist file); a directory contributes
    ///    its media files and, recursively, those of its subdirectories, but
    ///    no playlist files. A directory reached a second time in one call (by
    ///    a symbolic link, say) is not entered again.
    /// Takes no lock: fetches from peers run side by side.
    void expandPath(std::string_view path, std::vector<std::string>& out) const;

    /// Ends the peer fetches under way at once and refuses new ones until
    /// `allowFetches`: a quit waits for no peer. Any thread.
    void stopFetches() { fetchGate.close(); }
    void allowFetches() { fetchGate.open(); }

    /// Whether `path` is an allowed local path naming a regular file now.
    bool isTrackReadable(std::string_view path) const;

    /// The index read by tags (artists, albums, genres, years). Lives as
    /// long as the library; any thread.
    const TagCatalog& tags() const { return *catalog; }
    /// What the index stored of the files a listing shows. Lives as long as
    /// the library; any thread.
    const IndexedFileTags& indexedTags() const { return *fileTags; }

    /// The find data of an allowed, listable file or directory (playlists
    /// included); a value-initialised record (empty name) otherwise.
    FindData fileInfo(std::string_view path) const;

    /// The cover of `path` at most the variant's size on a side (see
    /// CoverStore): of a local file or folder that `fileInfo` finds (the test
    /// a download passes), or of an album path's first track that the
    /// library allows. Nothing for any other path or when there is no cover.
    /// Covers are cached in the folder "cover-cache" of the index directory,
    /// beside the search index. Any thread.
    std::optional<Cover> cover(std::string_view path, CoverStore::Variant variant) const;

    /// Starts a rebuild of the search index over the shared directories the
    /// settings name now, when none runs: marks `needsIndex` and saves the
    /// settings first (so a rebuild that ends at once still clears it), then
    /// waits until the indexing thread runs. True when a rebuild was started;
    /// otherwise the flag and the file are as they were.
    bool reindex();
    /// True while a rebuild runs.
    bool isIndexing() const;

    /// Reads, on a thread of its own, what the first listings and searches
    /// of the index on disk need (as a rebuild does before it publishes
    /// one), so that the first user after a start waits for none of it. For
    /// a start that begins no rebuild; the destructor stops it between its
    /// steps and waits for it. Once per library: later calls do nothing.
    void prepareCurrentIndex();

    /// The rebuilds' counters and progress delegate, for the preferences
    /// dialog. Lives as long as the library.
    Indexer& indexer() const { return *index; }

    /// A copy of the discovery agent's peer table, in key order, taken under
    /// the agent's lock (released before returning). Any thread.
    std::vector<discovery::PeerEntry> peers() const;

    /// What `mayAskPeer` weighs now: the peers discovery hears, `saved` and
    /// the places noted by `notePlace`, and the listen port. Any thread.
    PeerAccess peerAccess(std::vector<std::string> saved = {}) const;

    /// Whether this instance may fetch the peer URL `url`: `mayAskPeer` of
    /// its authority under `peerAccess()`. Any thread.
    bool mayFetchFrom(std::string_view url) const;

    /// Keeps `authority` (a saved place the user browsed) as one this
    /// instance may fetch from, among the newest `NotedPlaces::capacity`.
    void notePlace(std::string_view authority) { notedPlaces.note(authority); }

    /// A copy of the settings' shared directories, in settings order (the
    /// root listing).
    std::vector<std::string> sharedDirectories() const;

    /// Whether a child named `name` with `attributes` is shown: not ".", and a
    /// directory or a media file; with `withPlaylists` false, no name with a
    /// playlist extension (directories included). ".." passes.
    bool isListable(std::string_view name, std::uint32_t attributes, bool withPlaylists) const;

    /// Clears `needsIndex` and saves the settings when the rebuild that ended
    /// replaced the index; after a failure the flag stays set, so the next
    /// start asks again. Reaches the library through `indexFinished` when a
    /// rebuild ends; runs on the indexing thread.
    std::intptr_t onIndexFinished(threading::CallbackArgument argument);

    /// Extensions (lower case, without ".") of the files the library lists and
    /// indexes, playlists included; and those of playlist files.
    const std::set<std::string, std::less<>> mediaExtensions;
    const std::set<std::string, std::less<>> playlistExtensions;

private:
    using Visited = std::set<FileIdentity>;

    /// `isPathAllowed` against the list `sharedDirs`.
    static bool isPathAllowedIn(std::string_view path, const std::vector<std::string>& sharedDirs);
    /// Appends below `path` while `out` holds fewer than `limit` items.
    void expandLocal(const std::string& path, std::vector<std::string>& out, Visited& visited,
                     std::size_t limit) const;

    /// The filter of searches for the shared directories `shared`, and the
    /// text that names it (see LibrarySearch::find).
    static LibrarySearch::PathFilter sharedFilter(const std::vector<std::string>& shared);
    static std::string sharedIdentity(const std::vector<std::string>& shared);
    /// Reads what the first listings and searches of the index in `folder`
    /// need, before it is published; runs on the indexing thread, or on
    /// `preparing`, which `stop` ends between the steps.
    void prepareIndex(const std::string& folder, const std::stop_token& stop = {}) const;

    /// Made with copies of the shared directories and `mediaExtensions`;
    /// `indexFinished` is subscribed to its finished delegate from
    /// construction until just before it is deleted.
    std::unique_ptr<Indexer> index;

    /// Bound to `onIndexFinished`.
    threading::Callback<MediaLibrary> indexFinished;

    /// Owned; announces the settings' `listenPort`. Its thread runs from
    /// construction until destruction.
    std::unique_ptr<discovery::DiscoveryAgent> discoveryAgent;

    /// Made with the indexer's index directory; deleted first of the owned parts.
    std::unique_ptr<LibrarySearch> searcher;
    /// Made with the indexer's index directory.
    std::unique_ptr<TagCatalog> catalog;
    std::unique_ptr<IndexedFileTags> fileTags;

    /// Not owned.
    host::Settings& settings;

    /// The covers' cache; made with the indexer's index directory.
    std::unique_ptr<CoverStore> covers;

    /// The peer fetches of `expandPath` under way.
    mutable FetchGate fetchGate;
    NotedPlaces notedPlaces;

    /// The preparation of the index found at start; joined by the
    /// destructor before the parts it reads into go.
    std::jthread preparing;
};

} // namespace library
