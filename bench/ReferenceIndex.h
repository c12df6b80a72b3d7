#pragma once
// The reference the index benchmarks measure against: the search engine
// alone, with its StandardAnalyzer, writing and searching names the way the
// library does; and the walk that finds the names as the crawl finds them.
// Single-threaded; failures are a false return or a count of zero.

#include "analysis/WideText.h"
#include "library/DirectoryEnumeration.h"

#include <CLucene.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace bench {

/// The words generated names draw from.
inline constexpr const char* words[] = {
    "love", "night", "song", "blue", "day", "heart", "fire", "rain", "dream", "road", "light", "time",
    "girl", "moon", "sun", "river", "home", "dance", "city", "star", "world", "baby", "gold", "summer",
    "winter", "angel", "devil", "rock", "soul", "wind", "sky", "train", "blues", "shadow", "morning", "ocean",
    "street", "king", "queen", "highway", "paradise", "memory", "silver", "lonely", "wild", "sweet", "black", "white",
    "red", "green", "little", "big", "never", "always", "tonight", "forever", "yesterday", "tomorrow", "born", "free",
    "run", "walk", "fall", "rise", "shine", "burn", "cry", "smile", "kiss", "hold", "stay", "leave",
    "young", "old", "new", "last", "first", "lost", "found", "broken", "electric", "golden", "midnight", "velvet",
    "thunder", "stone", "glass", "paper", "crystal", "diamond", "echo", "mirror", "garden", "desert", "island", "mountain",
};

using lucene::document::Field;
/// The field kinds the library's index uses: the name analysed, the rest stored.
inline constexpr int indexedField = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED) |
                                    static_cast<int>(Field::TERMVECTOR_NO);
inline constexpr int storedField = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO) |
                                   static_cast<int>(Field::TERMVECTOR_NO);

/// Writes a new index in `folder` with `analyzer`: `fill(writer)` adds the
/// documents, then the index is optimised and closed.
template <typename Fill>
bool writeIndex(const std::string& folder, lucene::analysis::Analyzer& analyzer, Fill fill)
{
    try {
        lucene::index::IndexWriter writer(folder.c_str(), &analyzer, true);
        writer.setMaxFieldLength(261);
        fill(writer);
        writer.optimize();
        writer.close();
        return true;
    } catch (const CLuceneError&) {
        return false;
    }
}

/// A search as the library makes it (terms joined by AND, searcher opened
/// for the search), over an index in `folder`: how many of the first 500
/// hits (folders only, if asked) it read the stored path of.
inline std::size_t referenceSearch(const std::string& folder, const std::string& query, bool foldersOnly,
                                   lucene::analysis::Analyzer& analyzer)
{
    using namespace lucene::search;
    std::size_t appended = 0;
    try {
        IndexSearcher searcher(folder.c_str());
        lucene::queryParser::QueryParser parser(L"name", &analyzer);
        parser.setDefaultOperator(lucene::queryParser::QueryParser::AND_OPERATOR);
        const std::wstring text = analysis::decodeUtf8(query);
        std::unique_ptr<Query> parsed(parser.parse(text.c_str()));
        std::unique_ptr<Hits> hits(searcher.search(parsed.get()));
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < hits->length() && appended < 500; ++i) {
            lucene::document::Document& document = hits->doc(static_cast<std::int32_t>(i));
            if (foldersOnly && (std::wcstoul(document.get(L"attributes"), nullptr, 10) & 0x10) == 0)
                continue;
            paths.push_back(analysis::narrowBytes(document.get(L"path")));
            ++appended;
        }
        searcher.close();
    } catch (const CLuceneError&) {
    }
    return appended;
}

/// Calls `visit(entry, path)` for every entry below `directory`, in the
/// crawl's order: a folder's entries, then each subfolder's.
template <typename Visit>
void forEachEntry(const std::string& directory, Visit& visit)
{
    library::DirectoryEnumeration enumeration;
    if (!enumeration.open(directory + "/"))
        return;
    std::vector<std::string> subdirectories;
    library::FindData child;
    while (enumeration.next(child)) {
        if (child.name == "." || child.name == "..")
            continue;
        const std::string path = directory + "/" + child.name;
        visit(child, path);
        if (child.isDirectory())
            subdirectories.push_back(path);
    }
    enumeration.close();
    for (const std::string& subdirectory : subdirectories)
        forEachEntry(subdirectory, visit);
}

/// An entry's name as the index holds it: a file's without its extension.
inline std::string indexedName(const library::FindData& entry)
{
    return entry.isDirectory() ? entry.name : entry.name.substr(0, entry.name.rfind('.'));
}

} // namespace bench
