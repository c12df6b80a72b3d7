// The crypto wrapper on Windows: MD5 through the system's CNG provider
// (bcrypt), Base64 through crypt32, both system DLLs.
#include "http/Crypto.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <array>
#include <limits>

namespace http {

namespace {

/// Owns an open CNG algorithm provider.
class AlgorithmHandle {
public:
    explicit AlgorithmHandle(LPCWSTR algorithm)
    {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0)))
            handle = nullptr;
    }
    ~AlgorithmHandle()
    {
        if (handle)
            BCryptCloseAlgorithmProvider(handle, 0);
    }
    AlgorithmHandle(const AlgorithmHandle&) = delete;
    AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle; }

private:
    BCRYPT_ALG_HANDLE handle = nullptr;
};

/// Owns one running hash.
class HashHandle {
public:
    explicit HashHandle(BCRYPT_ALG_HANDLE algorithm)
    {
        if (!algorithm || !BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &handle, nullptr, 0, nullptr, 0, 0)))
            handle = nullptr;
    }
    ~HashHandle()
    {
        if (handle)
            BCryptDestroyHash(handle);
    }
    HashHandle(const HashHandle&) = delete;
    HashHandle& operator=(const HashHandle&) = delete;
    BCRYPT_HASH_HANDLE get() const { return handle; }

private:
    BCRYPT_HASH_HANDLE handle = nullptr;
};

} // namespace

std::string base64(std::string_view bytes)
{
    if (bytes.empty())
        return std::string();
    // The call takes a 32-bit count; a longer text is refused rather than cut.
    if (bytes.size() > (1u << 30))
        return std::string();
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    const DWORD count = static_cast<DWORD>(bytes.size());
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD length = 0;
    if (!CryptBinaryToStringA(data, count, flags, nullptr, &length) || length == 0)
        return std::string();
    std::string text(length, '\0');
    if (!CryptBinaryToStringA(data, count, flags, text.data(), &length))
        return std::string();
    text.resize(length);  // the count written, without the terminating zero
    return text;
}

std::string md5Hex(std::string_view bytes)
{
    static constexpr std::size_t md5Length = 16;
    const AlgorithmHandle algorithm(BCRYPT_MD5_ALGORITHM);
    const HashHandle hash(algorithm.get());
    if (!hash.get())
        return std::string();
    // Fed in pieces that fit the call's 32-bit count.
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const std::size_t piece = std::min<std::size_t>(rest.size(), std::numeric_limits<ULONG>::max());
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(rest.data()));
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), data, static_cast<ULONG>(piece), 0)))
            return std::string();
        rest.remove_prefix(piece);
    }
    std::array<UCHAR, md5Length> digest{};
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0)))
        return std::string();
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * md5Length);
    for (const UCHAR byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0xf];
    }
    return text;
}

bool equalSecret(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    // Every byte is looked at, whatever the first difference.
    volatile unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference = static_cast<unsigned char>(difference | (a[i] ^ b[i]));
    return difference == 0;
}

} // namespace http
