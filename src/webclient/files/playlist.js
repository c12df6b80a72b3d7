/* Playlist: the playlist box, a list box of the player's entries. Redrawn
   from "playlist.xml" only when the server says the list changed (or none
   was drawn yet); the playing entry is marked from the player's position.
   Only the rows in view (and a few around them) are in the page: the list
   keeps the entries, their selection and their facts, and draws the rows of
   the scrolled-to window, all of one height, with two spacers standing in
   for the rest. Double-click, Enter or the Play button plays an entry; Delete or
   Remove removes the selection; arrows move the selection (Shift extends
   it, Alt moves the entry); entries are dragged to move them, and library
   entries dropped in are inserted where they fall. Durations and tags come
   from "playlisttracks.js" a page at a time, the rows in view first, then
   the rest for the total. Refreshes every three seconds, but not while one
   is on its way, while the box is hidden or while an entry is dragged. */
function Playlist(deck, element) {
  "use strict";
  var self = this;
  this.deck = deck;
  this.window = new BoxWindow(element, { onShow: function () { self.refresh(); } });
  this.list = element.querySelector(".playlist");
  this.count = element.querySelector(".count");
  this.tracks = [];             // the entries, in playlist order; each carries .selected and .facts
  this.rows = {};               // index -> the drawn row
  this.first = 0;               // the drawn window [first, last)
  this.last = 0;
  this.rowHeight = 0;           // measured at the start, else from the first row drawn
  this.spacers = [0, 1].map(function () {
    var spacer = document.createElement("li");
    spacer.className = "spacer";
    spacer.setAttribute("role", "presentation");
    spacer.setAttribute("aria-hidden", "true");
    return spacer;
  });
  this.drawn = false;
  this.pending = false;
  this.dragFrom = null;
  this.playing = -1;
  this.cursor = -1;             // the focused row
  this.anchor = -1;             // where Shift extends the selection from
  this.version = 0;             // bumped with every new list, so late facts of an old one are dropped
  this.factsAsked = {};         // page number -> true once asked for this version
  this.onPlay = null;           // set by the page: refresh the console
  this.onChange = null;         // set by the page: the list or the playing entry changed
  this.local = null;            // set by the page: a HereListener, which plays entries while its mode is on

  var button = function (name, action) {
    var b = element.querySelector(".pl-" + name);
    if (b) Events.on(b, "click", action);
  };
  button("play", function () { if (self.cursor >= 0) self.playIndex(self.cursor); });
  button("up", function () { self.moveCursorEntry(-1); });
  button("down", function () { self.moveCursorEntry(1); });
  button("delete", function () { self.deleteSelected(); });
  button("clear", function () {
    self.drawn = false;
    self.draw([]);
    deck.clearplaylist(function () { self.drawn = false; self.refresh(); });
  });
  Events.on(this.list, "click", function (e) { self.clicked(e); });
  Events.on(this.list, "dblclick", function (e) {
    var at = self.indexOf(e.target);
    if (at >= 0) self.playIndex(at);
  });
  Events.on(this.list, "keydown", function (e) { self.key(e); });
  // The browser sends at most one scroll event a frame, before it paints:
  // the rows come into view in the same frame.
  Events.on(this.list, "scroll", function () { self.render(); });
  this.dragAndDrop();

  // Measured now, while the first answer is on its way, rather than by a
  // layout forced in the middle of the first draw.
  this.rowHeight = this.measureRow();
  this.refresh();
  // Live (live.js) says when the event stream makes polling needless.
  setInterval(function () { if (typeof Live === "undefined" || Live.polls("playlist")) self.refresh(); }, 3000);
}

/* The drag data type of a library entry (MediaLibrary.ENTRY_TYPE). */
Playlist.LIBRARY_ENTRY = "application/x-tunelet-entry";
/* Rows drawn beyond each edge of the view, and entries per facts request. */
Playlist.OVERSCAN = 8;
Playlist.FACTS_PAGE = 200;

Playlist.prototype.indexOf = function (node) {
  var row = node && node.closest ? node.closest("li[role=option]") : null;
  return row && row.parentNode === this.list && row.index !== undefined ? row.index : -1;
};

Playlist.prototype.refresh = function () {
  var self = this;
  if (this.pending || !this.window.visible() || this.dragFrom !== null) return;
  this.pending = true;
  this.deck.playlist(function (text) {
    self.pending = false;
    var doc = StatusText.playlist(text);
    if (!doc) return;
    if (doc.dirty === null || doc.dirty === "1" || !self.drawn) self.draw(doc.tracks);
    // The document carries the position the player had when it was made.
    if (isFinite(doc.playing) && doc.playing !== self.playing) self.markPlaying(doc.playing);
  });
};

Playlist.prototype.draw = function (tracks) {
  var old = this.tracks;
  for (var i = 0; i < tracks.length; i++) {
    var before = old[i];
    tracks[i].selected = !!(before && before.selected);
    // Facts stay with an entry whose file is where it was.
    if (before && before.facts && before.filename === tracks[i].filename) tracks[i].facts = before.facts;
  }
  this.tracks = tracks;
  this.drawn = true;
  this.version += 1;
  this.factsAsked = {};
  this.cursor = Math.min(this.cursor, tracks.length - 1);
  this.changed();
};

/* The list changed shape: redraw the window and the count; the facts are
   asked for once that is on screen (their request and answer would hold up
   the frame that shows it). */
Playlist.prototype.changed = function () {
  var self = this;
  this.first = this.last = 0;
  this.render(true, true);
  this.showCount();
  if (this.onChange) this.onChange();
  requestAnimationFrame(function () { setTimeout(function () { self.askFacts(); }, 0); });
};

/* The height of one row, from a row of placeholder text; 0 while the list is
   not laid out (hidden). */
Playlist.prototype.measureRow = function () {
  var tracks = this.tracks;
  this.tracks = [{ title: "", filename: "0" }];
  var probe = this.makeRow(0);
  this.tracks = tracks;
  probe.removeAttribute("id");
  this.list.appendChild(probe);
  var height = probe.getBoundingClientRect().height;
  this.list.removeChild(probe);
  return height;
};

Playlist.prototype.makeRow = function (i) {
  var track = this.tracks[i];
  var row = document.createElement("li");
  row.setAttribute("role", "option");
  row.id = "pl-" + i;
  row.index = i;
  row.draggable = true;
  var name = track.title || track.filename;
  // The whole name, and where it lies, for a name cut short.
  row.title = track.title && track.title !== track.filename ? track.title + "\n" + track.filename : track.filename;
  row.setAttribute("aria-selected", track.selected ? "true" : "false");
  row.setAttribute("aria-posinset", String(i + 1));
  row.setAttribute("aria-setsize", String(this.tracks.length));
  var classes = [];
  if (track.selected) classes.push("selected");
  if (i === this.playing) { classes.push("playing"); row.setAttribute("aria-current", "true"); }
  if (i === this.cursor) classes.push("cursor");
  row.className = classes.join(" ");
  var number = document.createElement("span");
  number.className = "num";
  number.textContent = (i + 1) + ".";
  var title = document.createElement("span");
  title.className = "title";
  title.textContent = name;
  var time = document.createElement("span");
  time.className = "time";
  var ms = track.facts ? track.facts.duration : 0;
  time.textContent = ms > 0 ? Playlist.clock(ms) : "";
  row.appendChild(number);
  row.appendChild(title);
  row.appendChild(time);
  return row;
};

/* Draws the rows of the view (all again when all is set, else only those
   that came into view), and asks for their facts unless noFacts. */
Playlist.prototype.render = function (all, noFacts) {
  var list = this.list;
  var n = this.tracks.length;
  if (!this.rowHeight && n) {
    list.textContent = "";
    var probe = this.makeRow(0);
    list.appendChild(probe);
    this.rowHeight = probe.getBoundingClientRect().height || 21;
    all = true;
  }
  var h = this.rowHeight || 21;
  // Never more rows than the window holds, whatever the list's own height.
  var view = Math.ceil(Math.min(list.clientHeight || 400, window.innerHeight) / h);
  var first = Math.max(0, Math.floor(list.scrollTop / h) - Playlist.OVERSCAN);
  var last = Math.min(n, first + view + 2 * Playlist.OVERSCAN);
  if (!all && first === this.first && last === this.last) return;
  var keep = all ? {} : this.rows;
  var rows = {};
  var fragment = document.createDocumentFragment();
  for (var i = first; i < last; i++) {
    var row = keep[i] || this.makeRow(i);
    rows[i] = row;
    fragment.appendChild(row);
  }
  // Two spacers stand in for the rows not drawn (padding of the list would
  // make the list itself that tall instead of letting it scroll).
  this.spacers[0].style.height = first * h + "px";
  this.spacers[1].style.height = (n - last) * h + "px";
  fragment.insertBefore(this.spacers[0], fragment.firstChild);
  fragment.appendChild(this.spacers[1]);
  list.textContent = "";
  list.appendChild(fragment);
  this.rows = rows;
  this.first = first;
  this.last = last;
  var cursorRow = rows[this.cursor];
  if (cursorRow) list.setAttribute("aria-activedescendant", cursorRow.id);
  else list.removeAttribute("aria-activedescendant");
  if (!noFacts) this.askFacts();
};

Playlist.prototype.showCount = function () {
  var n = this.tracks.length;
  this.window.element.classList.toggle("empty", n === 0);
  var text = n === 1 ? "1 track" : n + " tracks";
  var total = 0, unknown = false;
  for (var i = 0; i < n; i++) {
    var facts = this.tracks[i].facts;
    if (facts && facts.duration > 0) total += facts.duration;
    else unknown = true;
  }
  if (total > 0) text += " \u00b7 " + Playlist.clock(total) + (unknown ? "+" : "");
  if (this.count.textContent !== text) this.count.textContent = text;
};

/* Asks for the facts of the page in view, then, one page at a time, of the
   rest (for the total). */
Playlist.prototype.askFacts = function () {
  var self = this;
  if (this.factsBusy || !this.tracks.length) return;
  var size = Playlist.FACTS_PAGE;
  var page = Math.floor(this.first / size);
  if (this.factsAsked[page]) {
    page = -1;
    for (var p = 0; p * size < this.tracks.length; p++) {
      if (!this.factsAsked[p]) { page = p; break; }
    }
    if (page < 0) return;
  }
  var version = this.version;
  this.factsAsked[page] = true;
  this.factsBusy = true;
  JsonRequest.send("playlisttracks", "playlisttracks.js", ["start=" + page * size, "count=" + size], function (data) {
    self.factsBusy = false;
    if (version !== self.version) { self.askFacts(); return; }
    self.takeFacts(data);
    self.askFacts();
  }, function () {
    self.factsBusy = false;
    if (version === self.version) self.factsAsked[page] = false;
  });
};

Playlist.prototype.takeFacts = function (data) {
  var entries = data && data.tracks ? data.tracks : [];
  for (var k = 0; k < entries.length; k++) {
    var e = entries[k];
    var track = this.tracks[parseInt(e.index, 10)];
    if (!track) continue;
    track.facts = { duration: parseInt(e.duration, 10) || 0, title: UrlText.decode(e.title),
                    artist: UrlText.decode(e.artist), album: UrlText.decode(e.album), cover: UrlText.decode(e.cover) };
    var row = this.rows[parseInt(e.index, 10)];
    var time = track.facts.duration > 0 ? Playlist.clock(track.facts.duration) : "";
    if (row && row.lastChild.textContent !== time) row.lastChild.textContent = time;
  }
  this.showCount();
  if (this.onChange) this.onChange();
};

/* The facts of an entry once known, and the entry after the playing one. */
Playlist.prototype.entry = function (index) {
  return this.tracks[index] || null;
};

Playlist.prototype.markPlaying = function (position) {
  var old = this.rows[this.playing];
  if (old) {
    old.classList.remove("playing");
    old.removeAttribute("aria-current");
  }
  this.playing = position;
  var row = this.rows[position];
  if (row) {
    row.classList.add("playing");
    row.setAttribute("aria-current", "true");
  }
  if (this.onChange) this.onChange();
};

Playlist.prototype.setSelected = function (at, on) {
  var track = this.tracks[at];
  if (!track) return;
  track.selected = on;
  var row = this.rows[at];
  if (row) {
    row.classList.toggle("selected", on);
    row.setAttribute("aria-selected", on ? "true" : "false");
  }
};

/* Scrolls the list so that entry at is in view. */
Playlist.prototype.reveal = function (at) {
  var h = this.rowHeight || 21;
  var top = at * h, list = this.list;
  if (top < list.scrollTop) list.scrollTop = top;
  else if (top + h > list.scrollTop + list.clientHeight) list.scrollTop = top + h - list.clientHeight;
  this.render();
};

Playlist.prototype.setCursor = function (at, scroll) {
  var old = this.rows[this.cursor];
  if (old) old.classList.remove("cursor");
  this.cursor = at;
  if (scroll && at >= 0) this.reveal(at);
  var row = this.rows[at];
  if (row) {
    row.classList.add("cursor");
    this.list.setAttribute("aria-activedescendant", row.id);
  } else {
    this.list.removeAttribute("aria-activedescendant");
  }
};

/* Selects the range from the cursor to at (extend) or at alone. */
Playlist.prototype.select = function (at, extend) {
  var n = this.tracks.length;
  if (!n) return;
  at = Math.max(0, Math.min(n - 1, at));
  extend = extend && this.anchor >= 0 && this.anchor < n;
  var from = extend ? Math.min(this.anchor, at) : at;
  var to = extend ? Math.max(this.anchor, at) : at;
  if (!extend) this.anchor = at;
  for (var i = 0; i < n; i++) {
    var on = i >= from && i <= to;
    if (this.tracks[i].selected !== on) this.setSelected(i, on);
  }
  this.setCursor(at, true);
};

Playlist.prototype.selectedIndexes = function () {
  var out = [];
  for (var i = 0; i < this.tracks.length; i++) if (this.tracks[i].selected) out.push(i);
  return out;
};

Playlist.prototype.clicked = function (e) {
  var at = this.indexOf(e.target);
  if (at < 0) return;
  if (e.ctrlKey || e.metaKey) {
    this.setSelected(at, !this.tracks[at].selected);
    this.anchor = at;
    this.setCursor(at, false);
  } else {
    this.select(at, e.shiftKey);
  }
  this.list.focus({ preventScroll: true });
};

Playlist.prototype.playIndex = function (index) {
  var self = this;
  if (this.local && this.local.playFrom(index)) return;
  this.markPlaying(index);
  this.deck.setplaylistpos(index);
  this.deck.play(function () { if (self.onPlay) self.onPlay(); });
};

Playlist.prototype.key = function (e) {
  var at = this.cursor;
  var page = Math.max(1, Math.floor(this.list.clientHeight / (this.rowHeight || 21)) - 1);
  var moves = { ArrowDown: at + 1, ArrowUp: at < 0 ? 0 : at - 1, Home: 0, End: this.tracks.length - 1,
                PageDown: at + page, PageUp: at - page };
  if (e.altKey && (e.key === "ArrowUp" || e.key === "ArrowDown")) this.moveCursorEntry(e.key === "ArrowUp" ? -1 : 1);
  else if (e.key in moves) this.select(moves[e.key], e.shiftKey);
  else if (e.key === "Enter" && at >= 0) this.playIndex(at);
  else if (e.key === "Delete") this.deleteSelected();
  else return;
  Events.stop(e);
};

/* Removes the selected entries from the last one up, so that the indexes
   still to be sent stay valid; an entry goes when the server answers "1". */
Playlist.prototype.deleteSelected = function () {
  var self = this;
  var doomed = this.selectedIndexes();
  if (!doomed.length) return;
  doomed.reverse();
  var left = doomed.length;
  doomed.forEach(function (index) {
    var track = self.tracks[index];
    self.deck.deleteplaylistitem(index, function (answer) {
      if (answer === "1") {
        var at = self.tracks.indexOf(track);
        if (at >= 0) {
          self.tracks.splice(at, 1);
          if (at < self.playing) self.playing -= 1;
          else if (at === self.playing) self.playing = -1;
        }
      }
      if (--left === 0) {
        self.version += 1;
        self.factsAsked = {};
        self.cursor = Math.min(self.cursor, self.tracks.length - 1);
        self.changed();
        if (self.tracks.length) self.select(Math.min(doomed[doomed.length - 1], self.tracks.length - 1), false);
      }
    });
  });
};

/* Moves an entry in the list at once and tells the player. */
Playlist.prototype.move = function (from, to) {
  var self = this;
  var n = this.tracks.length;
  if (from === to || from < 0 || to < 0 || from >= n || to >= n) return;
  var playing = this.tracks[this.playing] || null;
  var track = this.tracks.splice(from, 1)[0];
  this.tracks.splice(to, 0, track);
  this.playing = playing ? this.tracks.indexOf(playing) : -1;
  this.render(true);
  if (this.onChange) this.onChange();
  this.deck.moveplaylistitem(from, to, function () { self.refresh(); });
};

Playlist.prototype.moveCursorEntry = function (step) {
  var from = this.cursor;
  var to = from + step;
  if (from < 0 || to < 0 || to >= this.tracks.length) return;
  this.move(from, to);
  this.select(to, false);
};

/* The index a drop at this event lands on: before the row under the
   pointer (after it when in its lower half), or the end. */
Playlist.prototype.dropIndex = function (e) {
  var at = this.indexOf(e.target);
  if (at < 0) return this.tracks.length;
  var box = this.rows[at].getBoundingClientRect();
  return e.clientY > box.top + box.height / 2 ? at + 1 : at;
};

Playlist.prototype.dragAndDrop = function () {
  var self = this;
  var list = this.list;
  var accepts = function (e) {
    return self.dragFrom !== null || Array.prototype.indexOf.call(e.dataTransfer.types, Playlist.LIBRARY_ENTRY) >= 0;
  };
  Events.on(list, "dragstart", function (e) {
    var at = self.indexOf(e.target);
    if (at < 0) return;
    self.dragFrom = at;
    e.dataTransfer.effectAllowed = "move";
    e.dataTransfer.setData("text/plain", self.rows[at].title);
  });
  Events.on(list, "dragend", function () { self.dragFrom = null; self.clearDropMark(); });
  Events.on(list, "dragover", function (e) {
    if (!accepts(e)) return;
    e.preventDefault();
    self.clearDropMark();
    var at = self.dropIndex(e);
    if (self.rows[at]) self.rows[at].classList.add("drop-before");
    else list.classList.add("drop-end");
  });
  Events.on(list, "dragleave", function (e) {
    if (!list.contains(e.relatedTarget)) self.clearDropMark();
  });
  Events.on(list, "drop", function (e) {
    if (!accepts(e)) return;
    e.preventDefault();
    self.clearDropMark();
    var to = self.dropIndex(e);
    if (self.dragFrom !== null) {
      var from = self.dragFrom;
      self.dragFrom = null;
      if (to > from) to -= 1;   // the entry leaves its old place first
      self.move(from, Math.min(to, self.tracks.length - 1));
      return;
    }
    var entry = e.dataTransfer.getData(Playlist.LIBRARY_ENTRY);
    if (!entry) return;
    var file = JSON.parse(entry);
    self.deck.insertfile(file, to, function () { self.refresh(); });
  });
};

Playlist.prototype.clearDropMark = function () {
  var marked = this.list.querySelector(".drop-before");
  if (marked) marked.classList.remove("drop-before");
  this.list.classList.remove("drop-end");
};

/* m:ss, or h:mm:ss from an hour on. */
Playlist.clock = function (ms) {
  var s = Math.floor(ms / 1000), h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60, r = s % 60;
  var two = function (v) { return (v < 10 ? "0" : "") + v; };
  return h > 0 ? h + ":" + two(m) + ":" + two(r) : m + ":" + two(r);
};
