// A command's round trip over loopback beside 0, 1 and 1,000 open "live"
// listeners, in one run, against the real player on a window thread of its
// own. The command is "setvolume" with a new level each time, so every
// listener is owed every change: the most the listeners can cost a command.
// The listeners read their streams as browsers do, in a program of their
// own (`CrowdProcess`), and each must have been told the last level before
// the run counts. Commands
// go one at a time, 10 ms apart, as a person's would; the median and 99th
// percentile of each count, and at the end those of 1,000 listeners over
// those of none. The load average is printed with them: other work on the
// machine lengthens the tail of either count.
#include "settings/Settings.h"
#include "http/support/RawClient.h"
#include "platform/Socket.h"
#include "webapp/LiveFeed.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"
#include "CrowdProcess.h"
#include "PlayerThread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::RawClient;

namespace {

constexpr int mostListeners = 1000;

/// The player, the application and its server, with a session, for the
/// whole run.
struct Served {
    Served() : player(20)
    {
        home = (fs::temp_directory_path() / "tunelet-bench-XXXXXX").string();
        if (::mkdtemp(home.data()) == nullptr)
            std::abort();
        settings = std::make_unique<host::Settings>(home + "/gen_Tunelet.ini");
        settings->update([&](auto& d) { d.documentRoot = home + "/skins"; });
        application = std::make_unique<webapp::WebApplication>(player.main, nullptr, *settings);
        server = std::make_unique<webapp::TuneletServer>(*application, *settings, platform::loopbackAddress(), 0);
        server->maxConnectionsPerPeer = mostListeners + 8;
        server->start();
        for (int i = 0; i < 500 && server->listeningPort() == 0; ++i)
            std::this_thread::sleep_for(10ms);
        session = server->sessions().issue().first;
        cookie = "Cookie: Tunelet=" + session + "\r\n";
    }
    ~Served()
    {
        server->stop();
        server->threadHandle()->waitFor(10s);
        server.reset();
        application.reset();
        fs::remove_all(home);
    }

    std::string request(const std::string& target) const
    {
        return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + cookie + "\r\n";
    }
    /// Waits until the feed counts `count` listeners; false after 20 s.
    bool listened(std::size_t count) const
    {
        for (int i = 0; i < 2000 && application->live->listenerCount() != count; ++i)
            std::this_thread::sleep_for(10ms);
        return application->live->listenerCount() == count;
    }

    bench::PlayerThread player;
    std::string home;
    std::unique_ptr<host::Settings> settings;
    std::unique_ptr<webapp::WebApplication> application;
    std::unique_ptr<webapp::TuneletServer> server;
    std::string session;
    std::string cookie;
};

Served& served()
{
    static Served shared;
    return shared;
}

struct Latency {
    double p50 = 0;
    double p99 = 0;
};
std::map<int, Latency> measured;  // by listener count
std::optional<bench::CrowdProcess> crowd;  // made first thing in `main`

/// A command's round trip, `count` times 10 ms apart on `commands`, each
/// with a new volume (`level` counts them on): the times in milliseconds,
/// appended to `ms`; false when one was not answered.
bool timeCommands(const Served& shared, RawClient& commands, int count, int& level, std::vector<double>& ms)
{
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const bool answered = commands.send(shared.request("/setvolume?level=" + std::to_string(++level % 256))) &&
                              commands.readAnswer().status == 200;
        if (!answered)
            return false;
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

Latency percentiles(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[(ms.size() * 99) / 100]};
}

void commandBesideListeners(benchmark::State& state)
{
    Served& shared = served();
    const int count = static_cast<int>(state.range(0));
    if (count > 0 && !crowd->open(shared.server->listeningPort(), count, shared.session)) {
        state.SkipWithError("the listeners were not all served");
        return;
    }
    if (!shared.listened(static_cast<std::size_t>(count))) {
        state.SkipWithError("the listeners were not all counted");
        return;
    }
    RawClient commands(shared.server->listeningPort());
    std::vector<double> ms;
    int level = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool answered = commands.send(shared.request("/setvolume?level=" + std::to_string(++level % 256))) &&
                              commands.readAnswer().status == 200;
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!answered) {
            state.SkipWithError("a command was not answered");
            return;
        }
        state.SetIterationTime(took.count());
        ms.push_back(took.count() * 1e3);
        std::this_thread::sleep_for(10ms);
    }
    if (count > 0) {
        const std::optional<double> eventsEach = crowd->allHeard(level % 256);
        if (!eventsEach) {
            state.SkipWithError("a listener was not told the last volume");
            return;
        }
        state.counters["events_each"] = *eventsEach;
    }
    std::sort(ms.begin(), ms.end());
    // How many took over a millisecond: the commands that met the sends
    // of a change to every listener.
    state.counters["over_1ms"] = static_cast<double>(
        std::count_if(ms.begin(), ms.end(), [](double took) { return took > 1; }));
    const Latency latency = percentiles(ms);
    measured[count] = latency;
    state.counters["p50_ms"] = latency.p50;
    state.counters["p99_ms"] = latency.p99;
    if (count > 0)
        crowd->close();
    if (!shared.listened(0))
        state.SkipWithError("the listeners did not all go");
}
BENCHMARK(commandBesideListeners)
    ->Arg(0)
    ->Arg(1)
    ->Arg(mostListeners)
    ->Iterations(400)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

constexpr int rounds = 8;
constexpr int commandsPerRound = 50;
std::optional<std::pair<Latency, Latency>> alternated;  // beside none, beside the most

/// The same comparison in rounds that take turns, beside none and beside
/// 1,000 listeners (which goes first alternates too): other work on the
/// machine, which comes and goes over seconds, then falls on both alike
/// rather than on whichever ran while it lasted.
void commandsInAlternation(benchmark::State& state)
{
    Served& shared = served();
    RawClient commands(shared.server->listeningPort());
    std::vector<double> none, many;
    int level = 0;
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            for (const bool beside : {round % 2 == 1, round % 2 == 0}) {
                if (!beside) {
                    if (!timeCommands(shared, commands, commandsPerRound, level, none))
                        return state.SkipWithError("a command was not answered");
                    continue;
                }
                if (!crowd->open(shared.server->listeningPort(), mostListeners, shared.session) ||
                    !shared.listened(mostListeners))
                    return state.SkipWithError("the listeners were not all served");
                if (!timeCommands(shared, commands, commandsPerRound, level, many))
                    return state.SkipWithError("a command was not answered");
                if (!crowd->allHeard(level % 256))
                    return state.SkipWithError("a listener was not told the last volume");
                crowd->close();
                if (!shared.listened(0))
                    return state.SkipWithError("the listeners did not all go");
            }
        }
    }
    alternated = {percentiles(none), percentiles(many)};
    state.counters["none_p99_ms"] = alternated->first.p99;
    state.counters["many_p99_ms"] = alternated->second.p99;
}
BENCHMARK(commandsInAlternation)->Iterations(1)->Unit(benchmark::kMillisecond);

/// The machine's load average over the last minute, as `when` the run is.
void printLoad(const char* when)
{
    double load[1] = {};
    if (::getloadavg(load, 1) == 1)
        std::printf("load average %s: %.2f\n", when, load[0]);
}

} // namespace

int main(int argc, char** argv)
{
    // Made before any thread.
    crowd.emplace(bench::CrowdProcess::start());
    if (!crowd->running()) {
        std::fprintf(stderr, "no process for the listeners\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    printLoad("before");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (measured.count(0) && measured.count(mostListeners)) {
        const Latency none = measured[0], many = measured[mostListeners];
        std::printf("beside %d listeners / beside none: p50 %.2f ms / %.2f ms = %.2fx, p99 %.2f ms / %.2f ms = %.2fx\n",
                    mostListeners, many.p50, none.p50, many.p50 / none.p50, many.p99, none.p99,
                    many.p99 / none.p99);
    }
    if (alternated) {
        const auto [none, many] = *alternated;
        std::printf("taking turns, %d rounds of %d commands each side: beside %d listeners / beside none: p50 %.2f ms "
                    "/ %.2f ms = %.2fx, p99 %.2f ms / %.2f ms = %.2fx\n",
                    rounds, commandsPerRound, mostListeners, many.p50, none.p50, many.p50 / none.p50, many.p99,
                    none.p99, many.p99 / none.p99);
    }
    printLoad("after");
    return 0;
}
