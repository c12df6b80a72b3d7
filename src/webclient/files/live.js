/* Live: the player's changes as they happen, from the "live" event stream.
   Each event names what changed (state, position, title, volume, shuffle,
   repeat, and a playlist counter that moves when the list changes); the
   console and the playlist are refreshed at once with their own refresh
   functions. While the stream is open the playlist is not polled, and the
   console only while something plays (its position moves by itself).
   When the stream cannot be opened or breaks, the page polls as it always
   did and opens the stream again after 1, 2, 4 ... 30 seconds.

   "?poll=0" in the page's address turns the polling off altogether (the
   browser tests use it to see that changes come by the stream alone). */

var Live = {
  open: false,                   // the stream is open
  noPolling: /[?&]poll=0(&|$)/.test(window.location.search),
  retryMs: 1000,
  MAX_RETRY_MS: 30000,
  source: null,
  console: null,
  playlist: null,
  counter: null,                 // the playlist counter last heard
  opened: 0                      // how often the stream was opened
};

/* Whether a regular refresh of `what` ("console" or "playlist") is due. */
Live.polls = function (what) {
  if (Live.noPolling) return false;
  if (!Live.open) return true;
  return what === "console" && !!Live.console && Live.console.stateText() === "playing";
};

/* Starts listening; `parts` holds the page's console and playlist. */
Live.start = function (parts) {
  Live.console = parts.console;
  Live.playlist = parts.playlist;
  if (typeof EventSource === "undefined") return;
  Live.connect();
};

Live.connect = function () {
  var source = new EventSource("live");
  Live.source = source;
  source.onopen = function () {
    Live.open = true;
    Live.retryMs = 1000;
    Live.opened++;
    document.documentElement.setAttribute("data-live", "open");
  };
  source.onmessage = function (e) {
    var change;
    try { change = JSON.parse(e.data); } catch (err) { return; }
    Live.apply(change);
  };
  source.onerror = function () {
    // The browser would retry on its own at its own pace: this page retries
    // with back-off instead, and polls meanwhile.
    source.close();
    if (Live.source !== source) return;
    Live.source = null;
    Live.open = false;
    // Until it is open again the display goes by the samples.
    if (Live.console) Live.console.heard = null;
    document.documentElement.setAttribute("data-live", "closed");
    setTimeout(Live.connect, Live.retryMs);
    Live.retryMs = Math.min(Live.retryMs * 2, Live.MAX_RETRY_MS);
  };
};

Live.apply = function (change) {
  var player = Live.console, playlist = Live.playlist;
  if (change.playlist !== undefined) {
    // The first event after an opening tells the counter only.
    if (Live.counter !== null && change.playlist !== Live.counter) Live.reloadPlaylist();
    Live.counter = change.playlist;
  }
  if (playlist && change.position !== undefined && change.position !== playlist.playing)
    playlist.markPlaying(change.position);
  if (player) {
    if (change.state !== undefined) {
      player.told = null;
      player.heard = change.state;
      player.showState(change.state);
    }
    if (change.state !== undefined || change.position !== undefined || change.title !== undefined ||
        change.volume !== undefined || change.shuffle !== undefined || change.repeat !== undefined)
      player.refresh(true);
  }
};

/* The playlist's own refresh, again once one under way has come back. */
Live.reloadPlaylist = function () {
  var playlist = Live.playlist;
  if (!playlist) return;
  if (playlist.pending) {
    setTimeout(Live.reloadPlaylist, 100);
    return;
  }
  playlist.refresh();
};
