#include "analysis/SearchAnalyzer.h"

#include "analysis/FilenameFilter.h"
#include "analysis/FilenameTokenizer.h"
#include "analysis/SearchTermFilter.h"

#include <memory>

namespace lucene::analysis::filename {

namespace {

/// The file-name analyzer's chain without the engine's lower-case filter,
/// which turns "ß" into "s": the search filter lower-cases every letter
/// itself.
TokenStream* fileNameChain(Tokenizer* tokenizer)
{
    return new FilenameFilter(tokenizer);
}

/// A chain that can be set to read another reader.
class ReusableSearchChain : public TokenStream {
public:
    ReusableSearchChain(lucene::util::Reader* reader, bool lastCharacters)
        : tokenizer(new FilenameTokenizer(reader)),
          chain(new SearchTermFilter(fileNameChain(tokenizer), lastCharacters))
    {
    }
    ~ReusableSearchChain() override = default;

    void restart(lucene::util::Reader* reader)
    {
        chain->clear();
        tokenizer->reset(reader);
    }
    Token* next(Token* token) override { return chain->next(token); }
    void close() override { chain->close(); }

private:
    FilenameTokenizer* tokenizer;  // owned through the chain
    std::unique_ptr<SearchTermFilter> chain;
};

} // namespace

SearchAnalyzer::SearchAnalyzer(Side side) : side(side) {}

SearchAnalyzer::~SearchAnalyzer() = default;

TokenStream* SearchAnalyzer::tokenStream(const TCHAR*, lucene::util::Reader* reader)
{
    // Each filter owns the stream it wraps; the caller owns the outermost.
    return new SearchTermFilter(fileNameChain(new FilenameTokenizer(reader)), side == Side::index);
}

TokenStream* SearchAnalyzer::reusableTokenStream(const TCHAR*, lucene::util::Reader* reader)
{
    // Kept per thread by the engine, which deletes it with the analyzer.
    auto* saved = dynamic_cast<ReusableSearchChain*>(getPreviousTokenStream());
    if (saved == nullptr) {
        saved = new ReusableSearchChain(reader, side == Side::index);
        setPreviousTokenStream(saved);
    } else {
        saved->restart(reader);
    }
    return saved;
}

} // namespace lucene::analysis::filename
