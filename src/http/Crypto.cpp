#include "http/Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace http {

std::string base64(std::string_view bytes)
{
    // EVP_EncodeBlock takes an int count; headers are far below that limit,
    // and a longer text is refused rather than cut.
    if (bytes.size() > (1u << 30))
        return std::string();
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    text.resize(written < 0 ? 0 : static_cast<std::size_t>(written));
    return text;
}

std::string md5Hex(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1)
        return std::string();
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 0xf];
    }
    return text;
}

bool equalSecret(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace http
