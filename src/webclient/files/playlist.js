/* Playlist: the playlist box, a list box of the player's entries. Redrawn
   from "playlist.xml" only when the server says the list changed (or none
   was drawn yet); the playing entry is marked from the player's position.
   Double-click, Enter or the Play button plays an entry; Delete or Remove
   removes the selection; arrows move the selection (Shift extends it, Alt
   moves the entry); entries are dragged to move them, and library entries
   dropped in are inserted where they fall. Refreshes every three seconds,
   but not while one is on its way, while the box is hidden or while an
   entry is dragged. */
function Playlist(deck, element) {
  "use strict";
  var self = this;
  this.deck = deck;
  this.window = new BoxWindow(element, { onShow: function () { self.refresh(); } });
  this.list = element.querySelector(".playlist");
  this.count = element.querySelector(".count");
  this.rows = [];               // the drawn rows, in playlist order
  this.drawn = false;
  this.pending = false;
  this.dragFrom = null;
  this.playing = -1;
  this.playingRow = null;
  this.cursor = -1;             // the focused row
  this.anchor = -1;             // where Shift extends the selection from
  this.onPlay = null;           // set by the page: refresh the console
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
  this.dragAndDrop();

  this.refresh();
  // Live (live.js) says when the event stream makes polling needless.
  setInterval(function () { if (typeof Live === "undefined" || Live.polls("playlist")) self.refresh(); }, 3000);
}

/* The drag data type of a library entry (MediaLibrary.ENTRY_TYPE). */
Playlist.LIBRARY_ENTRY = "application/x-tunelet-entry";

Playlist.prototype.indexOf = function (node) {
  var row = node && node.closest ? node.closest("li[role=option]") : null;
  return row && row.parentNode === this.list ? this.rows.indexOf(row) : -1;
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
  var selected = {};
  this.rows.forEach(function (row, i) { if (row.classList.contains("selected")) selected[i] = true; });
  var fragment = document.createDocumentFragment();
  var rows = new Array(tracks.length);
  for (var i = 0; i < tracks.length; i++) {
    var track = tracks[i];
    var row = document.createElement("li");
    row.setAttribute("role", "option");
    row.id = "pl-" + i;
    row.draggable = true;
    row.track = track;
    // The whole name, and where it lies, for a name cut short.
    row.title = track.title && track.title !== track.filename ? track.title + "\n" + track.filename : track.filename;
    row.setAttribute("aria-selected", selected[i] ? "true" : "false");
    if (selected[i]) row.className = "selected";
    var number = document.createElement("span");
    number.className = "num";
    number.textContent = (i + 1) + ".";
    var name = document.createElement("span");
    name.className = "title";
    name.textContent = track.title || track.filename;
    row.appendChild(number);
    row.appendChild(name);
    fragment.appendChild(row);
    rows[i] = row;
  }
  this.list.textContent = "";
  this.list.appendChild(fragment);
  this.rows = rows;
  this.drawn = true;
  this.playingRow = null;
  var playing = this.playing;
  this.playing = -1;
  this.markPlaying(playing);
  this.setCursor(Math.min(this.cursor, rows.length - 1), false);
  this.showCount();
};

Playlist.prototype.showCount = function () {
  var n = this.rows.length;
  this.window.element.classList.toggle("empty", n === 0);
  this.count.textContent = n === 1 ? "1 track" : n + " tracks";
};

Playlist.prototype.markPlaying = function (position) {
  if (this.playingRow) {
    this.playingRow.classList.remove("playing");
    this.playingRow.removeAttribute("aria-current");
  }
  this.playing = position;
  this.playingRow = this.rows[position] || null;
  if (this.playingRow) {
    this.playingRow.classList.add("playing");
    this.playingRow.setAttribute("aria-current", "true");
  }
};

Playlist.prototype.renumber = function () {
  this.rows.forEach(function (row, i) {
    row.id = "pl-" + i;
    row.firstChild.textContent = (i + 1) + ".";
  });
  this.playingRow = null;
  var playing = this.playing;
  this.playing = -1;
  this.markPlaying(playing);
  this.setCursor(Math.min(this.cursor, this.rows.length - 1), false);
  this.showCount();
};

Playlist.prototype.setSelected = function (row, on) {
  row.classList.toggle("selected", on);
  row.setAttribute("aria-selected", on ? "true" : "false");
};

Playlist.prototype.setCursor = function (at, scroll) {
  var old = this.rows[this.cursor];
  if (old) old.classList.remove("cursor");
  this.cursor = at;
  var row = this.rows[at];
  if (row) {
    row.classList.add("cursor");
    this.list.setAttribute("aria-activedescendant", row.id);
    if (scroll) row.scrollIntoView({ block: "nearest" });
  } else {
    this.list.removeAttribute("aria-activedescendant");
  }
};

/* Selects the range from the cursor to at (extend) or at alone. */
Playlist.prototype.select = function (at, extend) {
  var self = this;
  if (!this.rows.length) return;
  at = Math.max(0, Math.min(this.rows.length - 1, at));
  extend = extend && this.anchor >= 0 && this.anchor < this.rows.length;
  var from = extend ? Math.min(this.anchor, at) : at;
  var to = extend ? Math.max(this.anchor, at) : at;
  if (!extend) this.anchor = at;
  this.selectedRows().forEach(function (row) { self.setSelected(row, false); });
  for (var i = from; i <= to; i++) this.setSelected(this.rows[i], true);
  this.setCursor(at, true);
};

Playlist.prototype.selectedRows = function () {
  return Array.prototype.slice.call(this.list.querySelectorAll("li.selected"));
};

Playlist.prototype.clicked = function (e) {
  var at = this.indexOf(e.target);
  if (at < 0) return;
  if (e.ctrlKey || e.metaKey) {
    var row = this.rows[at];
    this.setSelected(row, !row.classList.contains("selected"));
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
  var page = Math.max(1, Math.floor(this.list.clientHeight / 20) - 1);
  var moves = { ArrowDown: at + 1, ArrowUp: at < 0 ? 0 : at - 1, Home: 0, End: this.rows.length - 1,
                PageDown: at + page, PageUp: at - page };
  if (e.altKey && (e.key === "ArrowUp" || e.key === "ArrowDown")) this.moveCursorEntry(e.key === "ArrowUp" ? -1 : 1);
  else if (e.key in moves) this.select(moves[e.key], e.shiftKey);
  else if (e.key === "Enter" && at >= 0) this.playIndex(at);
  else if (e.key === "Delete") this.deleteSelected();
  else return;
  Events.stop(e);
};

/* Removes the selected entries from the last one up, so that the indexes
   still to be sent stay valid; a row goes when the server answers "1". */
Playlist.prototype.deleteSelected = function () {
  var self = this;
  var doomed = [];
  this.rows.forEach(function (row, i) { if (row.classList.contains("selected")) doomed.push(i); });
  if (!doomed.length) return;
  doomed.reverse();
  var left = doomed.length;
  doomed.forEach(function (index) {
    var row = self.rows[index];
    self.deck.deleteplaylistitem(index, function (answer) {
      if (answer === "1") {
        var at = self.rows.indexOf(row);
        if (at >= 0) {
          self.rows.splice(at, 1);
          row.parentNode.removeChild(row);
          if (at < self.playing) self.playing -= 1;
          else if (at === self.playing) self.playing = -1;
        }
      }
      if (--left === 0) {
        self.renumber();
        if (self.rows.length) self.select(Math.min(doomed[doomed.length - 1], self.rows.length - 1), false);
      }
    });
  });
};

/* Moves an entry in the list at once and tells the player. */
Playlist.prototype.move = function (from, to) {
  var self = this;
  if (from === to || from < 0 || to < 0 || from >= this.rows.length || to >= this.rows.length) return;
  var row = this.rows.splice(from, 1)[0];
  this.rows.splice(to, 0, row);
  this.list.insertBefore(row, this.rows[to + 1] || null);
  var playing = this.playingRow;
  this.renumber();
  this.markPlaying(playing ? this.rows.indexOf(playing) : -1);
  this.deck.moveplaylistitem(from, to, function () { self.refresh(); });
};

Playlist.prototype.moveCursorEntry = function (step) {
  var from = this.cursor;
  var to = from + step;
  if (from < 0 || to < 0 || to >= this.rows.length) return;
  this.move(from, to);
  this.select(to, false);
};

/* The index a drop at this event lands on: before the row under the
   pointer (after it when in its lower half), or the end. */
Playlist.prototype.dropIndex = function (e) {
  var at = this.indexOf(e.target);
  if (at < 0) return this.rows.length;
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
      self.move(from, Math.min(to, self.rows.length - 1));
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
