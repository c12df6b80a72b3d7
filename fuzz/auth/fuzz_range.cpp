// Feeds arbitrary "Range" values to the range parser and to a file answer
// over an in-memory stream: the answer must hold exactly the bytes chosen.
#include "message/BufferStream.h"
#include "http/FileResponse.h"
#include "http/RangeHeader.h"
#include "message/Request.h"
#include "message/Response.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr std::uint64_t fileSize = 3000;

const std::string& documentRoot()
{
    static const std::string root = [] {
        auto path = std::filesystem::temp_directory_path() / ("tunelet-fuzz-range-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        std::string bytes;
        for (std::uint64_t i = 0; i < fileSize; ++i)
            bytes += static_cast<char>('a' + i % 26);
        std::ofstream(path / "file.bin", std::ios::binary) << bytes;
        return path.string();
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string value(reinterpret_cast<const char*>(data), size);
    http::RangeChoice choice = http::chooseRange(value, fileSize);
    if (choice.answer == http::RangeChoice::part
        && (choice.length == 0 || choice.first >= fileSize || choice.length > fileSize - choice.first))
        __builtin_trap();

    http::BufferStream stream;
    http::Request request;
    request.headers["Range"] = value;
    http::Response response(&stream);
    if (!http::sendFile(response, documentRoot(), request, "file.bin"))
        __builtin_trap();
    std::string sent = stream.sent();
    std::size_t end = sent.find("\r\n\r\n");
    if (end == std::string::npos)
        __builtin_trap();
    std::string body = sent.substr(end + 4);
    const bool part = choice.answer == http::RangeChoice::part;
    std::uint64_t first = part ? choice.first : 0;
    std::uint64_t length = part ? choice.length : choice.answer == http::RangeChoice::unsatisfiable ? 0 : fileSize;
    if (body.size() != length)
        __builtin_trap();
    for (std::size_t i = 0; i < body.size(); ++i)
        if (body[i] != static_cast<char>('a' + (first + i) % 26))
            __builtin_trap();
    return 0;
}
