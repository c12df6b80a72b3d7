#pragma once

#include "library/IndexStore.h"
#include "library/TrackRecord.h"

#include <CLucene.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace library::reading {

/// Reading the last complete index: owners of the engine's readers,
/// enumerations and terms, and the walks the browsing classes share. Any
/// thread, each with its own reader; the walks pass the engine's errors on,
/// `withReader` ends them.

using lucene::document::Document;
using lucene::index::IndexReader;
using lucene::index::Term;
using lucene::index::TermDocs;
using lucene::index::TermEnum;

struct CloseReader {
    void operator()(IndexReader* reader) const
    {
        try {
            reader->close();
        } catch (...) {
        }
        delete reader;
    }
};
struct CloseTerms {
    void operator()(TermEnum* terms) const
    {
        try {
            terms->close();
        } catch (...) {
        }
        delete terms;
    }
};
struct CloseDocs {
    void operator()(TermDocs* docs) const
    {
        try {
            docs->close();
        } catch (...) {
        }
        delete docs;
    }
};
/// Terms are counted references of the engine's.
struct ReleaseTerm {
    void operator()(Term* term) const { _CLDECDELETE(term); }
};
/// The engine's directories are shared by folder and counted twice over:
/// the owner closes it, then drops its reference.
struct CloseDirectory {
    void operator()(lucene::store::FSDirectory* directory) const
    {
        try {
            directory->close();
        } catch (...) {
        }
        _CLDECDELETE(directory);
    }
};
using ReaderPtr = std::unique_ptr<IndexReader, CloseReader>;
using DirectoryPtr = std::unique_ptr<lucene::store::FSDirectory, CloseDirectory>;
using TermPtr = std::unique_ptr<Term, ReleaseTerm>;

using TermsPtr = std::unique_ptr<TermEnum, CloseTerms>;
using DocsPtr = std::unique_ptr<TermDocs, CloseDocs>;

/// A reader of the last complete index; empty when there is none.
ReaderPtr openReader(const IndexStore& store);

/// The engine's directory over the index in `folder`, for a searcher that
/// reads many stored documents at scattered places: on 64-bit POSIX systems
/// its files are read through memory maps, so reading a document takes no
/// system call (the engine's own files seek and read twice per document).
/// Elsewhere (a 32-bit address space may not hold a large index) as the
/// engine opens it. Throws the engine's errors; outlives what reads it.
DirectoryPtr openMappedDirectory(const std::string& folder);

/// Calls `body(text, documents)` for every term of `field` from `from` on,
/// in term order, while it answers true.
template <class Body> void forEachTerm(IndexReader& reader, const wchar_t* field, const std::wstring& from, Body&& body)
{
    const TermPtr start(new Term(field, from.c_str()));
    const TermsPtr terms(reader.terms(start.get()));
    if (!terms)
        return;
    do {
        const Term* term = terms->term(false);
        if (term == nullptr || std::wcscmp(term->field(), field) != 0)
            break;
        if (!body(std::wstring_view(term->text(), term->textLength()), static_cast<std::size_t>(terms->docFreq())))
            break;
    } while (terms->next());
}

/// Calls `body(document)` for every document holding the term `field`:`text`.
template <class Body> void forEachDocument(IndexReader& reader, const wchar_t* field, const std::wstring& text, Body&& body)
{
    const TermPtr term(new Term(field, text.c_str()));
    const DocsPtr docs(reader.termDocs(term.get()));
    if (!docs)
        return;
    std::int32_t ids[256];
    std::int32_t frequencies[256];
    for (std::int32_t read; (read = docs->read(ids, frequencies, 256)) > 0;) {
        for (std::int32_t i = 0; i < read; ++i)
            body(ids[i]);
    }
}

/// Runs `body` on an open reader; whatever the engine throws ends it quietly.
template <class Body> void withReader(const IndexStore& store, Body&& body)
{
    try {
        const ReaderPtr reader = openReader(store);
        if (reader)
            body(*reader);
    } catch (const CLuceneError&) {
    } catch (const std::exception&) {
    }
}


/// Which documents hold the term `field`:`text`.
std::vector<bool> documentsWith(IndexReader& reader, const wchar_t* field, const std::wstring& text);

/// A stored decimal field (0 when missing or not a number), and a stored
/// text as UTF-8 ("" when missing).
std::uint64_t storedDecimal(const Document& document, const wchar_t* field);
std::string storedUtf8(const Document& document, const wchar_t* field);

/// The facts and tags stored with document `id`; with `only`, just the
/// fields it loads (the others stay empty or 0).
TrackRecord readRecord(IndexReader& reader, std::int32_t id, const lucene::document::FieldSelector* only = nullptr);

/// Loads only what an album's summary and its track order take: the path,
/// track, disc, year, duration and picture. Stateless, shared by all threads.
const lucene::document::FieldSelector& summaryFields();

} // namespace library::reading
