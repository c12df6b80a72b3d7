/* PlayerConsole: the console box. Transport buttons, volume and seek
   sliders, the shuffle and repeat lights and the track display, refreshed
   from "consolestatus.xml" every three seconds. */

/* Whether the media library is switched on in the server's settings. */
var ML_ENABLED = "<<ML_ENABLED>>" === "true";

function PlayerConsole(deck, element, parts) {
  "use strict";
  var self = this;
  this.deck = deck;
  this.parts = parts;           // { playlist: Playlist, library: BoxWindow or null, playlistBox: BoxWindow }
  this.pending = false;
  this.holdRefresh = false;
  this.lengthMs = 0;
  this.seekKeyDown = false;
  this.window = new BoxWindow(element, { resizable: false });

  var find = function (selector) { return element.querySelector(selector); };
  this.track = find(".lcd-track");
  this.album = find(".lcd-album");
  this.state = find(".lcd-state");
  this.info = find(".lcd-info");
  this.shuffleLight = find(".hot.shuffle .light");
  this.repeatLight = find(".hot.repeat .light");

  this.volume = new Slider(find(".volume"), {
    min: 0, max: 255,
    change: function (value) { deck.setvolume(value); }
  });
  this.seek = new Slider(find(".seek"), {
    min: 0, max: 10000,
    release: function (value) { deck.setposition(value / 10000); }
  });

  var actions = {
    prev: function () { self.moved(deck.prev()); },
    next: function () { self.moved(deck.next()); },
    play: function () { deck.play(function () { self.refresh(); }); },
    pause: function () { deck.pause(function () { self.refresh(); }); },
    stop: function () { deck.stop(function () { self.refresh(); }); },
    shuffle: function () { self.flip(self.shuffleLight); deck.toggleshuffle(); },
    repeat: function () { self.flip(self.repeatLight); deck.togglerepeat(); },
    mute: function () { deck.toggleMute(function () { self.refresh(); }); },
    playlist: function () { if (parts.playlistBox) parts.playlistBox.toggle(); },
    library: function () { if (ML_ENABLED && parts.library) parts.library.toggle(); }
  };
  Array.prototype.forEach.call(element.querySelectorAll(".hot[data-action]"), function (button) {
    Events.on(button, "click", function () { actions[button.getAttribute("data-action")](); });
  });
  this.keys(actions);

  this.refresh();
  setInterval(function () { self.refresh(); }, 3000);
}

/* prev and next answer the new position: mark it and show the new track. */
PlayerConsole.prototype.moved = function (position) {
  if (position !== null && this.parts.playlist) this.parts.playlist.markPlaying(position);
  this.refresh();
};

PlayerConsole.prototype.flip = function (light) {
  light.classList.toggle("on");
};

PlayerConsole.prototype.keys = function (actions) {
  var self = this;
  var byKey = { z: actions.prev, x: actions.play, c: actions.pause, v: actions.stop, b: actions.next };
  Events.on(document, "keydown", function (e) {
    if (Events.inField(e) || e.ctrlKey || e.altKey || e.metaKey) return;
    var key = e.key.toLowerCase();
    if (byKey[key]) {
      byKey[key]();
    } else if (key === "arrowleft" || key === "arrowright") {
      if (document.activeElement && document.activeElement.closest(".playlist")) return;
      // Seek in steps of five seconds; the slider follows at once and the
      // refreshes wait until the key is let go.
      self.holdRefresh = true;
      self.seekKeyDown = true;
      var forward = key === "arrowright";
      if (forward) self.deck.ffw5s(); else self.deck.rew5s();
      if (self.lengthMs > 0) self.seek.setValue(self.seek.value + (forward ? 1 : -1) * 5000 / self.lengthMs * 10000);
      Events.stop(e);
    }
  });
  Events.on(document, "keyup", function (e) {
    if (!self.seekKeyDown || (e.key !== "ArrowLeft" && e.key !== "ArrowRight")) return;
    self.seekKeyDown = false;
    self.holdRefresh = false;
    self.deck.setposition(self.seek.fraction());
  });
};

PlayerConsole.text = function (doc, name) {
  var node = doc.getElementsByTagName(name)[0];
  return node ? node.textContent : "";
};

PlayerConsole.prototype.refresh = function () {
  var self = this;
  if (this.pending || this.holdRefresh) return;
  this.pending = true;
  this.deck.consolestatus(function (doc) {
    self.pending = false;
    if (doc) self.show(doc);
    else self.offline();
  });
};

PlayerConsole.prototype.offline = function () {
  this.state.textContent = "No answer from the player";
  this.info.textContent = "";
};

PlayerConsole.prototype.show = function (doc) {
  var text = PlayerConsole.text;
  var volume = parseInt(text(doc, "volume"), 10);
  var position = parseFloat(text(doc, "position"));
  this.lengthMs = parseInt(text(doc, "lengthms"), 10) || 0;

  this.volume.setValue(volume);
  this.seek.setValue(isFinite(position) ? position * 10000 : 0);
  this.shuffleLight.classList.toggle("on", text(doc, "shuffle") === "1");
  this.repeatLight.classList.toggle("on", text(doc, "repeat") === "1");

  var artist = text(doc, "artist");
  var title = text(doc, "title");
  var length = text(doc, "length");
  var line = (artist ? artist + " - " : "") + title + (length ? " (" + length + ")" : "");
  this.track.textContent = (line || "Tunelet").toUpperCase();
  this.album.textContent = text(doc, "album").toUpperCase();

  var bitrate = parseInt(text(doc, "bitrate"), 10);
  var elapsed = isFinite(position) && this.lengthMs > 0 ? PlayerConsole.clock(position * this.lengthMs) : "";
  this.state.textContent = elapsed && length ? elapsed + " / " + length : "";
  this.info.textContent = (bitrate > 0 ? bitrate + " KBPS  " : "") +
                          (isFinite(volume) ? "VOL " + Math.round(volume / 2.55) + "%" : "");
};

PlayerConsole.clock = function (ms) {
  var seconds = Math.max(0, Math.floor(ms / 1000));
  var rest = seconds % 60;
  return Math.floor(seconds / 60) + ":" + (rest < 10 ? "0" : "") + rest;
};
