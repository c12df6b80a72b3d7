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
#include <unordered_map>

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

/// The stored fields the facts come from, and nothing else.
class FactFields : public lucene::document::FieldSelector {
public:
    FieldSelectorResult accept(const TCHAR* field) const override
    {
        for (const wchar_t* wanted : {fields::path, fields::attributes, fields::size, fields::modified, fields::artist,
                                      fields::album, fields::title, fields::duration, fields::disc, fields::track})
            if (std::wcscmp(wanted, field) == 0)
                return LOAD;
        return NO_LOAD;
    }
};

std::string textField(const lucene::document::Document& document, const wchar_t* field)
{
    const wchar_t* text = document.get(field);
    return text == nullptr ? std::string() : analysis::encodeUtf8(text);
}

/// Each document's value of one key, kept as the number of its distinct
/// value, then turned into places among the distinct values in order.
template <class Value>
class Ranking {
public:
    explicit Ranking(std::size_t count) : count(count) {}

    void set(std::size_t document, Value value)
    {
        const std::uint32_t id =
            known.try_emplace(std::move(value), static_cast<std::uint32_t>(known.size())).first->second;
        // Kept per document from the second distinct value on: the documents
        // before it all hold the first one (0), and an index without tags
        // never holds a second.
        if (id != 0 && places.empty())
            places.assign(count, 0);
        if (!places.empty())
            places[document] = id;
    }

    /// See SearchFacts: empty for fewer than two distinct values.
    std::vector<std::uint32_t> ranks() &&
    {
        if (known.size() < 2)
            return {};
        std::vector<const typename Known::value_type*> distinct;
        distinct.reserve(known.size());
        for (const auto& entry : known)
            distinct.push_back(&entry);
        std::sort(distinct.begin(), distinct.end(), [](auto a, auto b) { return a->first < b->first; });
        std::vector<std::uint32_t> placeOf(known.size());
        for (std::size_t at = 0; at < distinct.size(); ++at)
            placeOf[distinct[at]->second] = static_cast<std::uint32_t>(at);
        for (std::uint32_t& place : places)
            place = placeOf[place];
        return std::move(places);
    }

private:
    using Known = std::unordered_map<Value, std::uint32_t>;
    std::size_t count;
    std::vector<std::uint32_t> places;
    Known known;
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
    Ranking<std::string> artist(count), album(count), title(count);
    Ranking<std::uint64_t> duration(count), track(count);
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
        artist.set(i, textField(stored, fields::artist));
        album.set(i, textField(stored, fields::album));
        title.set(i, textField(stored, fields::title));
        duration.set(i, decimalField(stored, fields::duration));
        track.set(i, (decimalField(stored, fields::disc) << 32) |
                         static_cast<std::uint32_t>(decimalField(stored, fields::track)));
    }
    facts->artistRank = std::move(artist).ranks();
    facts->albumRank = std::move(album).ranks();
    facts->titleRank = std::move(title).ranks();
    facts->durationRank = std::move(duration).ranks();
    facts->trackRank = std::move(track).ranks();
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
