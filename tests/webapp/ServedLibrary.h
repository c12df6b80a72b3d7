#pragma once

#include "host/Settings.h"
#include "host/TempDirectory.h"
#include "http/UrlCoding.h"
#include "http/support/RawClient.h"
#include "platform/Socket.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace webapptest {

/// The web application (no player behind it) served on a loopback port,
/// sharing "music" and "more" of a fresh temporary folder.
class ServedLibrary : public ::testing::Test {
protected:
    using Answer = testing_support::RawClient::Answer;
    using Parameters = std::map<std::string, std::string>;

    ServedLibrary()
    {
        std::filesystem::create_directories(music);
        std::filesystem::create_directories(more);
        settings.update([&](auto& d) {
            d.sharedDirs = {music, more};
            d.documentRoot = dir.path("skins");
        });
    }

    void SetUp() override
    {
        server = std::make_unique<webapp::TuneletServer>(application, settings, platform::loopbackAddress(), 0);
        ASSERT_TRUE(server->start());
        for (int i = 0; i < 500 && server->listeningPort() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_NE(server->listeningPort(), 0);
        // A session the server issued, as a browser holds after its first visit.
        session = server->sessions().issue().first;
    }

    void TearDown() override
    {
        server->stop();
        if (auto handle = server->threadHandle()) {
            ASSERT_TRUE(handle->waitFor(std::chrono::seconds(20)));
        }
    }

    /// "/route?name=value&..." with every value percent-encoded.
    static std::string target(const std::string& route, const Parameters& parameters = {})
    {
        std::string out = "/" + route;
        char separator = '?';
        for (const auto& [name, value] : parameters) {
            out += separator + name + "=" + http::urlEncode(value);
            separator = '&';
        }
        return out;
    }

    /// One GET on a connection of its own, with `headers` (each ending in CR
    /// LF); by default a Host and the session's cookie.
    Answer get(const std::string& route, const Parameters& parameters = {})
    {
        return get(route, parameters, "Host: t\r\nCookie: Tunelet=" + session + "\r\n");
    }
    Answer get(const std::string& route, const Parameters& parameters, const std::string& headers)
    {
        testing_support::RawClient client(server->listeningPort());
        EXPECT_TRUE(client.send("GET " + target(route, parameters) + " HTTP/1.1\r\n" + headers + "\r\n"));
        return client.readAnswer(std::chrono::seconds(60));
    }

    /// Writes `bytes` to `path` (folders made as needed); returns the path.
    static std::string file(const std::string& path, const std::string& bytes = "x")
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string url(const std::string& route, const Parameters& parameters = {}) const
    {
        return "http://127.0.0.1:" + std::to_string(server->listeningPort()) + target(route, parameters);
    }

    hosttest::TempDirectory dir;
    const std::string music = dir.path("music");
    const std::string more = dir.path("more");
    host::Settings settings{dir.path("gen_Tunelet.ini")};
    webapp::WebApplication application{nullptr, nullptr, settings};
    std::unique_ptr<webapp::TuneletServer> server;
    std::string session;
};

} // namespace webapptest
