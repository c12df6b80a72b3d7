/* Playlist: the playlist box. Redrawn from "playlist.xml" whenever the
   server says the list changed; the playing entry is marked from the
   player's position. Double-click or Enter plays an entry, Delete removes
   the selection, entries are dragged to move them and library entries are
   dropped in to insert them. */
function Playlist(deck, element) {
  "use strict";
  var self = this;
  this.deck = deck;
  this.window = new BoxWindow(element, { onShow: function () { self.refresh(); } });
  this.list = element.querySelector(".playlist");
  this.count = element.querySelector(".count");
  this.drawn = false;
  this.pending = false;
  this.dragFrom = null;
  this.playing = -1;
  this.anchor = -1;             // the row a shift-click extends from

  Events.on(element.querySelector(".pl-delete"), "click", function () { self.deleteSelected(); });
  Events.on(element.querySelector(".pl-clear"), "click", function () {
    deck.clearplaylist(function () { self.drawn = false; self.refresh(); });
  });
  Events.on(this.list, "click", function (e) { self.clicked(e); });
  Events.on(this.list, "dblclick", function (e) {
    var row = e.target.closest("li");
    if (row) self.playRow(row);
  });
  Events.on(this.list, "keydown", function (e) { self.key(e); });
  this.dragAndDrop();

  this.refresh();
  setInterval(function () { self.refresh(); }, 3000);
}

Playlist.LIBRARY_ENTRY = "application/x-tunelet-entry";

Playlist.text = function (node, name) {
  var child = node.getElementsByTagName(name)[0];
  return child ? child.textContent : "";
};

Playlist.prototype.rows = function () {
  return Array.prototype.slice.call(this.list.children);
};

Playlist.prototype.refresh = function () {
  var self = this;
  if (this.pending || !this.window.visible() || this.dragFrom !== null) return;
  this.pending = true;
  this.deck.playlist(function (doc) {
    self.pending = false;
    if (!doc) return;
    var root = doc.documentElement;
    var dirty = root.getAttribute("dirty");
    if (dirty === null || dirty === "1" || !self.drawn) self.draw(doc.getElementsByTagName("track"));
    self.deck.getplaylistpos(function (position) {
      if (position !== null && position !== self.playing) self.markPlaying(position);
    });
  });
};

Playlist.prototype.draw = function (tracks) {
  var selected = {};
  this.rows().forEach(function (row) {
    if (row.classList.contains("selected")) selected[row.getAttribute("data-index")] = true;
  });
  this.list.textContent = "";
  for (var i = 0; i < tracks.length; i++) {
    var track = tracks[i];
    var index = Playlist.text(track, "index");
    var title = Playlist.text(track, "title");
    var file = Playlist.text(track, "filename");
    var row = document.createElement("li");
    row.setAttribute("data-index", index);
    row.draggable = true;
    row.title = file;
    if (selected[index]) row.classList.add("selected");
    var number = document.createElement("span");
    number.className = "num";
    number.textContent = (parseInt(index, 10) + 1) + ".";
    var name = document.createElement("span");
    name.className = "title";
    name.textContent = title || file;
    row.appendChild(number);
    row.appendChild(name);
    this.list.appendChild(row);
  }
  this.drawn = true;
  this.element().classList.toggle("empty", tracks.length === 0);
  this.count.textContent = tracks.length === 1 ? "1 track" : tracks.length + " tracks";
  this.markPlaying(this.playing);
};

Playlist.prototype.element = function () {
  return this.window.element;
};

Playlist.prototype.markPlaying = function (position) {
  this.playing = position;
  this.rows().forEach(function (row, i) { row.classList.toggle("playing", i === position); });
};

Playlist.prototype.renumber = function () {
  this.rows().forEach(function (row, i) {
    row.setAttribute("data-index", i);
    row.querySelector(".num").textContent = (i + 1) + ".";
  });
  var n = this.rows().length;
  this.count.textContent = n === 1 ? "1 track" : n + " tracks";
};

Playlist.prototype.clicked = function (e) {
  var row = e.target.closest("li");
  if (!row) return;
  var rows = this.rows();
  var at = rows.indexOf(row);
  if (e.shiftKey && this.anchor >= 0) {
    var from = Math.min(this.anchor, at), to = Math.max(this.anchor, at);
    rows.forEach(function (r, i) { r.classList.toggle("selected", i >= from && i <= to); });
  } else if (e.ctrlKey || e.metaKey) {
    row.classList.toggle("selected");
    this.anchor = at;
  } else {
    this.select(at);
  }
};

Playlist.prototype.select = function (at) {
  var rows = this.rows();
  if (!rows.length) return;
  at = Math.max(0, Math.min(rows.length - 1, at));
  rows.forEach(function (r, i) { r.classList.toggle("selected", i === at); });
  rows[at].scrollIntoView({ block: "nearest" });
  this.anchor = at;
};

Playlist.prototype.playRow = function (row) {
  var deck = this.deck;
  var index = this.rows().indexOf(row);
  var self = this;
  deck.setplaylistpos(index, function () {
    deck.play(function () { self.markPlaying(index); });
  });
};

Playlist.prototype.key = function (e) {
  var selected = this.list.querySelector("li.selected");
  var at = selected ? this.rows().indexOf(selected) : -1;
  if (e.key === "ArrowDown") this.select(at + 1);
  else if (e.key === "ArrowUp") this.select(at < 0 ? 0 : at - 1);
  else if (e.key === "Enter" && selected) this.playRow(selected);
  else if (e.key === "Delete") this.deleteSelected();
  else return;
  Events.stop(e);
};

/* Deletes from the last selected row up, so the indexes still to be sent
   stay valid while earlier ones go. */
Playlist.prototype.deleteSelected = function () {
  var self = this;
  var doomed = this.rows().filter(function (r) { return r.classList.contains("selected"); }).reverse();
  var next = function () {
    var row = doomed.shift();
    if (!row) { self.renumber(); return; }
    self.deck.deleteplaylistitem(self.rows().indexOf(row), function (answer) {
      if (answer === "1" && row.parentNode) row.parentNode.removeChild(row);
      next();
    });
  };
  next();
};

Playlist.prototype.dropIndex = function (e) {
  var row = e.target.closest ? e.target.closest("li") : null;
  return row ? this.rows().indexOf(row) : this.rows().length;
};

Playlist.prototype.dragAndDrop = function () {
  var self = this;
  var list = this.list;
  Events.on(list, "dragstart", function (e) {
    var row = e.target.closest("li");
    if (!row) return;
    self.dragFrom = self.rows().indexOf(row);
    e.dataTransfer.effectAllowed = "move";
    e.dataTransfer.setData("text/plain", row.title);
  });
  Events.on(list, "dragend", function () { self.dragFrom = null; self.clearDropMark(); });
  Events.on(list, "dragover", function (e) {
    var types = Array.prototype.slice.call(e.dataTransfer.types);
    if (self.dragFrom === null && types.indexOf(Playlist.LIBRARY_ENTRY) < 0) return;
    e.preventDefault();
    self.clearDropMark();
    var row = e.target.closest("li");
    if (row) row.classList.add("drop-before");
  });
  Events.on(list, "drop", function (e) {
    e.preventDefault();
    self.clearDropMark();
    var to = self.dropIndex(e);
    if (self.dragFrom !== null) {
      var from = self.dragFrom;
      self.dragFrom = null;
      if (to > from) to -= 1;   // the row leaves its old place first
      if (to >= self.rows().length) to = self.rows().length - 1;
      self.deck.moveplaylistitem(from, to, function () { self.drawn = false; self.refresh(); });
      return;
    }
    var entry = e.dataTransfer.getData(Playlist.LIBRARY_ENTRY);
    if (!entry) return;
    var item = JSON.parse(entry);
    self.deck.insertfile(item.path, item.title, to, function () { self.refresh(); });
  });
};

Playlist.prototype.clearDropMark = function () {
  var marked = this.list.querySelector(".drop-before");
  if (marked) marked.classList.remove("drop-before");
};
