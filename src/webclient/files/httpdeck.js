/* HttpDeck: the player's commands as small HTTP requests, all asynchronous.
   Commands go out one at a time, in the order they were made, so their
   effects reach the player in that order (setplaylistpos before play, a
   delete before the next one); done(text) gets the answer text, or null
   when the server did not answer 200 in time. A command made while an older
   one of the same kind still waits to be sent (a volume or seek slider
   being dragged) replaces that one, so a drag never piles up requests.
   Commands answer "1" for done and "0" for refused.

   No answer is waited for for ever. Every request has a time-out; a command
   holds the ones behind it for HOLD_MS at most, even the slow ones that
   add library files (a folder or a search expanded, a peer's playlist
   fetched), whose answer may take longer. A query ("get...") that times out
   is asked once more; a command that changes something is never sent twice
   (the player may have done it), and onNoAnswer(route), when set, is told.

   The status documents are fetched beside the queue, so a slow playlist
   never holds a command up; they come back as the document's text, or null
   (the next refresh asks again). */

function HttpDeck(playlistId) {
  "use strict";
  this.playlistId = playlistId || HttpDeck.PLAYLIST_ID;
  this.queue = [];
  this.busy = false;
  this.mutedVolume = null;
  this.onNoAnswer = null;
}

HttpDeck.TIMEOUT_MS = 10000;
/* How long a command holds the ones behind it while its answer is awaited:
   after that they go out beside it (still in their order), so one answer
   held back anywhere never holds the next command for long. */
HttpDeck.HOLD_MS = 1500;
/* Told of every request's end: onReach(true) when any HTTP answer came,
   onReach(false) when none could (network error, refusal, time-out). */
HttpDeck.onReach = null;
HttpDeck.SLOW_TIMEOUT_MS = 60000;
HttpDeck.SLOW = { enqueuefile: true, enqueuefilenext: true, playfile: true, insertfile: true,
                  enqueueplaylist: true, playplaylist: true };

/* This page's playlist id, fresh for every load of this script. */
HttpDeck.PLAYLIST_ID = "<<PLAYLIST_ID>>";

HttpDeck.cacheBreaker = function () {
  return String(new Date().getTime()) + String(Math.random()).slice(2);
};

HttpDeck.body = function (args) {
  var text = "";
  for (var i = 0; i < args.length; i++) text += args[i] + "&";
  return text;
};

/* One request: GET carries the arguments and a cache breaker in the URL,
   POST carries the arguments as the body. done(text, failure) runs once:
   failure is "timeout" when no answer came within timeoutMs (TIMEOUT_MS by
   default), else empty. */
HttpDeck.request = function (method, route, args, done, timeoutMs) {
  var request = new XMLHttpRequest();
  var finished = false;
  var finish = function (text, failure) {
    if (finished) return;
    finished = true;
    done(text, failure || "");
  };
  var reached = function (yes) { if (HttpDeck.onReach) HttpDeck.onReach(yes); };
  request.onload = function () {
    reached(true);
    finish(request.status === 200 ? request.responseText : null);
  };
  request.onerror = function () { reached(false); finish(null); };
  request.onabort = function () { finish(null); };
  request.ontimeout = function () { reached(false); finish(null, "timeout"); };
  try {
    if (method === "GET") {
      request.open("GET", route + "?" + HttpDeck.body(args) + HttpDeck.cacheBreaker(), true);
      request.overrideMimeType("text/plain; charset=utf-8");
    } else {
      request.open("POST", route, true);
      request.setRequestHeader("Content-Type", "application/x-www-form-urlencoded");
    }
    request.timeout = timeoutMs || HttpDeck.TIMEOUT_MS;
    request.send(method === "GET" ? null : HttpDeck.body(args));
  } catch (e) {
    setTimeout(function () { finish(null); }, 0);
  }
};

/* Queues a command. key, when given, names its kind for replacement. */
HttpDeck.prototype.command = function (route, args, done, key) {
  if (key) {
    for (var i = 0; i < this.queue.length; i++) {
      if (this.queue[i].key === key) {
        this.queue[i].args = args || [];
        this.queue[i].done = done || null;
        return;
      }
    }
  }
  this.queue.push({ route: route, args: args || [], done: done || null, key: key || null });
  this.pump();
};

HttpDeck.prototype.pump = function () {
  var self = this;
  if (this.busy || !this.queue.length) return;
  var next = this.queue.shift();
  var holding = true;
  var release = function () {
    if (!holding) return;
    holding = false;
    clearTimeout(hold);
    self.busy = false;
  };
  this.busy = true;
  var hold = setTimeout(function () { release(); self.pump(); }, Math.min(HttpDeck.HOLD_MS, HttpDeck.TIMEOUT_MS));
  var tries = /^get/.test(next.route) ? 2 : 1;
  var send = function () {
    HttpDeck.request("POST", next.route, next.args, function (text, failure) {
      if (failure === "timeout" && --tries > 0) {
        send();
        return;
      }
      release();
      try {
        if (failure === "timeout" && self.onNoAnswer) self.onNoAnswer(next.route);
        if (next.done) next.done(text);
      } finally {
        self.pump();
      }
    }, HttpDeck.SLOW[next.route] ? HttpDeck.SLOW_TIMEOUT_MS : HttpDeck.TIMEOUT_MS);
  };
  send();
};

/* True while commands are still on their way. */
HttpDeck.prototype.pending = function () {
  return this.busy || this.queue.length > 0;
};

HttpDeck.number = function (text) {
  var n = text === null ? NaN : parseInt(text, 10);
  return isNaN(n) ? null : n;
};

HttpDeck.fraction = function (text) {
  var value = text === null ? NaN : parseFloat(text);
  return isFinite(value) ? value : null;
};

HttpDeck.flag = function (text) {
  return text === null ? null : text === "1";
};

/* The plain commands: route -> how its answer is read (text when absent).
   Each becomes a method taking its arguments in order, then done. */
HttpDeck.COMMANDS = {
  prev: HttpDeck.number,           // the new playlist position
  next: HttpDeck.number,
  play: null, pause: null, stop: null, ffw5s: null, rew5s: null,
  getvolume: HttpDeck.number,
  getplaylistlength: HttpDeck.number,
  getplaylistpos: HttpDeck.number,
  clearplaylist: null,
  getshuffle: HttpDeck.flag, getrepeat: HttpDeck.flag,
  toggleshuffle: null, togglerepeat: null,
  getposition: HttpDeck.fraction
};

Object.keys(HttpDeck.COMMANDS).forEach(function (route) {
  var read = HttpDeck.COMMANDS[route];
  HttpDeck.prototype[route] = function (done) {
    this.command(route, [], done ? function (text) { done(read ? read(text) : text); } : null);
  };
});

/* Commands with arguments. */
HttpDeck.prototype.setvolume = function (level, done) {
  var value = Math.max(0, Math.min(255, Math.round(level)));
  this.command("setvolume", ["level=" + value], done, "setvolume");
};

/* pos: a fraction of the track from 0 to 1. */
HttpDeck.prototype.setposition = function (pos, done) {
  this.command("setposition", ["pos=" + Math.max(0, Math.min(1, pos))], done, "setposition");
};

HttpDeck.prototype.setplaylistpos = function (index, done) {
  this.command("setplaylistpos", ["index=" + index], done);
};

HttpDeck.prototype.deleteplaylistitem = function (index, done) {
  this.command("deleteplaylistitem", ["index=" + index], done);
};

HttpDeck.prototype.moveplaylistitem = function (from, to, done) {
  if (from === to) return;
  this.command("moveplaylistitem", ["from=" + from, "to=" + to], done);
};

HttpDeck.prototype.getplaylistfilename = function (index, done) {
  this.command("getplaylistfilename", ["index=" + index], done);
};

HttpDeck.prototype.getplaylisttitle = function (index, done) {
  this.command("getplaylisttitle", ["index=" + index], done);
};

HttpDeck.prototype.setshuffle = function (on, done) {
  this.command("setshuffle", ["setting=" + (on ? "on" : "off")], done);
};

HttpDeck.prototype.setrepeat = function (on, done) {
  this.command("setrepeat", ["setting=" + (on ? "on" : "off")], done);
};

/* Library files into the playlist. file is { target, title }: target is
   already percent-encoded (a library path as the listing gave it, or an
   encoded peer stream URL), title is text. */
HttpDeck.fileArgs = function (file) {
  return ["filename=" + file.target, "title=" + UrlText.encode(file.title || "")];
};
HttpDeck.prototype.enqueuefile = function (file, done) {
  this.command("enqueuefile", HttpDeck.fileArgs(file), done);
};
HttpDeck.prototype.enqueuefilenext = function (file, done) {
  this.command("enqueuefilenext", HttpDeck.fileArgs(file), done);
};
HttpDeck.prototype.playfile = function (file, done) {
  this.command("playfile", HttpDeck.fileArgs(file), done);
};
HttpDeck.prototype.insertfile = function (file, index, done) {
  this.command("insertfile", HttpDeck.fileArgs(file).concat(["index=" + index]), done);
};

/* items: [{ title, filename }] as text; one "title<TAB>filename" line each. */
HttpDeck.playlistArg = function (items) {
  var text = "";
  items.forEach(function (item) { text += item.title + "\t" + item.filename + "\n"; });
  return ["playlist=" + UrlText.encode(text)];
};
HttpDeck.prototype.enqueueplaylist = function (items, done) {
  this.command("enqueueplaylist", HttpDeck.playlistArg(items), done);
};
HttpDeck.prototype.playplaylist = function (items, done) {
  this.command("playplaylist", HttpDeck.playlistArg(items), done);
};

/* Mute is kept here: the first press remembers the volume and sends 0, the
   second sends the remembered volume back. done(muted) tells the new state. */
HttpDeck.prototype.toggleMute = function (done) {
  var self = this;
  if (this.mutedVolume === null) {
    this.getvolume(function (volume) {
      if (volume === null) { if (done) done(false); return; }
      self.mutedVolume = volume;
      self.setvolume(0, function () { if (done) done(true); });
    });
  } else {
    var back = this.mutedVolume;
    this.mutedVolume = null;
    this.setvolume(back, function () { if (done) done(false); });
  }
};

HttpDeck.prototype.muted = function () {
  return this.mutedVolume !== null;
};

/* The two status documents, as text (see StatusText). The playlist request
   carries this page's own id: the server sends the full list to an id once,
   then again only after the playlist changed. */
HttpDeck.prototype.playlist = function (done) {
  HttpDeck.request("GET", "playlist.xml", ["id=" + this.playlistId], done);
};
HttpDeck.prototype.consolestatus = function (done) {
  HttpDeck.request("GET", "consolestatus.xml", [], done);
};

/* StatusText: reads the two status documents by their fixed layout rather
   than as XML. Their texts are copied unescaped into CDATA sections, so a
   title holding "]]>" would make an XML parser refuse the whole document;
   here a value ends only where its closing tag is followed by the next
   element of the layout. */
var StatusText = (function () {
  "use strict";

  var CONSOLE = ["volume", "shuffle", "repeat", "album", "artist", "title", "filename", "length",
                 "lengthms", "bitrate", "position"];

  /* A "]]>" inside a text may also come split over two sections. */
  function joined(value) {
    return value.indexOf("]]]]><![CDATA[>") < 0 ? value : value.split("]]]]><![CDATA[>").join("]]>");
  }

  function unwrap(value) {
    if (value.slice(0, 9) === "<![CDATA[" && value.slice(-3) === "]]>") return joined(value.slice(9, -3));
    return value;
  }

  /* { volume, shuffle, ... } as texts, or null when text is no console document. */
  function readConsole(text) {
    if (text === null) return null;
    var at = text.indexOf("<console>");
    if (at < 0) return null;
    var values = {};
    for (var i = 0; i < CONSOLE.length; i++) {
      var name = CONSOLE[i];
      var open = "<" + name + ">";
      var start = text.indexOf(open, at);
      if (start < 0) return null;
      start += open.length;
      var close = "</" + name + ">" + (i + 1 < CONSOLE.length ? "<" + CONSOLE[i + 1] + ">" : "</console>");
      var end = text.indexOf(close, start);
      if (end < 0) return null;
      values[name] = unwrap(text.slice(start, end));
      at = end;
    }
    return values;
  }

  /* { playing, dirty (null when absent), tracks: [{ index, title, filename }] }
     or null when text is no playlist document. */
  function readPlaylist(text) {
    if (text === null) return null;
    var head = /<playlist([^>]*)>/.exec(text);
    if (!head) return null;
    var attr = function (name) {
      var m = new RegExp("\\b" + name + "=\"([^\"]*)\"").exec(head[1]);
      return m ? m[1] : null;
    };
    var result = { playing: parseInt(attr("playing"), 10), dirty: attr("dirty"), tracks: [] };
    var INDEX = "<track>\n<index>", TITLE = "</index>\n<title><![CDATA[", FILE = "]]></title>\n<filename><![CDATA[",
        END = "]]></filename>\n</track>";
    var at = head.index + head[0].length;
    // Plain searches only: a long list is read in a few milliseconds.
    for (;;) {
      var track = text.indexOf(INDEX, at);
      if (track < 0) break;
      var digits = track + INDEX.length;
      var title = text.indexOf(TITLE, digits);
      var file = title < 0 ? -1 : text.indexOf(FILE, title + TITLE.length);
      var end = file < 0 ? -1 : text.indexOf(END, file + FILE.length);
      var index = title > digits && title - digits <= 12 ? 0 : -1;
      for (var d = digits; index >= 0 && d < title; d++) {
        var c = text.charCodeAt(d) - 48;
        index = c >= 0 && c <= 9 ? index * 10 + c : -1;
      }
      if (index < 0 || end < 0) break;
      result.tracks.push({ index: index, title: joined(text.slice(title + TITLE.length, file)),
                           filename: joined(text.slice(file + FILE.length, end)) });
      at = end + END.length;
    }
    return result;
  }

  return { console: readConsole, playlist: readPlaylist };
})();
