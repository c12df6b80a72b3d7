#pragma once

#include <utility>

namespace platform {

/// Move-only owner of a file descriptor (a file, a socket, an eventfd): the
/// destructor closes it. -1 means "owns nothing".
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : descriptor(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : descriptor(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return descriptor; }
    bool isValid() const { return descriptor >= 0; }
    explicit operator bool() const { return isValid(); }

    /// Gives up ownership without closing.
    int release() { return std::exchange(descriptor, -1); }
    /// Closes what is owned (if anything) and takes `fd` instead.
    void reset(int fd = -1);

private:
    int descriptor = -1;
};

} // namespace platform
