#pragma once

#include "ServedApplication.h"
#include "host/TempDirectory.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace webapptest {

/// The web application (no player behind it) served on a loopback port,
/// sharing "music" and "more" of a fresh temporary folder.
class ServedLibrary : public ServedApplication {
protected:
    ServedLibrary()
    {
        std::filesystem::create_directories(music);
        std::filesystem::create_directories(more);
        settings.update([&](auto& d) {
            d.sharedDirs = {music, more};
            d.documentRoot = dir.path("skins");
        });
    }

    void SetUp() override { serve(application, settings); }

    /// One GET on a connection of its own, with `headers` (each ending in CR
    /// LF); by default a Host and the session's cookie.
    Answer get(const std::string& route, const Parameters& parameters = {})
    {
        return get(route, parameters, "Host: 127.0.0.1\r\n" + cookie);
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

    hosttest::TempDirectory dir;
    const std::string music = dir.path("music");
    const std::string more = dir.path("more");
    host::Settings settings{dir.path("gen_Tunelet.ini")};
    webapp::WebApplication application{nullptr, nullptr, settings};
};

} // namespace webapptest
