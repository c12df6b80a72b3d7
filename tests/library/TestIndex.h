#pragma once

#include "analysis/SearchAnalyzer.h"
#include "analysis/WideText.h"
#include "library/DocumentFields.h"
#include "library/IndexDirectory.h"
#include "library/IndexFields.h"
#include "library/IndexStore.h"
#include "library/TagFields.h"
#include "library/TrackTags.h"

#include <CLucene.h>

#include <cstdint>
#include <string>
#include <optional>
#include <vector>

namespace librarytest {

/// A document as the indexer writes one, given outright: the name is the
/// path's file-name part without its extension (a directory's whole name).
struct IndexedEntry {
    std::string path;
    std::uint32_t attributes = 0x80;
    std::uint32_t size = 0;
    std::uint64_t modified = 0;
    /// Written as the indexer writes a file's tags.
    std::optional<library::TrackTags> tags;
};

/// Writes `entries` as a whole index in the new generation `rebuild` made,
/// with the analyzer the indexer uses, without publishing it. False when the
/// engine failed.
inline bool writeGeneration(const library::IndexStore::Rebuild& rebuild, const std::vector<IndexedEntry>& entries)
{
    using lucene::document::Field;
    const int stored = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO);
    const int analysed = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED);
    lucene::analysis::filename::SearchAnalyzer analyzer(lucene::analysis::filename::SearchAnalyzer::Side::index);
    try {
        lucene::index::IndexWriter writer(rebuild.path().c_str(), &analyzer, true);
        for (const IndexedEntry& entry : entries) {
            std::string name(entry.path.substr(entry.path.rfind('/') + 1));
            if ((entry.attributes & 0x10) == 0 && name.rfind('.') != std::string::npos)
                name.resize(name.rfind('.'));
            library::DocumentFields document;
            auto add = [&](const wchar_t* field, const std::wstring& value, int flags) {
                document.add(field, value, flags);
            };
            add(library::fields::name, analysis::decodeUtf8(name), analysed);
            add(library::fields::path, analysis::widenBytes(entry.path), stored);
            add(library::fields::attributes, std::to_wstring(entry.attributes), stored);
            add(library::fields::size, std::to_wstring(entry.size), stored);
            add(library::fields::modified, std::to_wstring(entry.modified), stored);
            if (entry.tags)
                library::addTagFields(document, *entry.tags);
            writer.addDocument(&document.document());
        }
        writer.close();
    } catch (const CLuceneError&) {
        return false;
    }
    return true;
}

/// Writes `entries` as the complete index below `indexDirectory`. False when
/// the engine failed.
inline bool writeIndex(const std::string& indexDirectory, const std::vector<IndexedEntry>& entries)
{
    std::optional<library::IndexStore::Rebuild> rebuild = library::IndexStore(indexDirectory).beginRebuild();
    return rebuild && writeGeneration(*rebuild, entries) && rebuild->publish();
}

} // namespace librarytest
