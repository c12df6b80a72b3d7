#include "PlayerTestSupport.h"

#include "platform/PlayerMessages.h"
#include "platform/Window.h"
#include "platform/Menu.h"
#include "player/Player.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <thread>

using namespace platform;
using namespace player;
using player::test::ManualClock;
using player::test::TempDirectory;

namespace {

/// A player running on a window thread of its own; the test talks to it
/// only by messages, as the plug-in's request threads do.
class PlayerThread {
public:
    PlayerThread()
    {
        Event ready;
        thread = std::thread([&] {
            Player player(clock, 11, log);
            main = player.mainWindow();
            editor = player.window().playlistWindow();
            menu0 = player.window().menu(0);
            menu3 = player.window().menu(3);
            ready.set();
            exitCode = player.run();
        });
        ready.wait();
    }
    ~PlayerThread() { close(); }

    int close()
    {
        if (thread.joinable()) {
            postMessage(main, WM_CLOSE);
            thread.join();
        }
        return exitCode;
    }

    LRESULT ipc(int request, WPARAM arg = 0) { return sendMessage(main, WM_WA_IPC, arg, request); }
    LRESULT editorIpc(int request, LPARAM arg = 0) { return sendMessage(editor, WM_WA_IPC, request, arg); }
    void command(int id) { sendMessage(main, WM_COMMAND, static_cast<WPARAM>(id), 0); }

    LRESULT add(const char* file, const char* title, int length)
    {
        enqueueFileWithMetaStruct item{file, title, length};
        return ipc(IPC_PLAYFILE, reinterpret_cast<WPARAM>(&item));
    }
    std::string fileAt(int index)
    {
        auto text = reinterpret_cast<const char*>(ipc(IPC_GETPLAYLISTFILE, static_cast<WPARAM>(index)));
        return text ? text : "<null>";
    }
    std::string titleAt(int index)
    {
        auto text = reinterpret_cast<const char*>(ipc(IPC_GETPLAYLISTTITLE, static_cast<WPARAM>(index)));
        return text ? text : "<null>";
    }
    std::pair<LRESULT, std::string> info(const std::string& file, const char* name, std::size_t size = 4096)
    {
        std::string buffer(size, 'x');
        extendedFileInfoStruct request{file.c_str(), name, buffer.data(), size};
        LRESULT answer = ipc(IPC_GET_EXTENDED_FILE_INFO, reinterpret_cast<WPARAM>(&request));
        return {answer, buffer.c_str()};
    }

    ManualClock clock;
    std::ostringstream log;
    HWND main = nullptr;
    HWND editor = nullptr;
    HMENU menu0 = nullptr;
    HMENU menu3 = nullptr;

private:
    std::thread thread;
    int exitCode = -1;
};

} // namespace

TEST(PlayerRequests, PlayFileNamesEntriesFromTagsOrFileNames)
{
    TempDirectory dir;
    std::string tagged = dir.file("tagged.wav");
    std::string titleOnly = dir.file("title-only.wav");
    std::string bare = dir.file("bare.wav");
    ASSERT_TRUE(player::test::writeTaggedWav(tagged, 2, "Some Artist", "Some Title", "Some Album"));
    ASSERT_TRUE(player::test::writeTaggedWav(titleOnly, 3, "", "Lonely Title", ""));
    ASSERT_TRUE(player::test::writeTaggedWav(bare, 4, "", "", ""));

    PlayerThread p;
    struct Case {
        std::string file;
        const char* title;
        int length;
        std::string expectedTitle;
        LRESULT expectedSeconds;
    };
    const Case cases[] = {
        {tagged, "Given Title", 0, "Given Title", 2},
        {tagged, "", -1, "Some Artist - Some Title", 2},
        {tagged, nullptr, 99, "Some Artist - Some Title", 2},  // the tags know the length better
        {titleOnly, "", 0, "Lonely Title", 3},
        {bare, "", 0, "bare.wav", 4},
        {dir.file("missing.mp3"), "", 125, "missing.mp3", 125},
        {dir.file("missing.mp3"), "", -1, "missing.mp3", -1},
        {"http://peer:8080/stream?path=x", nullptr, 0, "stream?path=x", -1},
    };
    int index = 0;
    for (const auto& c : cases) {
        EXPECT_GT(p.add(c.file.c_str(), c.title, c.length), 0) << index;
        EXPECT_EQ(p.ipc(IPC_GETLISTLENGTH), index + 1);
        EXPECT_EQ(p.fileAt(index), c.file);
        EXPECT_EQ(p.titleAt(index), c.expectedTitle) << index;
        p.ipc(IPC_SETPLAYLISTPOS, static_cast<WPARAM>(index));
        EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 1), c.expectedSeconds) << index;
        ++index;
    }
    // Nothing to add.
    EXPECT_EQ(p.ipc(IPC_PLAYFILE, 0), 0);
    EXPECT_EQ(p.add(nullptr, "t", 0), 0);
    EXPECT_EQ(p.add("", "t", 0), 0);
    EXPECT_EQ(p.ipc(IPC_GETLISTLENGTH), index);
    EXPECT_EQ(p.fileAt(index), "<null>");
    EXPECT_EQ(p.titleAt(-1), "<null>");
}

TEST(PlayerRequests, ExtendedFileInfoAndBitrateComeFromTheTags)
{
    TempDirectory dir;
    std::string tagged = dir.file("song.wav");
    ASSERT_TRUE(player::test::writeTaggedWav(tagged, 2, "Artíst", "Títle", "Album"));
    PlayerThread p;

    EXPECT_EQ(p.info(tagged, "album"), (std::pair<LRESULT, std::string>{1, "Album"}));
    EXPECT_EQ(p.info(tagged, "artist"), (std::pair<LRESULT, std::string>{1, "Artíst"}));
    EXPECT_EQ(p.info(tagged, "title"), (std::pair<LRESULT, std::string>{1, "Títle"}));
    EXPECT_EQ(p.info(tagged, "length"), (std::pair<LRESULT, std::string>{1, "2000"}));
    EXPECT_EQ(p.info(tagged, "LENGTH").second, "2000");
    EXPECT_EQ(p.info(tagged, "artist", 4), (std::pair<LRESULT, std::string>{1, "Art"}));  // cut to the buffer
    EXPECT_EQ(p.info(tagged, "nonsense"), (std::pair<LRESULT, std::string>{0, ""}));
    EXPECT_EQ(p.info(dir.file("none.mp3"), "title"), (std::pair<LRESULT, std::string>{0, ""}));
    EXPECT_EQ(p.ipc(IPC_GET_EXTENDED_FILE_INFO, 0), 0);

    EXPECT_EQ(p.ipc(IPC_GETINFO, 1), 0);  // nothing in the list
    p.add(tagged.c_str(), "", 0);
    EXPECT_EQ(p.ipc(IPC_GETINFO, 1), 64);  // 8 kHz, 8 bits, mono
}

TEST(PlayerRequests, TransportFollowsTheClockAndTheCommands)
{
    PlayerThread p;
    for (const char* name : {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"})
        p.add(name, name, 60);
    EXPECT_EQ(p.ipc(IPC_ISPLAYING), 0);
    EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 0), 0);
    EXPECT_EQ(p.ipc(IPC_JUMPTOTIME, 1000), -1);  // nothing plays

    p.command(WINAMP_BUTTON2);
    EXPECT_EQ(p.ipc(IPC_ISPLAYING), 1);
    p.clock.advance(15000);
    EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 0), 15000);
    EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 1), 60);
    p.command(WINAMP_FFWD5S);
    EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 0), 20000);
    p.command(WINAMP_REW5S);
    p.command(WINAMP_REW5S);
    EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 0), 10000);
    EXPECT_EQ(p.ipc(IPC_JUMPTOTIME, 45000), 0);
    EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 0), 45000);

    p.clock.advance(16000);  // a ends 1 s ago
    EXPECT_EQ(p.ipc(IPC_GETLISTPOS), 1);
    EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 0), 1000);

    p.command(WINAMP_BUTTON3);
    EXPECT_EQ(p.ipc(IPC_ISPLAYING), 3);
    p.command(WINAMP_BUTTON5);
    EXPECT_EQ(p.ipc(IPC_GETLISTPOS), 2);
    p.command(WINAMP_BUTTON5);
    EXPECT_EQ(p.ipc(IPC_GETLISTPOS), 0);  // next wraps around
    p.command(WINAMP_BUTTON1);
    EXPECT_EQ(p.ipc(IPC_GETLISTPOS), 2);
    p.command(WINAMP_BUTTON4);
    EXPECT_EQ(p.ipc(IPC_ISPLAYING), 0);

    // Volume, shuffle and repeat.
    EXPECT_EQ(p.ipc(IPC_SETVOLUME, static_cast<WPARAM>(-666)), 255);
    p.ipc(IPC_SETVOLUME, 100);
    EXPECT_EQ(p.ipc(IPC_SETVOLUME, static_cast<WPARAM>(-666)), 100);
    p.ipc(IPC_SETVOLUME, 1000);
    EXPECT_EQ(p.ipc(IPC_SETVOLUME, static_cast<WPARAM>(-666)), 255);
    EXPECT_EQ(p.ipc(IPC_GET_SHUFFLE), 0);
    p.ipc(IPC_SET_SHUFFLE, 1);
    EXPECT_EQ(p.ipc(IPC_GET_SHUFFLE), 1);
    p.command(WINAMP_FILE_SHUFFLE);
    EXPECT_EQ(p.ipc(IPC_GET_SHUFFLE), 0);
    p.command(WINAMP_FILE_REPEAT);
    EXPECT_EQ(p.ipc(IPC_GET_REPEAT), 1);
    p.ipc(IPC_SET_REPEAT, 0);
    EXPECT_EQ(p.ipc(IPC_GET_REPEAT), 0);

    p.ipc(IPC_DELETE);
    EXPECT_EQ(p.ipc(IPC_GETLISTLENGTH), 0);
    EXPECT_EQ(p.ipc(IPC_GETOUTPUTTIME, 1), -1);
    EXPECT_EQ(p.ipc(99999), 0);  // unknown request
    EXPECT_EQ(p.close(), 0);
}

TEST(PlayerRequests, PlaylistEditorSwapsDeletesAndReportsChanges)
{
    PlayerThread p;
    EXPECT_EQ(reinterpret_cast<HWND>(p.ipc(IPC_GETWND, IPC_GETWND_PE)), p.editor);
    EXPECT_EQ(p.ipc(IPC_GETWND, 0), 0);
    EXPECT_EQ(p.editorIpc(IPC_PE_GETDIRTY), 0);
    for (const char* name : {"a", "b", "c", "d"})
        p.add(name, name, 10);
    EXPECT_EQ(p.editorIpc(IPC_PE_GETDIRTY), 1);
    EXPECT_EQ(p.editorIpc(IPC_PE_SETCLEAN), 1) << "the answer is the flag it cleared";
    EXPECT_EQ(p.editorIpc(IPC_PE_GETDIRTY), 0);
    EXPECT_EQ(p.editorIpc(IPC_PE_SETCLEAN), 0);

    p.ipc(IPC_SETPLAYLISTPOS, 1);
    EXPECT_EQ(p.editorIpc(IPC_PE_GETDIRTY), 0);  // moving the position is no change

    // The argument packs two 16-bit indices: (a << 16) | b.
    p.editorIpc(IPC_PE_SWAPINDEX, (3 << 16) | 0);
    EXPECT_EQ(p.fileAt(0), "d");
    EXPECT_EQ(p.fileAt(3), "a");
    EXPECT_EQ(p.ipc(IPC_GETLISTPOS), 1);
    EXPECT_EQ(p.editorIpc(IPC_PE_GETDIRTY), 1);
    p.editorIpc(IPC_PE_SETCLEAN);

    p.editorIpc(IPC_PE_DELETEINDEX, 0);
    EXPECT_EQ(p.ipc(IPC_GETLISTLENGTH), 3);
    EXPECT_EQ(p.fileAt(0), "b");
    EXPECT_EQ(p.ipc(IPC_GETLISTPOS), 0);  // still on "b"
    EXPECT_EQ(p.editorIpc(IPC_PE_GETDIRTY), 1);
    p.editorIpc(IPC_PE_SETCLEAN);

    p.editorIpc(IPC_PE_DELETEINDEX, 7);  // out of range: no change
    p.editorIpc(IPC_PE_SWAPINDEX, (7 << 16) | 0);
    EXPECT_EQ(p.ipc(IPC_GETLISTLENGTH), 3);
    EXPECT_EQ(p.editorIpc(IPC_PE_GETDIRTY), 0);

    p.ipc(IPC_DELETE);
    EXPECT_EQ(p.editorIpc(IPC_PE_GETDIRTY), 1);
}

TEST(PlayerRequests, FileTextsStayReadableWhileOtherThreadsChangeTheList)
{
    // One thread reads entry texts by pointer and copies them afterwards, as
    // the plug-in does, while another empties and refills the list.
    PlayerThread p;
    for (int i = 0; i < 20; ++i)
        p.add(("/music/file" + std::to_string(i) + ".mp3").c_str(), "t", 10);
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!done) {
            for (int i = 0; i < 20; ++i) {
                auto text = reinterpret_cast<const char*>(p.ipc(IPC_GETPLAYLISTFILE, static_cast<WPARAM>(i)));
                std::this_thread::yield();  // the list may change right here
                if (text && std::strncmp(text, "/music/file", 11) != 0)
                    ++bad;
            }
        }
    });
    for (int round = 0; round < 50; ++round) {
        p.ipc(IPC_DELETE);
        for (int i = 0; i < 20; ++i)
            p.add(("/music/file" + std::to_string(i) + ".mp3").c_str(), "t", 10);
    }
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST(PlayerRequests, MenusZeroAndThreeAreTheHostsOwn)
{
    PlayerThread p;
    EXPECT_EQ(reinterpret_cast<HMENU>(p.ipc(IPC_GET_HMENU, 0)), p.menu0);
    EXPECT_EQ(reinterpret_cast<HMENU>(p.ipc(IPC_GET_HMENU, 3)), p.menu3);
    EXPECT_EQ(p.ipc(IPC_GET_HMENU, 1), 0);
    EXPECT_GT(getMenuItemCount(p.menu0), 1);
    EXPECT_GT(getMenuItemCount(p.menu3), 0);
    EXPECT_NE(p.menu0, p.menu3);
}

TEST(TrackTags, APlaceholderTitleNamesTheFileOrAPeersDownloadPath)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"/m/a b.mp3", "a b", true}, {"/m/a b.mp3", "Song", false},
        {"/m/x?path=a.mp3", "a", false},  // a local name is only a name
        {"http://h/download?path=%2Fm%2Fa%20b.mp3&auth=x", "a b.mp3", true},
        {"http://h/download?auth=x&path=%2fm%2fa%20b.mp3", "a b", true},
        {"http://h/download?xpath=%2Fm%2Fa.mp3", "a", false},
    };
    for (const auto& [file, title, placeholder] : cases)
        EXPECT_EQ(isPlaceholderTitle(file, title), placeholder) << file << " " << title;
}
