#pragma once

#include "webapp/RouteTables.h"

#include <string>
#include <string_view>
#include <vector>

namespace webapp {

/// One line of an "enqueueplaylist" parameter.
struct PlaylistLine {
    std::string title;
    std::string filename;
    bool operator==(const PlaylistLine&) const = default;
};

/// The lines of an "enqueueplaylist" parameter: each text ended by "\n" that
/// holds a tab is "title<TAB>filename", blanks after the tab skipped. Text
/// after the last "\n", and lines without a tab, are no lines.
std::vector<PlaylistLine> playlistLines(std::string_view text);

/// Enters the 31 player commands into `routes`. Each answers a short
/// plain text ("text/plain; charset=UTF-8", never sniffed as markup): "1"
/// when done, "0" when refused, or the value asked for.
/// The routes that change the playlist hold the application's lock while
/// they change it (the adding ones after expanding their paths, which may
/// wait for a peer, without it) and add only paths the media library allows.
void addPlayerCommands(RouteTable& routes);

} // namespace webapp
