#include "library/LibrarySearch.h"

#include "analysis/FilenameAnalyzer.h"
#include "analysis/WideText.h"

#include <CLucene.h>

#include <exception>

namespace library {

using lucene::document::Document;
using lucene::queryParser::QueryParser;
using lucene::search::Hits;
using lucene::search::IndexSearcher;
using lucene::search::Query;

namespace {

/// A stored decimal field; a missing or malformed one reads as 0.
std::uint32_t storedNumber(const Document& document, const wchar_t* field)
{
    const wchar_t* text = document.get(field);
    std::uint32_t value = 0;
    for (; text != nullptr && *text >= L'0' && *text <= L'9'; ++text)
        value = value * 10 + static_cast<std::uint32_t>(*text - L'0');
    return value;
}

} // namespace

LibrarySearch::LibrarySearch(std::string indexDirectory)
    : store(std::move(indexDirectory)), analyzer(std::make_unique<lucene::analysis::filename::FilenameAnalyzer>())
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
        IndexSearcher searcher(index.c_str());
        QueryParser parser(L"name", analyzer.get());
        parser.setDefaultOperator(QueryParser::AND_OPERATOR);
        const std::wstring text = analysis::decodeUtf8(query);
        // A query whose words all vanish in analysis parses to nothing.
        const std::unique_ptr<Query> parsed(parser.parse(text.c_str()));
        if (parsed) {
            const std::unique_ptr<Hits> hits(searcher.search(parsed.get()));
            for (std::size_t i = 0; i < hits->length() && appended < maximumEntries; ++i) {
                Document& document = hits->doc(static_cast<std::int32_t>(i));
                const std::uint32_t attributes = storedNumber(document, L"attributes");
                if (foldersOnly && (attributes & FindData::directoryAttribute) == 0)
                    continue;
                const wchar_t* stored = document.get(L"path");
                std::string path = analysis::narrowBytes(stored != nullptr ? stored : L"");
                if (keep && !keep(path))
                    continue;
                entries.push_back({std::move(path), attributes, FileTime{}, storedNumber(document, L"size")});
                ++appended;
            }
        }
        searcher.close();
    } catch (const CLuceneError&) {
    } catch (const std::exception&) {
    }
    return appended;
}

} // namespace library
