#pragma once

#include <CLucene.h>

namespace lucene::analysis::filename {

/// The analyzer of the "name" field and of queries: a `FilenameTokenizer`
/// over the reader, then a `FilenameFilter`, then the engine's
/// `LowerCaseFilter`. No stop words. Keeps no state between streams, so one
/// analyzer may serve several threads.
class FilenameAnalyzer : public Analyzer {
public:
    FilenameAnalyzer();
    ~FilenameAnalyzer() override;

    /// A new chain over `reader` (borrowed; it must outlive the chain), which
    /// the caller deletes. The field name is not looked at.
    TokenStream* tokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) override;
};

} // namespace lucene::analysis::filename
