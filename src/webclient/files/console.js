/* PlayerConsole: the console box. Transport buttons, volume and seek
   sliders, the shuffle and repeat lights and the track display, refreshed
   from "consolestatus.xml" every three seconds (a refresh is skipped while
   the previous one is on its way). What the user changes shows at once;
   the next refresh confirms it. The display tells whether the player plays,
   is paused or stopped: from the last transport command until the clock
   says otherwise, then from how the position moved between two refreshes;
   while the event stream is open (live.js), from the state it last told,
   which no sample overrules (a player slow to start stands still at first). */

/* Whether the media library is switched on in the server's settings. */
var ML_ENABLED = "<<ML_ENABLED>>" === "true";

function PlayerConsole(deck, element, parts) {
  "use strict";
  var self = this;
  this.deck = deck;
  this.parts = parts;           // { playlist: Playlist, library: BoxWindow or null, playlistBox: BoxWindow,
                                //   local: HereListener or null }
  this.local = parts.local || null;
  this.pending = false;
  this.holdRefresh = false;
  this.lengthMs = 0;
  this.seekKey = null;          // the arrow key held down, if any
  this.last = null;             // { file, ms, at }: the previous sample, for the playing state
  this.told = null;             // { state, at }: the state the last transport command implies
  this.heard = null;            // the state the open event stream told last, if any
  this.sampleSoon = null;       // a timer for an early second sample
  this.window = new BoxWindow(element, { resizable: false });

  var find = function (selector) { return element.querySelector(selector); };
  this.track = find(".lcd-track");
  this.album = find(".lcd-album");
  this.state = find(".lcd-state");
  this.time = find(".lcd-time");
  this.info = find(".lcd-info");
  // The cover is in the display only while it shows a picture.
  this.cover = document.createElement("img");
  this.cover.className = "lcd-cover";
  this.cover.alt = "";
  this.next = find(".lcd-next");
  this.coverOf = null;          // the file whose cover was asked for
  Events.on(this.cover, "load", function () { self.showCover(true); });
  Events.on(this.cover, "error", function () { self.showCover(false); });
  this.buttons = {};
  Array.prototype.forEach.call(element.querySelectorAll("[data-action]"), function (button) {
    self.buttons[button.getAttribute("data-action")] = button;
  });

  this.volume = new Slider(find(".volume"), {
    change: function (value) {
      if (self.local && self.local.volume(value)) return;
      deck.setvolume(value);
      self.showVolume(value);
    },
    text: function (value) { return Math.round(value / 2.55) + "%"; }
  });
  this.seek = new Slider(find(".seek"), {
    release: function (value) { self.seekTo(value / 10000); },
    text: function (value) { return PlayerConsole.clock(value / 10000 * self.lengthMs); }
  });

  var transport = function (command, state) {
    return function () {
      self.tell(state);
      deck[command](function () { self.refresh(true); });
    };
  };
  var actions = {
    prev: function () { deck.prev(function (position) { self.moved(position); }); },
    next: function () { deck.next(function (position) { self.moved(position); }); },
    play: transport("play", "playing"),
    pause: transport("pause", "pause"),
    stop: transport("stop", "stopped"),
    shuffle: function () { self.flip("shuffle"); deck.toggleshuffle(); },
    repeat: function () { self.flip("repeat"); deck.togglerepeat(); },
    mute: function () {
      self.press("mute", !deck.muted());
      deck.toggleMute(function (muted) { self.press("mute", muted); self.refresh(true); });
    },
    playlist: function () { self.toggleBox(parts.playlistBox); },
    library: function () { if (ML_ENABLED && parts.library) self.toggleBox(parts.library); }
  };
  // While the page plays on this device, the transport acts on that.
  if (this.local) {
    ["prev", "next", "play", "pause", "stop", "mute"].forEach(function (name) {
      var remote = actions[name];
      actions[name] = function () { if (!self.local.take(name)) remote(); };
    });
  }
  Object.keys(this.buttons).forEach(function (name) {
    Events.on(self.buttons[name], "click", function () { actions[name](); });
  });
  if (!ML_ENABLED || !parts.library) {
    this.buttons.library.disabled = true;
    this.buttons.library.title = "The media library is switched off in the player's settings";
  }
  [["playlist", parts.playlistBox], ["library", parts.library]].forEach(function (pair) {
    var box = pair[1];
    self.press(pair[0], !!box && box.visible());
    if (box) Events.on(box.element, "boxchange", function () { self.press(pair[0], box.visible()); });
  });
  this.keys(actions);

  this.refresh();
  // Live (live.js) says when the event stream makes polling needless.
  setInterval(function () { if (typeof Live === "undefined" || Live.polls("console")) self.refresh(); }, 3000);
}

/* prev and next answer the new position: mark it and show the new track. */
PlayerConsole.prototype.moved = function (position) {
  if (position !== null && this.parts.playlist) this.parts.playlist.markPlaying(position);
  this.last = null;
  this.refresh(true);
};

PlayerConsole.prototype.press = function (name, on) {
  var button = this.buttons[name];
  if (!button) return;
  button.setAttribute("aria-pressed", on ? "true" : "false");
  var light = button.querySelector(".light");
  if (light) light.classList.toggle("on", on);
};

PlayerConsole.prototype.flip = function (name) {
  this.press(name, this.buttons[name].getAttribute("aria-pressed") !== "true");
};

PlayerConsole.prototype.toggleBox = function (box) {
  if (box) box.toggle();
};

PlayerConsole.prototype.seekTo = function (fraction) {
  var self = this;
  if (this.local && this.local.seek(fraction)) return;
  this.last = null;
  this.deck.setposition(fraction, function () { self.refresh(true); });
};

PlayerConsole.prototype.keys = function (actions) {
  var self = this;
  var byKey = { z: actions.prev, x: actions.play, c: actions.pause, v: actions.stop, b: actions.next };
  Events.on(document, "keydown", function (e) {
    if (Events.inField(e) || e.ctrlKey || e.altKey || e.metaKey) return;
    var key = e.key.length === 1 ? e.key.toLowerCase() : e.key;
    if (byKey[key]) {
      if (!e.repeat) byKey[key]();
      Events.stop(e);
    } else if ((key === "ArrowLeft" || key === "ArrowRight") && !Events.ownsArrows(e)) {
      // Five seconds a press; the slider follows at once and the refreshes
      // wait until the key is let go, which seeks to where the slider is.
      var forward = key === "ArrowRight";
      self.holdRefresh = true;
      self.seekKey = key;
      var step = forward ? "ffw5s" : "rew5s";
      if (!(self.local && self.local.take(step))) self.deck[step]();
      if (self.lengthMs > 0) self.seek.moveBy((forward ? 5000 : -5000) / self.lengthMs * 10000);
      Events.stop(e);
    }
  });
  Events.on(document, "keyup", function (e) {
    if (e.key !== self.seekKey) return;
    self.seekKey = null;
    self.holdRefresh = false;
    self.seekTo(self.seek.fraction());
  });
};

/* The state a transport command implies; "pause" toggles. */
PlayerConsole.prototype.tell = function (state) {
  var now = Date.now();
  var current = this.told ? this.told.state : this.stateText();
  if (state === "pause") state = current === "paused" ? "playing" : current === "playing" ? "paused" : current;
  this.told = { state: state, at: now };
  this.last = null;
  this.showState(state);
};

PlayerConsole.prototype.stateText = function () {
  return this.state.getAttribute("data-state") || "";
};

PlayerConsole.prototype.showState = function (state) {
  var words = { playing: "Playing", paused: "Paused", stopped: "Stopped" };
  this.state.setAttribute("data-state", state || "");
  this.state.textContent = words[state] || "";
};

/* force: refresh now even when a refresh is under way (after a command),
   so what the user did shows at once. */
PlayerConsole.prototype.refresh = function (force) {
  var self = this;
  if (this.holdRefresh || (this.pending && !force) || (this.local && this.local.active())) return;
  this.pending = true;
  var asked = Date.now();
  this.deck.consolestatus(function (text) {
    self.pending = false;
    var status = StatusText.console(text);
    if (status) self.show(status, asked);
    else self.offline();
  });
};

PlayerConsole.prototype.offline = function () {
  this.showState("");
  this.state.textContent = "No answer from the player";
  this.last = null;
};

/* From two samples: the position moved on: playing; it stood still away
   from the start: paused; at the start: stopped. A sample under a second
   after the last can tell nothing, and nor can one right after a command. */
PlayerConsole.prototype.inferState = function (file, ms, at) {
  var last = this.last;
  this.last = { file: file, ms: ms, at: at };
  if (!last || last.file !== file || at - last.at < 900) return null;
  if (ms > last.ms) return "playing";
  if (ms === last.ms) return ms > 0 ? "paused" : "stopped";
  return "playing";              // moved back: a seek or the next loop of the track
};

PlayerConsole.prototype.show = function (status, at) {
  if (this.holdRefresh) return;
  var volume = parseInt(status.volume, 10);
  var position = parseFloat(status.position);
  if (!isFinite(position) || position < 0) position = 0;
  this.lengthMs = parseInt(status.lengthms, 10) || 0;

  if (!this.deck.pending()) {
    this.volume.setValue(volume);
    this.seek.setValue(position * 10000);
    this.press("shuffle", status.shuffle === "1");
    this.press("repeat", status.repeat === "1");
    if (volume > 0 && this.deck.muted()) this.press("mute", false);
  }
  this.showVolume(volume);

  var artist = status.artist, title = status.title, length = status.length;
  // No length is shown when nothing is loaded (the player says "0:00").
  var line = (artist ? artist + " - " : "") + title + (length && this.lengthMs > 0 ? " (" + length + ")" : "");
  this.track.textContent = (line || "Tunelet").toUpperCase();
  this.track.title = line + (status.filename ? "\n" + status.filename : "");
  this.album.textContent = status.album.toUpperCase();

  this.askCover(status.filename);
  this.showNext();

  var ms = Math.round(position * this.lengthMs);
  var inferred = this.lengthMs > 0 ? this.inferState(status.filename, ms, at)
                                    : status.filename ? null : "stopped";
  if (this.heard) {
    // What a command implies shows until the stream tells its outcome, or
    // for a few seconds when it changed nothing.
    if (this.told && Date.now() - this.told.at > 3000) this.told = null;
    if (!this.told) this.showState(this.heard);
  } else if (inferred !== null) {
    this.told = null;
    this.showState(inferred);
  } else if (!this.told && !this.stateText()) {
    this.showState(ms > 0 ? "" : "stopped");
  }
  // Still unknown (a first sample of a moving position): a second sample a
  // second later tells, rather than the next regular refresh.
  if (this.lengthMs > 0 && !this.stateText() && !this.told && !this.sampleSoon) {
    var self = this;
    this.sampleSoon = setTimeout(function () { self.sampleSoon = null; self.refresh(); }, 1000);
  }
  this.time.textContent = this.lengthMs > 0 ? PlayerConsole.clock(ms) + " / " + length : "";
  var bitrate = parseInt(status.bitrate, 10);
  this.info.textContent = bitrate > 0 ? bitrate + " KBPS" : "";
};

/* The current file's small cover ("cover" answers 404 when it has none:
   the picture stays hidden). Asked for once per file. */
PlayerConsole.prototype.askCover = function (file) {
  if (file === this.coverOf) return;
  this.coverOf = file;
  this.showCover(false);
  if (file && !/^[a-z]+:\/\//i.test(file)) this.cover.src = "cover?path=" + encodeURIComponent(file) + "&size=small";
  else this.cover.removeAttribute("src");
};

PlayerConsole.prototype.showCover = function (shown) {
  var display = this.track.parentNode;
  if (shown && !this.cover.parentNode) display.insertBefore(this.cover, display.firstChild);
  else if (!shown && this.cover.parentNode) display.removeChild(this.cover);
  display.classList.toggle("covered", shown);
};

/* The entry after the playing one in the playlist, by its tags' title when
   known, else its name. */
PlayerConsole.prototype.showNext = function () {
  var list = this.parts.playlist;
  var entry = list && list.playing >= 0 ? list.entry(list.playing + 1) : null;
  var name = entry ? (entry.facts && entry.facts.title) || entry.title || entry.filename : "";
  this.next.textContent = name ? "NEXT: " + name.toUpperCase() : "";
  this.next.title = name;
};

PlayerConsole.prototype.showVolume = function (volume) {
  this.buttons.mute.title = isFinite(volume) ? "Mute (volume " + Math.round(volume / 2.55) + "%)" : "Mute";
};

PlayerConsole.clock = function (ms) {
  var seconds = Math.max(0, Math.floor(ms / 1000));
  var rest = seconds % 60;
  return Math.floor(seconds / 60) + ":" + (rest < 10 ? "0" : "") + rest;
};
