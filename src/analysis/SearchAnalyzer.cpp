#include "analysis/SearchAnalyzer.h"

#include "analysis/FilenameFilter.h"
#include "analysis/FilenameTokenizer.h"
#include "analysis/RecentTerms.h"
#include "analysis/SearchTermFilter.h"

#include <climits>
#include <memory>
#include <utility>

namespace lucene::analysis::filename {

namespace {

/// The file-name analyzer's chain without the engine's lower-case filter,
/// which turns "ß" into "s": the search filter lower-cases every letter
/// itself.
TokenStream* fileNameChain(Tokenizer* tokenizer)
{
    return new FilenameFilter(tokenizer);
}

/// A chain that can be set to read another reader. The texts of the fields
/// it remembers are read whole first: one it made the terms of lately gets
/// them again, and any other is read through the chain, its terms kept once
/// the chain has given them all.
class ReusableSearchChain : public TokenStream {
public:
    ReusableSearchChain(lucene::util::Reader* reader, bool lastCharacters, const std::vector<std::wstring>& fields)
        : tokenizer(new FilenameTokenizer(reader)),
          chain(new SearchTermFilter(fileNameChain(tokenizer), lastCharacters))
    {
        for (const std::wstring& field : fields)
            memories.push_back({field, {}});
    }
    ~ReusableSearchChain() override = default;

    void restart(const TCHAR* field, lucene::util::Reader* reader)
    {
        chain->clear();
        replaying = nullptr;
        recording = memoryOf(field);
        if (recording == nullptr) {
            tokenizer->reset(reader);
            return;
        }
        text.clear();
        const TCHAR* read = nullptr;
        for (std::int32_t count; (count = reader->read(read, 1, INT_MAX)) > 0;)
            text.append(read, static_cast<std::size_t>(count));
        if ((replaying = recording->find(text)) != nullptr) {
            recording = nullptr;
            replayed = 0;
            return;
        }
        recorded.clear();
        textReader.init(text.c_str(), static_cast<std::int32_t>(text.size()), false);
        tokenizer->reset(&textReader);
    }

    Token* next(Token* token) override
    {
        if (replaying != nullptr) {
            if (replayed == replaying->size())
                return nullptr;
            const RecentTerms::Term& term = (*replaying)[replayed++];
            token->set(term.text.c_str(), term.start, term.end, term.type);
            token->setPositionIncrement(term.increment);
            return token;
        }
        Token* made = chain->next(token);
        if (recording != nullptr) {
            if (made != nullptr) {
                recorded.push_back({std::wstring(made->termBuffer(), made->termLength()), made->startOffset(),
                                    made->endOffset(), made->getPositionIncrement(), made->type()});
            } else {
                // Only a text read to its end is remembered (a writer may
                // stop reading a long one).
                recording->remember(text, std::move(recorded));
                recording = nullptr;
            }
        }
        return made;
    }
    void close() override { chain->close(); }

private:
    RecentTerms* memoryOf(const TCHAR* field)
    {
        for (auto& [name, memory] : memories)
            if (field != nullptr && name == field)
                return &memory;
        return nullptr;
    }

    FilenameTokenizer* tokenizer;  // owned through the chain
    std::unique_ptr<SearchTermFilter> chain;
    std::vector<std::pair<std::wstring, RecentTerms>> memories;
    /// The text of a remembered field, and the reader the chain reads it from.
    std::wstring text;
    lucene::util::StringReader textReader{L"", 0, false};
    /// Terms being given again, or the memory the terms being made go to.
    const std::vector<RecentTerms::Term>* replaying = nullptr;
    std::size_t replayed = 0;
    RecentTerms* recording = nullptr;
    std::vector<RecentTerms::Term> recorded;
};

} // namespace

SearchAnalyzer::SearchAnalyzer(Side side, std::vector<std::wstring> remembered)
    : side(side), remembered(std::move(remembered))
{
}

SearchAnalyzer::~SearchAnalyzer() = default;

TokenStream* SearchAnalyzer::tokenStream(const TCHAR*, lucene::util::Reader* reader)
{
    // Each filter owns the stream it wraps; the caller owns the outermost.
    return new SearchTermFilter(fileNameChain(new FilenameTokenizer(reader)), side == Side::index);
}

TokenStream* SearchAnalyzer::reusableTokenStream(const TCHAR* fieldName, lucene::util::Reader* reader)
{
    // Kept per thread by the engine, which deletes it with the analyzer.
    auto* saved = dynamic_cast<ReusableSearchChain*>(getPreviousTokenStream());
    if (saved == nullptr) {
        saved = new ReusableSearchChain(reader, side == Side::index, remembered);
        setPreviousTokenStream(saved);
    }
    saved->restart(fieldName, reader);
    return saved;
}

} // namespace lucene::analysis::filename
