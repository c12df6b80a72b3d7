// Time per request of the library routes over loopback: "library.js" of a
// folder of 10,000 files and "stream" of a tree of 20,000 files (100 folders
// of 200), each on a kept connection to the web application's own server.
#include "settings/Settings.h"
#include "message/UrlCoding.h"
#include "http/support/RawClient.h"
#include "platform/Socket.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

void fill(const std::string& home)
{
    fs::create_directories(home + "/flat");
    for (int i = 0; i < 10000; ++i)
        std::ofstream(home + "/flat/Song number " + std::to_string(i) + ".mp3") << 'x';
    for (int d = 0; d < 100; ++d) {
        const std::string folder = home + "/tree/Album " + std::to_string(d);
        fs::create_directories(folder);
        for (int i = 0; i < 200; ++i)
            std::ofstream(folder + "/Track " + std::to_string(i) + ".flac") << 'x';
    }
}

struct Library {
    Library()
    {
        home = (fs::temp_directory_path() / "tunelet-bench-XXXXXX").string();
        if (::mkdtemp(home.data()) == nullptr)
            std::abort();
        fill(home);
        settings = std::make_unique<host::Settings>(home + "/gen_Tunelet.ini");
        settings->update([&](auto& d) {
            d.sharedDirs = {home + "/flat", home + "/tree"};
            d.documentRoot = home + "/skins";
        });
        application = std::make_unique<webapp::WebApplication>(nullptr, nullptr, *settings);
        server = std::make_unique<webapp::TuneletServer>(*application, *settings, platform::loopbackAddress(), 0);
        server->start();
        for (int i = 0; i < 500 && server->listeningPort() == 0; ++i)
            std::this_thread::sleep_for(10ms);
    }
    ~Library()
    {
        server->stop();
        server->threadHandle()->waitFor(10s);
        server.reset();
        application.reset();
        fs::remove_all(home);
    }

    std::string home;
    std::unique_ptr<host::Settings> settings;
    std::unique_ptr<webapp::WebApplication> application;
    std::unique_ptr<webapp::TuneletServer> server;
};

Library& library()
{
    static Library shared;
    return shared;
}

void request(benchmark::State& state, const std::string& route, const std::string& path)
{
    Library& shared = library();
    testing_support::RawClient client(shared.server->listeningPort());
    const std::string text = "GET /" + route + "?path=" + http::urlEncode(path) +
                             " HTTP/1.1\r\nHost: bench\r\nCookie: Tunelet=s1\r\n\r\n";
    std::size_t bytes = 0;
    for (auto _ : state) {
        client.send(text);
        testing_support::RawClient::Answer answer = client.readAnswer(60s);
        if (answer.status != 200) {
            state.SkipWithError("the route did not answer 200");
            return;
        }
        bytes = answer.body.size();
    }
    state.counters["body_bytes"] = static_cast<double>(bytes);
}

void BM_LibraryJsOf10000Files(benchmark::State& state)
{
    request(state, "library.js", library().home + "/flat");
}

void BM_StreamOf20000FileTree(benchmark::State& state)
{
    request(state, "stream", library().home + "/tree");
}

BENCHMARK(BM_LibraryJsOf10000Files)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StreamOf20000FileTree)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
