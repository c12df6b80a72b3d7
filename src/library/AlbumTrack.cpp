#include "library/AlbumTrack.h"

#include "analysis/WideText.h"
#include "library/IndexFields.h"
#include "library/IndexStore.h"
#include "library/LibraryPath.h"
#include "message/UrlCoding.h"

#include <CLucene.h>

#include <exception>
#include <memory>
#include <tuple>

namespace library {
namespace {

long storedInteger(lucene::document::Document& document, const wchar_t* field)
{
    const wchar_t* text = document.get(field);
    long value = 0;
    for (; text != nullptr && *text >= L'0' && *text <= L'9' && value < 1000000; ++text)
        value = value * 10 + (*text - L'0');
    return value;
}

} // namespace

std::string firstAlbumTrack(const std::string& indexDirectory, std::string_view albumPath,
                            const std::function<bool(std::string_view path)>& keep)
{
    if (!albumPath.starts_with(albumPrefix))
        return {};
    const std::string_view rest = albumPath.substr(albumPrefix.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return {};
    std::string artist(rest.substr(0, slash));
    std::string album(rest.substr(slash + 1));
    http::urlDecode(artist);
    http::urlDecode(album);
    const std::string index = IndexStore(indexDirectory).currentIndex();
    if (index.empty())
        return {};

    std::string best;
    std::tuple<long, long, std::string> bestOrder;
    try {
        const std::wstring key = analysis::decodeUtf8(artist) + fields::albumKeySeparator + analysis::decodeUtf8(album);
        lucene::search::IndexSearcher searcher(index.c_str());
        lucene::index::Term* term = _CLNEW lucene::index::Term(fields::albumKey, key.c_str());
        lucene::search::TermQuery query(term);
        _CLDECDELETE(term);
        const std::unique_ptr<lucene::search::Hits> hits(searcher.search(&query));
        for (std::size_t i = 0; i < hits->length(); ++i) {
            lucene::document::Document& document = hits->doc(static_cast<std::int32_t>(i));
            const wchar_t* stored = document.get(fields::path);
            std::string path = analysis::narrowBytes(stored != nullptr ? stored : L"");
            if (path.empty() || (keep && !keep(path)))
                continue;
            auto order = std::make_tuple(storedInteger(document, fields::disc), storedInteger(document, fields::track),
                                         std::string(fileNamePart(path)));
            if (best.empty() || order < bestOrder) {
                best = std::move(path);
                bestOrder = std::move(order);
            }
        }
        searcher.close();
    } catch (const CLuceneError&) {
        return {};
    } catch (const std::exception&) {
        return {};
    }
    return best;
}

} // namespace library
