/* The library box's views by tags, beside Folders: Artists (from
   "artists.js"), Albums (a grid of covers from "albums.js", of one artist,
   genre or year, or all), Genres and Years ("genres.js", "years.js", each
   leading to its albums) and an album's tracks ("album.js"). Artists and
   albums carry the artist and album paths the player's commands take, so
   play, add and play next work on them as on a folder. Covers are asked for
   only for the cards in view (the grid is a VirtualList of rows of cards),
   in their small size.

   A peer's library has the same views through this server's "peer" routes
   (its covers through "peercover"), once a first "peeryears.js" has shown
   that the peer has them; a peer of an older version keeps to Folders.
   Part of MediaLibrary (medialibrary.js, loaded before this file). */
(function () {
  "use strict";

  var TAG_VIEWS = { artists: true, albums: true, genres: true, years: true };
  /* What a group of each list view is called, and the albums filter it opens. */
  var GROUPS = { genres: { one: "genre", unknown: "Unknown genre" }, years: { one: "year", unknown: "Unknown year" } };
  var CARD_WIDTH = 168;
  // The albums asked for first, enough cards for the first screen of any
  // window: the rest, up to ALL_ALBUMS, follow in a second answer, so the
  // grid shows before the server has summed up thousands of albums.
  var FIRST_ALBUMS = 120;
  var ALL_ALBUMS = 5000;

  MediaLibrary.prototype.setupViews = function (find) {
    var self = this;
    this.tagEntries = [];
    this.album = null;
    this.columns = 1;
    this.tagHosts = {};                     // peer host -> whether it has the views (absent while unknown)
    this.views = find(".ml-views");
    this.pager = find(".ml-pager");
    if (this.views) {
      Array.prototype.forEach.call(this.views.querySelectorAll("[data-view]"), function (tab) {
        Events.on(tab, "click", function () {
          var view = tab.getAttribute("data-view");
          if (view === "folders") self.go(Cookies.getRaw("mlPath") || "", true);
          else self.visit({ view: view, raw: "" }, true);
        });
      });
    }
    if (this.pager) {
      Array.prototype.forEach.call(this.pager.querySelectorAll("[data-page]"), function (button) {
        Events.on(button, "click", function () {
          var start = Math.max(0, self.start + parseInt(button.getAttribute("data-page"), 10) * MediaLibrary.PAGE);
          self.visit({ view: "find", raw: self.raw, start: start }, true);
        });
      });
    }
    Events.on(window, "resize", function () {
      if (self.view === "albums" && self.fitColumns()) self.drawTags();
    });
  };

  /* Whether the views may be offered for host ("" is this server). */
  MediaLibrary.prototype.hasViews = function (host) {
    return !host || this.tagHosts[host] === true;
  };

  /* Asks once whether a peer has the views; its tabs show when it has. */
  MediaLibrary.prototype.probeViews = function (host) {
    var self = this;
    if (host in this.tagHosts) return;
    this.tagHosts[host] = null;
    JsonRequest.read("probe " + host, "peeryears.js", ["host=" + encodeURIComponent(host)], function () {
      self.tagHosts[host] = true;
      self.showViews();
    }, function () {
      self.tagHosts[host] = false;
    });
  };

  /* Loads a view other than folders and searches. An albums view's raw is
     its filter ("artist=", "genre=" or "year=" and the value), or "". */
  MediaLibrary.prototype.loadView = function (place) {
    var self = this, raw = place.raw, host = this.host;
    var routes = { artists: ["artists.js", ["count=5000"]],
                   albums: ["albums.js", ["count=" + FIRST_ALBUMS].concat(raw ? [raw] : [])],
                   album: ["album.js", ["path=" + raw]],
                   genres: ["genres.js", []], years: ["years.js", []] };
    var route = routes[place.view];
    if (!route || !this.hasViews(host)) { this.loaded(); this.go(Cookies.getRaw("mlPath") || "", true); return; }
    var args = host ? route[1].concat(["host=" + encodeURIComponent(host)]) : route[1];
    JsonRequest.read("library", (host ? "peer" : "") + route[0], args, function (data) {
      self.loaded();
      self.showView(place.view, raw, data || {});
      if (place.view === "albums") self.moreAlbums(raw);
    }, function () {
      self.loaded();
      self.view = place.view;
      self.failed(raw, host);
    });
  };

  MediaLibrary.prototype.showView = function (view, raw, data) {
    this.view = view;
    this.raw = raw;
    if (this.host) this.auth = this.auths[this.host] || "";
    if (view === "album") {
      var whole = { kind: "whole", name: UrlText.decode(data.name), raw: String(data.path || raw), path: "",
                    type: "", duration: parseInt(data.duration, 10) || 0, cover: UrlText.decode(data.cover) };
      this.album = { name: whole.name, artist: UrlText.decode(data.artist), year: UrlText.decode(data.year),
                     tracks: parseInt(data.tracks, 10) || 0, duration: whole.duration };
      this.facts = true;
      this.entries = [whole].concat((Array.isArray(data.files) ? data.files : []).map(MediaLibrary.entry));
    } else {
      this.tagEntries = tagEntries(view, data[view]);
      this.total = parseInt(data.total, 10) || this.tagEntries.length;
    }
    this.draw();
  };

  function tagEntries(view, list) {
    return (Array.isArray(list) ? list : []).map(function (e) {
      return { kind: view === "artists" ? "artist" : view === "albums" ? "album" : "group",
               name: UrlText.decode(e.name), raw: String(e.path || ""),
               artist: UrlText.decode(e.artist), year: UrlText.decode(e.year), albums: parseInt(e.albums, 10) || 0,
               tracks: parseInt(e.tracks, 10) || 0, duration: parseInt(e.duration, 10) || 0,
               cover: UrlText.decode(e.cover) };
    });
  }

  /* The albums after the first answer's, added to the grid shown (the
     scroll position and the cards drawn stay) while it still shows them. */
  MediaLibrary.prototype.moreAlbums = function (raw) {
    var self = this, host = this.host, have = this.tagEntries.length, total = Math.min(this.total, ALL_ALBUMS);
    if (have < FIRST_ALBUMS || have >= total) return;
    var args = ["start=" + have, "count=" + (total - have)].concat(raw ? [raw] : [])
      .concat(host ? ["host=" + encodeURIComponent(host)] : []);
    JsonRequest.read("library", (host ? "peer" : "") + "albums.js", args, function (data) {
      if (self.view !== "albums" || self.raw !== raw || self.host !== host || self.tagEntries.length !== have) return;
      self.tagEntries = self.tagEntries.concat(tagEntries("albums", data && data.albums));
      // The last row of the first answer's cards may be short: it is drawn again.
      self.rows.grow(Math.ceil(self.tagEntries.length / self.columns), Math.floor(have / self.columns));
    });
  };

  MediaLibrary.prototype.fitColumns = function () {
    var columns = Math.max(1, Math.floor((this.list.clientWidth || CARD_WIDTH) / CARD_WIDTH));
    if (columns === this.columns) return false;
    this.columns = columns;
    return true;
  };

  MediaLibrary.prototype.drawTags = function () {
    var n = this.tagEntries.length;
    this.element.classList.remove("ml-facts");
    this.element.setAttribute("data-view", this.view);
    if (this.view === "albums") this.fitColumns();
    var one = this.view === "artists" ? "artist" : this.view === "albums" ? "album" : GROUPS[this.view].one;
    if (!n) this.message(this.view === "albums" ? "No albums here." : "No " + one + "s in the library.");
    else this.rows.reset(this.view === "albums" ? Math.ceil(n / this.columns) : n);
    this.count.textContent = MediaLibrary.plural(this.total, one);
    this.showPager();
    this.showLocation();
    this.showSaved();
  };

  /* Row i of a tag view: an artist, a genre or year, or a row of album cards. */
  MediaLibrary.prototype.tagRow = function (i) {
    if (this.view === "artists") return this.artistRow(this.tagEntries[i], i);
    if (GROUPS[this.view]) return this.groupRow(this.tagEntries[i], i);
    var row = document.createElement("li");
    row.className = "cards";
    for (var k = i * this.columns; k < Math.min(this.tagEntries.length, (i + 1) * this.columns); k++) {
      row.appendChild(this.card(this.tagEntries[k], k));
    }
    return row;
  };

  MediaLibrary.prototype.actions = function (what) {
    var actions = document.createElement("span");
    actions.className = "actions";
    actions.appendChild(MediaLibrary.button("play.gif", "play", "Play " + what));
    if (!this.naive) {
      actions.appendChild(MediaLibrary.button("nq.gif", "enqueue", "Add " + what + " to the playlist"));
      actions.appendChild(MediaLibrary.button("nqnext.gif", "next", "Play " + what + " next"));
    }
    return actions;
  };

  MediaLibrary.prototype.openButton = function (text, title) {
    var name = document.createElement("button");
    name.type = "button";
    name.className = "name";
    name.setAttribute("data-act", "open");
    name.title = title;
    var label = document.createElement("span");
    label.className = "label";
    label.textContent = text;
    name.appendChild(label);
    return name;
  };

  MediaLibrary.prototype.artistRow = function (entry, i) {
    var row = document.createElement("li");
    row.className = "artist";
    row.setAttribute("data-i", i);
    var icon = document.createElement("img");
    icon.className = "icon";
    icon.alt = "";
    icon.src = "folder.gif";
    row.appendChild(icon);
    row.appendChild(this.openButton(entry.name || "Unknown artist", entry.name));
    var facts = document.createElement("span");
    facts.className = "facts";
    facts.textContent = MediaLibrary.plural(entry.albums, "album") + ", " + MediaLibrary.plural(entry.tracks, "track");
    row.appendChild(facts);
    row.appendChild(this.actions(entry.name || "Unknown artist"));
    return row;
  };

  /* A genre or a year: its name and counts, opening its albums. */
  MediaLibrary.prototype.groupRow = function (entry, i) {
    var row = document.createElement("li");
    row.className = "group";
    row.setAttribute("data-i", i);
    var icon = document.createElement("img");
    icon.className = "icon";
    icon.alt = "";
    icon.src = "folder.gif";
    row.appendChild(icon);
    var name = entry.name || GROUPS[this.view].unknown;
    row.appendChild(this.openButton(name, name));
    var facts = document.createElement("span");
    facts.className = "facts";
    facts.textContent = MediaLibrary.plural(entry.albums, "album") + ", " + MediaLibrary.plural(entry.tracks, "track");
    row.appendChild(facts);
    return row;
  };

  MediaLibrary.prototype.card = function (entry, k) {
    var card = document.createElement("div");
    card.className = "card";
    card.setAttribute("data-i", k);
    var open = this.openButton(entry.name || "Unknown album", entry.name + (entry.artist ? " \u2013 " + entry.artist : ""));
    var cover = document.createElement("img");
    cover.className = "cover";
    cover.alt = "";
    cover.src = entry.cover ? this.coverLink(entry.cover) : "folder.gif";
    if (!entry.cover) cover.classList.add("none");
    open.insertBefore(cover, open.firstChild);
    card.appendChild(open);
    var about = document.createElement("span");
    about.className = "about";
    about.textContent = [entry.artist, entry.year !== "0" ? entry.year : "", MediaLibrary.clock(entry.duration)]
      .filter(function (t) { return t; }).join(" \u00b7 ");
    card.appendChild(about);
    card.appendChild(this.actions(entry.name));
    return card;
  };

  /* The small variant of a cover, from its "cover?path=" URL; a peer's
     through this server, which fetches it. */
  MediaLibrary.prototype.coverLink = function (cover) {
    if (this.host) {
      var path = /^cover\?(path=[A-Za-z0-9%]*)$/.exec(cover);
      return path ? "peercover?host=" + encodeURIComponent(this.host) + "&" + path[1] + "&size=small&JSON_auth=" +
                    encodeURIComponent(JsonRequest.auth()) : "folder.gif";
    }
    return this.base() + cover + "&size=small" + (this.auth ? "&auth=" + UrlText.encode(this.auth) : "");
  };

  MediaLibrary.prototype.albumLabel = function () {
    var a = this.album || {};
    return [a.name, a.artist, a.year !== "0" ? a.year : "", MediaLibrary.plural(a.tracks || 0, "track"),
            MediaLibrary.clock(a.duration || 0)].filter(function (t) { return t; }).join(" \u00b7 ");
  };

  /* Handles a click on an artist, a genre or year, or an album; false for
     anything else. */
  MediaLibrary.prototype.viewClicked = function (action, entry) {
    if (entry.kind !== "artist" && entry.kind !== "album" && entry.kind !== "group") return false;
    if (action === "open") {
      var filter = entry.kind === "artist" ? "artist" : entry.kind === "group" ? GROUPS[this.view].one : "";
      if (filter) this.visit({ view: "albums", raw: filter + "=" + UrlText.encode(entry.name) }, true);
      else this.visit({ view: "album", raw: entry.raw }, true);
    } else if (entry.kind === "group") {
      return true;
    } else if (this.naive && action === "play") {
      window.location.href = this.link("stream", entry.raw);
    } else {
      this.run(action, [entry]);
    }
    return true;
  };

  MediaLibrary.prototype.tagPath = function () {
    if (this.view === "artists") return "Artists";
    if (GROUPS[this.view]) return this.view === "genres" ? "Genres" : "Years";
    if (this.view === "albums") return this.raw ? UrlText.decode(this.raw.slice(this.raw.indexOf("=") + 1)) : "Albums";
    if (this.view === "album") return this.album ? this.album.name + (this.album.artist ? " \u2013 " + this.album.artist : "") : "Album";
    return null;
  };

  MediaLibrary.prototype.showViews = function () {
    if (!this.views) return;
    this.views.classList.toggle("hidden", !this.hasViews(this.host));
    var by = this.view === "albums" ? this.raw.slice(0, this.raw.indexOf("=")) : "";
    var on = this.view === "artists" || by === "artist" ? "artists" :
             this.view === "genres" || by === "genre" ? "genres" : this.view === "years" || by === "year" ? "years" :
             this.view === "albums" || this.view === "album" ? "albums" : "folders";
    Array.prototype.forEach.call(this.views.querySelectorAll("[data-view]"), function (tab) {
      tab.setAttribute("aria-pressed", tab.getAttribute("data-view") === on ? "true" : "false");
    });
  };

  MediaLibrary.prototype.showPager = function () {
    if (!this.pager) return;
    var paged = this.view === "find" && this.total > MediaLibrary.PAGE;
    this.pager.classList.toggle("hidden", !paged);
    if (!paged) return;
    this.pager.querySelector("[data-page='-1']").disabled = this.start <= 0;
    this.pager.querySelector("[data-page='1']").disabled = this.start + MediaLibrary.PAGE >= this.total;
  };

  MediaLibrary.isTagView = function (view) { return !!TAG_VIEWS[view]; };
})();
