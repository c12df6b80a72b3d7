/* HttpDeck: the player's commands as small HTTP requests.
   Synchronous calls share the deck's one request object and are made only
   while it is idle; they return the answer text, or null when the deck was
   busy or the server did not answer 200. Asynchronous calls get a request
   object each and hand done(text) the answer, null on failure. Commands
   answer "1" for done and "0" for refused. */

function HttpDeck() {
  "use strict";
  this.request = new XMLHttpRequest();
  this.mutedVolume = null;
}

HttpDeck.cacheBreaker = function () {
  return String(new Date().getTime()) + String(Math.random()).slice(2);
};

HttpDeck.body = function (args) {
  var text = "";
  for (var i = 0; i < args.length; i++) text += args[i] + "&";
  return text;
};

HttpDeck.prototype.open = function (request, method, route, args, async) {
  if (method === "GET") {
    request.open("GET", route + "?" + HttpDeck.body(args) + HttpDeck.cacheBreaker(), async);
    return null;
  }
  request.open("POST", route, async);
  request.setRequestHeader("Content-Type", "application/x-www-form-urlencoded");
  return HttpDeck.body(args);
};

HttpDeck.prototype.ask = function (method, route, args) {
  var request = this.request;
  if (request.readyState !== 0 && request.readyState !== 4) return null;
  try {
    request.send(this.open(request, method, route, args || [], false));
  } catch (e) {
    return null; // no connection to the server
  }
  return request.status === 200 ? request.responseText : null;
};

HttpDeck.prototype.send = function (method, route, args, done, charset) {
  var request = new XMLHttpRequest();
  if (charset) request.overrideMimeType("text/xml; charset=" + charset);
  request.onreadystatechange = function () {
    if (request.readyState !== 4) return;
    if (done) done(request.status === 200 ? request.responseText : null);
  };
  try {
    request.send(this.open(request, method, route, args || [], true));
  } catch (e) {
    if (done) done(null);
  }
};

HttpDeck.number = function (text) {
  var n = parseInt(text, 10);
  return text === null || isNaN(n) ? null : n;
};

/* Transport. prev and next answer the new playlist position. */
HttpDeck.prototype.prev = function () { return HttpDeck.number(this.ask("POST", "prev")); };
HttpDeck.prototype.next = function () { return HttpDeck.number(this.ask("POST", "next")); };
HttpDeck.prototype.play = function (done) { this.send("POST", "play", [], done); };
HttpDeck.prototype.pause = function (done) { this.send("POST", "pause", [], done); };
HttpDeck.prototype.stop = function (done) { this.send("POST", "stop", [], done); };
HttpDeck.prototype.ffw5s = function (done) { this.send("POST", "ffw5s", [], done); };
HttpDeck.prototype.rew5s = function (done) { this.send("POST", "rew5s", [], done); };

/* Volume, 0 to 255. */
HttpDeck.prototype.getvolume = function () { return HttpDeck.number(this.ask("POST", "getvolume")); };
HttpDeck.prototype.setvolume = function (level, done) {
  this.send("POST", "setvolume", ["level=" + Math.round(level)], done);
};

/* Mute is kept here: the first press remembers the volume and sends 0, the
   second sends the remembered volume back. */
HttpDeck.prototype.toggleMute = function (done) {
  if (this.mutedVolume === null) {
    var volume = this.getvolume();
    if (volume === null) return;
    this.mutedVolume = volume;
    this.setvolume(0, done);
  } else {
    var back = this.mutedVolume;
    this.mutedVolume = null;
    this.setvolume(back, done);
  }
};

/* Seeking: pos is a fraction of the track from 0 to 1. */
HttpDeck.prototype.getposition = function () {
  var text = this.ask("POST", "getposition");
  var value = text === null ? NaN : parseFloat(text);
  return isFinite(value) ? value : null;
};
HttpDeck.prototype.setposition = function (pos, done) {
  this.send("POST", "setposition", ["pos=" + pos], done);
};

/* Shuffle and repeat. */
HttpDeck.prototype.getshuffle = function () { return this.ask("POST", "getshuffle") === "1"; };
HttpDeck.prototype.getrepeat = function () { return this.ask("POST", "getrepeat") === "1"; };
HttpDeck.prototype.toggleshuffle = function (done) { this.send("POST", "toggleshuffle", [], done); };
HttpDeck.prototype.togglerepeat = function (done) { this.send("POST", "togglerepeat", [], done); };

/* Library files into the playlist. filename is a library path or a peer's
   stream URL. */
HttpDeck.fileArgs = function (filename, title) {
  return ["filename=" + escape(filename), "title=" + escape(title)];
};
HttpDeck.prototype.enqueuefile = function (filename, title, done) {
  this.send("POST", "enqueuefile", HttpDeck.fileArgs(filename, title), done);
};
HttpDeck.prototype.enqueuefilenext = function (filename, title, done) {
  this.send("POST", "enqueuefilenext", HttpDeck.fileArgs(filename, title), done);
};
HttpDeck.prototype.playfile = function (filename, title, done) {
  this.send("POST", "playfile", HttpDeck.fileArgs(filename, title), done);
};
HttpDeck.prototype.insertfile = function (filename, title, index, done) {
  this.send("POST", "insertfile", HttpDeck.fileArgs(filename, title).concat(["index=" + index]), done);
};

/* The playlist. */
HttpDeck.prototype.getplaylistpos = function (done) {
  this.send("POST", "getplaylistpos", [], function (text) { done(HttpDeck.number(text)); });
};
HttpDeck.prototype.setplaylistpos = function (index, done) {
  this.send("POST", "setplaylistpos", ["index=" + index], done);
};
HttpDeck.prototype.deleteplaylistitem = function (index, done) {
  this.send("POST", "deleteplaylistitem", ["index=" + index], done);
};
HttpDeck.prototype.moveplaylistitem = function (from, to, done) {
  if (from === to) return;
  this.send("POST", "moveplaylistitem", ["from=" + from, "to=" + to], done);
};
HttpDeck.prototype.clearplaylist = function (done) { this.send("POST", "clearplaylist", [], done); };

/* The two status documents; done receives the parsed XML document or null.
   Their texts are the names the file system gives, which are UTF-8 here.
   The playlist request carries this page's own id: the server sends the full
   list to an id once, then again only after the playlist changed. */
HttpDeck.parseXml = function (text) {
  if (text === null) return null;
  var doc = new DOMParser().parseFromString(text, "text/xml");
  return doc.getElementsByTagName("parsererror").length ? null : doc;
};
HttpDeck.prototype.playlist = function (done) {
  this.send("GET", "playlist.xml", ["id=<<PLAYLIST_ID>>"], function (text) {
    done(HttpDeck.parseXml(text));
  }, "utf-8");
};
HttpDeck.prototype.consolestatus = function (done) {
  this.send("GET", "consolestatus.xml", [], function (text) {
    done(HttpDeck.parseXml(text));
  }, "utf-8");
};
