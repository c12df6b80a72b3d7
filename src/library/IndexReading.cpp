#include "library/IndexReading.h"

#include "analysis/WideText.h"
#include "library/IndexFields.h"

#include <CLucene/document/FieldSelector.h>

namespace library::reading {

ReaderPtr openReader(const IndexStore& store)
{
    const std::string folder = store.currentIndex();
    if (folder.empty())
        return nullptr;
    return ReaderPtr(IndexReader::open(folder.c_str()));
}

DirectoryPtr openMappedDirectory(const std::string& folder)
{
    DirectoryPtr directory(lucene::store::FSDirectory::getDirectory(folder.c_str()));
#if !defined(_WIN32)
    // Files of an index are never changed in place: a rebuild writes a new
    // generation, so a mapped file never shrinks under its reader.
    if constexpr (sizeof(void*) == 8)
        directory->setUseMMap(true);
#endif
    return directory;
}

std::vector<bool> documentsWith(IndexReader& reader, const wchar_t* field, const std::wstring& text)
{
    std::vector<bool> marks(static_cast<std::size_t>(reader.maxDoc()));
    forEachDocument(reader, field, text, [&](std::int32_t doc) { marks[static_cast<std::size_t>(doc)] = true; });
    return marks;
}

std::uint64_t storedDecimal(const Document& document, const wchar_t* field)
{
    const wchar_t* text = document.get(field);
    std::uint64_t value = 0;
    for (; text != nullptr && *text >= L'0' && *text <= L'9'; ++text)
        value = value * 10 + static_cast<std::uint64_t>(*text - L'0');
    return value;
}

std::string storedUtf8(const Document& document, const wchar_t* field)
{
    const wchar_t* value = document.get(field);
    return value == nullptr ? std::string() : analysis::encodeUtf8(value);
}

namespace {

class SummaryFields final : public lucene::document::FieldSelector {
public:
    FieldSelectorResult accept(const wchar_t* field) const override
    {
        for (const wchar_t* wanted : {fields::path, fields::track, fields::disc, fields::year, fields::duration,
                                      fields::picture})
            if (std::wcscmp(field, wanted) == 0)
                return LOAD;
        return NO_LOAD;
    }
};

} // namespace

const lucene::document::FieldSelector& summaryFields()
{
    static const SummaryFields selector;
    return selector;
}

TrackRecord readRecord(IndexReader& reader, std::int32_t id, const lucene::document::FieldSelector* only)
{
    Document document;
    if (only != nullptr)
        reader.document(id, document, only);
    else
        reader.document(id, document);
    TrackRecord track;
    const wchar_t* path = document.get(fields::path);
    track.entry.path = analysis::narrowBytes(path != nullptr ? path : L"");
    track.entry.attributes = static_cast<std::uint32_t>(storedDecimal(document, fields::attributes));
    track.entry.size = static_cast<std::uint32_t>(storedDecimal(document, fields::size));
    track.entry.modified = FileTime::fromValue(storedDecimal(document, fields::modified));
    track.tags.artist = storedUtf8(document, fields::artist);
    track.tags.albumArtist = storedUtf8(document, fields::albumArtist);
    track.tags.album = storedUtf8(document, fields::album);
    track.tags.title = storedUtf8(document, fields::title);
    track.tags.genre = storedUtf8(document, fields::genre);
    track.tags.track = static_cast<int>(storedDecimal(document, fields::track));
    track.tags.disc = static_cast<int>(storedDecimal(document, fields::disc));
    track.tags.year = static_cast<int>(storedDecimal(document, fields::year));
    track.tags.durationMs = static_cast<std::int64_t>(storedDecimal(document, fields::duration));
    track.tags.hasPicture = storedDecimal(document, fields::picture) == 1;
    return track;
}

} // namespace library::reading
