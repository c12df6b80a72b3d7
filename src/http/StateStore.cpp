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

} // namespace http
