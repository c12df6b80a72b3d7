#include "CrowdProcess.h"

#include "ListenerCrowd.h"
#include "http/support/RawClient.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {

/// One line from `fd`, without its end; empty at the end of input.
std::string readLine(int fd)
{
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

bool writeLine(int fd, const std::string& line)
{
    const std::string whole = line + "\n";
    return ::write(fd, whole.data(), whole.size()) == static_cast<ssize_t>(whole.size());
}

/// The child's loop: "open PORT COUNT COOKIE", "heard VOLUME", "close".
void serveCommands(int in, int out)
{
    std::unique_ptr<ListenerCrowd> crowd;
    std::size_t count = 0;
    for (std::string line; !(line = readLine(in)).empty();) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "open") {
            int port = 0;
            std::string cookie;
            words >> port >> count >> cookie;
            const std::string request =
                "GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: Tunelet=" + cookie + "\r\n\r\n";
            std::vector<std::unique_ptr<testing_support::RawClient>> clients;
            bool served = true;
            for (std::size_t i = 0; i < count && served; ++i) {
                clients.push_back(std::make_unique<testing_support::RawClient>(static_cast<std::uint16_t>(port)));
                served = clients.back()->send(request) && clients.back()->readHead().status == 200;
            }
            crowd = std::make_unique<ListenerCrowd>(std::move(clients));
            writeLine(out, served ? "ok" : "failed");
        } else if (verb == "heard") {
            int volume = -1;
            words >> volume;
            const bool heard = crowd && crowd->allHeard(volume);
            writeLine(out, heard ? std::to_string(static_cast<double>(crowd->events()) / static_cast<double>(count))
                                 : "no");
        } else if (verb == "close") {
            crowd.reset();
            writeLine(out, "closed");
        }
    }
}

} // namespace

CrowdProcess CrowdProcess::start()
{
    std::signal(SIGPIPE, SIG_IGN);  // a child gone is learnt from a failed write
    int down[2], up[2];
    if (::pipe(down) != 0)
        return {};
    if (::pipe(up) != 0) {
        ::close(down[0]);
        ::close(down[1]);
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(down[1]);
        ::close(up[0]);
        ::setsid();
        serveCommands(down[0], up[1]);
        ::_exit(0);
    }
    ::close(down[0]);
    ::close(up[1]);
    platform::UniqueFd toChild(down[1]), fromChild(up[0]);
    if (child < 0)
        return {};
    return CrowdProcess(child, std::move(toChild), std::move(fromChild));
}

CrowdProcess::~CrowdProcess()
{
    if (child < 0)
        return;
    toChild.reset();  // its end of input ends it
    int status = 0;
    ::waitpid(child, &status, 0);
}

std::string CrowdProcess::ask(const std::string& line)
{
    if (!writeLine(toChild.get(), line))
        return {};
    return readLine(fromChild.get());
}

bool CrowdProcess::open(std::uint16_t port, int count, const std::string& cookie)
{
    return ask("open " + std::to_string(port) + " " + std::to_string(count) + " " + cookie) == "ok";
}

std::optional<double> CrowdProcess::allHeard(int volume)
{
    const std::string answer = ask("heard " + std::to_string(volume));
    if (answer.empty() || answer == "no")
        return std::nullopt;
    return std::stod(answer);
}

bool CrowdProcess::close()
{
    return ask("close") == "closed";
}

} // namespace bench
