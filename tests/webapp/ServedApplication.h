#pragma once

#include "settings/Settings.h"
#include "message/UrlCoding.h"
#include "http/support/RawClient.h"
#include "platform/Socket.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace webapptest {

/// A web application served on a loopback port of the system's choice, with
/// a session the server issued, as a browser holds after its first visit.
/// The fixture that owns the application calls `serve` from its SetUp.
class ServedApplication : public ::testing::Test {
protected:
    using Answer = testing_support::RawClient::Answer;
    using Parameters = std::map<std::string, std::string>;

    void serve(webapp::WebApplication& application, host::Settings& settings)
    {
        server = std::make_unique<webapp::TuneletServer>(application, settings, platform::loopbackAddress(), 0);
        ASSERT_TRUE(server->start());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (server->listeningPort() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_NE(server->listeningPort(), 0);
        session = server->sessions().issue().first;
        cookie = "Cookie: Tunelet=" + session + "\r\n";
    }

    void TearDown() override
    {
        if (!server)
            return;
        server->stop();
        if (auto handle = server->threadHandle()) {
            ASSERT_TRUE(handle->waitFor(std::chrono::seconds(20)));
        }
        // Gone before the application and settings of the fixture above.
        server.reset();
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

    std::string url(const std::string& route, const Parameters& parameters = {}) const
    {
        return "http://127.0.0.1:" + std::to_string(server->listeningPort()) + target(route, parameters);
    }

    std::unique_ptr<webapp::TuneletServer> server;
    std::string session;
    std::string cookie;  // the header naming `session`
};

} // namespace webapptest
