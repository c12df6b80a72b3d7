#include "player/Player.h"

#include "platform/Window.h"
#include "player/SimulatedPlayback.h"

namespace player {

Player::Player(const Clock& clock, std::uint32_t shuffleSeed, std::ostream& log, PlayerRequests::TagSource tags,
               std::unique_ptr<Playback> playback)
    : audio(playback ? std::move(playback) : std::make_unique<SimulatedPlayback>(clock)),
      playerModel(clock, *audio, shuffleSeed, log),
      requests(playerModel, std::move(tags)),
      windows(requests),
      log(log),
      loader(windows.mainWindow(), log)
{
    platform::HWND target = windows.mainWindow();
    audio->setNotify([target] { platform::postMessage(target, WM_PLAYBACK_NEWS); });
}

Player::~Player()
{
    shutdown();
    audio->setNotify(nullptr);
}

const Clock& Player::defaultClock()
{
    static const SteadyClock clock;
    return clock;
}

int Player::run()
{
    int status = platform::runMessageLoop();
    shutdown();
    return status;
}

void Player::shutdown()
{
    loader.quitAll([this] {
        if (windows.restoreMainProcedure())
            log << "tunelet-player: a plug-in left its window procedure installed; removed it\n";
    });
}

} // namespace player
