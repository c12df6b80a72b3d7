#include "PlayerHarness.h"

#include "platform/Event.h"
#include "platform/PlayerMessages.h"
#include "platform/Window.h"

#include <atomic>

namespace webapptest {

using namespace platform;

namespace {

std::atomic<PlayerHarness*> active{nullptr};
constexpr UINT runWorkMessage = WM_USER + 77;

} // namespace

int Sent::request() const
{
    if (message == WM_COMMAND)
        return static_cast<int>(wParam);
    return static_cast<int>(toEditor ? static_cast<LPARAM>(wParam) : lParam);
}

PlayerHarness::PlayerHarness()
{
    active = this;
    Event ready;
    thread = std::thread([&] {
        player::Player player(clock, 7, log);
        main = player.mainWindow();
        editor = player.window().playlistWindow();
        worker = createWindow(runWork, &player);
        mainProc = setWindowProc(main, recordMain);
        editorProc = setWindowProc(editor, recordEditor);
        ready.set();
        player.run();
        destroyWindow(worker);
    });
    ready.wait();
}

PlayerHarness::~PlayerHarness()
{
    postMessage(main, WM_CLOSE);
    thread.join();
    active = nullptr;
}

LRESULT PlayerHarness::recordMain(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PlayerHarness* self = active;
    if (auto answer = self->record(false, message, wParam, lParam))
        return *answer;
    return callWindowProc(self->mainProc, hwnd, message, wParam, lParam);
}

LRESULT PlayerHarness::recordEditor(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PlayerHarness* self = active;
    if (auto answer = self->record(true, message, wParam, lParam))
        return *answer;
    return callWindowProc(self->editorProc, hwnd, message, wParam, lParam);
}

std::optional<LRESULT> PlayerHarness::record(bool toEditor, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_WA_IPC && message != WM_COMMAND)
        return std::nullopt;
    Sent entry;
    entry.toEditor = toEditor;
    entry.message = message;
    entry.wParam = wParam;
    entry.lParam = lParam;
    if (message == WM_WA_IPC && !toEditor && lParam == IPC_PLAYFILE && wParam) {
        auto* item = reinterpret_cast<const enqueueFileWithMetaStruct*>(wParam);
        entry.file = item->filename ? item->filename : "<null>";
        entry.title = item->title ? item->title : "<null>";
        entry.length = item->length;
    }
    Intercept answer;
    {
        std::lock_guard guard(mutex);
        sent.push_back(entry);
        answer = intercept;
    }
    if (!answer)
        return std::nullopt;
    return answer(toEditor, message, wParam, lParam);
}

LRESULT PlayerHarness::runWork(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == runWorkMessage) {
        auto* host = static_cast<player::Player*>(getWindowUserData(hwnd));
        (*reinterpret_cast<const std::function<void(player::Player&)>*>(wParam))(*host);
    }
    return 0;
}

void PlayerHarness::onPlayer(const std::function<void(player::Player&)>& work)
{
    sendMessage(worker, runWorkMessage, reinterpret_cast<WPARAM>(&work));
}

std::vector<std::string> PlayerHarness::files()
{
    std::vector<std::string> out;
    onPlayer([&](player::Player& p) {
        const auto& list = p.model().playlist();
        for (int i = 0; i < list.size(); ++i)
            out.push_back(list.at(i)->file);
    });
    return out;
}

std::vector<std::string> PlayerHarness::titles()
{
    std::vector<std::string> out;
    onPlayer([&](player::Player& p) {
        const auto& list = p.model().playlist();
        for (int i = 0; i < list.size(); ++i)
            out.push_back(list.at(i)->title);
    });
    return out;
}

int PlayerHarness::position()
{
    int out = 0;
    onPlayer([&](player::Player& p) { out = p.model().position(); });
    return out;
}

player::PlayState PlayerHarness::state()
{
    player::PlayState out{};
    onPlayer([&](player::Player& p) { out = p.model().state(); });
    return out;
}

int PlayerHarness::elapsedMs()
{
    int out = 0;
    onPlayer([&](player::Player& p) { out = p.model().elapsedMs(); });
    return out;
}

void PlayerHarness::append(const std::string& file, const std::string& title, int lengthMs)
{
    onPlayer([&](player::Player& p) {
        player::PlaylistEntry entry;
        entry.file = file;
        entry.title = title.empty() ? file : title;
        entry.lengthMs = lengthMs;
        p.model().append(entry);
    });
}

void PlayerHarness::clearDirty()
{
    onPlayer([](player::Player& p) { p.model().setClean(); });
}

std::vector<Sent> PlayerHarness::recorded()
{
    std::lock_guard guard(mutex);
    return sent;
}

void PlayerHarness::clearRecorded()
{
    std::lock_guard guard(mutex);
    sent.clear();
}

void PlayerHarness::setIntercept(Intercept replacement)
{
    std::lock_guard guard(mutex);
    intercept = std::move(replacement);
}

} // namespace webapptest
