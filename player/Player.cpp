#include "player/Player.h"

#include "platform/Window.h"

namespace player {

Player::Player(const Clock& clock, std::uint32_t shuffleSeed, std::ostream& log, PlayerRequests::TagSource tags)
    : playerModel(clock, shuffleSeed),
      requests(playerModel, std::move(tags)),
      windows(requests),
      log(log),
      loader(windows.mainWindow(), log)
{
}

Player::~Player()
{
    shutdown();
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
