// Feeds arbitrary "Range" values to the range parser and to a file answer
// over an in-memory stream: the answer must stay within the file.
#include "http/BufferStream.h"
#include "http/FileResponse.h"
#include "http/RangeHeader.h"
#include "http/Request.h"
#include "http/Response.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const std::string& documentRoot()
{
    static const std::string root = [] {
        auto path = std::filesystem::temp_directory_path() / ("tunelet-fuzz-range-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        std::ofstream(path / "file.bin", std::ios::binary) << std::string(3000, 'x');
        return path.string();
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string value(reinterpret_cast<const char*>(data), size);
    std::uint64_t start = http::parseRangeStart(value);

    http::BufferStream stream;
    http::Request request;
    request.headers["Range"] = value;
    http::Response response(&stream);
    if (!http::sendFile(response, documentRoot(), request, "file.bin"))
        __builtin_trap();
    std::string sent = stream.sent();
    std::size_t body = sent.find("\r\n\r\n");
    if (body == std::string::npos)
        __builtin_trap();
    std::size_t bodySize = sent.size() - body - 4;
    if (!value.empty() && (start < 3000 ? bodySize != 3000 - start : bodySize != 0))
        __builtin_trap();
    return 0;
}
