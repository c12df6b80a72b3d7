#include "library/SearchFacts.h"

#include "analysis/WideText.h"
#include "library/FindData.h"
#include "library/IndexFields.h"
#include "library/LibraryPath.h"

#include <CLucene.h>
#include <CLucene/document/FieldSelector.h>

#include <algorithm>
#include <cwchar>
#include <numeric>
#include <string>

namespace library {

namespace {

std::uint64_t decimalField(const lucene::document::Document& document, const wchar_t* field)
{
    const wchar_t* text = document.get(field);
    std::uint64_t value = 0;
    for (; text != nullptr && *text >= L'0' && *text <= L'9'; ++text)
        value = value * 10 + static_cast<std::uint64_t>(*text - L'0');
    return value;
}

/// The four stored fields the facts come from, and nothing else.
class FactFields : public lucene::document::FieldSelector {
public:
    FieldSelectorResult accept(const TCHAR* field) const override
    {
        for (const wchar_t* wanted : {fields::path, fields::attributes, fields::size, fields::modified})
            if (std::wcscmp(wanted, field) == 0)
                return LOAD;
        return NO_LOAD;
    }
};

} // namespace

std::shared_ptr<const SearchFacts> SearchFacts::read(lucene::index::IndexReader& reader,
                                                     const std::function<bool(std::string_view path)>& visible)
{
    auto facts = std::make_shared<SearchFacts>();
    const auto count = static_cast<std::size_t>(std::max(0, reader.maxDoc()));
    facts->flags.assign(count, 0);
    facts->size.assign(count, 0);
    facts->modified.assign(count, 0);
    // Every file-name part in one block (freed whole once ranked).
    std::string names;
    std::vector<std::size_t> nameStart(count + 1, 0);
    const FactFields selector;
    for (std::size_t i = 0; i < count; ++i) {
        const auto document = static_cast<std::int32_t>(i);
        nameStart[i] = names.size();
        if (reader.isDeleted(document))
            continue;
        lucene::document::Document stored;
        reader.document(document, stored, &selector);
        const wchar_t* path = stored.get(fields::path);
        const std::string bytes = analysis::narrowBytes(path != nullptr ? path : L"");
        if ((decimalField(stored, fields::attributes) & FindData::directoryAttribute) != 0)
            facts->flags[i] |= directory;
        if (!visible || visible(bytes))
            facts->flags[i] |= SearchFacts::visible;
        facts->size[i] = static_cast<std::uint32_t>(decimalField(stored, fields::size));
        facts->modified[i] = decimalField(stored, fields::modified);
        names += fileNamePart(bytes);
    }
    nameStart[count] = names.size();
    auto name = [&names, &nameStart](std::uint32_t at) {
        return std::string_view(names).substr(nameStart[at], nameStart[at + 1] - nameStart[at]);
    };
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&name](std::uint32_t a, std::uint32_t b) { return name(a) < name(b); });
    // Equal names share a rank, so a sort by name leaves their order alone.
    facts->nameRank.assign(count, 0);
    for (std::size_t at = 1; at < count; ++at) {
        const bool same = name(order[at]) == name(order[at - 1]);
        facts->nameRank[order[at]] = same ? facts->nameRank[order[at - 1]] : static_cast<std::uint32_t>(at);
    }
    return facts;
}

} // namespace library
