#include "AudioTestSupport.h"

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/Window.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace player::test {

using namespace platform;
using namespace std::chrono_literals;

namespace {

void put(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

constexpr UINT runWorkMessage = WM_USER + 91;

} // namespace

bool writeToneWav(const std::string& path, int ms, int rate)
{
    const std::uint32_t samples = static_cast<std::uint32_t>(static_cast<long>(rate) * ms / 1000);
    std::string wav = "RIFF";
    put(wav, 36 + samples * 2, 4);
    wav += "WAVEfmt ";
    put(wav, 16, 4);
    put(wav, 1, 2);  // PCM
    put(wav, 1, 2);  // mono
    put(wav, static_cast<std::uint32_t>(rate), 4);
    put(wav, static_cast<std::uint32_t>(rate) * 2, 4);
    put(wav, 2, 2);
    put(wav, 16, 2);
    wav += "data";
    put(wav, samples * 2, 4);
    for (std::uint32_t i = 0; i < samples; ++i)
        put(wav, static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / rate))), 2);
    std::ofstream out(path, std::ios::binary);
    out << wav;
    return static_cast<bool>(out);
}

bool makeTaggedTrack(const std::string& path, int seconds, const std::string& artist, const std::string& title)
{
    pid_t child = fork();
    if (child == 0) {
        std::string source = "sine=frequency=440:duration=" + std::to_string(seconds);
        std::string artistTag = "artist=" + artist, titleTag = "title=" + title;
        execlp("ffmpeg", "ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source.c_str(),
               "-metadata", artistTag.c_str(), "-metadata", titleTag.c_str(), path.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool tagFile(const std::string& path, const std::string& artist, const std::string& title, bool id3Only,
             const std::string& album)
{
    if (id3Only) {
        TagLib::RIFF::WAV::File wav(path.c_str());
        if (!wav.isValid())
            return false;
        wav.ID3v2Tag()->setArtist(TagLib::String(artist, TagLib::String::UTF8));
        wav.ID3v2Tag()->setTitle(TagLib::String(title, TagLib::String::UTF8));
        return wav.save(TagLib::RIFF::WAV::File::ID3v2);
    }
    TagLib::FileRef file(path.c_str());
    if (file.isNull() || !file.tag())
        return false;
    file.tag()->setArtist(TagLib::String(artist, TagLib::String::UTF8));
    file.tag()->setTitle(TagLib::String(title, TagLib::String::UTF8));
    if (!album.empty())
        file.tag()->setAlbum(TagLib::String(album, TagLib::String::UTF8));
    return file.save();
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

AudioPlayer::AudioPlayer()
{
    Event ready;
    thread = std::thread([&] {
        auto owned = std::make_unique<MpvPlayback>(true);
        MpvPlayback* audio = owned.get();
        Player player(Player::defaultClock(), 3, log, readTrackTags, std::move(owned));
        std::pair<Player*, MpvPlayback*> both{&player, audio};
        main = player.mainWindow();
        worker = createWindow(
            [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                if (message != runWorkMessage)
                    return defWindowProc(hwnd, message, wParam, lParam);
                auto* target = static_cast<std::pair<Player*, MpvPlayback*>*>(getWindowUserData(hwnd));
                (*reinterpret_cast<const std::function<void(Player&, MpvPlayback&)>*>(wParam))(*target->first,
                                                                                             *target->second);
                return 0;
            },
            &both);
        ready.set();
        player.run();
        destroyWindow(worker);
    });
    ready.wait();
}

AudioPlayer::~AudioPlayer()
{
    postMessage(main, WM_CLOSE);
    thread.join();
}

void AudioPlayer::call(const std::function<void(Player&, MpvPlayback&)>& work)
{
    sendMessage(worker, runWorkMessage, reinterpret_cast<WPARAM>(&work), 0);
}

void AudioPlayer::add(const std::string& file, const std::string& title)
{
    enqueueFileWithMetaStruct item{file.c_str(), title.c_str(), 0};
    sendMessage(main, WM_WA_IPC, reinterpret_cast<WPARAM>(&item), IPC_PLAYFILE);
}

RangeServer::RangeServer(std::string file, std::size_t bytesPerSecond) : rate(bytesPerSecond)
{
    std::ifstream in(file, std::ios::binary);
    body.assign(std::istreambuf_iterator<char>(in), {});
    UniqueFd socket = listenTcp(loopbackAddress(), 0);
    port = boundPort(socket.get());
    // Blocking: accepted one by one; a shutdown ends the wait.
    ::fcntl(socket.get(), F_SETFL, ::fcntl(socket.get(), F_GETFL) & ~O_NONBLOCK);
    listening = socket.release();
    acceptor = std::thread([this] {
        for (;;) {
            std::string peer;
            UniqueFd connection = acceptSocket(listening, peer);
            std::lock_guard guard(lock);
            if (stopping || !connection)
                return;
            open.push_back(connection.get());
            threads.emplace_back([this, fd = connection.release()] { serve(fd); });
        }
    });
}

RangeServer::~RangeServer()
{
    {
        std::lock_guard guard(lock);
        stopping = true;
        for (int fd : open)
            ::shutdown(fd, SHUT_RDWR);
    }
    ::shutdown(listening, SHUT_RDWR);
    acceptor.join();
    for (std::thread& t : threads)
        t.join();
    ::close(listening);
}

std::string RangeServer::url(const std::string& name) const
{
    return "http://127.0.0.1:" + std::to_string(port) + "/" + name;
}

std::vector<long> RangeServer::rangeStarts()
{
    std::lock_guard guard(lock);
    return starts;
}

void RangeServer::serve(int connection)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        long got = receiveSome(connection, buffer, sizeof buffer);
        if (got <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t from = 0;
    std::string head;
    auto range = request.find("\r\nRange: bytes=");
    if (range == std::string::npos)
        range = request.find("\r\nrange: bytes=");
    if (range != std::string::npos) {
        from = std::strtoul(request.c_str() + range + 15, nullptr, 10);
        std::lock_guard guard(lock);
        starts.push_back(static_cast<long>(from));
    }
    if (from >= body.size() && range != std::string::npos) {
        head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(body.size()) +
               "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        from = body.size();
    } else if (range != std::string::npos) {
        head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
               std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\n";
    } else {
        head = "HTTP/1.1 200 OK\r\n";
    }
    if (head.find("416") == std::string::npos)
        head += "Accept-Ranges: bytes\r\nContent-Type: audio/wav\r\nContent-Length: " +
                std::to_string(body.size() - from) + "\r\nConnection: close\r\n\r\n";
    bool sent = sendAll(connection, head) >= 0;
    // A slow link: a tenth of a second's worth at a time.
    const std::size_t piece = std::max<std::size_t>(rate / 10, 1);
    for (std::size_t at = from; sent && at < body.size(); at += piece) {
        sent = sendAll(connection, std::string_view(body).substr(at, piece)) > 0;
        std::this_thread::sleep_for(100ms);
    }
    std::lock_guard guard(lock);
    std::erase(open, connection);
    ::close(connection);
}

} // namespace player::test
