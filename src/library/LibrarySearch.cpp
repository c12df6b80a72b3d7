#include "library/LibrarySearch.h"

#include "analysis/SearchAnalyzer.h"
#include "analysis/SearchQueryParser.h"
#include "analysis/WideText.h"
#include "library/IndexFields.h"
#include "library/IndexReading.h"
#include "library/LibraryPath.h"
#include "library/TagFields.h"

#include <CLucene.h>
#include <CLucene/document/FieldSelector.h>

#include <algorithm>
#include <cwchar>
#include <exception>

namespace library {

using lucene::document::Document;
using lucene::queryParser::filename::SearchQueryParser;
using lucene::search::Hits;
using lucene::search::IndexSearcher;
using lucene::search::Query;

namespace {

/// A stored decimal field; a missing or malformed one reads as 0.
std::uint64_t storedNumber(const Document& document, const wchar_t* field)
{
    const wchar_t* text = document.get(field);
    std::uint64_t value = 0;
    for (; text != nullptr && *text >= L'0' && *text <= L'9'; ++text)
        value = value * 10 + static_cast<std::uint64_t>(*text - L'0');
    return value;
}

std::uint32_t storedNumber32(const Document& document, const wchar_t* field)
{
    return static_cast<std::uint32_t>(storedNumber(document, field));
}

/// A stored tag text, back to UTF-8; empty when missing.
std::string storedText(const Document& document, const wchar_t* field)
{
    const wchar_t* text = document.get(field);
    return text == nullptr ? std::string() : analysis::encodeUtf8(text);
}

std::string storedPath(const Document& document)
{
    const wchar_t* stored = document.get(fields::path);
    return analysis::narrowBytes(stored != nullptr ? stored : L"");
}

/// Loads only the fields named.
class FieldsToLoad : public lucene::document::FieldSelector {
public:
    explicit FieldsToLoad(std::vector<const wchar_t*> names) : names(std::move(names)) {}

    FieldSelectorResult accept(const TCHAR* field) const override
    {
        const bool wanted = std::any_of(names.begin(), names.end(),
                                        [field](const wchar_t* name) { return std::wcscmp(name, field) == 0; });
        return wanted ? LOAD : NO_LOAD;
    }

private:
    std::vector<const wchar_t*> names;
};

/// Every matching document with its score, in index order.
class EveryHit : public lucene::search::HitCollector {
public:
    struct Scored {
        std::int32_t document;
        float score;
    };

    // float_t is wider than float where the x87 unit computes (32-bit Windows).
    void collect(const int32_t document, const float_t score) override
    {
        hits.push_back({document, static_cast<float>(score)});
    }

    std::vector<Scored> hits;
};

/// Every hit scoring above 0, with its score as the engine keeps it for
/// ranking (float_t, which is wider than float on the x87 unit).
class PositiveHits : public lucene::search::HitCollector {
public:
    struct Scored {
        std::int32_t document;
        float_t score;
    };

    void collect(const int32_t document, const float_t score) override
    {
        if (score > 0.0f)
            hits.push_back({document, score});
    }

    /// The engine's ranking: best score first, ties in index order.
    static bool ranked(const Scored& a, const Scored& b)
    {
        return a.score != b.score ? a.score > b.score : a.document < b.document;
    }

    std::vector<Scored> hits;
};

/// A hit the reader may see, with what it is sorted by.
struct Ranked {
    std::int32_t document;
    float score;
    std::string text;
    std::uint64_t number = 0;
};

using Key = LibrarySearch::SortKey;

/// The stored field a key reads besides path and attributes; null for none.
const wchar_t* keyField(Key key)
{
    switch (key) {
    case Key::modified: return fields::modified;
    case Key::size: return fields::size;
    case Key::duration: return fields::duration;
    case Key::artist: return fields::artist;
    case Key::album: return fields::album;
    case Key::title: return fields::title;
    case Key::track: return fields::track;
    default: return nullptr;
    }
}

void readKey(Key key, const Document& document, const std::string& path, Ranked& ranked)
{
    switch (key) {
    case Key::name: ranked.text = fileNamePart(path); break;
    case Key::modified:
    case Key::size:
    case Key::duration: ranked.number = storedNumber(document, keyField(key)); break;
    case Key::artist:
    case Key::album:
    case Key::title: ranked.text = storedText(document, keyField(key)); break;
    case Key::track:
        ranked.number = (storedNumber(document, fields::disc) << 32) | storedNumber32(document, fields::track);
        break;
    default: break;
    }
}

/// A document's value of `key` from the facts, ordered as the stored value.
std::uint64_t knownKey(const SearchFacts& facts, Key key, std::size_t at)
{
    auto place = [at](const std::vector<std::uint32_t>& ranks) { return ranks.empty() ? 0 : ranks[at]; };
    switch (key) {
    case Key::name: return facts.nameRank[at];
    case Key::size: return facts.size[at];
    case Key::modified: return facts.modified[at];
    case Key::duration: return place(facts.durationRank);
    case Key::artist: return place(facts.artistRank);
    case Key::album: return place(facts.albumRank);
    case Key::title: return place(facts.titleRank);
    case Key::track: return place(facts.trackRank);
    default: return 0;
    }
}

bool textKey(Key key)
{
    return key == Key::name || key == Key::artist || key == Key::album || key == Key::title;
}

LibrarySearch::Hit hitOf(const Document& document)
{
    LibrarySearch::Hit hit;
    hit.entry = {storedPath(document), storedNumber32(document, fields::attributes),
                 FileTime::fromValue(storedNumber(document, fields::modified)), storedNumber32(document, fields::size)};
    hit.tags = storedTags(document).value_or(TrackTags{});
    return hit;
}

} // namespace

LibrarySearch::LibrarySearch(std::string indexDirectory)
    : store(std::move(indexDirectory)),
      analyzer(std::make_unique<lucene::analysis::filename::SearchAnalyzer>(
          lucene::analysis::filename::SearchAnalyzer::Side::query))
{
}

LibrarySearch::~LibrarySearch() = default;

std::size_t LibrarySearch::search(std::string_view query, bool foldersOnly, std::vector<LibraryEntry>& entries,
                                  const PathFilter& keep) const
{
    if (query.empty())
        return 0;
    const std::string index = store.currentIndex();
    if (index.empty())
        return 0;
    std::size_t appended = 0;
    try {
        const reading::DirectoryPtr directory = reading::openMappedDirectory(index);
        IndexSearcher searcher(directory.get());
        SearchQueryParser parser(fields::name, analyzer.get());
        const std::wstring text = analysis::decodeUtf8(query);
        // A query whose words all vanish in analysis parses to nothing.
        const std::unique_ptr<Query> parsed(parser.parse(text.c_str()));
        if (parsed) {
            // Every hit collected in one pass, then ordered as the engine
            // ranks its top hits (best score first, ties in index order, no
            // hit scoring 0) only as far as the entries shown reach: the
            // engine's own list of hits runs the query again each time it
            // grows, and loads every stored field of each hit.
            PositiveHits every;
            searcher._search(parsed.get(), nullptr, &every);
            lucene::index::IndexReader* reader = searcher.getReader();
            static const FieldsToLoad listed({fields::path, fields::attributes, fields::size});
            auto next = every.hits.begin();
            auto sorted = next;
            for (; next != every.hits.end() && appended < maximumEntries; ++next) {
                if (next == sorted) {
                    // Enough for the entries still to come, when few are passed over.
                    const auto batch = static_cast<std::ptrdiff_t>(
                        std::min<std::size_t>(2 * maximumEntries, static_cast<std::size_t>(every.hits.end() - next)));
                    std::partial_sort(next, next + batch, every.hits.end(), PositiveHits::ranked);
                    sorted = next + batch;
                }
                Document document;
                reader->document(next->document, document, &listed);
                const std::uint32_t attributes = storedNumber32(document, fields::attributes);
                if (foldersOnly && (attributes & FindData::directoryAttribute) == 0)
                    continue;
                std::string path = storedPath(document);
                if (keep && !keep(path))
                    continue;
                entries.push_back({std::move(path), attributes, FileTime{}, storedNumber32(document, fields::size)});
                ++appended;
            }
        }
        searcher.close();
    } catch (const CLuceneError&) {
    } catch (const std::exception&) {
    }
    return appended;
}

std::shared_ptr<const SearchFacts> LibrarySearch::factsOf(const std::string& index,
                                                          lucene::index::IndexReader& reader, const PathFilter& keep,
                                                          std::string_view keepIdentity) const
{
    // One search reads them while the others wait: they would read the same.
    std::lock_guard guard(factsLock);
    const auto matches = [&](const KeptFacts& facts) {
        return facts.facts && facts.index == index && facts.keep == keepIdentity;
    };
    if (!matches(kept) && matches(prepared)) {
        kept = std::move(prepared);
        prepared = KeptFacts{};
    }
    if (!matches(kept))
        kept = {index, std::string(keepIdentity), SearchFacts::read(reader, keep)};
    return kept.facts;
}

bool LibrarySearch::prepare(const std::string& folder, const PathFilter& keep, std::string_view keepIdentity) const
{
    // The current index (kept unchanged by a rebuild, or read at start) is
    // read under the lock, as a search reads it: a search meanwhile waits
    // for these facts rather than reading the same. One about to be
    // published is read while searches go on with the current one.
    const bool current = store.currentIndex() == folder;
    std::unique_lock guard(factsLock, std::defer_lock);
    if (current) {
        guard.lock();
        if (kept.facts && kept.index == folder && kept.keep == keepIdentity)
            return true;  // a search read them first
    }
    KeptFacts ready{folder, std::string(keepIdentity), nullptr};
    try {
        const reading::ReaderPtr reader(lucene::index::IndexReader::open(folder.c_str()));
        ready.facts = SearchFacts::read(*reader, keep);
    } catch (const CLuceneError&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
    if (!current)
        guard.lock();
    (current || kept.index == folder ? kept : prepared) = std::move(ready);
    return true;
}

LibrarySearch::Page LibrarySearch::find(std::string_view query, const FindRequest& request, const PathFilter& keep,
                                        std::string_view keepIdentity) const
{
    if (query.empty())
        return {};
    const std::string index = store.currentIndex();
    if (index.empty())
        return {};
    Page page;
    try {
        const reading::DirectoryPtr directory = reading::openMappedDirectory(index);
        IndexSearcher searcher(directory.get());
        SearchQueryParser parser(fields::name, analyzer.get());
        const std::wstring text = analysis::decodeUtf8(query);
        const std::unique_ptr<Query> parsed(parser.parse(text.c_str()));
        if (!parsed)
            return {};
        EveryHit every;
        searcher._search(parsed.get(), nullptr, &every);
        lucene::index::IndexReader* reader = searcher.getReader();
        const Key key = request.sortBy;
        const bool known = !keep || !keepIdentity.empty();
        std::vector<Ranked> visible;
        visible.reserve(every.hits.size());
        if (known) {
            const std::shared_ptr<const SearchFacts> all = factsOf(index, *reader, keep, keepIdentity);
            for (const EveryHit::Scored& hit : every.hits) {
                const auto at = static_cast<std::size_t>(hit.document);
                if (at >= all->flags.size() || (all->flags[at] & SearchFacts::visible) == 0 ||
                    (request.foldersOnly && (all->flags[at] & SearchFacts::directory) == 0))
                    continue;
                visible.push_back({hit.document, hit.score, {}, knownKey(*all, key, at)});
            }
        } else {
            // Only what filtering and the sort read, for every hit; the page's
            // hits are read whole below.
            std::vector<const wchar_t*> wanted{fields::path, fields::attributes};
            if (const wchar_t* field = keyField(key))
                wanted.push_back(field);
            if (key == Key::track)
                wanted.push_back(fields::disc);
            const FieldsToLoad selector(std::move(wanted));
            for (const EveryHit::Scored& hit : every.hits) {
                Document document;
                reader->document(hit.document, document, &selector);
                if (request.foldersOnly &&
                    (storedNumber32(document, fields::attributes) & FindData::directoryAttribute) == 0)
                    continue;
                const std::string path = storedPath(document);
                if (keep && !keep(path))
                    continue;
                Ranked ranked{hit.document, hit.score, {}, 0};
                readKey(key, document, path, ranked);
                visible.push_back(std::move(ranked));
            }
        }
        // The key, then the engine's relevance order (best first, ties in
        // index order); only as far as the page reaches.
        const bool byText = !known && textKey(key);
        const bool descending = request.descending;
        auto before = [key, byText, descending](const Ranked& a, const Ranked& b) {
            if (key != Key::relevance && (byText ? a.text != b.text : a.number != b.number)) {
                const Ranked& first = descending ? b : a;
                const Ranked& second = descending ? a : b;
                return byText ? first.text < second.text : first.number < second.number;
            }
            return a.score != b.score ? a.score > b.score : a.document < b.document;
        };
        page.total = visible.size();
        const std::size_t first = std::min(request.start, page.total);
        const std::size_t last = first + std::min(request.count, page.total - first);
        std::partial_sort(visible.begin(), visible.begin() + static_cast<std::ptrdiff_t>(last), visible.end(), before);
        for (std::size_t i = first; i < last; ++i) {
            Document document;
            reader->document(visible[i].document, document);
            page.hits.push_back(hitOf(document));
        }
        searcher.close();
    } catch (const CLuceneError&) {
        return {};
    } catch (const std::exception&) {
        return {};
    }
    return page;
}

} // namespace library
