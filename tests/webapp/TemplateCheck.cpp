#include "TemplateCheck.h"

#include <gtest/gtest.h>

namespace webapptest {

std::string filledInValue(std::string_view original, std::string_view placeholder, std::string_view expanded)
{
    std::size_t at = original.find(placeholder);
    if (at == std::string_view::npos) {
        ADD_FAILURE() << "no " << placeholder << " in the original";
        return {};
    }
    std::string_view before = original.substr(0, at);
    std::string_view after = original.substr(at + placeholder.size());
    if (!expanded.starts_with(before) || !expanded.ends_with(after) ||
        expanded.size() < before.size() + after.size()) {
        ADD_FAILURE() << "the text around " << placeholder << " changed";
        return {};
    }
    return std::string(expanded.substr(at, expanded.size() - before.size() - after.size()));
}

bool isPlaylistId(std::string_view text)
{
    if (text.size() != 10)
        return false;
    for (char c : text) {
        if (c < 'a' || c > 'y')
            return false;
    }
    return true;
}

} // namespace webapptest
