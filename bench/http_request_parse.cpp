// Request parsing throughput on a typical browser request.
#include "message/BufferStream.h"
#include "message/Request.h"

#include <benchmark/benchmark.h>

namespace {

const std::string& browserGet()
{
    static const std::string text =
        "GET /consolestatus.xml?auth=0f3c9a52-7b1e-4d2a-9c61-2b8e4f0a7d13&ts=1733612345 HTTP/1.1\r\n"
        "Host: 127.0.0.1:8080\r\n"
        "User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0\r\n"
        "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
        "Accept-Language: en-US,en;q=0.5\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "Connection: keep-alive\r\n"
        "Cookie: Tunelet=0f3c9a52-7b1e-4d2a-9c61-2b8e4f0a7d13\r\n"
        "\r\n";
    return text;
}

void parseText(benchmark::State& state)
{
    const std::string& text = browserGet();
    http::Request request;
    for (auto _ : state) {
        request.parseText(text);
        benchmark::DoNotOptimize(request.params);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * std::int64_t(text.size()));
    state.SetLabel(std::to_string(text.size()) + "-byte GET");
}
BENCHMARK(parseText);

void parseFromStream(benchmark::State& state)
{
    const std::string& text = browserGet();
    http::Request request;
    http::BufferStream stream;
    for (auto _ : state) {
        stream.addInput(text);
        request.parse(stream);
        benchmark::DoNotOptimize(request.params);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * std::int64_t(text.size()));
    state.SetLabel(std::to_string(text.size()) + "-byte GET");
}
BENCHMARK(parseFromStream);

} // namespace

BENCHMARK_MAIN();
