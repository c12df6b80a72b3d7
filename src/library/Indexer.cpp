#include "library/Indexer.h"

#include "analysis/SearchAnalyzer.h"
#include "analysis/WideText.h"
#include "library/DirectoryEnumeration.h"
#include "library/DocumentFields.h"
#include "library/EntryFacts.h"
#include "library/IndexDirectory.h"
#include "library/IndexFields.h"
#include "library/IndexFormat.h"
#include "library/KnownEntries.h"
#include "library/LibraryPath.h"
#include "library/TagFields.h"
#include "library/TagFileStream.h"
#include "library/TagReader.h"

#include <CLucene.h>

#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <set>

namespace library {

using lucene::document::Document;
using lucene::document::Field;
using lucene::index::IndexWriter;

/// One crawl of a rebuild and what it remembers. A crawl either writes
/// (`writer` set) or only compares the tree with what the last index knew.
struct Indexer::Writing {
    IndexWriter* writer;
    const IndexDirectory* directory;
    const KnownEntries& known;
    /// The facts file of the index being written, in document order.
    EntryFactsWriter* facts = nullptr;
    /// Each entry's document, its fields made once.
    DocumentFields document;
    /// Directories entered, so a symbolic link back up the tree is not
    /// followed round for ever.
    std::set<FileIdentity> visited;
    /// Comparing: entries found as the last index knew them, and whether one
    /// was not (which ends the comparison).
    std::size_t unchanged = 0;
    bool differs = false;
};

namespace {

// The engine's flags are separate enumerations, combined as plain numbers.
constexpr int indexedOnly =
    static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED) | static_cast<int>(Field::TERMVECTOR_NO);
constexpr int storedOnly =
    static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO) | static_cast<int>(Field::TERMVECTOR_NO);

std::int64_t now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

/// The "name" of an entry: its file-name part, a file's without the extension.
std::string_view indexedName(const LibraryEntry& entry)
{
    std::string_view name = fileNamePart(entry.path);
    if (!entry.isDirectory()) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string_view::npos)
            name = name.substr(0, dot);
    }
    return name;
}

} // namespace

Indexer::Indexer(std::vector<std::string> sharedDirectories, Extensions indexExtensions, std::string indexDirectory)
    : store(std::move(indexDirectory)), sharedDirectories(std::move(sharedDirectories)),
      indexExtensions(std::move(indexExtensions)),
      // An album's tracks come one after another, each with its artist,
      // album and genre: their terms are made once for them all.
      analyzer(std::make_unique<lucene::analysis::filename::SearchAnalyzer>(
          lucene::analysis::filename::SearchAnalyzer::Side::index,
          std::vector<std::wstring>{fields::artist, fields::albumArtist, fields::album, fields::genre}))
{
}

Indexer::~Indexer()
{
    stop();
}

bool Indexer::start()
{
    if (threadId() != 0 || stopRequested.load())
        return false;
    const std::uint64_t previousEntries = entries.load();
    const std::uint64_t previousTagReads = tagReads.load();
    const std::int64_t previousStart = started.load();
    const std::int64_t previousEnd = ended.load();
    const bool previousComplete = complete.load();
    entries.store(0);
    tagReads.store(0);
    started.store(now());
    ended.store(0);
    complete.store(false);
    if (Thread::start())
        return true;
    entries.store(previousEntries);
    tagReads.store(previousTagReads);
    started.store(previousStart);
    ended.store(previousEnd);
    complete.store(previousComplete);
    return false;
}

bool Indexer::stop()
{
    stopRequested.store(true);
    if (const auto handle = threadHandle())
        handle->wait();
    return true;
}

bool Indexer::everBegun() const
{
    std::error_code error;
    return std::filesystem::exists(store.storeFolder(), error);
}

bool Indexer::setSharedDirectories(std::vector<std::string> directories)
{
    if (threadId() != 0)
        return false;
    sharedDirectories = std::move(directories);
    return true;
}

bool Indexer::setTagReading(bool on)
{
    if (threadId() != 0)
        return false;
    readsTags = on;
    return true;
}

bool Indexer::setOwnTagParsers(bool on)
{
    if (threadId() != 0)
        return false;
    tagReader.setOwnParsers(on);
    return true;
}

bool Indexer::setPreparation(Preparation prepare)
{
    if (threadId() != 0)
        return false;
    preparation = std::move(prepare);
    return true;
}

void Indexer::prepare(const std::string& folder) const
{
    if (preparation && !stopRequested.load())
        preparation(folder);
}

int Indexer::run()
{
    const bool published = rebuild();
    complete.store(published);
    ended.store(now());
    return 0;
}

bool Indexer::rebuild()
{
    std::optional<IndexStore::Rebuild> target = store.beginRebuild();
    if (!target)
        return false;
    const std::string previous = store.currentIndex();
    const KnownEntries known = hasIndexFormat(previous) ? KnownEntries::load(previous) : KnownEntries();
    if (!known.empty()) {
        // A tree as the last index knew it keeps that index: only the crawl
        // is done again, and nothing is written.
        Writing comparing{nullptr, nullptr, known, nullptr, {}, {}};
        for (const std::string& shared : sharedDirectories) {
            if (crawlEnds(comparing))
                break;
            crawl(shared, comparing);
        }
        if (stopRequested.load())
            return false;
        if (!comparing.differs && comparing.unchanged == known.size()) {
            target->discard();
            prepare(previous);
            return true;
        }
        entries.store(0);
    }

    const IndexDirectory::Owner directory = IndexDirectory::open(target->path());
    if (!directory)
        return false;
    std::unique_ptr<IndexWriter> writer;
    EntryFactsWriter facts(target->path());
    bool written = false;
    try {
        writer = std::make_unique<IndexWriter>(directory.get(), analyzer.get(), true);
        writer->setMaxFieldLength(maximumFieldLength);
        Writing writing{writer.get(), directory.get(), known, &facts, {}, {}};
        for (const std::string& shared : sharedDirectories) {
            if (crawlEnds(writing))
                break;
            crawl(shared, writing);
        }
        // A stopped rebuild is not published, so optimizing it would only
        // hold up the shutdown that stopped it. A failed one is dropped
        // unclosed: its files are partly missing, and merging them would
        // read what was never written.
        if (!crawlEnds(writing))
            writer->optimize();
        if (!directory->failed())
            writer->close();
        written = !crawlEnds(writing);
    } catch (const CLuceneError&) {
    } catch (const std::exception&) {
    }
    try {
        writer.reset();
    } catch (const CLuceneError&) {
    }
    if (directory->failed()) {
        std::fprintf(stderr, "Tunelet: the search index could not be written (%s); searches keep the previous index\n",
                     directory->failure().c_str());
        // Given back at once: a full disk is what such a failure usually is.
        // (No file in it may be open then, where open files cannot go.)
        facts.discard();
        target->discard();
        return false;
    }
    // Otherwise the half-written generation of a stopped or failed rebuild
    // is removed by the next one, engine lock and all.
    // Without its facts file the index is whole still: the next rebuild
    // reads its documents instead.
    if (written)
        facts.finish();
    if (!written || !markIndexFormat(target->path()))
        return false;
    prepare(target->path());
    return target->publish();
}

bool Indexer::crawlEnds(const Writing& writing) const
{
    return stopRequested.load() || writing.differs || (writing.directory != nullptr && writing.directory->failed());
}

void Indexer::crawl(const std::string& path, Writing& writing)
{
    const std::string base = withoutTrailingSeparators(path);
    FindData found;
    if (findFile(base, found) && !found.isDirectory()) {
        // A shared entry that names one file is indexed whatever its extension.
        indexEntry({base, found.attributes, found.lastWriteTime, found.sizeLow}, writing);
        return;
    }
    DirectoryEnumeration enumeration;
    if (!enumeration.open(base + pathSeparator) || !writing.visited.insert(enumeration.identity()).second)
        return;
    std::vector<std::string> subdirectories;
    FindData child;
    while (!crawlEnds(writing) && enumeration.next(child)) {
        if (child.name == "." || child.name == "..")
            continue;
        if (!child.isDirectory() && !indexExtensions.contains(extensionOf(child.name)))
            continue;
        LibraryEntry entry{base + pathSeparator + child.name, child.attributes, child.lastWriteTime, child.sizeLow};
        indexEntry(entry, writing, &enumeration, child.name);
        if (child.isDirectory())
            subdirectories.push_back(std::move(entry.path));
    }
    // Closed before descending, so a deep tree holds one directory open at a time.
    enumeration.close();
    for (const std::string& subdirectory : subdirectories) {
        if (crawlEnds(writing))
            return;
        crawl(subdirectory, writing);
    }
}

void Indexer::indexEntry(const LibraryEntry& entry, Writing& writing, const DirectoryEnumeration* in,
                         const std::string& name)
{
    const std::uint64_t count = entries.fetch_add(1) + 1;
    if (count % notifyInterval == 0)
        onProgress.invoke(reinterpret_cast<threading::CallbackArgument>(&entry));

    const std::int32_t known =
        writing.known.find(entry.path, {entry.attributes, entry.size, entry.modified.value()});
    if (writing.writer == nullptr) {
        if (known < 0)
            writing.differs = true;
        else
            ++writing.unchanged;
        return;
    }

    // A file the last index knew with the same size and time keeps the tags
    // it had; any other is read now.
    std::optional<TrackTags> tags;
    if (known >= 0 && writing.known.tags(known, entry.path, tags)) {
    } else if (!entry.isDirectory() && readsTags) {
        tags = in != nullptr ? tagReader.read(entry.path, in->openEntry(name, TagFileStream::openFlags))
                             : tagReader.read(entry.path);
        tagReads.fetch_add(1);
    }

    DocumentFields& document = writing.document;
    document.clear();
    document.add(fields::name, analysis::decodeUtf8(indexedName(entry)), indexedOnly);
    document.add(fields::path, analysis::widenBytes(entry.path), storedOnly);
    document.add(fields::attributes, analysis::decimalText(entry.attributes), storedOnly);
    document.add(fields::size, analysis::decimalText(entry.size), storedOnly);
    document.add(fields::modified, analysis::decimalText(entry.modified.value()), storedOnly);
    if (tags)
        addTagFields(document, *tags);
    writing.writer->addDocument(&document.document());
    writing.facts->add({entry.path, entry.attributes, entry.size, entry.modified.value()});
}

} // namespace library
