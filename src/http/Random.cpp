#include "http/Random.h"

#include <array>
#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <mutex>
#include <vector>

namespace http {
namespace {

constexpr std::size_t stateWords = 624;

// A seed sequence that hands the engine the state of the reference array
// initialisation, so the outputs match the reference generator word for word
// (std::seed_seq would scramble the key differently).
class ArraySeed {
public:
    using result_type = std::uint32_t;

    explicit ArraySeed(std::span<const std::uint32_t> key) : key(key) {}

    template <typename Iterator>
    void generate(Iterator begin, Iterator end) const
    {
        std::array<std::uint32_t, stateWords> mt{};
        mt[0] = 19650218u;
        for (std::uint32_t i = 1; i < stateWords; ++i)
            mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + i;
        std::size_t i = 1;
        std::size_t j = 0;
        std::size_t length = key.size();
        for (std::size_t k = std::max(stateWords, length); k > 0; --k) {
            std::uint32_t word = length ? key[j] : 0;
            mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + word
                + static_cast<std::uint32_t>(j);
            if (++i >= stateWords) {
                mt[0] = mt[stateWords - 1];
                i = 1;
            }
            if (++j >= length)
                j = 0;
        }
        for (std::size_t k = stateWords - 1; k > 0; --k) {
            mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u))
                - static_cast<std::uint32_t>(i);
            if (++i >= stateWords) {
                mt[0] = mt[stateWords - 1];
                i = 1;
            }
        }
        mt[0] = 0x80000000u;
        std::size_t n = 0;
        for (Iterator it = begin; it != end && n < stateWords; ++it, ++n)
            *it = mt[n];
    }

private:
    std::span<const std::uint32_t> key;
};

template <typename Value>
std::uint32_t fold(std::uint32_t hash, const Value& value)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    for (std::size_t i = 0; i < sizeof value; ++i)
        hash = hash * 257u + bytes[i];
    return hash;
}

std::mt19937 seededFromSystem()
{
    std::vector<std::uint32_t> key(stateWords);
    std::ifstream random("/dev/urandom", std::ios::binary);
    if (random.read(reinterpret_cast<char*>(key.data()), static_cast<std::streamsize>(key.size() * 4)))
        return arraySeededGenerator(key);

    // No entropy device: the time and the processor clock, with a counter so
    // two set-ups within one clock tick still differ.
    static std::atomic<std::uint32_t> uses{0};
    std::int64_t now = std::chrono::system_clock::now().time_since_epoch().count();
    auto ticks = static_cast<std::uint32_t>(std::clock());
    std::uint32_t h1 = fold(0, now);
    std::uint32_t h2 = fold(0, ticks);
    return std::mt19937((h1 + uses++) ^ h2);
}

struct SharedGenerator {
    std::mutex lock;
    std::mt19937 engine = seededFromSystem();
};

SharedGenerator& sharedGenerator()
{
    static SharedGenerator generator;
    return generator;
}

// Sets the generator up while the module loads, before any connection draws.
[[maybe_unused]] const bool seededAtLoad = (sharedGenerator(), true);

} // namespace

std::mt19937 arraySeededGenerator(std::span<const std::uint32_t> key)
{
    ArraySeed seed(key);
    return std::mt19937(seed);
}

void randomWords(std::span<std::uint32_t> words)
{
    SharedGenerator& generator = sharedGenerator();
    std::lock_guard guard(generator.lock);
    for (std::uint32_t& word : words)
        word = static_cast<std::uint32_t>(generator.engine());
}

} // namespace http
