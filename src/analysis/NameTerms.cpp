#include "analysis/NameTerms.h"

#include "analysis/FilenameAnalyzer.h"
#include "analysis/WideText.h"

#include <memory>

namespace analysis {

std::vector<std::string> nameTerms(std::string_view name)
{
    std::vector<std::string> terms;
    const std::wstring text = decodeUtf8(name);
    try {
        lucene::analysis::filename::FilenameAnalyzer analyzer;
        lucene::util::StringReader reader(text.c_str(), static_cast<std::int32_t>(text.size()), false);
        std::unique_ptr<lucene::analysis::TokenStream> stream(analyzer.tokenStream(L"name", &reader));
        lucene::analysis::Token token;
        while (stream->next(&token) != nullptr)
            terms.push_back(encodeUtf8(std::wstring_view(token.termBuffer(), token.termLength())));
        stream->close();
    } catch (const CLuceneError&) {
    }
    return terms;
}

} // namespace analysis
