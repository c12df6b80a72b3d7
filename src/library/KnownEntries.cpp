#include "library/KnownEntries.h"

#include "analysis/WideText.h"
#include "library/EntryFacts.h"
#include "library/IndexFields.h"
#include "library/TagFields.h"

#include <CLucene.h>
#include <CLucene/document/FieldSelector.h>

#include <algorithm>
#include <exception>
#include <limits>

namespace library {

using lucene::document::Document;
using lucene::document::MapFieldSelector;
using lucene::index::IndexReader;

namespace {

/// A stored decimal field; nothing when the document lacks it.
std::optional<std::uint64_t> storedDecimal(const Document& document, const wchar_t* field)
{
    const wchar_t* text = document.get(field);
    if (text == nullptr)
        return std::nullopt;
    std::uint64_t value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text)
        value = value * 10 + static_cast<std::uint64_t>(*text - L'0');
    return value;
}

} // namespace

void KnownEntries::CloseReader::operator()(IndexReader* reader) const
{
    try {
        reader->close();
    } catch (const CLuceneError&) {
    }
    delete reader;
}

KnownEntries::KnownEntries() = default;
KnownEntries::KnownEntries(KnownEntries&&) noexcept = default;
KnownEntries& KnownEntries::operator=(KnownEntries&&) noexcept = default;
KnownEntries::~KnownEntries() = default;

KnownEntries KnownEntries::load(const std::string& indexFolder)
{
    KnownEntries entries;
    if (indexFolder.empty())
        return entries;
    entries.folder = indexFolder;
    std::int32_t number = 0;
    const bool fromFacts = readEntryFacts(
        indexFolder,
        [&](const EntryFact& fact) { entries.add(fact.path, number++, {fact.attributes, fact.size, fact.modified}); },
        [&](std::size_t count, std::size_t pathBytes) {
            // Made to measure: no growing copies of a large library's paths.
            entries.known.reserve(count);
            entries.paths.reserve(pathBytes);
        });
    if (!fromFacts) {
        entries.paths.clear();
        entries.known.clear();
        if (!entries.loadDocuments())
            return KnownEntries();
    }
    // Offsets past 4 GB of paths would wrap: such a table is refused whole.
    if (entries.paths.size() > std::numeric_limits<std::uint32_t>::max() ||
        entries.known.size() > std::numeric_limits<std::uint32_t>::max())
        return KnownEntries();
    entries.paths.shrink_to_fit();
    return entries;
}

bool KnownEntries::loadDocuments()
{
    try {
        if (!openReader())
            return false;
        // Only the facts are read now; the tags when a rebuild reuses them.
        MapFieldSelector facts;
        for (const wchar_t* field : {fields::path, fields::attributes, fields::size, fields::modified})
            facts.add(field);
        const std::int32_t count = reader->maxDoc();
        known.reserve(static_cast<std::size_t>(count));
        for (std::int32_t number = 0; number < count; ++number) {
            if (reader->isDeleted(number))
                continue;
            Document document;
            reader->document(number, document, &facts);
            const auto modified = storedDecimal(document, fields::modified);
            const wchar_t* path = document.get(fields::path);
            if (!modified || path == nullptr)
                return false;
            add(analysis::narrowBytes(path), number,
                {static_cast<std::uint32_t>(storedDecimal(document, fields::attributes).value_or(0)),
                 static_cast<std::uint32_t>(storedDecimal(document, fields::size).value_or(0)), *modified});
        }
    } catch (const CLuceneError&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void KnownEntries::add(std::string_view path, std::int32_t document, const Facts& facts)
{
    known.push_back({static_cast<std::uint32_t>(paths.size()), static_cast<std::uint32_t>(path.size()), document, facts});
    paths += path;
}

bool KnownEntries::openReader() const
{
    if (reader)
        return true;
    if (readerFailed || folder.empty())
        return false;
    try {
        reader.reset(IndexReader::open(folder.c_str()));
    } catch (const CLuceneError&) {
    } catch (const std::exception&) {
    }
    readerFailed = !reader;
    return !readerFailed;
}

std::int32_t KnownEntries::find(std::string_view path, const Facts& facts) const
{
    const Known* found = next < known.size() && pathOf(known[next]) == path ? &known[next] : byPath(path);
    if (found == nullptr)
        return -1;
    next = static_cast<std::size_t>(found - known.data()) + 1;
    return found->facts == facts ? found->document : -1;
}

const KnownEntries::Known* KnownEntries::byPath(std::string_view path) const
{
    if (sorted.size() != known.size()) {
        sorted.resize(known.size());
        for (std::uint32_t place = 0; place < sorted.size(); ++place)
            sorted[place] = place;
        std::sort(sorted.begin(), sorted.end(),
                  [this](std::uint32_t a, std::uint32_t b) { return pathOf(known[a]) < pathOf(known[b]); });
    }
    const auto found = std::lower_bound(sorted.begin(), sorted.end(), path, [this](std::uint32_t place, std::string_view wanted) {
        return pathOf(known[place]) < wanted;
    });
    if (found == sorted.end() || pathOf(known[*found]) != path)
        return nullptr;
    return &known[*found];
}

bool KnownEntries::tags(std::int32_t number, std::string_view path, std::optional<TrackTags>& tags) const
{
    if (number < 0 || !openReader())
        return false;
    try {
        Document document;
        reader->document(number, document);
        // The facts file numbers the documents in the order they were
        // written; a document of another path is never taken for this one.
        const wchar_t* stored = document.get(fields::path);
        if (stored == nullptr || analysis::narrowBytes(stored) != path)
            return false;
        tags = storedTags(document);
        return true;
    } catch (const CLuceneError&) {
    } catch (const std::exception&) {
    }
    return false;
}

} // namespace library
