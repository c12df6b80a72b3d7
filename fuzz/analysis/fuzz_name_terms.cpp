// Feeds arbitrary bytes to the file-name analyzer, once as a whole and once
// through a reader that hands out a few characters at a time (the first byte
// chooses how many): both must give the same terms, none longer than 255
// characters, and the UTF-8 decoding must round-trip.
#include "analysis/FilenameAnalyzer.h"
#include "analysis/NameTerms.h"
#include "analysis/WideText.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

/// Hands out at most `step` characters per read.
class TrickleReader : public lucene::util::Reader {
public:
    TrickleReader(const std::wstring& text, std::int32_t step) : text(text), step(step) {}

    std::int32_t read(const TCHAR*& start, std::int32_t, std::int32_t max) override
    {
        if (at >= text.size())
            return -1;
        const auto count = static_cast<std::size_t>(std::min(step, max));
        const std::size_t taken = std::min(count, text.size() - at);
        start = text.data() + at;
        at += taken;
        return static_cast<std::int32_t>(taken);
    }
    std::int64_t skip(std::int64_t) override { return 0; }
    std::int64_t position() override { return static_cast<std::int64_t>(at); }
    std::size_t size() override { return text.size(); }

private:
    const std::wstring& text;
    std::int32_t step;
    std::size_t at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string name(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::wstring text = analysis::decodeUtf8(name);
    if (analysis::encodeUtf8(text) != name)
        std::abort();

    const std::vector<std::string> whole = analysis::nameTerms(name);

    lucene::analysis::filename::FilenameAnalyzer analyzer;
    TrickleReader reader(text, 1 + data[0] % 7);
    std::unique_ptr<lucene::analysis::TokenStream> stream(analyzer.tokenStream(L"name", &reader));
    std::vector<std::string> trickled;
    lucene::analysis::Token token;
    while (stream->next(&token) != nullptr) {
        if (token.termLength() > 255)
            std::abort();
        trickled.push_back(analysis::encodeUtf8(std::wstring_view(token.termBuffer(), token.termLength())));
    }
    if (trickled != whole)
        std::abort();
    return 0;
}
