// Real clients (curl, Python's urllib), none keeping cookies, against a
// listener on 127.0.0.1 that serves files from a document root and asks for
// a password when told to.
#include "http/Crypto.h"
#include "http/support/LoopbackServer.h"
#include "http/support/ShellCommand.h"
#include "http/FileResponse.h"
#include "http/RequestThread.h"
#include "message/Response.h"
#include "http/Server.h"
#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

/// "/hello" answers "hello " and the authorised session id; any other path is
/// a file of the document root, else 404.
class FileConnection final : public http::RequestThread {
public:
    using RequestThread::RequestThread;

private:
    void handle(http::Response& response) override
    {
        if (request->path == "/hello") {
            response.setBody("hello " + request->authorizedSession);
        } else if (http::sendFile(response, *server, *request, request->path.substr(1))) {
            return;
        } else {
            response.status = 404;
            response.reason = "Not Found";
            response.setBody("<h1>404 Not Found</h1>");
        }
        response.send();
    }
};

using FileServer = testing_support::LoopbackServer<FileConnection>;

using testing_support::Outcome;
using testing_support::run;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::regex sessionAnswer("hello [0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12} 200");

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = fs::temp_directory_path() / ("tunelet-e2e-" + std::to_string(::getpid()));
        fs::remove_all(base);
        fs::create_directories(base / "root");
        std::string bytes;
        for (int i = 0; i < 600; ++i)
            bytes += static_cast<char>(i * 7 + 3);
        std::ofstream(base / "root" / "song.mp3", std::ios::binary) << bytes;
        std::ofstream(base / "outside.txt") << "outside secret";
        server.documentRoot = (base / "root").string();
    }

    void TearDown() override
    {
        server.stop();
        if (auto handle = server.threadHandle(); handle && !handle->waitFor(30s)) {
            std::cerr << "listener thread did not end\n";
            std::abort();
        }
        fs::remove_all(base);
    }

    void start(bool requirePassword)
    {
        server.setAccess({.requirePassword = requirePassword, .username = "alice", .password = "s3cret"});
        const std::uint16_t port = server.startListening();
        ASSERT_NE(port, 0);
        url = "http://127.0.0.1:" + std::to_string(port);
    }

    fs::path base;
    FileServer server;
    std::string url;
};

} // namespace

TEST_F(EndToEnd, CurlDigestAndBasic)
{
    start(true);
    // No cookie engine: curl answers the challenge of its first request, and
    // the server finds that challenge by its opaque.
    const std::string curl = "curl -sS --max-time 20 -w ' %{http_code}' ";
    Outcome digest = run(curl + "--digest -u alice:s3cret " + url + "/hello");
    EXPECT_TRUE(std::regex_match(digest.output, sessionAnswer)) << digest.output;

    Outcome wrong = run(curl + "--digest -u alice:guess -o /dev/null " + url + "/hello");
    EXPECT_EQ(wrong.output, " 401");

    Outcome basic = run(curl + "--basic -u alice:s3cret " + url + "/hello");
    EXPECT_TRUE(std::regex_match(basic.output, sessionAnswer)) << basic.output;
    Outcome basicWrong = run(curl + "--basic -u alice:guess -o /dev/null " + url + "/hello");
    EXPECT_EQ(basicWrong.output, " 401");

    Outcome none = run("curl -sS --max-time 20 -D - -o /dev/null " + url + "/hello");
    EXPECT_NE(none.output.find("HTTP/1.1 401 Unauthorized\r\n"), std::string::npos) << none.output;
    EXPECT_TRUE(std::regex_search(none.output,
                                  std::regex("\r\nWWW-Authenticate: Digest realm=\"Tunelet\" , qop=\"auth\" , "
                                             "nonce=\"[0-9a-f]{48}\" , opaque=\"[0-9a-f]{16}\"\r\n"
                                             "WWW-Authenticate: Basic realm=\"Tunelet\"\r\n")))
        << none.output;
    EXPECT_NE(none.output.find("Connection: close\r\n"), std::string::npos);

    // One wrong password on record (the right one since wiped the first);
    // each guess comes on a connection of its own.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(run(curl + "--basic -u alice:guess -o /dev/null " + url + "/hello").output, " 401") << i;
    Outcome locked = run(curl + "--basic -u alice:s3cret -D - -o /dev/null " + url + "/hello");
    EXPECT_NE(locked.output.find("HTTP/1.1 429 Too Many Requests\r\n"), std::string::npos) << locked.output;
    EXPECT_NE(locked.output.find("Retry-After: 1\r\n"), std::string::npos) << locked.output;
}

TEST_F(EndToEnd, PythonUrllibDigestWithoutCookies)
{
    start(true);
    const fs::path script = base / "client.py";
    std::ofstream(script) << "import sys, urllib.request\n"
                             "url = sys.argv[1]\n"
                             "passwords = urllib.request.HTTPPasswordMgr()\n"
                             "passwords.add_password('Tunelet', url, 'alice', sys.argv[2])\n"
                             "opener = urllib.request.build_opener(urllib.request.HTTPDigestAuthHandler(passwords))\n"
                             "try:\n"
                             "    print(opener.open(url + '/hello', timeout=20).read().decode())\n"
                             "    print(opener.open(url + '/song.mp3', timeout=20).headers['Content-Type'])\n"
                             "except urllib.error.HTTPError as error:\n"
                             "    print(error.code)\n";
    Outcome right = run("python3 " + script.string() + " " + url + " s3cret");
    EXPECT_EQ(right.exitCode, 0);
    EXPECT_TRUE(std::regex_match(right.output, std::regex("hello [-0-9a-f]{36}\naudio/mpeg\n"))) << right.output;
    Outcome wrong = run("python3 " + script.string() + " " + url + " guess");
    EXPECT_EQ(wrong.output, "401\n");
}

TEST_F(EndToEnd, CurlFilesAndRanges)
{
    start(false);
    const fs::path out = base / "out.bin";
    Outcome range = run("curl -sS --max-time 20 -r 100- -D - -o " + out.string() + " " + url + "/song.mp3");
    EXPECT_NE(range.output.find("HTTP/1.1 206 Partial Content\r\n"), std::string::npos) << range.output;
    EXPECT_NE(range.output.find("Content-Range: bytes 100-599/600\r\n"), std::string::npos) << range.output;
    EXPECT_EQ(readFile(out), readFile(base / "root" / "song.mp3").substr(100));

    Outcome whole = run("curl -sS --max-time 20 -o " + out.string() + " -w '%{http_code}' " + url + "/song.mp3");
    EXPECT_EQ(whole.output, "200");
    EXPECT_EQ(readFile(out), readFile(base / "root" / "song.mp3"));

    Outcome beyond = run("curl -sS --max-time 20 -r 600- -o /dev/null -w '%{http_code}' " + url + "/song.mp3");
    EXPECT_EQ(beyond.output, "416");

    for (const char* target : {"/../outside.txt", "/%2e%2e/outside.txt", "/..%2foutside.txt", "//etc/hostname"}) {
        Outcome escape = run("curl -sS --max-time 20 --path-as-is -w ' %{http_code}' " + url + target);
        EXPECT_EQ(escape.output, "<h1>404 Not Found</h1> 404") << target;
    }
}
