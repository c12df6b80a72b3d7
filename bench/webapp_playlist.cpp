// "playlist.xml" with the full track list, built through the player facade
// from a real player that runs its message loop on a thread of its own, as
// the host's user-interface thread does. No socket: the answer goes to an
// in-memory stream.
#include "settings/Settings.h"
#include "message/BufferStream.h"
#include "message/Request.h"
#include "message/Response.h"
#include "http/StateStore.h"
#include "platform/PlayerMessages.h"
#include "platform/Window.h"
#include "webapp/RequestContext.h"
#include "webapp/WebApplication.h"
#include "PlayerThread.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

using namespace platform;
using bench::PlayerThread;

/// The whole "playlist.xml" answer (no id: the full list); its size.
std::size_t answerPlaylist(webapp::WebApplication& application)
{
    http::BufferStream stream;
    http::Request request;
    request.path = "/playlist.xml";
    http::Response response(&stream);
    http::StateStore session;
    webapp::RequestContext context(request, response, &session, "playlist.xml", "Tunelet");
    application.dispatch(context);
    return response.body.size();
}

host::Settings& unusedSettings()
{
    static host::Settings settings((std::filesystem::temp_directory_path() / "bench-unused.ini").string());
    return settings;
}

/// As a request thread builds it: every message crosses to the player's
/// thread and waits for the answer.
void playlistDocument(benchmark::State& state)
{
    const int entries = static_cast<int>(state.range(0));
    PlayerThread player(entries);
    webapp::WebApplication application(player.main, nullptr, unusedSettings());
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = answerPlaylist(application);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["entries"] = entries;
    state.counters["messages/s"] =
        benchmark::Counter(2.0 * entries * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(std::to_string(bytes) + "-byte document");
}
BENCHMARK(playlistDocument)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

/// The same document built on the player's own thread, where every message
/// is a direct call: what the document costs without the thread hand-offs.
void playlistDocumentWithoutHandOffs(benchmark::State& state)
{
    const int entries = static_cast<int>(state.range(0));
    PlayerThread player(entries);
    webapp::WebApplication application(player.main, nullptr, unusedSettings());
    std::size_t bytes = 0;
    for (auto _ : state) {
        player.onPlayer([&] { bytes = answerPlaylist(application); });
        benchmark::DoNotOptimize(bytes);
    }
    state.SetLabel(std::to_string(bytes) + "-byte document");
}
BENCHMARK(playlistDocumentWithoutHandOffs)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

/// One request answered on the player's thread, from another thread.
void crossThreadMessage(benchmark::State& state)
{
    PlayerThread player(10);
    for (auto _ : state)
        benchmark::DoNotOptimize(sendMessage(player.main, WM_WA_IPC, 0, IPC_GETLISTLENGTH));
}
BENCHMARK(crossThreadMessage)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
