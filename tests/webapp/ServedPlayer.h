#pragma once

#include "PlayerHarness.h"
#include "ServedApplication.h"

#include <filesystem>
#include <memory>
#include <string>

namespace webapptest {

/// The web application with the real player behind it, served on a loopback
/// port: requests go over a socket, effects are read from the player's model.
/// The shared directory is "music" in a fresh temporary folder.
class ServedPlayer : public ServedApplication {
protected:
    ServedPlayer()
    {
        std::filesystem::create_directories(music);
        settings.update([&](auto& d) { d.sharedDirs = {music}; });
        settings.update([&](auto& d) { d.documentRoot = dir.file("skins"); });
    }

    void SetUp() override
    {
        serve(application, settings);
        if (!HasFatalFailure())
            client = std::make_unique<testing_support::RawClient>(server->listeningPort());
    }

    void TearDown() override
    {
        client.reset();
        ServedApplication::TearDown();
    }

    /// One GET on the fixture's keep-alive connection.
    Answer get(const std::string& route, const Parameters& parameters = {})
    {
        EXPECT_TRUE(client->send("GET " + target(route, parameters) +
                                 " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + cookie + "\r\n"));
        return client->readAnswer();
    }
    /// The body of a GET that must answer 200.
    std::string body(const std::string& route, const Parameters& parameters = {})
    {
        Answer answer = get(route, parameters);
        EXPECT_EQ(answer.status, 200) << route;
        return answer.body;
    }

    /// A tagged WAV file below the shared directory.
    std::string song(const std::string& relative, int seconds = 40, const std::string& artist = "",
                     const std::string& title = "", const std::string& album = "")
    {
        std::string path = music + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(player::test::writeTaggedWav(path, seconds, artist, title, album)) << path;
        return path;
    }

    /// Empties the list and fills it with `count` entries "/e0", ... of
    /// `lengthMs` each (titles "E0", ...), none changed since; forgets what
    /// was recorded.
    void fill(int count, int lengthMs = 60000)
    {
        harness.onPlayer([&](player::Player& p) {
            p.model().clear();
            for (int i = 0; i < count; ++i)
                p.model().append({"/e" + std::to_string(i), "E" + std::to_string(i), lengthMs});
            p.model().setClean();
        });
        harness.clearRecorded();
    }

    player::test::TempDirectory dir;
    const std::string music = dir.file("music");
    host::Settings settings{dir.file("gen_Tunelet.ini")};
    PlayerHarness harness;
    webapp::WebApplication application{harness.mainWindow(), nullptr, settings};
    std::unique_ptr<testing_support::RawClient> client;
};

} // namespace webapptest
