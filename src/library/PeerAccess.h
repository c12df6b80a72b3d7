#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace library {

/// The peers this instance may send a request of its own to ("library.js"
/// for the client, "/stream?" for the player), each an authority as a peer
/// URL writes it ("host" or "host:port").
struct PeerAccess {
    /// "address:port" of every peer discovery hears now.
    std::vector<std::string> heard;
    /// The places the user saved.
    std::vector<std::string> saved;
    /// The port this instance listens on.
    std::uint16_t ownPort = 0;
};

/// True when `authority` is one of `access.heard` or `access.saved` (exact
/// text) and does not name this instance: an authority whose port is
/// `ownPort` and whose host resolves to an address of this machine, or
/// does not resolve at all, is refused even when heard (an announcement's
/// sender can be forged). Any thread; may ask the system's resolver.
bool mayAskPeer(std::string_view authority, const PeerAccess& access);

/// Drops from `items`, from index `from` on, every URL whose authority is
/// not (as text) that of the peer URL `url`: a peer's stream playlist names
/// its own downloads, so none sends the player to another host, or to this
/// instance. Pure.
void keepItemsOfPeer(std::string_view url, std::vector<std::string>& items, std::size_t from);

/// The "host" texts of the saved places in the client's "favs" cookie value
/// (percent-encoded JSON text, as the client writes it): each made only of
/// letters, digits, ".", "-" and ":"; anything else is skipped. Pure.
std::vector<std::string> savedPlaceHosts(std::string_view favsCookie);

/// Places the user has browsed from the saved ones, kept so that their
/// "/stream?" URLs may be fetched later by requests that do not carry the
/// cookie. Holds the `capacity` newest; thread-safe.
class NotedPlaces {
public:
    static constexpr std::size_t capacity = 32;
    void note(std::string_view authority);
    std::vector<std::string> all() const;

private:
    mutable std::mutex lock;
    std::deque<std::string> places;
};

} // namespace library
