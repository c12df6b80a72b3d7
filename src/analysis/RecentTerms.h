#pragma once

#include <CLucene.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lucene::analysis::filename {

/// The terms an analysis chain made of the last few texts of one field, to
/// be given again when one of those texts comes back: an album's artist,
/// album and genre come with each of its tracks, one after another. One
/// thread at a time.
class RecentTerms {
public:
    /// A term as the chain gave it.
    struct Term {
        std::wstring text;
        std::int32_t start = 0;
        std::int32_t end = 0;
        std::int32_t increment = 1;
        /// An interned text of the tokenizer, which outlives every chain.
        const TCHAR* type = nullptr;
    };

    /// The terms made of `text`; nothing when it is not among the last remembered.
    const std::vector<Term>* find(std::wstring_view text) const;
    /// Remembers all the terms made of `text`, in place of the oldest text remembered.
    void remember(std::wstring_view text, std::vector<Term> terms);

private:
    struct Made {
        bool used = false;
        std::wstring text;
        std::vector<Term> terms;
    };

    std::array<Made, 4> made;
    std::size_t oldest = 0;
};

} // namespace lucene::analysis::filename
