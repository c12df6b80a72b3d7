#include "http/StateStore.h"

namespace http {

std::string StateStore::get(const std::string& key)
{
    std::lock_guard guard(lock);
    return values[key];
}

void StateStore::set(const std::string& key, std::string text)
{
    std::lock_guard guard(lock);
    values[key] = std::move(text);
}

std::string StateStore::setIfEmpty(const std::string& key, std::string text)
{
    std::lock_guard guard(lock);
    std::string& entry = values[key];
    if (entry.empty())
        entry = std::move(text);
    return entry;
}

} // namespace http
