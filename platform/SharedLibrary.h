#pragma once

#include <string>
#include <utility>

namespace platform {

/// The file name ending of a loadable module: ".dll" on Windows, ".so"
/// elsewhere.
#ifdef _WIN32
inline constexpr const char* sharedLibrarySuffix = ".dll";
#else
inline constexpr const char* sharedLibrarySuffix = ".so";
#endif

/// Move-only owner of a loaded shared library: unloads it when it goes.
class SharedLibrary {
public:
    SharedLibrary() = default;
    SharedLibrary(SharedLibrary&& other) noexcept
        : library(std::exchange(other.library, nullptr)), lastError(std::move(other.lastError))
    {
    }
    SharedLibrary& operator=(SharedLibrary&& other) noexcept
    {
        if (this != &other) {
            close();
            library = std::exchange(other.library, nullptr);
            lastError = std::move(other.lastError);
        }
        return *this;
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    ~SharedLibrary() { close(); }

    /// Loads `path` (symbols resolved at once, kept local). False on failure,
    /// with the loader's reason in `error()`.
    bool open(const std::string& path);
    /// Unloads (if loaded).
    void close();

    bool isOpen() const { return library != nullptr; }
    /// The loader's handle (what a plug-in is told as its instance handle).
    void* handle() const { return library; }
    /// The address of an exported symbol; null when absent (see `error()`).
    void* symbol(const char* name);
    const std::string& error() const { return lastError; }

private:
    void* library = nullptr;
    std::string lastError;
};

} // namespace platform
