/* MediaLibrary: the library browser. Listings come from "library.js" of
   this server or of a peer (JsonRequest); folders browse, files and folders
   play or join the playlist through the HttpDeck. In naive mode (the
   library page alone) there is no deck: play and file names are links to
   "stream" and "download" for an outside media player.

   Cookies: mlPath and mlHost (where the browser is), sortMethod and sortDir
   (0 name, 1 modified, 2 size; 0 ascending, 1 descending), favs (saved
   places as JSON: [{ name, host, path }]). */
function MediaLibrary(element, options) {
  "use strict";
  var self = this;
  var find = function (selector) { return element.querySelector(selector); };
  this.naive = !!options.naive;
  this.deck = options.deck || null;
  this.playlist = options.playlist || null;
  this.onPlay = null;                       // set by the page: refresh the console
  this.path = Cookies.get("mlPath");
  this.host = Cookies.get("mlHost");
  this.sortBy = parseInt(Cookies.get("sortMethod"), 10) || 0;
  this.sortDir = parseInt(Cookies.get("sortDir"), 10) || 0;
  this.auth = "";
  this.entries = [];
  this.history = [];
  this.at = -1;
  this.places = [];                         // from favorites.js

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
    var query = find(".ml-query").value.replace(/^\s+|\s+$/g, "");
    if (query) self.go((find(".ml-folders").checked ? "searchf://" : "search://") + query, true);
  });
  Array.prototype.forEach.call(element.querySelectorAll(".ml-heads [data-sort]"), function (head) {
    Events.on(head, "click", function () { self.sort(parseInt(head.getAttribute("data-sort"), 10)); });
  });
  Events.on(this.list, "click", function (e) { self.clicked(e); });
  Events.on(this.list, "dragstart", function (e) {
    var entry = self.entryOf(e.target);
    if (!entry || entry.type === "$UP$") return;
    e.dataTransfer.effectAllowed = "copy";
    e.dataTransfer.setData("application/x-tunelet-entry",
                           JSON.stringify({ path: self.target(entry), title: entry.name }));
  });

  this.showSort();
  if (this.window.visible()) this.loadPlaces();
  this.go(this.path, true);
}

MediaLibrary.ICONS = { "$DIR$": "folder.gif", "$UP$": "folder_up.gif", m3u: "m3u.gif", m3u8: "m3u.gif",
                       pls: "m3u.gif" };
MediaLibrary.FILE_ICON = "mp3.gif";
MediaLibrary.HISTORY = 32;

/* ---- browsing ---- */

MediaLibrary.prototype.go = function (path, remember) {
  var self = this;
  if (remember) {
    this.history = this.history.slice(0, this.at + 1);
    this.history.push({ host: this.host, path: path });
    if (this.history.length > MediaLibrary.HISTORY) this.history.shift();
    this.at = this.history.length - 1;
  }
  this.showHistory();
  this.loading.classList.remove("hidden");
  JsonRequest.send("library", "library.js",
                   ["path=" + escape(path), "sortby=" + this.sortBy, "sortdir=" + this.sortDir], this.host,
                   function (data) { self.loading.classList.add("hidden"); self.show(data); },
                   function () { self.loading.classList.add("hidden"); self.failed(path); });
};

MediaLibrary.prototype.walk = function (step) {
  var to = this.at + step;
  if (to < 0 || to >= this.history.length) return;
  this.at = to;
  this.host = this.history[to].host;
  Cookies.set("mlHost", this.host);
  this.go(this.history[to].path, false);
};

MediaLibrary.prototype.connect = function (host, path) {
  this.host = host;
  Cookies.set("mlHost", host);
  this.go(path, true);
};

MediaLibrary.prototype.sort = function (by) {
  if (by === this.sortBy) this.sortDir = this.sortDir ? 0 : 1;
  else { this.sortBy = by; this.sortDir = 0; }
  Cookies.set("sortMethod", String(this.sortBy));
  Cookies.set("sortDir", String(this.sortDir));
  this.showSort();
  this.go(this.path, false);
};

MediaLibrary.prototype.show = function (data) {
  this.path = unescape(data.path || "");
  this.auth = unescape(data.auth || "");
  Cookies.set("mlPath", this.path);
  this.entries = (data.files || []).map(function (f) {
    return { name: unescape(f.name), path: unescape(f.path), type: unescape(f.type) };
  });
  this.draw();
};

MediaLibrary.prototype.failed = function (path) {
  this.entries = [];
  this.list.textContent = "";
  var row = document.createElement("li");
  row.className = "ml-message";
  row.textContent = "The library could not be loaded" + (this.host ? " from " + this.host : "") + ".";
  this.list.appendChild(row);
  this.showLocation(path);
  this.count.textContent = "";
};

/* ---- drawing ---- */

MediaLibrary.prototype.draw = function () {
  var self = this;
  this.list.textContent = "";
  this.entries.forEach(function (entry, i) { self.list.appendChild(self.row(entry, i)); });
  var files = this.files().length;
  this.count.textContent = this.entries.length ? (files === 1 ? "1 file" : files + " files") : "Nothing here";
  this.showLocation(this.path);
  this.showSaved();
};

MediaLibrary.prototype.row = function (entry, i) {
  var row = document.createElement("li");
  row.setAttribute("data-i", i);
  row.className = entry.type === "$DIR$" ? "dir" : entry.type === "$UP$" ? "up" : "file";
  row.draggable = !this.naive && entry.type !== "$UP$";

  var icon = document.createElement("img");
  icon.className = "icon";
  icon.alt = "";
  icon.src = MediaLibrary.ICONS[entry.type] || MediaLibrary.FILE_ICON;
  row.appendChild(icon);

  var name;
  if (this.naive && row.className === "file") {
    name = document.createElement("a");
    name.href = this.link("download", entry.path);
  } else {
    name = document.createElement("span");
  }
  name.className = "name";
  name.textContent = entry.type === "$UP$" ? "Up one level" : entry.name;
  name.title = entry.path;
  row.appendChild(name);

  var actions = document.createElement("span");
  actions.className = "actions";
  if (this.naive) {
    var link = document.createElement("a");
    link.href = this.link("stream", entry.type === "$UP$" ? this.path : entry.path);
    link.appendChild(MediaLibrary.button("play.gif", "play", "Play in your media player"));
    actions.appendChild(link);
  } else {
    actions.appendChild(MediaLibrary.button("play.gif", "play", "Play now"));
    actions.appendChild(MediaLibrary.button("nq.gif", "enqueue", "Add to the playlist"));
    actions.appendChild(MediaLibrary.button("nqnext.gif", "next", "Play next"));
  }
  row.appendChild(actions);
  return row;
};

MediaLibrary.button = function (src, action, title) {
  var img = document.createElement("img");
  img.src = src;
  img.alt = title;
  img.title = title;
  img.setAttribute("data-act", action);
  return img;
};

MediaLibrary.prototype.link = function (route, path) {
  return (this.host ? "http://" + this.host : "") + "/" + route + "?path=" + escape(path) + "&auth=" + this.auth;
};

MediaLibrary.prototype.showLocation = function (path) {
  this.hostLabel.textContent = this.host || "Local Library";
  this.hostLabel.classList.toggle("remote", !!this.host);
  var search = /^searchf?:\/\//.exec(path);
  if (search) this.pathLabel.textContent = "Search: " + path.slice(search[0].length);
  else this.pathLabel.textContent = path || "Shared folders";
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
  var heads = this.window.element.querySelectorAll(".ml-heads [data-sort]");
  Array.prototype.forEach.call(heads, function (head) {
    var arrow = head.querySelector(".sort-dir");
    var active = parseInt(head.getAttribute("data-sort"), 10) === self.sortBy;
    head.classList.toggle("active", active);
    arrow.classList.toggle("hidden", !active);
    arrow.src = self.sortDir ? "desc.gif" : "asc.gif";
  });
};

/* ---- actions ---- */

MediaLibrary.prototype.entryOf = function (node) {
  var row = node.closest ? node.closest("li[data-i]") : null;
  return row ? this.entries[parseInt(row.getAttribute("data-i"), 10)] : null;
};

MediaLibrary.prototype.files = function () {
  return this.entries.filter(function (e) { return e.type !== "$DIR$" && e.type !== "$UP$"; });
};

/* What the player is handed: the library path here, or for a peer the URL
   of the peer's stream playlist, which the local player fetches. */
MediaLibrary.prototype.target = function (entry) {
  if (!this.host) return entry.path;
  return "http://" + this.host + "/stream?path=" + escape(entry.path) + "&auth=" + this.auth;
};

MediaLibrary.prototype.clicked = function (e) {
  var entry = this.entryOf(e.target);
  if (!entry) return;
  var action = e.target.getAttribute("data-act");
  if (this.naive) {
    if (!action && entry.type === "$DIR$") this.go(entry.path, true);
    else if (!action && entry.type === "$UP$") this.go(MediaLibrary.parent(this.path), true);
    return;
  }
  if (action) this.run(action, entry.type === "$UP$" ? this.files() : [entry]);
  else if (entry.type === "$DIR$") this.go(entry.path, true);
  else if (entry.type === "$UP$") this.go(MediaLibrary.parent(this.path), true);
};

/* Sends one command per entry, in order, each after the previous answer.
   "next" goes in reverse so that the entries end up in their listed order. */
MediaLibrary.prototype.run = function (action, entries) {
  var self = this, deck = this.deck;
  if (!deck || !entries.length) return;
  var queue = entries.slice();
  if (action === "next") queue.reverse();
  var first = true;
  var step = function () {
    var entry = queue.shift();
    if (!entry) {
      if (self.playlist) self.playlist.refresh();
      if (action === "play" && self.onPlay) self.onPlay();
      return;
    }
    var path = self.target(entry);
    if (action === "play" && first) deck.playfile(path, entry.name, step);
    else if (action === "next") deck.enqueuefilenext(path, entry.name, step);
    else deck.enqueuefile(path, entry.name, step);
    first = false;
  };
  step();
};

MediaLibrary.parent = function (path) {
  var trimmed = path.replace(/\\+$/, "");
  var cut = trimmed.lastIndexOf("\\");
  return cut > 0 ? trimmed.slice(0, cut) : "";
};

/* ---- places ---- */

MediaLibrary.prototype.loadPlaces = function () {
  var self = this;
  JsonRequest.send("places", "favorites.js", [], "", function (data) {
    self.places = [];
    for (var key in data) {
      if (Object.prototype.hasOwnProperty.call(data, key)) {
        self.places.push({ name: data[key].name, host: data[key].host || "", path: "" });
      }
    }
  });
};

MediaLibrary.prototype.saved = function () {
  try {
    var favs = JSON.parse(Cookies.get("favs") || "[]");
    return Array.isArray(favs) ? favs : [];
  } catch (e) {
    return [];
  }
};

MediaLibrary.prototype.openPlaces = function () {
  var self = this;
  var items = this.places.map(function (place) {
    return { label: place.name, icon: place.host ? "mlconnect.gif" : "folder.gif",
             select: function () { self.connect(place.host, place.path); } };
  });
  this.saved().forEach(function (place, i) {
    items.push({ label: place.name, icon: "fav_on.jpg",
                 select: function () { self.connect(place.host || "", place.path || ""); },
                 remove: function () { self.forget(i); } });
  });
  items.sort(function (a, b) { return a.label.localeCompare(b.label); });
  this.menu.open(items);
};

MediaLibrary.prototype.savedIndex = function () {
  var self = this;
  var favs = this.saved();
  for (var i = 0; i < favs.length; i++) {
    if ((favs[i].host || "") === this.host && favs[i].path === self.path) return i;
  }
  return -1;
};

MediaLibrary.prototype.showSaved = function () {
  var on = this.savedIndex() >= 0;
  this.save.querySelector("img").src = on ? "fav_on.jpg" : "fav_off.jpg";
  this.save.title = on ? "Forget this place" : "Save this place";
};

MediaLibrary.prototype.toggleSaved = function () {
  var at = this.savedIndex();
  if (at >= 0) { this.forget(at); return; }
  var favs = this.saved();
  var shown = this.pathLabel.textContent;
  favs.push({ name: (this.host || "Local Library") + " - " + shown, host: this.host, path: this.path });
  Cookies.set("favs", JSON.stringify(favs));
  this.showSaved();
};

MediaLibrary.prototype.forget = function (i) {
  var favs = this.saved();
  favs.splice(i, 1);
  Cookies.set("favs", JSON.stringify(favs));
  this.showSaved();
};
