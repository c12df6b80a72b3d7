#pragma once

#include <CLucene.h>

#include <string>
#include <vector>

namespace lucene::analysis::filename {

/// What the index and queries are read with: the file-name analyzer's
/// tokenizer and filter (its terms as the file-name rules make them), then a
/// `SearchTermFilter` that lower-cases, folds accents and cuts CJK runs into
/// pairs. Every indexed text field
/// goes through it, and every query term, so both sides make the same terms.
/// `Side::index` also gives the last character of each CJK run (see
/// SearchTermFilter). A stream keeps no state between texts, and each thread
/// gets streams of its own, so one analyzer may serve several threads.
///
/// An index writer's reusable chain may remember the terms of the last few
/// texts of some fields (see RecentTerms), whose texts repeat from document
/// to document: the same terms, made once.
class SearchAnalyzer : public Analyzer {
public:
    enum class Side { index, query };

    /// `remembered`: the fields whose terms the reusable chains remember.
    explicit SearchAnalyzer(Side side, std::vector<std::wstring> remembered = {});
    ~SearchAnalyzer() override;

    /// A new chain over `reader` (borrowed; it must outlive the chain), which
    /// the caller deletes. The field name is not looked at.
    TokenStream* tokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) override;

    /// The calling thread's one chain, set to read `reader` as the text of
    /// `fieldName`; owned by the analyzer (the engine's index writer asks for
    /// this one and does not delete it).
    TokenStream* reusableTokenStream(const TCHAR* fieldName, lucene::util::Reader* reader) override;

private:
    Side side;
    std::vector<std::wstring> remembered;
};

} // namespace lucene::analysis::filename
