#include "analysis/FilenameAnalyzer.h"

#include "analysis/FilenameFilter.h"
#include "analysis/FilenameTokenizer.h"

#include <memory>

namespace lucene::analysis::filename {

namespace {

/// A chain that can be set to read another reader.
class ReusableChain : public TokenStream {
public:
    explicit ReusableChain(lucene::util::Reader* reader)
        : tokenizer(new FilenameTokenizer(reader)), chain(new LowerCaseFilter(new FilenameFilter(tokenizer), true))
    {
    }
    ~ReusableChain() override = default;

    void restart(lucene::util::Reader* reader) { tokenizer->reset(reader); }
    Token* next(Token* token) override { return chain->next(token); }
    void close() override { chain->close(); }

private:
    FilenameTokenizer* tokenizer;  // owned through the chain
    std::unique_ptr<TokenStream> chain;
};

} // namespace

FilenameAnalyzer::FilenameAnalyzer() = default;

FilenameAnalyzer::~FilenameAnalyzer() = default;

TokenStream* FilenameAnalyzer::tokenStream(const TCHAR*, lucene::util::Reader* reader)
{
    // Each filter owns the stream it wraps; the caller owns the outermost.
    return new LowerCaseFilter(new FilenameFilter(new FilenameTokenizer(reader)), true);
}

TokenStream* FilenameAnalyzer::reusableTokenStream(const TCHAR*, lucene::util::Reader* reader)
{
    // Kept per thread by the engine, which deletes it with the analyzer.
    auto* saved = dynamic_cast<ReusableChain*>(getPreviousTokenStream());
    if (saved == nullptr) {
        saved = new ReusableChain(reader);
        setPreviousTokenStream(saved);
    } else {
        saved->restart(reader);
    }
    return saved;
}

} // namespace lucene::analysis::filename
