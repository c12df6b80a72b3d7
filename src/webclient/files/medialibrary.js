/* MediaLibrary: the library browser. Folder listings come from this
   server's "files.js" (with each file's length, size, date and tags; the
   listing is then sorted here, without asking again) or "library.js", or for a peer from this server's "peerlibrary.js", which asks
   the peer (JsonRequest); folders browse, files and folders
   play or join the playlist through the HttpDeck. In naive mode (the
   library page alone) there is no deck: play and file names are links to
   "stream" and "download" for an outside media player.

   Besides folders it shows artists, albums (a grid of covers), genres,
   years and an album's tracks (libviews.js), and searches page by page
   through "find.js"; a peer's the same through this server's "peer" routes
   once the peer has shown it has them. Listings of any length are drawn a
   screenful at a time (VirtualList).

   Paths are kept in the percent-encoded form the listing gives them in and
   sent back unchanged, so every name reaches the server byte for byte; they
   are decoded only to be shown.

   Cookies: mlPath (the encoded path) and mlHost (empty for this server; a
   peer whose listing cannot be had is dropped from it unless it is saved),
   sortMethod and sortDir (0 name, 1 modified, 2 size, 3 duration;
   0 ascending, 1 descending), favs (saved places as JSON: [{ name, host, path }], path
   encoded). */
function MediaLibrary(element, options) {
  "use strict";
  var self = this;
  var find = function (selector) { return element.querySelector(selector); };
  this.naive = !!options.naive;
  this.deck = options.deck || null;
  this.playlist = options.playlist || null;
  this.onPlay = null;                       // set by the page: refresh the console
  this.local = null;                        // set by the page: a HereListener, which plays here while its mode is on
  this.raw = Cookies.getRaw("mlPath");
  this.host = Cookies.get("mlHost");
  this.sortBy = MediaLibrary.choice(Cookies.get("sortMethod"), MediaLibrary.SORTS.length);
  this.sortDir = MediaLibrary.choice(Cookies.get("sortDir"), 2);
  this.auth = "";
  this.element = element;
  this.entries = [];
  this.view = "folders";                    // folders, find, artists, albums, genres, years or album (libviews.js)
  this.facts = false;                       // whether the entries carry sizes, dates and lengths
  this.start = 0;                           // the first hit shown of a search
  this.total = 0;                           // the number of hits of a search
  this.roots = {};                          // encoded shared folders, from the root listing
  this.history = [];
  this.at = -1;
  this.places = [];                         // from favorites.js
  this.hostNames = {};                      // host -> the name favorites.js gives it
  this.auths = {};                          // host -> the auth its last listing gave

  this.window = new BoxWindow(element, {
    movable: !this.naive, resizable: !this.naive, minWidth: 360, minHeight: 220,
    onShow: function () { self.loadPlaces(); }
  });
  this.list = find(".ml-list");
  this.back = find(".ml-back");
  this.forward = find(".ml-forward");
  this.save = find(".ml-save");
  this.loading = find(".ml-loading");
  this.hostLabel = find(".ml-host");
  this.pathLabel = find(".ml-path");
  this.count = find(".ml-count");
  this.note = find(".ml-note");
  this.query = find(".ml-query");
  this.folders = find(".ml-folders");
  this.menu = new DropMenu(find(".ml-places"));

  Events.on(this.back, "click", function () { self.walk(-1); });
  Events.on(this.forward, "click", function () { self.walk(1); });
  Events.on(this.save, "click", function () { self.toggleSaved(); });
  Events.on(find(".ml-places"), "click", function () {
    if (self.menu.isOpen()) self.menu.close();
    else self.openPlaces();
  });
  Events.on(find(".ml-search"), "submit", function (e) {
    Events.stop(e);
    var text = self.query.value.replace(/^\s+|\s+$/g, "");
    if (text) self.go(UrlText.encode((self.folders.checked ? "searchf://" : "search://") + text), true);
  });
  this.heads = Array.prototype.slice.call(element.querySelectorAll(".ml-heads [data-sort]"));
  this.heads.forEach(function (head) {
    Events.on(head, "click", function () { self.sort(parseInt(head.getAttribute("data-sort"), 10)); });
  });
  Events.on(this.list, "click", function (e) { self.clicked(e); });
  this.rows = new VirtualList(this.list, function (i) { return self.drawn(i); });
  this.setupViews(find);
  Events.on(this.list, "dragstart", function (e) {
    var entry = self.entryOf(e.target);
    if (self.naive || !entry || entry.kind === "up") return;
    e.dataTransfer.effectAllowed = "copy";
    e.dataTransfer.setData(MediaLibrary.ENTRY_TYPE, JSON.stringify(self.file(entry)));
    e.dataTransfer.setData("text/plain", entry.name);
  });

  this.showSort();
  if (this.window.visible()) this.loadPlaces();
  this.go(this.raw, true);
}

MediaLibrary.ICONS = { "$DIR$": "folder.gif", "$UP$": "folder_up.gif", m3u: "m3u.gif", m3u8: "m3u.gif",
                       pls: "m3u.gif" };
MediaLibrary.FILE_ICON = "mp3.gif";
MediaLibrary.HISTORY = 32;
/* The drag data type of a library entry dropped on the playlist. */
MediaLibrary.ENTRY_TYPE = "application/x-tunelet-entry";
MediaLibrary.SORTS = ["name", "modified", "size", "duration"];

MediaLibrary.choice = function (text, count) {
  var n = parseInt(text, 10);
  return n >= 0 && n < count ? n : 0;
};

/* ---- browsing ---- */

MediaLibrary.prototype.go = function (raw, remember) {
  this.visit({ view: "folders", raw: raw }, remember);
};

/* Shows a place: { view, raw } and for a search its start. Folders and
   searches are loaded here, the tag views in libviews.js. */
MediaLibrary.prototype.visit = function (place, remember) {
  var self = this, raw = place.raw;
  if (remember) {
    var here = this.history[this.at];
    if (!here || here.host !== this.host || here.raw !== raw || here.view !== place.view || here.start !== place.start) {
      this.history = this.history.slice(0, this.at + 1);
      this.history.push({ host: this.host, raw: raw, view: place.view, start: place.start });
      if (this.history.length > MediaLibrary.HISTORY) this.history.shift();
      this.at = this.history.length - 1;
    }
  }
  this.showHistory();
  this.loading.classList.remove("hidden");
  this.list.setAttribute("aria-busy", "true");
  var host = this.host;
  if (place.view !== "folders" && place.view !== "find") { this.loadView(place); return; }
  var search = (!host || this.hasViews(host)) && MediaLibrary.searchOf(raw);
  if (search) { this.find(search, place.start || 0, raw); return; }
  var args = ["path=" + raw, "sortby=" + this.sortBy, "sortdir=" + this.sortDir];
  if (host) args.push("host=" + encodeURIComponent(host));
  var old = function () {
    JsonRequest.send("library", host ? "peerlibrary.js" : "library.js", args,
                     function (data) { self.loaded(); self.show(data, false); },
                     function () { self.loaded(); self.failed(raw, host); });
  };
  // A server without "files.js" still lists the folder, without facts.
  if (host) old();
  else JsonRequest.read("library", "files.js", args, function (data) { self.loaded(); self.show(data, true); }, old);
};

/* A search path's query ({ text, folders }), or null for any other path. */
MediaLibrary.searchOf = function (raw) {
  var m = /^(searchf?):\/\/([\s\S]*)$/.exec(UrlText.decode(raw));
  return m ? { text: m[2], folders: m[1] === "searchf" } : null;
};

/* One page of a search's hits from "find.js", in the listing's order, or
   the whole answer of "library.js" from a server without it. */
MediaLibrary.prototype.find = function (search, start, raw) {
  var self = this, host = this.host;
  var args = ["q=" + UrlText.encode(search.text), "folders=" + (search.folders ? 1 : 0), "start=" + start,
              "count=" + MediaLibrary.PAGE, "sortby=" + this.sortBy, "sortdir=" + this.sortDir];
  if (host) args.push("host=" + encodeURIComponent(host));
  JsonRequest.read("library", host ? "peerfind.js" : "find.js", args, function (data) {
    self.loaded();
    data.path = raw;
    self.total = parseInt(data.total, 10) || 0;
    self.start = parseInt(data.start, 10) || 0;
    self.show(data, true, "find");
  }, function () {
    var old = ["path=" + raw, "sortby=" + self.sortBy, "sortdir=" + self.sortDir];
    if (host) old.push("host=" + encodeURIComponent(host));
    JsonRequest.send("library", host ? "peerlibrary.js" : "library.js", old,
                     function (data) { self.loaded(); self.show(data, false); },
                     function () { self.loaded(); self.failed(raw, host); });
  });
};

MediaLibrary.PAGE = 100;

MediaLibrary.prototype.loaded = function () {
  this.loading.classList.add("hidden");
  this.list.removeAttribute("aria-busy");
};

MediaLibrary.prototype.walk = function (step) {
  var to = this.at + step;
  if (to < 0 || to >= this.history.length) return;
  this.at = to;
  this.setHost(this.history[to].host);
  this.visit(this.history[to], false);
};

MediaLibrary.prototype.setHost = function (host) {
  if (host !== this.host) this.roots = {};
  this.host = host;
  Cookies.set("mlHost", host);
};

MediaLibrary.prototype.connect = function (host, raw) {
  this.setHost(host);
  this.go(raw, true);
};

MediaLibrary.prototype.sort = function (by) {
  if (by === this.sortBy) this.sortDir = this.sortDir ? 0 : 1;
  else { this.sortBy = by; this.sortDir = 0; }
  Cookies.set("sortMethod", String(this.sortBy));
  Cookies.set("sortDir", String(this.sortDir));
  this.showSort();
  // A listing with its facts at hand is sorted here; a search's pages and
  // a listing without them are asked for again in the new order.
  if (this.facts && this.view !== "find") this.sortEntries();
  else if (this.view === "folders" || this.view === "find") this.visit(this.history[this.at] || { view: "folders", raw: this.raw }, false);
};

/* The server's order: by name byte for byte, then stably by the key, the
   ".." entry first. */
MediaLibrary.prototype.sortEntries = function () {
  var key = MediaLibrary.SORTS[this.sortBy], down = this.sortDir === 1;
  var head = function (e) { return e.kind === "up" || e.kind === "whole"; };
  var up = this.entries.filter(head);
  var rest = this.entries.filter(function (e) { return !head(e); });
  var byName = function (a, b) { return a.name < b.name ? -1 : a.name > b.name ? 1 : 0; };
  rest.sort(key === "name" ? (down ? function (a, b) { return byName(b, a); } : byName)
                           : function (a, b) { return (down ? b[key] - a[key] : a[key] - b[key]) || byName(a, b); });
  this.entries = up.concat(rest);
  this.draw();
};

MediaLibrary.prototype.show = function (data, facts, view) {
  var self = this;
  this.view = view || "folders";
  this.facts = facts;
  this.raw = String(data.path || "");
  // A peer's search hits carry no auth: the one of its last listing holds.
  if (this.host && data.auth === undefined) this.auth = this.auths[this.host] || "";
  else this.auth = UrlText.decode(data.auth || "");
  if (this.host) {
    this.auths[this.host] = this.auth;
    this.probeViews(this.host);
  }
  Cookies.setRaw("mlPath", this.raw);
  if (this.history[this.at]) this.history[this.at].raw = this.raw;
  var files = Array.isArray(data.files) ? data.files : [];
  this.entries = files.map(MediaLibrary.entry);
  if (this.raw === "") {
    // The shared folders are listed by their folder name; the whole path
    // shows on hover.
    this.roots = {};
    this.entries.forEach(function (e) {
      self.roots[e.raw] = true;
      if (e.kind === "dir") e.name = MediaLibrary.lastName(e.name);
    });
  }
  this.draw();
};

/* An entry of a listing ("library.js", or with its facts "files.js",
   "find.js" and "album.js"). */
MediaLibrary.entry = function (f) {
  var type = UrlText.decode(f.type);
  var number = function (v) { return parseInt(v, 10) || 0; };
  return { name: UrlText.decode(f.name), raw: String(f.path || ""), path: UrlText.decode(f.path), type: type,
           kind: type === "$DIR$" ? "dir" : type === "$UP$" ? "up" : "file",
           size: number(f.size), modified: number(f.modified), duration: number(f.duration),
           title: UrlText.decode(f.title), artist: UrlText.decode(f.artist), track: number(f.track),
           cover: UrlText.decode(f.cover) };
};

MediaLibrary.prototype.failed = function (raw, host) {
  // A peer that is no saved place and whose listing cannot be had (gone, or
  // one this server will not ask) is not chosen again on the next visit.
  if (host && !this.saved().some(function (f) { return String(f.host || "") === host; }) &&
      Cookies.get("mlHost") === host) {
    Cookies.remove("mlHost");
  }
  this.entries = [];
  this.message("The library could not be loaded" + (host ? " from " + this.hostName(host) : "") + ".");
  this.raw = raw;
  this.showLocation();
  this.count.textContent = "";
};

/* ---- drawing ---- */

MediaLibrary.prototype.message = function (text) {
  this.rows.reset(0);
  this.list.textContent = "";
  var row = document.createElement("li");
  row.className = "ml-message";
  row.textContent = text;
  this.list.appendChild(row);
};

MediaLibrary.prototype.draw = function () {
  if (MediaLibrary.isTagView(this.view)) { this.drawTags(); return; }
  this.element.classList.toggle("ml-facts", this.facts);
  this.element.setAttribute("data-view", this.view);
  this.rows.reset(this.entries.length);
  var files = this.files();
  var folders = this.entries.filter(function (e) { return e.kind === "dir"; }).length;
  var length = files.reduce(function (sum, e) { return sum + e.duration; }, 0);
  if (this.view === "find") {
    this.count.textContent = this.total ? MediaLibrary.plural(this.total, "hit") + (this.total > files.length + folders ?
      ", " + (this.start + 1) + "\u2013" + (this.start + files.length + folders) : "") : "Nothing found";
  } else {
    this.count.textContent = !this.entries.length || (files.length === 0 && folders === 0) ? "Nothing here" :
      MediaLibrary.plural(folders, "folder") + ", " + MediaLibrary.plural(files.length, "file") +
      (length ? ", " + MediaLibrary.clock(length) : "");
  }
  this.showPager();
  this.showLocation();
  this.showSaved();
};

/* The row of entry i, for the VirtualList. */
MediaLibrary.prototype.drawn = function (i) {
  if (MediaLibrary.isTagView(this.view)) return this.tagRow(i);
  return this.row(this.entries[i], i);
};

/* A length in ms as m:ss or h:mm:ss. */
MediaLibrary.clock = function (ms) {
  var s = Math.round(ms / 1000), two = function (n) { return (n < 10 ? "0" : "") + n; };
  return s >= 3600 ? Math.floor(s / 3600) + ":" + two(Math.floor(s / 60) % 60) + ":" + two(s % 60)
                   : Math.floor(s / 60) + ":" + two(s % 60);
};

MediaLibrary.size = function (bytes) {
  if (bytes < 1024) return bytes + " B";
  if (bytes < 1048576) return (bytes / 1024).toFixed(0) + " KB";
  return (bytes / 1048576).toFixed(1) + " MB";
};

MediaLibrary.date = function (seconds) {
  var d = new Date(seconds * 1000), two = function (n) { return (n < 10 ? "0" : "") + n; };
  return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate());
};

/* The facts cells of a row: length, date and size, blank where unknown. */
MediaLibrary.facts = function (entry) {
  var cells = document.createElement("span");
  cells.className = "facts";
  [[entry.duration ? MediaLibrary.clock(entry.duration) : "", "duration"],
   [entry.modified ? MediaLibrary.date(entry.modified) : "", "modified"],
   [entry.kind === "file" && entry.size ? MediaLibrary.size(entry.size) : "", "size"]].forEach(function (fact) {
    var cell = document.createElement("span");
    cell.className = "fact " + fact[1];
    cell.textContent = fact[0];
    cells.appendChild(cell);
  });
  return cells;
};

MediaLibrary.plural = function (n, word) {
  return n + " " + word + (n === 1 ? "" : "s");
};

MediaLibrary.prototype.row = function (entry, i) {
  var row = document.createElement("li");
  row.setAttribute("data-i", i);
  row.className = entry.kind;
  row.draggable = !this.naive && entry.kind !== "up";

  var icon = document.createElement("img");
  icon.className = "icon";
  icon.alt = "";
  icon.src = MediaLibrary.ICONS[entry.type] || MediaLibrary.FILE_ICON;
  row.appendChild(icon);

  var label = entry.kind === "up" ? "Up one level" : entry.name;
  if (this.view === "album" && entry.kind === "file") label = (entry.track ? entry.track + ". " : "") + (entry.title || entry.name);
  if (entry.kind === "whole") {
    label = this.albumLabel();
    if (entry.cover) icon.src = this.coverLink(entry.cover);
  }
  var name;
  if (entry.kind === "dir" || entry.kind === "up") {
    name = document.createElement("button");
    name.type = "button";
    name.setAttribute("data-act", "open");
  } else if (this.naive && entry.kind === "file") {
    name = document.createElement("a");
    name.href = this.link("download", entry.raw);
    name.setAttribute("download", "");
  } else {
    name = document.createElement("span");
  }
  name.className = "name";
  // The text in a span of its own: cut with an ellipsis (or wrapped on a
  // phone) inside the control, the whole name in the tooltip.
  var text = document.createElement("span");
  text.className = "label";
  text.textContent = label;
  name.appendChild(text);
  name.title = entry.kind === "up" ? this.parentLabel() : entry.kind === "whole" ? label : entry.path;
  row.appendChild(name);
  if (this.facts && entry.kind !== "up") row.appendChild(MediaLibrary.facts(entry));

  var actions = document.createElement("span");
  actions.className = "actions";
  var what = entry.kind === "up" ? "all files here" : entry.name;
  if (this.naive) {
    var link = document.createElement("a");
    link.className = "act";
    link.href = this.link("stream", entry.kind === "up" ? this.raw : entry.raw);
    link.setAttribute("data-act", "stream");
    MediaLibrary.label(link, "play.gif", "Play " + what + " in your media player");
    actions.appendChild(link);
  } else {
    actions.appendChild(MediaLibrary.button("play.gif", "play", "Play " + what));
    actions.appendChild(MediaLibrary.button("nq.gif", "enqueue", "Add " + what + " to the playlist"));
    actions.appendChild(MediaLibrary.button("nqnext.gif", "next", "Play " + what + " next"));
  }
  row.appendChild(actions);
  return row;
};

MediaLibrary.label = function (control, src, text) {
  var img = document.createElement("img");
  img.src = src;
  img.alt = "";
  control.appendChild(img);
  control.setAttribute("aria-label", text);
  control.title = text;
};

MediaLibrary.button = function (src, action, text) {
  var button = document.createElement("button");
  button.type = "button";
  button.className = "act";
  button.setAttribute("data-act", action);
  MediaLibrary.label(button, src, text);
  return button;
};

MediaLibrary.prototype.base = function () {
  return this.host ? "http://" + this.host + "/" : "/";
};

MediaLibrary.prototype.link = function (route, raw) {
  return this.base() + route + "?path=" + raw + "&auth=" + UrlText.encode(this.auth);
};

MediaLibrary.prototype.hostName = function (host) {
  return host ? this.hostNames[host] || host : "Local Library";
};

MediaLibrary.prototype.shownPath = function () {
  var tags = this.tagPath();
  if (tags !== null) return tags;
  var path = UrlText.decode(this.raw);
  var search = /^(searchf?):\/\//.exec(path);
  if (search) return (search[1] === "searchf" ? "Folders matching " : "Search: ") + path.slice(search[0].length);
  return path ? this.shortPath(path) : "Shared folders";
};

/* The last component of a path, without trailing separators. */
MediaLibrary.lastName = function (path) {
  var trimmed = path.replace(/[\\/]+$/, "");
  var cut = Math.max(trimmed.lastIndexOf("/"), trimmed.lastIndexOf("\\"));
  return cut >= 0 && cut < trimmed.length - 1 ? trimmed.slice(cut + 1) : trimmed || path;
};

/* A path inside a shared folder, from that folder's name on. */
MediaLibrary.prototype.shortPath = function (path) {
  var roots = Object.keys(this.roots).map(UrlText.decode);
  for (var i = 0; i < roots.length; i++) {
    var root = roots[i].replace(/[\\/]+$/, "");
    if (root && path.indexOf(root) === 0 && (path.length === root.length || /[\\/]/.test(path.charAt(root.length)))) {
      return MediaLibrary.lastName(root) + path.slice(root.length);
    }
  }
  return path;
};

MediaLibrary.prototype.parentLabel = function () {
  return UrlText.decode(MediaLibrary.parent(this.raw, this.roots)) || "Shared folders";
};

MediaLibrary.prototype.showLocation = function () {
  this.showViews();
  this.hostLabel.textContent = this.hostName(this.host);
  this.hostLabel.classList.toggle("remote", !!this.host);
  this.pathLabel.textContent = this.shownPath();
  this.pathLabel.title = UrlText.decode(this.raw);
};

MediaLibrary.prototype.showHistory = function () {
  var canBack = this.at > 0, canForward = this.at < this.history.length - 1;
  this.back.querySelector("img").src = canBack ? "back.jpg" : "back_gray.jpg";
  this.forward.querySelector("img").src = canForward ? "forward.jpg" : "forward_gray.jpg";
  this.back.disabled = !canBack;
  this.forward.disabled = !canForward;
};

MediaLibrary.prototype.showSort = function () {
  var self = this;
  this.heads.forEach(function (head) {
    var by = parseInt(head.getAttribute("data-sort"), 10);
    var active = by === self.sortBy;
    var arrow = head.querySelector(".sort-dir");
    head.classList.toggle("active", active);
    head.setAttribute("aria-pressed", active ? "true" : "false");
    head.setAttribute("aria-label", "Sort by " + MediaLibrary.SORTS[by] +
                      (active ? (self.sortDir ? ", descending" : ", ascending") : ""));
    arrow.classList.toggle("hidden", !active);
    arrow.src = self.sortDir ? "desc.gif" : "asc.gif";
  });
};

MediaLibrary.prototype.tell = function (text) {
  if (!this.note) return;
  this.note.textContent = text;
};

/* ---- actions ---- */

MediaLibrary.prototype.entryOf = function (node) {
  var row = node.closest ? node.closest("[data-i]") : null;
  if (!row) return null;
  var i = parseInt(row.getAttribute("data-i"), 10);
  return MediaLibrary.isTagView(this.view) ? this.tagEntries[i] : this.entries[i];
};

MediaLibrary.prototype.files = function () {
  return this.entries.filter(function (e) { return e.kind === "file"; });
};

/* What the player is handed, encoded for the request: the library path,
   or for a peer the URL of the peer's stream playlist, which the local
   player fetches. */
MediaLibrary.prototype.file = function (entry) {
  if (!this.host) return { target: entry.raw, title: entry.name };
  var url = "http://" + this.host + "/stream?path=" + entry.raw + "&auth=" + UrlText.encode(this.auth);
  return { target: UrlText.encode(url), title: entry.name };
};

MediaLibrary.prototype.clicked = function (e) {
  var control = e.target.closest ? e.target.closest("[data-act]") : null;
  var entry = this.entryOf(e.target);
  if (!control || !entry) return;
  var action = control.getAttribute("data-act");
  if (this.viewClicked(action, entry)) return;
  if (action === "open") {
    if (entry.kind === "up") this.go(MediaLibrary.parent(this.raw, this.roots), true);
    else this.go(entry.raw, true);
  } else if (action === "play" || action === "enqueue" || action === "next") {
    this.run(action, entry.kind === "up" ? this.files() : [entry]);
  }
};

/* Sends one command per entry, in order. "next" goes in reverse so that the
   entries end up in their listed order after the playing one. */
MediaLibrary.prototype.run = function (action, entries) {
  var self = this, deck = this.deck;
  if (action === "play" && this.local && entries.length &&
      this.local.playEntries(this, entries, function (text) { self.tell(text); })) return;
  if (!deck) return;
  if (!entries.length) { this.tell("No files to add here."); return; }
  var queue = entries.slice();
  if (action === "next") queue.reverse();
  var added = 0, unanswered = 0, left = queue.length;
  var words = { play: "Playing ", enqueue: "Adding ", next: "Playing next: " };
  this.tell(words[action] + (entries.length === 1 ? entries[0].name : MediaLibrary.plural(entries.length, "item")) + "...");
  var answered = function (text) {
    if (text === "1") added++;
    else if (text === null) unanswered++;
    if (--left) return;
    self.tell(added ? MediaLibrary.plural(added, "item") + (action === "play" ? " playing." : " added to the playlist.")
                    : unanswered ? "No answer from the player."
                    : "The player refused " + (entries.length === 1 ? entries[0].name : "these items") + ".");
    if (self.playlist) self.playlist.refresh();
    if (action === "play" && self.onPlay) self.onPlay();
  };
  queue.forEach(function (entry, i) {
    var file = self.file(entry);
    if (action === "play" && i === 0) deck.playfile(file, answered);
    else if (action === "next") deck.enqueuefilenext(file, answered);
    else deck.enqueuefile(file, answered);
  });
};

/* The encoded parent of an encoded path: a shared folder and a search lead
   to the shared folders' list, anything else drops its last component. */
MediaLibrary.parent = function (raw, roots) {
  if (!raw || (roots && roots[raw]) || /^search/i.test(UrlText.decode(raw))) return "";
  var trimmed = raw.replace(/(%2f|%5c|\/|\\)+$/i, "");
  var cut = -1, re = /%2f|%5c|\/|\\/gi, m;
  while ((m = re.exec(trimmed)) !== null) cut = m.index;
  return cut > 0 ? trimmed.slice(0, cut) : "";
};

/* ---- places ---- */

/* A peer's entry is keyed by the address it was heard from, which is where
   its library answers; its "host" names it by the name it announced. */
MediaLibrary.placeHost = function (key, value) {
  var heard = /^(\d{1,3}(?:\.\d{1,3}){3}:\d{1,5})\/$/.exec(key);
  if (key === "/") return "";
  return heard ? heard[1] : String(value.host || "");
};

MediaLibrary.prototype.loadPlaces = function () {
  var self = this;
  JsonRequest.send("places", "favorites.js", [], function (data) {
    self.places = [];
    self.hostNames = {};
    if (!data || typeof data !== "object") return;
    Object.keys(data).forEach(function (key) {
      var value = data[key] || {};
      var host = MediaLibrary.placeHost(key, value);
      var name = String(value.name || host || "Local Library");
      self.places.push({ name: name, host: host, path: "" });
      if (host) self.hostNames[host] = name;
    });
    if (self.host) self.showLocation();
  });
};

MediaLibrary.prototype.saved = function () {
  try {
    var favs = JSON.parse(Cookies.get("favs") || "[]");
    return Array.isArray(favs) ? favs.filter(function (f) { return f && typeof f.name === "string"; }) : [];
  } catch (e) {
    return [];
  }
};

MediaLibrary.prototype.openPlaces = function () {
  var self = this;
  var places = this.places.length ? this.places : [{ name: "Local Library", host: "", path: "" }];
  var items = places.map(function (place) {
    return { label: place.name, icon: place.host ? "mlconnect.gif" : "folder.gif",
             select: function () { self.connect(place.host, place.path); } };
  });
  this.saved().forEach(function (place, i) {
    items.push({ label: place.name, icon: "fav_on.jpg",
                 select: function () { self.connect(String(place.host || ""), String(place.path || "")); },
                 remove: function () { self.forget(i); } });
  });
  items.sort(function (a, b) { return a.label.localeCompare(b.label); });
  this.menu.open(items);
};

MediaLibrary.prototype.savedIndex = function () {
  var favs = this.saved();
  for (var i = 0; i < favs.length; i++) {
    if (String(favs[i].host || "") === this.host && favs[i].path === this.raw) return i;
  }
  return -1;
};

MediaLibrary.prototype.showSaved = function () {
  var on = this.savedIndex() >= 0;
  this.save.querySelector("img").src = on ? "fav_on.jpg" : "fav_off.jpg";
  this.save.setAttribute("aria-pressed", on ? "true" : "false");
  this.save.title = on ? "Forget this place" : "Save this place";
};

MediaLibrary.prototype.toggleSaved = function () {
  var at = this.savedIndex();
  if (at >= 0) { this.forget(at); return; }
  var favs = this.saved();
  favs.push({ name: this.hostName(this.host) + " - " + this.shownPath(), host: this.host, path: this.raw });
  Cookies.set("favs", JSON.stringify(favs));
  this.showSaved();
};

MediaLibrary.prototype.forget = function (i) {
  var favs = this.saved();
  favs.splice(i, 1);
  Cookies.set("favs", JSON.stringify(favs));
  this.showSaved();
};
