#pragma once

#include <CLucene.h>

namespace lucene::analysis::filename {

/// The analyzer of the "name" field and of queries: a `FilenameTokenizer`
/// over the reader, then a `FilenameFilter`, then the engine's
/// `LowerCaseFilter`. No stop words. A stream keeps no state between texts,
/// and each thread gets streams of its own, so one analyzer may serve
/// several threads.
class FilenameAnalyzer : public Analyzer {
public:
    FilenameAnalyzer();
    ~FilenameAnalyzer() override;

    /// A new chain over `reader` (borrowed; it must outlive the chain), which
    /// the caller deletes. The field name is not looked at.
    TokenStream* tokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) override;

    /// The calling thread's one chain, set to read `reader`; owned by the
    /// analyzer (the engine's index writer asks for this one and does not
    /// delete it).
    TokenStream* reusableTokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) override;
};

} // namespace lucene::analysis::filename
