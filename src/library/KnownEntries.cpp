#include "library/KnownEntries.h"

#include "analysis/WideText.h"
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
    try {
        entries.reader.reset(IndexReader::open(indexFolder.c_str()));
        // Only the facts are read now; the tags when a rebuild reuses them.
        MapFieldSelector facts;
        for (const wchar_t* field : {fields::path, fields::attributes, fields::size, fields::modified})
            facts.add(field);
        const std::int32_t count = entries.reader->maxDoc();
        entries.known.reserve(static_cast<std::size_t>(count));
        for (std::int32_t number = 0; number < count; ++number) {
            if (entries.reader->isDeleted(number))
                continue;
            Document document;
            entries.reader->document(number, document, &facts);
            const auto modified = storedDecimal(document, fields::modified);
            const wchar_t* path = document.get(fields::path);
            if (!modified || path == nullptr)
                return KnownEntries();
            const std::string bytes = analysis::narrowBytes(path);
            if (entries.paths.size() + bytes.size() > std::numeric_limits<std::uint32_t>::max())
                return KnownEntries();
            const Facts known{static_cast<std::uint32_t>(storedDecimal(document, fields::attributes).value_or(0)),
                              static_cast<std::uint32_t>(storedDecimal(document, fields::size).value_or(0)), *modified};
            entries.known.push_back({static_cast<std::uint32_t>(entries.paths.size()),
                                     static_cast<std::uint32_t>(bytes.size()), number, known});
            entries.paths += bytes;
        }
    } catch (const CLuceneError&) {
        return KnownEntries();
    } catch (const std::exception&) {
        return KnownEntries();
    }
    entries.paths.shrink_to_fit();
    std::sort(entries.known.begin(), entries.known.end(),
              [&entries](const Known& a, const Known& b) { return entries.pathOf(a) < entries.pathOf(b); });
    return entries;
}

std::int32_t KnownEntries::find(std::string_view path, const Facts& facts) const
{
    const auto found = std::lower_bound(known.begin(), known.end(), path,
                                        [this](const Known& entry, std::string_view wanted) { return pathOf(entry) < wanted; });
    if (found == known.end() || pathOf(*found) != path || !(found->facts == facts))
        return -1;
    return found->document;
}

std::optional<TrackTags> KnownEntries::tags(std::int32_t number) const
{
    if (!reader || number < 0)
        return std::nullopt;
    try {
        Document document;
        reader->document(number, document);
        return storedTags(document);
    } catch (const CLuceneError&) {
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace library
