#include "library/IndexedFileTags.h"

#include "analysis/SearchAnalyzer.h"
#include "analysis/WideText.h"
#include "library/IndexFields.h"
#include "library/IndexReading.h"
#include "library/LibraryPath.h"
#include "library/TagFields.h"

#include <algorithm>
#include <limits>

namespace library {

using lucene::document::Document;
using lucene::index::IndexReader;
using lucene::index::Term;
using lucene::index::TermDocs;

IndexedFileTags::IndexedFileTags(std::string indexDirectory)
    : store(std::move(indexDirectory)), analyzer(std::make_unique<lucene::analysis::filename::SearchAnalyzer>(
                                         lucene::analysis::filename::SearchAnalyzer::Side::query))
{
}

IndexedFileTags::~IndexedFileTags() = default;

std::vector<std::optional<TrackTags>> IndexedFileTags::knownTags(const std::vector<LibraryEntry>& files) const
{
    std::vector<std::optional<TrackTags>> out(files.size());
    reading::withReader(store, [&](IndexReader& reader) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const LibraryEntry& file = files[i];
            // The name as the indexer indexed it: without its extension.
            std::string_view name = fileNamePart(file.path);
            name = name.substr(0, std::min(name.rfind('.'), name.size()));
            std::optional<std::int32_t> document = documentNamed(reader, name, [&](const Document& stored) {
                const wchar_t* path = stored.get(fields::path);
                return path != nullptr && analysis::narrowBytes(path) == file.path;
            });
            if (!document)
                continue;
            Document stored;
            reader.document(*document, stored);
            if (reading::storedDecimal(stored, fields::size) == file.size && reading::storedDecimal(stored, fields::modified) == file.modified.value())
                out[i] = storedTags(stored);
        }
    });
    return out;
}

std::optional<std::int32_t> IndexedFileTags::documentNamed(lucene::index::IndexReader& reader, std::string_view name,
                                                      const std::function<bool(const Document&)>& matches) const
{
    const std::wstring text = analysis::decodeUtf8(name);
    lucene::util::StringReader input(text.c_str(), static_cast<std::int32_t>(text.size()), false);
    const std::unique_ptr<lucene::analysis::TokenStream> tokens(analyzer->tokenStream(fields::name, &input));
    // Every term of the name, the rarest first: its documents are the
    // candidates, and each must hold all the others too.
    std::vector<std::pair<std::int32_t, std::wstring>> terms;
    lucene::analysis::Token token;
    while (tokens->next(&token) != nullptr) {
        std::wstring term(token.termBuffer(), token.termLength());
        const reading::TermPtr held(new Term(fields::name, term.c_str()));
        terms.emplace_back(reader.docFreq(held.get()), std::move(term));
    }
    tokens->close();
    if (terms.empty())
        return std::nullopt;
    std::sort(terms.begin(), terms.end());
    std::vector<reading::DocsPtr> postings;
    std::vector<std::int32_t> at;
    for (const auto& [frequency, term] : terms) {
        const reading::TermPtr held(new Term(fields::name, term.c_str()));
        postings.emplace_back(reader.termDocs(held.get()));
        at.push_back(-1);
    }
    for (int candidates = 0; candidates < maxCandidates && postings[0]->next(); ++candidates) {
        const std::int32_t doc = postings[0]->doc();
        bool holdsAll = true;
        for (std::size_t k = 1; k < postings.size() && holdsAll; ++k) {
            // skipTo moves on at least once, so only when behind.
            if (at[k] < doc)
                at[k] = postings[k]->skipTo(doc) ? postings[k]->doc() : std::numeric_limits<std::int32_t>::max();
            holdsAll = at[k] == doc;
        }
        if (!holdsAll)
            continue;
        Document stored;
        reader.document(doc, stored);
        if (matches(stored))
            return doc;
    }
    return std::nullopt;
}

} // namespace library
