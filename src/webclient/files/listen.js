/* HereListener: "play on this device". The player in the host stays the
   one the page controls (the remote mode, the default); the "Play here"
   button switches to this device, and the choice is kept in localStorage.
   Here, the page plays through its own audio element: the playlist's entries
   as "download" URLs (the server answers ranges, so seeking works), or what
   the library box plays (a file, a folder or a search, through the server's
   "stream" playlist of download URLs). At the end of an entry the next one
   starts. The console's transport, seek and volume act on this playback
   while the mode is on (PlayerConsole asks take, seek and volume first), and
   its display shows this playback's title, position and length. The Media
   Session gets the title, artist and cover, and its play, pause, next,
   previous and seek actions, so a phone's lock screen and media keys drive
   it too. */
function HereListener(element, button) {
  "use strict";
  var self = this;
  this.button = button;
  this.audio = document.createElement("audio");
  this.audio.className = "here-audio";
  this.audio.preload = "auto";
  element.appendChild(this.audio);
  this.queue = [];               // [{ url, title, path }]
  this.at = -1;
  this.on = false;
  this.console = null;           // the PlayerConsole whose display this playback uses
  this.playlist = null;          // where the playlist's entries come from
  this.onMode = null;            // told when the mode changes

  Events.on(button, "click", function () { self.setMode(!self.on); });
  var audio = this.audio;
  Events.on(audio, "ended", function () { self.step(1); });
  ["play", "pause", "timeupdate", "durationchange", "loadedmetadata"].forEach(function (name) {
    Events.on(audio, name, function () { self.show(); });
  });
  Events.on(audio, "error", function () {
    // An entry that cannot be played is passed over.
    if (self.on && self.at >= 0) self.step(1);
  });
  this.mediaSession();
  var kept = null;
  try { kept = window.localStorage.getItem(HereListener.KEY); } catch (e) { kept = null; }
  this.setMode(kept === "here");
}

HereListener.KEY = "tuneletMode";

HereListener.prototype.active = function () {
  return this.on;
};

HereListener.prototype.setMode = function (on) {
  this.on = on;
  try { window.localStorage.setItem(HereListener.KEY, on ? "here" : "remote"); } catch (e) { /* private mode */ }
  this.button.setAttribute("aria-pressed", on ? "true" : "false");
  this.button.title = on ? "Playing on this device: press to control the player again" : "Play on this device";
  document.body.classList.toggle("playing-here", on);
  if (!on) this.audio.pause();
  else this.show();
  if (this.onMode) this.onMode(on);
};

/* ---- what plays ---- */

/* A playlist entry as the server lists it: its file name becomes a
   download URL (a peer's URL stays as it is). */
HereListener.entry = function (track) {
  var file = track.filename || "";
  var url = /^https?:\/\//i.test(file) ? file : "download?path=" + encodeURIComponent(file);
  return { url: url, title: track.title || file.replace(/^.*[\\/]/, ""), path: file };
};

/* Plays the playlist from index. False when the mode is off. */
HereListener.prototype.playFrom = function (index) {
  if (!this.on) return false;
  var tracks = this.playlist ? this.playlist.tracks : [];
  this.queue = tracks.map(function (track) { return HereListener.entry(track || {}); });
  this.start(Math.max(0, Math.min(index, this.queue.length - 1)));
  return true;
};

/* Plays library entries (files, folders, a search) of this server through
   its "stream" playlists. False when the mode is off. */
HereListener.prototype.playEntries = function (library, entries, tell) {
  var self = this;
  if (!this.on) return false;
  if (library.host) {
    tell("Playing here works with this player's own library.");
    return true;
  }
  var lists = entries.map(function (entry) {
    return fetch("stream?path=" + entry.raw, { credentials: "same-origin" })
      .then(function (answer) { return answer.ok ? answer.text() : ""; }, function () { return ""; });
  });
  Promise.all(lists).then(function (texts) {
    var queue = [];
    texts.forEach(function (text) { queue = queue.concat(HereListener.readM3u(text)); });
    if (!queue.length) { tell("Nothing to play here."); return; }
    self.queue = queue;
    self.start(0);
    tell("Playing " + queue.length + (queue.length === 1 ? " track" : " tracks") + " on this device.");
  });
  return true;
};

/* The entries of an M3U text: each URL line, titled by the #EXTINF before it. */
HereListener.readM3u = function (text) {
  var out = [];
  var title = "";
  text.split(/\r?\n/).forEach(function (line) {
    if (/^#EXTINF:/.test(line)) title = line.slice(line.indexOf(",") + 1);
    else if (line && line.charAt(0) !== "#") {
      var path = "";
      try { path = new URL(line, location.href).searchParams.get("path") || ""; } catch (e) { path = ""; }
      out.push({ url: line, title: title || path.replace(/^.*[\\/]/, ""), path: path });
      title = "";
    }
  });
  return out;
};

HereListener.prototype.start = function (at) {
  this.at = at;
  var entry = this.queue[at];
  if (!entry) { this.stop(); return; }
  this.audio.src = entry.url;
  this.describe(entry);
  var played = this.audio.play();
  if (played && played.catch) played.catch(function () { /* needs a touch first; the button will do */ });
  this.show();
};

HereListener.prototype.step = function (by) {
  if (this.at + by >= 0 && this.at + by < this.queue.length) this.start(this.at + by);
  else if (by > 0) this.stop();
};

HereListener.prototype.stop = function () {
  this.audio.pause();
  if (this.audio.readyState > 0) this.audio.currentTime = 0;
  this.show();
};

/* ---- the console asks these first while the mode is on ---- */

/* A console action (prev, next, play, pause, stop, mute, ffw5s, rew5s);
   true when taken. */
HereListener.prototype.take = function (action) {
  if (!this.on) return false;
  var audio = this.audio;
  if (action === "prev") this.step(-1);
  else if (action === "next") this.step(1);
  else if (action === "stop") this.stop();
  else if (action === "pause") { if (audio.paused) this.resume(); else audio.pause(); }
  else if (action === "play") {
    if (this.at < 0 || !this.queue.length) this.playFrom(this.playlist ? Math.max(0, this.playlist.cursor) : 0);
    else this.resume();
  } else if (action === "ffw5s" || action === "rew5s") {
    audio.currentTime = Math.max(0, audio.currentTime + (action === "ffw5s" ? 5 : -5));
  } else if (action === "mute") {
    audio.muted = !audio.muted;
    if (this.console) this.console.press("mute", audio.muted);
  } else return false;
  return true;
};

HereListener.prototype.resume = function () {
  var played = this.audio.play();
  if (played && played.catch) played.catch(function () {});
};

/* fraction: 0 to 1 of the entry. True when taken. */
HereListener.prototype.seek = function (fraction) {
  if (!this.on) return false;
  var length = this.audio.duration;
  if (isFinite(length) && length > 0) this.audio.currentTime = Math.max(0, Math.min(1, fraction)) * length;
  return true;
};

/* level: 0 to 255, as the console's slider gives it. True when taken. */
HereListener.prototype.volume = function (level) {
  if (!this.on) return false;
  this.audio.volume = Math.max(0, Math.min(1, level / 255));
  return true;
};

/* ---- display and Media Session ---- */

HereListener.prototype.show = function () {
  var c = this.console;
  if (!this.on || !c) return;
  var audio = this.audio, entry = this.queue[this.at];
  var length = isFinite(audio.duration) ? audio.duration * 1000 : 0;
  var position = audio.currentTime * 1000;
  var playing = !audio.paused && !audio.ended;
  c.track.textContent = entry ? entry.title : "Play here: choose a track";
  c.track.title = entry ? entry.title : "";
  c.album.textContent = entry ? HereListener.artist(entry) : "";
  c.showState("");
  c.state.textContent = entry ? (playing ? "Playing here" : position > 0 ? "Paused here" : "Stopped here") : "This device";
  c.time.textContent = length > 0 ? PlayerConsole.clock(position) + " / " + PlayerConsole.clock(length) : "";
  c.info.textContent = "";
  c.lengthMs = length;
  if (length > 0) c.seek.setValue(position / length * 10000);
  if ("mediaSession" in navigator) {
    navigator.mediaSession.playbackState = entry ? (playing ? "playing" : "paused") : "none";
    if (length > 0 && navigator.mediaSession.setPositionState) {
      try {
        navigator.mediaSession.setPositionState({ duration: length / 1000, position: Math.min(position, length) / 1000,
                                                  playbackRate: audio.playbackRate || 1 });
      } catch (e) { /* a position the browser does not take: the next update tries again */ }
    }
  }
};

/* The artist from a "Artist - Title" playlist title, else nothing. */
HereListener.artist = function (entry) {
  var cut = entry.title.indexOf(" - ");
  return cut > 0 ? entry.title.slice(0, cut) : "";
};

HereListener.prototype.describe = function (entry) {
  if (!("mediaSession" in navigator) || typeof MediaMetadata === "undefined") return;
  var artist = HereListener.artist(entry);
  var title = artist ? entry.title.slice(artist.length + 3) : entry.title;
  // The cover comes from the server when it has one; without it the
  // browser shows none.
  var artwork = /^https?:/i.test(entry.path) || !entry.path ? []
    : [{ src: "cover?path=" + encodeURIComponent(entry.path), sizes: "512x512" }];
  navigator.mediaSession.metadata = new MediaMetadata({ title: title, artist: artist, artwork: artwork });
};

HereListener.prototype.mediaSession = function () {
  var self = this;
  if (!("mediaSession" in navigator)) return;
  var audio = this.audio;
  var handlers = {
    play: function () { self.resume(); },
    pause: function () { audio.pause(); },
    stop: function () { self.stop(); },
    previoustrack: function () { self.step(-1); },
    nexttrack: function () { self.step(1); },
    seekto: function (details) { if (isFinite(details.seekTime)) audio.currentTime = details.seekTime; },
    seekbackward: function (details) { audio.currentTime = Math.max(0, audio.currentTime - (details.seekOffset || 10)); },
    seekforward: function (details) { audio.currentTime = audio.currentTime + (details.seekOffset || 10); }
  };
  Object.keys(handlers).forEach(function (name) {
    try { navigator.mediaSession.setActionHandler(name, handlers[name]); } catch (e) { /* not offered here */ }
  });
};
