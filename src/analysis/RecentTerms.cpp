#include "analysis/RecentTerms.h"

#include <utility>

namespace lucene::analysis::filename {

const std::vector<RecentTerms::Term>* RecentTerms::find(std::wstring_view text) const
{
    for (const Made& each : made)
        if (each.used && each.text == text)
            return &each.terms;
    return nullptr;
}

void RecentTerms::remember(std::wstring_view text, std::vector<Term> terms)
{
    Made& replaced = made[oldest];
    replaced.used = true;
    replaced.text.assign(text);
    replaced.terms = std::move(terms);
    oldest = (oldest + 1) % made.size();
}

} // namespace lucene::analysis::filename
