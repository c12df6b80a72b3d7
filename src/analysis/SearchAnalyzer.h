#pragma once

#include <CLucene.h>

namespace lucene::analysis::filename {

/// What the index and queries are read with: the file-name analyzer's
/// tokenizer and filter (its terms as the file-name rules make them), then a
/// `SearchTermFilter` that lower-cases, folds accents and cuts CJK runs into
/// pairs. Every indexed text field
/// goes through it, and every query term, so both sides make the same terms.
/// `Side::index` also gives the last character of each CJK run (see
/// SearchTermFilter). A stream keeps no state between texts, and each thread
/// gets streams of its own, so one analyzer may serve several threads.
class SearchAnalyzer : public Analyzer {
public:
    enum class Side { index, query };

    explicit SearchAnalyzer(Side side);
    ~SearchAnalyzer() override;

    /// A new chain over `reader` (borrowed; it must outlive the chain), which
    /// the caller deletes. The field name is not looked at.
    TokenStream* tokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) override;

    /// The calling thread's one chain, set to read `reader`; owned by the
    /// analyzer (the engine's index writer asks for this one and does not
    /// delete it).
    TokenStream* reusableTokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) override;

private:
    Side side;
};

} // namespace lucene::analysis::filename
